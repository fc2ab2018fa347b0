#include "playback/FfmpegBackend.h"

#include "playback/AudioOutput.h"
#include "playback/AudioStream.h"
#include "playback/NetSource.h"
#include "playback/StreamDecoder.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace {

thread_local AudioError t_error = AudioError::Ok;

template <typename T>
T Fail(AudioError e, T value)
{
    t_error = e;
    return value;
}

template <typename T>
T Ok(T value)
{
    t_error = AudioError::Ok;
    return value;
}

// The addresses to try for a URL, in order: "mms://" is tried as MMS over HTTP, then over TCP.
QStringList Candidates(const QString& url)
{
    if (url.startsWith(QLatin1String("mms://"), Qt::CaseInsensitive)) {
        const QString rest = url.mid(6);
        return {QStringLiteral("mmsh://") + rest, QStringLiteral("mmst://") + rest};
    }
    static const char* const kSchemes[] = {"http://", "https://", "mmsh://", "mmst://"};
    for (const char* scheme : kSchemes) {
        if (url.startsWith(QLatin1String(scheme), Qt::CaseInsensitive)) return {url};
    }
    return {};
}

} // namespace

// FFmpeg itself is loaded by the first stream (base/FfmpegLibrary.h), not with the device.
CFfmpegBackend::CFfmpegBackend(std::unique_ptr<IAudioOutput> output) : m_output(std::move(output)) {}

CFfmpegBackend::~CFfmpegBackend() { Free(); }

bool CFfmpegBackend::Init()
{
    std::lock_guard lock(m_initMutex);
    if (m_initialized.load()) {
        if (m_output->IsWorking()) return Ok(true);
        m_output->Close(); // it failed since: start it again
        m_initialized = false;
    }
    const bool ok = m_output->Open(kRate, CStreamDecoder::kChannels,
                                   [this](float* out, int frames, std::int64_t first) { Render(out, frames, first); });
    m_initialized = ok;
    return ok ? Ok(true) : Fail(AudioError::Device, false);
}

bool CFfmpegBackend::IsInitialized() const
{
    // Workers ask this while the interface thread may be opening or closing the device.
    std::lock_guard lock(m_initMutex);
    return m_initialized.load() && m_output->IsWorking();
}

std::int64_t CFfmpegBackend::PlayedFrames() const
{
    std::lock_guard lock(m_initMutex);
    return m_output->PlayedFrames();
}

void CFfmpegBackend::Free()
{
    {
        std::lock_guard lock(m_initMutex);
        m_initialized = false;
        m_output->Close();
    }
    std::map<StreamHandle, std::shared_ptr<CAudioStream>> streams;
    {
        std::lock_guard lock(m_mutex);
        streams.swap(m_streams);
        m_effects.clear();
    }
    // The streams end here, outside the lock (each waits for its decoder thread).
}

StreamHandle CFfmpegBackend::Add(std::shared_ptr<CAudioStream> stream)
{
    std::lock_guard lock(m_mutex);
    const StreamHandle h = m_nextHandle++;
    m_streams.emplace(h, std::move(stream));
    return h;
}

std::shared_ptr<CAudioStream> CFfmpegBackend::Find(StreamHandle stream)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_streams.find(stream);
    return it == m_streams.end() ? nullptr : it->second;
}

StreamHandle CFfmpegBackend::StreamCreateFile(const QString& path)
{
    if (!IsInitialized()) return Fail(AudioError::Init, StreamHandle {0});
    auto decoder = std::make_unique<CStreamDecoder>();
    const AudioError e = decoder->OpenFile(path);
    if (e != AudioError::Ok) return Fail(e, StreamHandle {0});
    auto stream = std::make_shared<CAudioStream>(std::move(decoder), nullptr, QFileInfo(path).size());
    return Ok(Add(std::move(stream)));
}

StreamHandle CFfmpegBackend::StreamCreateURL(const QString& url, const CancelCheck& cancelled)
{
    if (!IsInitialized()) return Fail(AudioError::Init, StreamHandle {0});
    const QStringList candidates = Candidates(url);
    if (candidates.isEmpty()) return Fail(AudioError::FileOpen, StreamHandle {0});
    AudioError e = AudioError::FileOpen;
    for (const QString& candidate : candidates) {
        if (cancelled && cancelled()) return Fail(AudioError::Cancelled, StreamHandle {0});
        std::unique_ptr<CNetSource> net = CNetSource::Connect(candidate, cancelled, &e);
        if (!net) continue;
        net->SetReadInterrupt([&cancelled] { return cancelled && cancelled(); });
        auto decoder = std::make_unique<CStreamDecoder>();
        e = decoder->OpenSource(net.get(), candidate);
        if (e != AudioError::Ok) {
            if (cancelled && cancelled()) e = AudioError::Cancelled;
            continue;
        }
        auto stream = std::make_shared<CAudioStream>(std::move(decoder), std::move(net), -1);
        return Ok(Add(std::move(stream)));
    }
    return Fail(e, StreamHandle {0});
}

