// The engine's request bookkeeping over a backend of the test's own, where the test decides
// when an open returns and what the download reports. Orders of events that real files and
// servers only produce by chance are made here on purpose.
#include "tests/playback/EngineTestUtil.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <set>

namespace {

struct FakeSource {
    bool opens = true;
    bool gated = false;                  // the open waits for Release (or, for a URL, a cancel)
    std::vector<std::int64_t> buffered;  // one value per question, the last one repeating
    std::int64_t end = 1000;
    bool connected = true;
};

class CFakeBackend : public IAudioBackend {
public:
    std::map<QString, FakeSource> sources;

    void Release(const QString& source)
    {
        std::lock_guard lock(m_mutex);
        m_released.insert(source);
        m_changed.notify_all();
    }
    bool WaitInOpen(const QString& source)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_waiting.contains(source); });
    }
    std::vector<std::string> Calls() const
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    int Count(const std::string& call) const
    {
        const auto calls = Calls();
        return static_cast<int>(std::count(calls.begin(), calls.end(), call));
    }

    bool Init() override { return true; }
    bool IsInitialized() const override { return true; }
    void Free() override {}

    StreamHandle StreamCreateFile(const QString& path) override { return Create(path, nullptr); }
    StreamHandle StreamCreateURL(const QString& url, const CancelCheck& cancelled) override
    {
        return Create(url, &cancelled);
    }
    bool StreamFree(StreamHandle s) override
    {
        std::lock_guard lock(m_mutex);
        Log("free " + Name(s));
        return m_streams.erase(s) > 0;
    }
    bool ChannelPlay(StreamHandle s, bool) override
    {
        std::lock_guard lock(m_mutex);
        if (!m_streams.contains(s)) return false;
        Log("play " + Name(s));
        m_streams[s].state = ChannelActivity::Playing;
        return true;
    }
    bool ChannelPause(StreamHandle s) override
    {
        std::lock_guard lock(m_mutex);
        if (!m_streams.contains(s)) return false;
        m_streams[s].state = ChannelActivity::Paused;
        return true;
    }
    bool ChannelStop(StreamHandle s) override
    {
        std::lock_guard lock(m_mutex);
        if (!m_streams.contains(s)) return false;
        m_streams[s].state = ChannelActivity::Stopped;
        return true;
    }
    ChannelActivity ChannelIsActive(StreamHandle s) override
    {
        std::lock_guard lock(m_mutex);
        return m_streams.contains(s) ? m_streams[s].state : ChannelActivity::Stopped;
    }
    std::int64_t ChannelGetPosition(StreamHandle) override { return 0; }
    bool ChannelSetPosition(StreamHandle, std::int64_t) override { return false; }
    std::int64_t ChannelGetLength(StreamHandle) override { return 1000; }
    bool ChannelSetVolume(StreamHandle s, float volume) override
    {
        std::lock_guard lock(m_mutex);
        Log("volume " + Name(s) + " " + std::to_string(static_cast<int>(volume * 100)));
        return m_streams.contains(s);
    }
    std::int64_t StreamGetFilePosition(StreamHandle s, FilePosition which) override
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_streams.find(s);
        if (it == m_streams.end()) {
            t_error = AudioError::Handle;
            return -1;
        }
        t_error = AudioError::Ok;
        FakeSource& src = sources[it->second.name];
        switch (which) {
        case FilePosition::End:
            if (src.end < 0) t_error = AudioError::NotAvail;
            return src.end;
        case FilePosition::Connected: return src.connected ? 1 : 0;
        case FilePosition::Buffered: {
            const size_t i = std::min(it->second.asked++, src.buffered.size() - 1);
            return src.buffered.empty() ? 0 : src.buffered[i];
        }
        }
        return -1;
    }
    FxHandle ChannelSetFX(StreamHandle s) override
    {
        std::lock_guard lock(m_mutex);
        Log("fx " + Name(s));
        return s + 100;
    }
    bool FXSetParameters(FxHandle fx, const PeakEqBand& band) override
    {
        std::lock_guard lock(m_mutex);
        if (band.gainDb != 0) Log("gain " + Name(fx - 100) + " " + std::to_string(band.band) + " " +
                                  std::to_string(static_cast<int>(band.gainDb)));
        m_bands++;
        return true;
    }
    AudioError ErrorGetCode() const override { return t_error; }
    int Bands() const
    {
        std::lock_guard lock(m_mutex);
        return m_bands;
    }

