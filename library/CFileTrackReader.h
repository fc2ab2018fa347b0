#pragma once
#include "base/MsgWindow.h"
#include "model/CQvMusic.h"
#include "store/TrackBuilder.h"

#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class CMediaLibrary;

// Tracks for files the user names (the command line, a second start's hand-over, a file that
// appears in a watched folder), made on a worker: opening a file's tags can take minutes (a
// huge or damaged file, a slow disk), and the window must keep drawing and answering meanwhile.
// Each track is the one the library holds for the file, else a new one stored as
// BuildTrackFromFile stores it. The tracks come back to the thread that owns the reader.
class CFileTrackReader : public CMsgWindow {
    Q_OBJECT
public:
    // The tracks of a batch in the order of its paths; files that gave none are left out.
    using Done = std::function<void(const std::vector<TrackRef>& tracks)>;

    explicit CFileTrackReader(CMediaLibrary& library, QObject* parent = nullptr);
    ~CFileTrackReader() override;

    // Starts reading `paths` on a worker; `done` runs on the owner's thread when all are read,
    // unless the reader is gone by then. False (and `done` never runs) when no worker starts.
    bool Read(const QStringList& paths, const TrackBuildOptions& options, Done done);
    // Batches started whose tracks have not come back yet.
    int Pending() const { return int(m_pending.size()); }

    qintptr OnMessage(unsigned msg, quintptr wParam, qintptr lParam) override;

private:
    struct Batch;
    CMediaLibrary& m_library;
    quint64 m_nextId = 1;
    std::map<quint64, std::shared_ptr<Batch>> m_pending;
};
