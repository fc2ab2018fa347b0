// Uploads to the cloud drive against the reference service: what arrives, the two places,
// cancelling, and how each failure ends.
#include "base/MessageIds.h"
#include "base/MsgWindow.h"
#include "base/Worker.h"
#include "net/CUploadManager.h"
#include "tests/common/TestUtil.h"
#include "tests/net/ServiceProcess.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <functional>

using testutil::WaitUntil;

namespace {

constexpr int kWaitMs = 30000;

// The page view's stand-in: keeps every upload notification with the job's value at the time.
class UploadWindow : public CMsgWindow {
public:
    struct Note {
        QString gid;
        int kind;  // 1 progress, 0 end
        int value; // percent, or the result
        int active;
    };
    qintptr OnMessage(unsigned msg, quintptr wParam, qintptr lParam) override
    {
        if (msg != WM_UPLOAD_NOTIFY) return 0;
        const auto* job = reinterpret_cast<const UploadJob*>(wParam);
        notes.append({job->Gid, int(lParam), job->progress.load(), manager ? manager->ActiveCount() : 0});
        if (onNote) onNote(notes.last());
        return 0;
    }
    int Result(const QString& gid) const
    {
        for (const Note& n : notes)
            if (n.gid == gid && n.kind == 0) return n.value;
        return INT_MIN;
    }
    bool Ended(const QString& gid) const { return Result(gid) != INT_MIN; }
    int FirstNote(const QString& gid) const
    {
        for (int i = 0; i < notes.size(); ++i)
            if (notes[i].gid == gid) return i;
        return -1;
    }
    QList<Note> notes;
    CUploadManager* manager = nullptr;
    std::function<void(const Note&)> onNote;
};

class Upload : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(svc().Running());
        svc().Reset();
        manager = std::make_unique<CUploadManager>(window.Target(), QStringLiteral("v1"));
        window.manager = manager.get();
        baseline = RunningWorkerCount();
    }
    void TearDown() override
    {
        window.manager = nullptr;
        manager.reset();
        EXPECT_TRUE(WaitForWorkers(kWaitMs) || RunningWorkerCount() <= baseline);
    }
    static ServiceProcess& svc() { return ServiceProcess::Shared(); }
    QString Address(const QString& file = QStringLiteral("a.mp3")) const
    {
        return svc().Base() + QStringLiteral("/up/upload.do?orgin=2&song=歌&singer=Singer&uploadkey=k1&phone=138&filename=") +
               file + QStringLiteral("&vuid=v1&album=专辑");
    }
    QString MakeFile(const QString& name, qint64 bytes)
    {
        QByteArray data(bytes, Qt::Uninitialized);
        QRandomGenerator rng(42);
        for (qint64 i = 0; i < bytes; ++i) data[i] = char(rng.generate() & 0xFF);
        const QString path = dir.filePath(name);
        EXPECT_TRUE(testutil::WriteFile(path, data));
        return path;
    }
    void Start(const QString& gid, const QString& path) { manager->StartUpload(gid, path, Address(gid), QStringLiteral("专辑")); }
    bool WaitEnded(const QStringList& gids, int ms = kWaitMs)
    {
        return WaitUntil([&] {
            for (const QString& g : gids)
                if (!window.Ended(g)) return false;
            return manager->ActiveCount() == 0;
        }, ms);
    }
    QJsonArray Uploads() const { return svc().Requests(QStringLiteral("upload")); }

    QTemporaryDir dir;
    UploadWindow window;
    std::unique_ptr<CUploadManager> manager;
    int baseline = 0;
};

QString Md5(const QString& path)
{
    return QString::fromLatin1(QCryptographicHash::hash(testutil::ReadFile(path), QCryptographicHash::Md5).toHex());
}

} // namespace