private:
    struct Stream {
        QString name;
        ChannelActivity state = ChannelActivity::Stopped;
        size_t asked = 0;
    };
    StreamHandle Create(const QString& name, const CancelCheck* cancelled)
    {
        std::unique_lock lock(m_mutex);
        Log("create " + name.toStdString());
        const FakeSource src = sources[name];
        if (src.gated) {
            m_waiting.insert(name);
            m_changed.notify_all();
            while (!m_released.contains(name)) {
                if (cancelled && *cancelled && (*cancelled)()) {
                    Log("cancelled " + name.toStdString());
                    return 0;
                }
                m_changed.wait_for(lock, std::chrono::milliseconds(10));
            }
        }
        if (!src.opens) return 0;
        const StreamHandle h = m_next++;
        m_streams[h] = Stream {name};
        return h;
    }
    std::string Name(StreamHandle s) { return m_streams.contains(s) ? m_streams[s].name.toStdString() : "?"; }
    void Log(const std::string& call) { m_calls.push_back(call); }

    static inline thread_local AudioError t_error = AudioError::Ok;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::set<QString> m_waiting, m_released;
    std::map<StreamHandle, Stream> m_streams;
    std::vector<std::string> m_calls;
    StreamHandle m_next = 1;
    int m_bands = 0;
};

class EngineLogic : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto backend = std::make_unique<CFakeBackend>();
        fake = backend.get();
        engine = CQvPlayCore::Create(std::move(backend));
        ASSERT_EQ(engine->Init(window.Target(), nullptr), 1);
    }
    void TearDown() override
    {
        for (const auto& [name, src] : fake->sources) fake->Release(name);
        EndEngine(engine);
    }
    void Done() { ASSERT_TRUE(WaitForWorkers(20000)); Spin(50); }

    CFakeBackend* fake = nullptr;
    CNotifyWindow window;
    std::shared_ptr<CQvPlayCore> engine;
};

const QString kA = QStringLiteral("/music/a.mp3");
const QString kB = QStringLiteral("/music/b.mp3");
const QString kUrl = QStringLiteral("http://host/song.mp3");

} // namespace

TEST_F(EngineLogic, AnOlderRequestOvertakenInsideItsOpenNeverPlays)
{
    fake->sources[kA].gated = true;
    ASSERT_EQ(engine->Open(kA, {}), 1);
    ASSERT_TRUE(fake->WaitInOpen(kA));
    ASSERT_EQ(engine->Open(kB, {}), 1);
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kPaused);
    fake->Release(kA);
    Done();
    EXPECT_EQ(fake->Count("play /music/a.mp3"), 0);
    EXPECT_EQ(fake->Count("free /music/a.mp3"), 1);
    EXPECT_EQ(fake->Count("play /music/b.mp3"), 1);
    EXPECT_EQ(window.Kinds(), std::vector<int>({CQvPlayCore::kNotifyStarted}));
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kPlaying);
    // b's stream carries the equaliser, ten flat bands.
    EXPECT_EQ(fake->Count("fx /music/b.mp3"), 1);
    EXPECT_EQ(fake->Bands(), 10);
}

