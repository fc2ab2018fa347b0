#pragma once
#include <QString>
#include <QStringList>

#include <functional>

// What one search looks for. The base folder gets a trailing "/" when it has none.
struct FindRequest {
    QString baseFolder;
    QString masks;            // separated by "|", e.g. "*.mp3|*.wma"; matched ignoring case
    bool recursive = false;
    int depth = 0;            // folder levels below the base that are still entered
    bool sizeFilter = false;
    qint64 minSize = 0;       // both inclusive
    qint64 maxSize = 0;
    bool includeHidden = false;
    bool includeFolders = false;
};

// The music search: MP3 and WMA files four levels deep, hidden folders left out, no upper size
// limit. The searches the program makes on its own (start-up, whole computer) leave out files
// under 500 KB, which keeps system sounds out of the library; a folder the user chose
// (`kEverySize`) gives every music file in it, short clips too.
extern const char* const kMusicMasks; // "*.mp3|*.wma"
constexpr int kMusicDepth = 4;
constexpr qint64 kMusicMinSize = 512000;
enum class MusicSizes { kNoSmallFiles, kEverySize };
FindRequest MusicSearchRequest(const QString& folder, const QString& masks = QString::fromLatin1(kMusicMasks),
                               bool recursive = true, int depth = kMusicDepth,
                               MusicSizes sizes = MusicSizes::kNoSmallFiles);

// The folder-name fragments that no search enters (from "filtermap.xml" when the start-up scan
// begins). One list for the whole program; empty entries are ignored, since "contains nothing"
// would hold for every folder.
void SetFolderExclusions(const QStringList& fragments);
QStringList FolderExclusions();

// Finds files (and, when asked, folders) by mask. Subfolders are searched before the matches of
// the folder itself, so deeper files come first. Within a folder entries come in byte order of
// their names, so the same tree always gives the same list. Folders named "windows" (any case),
// folders whose name begins with "$" or contains an excluded fragment, hidden folders (a leading
// ".") unless asked for, and links to folders are not entered; unreadable folders give nothing.
class CFileFinder {
public:
    // Checked before each folder is read; a true answer ends the search early.
    using StopCheck = std::function<bool()>;

    explicit CFileFinder(StopCheck stop = {}) : m_stop(std::move(stop)) {}

    // Appends the matches to the found list; the number of paths found so far.
    int Find(const FindRequest& request);
    int Count() const { return static_cast<int>(m_paths.size()); }
    // Empty for an index out of range.
    QString GetPath(int index) const;
    const QStringList& Paths() const { return m_paths; }
    void Clear() { m_paths.clear(); }
    // True when the last search ended early on the stop check.
    bool Stopped() const { return m_stopped; }

private:
    struct Walk;
    void Search(Walk& walk, const QByteArray& folder, int depth);

    StopCheck m_stop;
    QStringList m_paths;
    QString m_strBase;
    bool m_stopped = false;
};

// A file mask ("*.mp3", "a?c*") against a name, "*" and "?" as wildcards, ASCII letters
// compared without regard to case (as the masks of the design's platform are).
bool MatchMask(const char* mask, const char* name);

// The music search of `folder` with the given masks, recursion, depth and sizes.
int ScanFolder(CFileFinder& finder, const QString& folder, const QString& masks, bool recursive, int depth,
               MusicSizes sizes = MusicSizes::kNoSmallFiles);
