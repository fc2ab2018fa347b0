#pragma once
// The play controller in tests: a program home of its own with the shipped tree, the real store,
// library and tree, an engine over the real audio path (SDL's dummy driver), a listener window
// that keeps every broadcast, and a log server on 127.0.0.1 that keeps what the player reports.
#include "base/MessageIds.h"
#include "base/MsgWindow.h"
#include "base/CodePage.h"
#include "base/Worker.h"
#include "library/CQvCommonNode.h"
#include "library/CQvNodeTree.h"
#include "model/TrackInfo.h"
#include "net/CQvLog.h"
#include "net/ServiceRequest.h"
#include "net/ServiceTasks.h"
#include "net/proto/UrlEncode.h"
#include "playback/CPlayController.h"
#include "playback/CQvPlayCore.h"
#include "playback/FfmpegBackend.h"
#include "playback/SdlAudioOutput.h"
#include "store/CMediaLibrary.h"
#include "store/CQvConf.h"
#include "store/CQvMediaStore.h"
#include "store/TrackBuilder.h"
#include "tests/common/TestUtil.h"
#include "tests/playback/PlaybackFixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace playertest {

struct Message {
    unsigned msg;
    quintptr w;
    qintptr l;
};

// A listener window: keeps every message the controller sends or posts to it.
class CListener : public CMsgWindow {
public:
    qintptr OnMessage(unsigned msg, quintptr w, qintptr l) override
    {
        messages.push_back({msg, w, l});
        return 0;
    }
    int Count(unsigned msg) const
    {
        return static_cast<int>(std::count_if(messages.begin(), messages.end(), [&](const Message& m) { return m.msg == msg; }));
    }
    int Count(unsigned msg, quintptr w) const
    {
        return static_cast<int>(
            std::count_if(messages.begin(), messages.end(), [&](const Message& m) { return m.msg == msg && m.w == w; }));
    }
    std::vector<Message> Of(unsigned msg) const
    {
        std::vector<Message> out;
        for (const Message& m : messages)
            if (m.msg == msg) out.push_back(m);
        return out;
    }
    std::vector<Message> messages;
};

// The controller with the window's parts written down instead of shown.
class CTestController : public CPlayController {
public:
    using CPlayController::CPlayController;
    void Fire(int timer) { OnTimer(timer); }

    std::vector<CQvMusic*> started; // every track started, in order
    std::vector<int> rows;          // the displayed row of each start
    QStringList covers;
    std::vector<int> ratings;
    std::vector<IQvNode*> selected;

protected:
    void ShowCover(const QString& picture) override { covers << picture; }
    void ShowRating(int stars) override { ratings.push_back(stars); }
    void ShowPlayingTrack(CQvMusic* track, int row) override
    {
        started.push_back(track);
        rows.push_back(row);
    }
    void SelectTreeNode(IQvNode* node) override
    {
        selected.push_back(node);
        CPlayController::SelectTreeNode(node);
    }
};

// One listening record as the log server received it.
struct PlayRecord {
    QString position; // "%02d:%02d"
    QString length;
    int completion = -1;
    QString song;
    QString source;
    int network = -1;
    qint64 listenedMs = -1;
};