TEST_F(EngineLogic, AStopWhileOpeningIsNotUndoneByTheOpen)
{
    fake->sources[kA].gated = true;
    ASSERT_EQ(engine->Open(kA, {}), 1);
    ASSERT_TRUE(fake->WaitInOpen(kA));
    EXPECT_EQ(engine->PauseResume(), CQvPlayCore::kPaused) << "being opened is not being paused";
    EXPECT_EQ(engine->Stop(), 0);
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kStopped);
    fake->Release(kA);
    Done();
    EXPECT_EQ(fake->Count("play /music/a.mp3"), 0);
    EXPECT_EQ(fake->Count("free /music/a.mp3"), 1);
    EXPECT_TRUE(window.notices.empty());
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kStopped);
}

TEST_F(EngineLogic, PauseDuringAnOpenDoesNothingAndTheOpenStillStarts)
{
    fake->sources[kA].gated = true;
    ASSERT_EQ(engine->Open(kA, {}), 1);
    ASSERT_TRUE(fake->WaitInOpen(kA));
    EXPECT_EQ(engine->PauseResume(), CQvPlayCore::kPaused);
    fake->Release(kA);
    Done();
    EXPECT_EQ(fake->Count("play /music/a.mp3"), 1);
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kPlaying);
    EXPECT_EQ(engine->PauseResume(), CQvPlayCore::kPaused);
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kPaused);
    EXPECT_EQ(engine->PauseResume(), CQvPlayCore::kPlaying);
}

TEST_F(EngineLogic, BufferingReportsPercentsUntilMoreThanTwo)
{
    fake->sources[kUrl] = FakeSource {.buffered = {0, 5, 10, 20, 30}, .end = 1000};
    ASSERT_EQ(engine->Open(kUrl, {}), 1);
    ASSERT_TRUE(window.WaitFor(CQvPlayCore::kNotifyStarted));
    Done();
    EXPECT_EQ(window.notices, (std::vector<Notice> {{0, 0}, {1, 0}, {1, 0}, {1, 1}, {1, 2}, {2, 0}}));
    EXPECT_EQ(engine->GetOpenState(), CQvPlayCore::kOpenPlayedByWorker);
    EXPECT_FLOAT_EQ(engine->GetBufferPercent(), 3.0f);
    EXPECT_EQ(fake->Count("fx " + kUrl.toStdString()), 1) << "a buffered stream carries the equaliser";
    ASSERT_TRUE(engine->SetEqGain(1, 3.0f));
    EXPECT_EQ(fake->Count("gain " + kUrl.toStdString() + " 1 3"), 1) << "a gain set while it plays reaches it";

    // An mms stream likewise (no mms server runs here: the fake backend stands in for one).
    const QString mms = QStringLiteral("mms://host/radio");
    engine->Stop();
    window.notices.clear();
    ASSERT_EQ(engine->Open(mms, {}), 1);
    ASSERT_TRUE(window.WaitFor(CQvPlayCore::kNotifyStarted));
    Done();
    EXPECT_EQ(fake->Count("gain " + mms.toStdString() + " 1 3"), 1) << "the gains set before go on";
    ASSERT_TRUE(engine->SetEqGain(2, -5.0f));
    EXPECT_EQ(fake->Count("gain " + mms.toStdString() + " 2 -5"), 1);
    EXPECT_EQ(fake->Count("gain " + kUrl.toStdString() + " 2 -5"), 0) << "not to the stopped stream";
}

TEST_F(EngineLogic, AFinishedDownloadStartsWithoutBuffering)
{
    fake->sources[kUrl] = FakeSource {.buffered = {10}, .end = 1000, .connected = false};
    ASSERT_EQ(engine->Open(kUrl, {}), 1);
    ASSERT_TRUE(window.WaitFor(CQvPlayCore::kNotifyStarted));
    Done();
    EXPECT_EQ(window.notices, (std::vector<Notice> {{0, 0}, {2, 0}}));
}

