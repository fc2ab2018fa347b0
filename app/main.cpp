#include "app/CQuarvelApp.h"
#include "app/CloudGrab.h"
#include "app/WindowGrab.h"
#include "base/FileName.h"
#include "base/Worker.h"
#include "ui/page/PageEngine.h"

#include <QApplication>
#include <QIcon>

// Usage: ordel [--home DIR] [--color 0|1|2] [--no-service]
//              [--screenshot PNG [--screenshot-playlist NAME | --screenshot-page MENUID]]
//              [--desklrc-screenshot PREFIX] [--login-screenshot PNG]
//              [--cloud-screenshot PREFIX --cloud-session ID] [FILE...]
// The program home is also taken from $ORDEL_HOME.
int main(int argc, char** argv)
{
    LimitWorkerHeaps();
    // Before the application object: the pages' engine needs its scheme and shared contexts.
    InitPageEngine();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // The desktop entry and the icon theme name the player (taskbars, notifications, MPRIS).
    QGuiApplication::setDesktopFileName(QStringLiteral("ordel"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("ordel")));
    // Read from the bytes: a file name that is not UTF-8 (a GBK name from a Windows disk) is
    // read as GB18030 text instead of being lost.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments.append(FileNameText(QByteArray(argv[i])));
    const QString screenshot = TakeScreenshotOption(arguments);
    const QString screenshotPlaylist = TakeScreenshotPlaylistOption(arguments);
    const QString screenshotPage = TakeScreenshotPageOption(arguments);
    const QString lyricsShot = TakeDesktopLyricsScreenshotOption(arguments);
    const QString loginShot = TakeLoginScreenshotOption(arguments);
    const QString cloudShot = TakeCloudScreenshotOption(arguments);
    const QString cloudSession = TakeCloudSessionOption(arguments);
    CommandLine line = ParseCommandLine(arguments);
    line.options.handleSignals = true;
    CQuarvelApp player(line.files, line.options);
    const int early = player.InitInstance();
    if (early >= 0) return early;
    if (!screenshot.isEmpty() && !screenshotPage.isEmpty()) GrabPageWhenSettled(player, screenshot, screenshotPage);
    else if (!screenshot.isEmpty()) GrabMainWindowWhenSettled(player, screenshot, !line.files.isEmpty(), screenshotPlaylist);
    else if (!lyricsShot.isEmpty()) GrabDesktopLyricsWhenSettled(player, lyricsShot);
    else if (!loginShot.isEmpty()) GrabLoginWhenSettled(player, loginShot);
    else if (!cloudShot.isEmpty()) GrabCloudWhenSettled(player, cloudShot, cloudSession);
    QObject::connect(&player, &CQuarvelApp::Finished, &app, [](int code) { QCoreApplication::exit(code); });
    return app.exec();
}
