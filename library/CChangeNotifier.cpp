#include "library/CChangeNotifier.h"

#include "library/PosixHandles.h"

#include "store/CMediaLibrary.h"
#include "store/CQvConf.h"
#include "store/CQvMediaStore.h"

#include "base/DebugLog.h"
#include "base/FileName.h"
#include "model/TrackInfo.h"
#include "base/MessageIds.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <algorithm>
#include <map>
#include <mutex>
#include <thread>

namespace {

constexpr uint32_t kWatchMask = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_CREATE |
                                IN_DELETE_SELF | IN_DONT_FOLLOW | IN_ONLYDIR | IN_EXCL_UNLINK;
// Deeper trees than this are not watched further (a loop of bind mounts must not run away).
constexpr int kMaxWatchDepth = 32;
// A window that stops taking changes must not make the queue grow without end.
constexpr size_t kMaxQueued = 100000;

QByteArray WithSlash(QByteArray path)
{
    if (!path.endsWith('/')) path += '/';
    return path;
}

} // namespace

struct CChangeNotifier::State {
    explicit State(CMsgTarget t) : target(std::move(t)) {}

    CMsgTarget target;
    UniqueFd inotify;
    UniqueFd wake;
    std::thread thread;
    std::atomic<bool> stopping {false};

    mutable std::mutex mutex;
    std::map<int, QByteArray> folders;  // watch -> folder path ending in "/"
    std::vector<QByteArray> requests;   // folders to start watching
    int applying = 0;                   // requests taken by the thread and not yet applied
    std::vector<ShellChange> changes;
    bool posted = false;
    bool overflowLogged = false;

    void Run();
    void WatchTree(const QByteArray& folder, int depth, bool reportFiles);
    void Report(int event, const QByteArray& path);
    void Forget(const QByteArray& folder);
    bool Covered(const QByteArray& folder) const;
    void Handle(const inotify_event& ev);
};

bool CChangeNotifier::State::Covered(const QByteArray& folder) const
{
    for (const auto& [wd, path] : folders)
        if (folder.startsWith(path)) return true;
    return false;
}

void CChangeNotifier::State::Report(int event, const QByteArray& path)
{
    bool post = false;
    {
        std::lock_guard lock(mutex);
        if (changes.size() >= kMaxQueued) {
            if (!overflowLogged) WriteDebugLogA("CChangeNotifier: queue full, changes dropped");
            overflowLogged = true;
            return;
        }
        changes.push_back({event, FileNameText(path)});
        post = !posted;
        posted = true;
    }
    if (post) target.PostMessage(WM_SHELL_CHANGE, 0, 0);
}