TEST_F(Upload, TheServiceGetsTheFileByteForByteWithProgressUpToTheEnd)
{
    const QString file = MakeFile(QStringLiteral("song.mp3"), 3 * 1024 * 1024 + 17);
    Start(QStringLiteral("g1"), file);
    ASSERT_TRUE(WaitEnded({QStringLiteral("g1")}));
    EXPECT_EQ(window.Result(QStringLiteral("g1")), UPLOAD_OK);
    int last = 0;
    for (const UploadWindow::Note& n : window.notes) {
        if (n.kind != 1) continue;
        EXPECT_GT(n.value, last); // told only when the percentage grows
        last = n.value;
    }
    EXPECT_EQ(last, 100);
    EXPECT_EQ(window.notes.last().kind, 0);
    EXPECT_EQ(manager->GetProgress(QStringLiteral("g1")), -1); // gone

    const QJsonArray uploads = Uploads();
    ASSERT_EQ(uploads.size(), 1);
    const QJsonObject doc = uploads[0].toObject()[QStringLiteral("document")].toObject();
    EXPECT_EQ(doc[QStringLiteral("size")].toInteger(), QFileInfo(file).size());
    EXPECT_EQ(doc[QStringLiteral("md5")].toString(), Md5(file));
    const QJsonObject query = doc[QStringLiteral("query")].toObject();
    EXPECT_EQ(query[QStringLiteral("song")].toString(), QStringLiteral("歌"));
    EXPECT_EQ(query[QStringLiteral("album")].toString(), QStringLiteral("专辑"));
    const QJsonArray capacity = svc().Requests(QStringLiteral("getTempCapacity"));
    ASSERT_EQ(capacity.size(), 1);
    EXPECT_EQ(capacity[0].toObject()[QStringLiteral("document")].toObject()[QStringLiteral("query")].toObject()
                  [QStringLiteral("vuid")].toString(), QStringLiteral("v1"));
}

TEST_F(Upload, TwoRunAtOnceAndWaitingJobsStartInTheirGidOrderAsPlacesFree)
{
    svc().Switch(QStringLiteral("/up/upload.do"), QStringLiteral("slow"), 800);
    const QString file = MakeFile(QStringLiteral("a.mp3"), 200 * 1024);
    // The two running jobs end 400 ms apart, so the places free one at a time: two freed at
    // once would start both waiting jobs together, and which of them is heard from first would
    // be a race of their threads, not their order.
    Start(QStringLiteral("g4"), file);
    ASSERT_TRUE(WaitUntil([&] { return window.FirstNote(QStringLiteral("g4")) >= 0; }));
    QElapsedTimer apart;
    apart.start();
    WaitUntil([&] { return apart.elapsed() >= 400; });
    for (const char* g : {"g3", "g2", "g1"}) Start(QString::fromLatin1(g), file);
    EXPECT_EQ(manager->ActiveCount(), 2);
    EXPECT_EQ(manager->WaitingCount(), 2);
    EXPECT_EQ(manager->GetProgress(QStringLiteral("g1")), 0);
    EXPECT_EQ(manager->GetProgress(QStringLiteral("g2")), 0);
    ASSERT_TRUE(WaitEnded({QStringLiteral("g1"), QStringLiteral("g2"), QStringLiteral("g3"), QStringLiteral("g4")}));
    for (const char* g : {"g1", "g2", "g3", "g4"}) EXPECT_EQ(window.Result(QString::fromLatin1(g)), UPLOAD_OK) << g;
    int firstEnd = -1;
    for (int i = 0; i < window.notes.size() && firstEnd < 0; ++i)
        if (window.notes[i].kind == 0) firstEnd = i;
    // g1 (not the older g2) took the first free place, and only then.
    EXPECT_GT(window.FirstNote(QStringLiteral("g1")), firstEnd);
    EXPECT_LT(window.FirstNote(QStringLiteral("g1")), window.FirstNote(QStringLiteral("g2")));
    for (const UploadWindow::Note& n : window.notes) EXPECT_LE(n.active, 2);
    EXPECT_EQ(Uploads().size(), 4);
}

