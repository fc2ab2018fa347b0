#pragma once
#include "library/CQvNodeTree.h"

#include "store/CMediaLibrary.h"
#include "store/CQvConf.h"
#include "store/CQvMediaStore.h"

#include "model/CQvMusic.h"
#include "model/TrackInfo.h"
#include "model/TrackUtil.h"
#include "tests/common/TestUtil.h"

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace librarytest {

// A track with a record; `edit` fills the record's fields.
inline TrackRef MakeTrack(const QString& gid, const std::function<void(TrackInfo&)>& edit = {})
{
    TrackRef t = TrackRef::Adopt(CreateMedia(0));
    auto* info = new TrackInfo;
    info->Gid = gid;
    info->LSrc = QStringLiteral("/music/") + gid + QStringLiteral(".mp3");
    if (edit) edit(*info);
    t->AttachInfo(info, nullptr);
    return t;
}

// A program home of its own with the shipped resources, and one session of the player over it
// (configuration, store, library operations, tree); Reopen() starts the next session.
struct Session {
    QTemporaryDir dir;
    QString home;
    std::unique_ptr<CQvConf> conf;
    std::unique_ptr<CQvMediaStore> store;
    std::unique_ptr<CMediaLibrary> lib;
    std::unique_ptr<CQvNodeTree> tree;

    Session()
    {
        qputenv("XDG_CONFIG_HOME", (dir.path() + QStringLiteral("/config")).toUtf8());
        home = dir.path() + QStringLiteral("/home/");
        Reopen();
    }
    ~Session() { Close(); }
    void Close()
    {
        tree.reset();
        lib.reset();
        store.reset();
        if (conf) conf->CloseAll();
        conf.reset();
    }
    void Reopen()
    {
        Close();
        conf = std::make_unique<CQvConf>();
        conf->SetDirectories(home, testutil::SourceDir() + QStringLiteral("/resources"));
        store = std::make_unique<CQvMediaStore>();
        lib = std::make_unique<CMediaLibrary>(*store, *conf);
        tree = std::make_unique<CQvNodeTree>(*lib);
    }
    // The start-up load: tracks, statistics, tree.
    int Load()
    {
        lib->LoadTracks();
        lib->LoadStatistics();
        return lib->LoadTree();
    }
    QString MusicDir() const { return dir.path() + QStringLiteral("/music/"); }
    // A stored library track over a small file of its own.
    CQvMusic* AddFileTrack(const QString& name, const std::function<void(TrackInfo&)>& edit = {})
    {
        const QString path = MusicDir() + name;
        QDir().mkpath(QFileInfo(path).path());
        testutil::WriteFile(path, "x");
        TrackRef t = MakeTrack(MakeGid(path), [&](TrackInfo& i) {
            i.LSrc = path;
            i.Song = name;
            if (edit) edit(i);
        });
        lib->AddTrack(t.get());
        return store->FindTrack(t->GetInfo()->Gid, 0);
    }
};

} // namespace librarytest