void CChangeNotifier::State::WatchTree(const QByteArray& folder, int depth, bool reportFiles)
{
    if (stopping) return;
    const int wd = inotify_add_watch(inotify.get(), folder.constData(), kWatchMask);
    if (wd < 0) {
        if (errno == ENOSPC) WriteDebugLogA("CChangeNotifier: watch limit reached at %s", folder.constData());
        return;
    }
    {
        std::lock_guard lock(mutex);
        folders[wd] = folder;
    }
    DirHandle dir(folder.constData());
    if (!dir.get()) return;
    std::vector<QByteArray> subfolders;
    while (dirent* d = readdir(dir.get())) {
        if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0) continue;
        unsigned char type = d->d_type;
        if (type == DT_UNKNOWN) {
            struct stat st;
            if (fstatat(dirfd(dir.get()), d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        if (type == DT_DIR) subfolders.push_back(folder + d->d_name + '/');
        else if (type == DT_REG && reportFiles) Report(kShellItemCreated, folder + d->d_name);
    }
    if (depth <= 0) return;
    for (const QByteArray& sub : subfolders) WatchTree(sub, depth - 1, reportFiles);
}

void CChangeNotifier::State::Forget(const QByteArray& folder)
{
    std::lock_guard lock(mutex);
    for (auto it = folders.begin(); it != folders.end();) {
        if (it->second.startsWith(folder)) {
            inotify_rm_watch(inotify.get(), it->first);
            it = folders.erase(it);
        } else {
            ++it;
        }
    }
}

void CChangeNotifier::State::Handle(const inotify_event& ev)
{
    if (ev.mask & IN_Q_OVERFLOW) return;
    QByteArray folder;
    {
        std::lock_guard lock(mutex);
        const auto it = folders.find(ev.wd);
        if (it == folders.end()) return;
        folder = it->second;
        if (ev.mask & (IN_IGNORED | IN_DELETE_SELF)) {
            folders.erase(it);
            return;
        }
    }
    if (ev.len == 0) return;
    const QByteArray path = folder + QByteArray(ev.name);
    if (ev.mask & IN_ISDIR) {
        // A new folder is watched at once; what was written into it before that, or what it
        // held when it was moved in, is reported as created.
        if (ev.mask & (IN_CREATE | IN_MOVED_TO)) WatchTree(WithSlash(path), kMaxWatchDepth, true);
        else if (ev.mask & IN_MOVED_FROM) Forget(WithSlash(path));
        return;
    }
    if (ev.mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) Report(kShellItemCreated, path);
    else if (ev.mask & (IN_DELETE | IN_MOVED_FROM)) Report(kShellItemDeleted, path);
}

void CChangeNotifier::State::Run()
{
    alignas(inotify_event) char buffer[64 * 1024];
    while (!stopping) {
        std::vector<QByteArray> todo;
        {
            std::lock_guard lock(mutex);
            todo.swap(requests);
            applying = int(todo.size());
        }
        for (const QByteArray& folder : todo) {
            bool covered;
            {
                std::lock_guard lock(mutex);
                covered = Covered(folder);
            }
            if (!covered) WatchTree(folder, kMaxWatchDepth, false);
            std::lock_guard lock(mutex);
            --applying;
        }
        pollfd fds[2] = {{inotify.get(), POLLIN, 0}, {wake.get(), POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents & POLLIN) {
            uint64_t count;
            [[maybe_unused]] const ssize_t n = ::read(wake.get(), &count, sizeof count);
        }
        if (!(fds[0].revents & POLLIN)) continue;
        const ssize_t n = ::read(inotify.get(), buffer, sizeof buffer);
        if (n <= 0) continue;
        for (ssize_t off = 0; off + ssize_t(sizeof(inotify_event)) <= n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(buffer + off);
            Handle(*ev);
            off += ssize_t(sizeof(inotify_event)) + ev->len;
        }
    }
}

CChangeNotifier::CChangeNotifier(CMsgTarget target) : m_state(std::make_unique<State>(std::move(target))) {}

CChangeNotifier::~CChangeNotifier() { Stop(); }

bool CChangeNotifier::Watch(const QStringList& folders)
{
    State& s = *m_state;
    if (s.stopping) return false;
    if (!s.inotify) {
        s.inotify = UniqueFd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
        s.wake = UniqueFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
        if (!s.inotify || !s.wake) {
            WriteDebugLogA("CChangeNotifier: no inotify queue (%s)", std::strerror(errno));
            s.inotify = UniqueFd();
            s.wake = UniqueFd();
            return false;
        }
        s.thread = std::thread([&s] { s.Run(); });
    }
    {
        std::lock_guard lock(s.mutex);
        for (const QString& f : folders)
            if (!f.isEmpty()) s.requests.push_back(WithSlash(FileNameBytes(f)));
    }
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(s.wake.get(), &one, sizeof one);
    return true;
}

void CChangeNotifier::Stop()
{
    State& s = *m_state;
    s.stopping = true;
    if (s.thread.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(s.wake.get(), &one, sizeof one);
        s.thread.join();
    }
}

std::vector<ShellChange> CChangeNotifier::TakeChanges()
{
    std::lock_guard lock(m_state->mutex);
    std::vector<ShellChange> out;
    out.swap(m_state->changes);
    m_state->posted = false;
    return out;
}

int CChangeNotifier::WatchCount() const
{
    std::lock_guard lock(m_state->mutex);
    return static_cast<int>(m_state->folders.size());
}

int CChangeNotifier::PendingWatchRequests() const
{
    std::lock_guard lock(m_state->mutex);
    return static_cast<int>(m_state->requests.size()) + m_state->applying;
}

QStringList LibraryWatchFolders(CMediaLibrary& library)
{
    QStringList folders;
    {
        std::lock_guard lock(library.Mutex());
        for (const QString& f : library.Conf().Settings().autoScanPaths) folders.append(QDir::cleanPath(f));
        // A large library's tracks share few folders: each is taken once, found by the last
        // "/" of the track's path rather than by a file information per track. Neighbours in
        // the library mostly share their folder, which is then not looked up at all.
        QSet<QStringView> seen;
        QStringView last;
        for (const CQvMusic* track : library.Store().LibraryTracks()) {
            const TrackInfo* info = track->GetInfo();
            if (!info || info->LSrc.isEmpty()) continue;
            const QStringView folder = info->LSrc.Directory();
            if (folder.isEmpty()) {
                folders.append(QFileInfo(info->LSrc).path());
                continue;
            }
            if (folder == last) continue;
            last = folder;
            if (seen.contains(folder)) continue;
            seen.insert(folder);
            folders.append(folder.toString());
        }
    }
    // Shorter paths first, so a folder is looked at after every folder that may hold it.
    std::sort(folders.begin(), folders.end(),
              [](const QString& a, const QString& b) { return a.size() != b.size() ? a.size() < b.size() : a < b; });
    QStringList kept;
    QSet<QString> keptSet;
    for (const QString& f : folders) {
        if (f.isEmpty() || keptSet.contains(f)) continue;
        bool inside = false;
        for (QString up = f, parent = QFileInfo(f).path(); !inside && parent != up; up = parent, parent = QFileInfo(up).path())
            inside = keptSet.contains(parent);
        if (inside) continue;
        kept.append(f);
        keptSet.insert(f);
    }
    std::sort(kept.begin(), kept.end());
    return kept;
}
