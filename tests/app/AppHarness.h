#pragma once
// A start of the whole player for tests: a fresh program home, the windows offscreen, the real
// library files, real MP3 files and the real audio path over the dummy SDL driver; and the
// user's gestures on its windows.
#include "app/CFirstSearchDlg.h"
#include "app/CMainDlg.h"
#include "app/CQuarvelApp.h"
#include "app/CQuarvelDlg.h"
#include "app/CTrackListModel.h"

#include "base/Worker.h"
#include "library/LibraryScan.h"
#include "model/CQvMusic.h"
#include "model/TrackInfo.h"
#include "model/TrackUtil.h"
#include "store/CMediaLibrary.h"
#include "store/CQvMediaStore.h"
#include "store/IQvNode.h"
#include "tests/common/TestUtil.h"
#include "tests/fixtures/Fixtures.h"
#include "ui/ControlIds.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>

namespace apptest {

using namespace fixtures;
using testutil::WaitUntil;

constexpr int kWaitMs = 30000;

// One start of the player in its own home, with its own store; the service stays out of it.
class Player {
public:
    explicit Player(const QString& home, QStringList files = {}, bool watch = false)
    {
        AppOptions options;
        options.home = home;
        options.resourceDir = testutil::SourceDir() + QStringLiteral("/resources/");
        options.registerAssociation = false;
        options.store = &m_store;
        options.main.serviceTasks = false;
        options.main.identity = false;
        options.main.startupScan = false;
        options.main.watchChanges = watch;
        m_app = std::make_unique<CQuarvelApp>(std::move(files), options);
        QObject::connect(m_app.get(), &CQuarvelApp::Finished, [this](int) { m_finished = true; });
        m_started = m_app->InitInstance() < 0;
    }
    ~Player()
    {
        if (m_started && !m_finished) Exit();
        m_app.reset();
        ClearExiting();
    }

    bool Started() const { return m_started; }
    CMainDlg& Ctl() const { return *m_app->Controller(); }
    CQuarvelDlg& Wnd() const { return *Ctl().MainWindow(); }
    CMediaLibrary& Lib() const { return m_app->Library(); }
    bool WaitLoaded() const { return m_started && WaitUntil([this] { return Ctl().LibraryLoaded(); }, kWaitMs); }
    bool Exit()
    {
        Ctl().OnCommand(ctl::kExit);
        return WaitUntil([this] { return m_finished; }, kWaitMs);
    }
    bool Finished() const { return m_finished; }

    IQvNode* Node(const QString& name) const
    {
        std::lock_guard lock(Lib().Mutex());
        return Lib().Store().FindNode(name);
    }
    int NodeSize(const QString& name) const
    {
        std::lock_guard lock(Lib().Mutex());
        IQvNode* node = Lib().Store().FindNode(name);
        return node ? int(node->Tracks().size()) : -1;
    }
    CQvMusic* Track(const QString& path) const
    {
        std::lock_guard lock(Lib().Mutex());
        return Lib().Store().FindTrack(MakeGid(path), 0);
    }
    CFirstSearchDlg* FirstRunDialog() const { return Wnd().findChild<CFirstSearchDlg*>(); }
    // Loaded, with the first start's dialog, where it came, answered "取消" as a user who adds
    // music later does.
    bool WaitLoadedPastFirstRun()
    {
        if (!WaitLoaded()) return false;
        if (CFirstSearchDlg* dlg = FirstRunDialog()) dlg->CancelButton()->click();
        return true;
    }
    // The folder goes in on a worker; done when the import-complete message has come.
    bool ImportFolder(const QString& folder, int expected)
    {
        if (!Ctl().AddFolder(folder)) return false;
        return WaitUntil([&] { return !Ctl().IsScanning() && NodeSize(LocalMusic()) >= expected; }, kWaitMs);
    }
    static QString LocalMusic() { return QString::fromUtf16(kLocalMusicNode); }

private:
    CQvMediaStore m_store;
    std::unique_ptr<CQuarvelApp> m_app;
    bool m_started = false;
    bool m_finished = false;
};

inline QString MakeMp3(const QString& path, const QString& title, double seconds = 2.0)
{
    Mp3Options o;
    o.seconds = seconds;
    o.sampleRate = 22050;
    o.channels = 1;
    o.bitrateKbps = 32;
    // Scans take music files from 500 KB; the rest is padding.
    const Tags tags = Tags::Id3v2(title, QStringLiteral("Artist"), QStringLiteral("Album"));
    EXPECT_TRUE(WriteMp3OfSize(path, std::max<qint64>(600000, MinimumMp3Size(o, tags)), o, tags));
    return path;
}

// A mouse click sequence that the list view turns into a double click on `row`.
inline void DoubleClickRow(QTableView* view, int row)
{
    const QPoint at = view->visualRect(view->model()->index(row, CTrackListModel::kColSong)).center();
    QWidget* vp = view->viewport();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                              QEvent::MouseButtonRelease}) {
        QMouseEvent e(type, at, vp->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(vp, &e);
    }
}

inline bool Drop(QWidget* target, const QStringList& paths)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& p : paths) urls.append(QUrl::fromLocalFile(p));
    data.setUrls(urls);
    const QPoint at(10, 10);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

// Dropped files are read on a worker: done when their tracks have landed.
inline bool DropFiles(const Player& p, QWidget* target, const QStringList& paths)
{
    const bool accepted = Drop(target, paths);
    return WaitUntil([&] { return !p.Ctl().IsReadingFiles(); }, kWaitMs) && accepted;
}

struct Library {
    QTemporaryDir home;
    QTemporaryDir music;
    QStringList files;
    explicit Library(int count, double seconds = 2.0)
    {
        for (int i = 0; i < count; ++i)
            files.append(MakeMp3(music.filePath(QStringLiteral("song%1.mp3").arg(i)), QStringLiteral("Song %1").arg(i),
                                 seconds));
    }
};

inline bool IsPlaying(const Player& p, const QString& path)
{
    CQvMusic* t = p.Ctl().CurrentTrack();
    return t && t->GetInfo()->LSrc == path && p.Ctl().IsStarted();
}

} // namespace apptest
