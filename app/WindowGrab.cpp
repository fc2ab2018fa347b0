#include "app/WindowGrab.h"

#include "app/CMainDlg.h"
#include "app/CQuarvelApp.h"
#include "app/CNodeTreeModel.h"
#include "app/CPlaylistActions.h"
#include "app/CQuarvelDlg.h"
#include "app/CLoginDlg.h"
#include "app/CUserSession.h"
#include "lyrics/CLyrics.h"
#include "ui/lyrics/CKLrcChildDlg.h"
#include "ui/page/CFixedHtmlView.h"
#include "ui/page/CPagePane.h"

#include "library/CQvNodeTree.h"
#include "store/CMediaLibrary.h"
#include "store/CQvMediaStore.h"
#include "store/IQvNode.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QTableView>
#include <QTreeView>
#include <QDeadlineTimer>
#include <QDialog>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWindow>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace {

constexpr int kPollMs = 100;
constexpr int kPlayedMs = 1500;   // long enough for a progress tick and the lyrics
constexpr int kSettleMs = 500;    // what was posted meanwhile is painted
constexpr int kBoundMs = 20000;   // a start that never settles is taken as it is
constexpr int kPageBoundMs = 30000; // a page that never completes fails the picture

void CancelDialogs()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* dlg = qobject_cast<QDialog*>(w); dlg && dlg->isVisible()) dlg->reject();
    }
}

bool Settled(const CQuarvelApp& app, bool waitForPlay)
{
    CMainDlg* ctl = app.Controller();
    CQuarvelDlg* wnd = ctl ? ctl->MainWindow() : nullptr;
    if (!wnd || !ctl->LibraryLoaded() || !wnd->isVisible()) return false;
    if (wnd->windowHandle() && !wnd->windowHandle()->isExposed()) return false;
    return !waitForPlay || (ctl->IsStarted() && ctl->GetPositionMs() >= kPlayedMs);
}

QString TakeOption(QStringList& arguments, const QString& name)
{
    const int at = arguments.indexOf(name);
    if (at < 1 || at + 1 >= arguments.size()) return QString();
    const QString value = arguments[at + 1];
    arguments.remove(at, 2);
    return value;
}

