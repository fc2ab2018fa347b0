#include "app/CTrackListModel.h"

#include "app/UiTexts.h"

#include "model/CQvMusic.h"
#include "model/TrackInfo.h"
#include "model/TrackUtil.h"
#include "store/CMediaLibrary.h"
#include "store/IQvNode.h"
#include "ui/CSkin.h"

#include <QColor>
#include <QFont>
#include <QMimeData>

#include <algorithm>

#include <mutex>

QString FormatMinutesSeconds(int seconds)
{
    if (seconds < 0) seconds = 0;
    return QString::asprintf("%02d:%02d", seconds / 60, seconds % 60);
}

CTrackListModel::CTrackListModel(CMediaLibrary& library, QObject* parent)
    : QAbstractTableModel(parent), m_library(library)
{
}

void CTrackListModel::SetNode(IQvNode* node)
{
    beginResetModel();
    m_node = node;
    std::lock_guard lock(m_library.Mutex());
    m_rows = m_node ? m_node->TrackCount() : 0;
    endResetModel();
}

void CTrackListModel::Refresh()
{
    int rows = 0;
    {
        std::lock_guard lock(m_library.Mutex());
        rows = m_node ? m_node->TrackCount() : 0;
    }
    if (rows != m_rows) {
        // The view keeps its scroll place and selection by row; the rows themselves may have
        // moved, so they are all drawn again.
        if (rows > m_rows) {
            beginInsertRows(QModelIndex(), m_rows, rows - 1);
            m_rows = rows;
            endInsertRows();
        } else {
            beginRemoveRows(QModelIndex(), rows, m_rows - 1);
            m_rows = rows;
            endRemoveRows();
        }
    }
    if (m_rows > 0) emit dataChanged(index(0, 0), index(m_rows - 1, kColumnCount - 1));
}

void CTrackListModel::SetPlaying(const CQvMusic* track)
{
    if (track == m_playing) return;
    const int before = RowOf(m_playing);
    m_playing = track;
    const int after = RowOf(m_playing);
    for (int row : {before, after})
        if (row >= 0) emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
}

void CTrackListModel::MarkUnplayable(const CQvMusic* track)
{
    if (!track) return;
    m_unplayable.insert(track);
    const int row = RowOf(track);
    if (row >= 0) emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
}

void CTrackListModel::SetSortMark(int column, const QPixmap& mark)
{
    m_sortColumn = column;
    m_sortMark = mark;
    emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
}

CQvMusic* CTrackListModel::TrackAt(int row) const
{
    std::lock_guard lock(m_library.Mutex());
    if (!m_node || row < 0 || row >= m_node->TrackCount()) return nullptr;
    return m_node->GetTrack(row);
}

int CTrackListModel::RowOf(const CQvMusic* track) const
{
    if (!track || !m_node) return -1;
    std::lock_guard lock(m_library.Mutex());
    const MemberList& tracks = m_node->Tracks();
    for (size_t i = 0; i < tracks.size(); ++i)
        if (tracks[i] == track) return int(i);
    return -1;
}

int CTrackListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows; }
int CTrackListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant CTrackListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid()) return {};
    const int row = index.row();
    std::lock_guard lock(m_library.Mutex());
    if (!m_node || row >= m_node->TrackCount()) return {};
    CQvMusic* track = m_node->GetTrack(row);
    const TrackInfo* info = track ? track->GetInfo() : nullptr;
    if (!info) return {};
    const bool playing = track == m_playing;
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case kColNumber:
            if (playing) return QStringLiteral("▶");
            return m_unplayable.contains(track) ? QStringLiteral("✕") : QString::number(row + 1);
        // A stored text may be megabytes (from a page, or read before texts were cut): the view
        // lays out whatever it is handed, on every paint.
        case kColSong: return CutTrackText(info->Song);
        case kColArtist: return CutTrackText(info->Artist);
        case kColAlbum: return CutTrackText(info->Album);
        case kColTime: return info->TotleTime > 0 ? FormatMinutesSeconds(info->TotleTime) : QString();
        case kColService: return (track->GetState() & STATE_FROM_SERVICE) ? QStringLiteral("●") : QString();
        default: return {};
        }
    case Qt::ToolTipRole:
        return CutTrackText(info->LSrc.isEmpty() ? info->NSrc.str() : info->LSrc.Text());
    case Qt::ForegroundRole:
        if (playing) return CSkin::Instance().Color(16);
        if (m_unplayable.contains(track)) return QColor(0xC0, 0x39, 0x2B);
        if (track->GetState() & (STATE_REMOVED | STATE_DELETED_WITH_FILE)) return CSkin::Instance().Color(21);
        if (index.column() != kColSong) return CSkin::Instance().Color(17);
        return {};
    case Qt::FontRole:
        if (playing && index.column() == kColSong) {
            QFont f;
            f.setBold(true);
            return f;
        }
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == kColNumber || index.column() == kColService)
            return int(Qt::AlignCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant CTrackListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
    if (role == Qt::DecorationRole)
        return (section == m_sortColumn && section != kColNumber && !m_sortMark.isNull()) ? QVariant(m_sortMark) : QVariant();
    if (role != Qt::DisplayRole) return {};
    switch (section) {
    case kColNumber: return QString();
    case kColSong: return txt::kColumnSong;
    case kColArtist: return txt::kColumnArtist;
    case kColAlbum: return txt::kColumnAlbum;
    case kColTime: return txt::kColumnTime;
    case kColService: return txt::kColumnOnline;
    default: return {};
    }
}

Qt::ItemFlags CTrackListModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index) | Qt::ItemIsDropEnabled;
    if (index.isValid()) f |= Qt::ItemIsDragEnabled;
    return f;
}

const QString CTrackListModel::kRowsMimeType = QStringLiteral("application/x-ordel-rows");

QStringList CTrackListModel::mimeTypes() const { return {QStringLiteral("text/uri-list"), kRowsMimeType}; }
Qt::DropActions CTrackListModel::supportedDropActions() const { return Qt::CopyAction | Qt::MoveAction; }
Qt::DropActions CTrackListModel::supportedDragActions() const { return Qt::CopyAction | Qt::MoveAction; }

QMimeData* CTrackListModel::mimeData(const QModelIndexList& indexes) const
{
    QList<int> rows;
    for (const QModelIndex& i : indexes)
        if (i.isValid() && !rows.contains(i.row())) rows.append(i.row());
    std::sort(rows.begin(), rows.end());
    QByteArray payload;
    {
        std::lock_guard lock(m_library.Mutex());
        for (int row : rows) {
            if (!m_node || row >= m_node->TrackCount()) continue;
            const CQvMusic* track = m_node->GetTrack(row);
            if (!track || !track->GetInfo()) continue;
            payload += QByteArray::number(row) + '\t' + track->GetInfo()->Gid.toLatin1() + '\n';
        }
    }
    if (payload.isEmpty()) return nullptr;
    auto* data = new QMimeData;
    data->setData(kRowsMimeType, payload);
    return data;
}

QList<QPair<int, QString>> CTrackListModel::DraggedRows(const QMimeData* data)
{
    QList<QPair<int, QString>> out;
    if (!data || !data->hasFormat(kRowsMimeType)) return out;
    for (const QByteArray& line : data->data(kRowsMimeType).split('\n')) {
        const QList<QByteArray> parts = line.split('\t');
        bool ok = false;
        const int row = parts.size() == 2 ? parts[0].toInt(&ok) : -1;
        if (ok && row >= 0) out.append({row, QString::fromLatin1(parts[1])});
    }
    return out;
}