TEST_F(EngineLogic, NoSizeOrASizeOfZeroPlaysAsALiveStream)
{
    for (std::int64_t end : {-1, 0}) {
        window.notices.clear();
        engine->Stop();
        fake->sources[kUrl] = FakeSource {.buffered = {100}, .end = end};
        ASSERT_EQ(engine->Open(kUrl, {}), 1);
        ASSERT_TRUE(window.WaitFor(CQvPlayCore::kNotifyStarted)) << end;
        Done();
        EXPECT_EQ(window.notices, (std::vector<Notice> {{0, 0}, {4, 0}, {2, 0}})) << end;
        EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kPlaying);
        EXPECT_EQ(engine->GetBufferPercent(), 0.0f);
    }
    EXPECT_EQ(fake->Count("fx " + kUrl.toStdString()), 2) << "a live stream carries the equaliser";
}

TEST_F(EngineLogic, BufferingIsBounded)
{
    fake->sources[kUrl] = FakeSource {.buffered = {0}, .end = 1000};
    ASSERT_EQ(engine->Open(kUrl, {}), 1);
    ASSERT_TRUE(window.WaitFor(CQvPlayCore::kNotifyStarted, 1, 30000));
    Done();
    EXPECT_GT(window.Count(CQvPlayCore::kNotifyBuffering), 20);
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kPlaying);
}

TEST_F(EngineLogic, FailedUrlsPostOpenFailedOnlyWhenNothingNewerCame)
{
    const QString bad = QStringLiteral("http://host/bad.mp3");
    const QString alt = QStringLiteral("http://host/alt.mp3");
    fake->sources[bad].opens = false;
    fake->sources[alt].opens = false;
    ASSERT_EQ(engine->Open(bad, {alt}), 1);
    ASSERT_TRUE(window.WaitFor(CQvPlayCore::kNotifyOpenFailed));
    Done();
    EXPECT_EQ(window.Kinds(), (std::vector<int> {0, 3}));
    EXPECT_EQ(fake->Count("create http://host/alt.mp3"), 1) << "the alternatives were tried";
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kStopped);

    // Overtaken while connecting: the newer open plays, the older says nothing.
    window.notices.clear();
    fake->sources[kUrl].gated = true;
    ASSERT_EQ(engine->Open(kUrl, {alt}), 1);
    ASSERT_TRUE(fake->WaitInOpen(kUrl));
    ASSERT_EQ(engine->Open(kB, {}), 1);
    ASSERT_TRUE(window.WaitFor(CQvPlayCore::kNotifyStarted));
    Done();
    EXPECT_EQ(window.Kinds(), (std::vector<int> {0, 2}));
    EXPECT_EQ(fake->Count("cancelled " + kUrl.toStdString()), 1);
    EXPECT_EQ(fake->Count("create http://host/alt.mp3"), 1) << "no alternative tried for an overtaken request";
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kPlaying);
}

TEST_F(EngineLogic, VolumeAndEqualiserCarryOverToTheNextStream)
{
    engine->SetVolume(0.3f);
    ASSERT_TRUE(engine->SetEqGain(4, 6.0f));
    EXPECT_FALSE(engine->SetEqGain(10, 1.0f));
    ASSERT_EQ(engine->Open(kA, {}), 1);
    ASSERT_TRUE(window.WaitFor(CQvPlayCore::kNotifyStarted));
    Done();
    const auto calls = fake->Calls();
    const auto volume = std::find(calls.begin(), calls.end(), "volume /music/a.mp3 30");
    const auto play = std::find(calls.begin(), calls.end(), "play /music/a.mp3");
    ASSERT_NE(volume, calls.end());
    EXPECT_LT(volume, play) << "the volume holds from the first sample";
    EXPECT_EQ(fake->Count("gain /music/a.mp3 4 6"), 1);
    ASSERT_TRUE(engine->SetEqGain(0, -4.0f));
    EXPECT_EQ(fake->Count("gain /music/a.mp3 0 -4"), 1) << "a changed gain reaches the playing stream";
}
