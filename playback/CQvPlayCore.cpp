#include "playback/CQvPlayCore.h"

#include "base/DebugLog.h"
#include "base/MessageIds.h"
#include "base/Worker.h"
#include "playback/FfmpegBackend.h"
#include "playback/PeakEqualizer.h"
#include "playback/SdlAudioOutput.h"

#include <QRegularExpression>

#include <chrono>

namespace {

// Buffering a network stream waits at most this long before playing whatever has arrived.
constexpr auto kBufferingBound = std::chrono::seconds(10);
constexpr int kBufferingPollMs = 50;
// A network stream starts once more than this share of it has been downloaded.
constexpr std::int64_t kStartPercent = 2;

std::shared_ptr<CQvPlayCore>& Instance()
{
    static std::shared_ptr<CQvPlayCore> instance;
    return instance;
}

bool StartsWith(const QString& s, const char* prefix) { return s.startsWith(QLatin1String(prefix), Qt::CaseInsensitive); }

enum class SourceKind { LocalFile, Http, Mms, Unsupported };

SourceKind KindOf(const QString& source)
{
    if (StartsWith(source, "http://")) return SourceKind::Http;
    if (StartsWith(source, "mms://")) return SourceKind::Mms;
    // Anything else that names a scheme ("http:/host/a.mp3", "https://", "ftp://") is an address
    // this engine does not open; taken for a file name it would fail without a word.
    static const QRegularExpression kScheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return kScheme.match(source).hasMatch() ? SourceKind::Unsupported : SourceKind::LocalFile;
}

} // namespace

CQvPlayCore* CQvPlayCore::GetInstance()
{
    std::shared_ptr<CQvPlayCore>& instance = Instance();
    if (!instance) instance = Create(std::make_unique<CFfmpegBackend>(std::make_unique<CSdlAudioOutput>()));
    return instance.get();
}

void CQvPlayCore::ShutDown()
{
    std::shared_ptr<CQvPlayCore>& instance = Instance();
    if (!instance) return;
    instance->Free();
    instance.reset();
}

std::shared_ptr<CQvPlayCore> CQvPlayCore::Create(std::unique_ptr<IAudioBackend> backend)
{
    return std::shared_ptr<CQvPlayCore>(new CQvPlayCore(std::move(backend)));
}

CQvPlayCore::CQvPlayCore(std::unique_ptr<IAudioBackend> backend) : m_backend(std::move(backend)) {}

CQvPlayCore::~CQvPlayCore() { m_backend->Free(); }

// ---- window and log ---------------------------------------------------------------------

CMsgTarget CQvPlayCore::Window() const
{
    std::lock_guard lock(m_windowMutex);
    return m_window;
}

void CQvPlayCore::Notify(int wParam, int lParam) const
{
    Window().PostMessage(WM_ENGINE_NOTIFY, static_cast<quintptr>(wParam), lParam);
}

void CQvPlayCore::Log(const char* reason) const
{
    WriteDebugLogA("playcore %s\t(code:%d)", reason, static_cast<int>(m_backend->ErrorGetCode()));
}

// ---- device -----------------------------------------------------------------------------

int CQvPlayCore::Init(const CMsgTarget& window, IEngineUi* ui)
{
    {
        std::lock_guard lock(m_windowMutex);
        m_initWindow = window;
        m_ui = ui;
    }
    if (!m_backend->Init()) {
        Log("init");
        if (ui) ui->MessageBox(QStringLiteral("Can't initialize device"));
        return 0;
    }
    std::lock_guard lock(m_windowMutex);
    m_window = window;
    return 1;
}

bool CQvPlayCore::EnsureDevice()
{
    if (m_backend->IsInitialized()) return true;
    // The device failed at start-up or since: every open tries it again rather than waiting for
    // a notification window that never came.
    if (!m_backend->Init()) {
        Log("init");
        return false;
    }
    std::lock_guard lock(m_windowMutex);
    m_window = m_initWindow;
    return true;
}

void CQvPlayCore::Free()
{
    {
        std::lock_guard lock(m_windowMutex);
        m_window = CMsgTarget();
        m_initWindow = CMsgTarget();
    }
    {
        std::lock_guard lock(m_stateMutex);
        ++m_counter; // whatever is still being opened is dropped
        m_opening = false;
        m_alternatives.clear();
        m_fx = 0;
    }
    m_stream = 0;
    m_status = kStopped;
    m_backend->Free();
}

// ---- requests ---------------------------------------------------------------------------

