#pragma once
#include "model/AudioTag.h"

#include <QString>

#include <cstddef>
#include <vector>

// The tags of one import batch's files, kept from their reading until the batch's tracks are
// made. A file's texts go into one buffer shared by the batch, so reading a file leaves nothing
// of its own on the heap among the tag reader's short-lived allocations: the reader then takes
// the same memory again for every file, where texts kept one by one would leave gaps all over a
// large library's heap for the next files' reading to fill (the cost of a file grew with the
// library). The tracks are made afterwards, one after the other.
class CBatchTags {
public:
    void Reserve(size_t files);
    // A file's Gid and what its tags gave (null: the file could not be read), with its place in
    // the batch. The year is not kept: a track does not take it.
    void Keep(size_t place, const QString& gid, const AudioTagFields* tags);

    size_t Count() const { return m_files.size(); }
    size_t Place(size_t i) const { return m_files[i].place; }
    // The i-th kept file's Gid and tags as texts of their own; false (the tags left alone) for a
    // file that could not be read.
    bool Take(size_t i, QString& gid, AudioTagFields& tags) const;

    void Clear();

private:
    // A place in the buffer, or a text that needs no copy (a literal, as the channel texts are).
    struct Text {
        size_t at = 0;
        size_t size = 0;
        QString fixed;
    };
    struct File {
        size_t place = 0;
        bool read = false;
        Text gid, title, artist, album, genre, channels;
        int sampleRate = 0, length = 0, bitRate = 0, trackNum = 0;
    };

    Text Put(const QString& text);
    QString Get(const Text& text) const;

    std::vector<File> m_files;
    std::vector<char16_t> m_texts;
};
