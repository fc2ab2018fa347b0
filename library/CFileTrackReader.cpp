#include "library/CFileTrackReader.h"

#include "base/MessageIds.h"
#include "base/Worker.h"

struct CFileTrackReader::Batch {
    QStringList paths;
    TrackBuildOptions options;
    Done done;
    // Written by the worker before it posts; read on the owner's thread after the message.
    std::vector<TrackRef> tracks;
};

CFileTrackReader::CFileTrackReader(CMediaLibrary& library, QObject* parent) : CMsgWindow(parent), m_library(library) {}

CFileTrackReader::~CFileTrackReader() = default;

bool CFileTrackReader::Read(const QStringList& paths, const TrackBuildOptions& options, Done done)
{
    auto batch = std::make_shared<Batch>();
    batch->paths = paths;
    batch->options = options;
    batch->done = std::move(done);
    const quint64 id = m_nextId++;
    CMediaLibrary* library = &m_library;
    const CMsgTarget self = Target();
    const bool started = StartWorker([batch, library, self, id] {
        for (const QString& path : batch->paths) {
            if (IsExiting()) return;
            if (TrackRef track = BuildTrackFromFile(*library, path, batch->options)) batch->tracks.push_back(track);
        }
        self.PostMessage(WM_FILE_TRACKS_READ, quintptr(id), 0);
    });
    if (started) m_pending.emplace(id, std::move(batch));
    return started;
}

qintptr CFileTrackReader::OnMessage(unsigned msg, quintptr wParam, qintptr lParam)
{
    if (msg != WM_FILE_TRACKS_READ) return CMsgWindow::OnMessage(msg, wParam, lParam);
    const auto it = m_pending.find(quint64(wParam));
    if (it == m_pending.end()) return 0;
    const std::shared_ptr<Batch> batch = it->second;
    m_pending.erase(it);
    if (batch->done) batch->done(batch->tracks);
    return 0;
}
