#include "app/CNodeTreeModel.h"

#include "store/CMediaLibrary.h"
#include "store/CQvMediaStore.h"
#include "store/IQvNode.h"
#include "ui/CSkin.h"

#include <QFont>
#include <QIcon>

#include <algorithm>
#include <iterator>
#include <mutex>

namespace {
// The frame of "treeimage.bmp" (note, list, clock, bars, download, heart, headphones, cloud,
// home, folder) for a node's icon number in the default tree.
int IconFrame(int iconId)
{
    static const int frames[] = {1, 0, 2, 3, 1, 4, 5, 6, 1, 8, 8, 8, 8, 7};
    return (iconId >= 0 && iconId < int(std::size(frames))) ? frames[iconId] : 1;
}
} // namespace

CNodeTreeModel::CNodeTreeModel(CMediaLibrary& library, QObject* parent) : QAbstractItemModel(parent), m_library(library) {}

void CNodeTreeModel::Reload()
{
    beginResetModel();
    endResetModel();
}

IQvNode* CNodeTreeModel::NodeAt(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<IQvNode*>(index.internalPointer()) : nullptr;
}

int CNodeTreeModel::RowOf(IQvNode* node) const
{
    IQvNode* parent = node->GetParent();
    if (!parent) {
        const CQvMediaStore& store = m_library.Store();
        for (int i = 0; i < store.TopNodeCount(); ++i)
            if (store.GetTopNode(i) == node) return i;
        return -1;
    }
    const auto& children = parent->Children();
    for (size_t i = 0; i < children.size(); ++i)
        if (children[i] == node) return int(i);
    return -1;
}

QModelIndex CNodeTreeModel::IndexOf(IQvNode* node) const
{
    if (!node) return {};
    std::lock_guard lock(m_library.Mutex());
    const int row = RowOf(node);
    return row < 0 ? QModelIndex() : createIndex(row, 0, node);
}

QModelIndex CNodeTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0) return {};
    std::lock_guard lock(m_library.Mutex());
    IQvNode* node = nullptr;
    if (!parent.isValid()) {
        node = row < m_library.Store().TopNodeCount() ? m_library.Store().GetTopNode(row) : nullptr;
    } else if (IQvNode* p = NodeAt(parent); p && row < p->ChildCount()) {
        node = p->GetChild(row);
    }
    return node ? createIndex(row, 0, node) : QModelIndex();
}

QModelIndex CNodeTreeModel::parent(const QModelIndex& child) const
{
    IQvNode* node = NodeAt(child);
    if (!node) return {};
    std::lock_guard lock(m_library.Mutex());
    IQvNode* p = node->GetParent();
    if (!p) return {};
    const int row = RowOf(p);
    return row < 0 ? QModelIndex() : createIndex(row, 0, p);
}

int CNodeTreeModel::rowCount(const QModelIndex& parent) const
{
    std::lock_guard lock(m_library.Mutex());
    if (!parent.isValid()) return m_library.Store().TopNodeCount();
    IQvNode* node = NodeAt(parent);
    return node ? node->ChildCount() : 0;
}

int CNodeTreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant CNodeTreeModel::data(const QModelIndex& index, int role) const
{
    IQvNode* node = NodeAt(index);
    if (!node) return {};
    std::lock_guard lock(m_library.Mutex());
    const bool group = !node->GetParent();
    switch (role) {
    case Qt::DisplayRole:
        if (!group && node->GetType() != 5 && node->GetDisplayType() != QLatin1String("web"))
            return QStringLiteral("%1  (%2)").arg(node->GetName()).arg(node->TrackCount());
        return node->GetName();
    case Qt::EditRole:
        return node->GetName();
    case Qt::DecorationRole: {
        if (group) return {};
        return QIcon(CSkin::Instance().BitmapFrame(QStringLiteral("treeimage.bmp"), IconFrame(node->GetIconId())));
    }
    case Qt::ForegroundRole:
        return group ? CSkin::Instance().Color(17) : QVariant();
    case Qt::FontRole: {
        QFont f;
        f.setPixelSize(group ? 12 : 13);
        return f;
    }
    default:
        return {};
    }
}

Qt::ItemFlags CNodeTreeModel::flags(const QModelIndex& index) const
{
    IQvNode* node = NodeAt(index);
    if (!node) return Qt::NoItemFlags;
    std::lock_guard lock(m_library.Mutex());
    if (!node->GetParent()) return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled;
}

int CNodeTreeDelegate::IndentOf(const QModelIndex& index)
{
    int depth = 0;
    for (QModelIndex i = index.parent(); i.isValid(); i = i.parent()) ++depth;
    // Depth 0: the groups' headings; 1: their lists, at the pane's own margin.
    return std::max(0, depth - 1) * kIndent;
}

void CNodeTreeDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem shifted(option);
    shifted.rect.setLeft(option.rect.left() + IndentOf(index));
    QStyledItemDelegate::paint(painter, shifted, index);
}
