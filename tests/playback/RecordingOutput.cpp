#include "tests/playback/RecordingOutput.h"

#include <chrono>

CRecordingOutput::CRecordingOutput(std::shared_ptr<Recording> recording, Clock clock, double speed)
    : m_recording(std::move(recording)), m_clock(clock), m_speed(speed)
{
}

CRecordingOutput::~CRecordingOutput() { Close(); }

namespace {
// Marks the device as being opened or closed for as long as the recording asks.
struct Changing {
    explicit Changing(Recording& r) : r(r)
    {
        if (r.changeMicroseconds.load() == 0) return;
        r.changing = true;
        std::this_thread::sleep_for(std::chrono::microseconds(r.changeMicroseconds.load()));
    }
    ~Changing() { r.changing = false; }
    Recording& r;
};
} // namespace

bool CRecordingOutput::Open(int rate, int channels, Render render)
{
    Close();
    Changing changing(*m_recording);
    ++m_recording->opens;
    if (m_recording->failOpen || rate != Recording::kRate || channels != Recording::kChannels) return false;
    {
        std::lock_guard lock(m_renderMutex);
        m_render = std::move(render);
    }
    m_recording->working = true;
    m_open = true;
    if (m_clock == Clock::RealTime) {
        m_stop = false;
        m_thread = std::thread([this] { Run(); });
    }
    return true;
}

void CRecordingOutput::Close()
{
    Changing changing(*m_recording);
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    std::lock_guard lock(m_renderMutex);
    m_render = nullptr;
    m_open = false;
}

bool CRecordingOutput::IsWorking() const
{
    if (m_recording->changing.load()) ++m_recording->lookedWhileChanging;
    return m_open.load() && m_recording->working.load();
}

std::int64_t CRecordingOutput::PlayedFrames() const
{
    std::lock_guard lock(m_recording->mutex);
    const auto rendered = static_cast<std::int64_t>(m_recording->samples.size() / Recording::kChannels);
    return std::max<std::int64_t>(0, rendered - m_recording->heldFrames);
}

void CRecordingOutput::Pull(int frames)
{
    std::lock_guard lock(m_renderMutex);
    if (!m_render) return;
    std::vector<float> block(static_cast<size_t>(frames) * Recording::kChannels);
    std::int64_t first;
    {
        std::lock_guard rec(m_recording->mutex);
        first = static_cast<std::int64_t>(m_recording->samples.size() / Recording::kChannels);
    }
    m_render(block.data(), frames, first);
    std::lock_guard rec(m_recording->mutex);
    m_recording->samples.insert(m_recording->samples.end(), block.begin(), block.end());
}

void CRecordingOutput::Run()
{
    constexpr int kBlock = Recording::kRate / 100;
    const auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(0.01 / m_speed));
    auto next = std::chrono::steady_clock::now();
    while (!m_stop.load()) {
        Pull(kBlock);
        next += period;
        std::this_thread::sleep_until(next);
    }
}

std::vector<SoundRun> SplitSoundRuns(const std::vector<float>& interleaved, size_t fromFrame, size_t minGap)
{
    std::vector<SoundRun> runs;
    const size_t frames = interleaved.size() / Recording::kChannels;
    size_t i = fromFrame;
    while (i < frames) {
        while (i < frames && interleaved[i * 2] == 0.0f && interleaved[i * 2 + 1] == 0.0f) ++i;
        if (i >= frames) break;
        SoundRun run;
        run.firstFrame = i;
        size_t zeros = 0;
        size_t end = i;
        for (; end < frames; ++end) {
            const bool silent = interleaved[end * 2] == 0.0f && interleaved[end * 2 + 1] == 0.0f;
            zeros = silent ? zeros + 1 : 0;
            if (zeros >= minGap) break;
        }
        const size_t stop = zeros >= minGap ? end + 1 - zeros : end;
        for (size_t k = i; k < stop; ++k) run.mono.push_back(interleaved[k * 2]);
        runs.push_back(std::move(run));
        i = end;
    }
    return runs;
}