template <typename F>
bool CQvPlayCore::IfLatest(int n, F change)
{
    std::lock_guard lock(m_stateMutex);
    if (m_counter.load() != n) return false;
    change();
    return true;
}

int CQvPlayCore::Open(const QString& source, const QStringList& alternatives)
{
    if (m_status.load() == kPlaying) {
        Stop();
        return 0;
    }
    if (!EnsureDevice()) {
        Stop();
        return 0;
    }
    int n = 0;
    bool playing = false;
    {
        // Decided under the same lock a worker starts playing under: either that start came
        // first and this open only stops it, or this request wins and the worker never starts.
        std::lock_guard lock(m_stateMutex);
        playing = m_status.load() == kPlaying;
        if (!playing) {
            n = ++m_counter;
            m_source = source;
            m_alternatives = alternatives;
            m_opening = true;
            m_status = kPaused;
        }
    }
    if (playing) {
        Stop();
        return 0;
    }
    const bool started = StartWorker([self = shared_from_this(), n] { self->RunRequest(n); });
    if (!started) {
        IfLatest(n, [&] {
            m_opening = false;
            m_status = kStopped;
        });
        return 0;
    }
    return 1;
}

bool CQvPlayCore::IsCurrent(int n) const
{
    if (!IsLatest(n)) return false;
    const auto it = m_requests.find(n);
    return it != m_requests.end() && it->second.active;
}

void CQvPlayCore::RunRequest(int n)
{
    const auto finish = [&] { IfLatest(n, [&] { m_opening = false; }); };
    if (!WindowAlive()) {
        finish();
        return;
    }
    QString source;
    QStringList alternatives;
    {
        std::lock_guard lock(m_requestMutex);
        if (!IsLatest(n)) return;
        {
            std::lock_guard state(m_stateMutex);
            source = m_source;
            alternatives = m_alternatives;
        }
        m_requests[n] = Request {};
    }

    std::lock_guard lock(m_requestMutex);
    // Older requests lose: their streams go now. Their entries go too, so the table stays small.
    for (auto it = m_requests.begin(); it != m_requests.end();) {
        if (it->first < n) {
            if (it->second.stream) m_backend->StreamFree(it->second.stream);
            it = m_requests.erase(it);
        } else if (it->first > n) {
            m_requests.erase(n); // a newer one is already here
            return;
        } else {
            ++it;
        }
    }

    if (WindowAlive() && IsCurrent(n) && OpenStream(n, source, alternatives)) {
        // Only the latest request may start playing, however late it was overtaken.
        bool latest = false;
        bool played = false;
        if (WindowAlive() && IsCurrent(n)) {
            latest = IfLatest(n, [&] {
                played = Play() == 1;
                if (!played) return;
                m_openState = kOpenPlayedByWorker;
                // Done before the start notice can be handled (it waits for this lock), so the
                // controller never takes this started stream for one still being opened.
                m_opening = false;
            });
        }
        if (!played) {
            Abandon(n, m_requests.contains(n) ? m_requests[n].stream : 0);
            // A stream that opened but does not start (the device failed meanwhile) is a failed
            // open like any other, or the controller would wait for a start that never comes.
            if (latest) {
                Log("play");
                FailOpen(n, false, KindOf(source) != SourceKind::LocalFile);
            }
        }
    }
    finish();
}

void CQvPlayCore::SetCurrentStream(int n, StreamHandle stream)
{
    m_requests[n].stream = stream;
    m_stream = stream;
}

void CQvPlayCore::Abandon(int n, StreamHandle stream)
{
    if (stream) {
        StreamHandle expected = stream;
        m_stream.compare_exchange_strong(expected, 0);
        m_backend->StreamFree(stream);
    }
    m_requests.erase(n);
}

bool CQvPlayCore::OpenStream(int n, const QString& source, const QStringList& alternatives)
{
    if (const StreamHandle old = m_stream.exchange(0)) m_backend->StreamFree(old);
    {
        std::lock_guard lock(m_stateMutex);
        m_fx = 0; // it went with the old stream
    }
    if (!IsCurrent(n)) return false;

    switch (KindOf(source)) {
    case SourceKind::Http:
    case SourceKind::Mms: return OpenUrl(n, source, alternatives);
    case SourceKind::Unsupported:
        Log("stream error");
        FailOpen(n, false, true);
        return false;
    case SourceKind::LocalFile: break;
    }

    const StreamHandle stream = m_backend->StreamCreateFile(source);
    if (!stream) {
        // A local file that does not open leaves the engine stopped, without a message.
        Log("stream error");
        IfLatest(n, [&] { m_status = kStopped; });
        m_requests.erase(n);
        return false;
    }
    if (!IfLatest(n, [&] {
            SetCurrentStream(n, stream);
            m_status = kReady;
        })) {
        Abandon(n, stream);
        return false;
    }
    AttachEqualizer(n, stream);
    return true;
}

