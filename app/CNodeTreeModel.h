#pragma once
#include <QAbstractItemModel>
#include <QStyledItemDelegate>

class CMediaLibrary;
class IQvNode;

// The tree pane's items: the tree of lists as the store holds it, top-level groups with their
// lists beneath, read under the library lock. Reset after the tree changes.
class CNodeTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit CNodeTreeModel(CMediaLibrary& library, QObject* parent = nullptr);

    void Reload();
    IQvNode* NodeAt(const QModelIndex& index) const;
    QModelIndex IndexOf(IQvNode* node) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    int RowOf(IQvNode* node) const;

    CMediaLibrary& m_library;
};

// The tree pane draws no branches: a node below a list (a cloud group's sub-group) is drawn
// indented by its depth, so that it stands under its parent.
class CNodeTreeDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int kIndent = 18;
    using QStyledItemDelegate::QStyledItemDelegate;
    static int IndentOf(const QModelIndex& index);
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