TEST_F(Upload, EmptyMissingAndTooLargeFilesEndBeforeAByteIsSent)
{
    Start(QStringLiteral("empty"), MakeFile(QStringLiteral("empty.mp3"), 0));
    Start(QStringLiteral("missing"), dir.filePath(QStringLiteral("missing.mp3")));
    ASSERT_TRUE(WaitEnded({QStringLiteral("empty"), QStringLiteral("missing")}));
    EXPECT_EQ(window.Result(QStringLiteral("empty")), UPLOAD_NO_FILE);
    EXPECT_EQ(window.Result(QStringLiteral("missing")), UPLOAD_NO_FILE);

    // 600 MiB on the disk's word only (a sparse file), with no capacity answer: the 500 MiB
    // default holds.
    const QString sparse = dir.filePath(QStringLiteral("sparse.mp3"));
    {
        QFile f(sparse);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(600LL * 1024 * 1024));
    }
    svc().Switch(QStringLiteral("/up/getTempCapacity.do"), QStringLiteral("404"));
    Start(QStringLiteral("sparse"), sparse);
    ASSERT_TRUE(WaitEnded({QStringLiteral("sparse")}));
    EXPECT_EQ(window.Result(QStringLiteral("sparse")), UPLOAD_TOO_LARGE);

    // The service's own figure counts; an answer of 16 bytes or more does not.
    svc().Switch(QStringLiteral("/up/getTempCapacity.do"), QStringLiteral("normal"));
    svc().SetUpload(QStringLiteral("2000"));
    const QString small = MakeFile(QStringLiteral("small.mp3"), 3000);
    Start(QStringLiteral("small"), small);
    ASSERT_TRUE(WaitEnded({QStringLiteral("small")}));
    EXPECT_EQ(window.Result(QStringLiteral("small")), UPLOAD_TOO_LARGE);
    svc().SetUpload(QStringLiteral("0000000000000002000"));
    Start(QStringLiteral("small2"), small);
    ASSERT_TRUE(WaitEnded({QStringLiteral("small2")}));
    EXPECT_EQ(window.Result(QStringLiteral("small2")), UPLOAD_OK);

    EXPECT_EQ(Uploads().size(), 1);
    EXPECT_TRUE(svc().Requests(QStringLiteral("upload-incomplete")).isEmpty());
}