bool CQvPlayCore::OpenUrl(int n, const QString& source, const QStringList& alternatives)
{
    const bool http = StartsWith(source, "http://");
    Notify(kNotifyConnecting);
    const CancelCheck superseded = [this, n] { return !IsLatest(n) || IsExiting(); };
    StreamHandle stream = m_backend->StreamCreateURL(source, superseded);
    if (http) {
        for (const QString& alternative : alternatives) {
            if (stream || superseded()) break;
            stream = m_backend->StreamCreateURL(alternative, superseded);
        }
    }
    if (!stream) {
        const bool gaveUp = superseded();
        Log(gaveUp ? "next stream" : "stream error");
        FailOpen(n, gaveUp, true);
        return false;
    }
    if (!IsCurrent(n)
        || !IfLatest(n, [&] {
               SetCurrentStream(n, stream);
               m_openState = kOpenConnecting;
           })) {
        Abandon(n, stream);
        return false;
    }
    // Every stream gets the equaliser as soon as it is current, so the gains set from now on
    // reach what is heard.
    AttachEqualizer(n, stream);
    if (!http) {
        // An mms stream plays as it comes.
        if (IfLatest(n, [&] { m_status = kReady; })) return true;
        Abandon(n, stream);
        return false;
    }
    return Buffer(n, stream);
}

void CQvPlayCore::FailOpen(int n, bool superseded, bool tell)
{
    m_requests.erase(n);
    // Told only while this is the latest request: a request overtaken by a newer one or by a
    // stop must not make the player stop or skip what came after it.
    if (superseded) return;
    IfLatest(n, [&] {
        m_opening = false;
        m_status = kStopped;
        if (tell) Notify(kNotifyOpenFailed);
    });
}

bool CQvPlayCore::Buffer(int n, StreamHandle stream)
{
    const auto deadline = std::chrono::steady_clock::now() + kBufferingBound;
    for (;;) {
        if (!IsCurrent(n)) {
            Abandon(n, stream);
            return false;
        }
        const std::int64_t end = m_backend->StreamGetFilePosition(stream, FilePosition::End);
        if (end <= 0) {
            if (m_backend->ErrorGetCode() == AudioError::Handle) { // stopped under our feet
                Abandon(n, stream);
                return false;
            }
            // No size (or a size of 0, which says as little): play it as a live stream.
            Log("update");
            Notify(kNotifySizeUnknown);
            return true;
        }
        const std::int64_t buffered = m_backend->StreamGetFilePosition(stream, FilePosition::Buffered);
        const std::int64_t percent = buffered > 0 ? buffered * 100 / end : 0;
        if (percent > kStartPercent) break;
        if (m_backend->StreamGetFilePosition(stream, FilePosition::Connected) == 0) break;
        // However slow the server, playback starts after the bound; it stalls if data runs out.
        if (std::chrono::steady_clock::now() >= deadline) break;
        Notify(kNotifyBuffering, static_cast<int>(percent));
        if (WaitForStop(kBufferingPollMs)) {
            Abandon(n, stream);
            return false;
        }
    }
    if (IfLatest(n, [&] { m_status = kReady; })) return true;
    Abandon(n, stream);
    return false;
}

void CQvPlayCore::AttachEqualizer(int n, StreamHandle stream)
{
    const FxHandle fx = m_backend->ChannelSetFX(stream);
    // Set under the state lock, so a gain set meanwhile is neither lost nor undone, and only for
    // the latest request: an overtaken stream's effect must not take the place of the live one.
    std::lock_guard lock(m_stateMutex);
    if (m_counter.load() != n || !fx) return;
    m_fx = fx;
    for (int i = 0; i < kEqBands; ++i) m_backend->FXSetParameters(fx, EqBand(i));
}

PeakEqBand CQvPlayCore::EqBand(int band) const
{
    PeakEqBand b;
    b.band = band;
    b.centerHz = CPeakEqualizer::kCenters[band];
    b.bandwidthOctaves = 2.5f;
    b.gainDb = m_eqGains[band];
    return b;
}

bool CQvPlayCore::SetEqGain(int band, float gainDb)
{
    if (band < 0 || band >= kEqBands) return false;
    std::lock_guard lock(m_stateMutex);
    m_eqGains[band] = gainDb;
    if (m_fx) m_backend->FXSetParameters(m_fx, EqBand(band));
    return true;
}

