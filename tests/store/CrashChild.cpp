// The child process of the crash tests: it runs one large write and is killed in the middle,
// by the test or, at a chosen point of the SQLite program, by itself.
//
//   store_crash_child saveall HOME FIRST COUNT KILL_AT   add tracks FIRST.. and write them all
//   store_crash_child savelist HOME GENERATION COUNT KILL_AT   replace the members of one list
//   store_crash_child saveconfig HOME COUNT                 save Config.xml over and over
//
// KILL_AT > 0: SIGKILL at that progress callback (one per 1000 virtual machine steps); 0: run to
// the end; -1: run to the end and print how many callbacks the write took.
#include "store/CMediaLibrary.h"
#include "store/CQvConf.h"
#include "store/CQvMediaStore.h"
#include "store/CSqliteDb.h"

#include "tests/store/FakeNode.h"

#include "model/TrackInfo.h"
#include "model/TrackUtil.h"

#include <sqlite3.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

long g_killAt = 0;
long g_calls = 0;

int Progress(void*)
{
    ++g_calls;
    if (g_killAt > 0 && g_calls >= g_killAt) std::raise(SIGKILL);
    return 0;
}

void Watch(CSqliteDb* db)
{
    if (db && db->get()) sqlite3_progress_handler(db->get(), 1000, Progress, nullptr);
}

TrackRef StreamTrack(const QString& url)
{
    TrackRef t = TrackRef::Adopt(CreateMedia(0));
    auto* info = new TrackInfo;
    info->Gid = MakeGid(url);
    info->NSrc = url;
    info->Song = QStringLiteral("歌曲 %1 it's").arg(url);
    info->Artist = QStringLiteral("Artist");
    info->Album = QStringLiteral("Album");
    info->TotleTime = 200;
    t->AttachInfo(info, nullptr);
    return t;
}

void Say(const char* text)
{
    std::fputs(text, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) return 2;
    const char* mode = argv[1];
    CQvConf conf;
    conf.SetDirectories(QString::fromUtf8(argv[2]));
    CQvMediaStore store;
    CMediaLibrary lib(store, conf);

    if (std::strcmp(mode, "saveconfig") == 0) {
        const int count = std::atoi(argv[3]);
        for (int round = 0;; ++round) {
            const QString marker = round % 2 ? QStringLiteral("B") : QStringLiteral("A");
            QStringList folders;
            for (int i = 0; i < count; ++i) folders.append(QStringLiteral("/pictures/%1/%2").arg(marker).arg(i));
            conf.Settings().picFolders = folders;
            if (conf.SaveConfig() != 0) return 3;
            Say(round % 2 ? "saved B" : "saved A");
        }
    }

    if (argc < 6) return 2;
    const int first = std::atoi(argv[3]);
    const int count = std::atoi(argv[4]);
    g_killAt = std::atol(argv[5]);
    int rc = 1;
    if (std::strcmp(mode, "saveall") == 0) {
        conf.OpenLibraryDb();
        std::vector<TrackRef> tracks;
        for (int i = first; i < first + count; ++i) {
            tracks.push_back(StreamTrack(QStringLiteral("http://127.0.0.1/%1.mp3").arg(i)));
            store.Add(tracks.back().get());
        }
        Watch(conf.LibraryDb());
        Say("begin");
        rc = lib.SaveAllTracks();
    } else if (std::strcmp(mode, "savelist") == 0) {
        conf.OpenTreeDb();
        FakeNode parent(QStringLiteral("列表"), 0);
        FakeNode* list = parent.Add(QStringLiteral("Mine"), -1);
        std::vector<TrackRef> tracks;
        for (int i = 0; i < count; ++i) {
            tracks.push_back(StreamTrack(QStringLiteral("http://127.0.0.1/g%1/%2.mp3").arg(first).arg(i)));
            list->OfferTrack(tracks.back().get(), 0);
        }
        Watch(conf.TreeDb());
        Say("begin");
        rc = lib.SaveListMembers(list);
    } else {
        return 2;
    }
    if (g_killAt < 0) std::printf("calls %ld\n", g_calls);
    Say(rc == 0 ? "done" : "failed");
    return rc == 0 ? 0 : 1;
}
