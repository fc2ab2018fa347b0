#pragma once
#include <QAbstractTableModel>
#include <QPixmap>
#include <QSet>

class CMediaLibrary;
class CQvMusic;
class IQvNode;

// The list view's rows: a view of the displayed node's members that holds nothing of its own
// and reads each visible row's texts from the list under the library lock. The row count is
// taken at Refresh, when the window knows the list changed; a row that went away since reads
// as empty.
class CTrackListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Column 0 is the row number (and the playing mark); columns 1-5 are the sort columns.
    enum Column { kColNumber = 0, kColSong, kColArtist, kColAlbum, kColTime, kColService, kColumnCount };

    explicit CTrackListModel(CMediaLibrary& library, QObject* parent = nullptr);

    void SetNode(IQvNode* node);
    IQvNode* Node() const { return m_node; }
    // Takes the list's size again and redraws every row.
    void Refresh();
    // The track being played, drawn marked.
    void SetPlaying(const CQvMusic* track);
    // A track whose file could not be played, drawn marked (for this run).
    void MarkUnplayable(const CQvMusic* track);
    bool IsUnplayable(const CQvMusic* track) const { return m_unplayable.contains(track); }
    CQvMusic* TrackAt(int row) const;
    // The header's sort mark: `mark` beside column `column` (none for column 0).
    void SetSortMark(int column, const QPixmap& mark);
    // The row of `track`, or -1.
    int RowOf(const CQvMusic* track) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    Qt::DropActions supportedDropActions() const override;
    Qt::DropActions supportedDragActions() const override;
    // Rows dragged from the view carry their row numbers and Gids (kRowsMimeType).
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

    // The rows a drag from this view carries: (row, Gid) in row order; empty for other drags.
    static const QString kRowsMimeType;
    static QList<QPair<int, QString>> DraggedRows(const QMimeData* data);

private:
    CMediaLibrary& m_library;
    IQvNode* m_node = nullptr;
    int m_rows = 0;
    const CQvMusic* m_playing = nullptr;
    QSet<const CQvMusic*> m_unplayable;
    int m_sortColumn = 0;
    QPixmap m_sortMark;
};

// "%02d:%02d" of a length in seconds (minutes are not folded into hours).
QString FormatMinutesSeconds(int seconds);
