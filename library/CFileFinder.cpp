#include "library/CFileFinder.h"

#include <limits>

#include "library/PosixHandles.h"

#include "base/FileName.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

const char* const kMusicMasks = "*.mp3|*.wma";

namespace {

struct Exclusions {
    std::mutex mutex;
    QStringList fragments;
};

Exclusions& ProgramExclusions()
{
    static Exclusions e;
    return e;
}

inline char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

struct Entry {
    std::string name;
    unsigned char type; // d_type
};

// An entry's name as text. Most names are plain ASCII, which reads the same in every encoding
// a name may have: a large folder's names are taken as they are, without a decoder each.
QString NameText(const std::string& name)
{
    if (std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return QString::fromLatin1(name.data(), qsizetype(name.size()));
    return FileNameText(QByteArray::fromRawData(name.data(), qsizetype(name.size())));
}

} // namespace

FindRequest MusicSearchRequest(const QString& folder, const QString& masks, bool recursive, int depth, MusicSizes sizes)
{
    FindRequest r;
    r.baseFolder = folder;
    r.masks = masks;
    r.recursive = recursive;
    r.depth = depth;
    r.sizeFilter = sizes == MusicSizes::kNoSmallFiles;
    r.minSize = kMusicMinSize;
    r.maxSize = std::numeric_limits<qint64>::max();
    return r;
}

void SetFolderExclusions(const QStringList& fragments)
{
    QStringList kept;
    for (const QString& f : fragments)
        if (!f.isEmpty()) kept.append(f);
    Exclusions& e = ProgramExclusions();
    std::lock_guard lock(e.mutex);
    e.fragments = std::move(kept);
}

QStringList FolderExclusions()
{
    Exclusions& e = ProgramExclusions();
    std::lock_guard lock(e.mutex);
    return e.fragments;
}

bool MatchMask(const char* mask, const char* name)
{
    // Iterative glob with one backtrack point: linear in practice, never exponential.
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*name) {
        if (*mask == '*') {
            star = mask++;
            resume = name;
        } else if (*mask == '?' || (*mask && FoldAscii(*mask) == FoldAscii(*name))) {
            ++mask;
            ++name;
        } else if (star) {
            mask = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*mask == '*') ++mask;
    return *mask == '\0';
}

// What one Find needs while it descends.
struct CFileFinder::Walk {
    const FindRequest& request;
    std::vector<QByteArray> masks; // UTF-8
    QStringList exclusions;
};

int CFileFinder::Find(const FindRequest& request)
{
    m_stopped = false;
    m_strBase = request.baseFolder;
    if (!m_strBase.endsWith(QLatin1Char('/')) && !m_strBase.endsWith(QLatin1Char('\\')))
        m_strBase += QLatin1Char('/');

    Walk walk {request, {}, FolderExclusions()};
    // The remaining list is cut at its first "|" until fewer than three characters are left.
    QString rest = request.masks;
    while (rest.size() >= 3) {
        const int bar = rest.indexOf(QLatin1Char('|'));
        const QString mask = bar < 0 ? rest : rest.left(bar);
        rest = bar < 0 ? QString() : rest.mid(bar + 1);
        if (!mask.isEmpty()) walk.masks.push_back(mask.toUtf8());
    }
    Search(walk, FileNameBytes(m_strBase), request.recursive ? request.depth : 0);
    return Count();
}

void CFileFinder::Search(Walk& walk, const QByteArray& folder, int depth)
{
    if (m_stopped || (m_stop && m_stop())) {
        m_stopped = true;
        return;
    }
    DirHandle dir(folder.constData());
    if (!dir) return;
    std::vector<Entry> entries;
    while (dirent* d = readdir(dir.get())) {
        if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0) continue;
        entries.push_back({d->d_name, d->d_type});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    const int fd = dirfd(dir.get());

    // The entry's kind without following a link (a link to a folder is never entered).
    auto isFolder = [fd](const Entry& e) {
        if (e.type == DT_DIR) return true;
        if (e.type != DT_UNKNOWN) return false;
        struct stat st;
        return fstatat(fd, e.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
    };

    const FindRequest& r = walk.request;
    if (r.recursive && depth > 0) {
        for (const Entry& e : entries) {
            if (!isFolder(e)) continue;
            if (e.name[0] == '$' || (e.name[0] == '.' && !r.includeHidden)) continue;
            const QString name = FileNameText(QByteArray::fromRawData(e.name.data(), qsizetype(e.name.size())));
            if (name.compare(QLatin1String("windows"), Qt::CaseInsensitive) == 0) continue;
            if (std::any_of(walk.exclusions.cbegin(), walk.exclusions.cend(),
                            [&](const QString& f) { return name.contains(f); }))
                continue;
            Search(walk, folder + QByteArray(e.name.data(), qsizetype(e.name.size())) + '/', depth - 1);
            if (m_stopped) return;
        }
    }

    const QString base = FileNameText(folder);
    for (const QByteArray& mask : walk.masks) {
        for (const Entry& e : entries) {
            if (!MatchMask(mask.constData(), e.name.c_str())) continue;
            // A regular file the folder listed is taken as it is when its size does not matter:
            // the import opens it anyway, and a search of a large folder makes no call per file.
            // Links, and entries the file system does not type, are looked at.
            const bool plainFile = e.type == DT_REG && !r.sizeFilter;
            struct stat st {};
            if (!plainFile && fstatat(fd, e.name.c_str(), &st, 0) != 0) continue; // a dangling link
            const bool folderEntry = !plainFile && S_ISDIR(st.st_mode);
            if (r.sizeFilter) {
                const qint64 size = folderEntry ? 0 : qint64(st.st_size);
                if (size < r.minSize || size > r.maxSize) continue;
            }
            if (folderEntry && !r.includeFolders) continue;
            m_paths.append(base + NameText(e.name));
        }
    }
}

QString CFileFinder::GetPath(int index) const
{
    return index >= 0 && index < m_paths.size() ? m_paths.at(index) : QString();
}

int ScanFolder(CFileFinder& finder, const QString& folder, const QString& masks, bool recursive, int depth,
               MusicSizes sizes)
{
    return finder.Find(MusicSearchRequest(folder, masks, recursive, depth, sizes));
}
