#include "app/CloudGrab.h"

#include "app/CCloudGroups.h"
#include "app/CMainDlg.h"
#include "app/CNodeTreeModel.h"
#include "app/CPlaylistActions.h"
#include "app/CQuarvelApp.h"
#include "app/CQuarvelDlg.h"
#include "app/CSyncDlg.h"
#include "app/CUserSession.h"
#include "library/CQvNodeTree.h"
#include "library/ListInfo.h"
#include "model/TrackInfo.h"
#include "store/CMediaLibrary.h"
#include "store/CQvMediaStore.h"
#include "store/IQvNode.h"
#include "store/TrackBuilder.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QTreeView>
#include <QWindow>

#include <mutex>
#include <vector>

namespace {

constexpr int kPollMs = 100;
constexpr int kBoundMs = 60000; // a service that never answers ends the run without pictures
const QString kUploadedList = QStringLiteral("旅途");

QString Option(QStringList& arguments, const QString& name)
{
    const int at = arguments.indexOf(name);
    if (at < 1 || at + 1 >= arguments.size()) return QString();
    const QString value = arguments[at + 1];
    arguments.remove(at, 2);
    return value;
}

// The run's steps, one poll at a time.
struct CloudShot {
    enum Stage { WaitWindow, WaitGroups, WaitGroupSongs, WaitRandomSongs, WaitProgress };
    Stage stage = WaitWindow;
    IQvNode* shownGroup = nullptr;
};

IQvNode* FirstGroupWithChildren(IQvNode* cloud)
{
    for (IQvNode* g : cloud->Children())
        if (g->ChildCount() > 0) return g;
    return cloud->ChildCount() > 0 ? cloud->GetChild(0) : nullptr;
}

// The window as the screen shows it, with `dialog` (when given) over it where it stands.
bool SaveWindow(CQuarvelDlg* wnd, QWidget* dialog, const QString& path)
{
    QPixmap shot = wnd->grab();
    if (dialog) {
        QPainter p(&shot);
        const QPoint at = dialog->mapToGlobal(QPoint(0, 0)) - wnd->mapToGlobal(QPoint(0, 0));
        p.drawPixmap(at, dialog->grab());
    }
    return shot.save(path, "PNG", 0);
}

} // namespace

QString TakeCloudScreenshotOption(QStringList& arguments) { return Option(arguments, QStringLiteral("--cloud-screenshot")); }

QString TakeCloudSessionOption(QStringList& arguments) { return Option(arguments, QStringLiteral("--cloud-session")); }

void GrabCloudWhenSettled(CQuarvelApp& app, const QString& prefix, const QString& sessionId)
{
    auto* poll = new QTimer(&app);
    auto shot = std::make_shared<CloudShot>();
    const QDeadlineTimer bound(kBoundMs);
    QObject::connect(poll, &QTimer::timeout, &app, [&app, poll, prefix, sessionId, shot, bound] {
        CMainDlg* ctl = app.Controller();
        CQuarvelDlg* wnd = ctl ? ctl->MainWindow() : nullptr;
        auto finish = [&](bool saved) {
            poll->stop();
            poll->deleteLater();
            if (ctl) ctl->ExitApp(saved ? 0 : 1);
        };
        if (bound.hasExpired()) return finish(false);
        if (!wnd) return;
        CMediaLibrary& library = ctl->Library();
        CCloudGroups& cloud = ctl->CloudGroups();
        switch (shot->stage) {
        case CloudShot::WaitWindow:
            // The first-run dialog of a new home goes first.
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* dlg = qobject_cast<QDialog*>(w); dlg && dlg->isVisible()) dlg->reject();
            if (!ctl->LibraryLoaded() || !wnd->isVisible() || (wnd->windowHandle() && !wnd->windowHandle()->isExposed()))
                return;
            ctl->Session().OnSessionId(sessionId);
            shot->stage = CloudShot::WaitGroups;
            return;
        case CloudShot::WaitGroups: {
            IQvNode* group = nullptr;
            {
                std::lock_guard lock(library.Mutex());
                IQvNode* node = cloud.CloudNode();
                if (library.Store().StatusFlag() == 0 || !node) return;
                group = FirstGroupWithChildren(node);
            }
            if (!group || !wnd->TreeView()->isExpanded(wnd->TreeModel()->IndexOf(group))) return;
            shot->shownGroup = group;
            wnd->SelectNode(group);
            shot->stage = CloudShot::WaitGroupSongs;
            return;
        }
        case CloudShot::WaitGroupSongs: {
            {
                std::lock_guard lock(library.Mutex());
                if (!shot->shownGroup->GetListInfo()->loaded) return;
            }
            if (cloud.Busy()) return;
            // The groups in sight: "Nimbra" at the top of the tree pane.
            wnd->TreeView()->scrollTo(wnd->TreeModel()->IndexOf(cloud.CloudNode()), QAbstractItemView::PositionAtTop);
            if (!SaveWindow(wnd, nullptr, prefix + QStringLiteral("-tree.png"))) return finish(false);
            wnd->SelectNode(cloud.CloudNode());
            shot->stage = CloudShot::WaitRandomSongs;
            return;
        }
        case CloudShot::WaitRandomSongs: {
            std::vector<UrlTrackFields> songs;
            {
                std::lock_guard lock(library.Mutex());
                IQvNode* node = cloud.CloudNode();
                if (!node || node->TrackCount() == 0 || cloud.Busy()) return;
                for (const CQvMusic* t : node->Tracks()) {
                    UrlTrackFields f;
                    f.url = t->GetInfo()->NSrc;
                    f.song = t->GetInfo()->Song;
                    f.artist = t->GetInfo()->Artist;
                    f.album = t->GetInfo()->Album;
                    f.cmsId = t->GetInfo()->Rare().CmsID;
                    f.fromService = true;
                    songs.push_back(f);
                }
            }
            // The songs kept in a playlist of the library, which then goes up whole.
            IQvNode* list = ctl->Tree().CreateList(kUploadedList);
            if (!list) return finish(false);
            std::vector<CQvMusic*> tracks;
            std::vector<TrackRef> kept;
            for (const UrlTrackFields& f : songs)
                if (TrackRef t = BuildTrackFromUrl(library, f, TrackBuildOptions {ctl})) {
                    kept.push_back(t);
                    tracks.push_back(t.get());
                }
            ctl->Playlists().AddToList(list, tracks);
            wnd->ReloadTree();
            wnd->SelectNode(list);
            cloud.UploadList(list);
            shot->stage = CloudShot::WaitProgress;
            return;
        }
        case CloudShot::WaitProgress: {
            CSyncDlg* dlg = cloud.SyncDialog();
            if (!dlg || !dlg->isVisible() || dlg->Percent() <= 0 || dlg->Percent() >= 100) return;
            return finish(SaveWindow(wnd, dlg, prefix + QStringLiteral("-sync.png")));
        }
        }
    });
    poll->start(kPollMs);
}
