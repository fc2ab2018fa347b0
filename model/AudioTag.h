#pragma once
#include <QString>

// Tag fields and audio properties carried between a file and a track record. The read driver
// fills a text field only where it is empty on entry, so a caller can pre-set fields.
struct AudioTagFields {
    int sampleRate = 0; // Hz
    int length = 0;     // s
    int bitRate = 0;    // kbit/s
    int trackNum = 0;
    QString channels;   // one of the five channel texts
    QString title;
    QString artist;
    QString album;
    QString year;
    QString genre;
};

// The four driver operations over CAudioTag; each opens the file, does one job and closes it.
// Reads all tags and properties; 0 for a missing file or a library failure, else 1 (only ever for a
// regular file: an importer takes a read as proof of one).
int ReadAudioTags(const QString& path, AudioTagFields& fields);
// Reads only the audio properties; 0 when the file cannot be read, else 1.
int ReadAudioProperties(const QString& path, AudioTagFields& fields);
// Writes title, artist and album (when `fields` is given), the lyrics without their time tags
// (when not empty) and the picture file (when a path is given).
void WriteAudioTags(const QString& path, const AudioTagFields* fields, const QString& lyrics,
                    const QString& picturePath);
// Embeds a picture file; nothing happens when the picture file does not exist.
void EmbedAudioPicture(const QString& audioPath, const QString& picturePath);
