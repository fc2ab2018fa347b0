#include "app/WindowGrab.h"

#include "app/CMainDlg.h"
#include "app/CQuarvelApp.h"
#include "app/CQuarvelDlg.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QPixmap>
#include <QTimer>
#include <QWindow>

namespace {

constexpr int kPollMs = 100;
constexpr int kPlayedMs = 1500;   // long enough for a progress tick and the lyrics
constexpr int kSettleMs = 500;    // what was posted meanwhile is painted
constexpr int kBoundMs = 20000;   // a start that never settles is taken as it is

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

} // namespace

QString TakeScreenshotOption(QStringList& arguments)
{
    const int at = arguments.indexOf(QStringLiteral("--screenshot"));
    if (at < 1 || at + 1 >= arguments.size()) return QString();
    const QString file = arguments[at + 1];
    arguments.remove(at, 2);
    return file;
}

void GrabMainWindowWhenSettled(CQuarvelApp& app, const QString& pngPath, bool waitForPlay)
{
    auto* poll = new QTimer(&app);
    const QDeadlineTimer bound(kBoundMs);
    QObject::connect(poll, &QTimer::timeout, &app, [&app, poll, pngPath, waitForPlay, bound] {
        CancelDialogs();
        if (!Settled(app, waitForPlay) && !bound.hasExpired()) return;
        poll->stop();
        poll->deleteLater();
        QTimer::singleShot(kSettleMs, &app, [&app, pngPath] {
            CancelDialogs();
            CMainDlg* ctl = app.Controller();
            if (!ctl) return;
            const bool saved = ctl->MainWindow() && ctl->MainWindow()->grab().save(pngPath, "PNG", 0);
            ctl->ExitApp(saved ? 0 : 1);
        });
    });
    poll->start(kPollMs);
}