// The service's log server and metadata entry point, as far as the player's reports go: keeps
// the listening records and the usage events, answers every other request with a reply the
// player cannot use (so no lyrics and no cover arrive from it).
class CLogServer {
public:
    CLogServer()
    {
        m_server.Post("/log/enter.do", [this](const httplib::Request& req, httplib::Response& res) {
            const QByteArray body = QByteArray::fromStdString(req.body);
            if (body.startsWith("m=bufferlog&r=")) {
                const QString text = FromAnsi(UrlDecode(body.mid(14)));
                std::lock_guard lock(m_mutex);
                m_records.push_back(text);
            }
            res.set_content("1", "text/plain");
        });
        m_server.Post("/metadata/enter.do", [this](const httplib::Request& req, httplib::Response& res) {
            {
                std::lock_guard lock(m_mutex);
                if (req.get_param_value("m") == "log")
                    m_events.push_back(QString::fromStdString(req.get_param_value("type")) + QLatin1Char('|')
                                       + QString::fromStdString(req.get_param_value("value")));
                else
                    m_posts.push_back(QString::fromStdString(req.body.substr(0, 20)));
            }
            res.set_content("1", "text/plain");
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }
    ~CLogServer()
    {
        m_server.stop();
        if (m_thread.joinable()) m_thread.join();
    }
    int Port() const { return m_port; }

    std::vector<PlayRecord> Records() const
    {
        std::lock_guard lock(m_mutex);
        std::vector<PlayRecord> out;
        for (const QString& text : m_records) {
            const QStringList f = text.split(QLatin1Char('\t'));
            if (f.size() < 14) continue;
            PlayRecord r;
            r.listenedMs = f[5].toLongLong();
            r.position = f[3];
            r.length = f[4];
            r.completion = f[6].toInt();
            r.song = f[9];
            r.source = f[12];
            r.network = f[13].toInt();
            out.push_back(r);
        }
        return out;
    }
    // "type|<|>common_type<|>a<|>b..." of each usage event, oldest first.
    QStringList Events() const
    {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    // The first characters of every other request to the entry point ("m=getpic&value=...").
    QStringList Posts() const
    {
        std::lock_guard lock(m_mutex);
        return m_posts;
    }

private:
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    QStringList m_records;
    QStringList m_events;
    QStringList m_posts;
};

// A player over its own program home; `entryHostPort` is where the service is (the log server's
// by default).
class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override { Open(QString()); }
    void TearDown() override { Close(); }

    void Open(const QString& entryHostPort)
    {
        qputenv("XDG_CONFIG_HOME", (dir.path() + QStringLiteral("/config")).toUtf8());
        home = dir.path() + QStringLiteral("/home/");
        CQvConf& conf = CQvConf::Instance();
        conf.Settings() = ConfigSettings();
        conf.Settings().clientid = QStringLiteral("cid");
        conf.SetDirectories(home, testutil::SourceDir() + QStringLiteral("/resources"));
        const QString logs = QStringLiteral("127.0.0.1:%1").arg(logServer.Port());
        const QString entry = entryHostPort.isEmpty() ? logs : entryHostPort;
        const QString serverXml = QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"GBK\"?>\n"
            "<url name=\"metadataurl\" value=\"http://%1/metadata/enter.do\"/>\n"
            "<url name=\"logserverurl\" value=\"http://%s/log/enter.do\"/>\n"
            "<defaulturl6><name value=\"%2\"/></defaulturl6>\n").arg(entry, logs);
        testutil::WriteFile(conf.DataDir() + QStringLiteral("server.xml"), serverXml.toUtf8());
        conf.LoadServerTable(conf.DataDir() + QStringLiteral("server.xml"));
        testutil::WriteFile(home + QStringLiteral("Info.ini"),
                            QStringLiteral("[info]\r\nversion=1.0\r\nUdpUrl=http://%1/metadata/enter.do\r\n").arg(entry).toUtf8());
        conf.LoadInfoIni();
        CQvLog::GetInstance().ClearPending();
        ClearShuttingDown();
        ClearExiting();

        store = std::make_unique<CQvMediaStore>();
        library = std::make_unique<CMediaLibrary>(*store, conf);
        tree = std::make_unique<CQvNodeTree>(*library);
        // As at start-up: a first run builds the tree from "tree.xml" and opens every database.
        library->LoadTracks();
        library->LoadStatistics();
        ASSERT_EQ(tree->LoadTree(), 0);
        conf.OpenAllMissing();
        SetMediaTaskLibrary(library.get());

        engine = CQvPlayCore::Create(std::make_unique<CFfmpegBackend>(MakeOutput()));
        player = std::make_unique<CTestController>(*library, engine.get());
        if (beforeStart) beforeStart();
        ASSERT_EQ(player->InitEngine(engineUi), expectedInit);
        player->AddListener(listener.Target());
        SetServiceControllerWindow(player->Target());
        player->SetDisplayedNode(&list);
    }

    void Close()
    {
        if (!player) return;
        player->StopPlay();
        CQvLog::GetInstance().StopUsageWorker();
        engine->Free();
        WaitForWorkers(30000);
        SetServiceControllerWindow(CMsgTarget());
        SetMediaTaskLibrary(nullptr);
        player.reset();
        engine.reset();
        tree.reset();
        library.reset();
        store.reset();
        CQvConf::Instance().CloseAll();
        CQvConf::Instance().Settings() = ConfigSettings();
        CQvLog::GetInstance().ClearPending();
    }

    // The sound device the engine plays on: SDL's (the dummy driver) unless a test says otherwise.
    virtual std::unique_ptr<IAudioOutput> MakeOutput() { return std::make_unique<CSdlAudioOutput>(); }

    // A library track over a copy of a fixture, named `name` (each name is a track of its own).
    TrackRef FileTrack(playbacktest::Kind kind, const QString& name)
    {
        QDir().mkpath(home + QStringLiteral("music"));
        const QString path = home + QStringLiteral("music/") + name;
        if (!QFile::exists(path)) QFile::copy(playbacktest::Path(kind), path);
        TrackRef t = BuildTrackFromFile(*library, path, TrackBuildOptions {});
        if (t) t->GetInfo()->Song = name;
        return t;
    }
    // A network track from the page, with alternative addresses.
    TrackRef NetTrack(const QString& url, const QString& song, const QStringList& alternatives = {})
    {
        UrlTrackFields fields;
        fields.url = url;
        fields.song = song;
        fields.fromPage = true;
        TrackRef t = BuildTrackFromUrl(*library, fields, TrackBuildOptions {});
        if (t) t->GetStringList() = alternatives;
        return t;
    }
    // The displayed list (a playlist of the test's own) holds these tracks.
    void Show(const std::vector<TrackRef>& tracks)
    {
        for (const TrackRef& t : tracks) list.AppendTrack(t.get());
    }

    // The engine reported `count` starts and the track that plays is `track`.
    bool WaitPlaying(const TrackRef& track, int count = 1, int ms = 20000)
    {
        return testutil::WaitUntil([&] {
            return listener.Count(WM_ENGINE_NOTIFY, CQvPlayCore::kNotifyStarted) >= count && player->CurrentTrack() == track.get()
                && player->IsStarted();
        }, ms);
    }
    // Waits for the `n`-th track start by the controller.
    bool WaitStarts(size_t n, int ms = 20000)
    {
        return testutil::WaitUntil([&] { return player->started.size() >= n; }, ms);
    }
    bool WaitStopped(int ms = 20000)
    {
        return testutil::WaitUntil([&] { return !player->CurrentTrack(); }, ms);
    }
    std::vector<PlayRecord> WaitRecords(size_t n, int ms = 20000)
    {
        testutil::WaitUntil([&] { return logServer.Records().size() >= n; }, ms);
        return logServer.Records();
    }
    // Moves the playing track to `msBeforeEnd` before its end, so its end comes soon.
    void NearEnd(int msBeforeEnd = 300)
    {
        ASSERT_TRUE(testutil::WaitUntil([&] { return engine->GetLength() > 0; }, 10000));
        ASSERT_TRUE(player->Seek(std::max(0, engine->GetLength() - msBeforeEnd)));
    }
    int Plays(const TrackRef& t)
    {
        PlayStatistic s;
        return store->GetStatistic(t->GetInfo()->Gid, s) == 1 ? s.Totle : 0;
    }

    QTemporaryDir dir;
    QString home;
    CLogServer logServer;
    std::unique_ptr<CQvMediaStore> store;
    std::unique_ptr<CMediaLibrary> library;
    std::unique_ptr<CQvNodeTree> tree;
    std::shared_ptr<CQvPlayCore> engine;
    CListener listener;
    CQvCommonNode list;
    std::unique_ptr<CTestController> player;
    // What Open expects of the sound device, and where the engine's messages to the user go.
    int expectedInit = 1;
    IEngineUi* engineUi = nullptr;
    // Run just before the engine starts (settings stored before the program starts).
    std::function<void()> beforeStart;
};

// Waits for `done` without letting the event loop run: the controller handles none of the
// engine's notices meanwhile (a test that must look at the engine before the controller does).
template <class F>
bool WaitWithoutEvents(F done, int ms = 20000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace playertest
