#pragma once
#include "model/TrackText.h"

#include <QString>
#include <QStringView>

#include <utility>

// A track's local file path. Every track has one of its own, but the tracks of a folder share
// the folder: a path read with its folder shared keeps only the file name, behind one pointer,
// where a string took its record 24 bytes and a block with the whole path. A path given whole
// keeps it whole (the same characters, without a string's header). It reads back as the exact
// text it was given; reading it makes a string, so loops over many tracks read it once.
class TrackPath {
public:
    TrackPath() = default;
    explicit TrackPath(QStringView path) { Set(path); }
    TrackPath(const TrackPath& other);
    TrackPath(TrackPath&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    TrackPath& operator=(const TrackPath& other);
    TrackPath& operator=(TrackPath&& other) noexcept
    {
        std::swap(m_p, other.m_p);
        return *this;
    }
    TrackPath& operator=(const QString& path)
    {
        Set(path);
        return *this;
    }
    ~TrackPath() { Free(); }

    // The path `folder` + "/" + `name`, its folder shared with every track given the same text.
    // An empty folder or name, or a name with a "/", keeps the path whole.
    void SetShared(const TrackText& folder, QStringView name);
    void clear() { Free(); }

    bool isEmpty() const { return !m_p; }
    qsizetype size() const;
    QString Text() const;
    operator QString() const { return Text(); }
    // The folder as shared (empty for a path kept whole) and the rest of the path.
    const TrackText& Folder() const;
    QStringView Rest() const;
    // The text before the path's last "/" (empty when it has none, or only the first) and after
    // it (all of it when there is none), read in place: valid while the path is unchanged.
    QStringView Directory() const;
    QStringView FileName() const;

    // The same readings of a path held elsewhere as its shared folder (empty for a path kept
    // whole) and the rest, as Folder() and Rest() give them: a list of many paths keeps them so.
    static QStringView DirectoryOf(const TrackText& folder, QStringView rest);
    static QStringView FileNameOf(const TrackText& folder, QStringView rest);
    static QString TextOf(const TrackText& folder, QStringView rest);

    friend bool operator==(const TrackPath& a, QStringView b);
    friend bool operator==(const TrackPath& a, const QString& b) { return a == QStringView(b); }
    friend bool operator==(const TrackPath& a, const TrackPath& b);

private:
    struct Block;
    void Set(QStringView path);
    void Make(const TrackText& folder, QStringView rest);
    void Free();

    Block* m_p = nullptr;
};
