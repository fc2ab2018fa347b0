#pragma once
#include "base/MsgWindow.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class CMediaLibrary;

// Event codes of a change, as the controller's handler of WM_SHELL_CHANGE tests them.
constexpr int kShellItemCreated = 0x2;
constexpr int kShellItemDeleted = 0x4;

struct ShellChange {
    int event = 0; // kShellItemCreated or kShellItemDeleted
    QString path;
};

// Watches the library's folders, and every folder below them as it appears, for files that
// appear or go away. A file counts as created once it has been closed after writing or moved in
// (never while it is still being written); a file deleted or moved away counts as deleted. Files
// inside a folder that is moved in count as created. Links to folders are not followed.
//
// The changes gather in a queue; the window is posted WM_SHELL_CHANGE when the queue stops
// being empty and takes them with TakeChanges (the message carries no data of its own, so
// nothing is lost or leaked when the window goes away first).
class CChangeNotifier {
public:
    explicit CChangeNotifier(CMsgTarget target);
    ~CChangeNotifier(); // stops watching
    CChangeNotifier(const CChangeNotifier&) = delete;
    CChangeNotifier& operator=(const CChangeNotifier&) = delete;

    // Starts the watching thread on first use; false when the system refuses a watch queue.
    // Folders already watched (or inside one) are skipped.
    bool Watch(const QStringList& folders);
    void Stop();

    std::vector<ShellChange> TakeChanges();

    // Folders being watched now; the requests of Watch are applied by the thread shortly after.
    int WatchCount() const;
    // Watch requests not yet applied.
    int PendingWatchRequests() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// The folders whose changes concern the library: the auto-scan folders and every folder that
// holds a library track's file, each once and without folders inside another of them.
QStringList LibraryWatchFolders(CMediaLibrary& library);
