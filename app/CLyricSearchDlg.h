#pragma once
#include <QDialog>

#include <memory>

class QLineEdit;
class QTimer;
class QTreeWidget;

// "搜索歌词": finds lyrics for a title and an artist in the service and in the lyrics folder,
// lists what it found, and hands the chosen lyrics on ("设为关联歌词").
class CLyricSearchDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWindow = 158;

    // What the search found: from the service (`text`) or a file of the lyrics folder (`file`).
    struct Found {
        QString song;
        QString artist;
        QString text;
        QString file;
    };
    CLyricSearchDlg(const QString& song, const QString& artist, const QString& lyricsDir, QWidget* parent = nullptr);
    ~CLyricSearchDlg() override;

    // Searches again with what the fields hold (on a worker; the list fills when it is done).
    void Search();
    bool Searching() const;
    QTreeWidget* List() const { return m_list; }
    QLineEdit* SongEdit() const { return m_song; }
    QLineEdit* ArtistEdit() const { return m_artist; }
    // "设为关联歌词" with the selected row; "取消".
    void Confirm();
    void Cancel();

    // The files of `dir` ending in ".lrc" whose names hold the song or the artist.
    static QList<Found> FindInFolder(const QString& dir, const QString& song, const QString& artist);

signals:
    void Chosen(const CLyricSearchDlg::Found& found);

private:
    struct Results;
    void TakeResults();

    QString m_lyricsDir;
    QLineEdit* m_song;
    QLineEdit* m_artist;
    QTreeWidget* m_list;
    QTimer* m_poll;
    std::shared_ptr<Results> m_results;
    QList<Found> m_found;
};
