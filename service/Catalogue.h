#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

// The service's small catalogue: songs with Chinese and Latin titles, tone audio, LRC lyrics
// and cover pictures for most of them, and one song with neither lyrics nor cover.
struct CatalogueSong {
    QString id;      // SongID, also the content id (typeid / musicid of requests)
    QString title;
    QString artist;
    QString album;
    int star = 3;
    bool hasLyrics = true;
    bool hasCover = true;
    double seconds = 3.0;
    double hz = 440.0;
};

class CCatalogue {
public:
    // The fixed song list (the same at every start).
    CCatalogue();

    const QList<CatalogueSong>& Songs() const { return m_songs; }
    const CatalogueSong* FindById(const QString& id) const;
    // By content id first, then by title and artist (ignoring case and blanks at the ends); by the
    // title alone only when no artist is given.
    const CatalogueSong* Match(const QString& id, const QString& title, const QString& artist) const;

    // The LRC text of a song (empty for a song without lyrics).
    static QString Lyrics(const CatalogueSong& song);
    // A 160 x 160 24-bit BMP picture of the song's album: a pattern and two hues chosen by the
    // album's name, so each album has a look of its own.
    static QByteArray CoverPicture(const CatalogueSong& song);

    // Makes the audio and picture files under `dataDir` ("media/<id>.mp3", "covers/<id>.bmp")
    // that are not there yet (a picture that differs is drawn again). False when one could not be made.
    bool Generate(const QString& dataDir, QString* error) const;

    static QString MediaPath(const QString& dataDir, const CatalogueSong& song);
    static QString CoverPath(const QString& dataDir, const CatalogueSong& song);

private:
    QList<CatalogueSong> m_songs;
};