bool CFfmpegBackend::StreamFree(StreamHandle stream)
{
    std::shared_ptr<CAudioStream> gone;
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_streams.find(stream);
        if (it == m_streams.end()) return Fail(AudioError::Handle, false);
        gone = std::move(it->second);
        m_streams.erase(it);
        std::erase_if(m_effects, [stream](const auto& e) { return e.second == stream; });
    }
    gone.reset();
    return Ok(true);
}

bool CFfmpegBackend::ChannelPlay(StreamHandle stream, bool restart)
{
    if (!IsInitialized()) return Fail(AudioError::Init, false);
    const auto s = Find(stream);
    if (!s) return Fail(AudioError::Handle, false);
    return s->Play(restart) ? Ok(true) : Fail(AudioError::Position, false);
}

bool CFfmpegBackend::ChannelPause(StreamHandle stream)
{
    const auto s = Find(stream);
    if (!s) return Fail(AudioError::Handle, false);
    return s->Pause() ? Ok(true) : Fail(AudioError::NotAvail, false);
}

bool CFfmpegBackend::ChannelStop(StreamHandle stream)
{
    const auto s = Find(stream);
    if (!s) return Fail(AudioError::Handle, false);
    return Ok(s->Stop());
}

ChannelActivity CFfmpegBackend::ChannelIsActive(StreamHandle stream)
{
    const auto s = Find(stream);
    if (!s) return Fail(AudioError::Handle, ChannelActivity::Stopped);
    return Ok(s->Activity());
}

std::int64_t CFfmpegBackend::ChannelGetPosition(StreamHandle stream)
{
    const auto s = Find(stream);
    if (!s) return Fail(AudioError::Handle, std::int64_t {-1});
    return Ok(s->PositionMs(PlayedFrames()));
}

bool CFfmpegBackend::ChannelSetPosition(StreamHandle stream, std::int64_t ms)
{
    const auto s = Find(stream);
    if (!s) return Fail(AudioError::Handle, false);
    return s->Seek(ms) ? Ok(true) : Fail(AudioError::Position, false);
}

std::int64_t CFfmpegBackend::ChannelGetLength(StreamHandle stream)
{
    const auto s = Find(stream);
    if (!s) return Fail(AudioError::Handle, std::int64_t {-1});
    const std::int64_t ms = s->LengthMs();
    return ms >= 0 ? Ok(ms) : Fail(AudioError::NotAvail, std::int64_t {-1});
}

bool CFfmpegBackend::ChannelSetVolume(StreamHandle stream, float volume)
{
    const auto s = Find(stream);
    if (!s) return Fail(AudioError::Handle, false);
    if (!(volume >= 0.0f)) volume = 0.0f; // also NaN
    s->SetVolume(std::min(volume, 1.0f));
    return Ok(true);
}

std::int64_t CFfmpegBackend::StreamGetFilePosition(StreamHandle stream, FilePosition which)
{
    const auto s = Find(stream);
    if (!s) return Fail(AudioError::Handle, std::int64_t {-1});
    const std::int64_t v = s->FilePos(which);
    return v >= 0 ? Ok(v) : Fail(AudioError::NotAvail, std::int64_t {-1});
}

FxHandle CFfmpegBackend::ChannelSetFX(StreamHandle stream)
{
    std::lock_guard lock(m_mutex);
    if (!m_streams.contains(stream)) return Fail(AudioError::Handle, FxHandle {0});
    const FxHandle fx = m_nextFx++;
    m_effects.emplace(fx, stream);
    return Ok(fx);
}

bool CFfmpegBackend::FXSetParameters(FxHandle fx, const PeakEqBand& band)
{
    if (band.band < 0 || band.band > 9) return Fail(AudioError::NotAvail, false);
    std::shared_ptr<CAudioStream> s;
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_effects.find(fx);
        if (it == m_effects.end()) return Fail(AudioError::Handle, false);
        const auto st = m_streams.find(it->second);
        if (st != m_streams.end()) s = st->second;
    }
    if (!s) return Fail(AudioError::Handle, false);
    s->SetEqBand(band);
    return Ok(true);
}

AudioError CFfmpegBackend::ErrorGetCode() const { return t_error; }

void CFfmpegBackend::Render(float* out, int frames, std::int64_t firstFrame)
{
    const std::size_t samples = static_cast<std::size_t>(frames) * CStreamDecoder::kChannels;
    std::memset(out, 0, samples * sizeof(float));
    {
        std::lock_guard lock(m_mutex);
        for (auto& [handle, stream] : m_streams) stream->Render(out, frames, firstFrame);
    }
    for (std::size_t i = 0; i < samples; ++i) out[i] = std::clamp(out[i], -1.0f, 1.0f);
}