TEST_F(Upload, CancellingWaitingRunningAndReAskedJobs)
{
    // The capacity answer takes a while, so the jobs are still at their start.
    svc().Switch(QStringLiteral("/up/getTempCapacity.do"), QStringLiteral("slow"), 1500);
    const QString file = MakeFile(QStringLiteral("a.mp3"), 100 * 1024);
    Start(QStringLiteral("a"), file);
    Start(QStringLiteral("b"), file);
    Start(QStringLiteral("c"), file);
    // A waiting job goes without a word.
    manager->CancelUpload(QStringLiteral("c"));
    EXPECT_EQ(manager->GetProgress(QStringLiteral("c")), -1);
    EXPECT_EQ(manager->WaitingCount(), 0);
    // A running one reports -1 until it is asked for again, which keeps it running.
    manager->CancelUpload(QStringLiteral("a"));
    EXPECT_EQ(manager->GetProgress(QStringLiteral("a")), -1);
    Start(QStringLiteral("a"), file);
    EXPECT_EQ(manager->GetProgress(QStringLiteral("a")), 0);
    manager->CancelUpload(QStringLiteral("b"));
    ASSERT_TRUE(WaitEnded({QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(window.Result(QStringLiteral("a")), UPLOAD_OK);
    EXPECT_EQ(window.Result(QStringLiteral("b")), UPLOAD_CANCELLED);
    EXPECT_EQ(window.FirstNote(QStringLiteral("c")), -1);
    EXPECT_EQ(Uploads().size(), 1);
}

TEST_F(Upload, CancelMidwayEndsWith2AndTheServiceKeepsNoPartialFile)
{
    const QString file = MakeFile(QStringLiteral("big.mp3"), 24 * 1024 * 1024);
    window.onNote = [this](const UploadWindow::Note& n) {
        if (n.kind == 1 && n.value >= 10) manager->CancelUpload(n.gid);
    };
    Start(QStringLiteral("big"), file);
    ASSERT_TRUE(WaitEnded({QStringLiteral("big")}));
    EXPECT_EQ(window.Result(QStringLiteral("big")), UPLOAD_CANCELLED);
    int last = 0;
    for (const UploadWindow::Note& n : window.notes)
        if (n.kind == 1) last = n.value;
    EXPECT_LT(last, 100);
    // The service saw a body cut short, and kept nothing of it as an upload.
    EXPECT_TRUE(WaitUntil([] { return !svc().Requests(QStringLiteral("upload-incomplete")).isEmpty(); }, 10000));
    EXPECT_TRUE(Uploads().isEmpty());
}

TEST_F(Upload, DroppedConnectionsAnswersAndAddressesEndWithTheirCodes)
{
    const QString file = MakeFile(QStringLiteral("a.mp3"), 64 * 1024);
    svc().Switch(QStringLiteral("/up/upload.do"), QStringLiteral("drop"));
    Start(QStringLiteral("drop"), file);
    ASSERT_TRUE(WaitEnded({QStringLiteral("drop")}));
    const int dropped = window.Result(QStringLiteral("drop"));
    EXPECT_TRUE(dropped == UPLOAD_NOT_SENT || dropped == UPLOAD_NO_ANSWER) << dropped;

    // The service's own answer is the result; an error page or a text that is no number is
    // not taken for success.
    svc().Switch(QStringLiteral("/up/upload.do"), QStringLiteral("normal"));
    const struct { const char* answer; const char* gid; int result; } answers[] = {
        {"-3", "minus", -3}, {"17", "seventeen", 17}, {"full", "text", UPLOAD_NO_ANSWER}};
    for (const auto& a : answers) {
        svc().SetUpload(QString(), QString::fromLatin1(a.answer));
        Start(QString::fromLatin1(a.gid), file);
        ASSERT_TRUE(WaitEnded({QString::fromLatin1(a.gid)}));
        EXPECT_EQ(window.Result(QString::fromLatin1(a.gid)), a.result) << a.answer;
    }
    svc().Switch(QStringLiteral("/up/upload.do"), QStringLiteral("404"));
    Start(QStringLiteral("404"), file);
    ASSERT_TRUE(WaitEnded({QStringLiteral("404")}));
    EXPECT_EQ(window.Result(QStringLiteral("404")), UPLOAD_NO_ANSWER);

    // An address that does not split, or names another scheme, ends with 5 and frees its place.
    manager->StartUpload(QStringLiteral("nohost"), file, QStringLiteral("http:///up"), QString());
    manager->StartUpload(QStringLiteral("ftp"), file, QStringLiteral("ftp://127.0.0.1/up"), QString());
    ASSERT_TRUE(WaitEnded({QStringLiteral("nohost"), QStringLiteral("ftp")}));
    EXPECT_EQ(window.Result(QStringLiteral("nohost")), UPLOAD_NOT_OPENED);
    EXPECT_EQ(window.Result(QStringLiteral("ftp")), UPLOAD_NOT_OPENED);
    // Nobody listening: nothing could be sent.
    manager->StartUpload(QStringLiteral("closed"), file, QStringLiteral("http://127.0.0.1:1/up/upload.do"), QString());
    ASSERT_TRUE(WaitEnded({QStringLiteral("closed")}));
    EXPECT_EQ(window.Result(QStringLiteral("closed")), UPLOAD_NOT_SENT);
}

TEST_F(Upload, DestroyingTheManagerCancelsWhatRunsAndDropsWhatWaits)
{
    svc().Switch(QStringLiteral("/up/getTempCapacity.do"), QStringLiteral("slow"), 1000);
    const QString file = MakeFile(QStringLiteral("a.mp3"), 100 * 1024);
    for (const char* g : {"a", "b", "c"}) Start(QString::fromLatin1(g), file);
    window.manager = nullptr;
    manager.reset();
    EXPECT_TRUE(WaitUntil([&] { return RunningWorkerCount() <= baseline; }, kWaitMs));
    testutil::WaitUntil([] { return false; }, 200);
    EXPECT_TRUE(window.notes.isEmpty());
    EXPECT_TRUE(Uploads().isEmpty());
}