// The playlist shown with two rows chosen and the menu of the second open.
void OpenPlaylistMenu(CMainDlg& ctl, const QString& name)
{
    CMediaLibrary& library = ctl.Library();
    IQvNode* list = nullptr;
    std::vector<CQvMusic*> tracks;
    {
        std::lock_guard lock(library.Mutex());
        list = library.Store().FindNode(name);
        const auto& all = library.Store().LibraryTracks();
        for (size_t i = 0; i < all.size() && i < 5; ++i) tracks.push_back(all[i]);
    }
    if (!list) list = ctl.Tree().CreateList(name);
    if (!list) return;
    ctl.Playlists().AddToList(list, tracks);
    CQuarvelDlg* wnd = ctl.MainWindow();
    wnd->TreeModel()->Reload();
    wnd->TreeView()->expandAll();
    wnd->SelectNode(list);
    QTableView* view = wnd->ListView();
    if (view->model()->rowCount() < 2) return;
    view->selectionModel()->select(view->model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view->selectionModel()->setCurrentIndex(view->model()->index(2, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const QPoint at = view->visualRect(view->model()->index(2, 1)).center();
    QContextMenuEvent e(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(view->viewport(), &e);
    // The "添加到" submenu beside it, as the mouse over it would open it.
    for (QAction* a : wnd->RowMenu()->actions())
        if (a->menu()) {
            wnd->RowMenu()->setActiveAction(a);
            a->menu()->popup(wnd->RowMenu()->mapToGlobal(wnd->RowMenu()->actionGeometry(a).topRight()));
            break;
        }
}

// The window with the menus open over it, as the screen shows them.
QPixmap GrabWithMenus(QWidget* window)
{
    QPixmap shot = window->grab();
    QPainter p(&shot);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* menu = qobject_cast<QMenu*>(w); menu && menu->isVisible())
            p.drawPixmap(menu->geometry().topLeft() - window->geometry().topLeft(), menu->grab());
    return shot;
}

// Whether the page has completed, its scripts have put pictures in and they have all loaded;
// asked of the page and answered later (`ready` is set by the answer).
void AskPageReady(CFixedHtmlView* view, const std::shared_ptr<bool>& ready)
{
    view->page()->runJavaScript(
        QStringLiteral("document.readyState === 'complete' && document.images.length > 0 &&"
                       " Array.prototype.every.call(document.images, function (i) { return i.complete; })"),
        [ready](const QVariant& v) { *ready = v.toBool(); });
}

// Calls `shoot` once `view` shows an address containing `path` and its page is ready (see
// AskPageReady), after a moment for the paint; gives up (ending the player with 1) when that
// does not happen within the bound.
void WhenPageReady(CQuarvelApp& app, QPointer<CFixedHtmlView> view, const QString& path, bool needPictures,
                   std::function<void()> shoot)
{
    auto* poll = new QTimer(&app);
    const QDeadlineTimer bound(kPageBoundMs);
    auto ready = std::make_shared<bool>(false);
    QObject::connect(poll, &QTimer::timeout, &app, [&app, poll, view, path, needPictures, shoot, bound, ready] {
        if (bound.hasExpired() || !view) {
            poll->stop();
            poll->deleteLater();
            if (CMainDlg* ctl = app.Controller()) ctl->ExitApp(1);
            return;
        }
        if (!view->CurrentUrl().contains(path)) return;
        if (needPictures && !*ready) {
            AskPageReady(view, ready);
            return;
        }
        poll->stop();
        poll->deleteLater();
        QTimer::singleShot(kSettleMs * 2, &app, shoot);
    });
    poll->start(kPollMs * 2);
}

// Once the window has settled (no start file: nothing waits for a play), `then` runs.
void WhenSettled(CQuarvelApp& app, std::function<void()> then)
{
    auto* poll = new QTimer(&app);
    const QDeadlineTimer bound(kBoundMs);
    QObject::connect(poll, &QTimer::timeout, &app, [&app, poll, bound, then] {
        CancelDialogs();
        if (!Settled(app, false) && !bound.hasExpired()) return;
        poll->stop();
        poll->deleteLater();
        then();
    });
    poll->start(kPollMs);
}

} // namespace

QString TakeScreenshotOption(QStringList& arguments) { return TakeOption(arguments, QStringLiteral("--screenshot")); }

QString TakeDesktopLyricsScreenshotOption(QStringList& arguments)
{
    return TakeOption(arguments, QStringLiteral("--desklrc-screenshot"));
}

QString TakeScreenshotPlaylistOption(QStringList& arguments)
{
    return TakeOption(arguments, QStringLiteral("--screenshot-playlist"));
}

QString TakeScreenshotPageOption(QStringList& arguments)
{
    return TakeOption(arguments, QStringLiteral("--screenshot-page"));
}

QString TakeLoginScreenshotOption(QStringList& arguments)
{
    return TakeOption(arguments, QStringLiteral("--login-screenshot"));
}

void GrabMainWindowWhenSettled(CQuarvelApp& app, const QString& pngPath, bool waitForPlay, const QString& playlist)
{
    auto* poll = new QTimer(&app);
    const QDeadlineTimer bound(kBoundMs);
    QObject::connect(poll, &QTimer::timeout, &app, [&app, poll, pngPath, waitForPlay, bound, playlist] {
        CancelDialogs();
        if (!Settled(app, waitForPlay) && !bound.hasExpired()) return;
        poll->stop();
        poll->deleteLater();
        if (!playlist.isEmpty() && app.Controller()) OpenPlaylistMenu(*app.Controller(), playlist);
        QTimer::singleShot(kSettleMs, &app, [&app, pngPath] {
            CancelDialogs();
            CMainDlg* ctl = app.Controller();
            if (!ctl) return;
            const bool saved = ctl->MainWindow() && GrabWithMenus(ctl->MainWindow()).save(pngPath, "PNG", 0);
            ctl->ExitApp(saved ? 0 : 1);
        });
    });
    poll->start(kPollMs);
}

void GrabDesktopLyricsWhenSettled(CQuarvelApp& app, const QString& prefix)
{
    auto* poll = new QTimer(&app);
    const QDeadlineTimer bound(kBoundMs);
    QObject::connect(poll, &QTimer::timeout, &app, [&app, poll, prefix, bound] {
        CancelDialogs();
        CMainDlg* ctl = app.Controller();
        if (!Settled(app, true) && !bound.hasExpired()) return;
        CKLrcChildDlg* desktop = ctl && ctl->MainWindow() ? ctl->MainWindow()->DesktopLyrics() : nullptr;
        if (!desktop) return;
        if (!desktop->Wanted()) {
            desktop->ShowDesktopLyrics(true);
            desktop->OnTimer(CKLrcChildDlg::kHoverTimer); // the look of a window the mouse is not on
        }
        // Partly sung: the sweep between a third and three quarters of a line with text.
        const float sung = desktop->TextWidth() > 0 ? desktop->SweepWidth() / desktop->TextWidth() : 0;
        const bool midSweep = sung > 0.33f && sung < 0.75f && desktop->DisplayText() != ctl->Lyrics().TrailerText();
        if (!midSweep && !bound.hasExpired()) return;
        poll->stop();
        poll->deleteLater();
        CancelDialogs();
        const QImage window = ctl->MainWindow()->grab().toImage();
        bool saved = !window.isNull();
        for (int scheme = 0; scheme < 4 && saved; ++scheme) {
            desktop->SetScheme(scheme);
            QImage picture = window;
            const QImage lyrics = desktop->Render();
            QPainter p(&picture);
            p.drawImage((picture.width() - lyrics.width()) / 2, picture.height() - lyrics.height() - 100, lyrics);
            p.end();
            saved = picture.save(prefix + QString::number(scheme) + QStringLiteral(".png"), "PNG", 0);
        }
        ctl->ExitApp(saved ? 0 : 1);
    });
    poll->start(kPollMs / 4);
}

void GrabPageWhenSettled(CQuarvelApp& app, const QString& pngPath, const QString& menuId)
{
    WhenSettled(app, [&app, pngPath, menuId] {
        // The menu comes from the service after the start.
        auto* wait = new QTimer(&app);
        const QDeadlineTimer bound(kPageBoundMs);
        QObject::connect(wait, &QTimer::timeout, &app, [&app, wait, bound, pngPath, menuId] {
            CMainDlg* ctl = app.Controller();
            if (!ctl) return;
            CancelDialogs();
            const QString url = ctl->MenuUrl(menuId);
            if (url.isEmpty() && !bound.hasExpired()) return;
            wait->stop();
            wait->deleteLater();
            if (url.isEmpty()) {
                ctl->ExitApp(1);
                return;
            }
            ctl->OpenMenuPage(menuId);
            CFixedHtmlView* view = ctl->MainWindow()->ContentPane()->View();
            WhenPageReady(app, view, QUrl(url).path(), true, [&app, pngPath] {
                CancelDialogs();
                CMainDlg* c = app.Controller();
                if (!c) return;
                const bool saved = c->MainWindow() && c->MainWindow()->grab().save(pngPath, "PNG", 0);
                c->ExitApp(saved ? 0 : 1);
            });
        });
        wait->start(kPollMs);
    });
}

void GrabLoginWhenSettled(CQuarvelApp& app, const QString& pngPath)
{
    WhenSettled(app, [&app, pngPath] {
        CMainDlg* ctl = app.Controller();
        if (!ctl) return;
        ctl->Session().ShowLogin();
        CLoginDlg* dlg = ctl->Session().LoginDialog();
        CFixedHtmlView* view = dlg ? dlg->Page()->View() : nullptr;
        if (!view) {
            ctl->ExitApp(1);
            return;
        }
        WhenPageReady(app, view, QStringLiteral("/pcc/user/login.do"), false, [&app, pngPath] {
            CMainDlg* c = app.Controller();
            CLoginDlg* d = c ? c->Session().LoginDialog() : nullptr;
            if (!c) return;
            const bool saved = d && d->grab().save(pngPath, "PNG", 0);
            c->ExitApp(saved ? 0 : 1);
        });
    });
}