// ---- playing ----------------------------------------------------------------------------

int CQvPlayCore::Play()
{
    const int status = m_status.load();
    if (status != kReady && status != kPaused) return 0;
    const StreamHandle stream = m_stream.load();
    // The last volume set holds for the new stream from its first sample on.
    m_backend->ChannelSetVolume(stream, m_volume.load());
    if (!m_backend->ChannelPlay(stream, false)) return 0;
    Notify(kNotifyStarted);
    m_status = kPlaying;
    m_openState = kOpenPlayedByCall;
    return 1;
}

int CQvPlayCore::PauseResume()
{
    const StreamHandle stream = m_stream.load();
    const int status = m_status.load();
    if (status == kPlaying) {
        m_backend->ChannelPause(stream);
        m_status = kPaused;
    } else if (status == kPaused) {
        bool opening;
        {
            std::lock_guard lock(m_stateMutex);
            opening = m_opening;
        }
        // Status 3 also means "being opened": only a stream that really is paused resumes.
        if (!opening && m_backend->ChannelIsActive(stream) == ChannelActivity::Paused
            && m_backend->ChannelPlay(stream, false)) {
            m_status = kPlaying;
        }
    }
    return m_status.load();
}

int CQvPlayCore::Stop()
{
    {
        // A stop also ends any open still at work: it must not start playing afterwards.
        std::lock_guard lock(m_stateMutex);
        ++m_counter;
        m_opening = false;
        m_source.clear();
        m_fx = 0;
    }
    const StreamHandle stream = m_stream.exchange(0);
    m_status = kStopped;
    if (!stream) return 0;
    const bool stopped = m_backend->ChannelStop(stream);
    m_backend->StreamFree(stream);
    return stopped ? 1 : 0;
}

int CQvPlayCore::GetStatus()
{
    const StreamHandle stream = m_stream.load();
    if (!stream) return m_status.load();
    {
        // While the latest request is opening, its stream has not been started yet.
        std::lock_guard lock(m_stateMutex);
        if (m_opening) return m_status.load();
    }
    int status = kStopped;
    switch (m_backend->ChannelIsActive(stream)) {
    case ChannelActivity::Stopped: status = kStopped; break;
    case ChannelActivity::Playing: status = kPlaying; break;
    case ChannelActivity::Stalled: status = kStalled; break;
    case ChannelActivity::Paused: status = kPaused; break;
    }
    m_status = status;
    return status;
}

int CQvPlayCore::GetPosition()
{
    const StreamHandle stream = m_stream.load();
    if (!stream) return 0;
    const std::int64_t ms = m_backend->ChannelGetPosition(stream);
    return ms > 0 ? static_cast<int>(ms) : 0;
}

bool CQvPlayCore::Seek(int ms)
{
    const StreamHandle stream = m_stream.load();
    return stream && m_backend->ChannelSetPosition(stream, ms);
}

int CQvPlayCore::GetLength()
{
    const StreamHandle stream = m_stream.load();
    if (!stream) return 0;
    const std::int64_t ms = m_backend->ChannelGetLength(stream);
    return ms > 0 ? static_cast<int>(std::min<std::int64_t>(ms, INT32_MAX)) : 0;
}

bool CQvPlayCore::SetVolume(float volume)
{
    m_volume = volume;
    const StreamHandle stream = m_stream.load();
    return stream && m_backend->ChannelSetVolume(stream, volume);
}

float CQvPlayCore::GetBufferPercent()
{
    const StreamHandle stream = m_stream.load();
    if (!stream) return 0.0f;
    const std::int64_t end = m_backend->StreamGetFilePosition(stream, FilePosition::End);
    if (end <= 0) return 0.0f; // a live stream has no percent
    const std::int64_t buffered = m_backend->StreamGetFilePosition(stream, FilePosition::Buffered);
    return buffered > 0 ? static_cast<float>(buffered) * 100.0f / static_cast<float>(end) : 0.0f;
}

bool CQvPlayCore::IsOpening() const
{
    std::lock_guard lock(m_stateMutex);
    return m_opening;
}

bool CQvPlayCore::HasDevice() const { return m_backend->IsInitialized(); }

int EngineLengthSeconds(int lengthMs)
{
    if (lengthMs >= 1 && lengthMs <= 999) lengthMs += 1000;
    return lengthMs > 0 ? lengthMs / 1000 : 0;
}
