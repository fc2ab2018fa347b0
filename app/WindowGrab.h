#pragma once
#include <QString>
#include <QStringList>

class CQuarvelApp;

// "--screenshot FILE": once the main window shows the loaded library (and the start file has
// played for a moment, when there is one), a picture of the window is saved as FILE (PNG) and
// the player ends the normal way, with code 0, or 1 when the picture could not be written.
// A dialog over the window (the first-run dialog of a new home) is cancelled first. Made for
// scripts/screenshot; it changes nothing else about a start.
// With `playlist` given, that playlist (made from the library's first tracks when it is missing)
// is shown with two rows chosen and their row menu open, and the menus are in the picture.
void GrabMainWindowWhenSettled(CQuarvelApp& app, const QString& pngPath, bool waitForPlay,
                               const QString& playlist = QString());

// "--desklrc-screenshot PREFIX": as above, then the desktop lyrics are shown and, once the
// playing line is partly sung, the window with the desktop lyrics over it is saved once per
// lyric colour scheme as PREFIX0.png to PREFIX3.png (the same moment in each).
void GrabDesktopLyricsWhenSettled(CQuarvelApp& app, const QString& prefix);

// "--screenshot FILE --screenshot-page ID": once the main window shows the loaded library and
// the service's menu has come, the content view opens the menu entry ID (its tab checked); the
// picture is taken when that page has completed, its scripts have filled it and its pictures
// have loaded. Needs the service tasks (the menu comes from the service).
void GrabPageWhenSettled(CQuarvelApp& app, const QString& pngPath, const QString& menuId);

// "--login-screenshot FILE": once the main window has settled, the sign-in dialog is opened and
// a picture of it is saved when its page has completed and painted.
void GrabLoginWhenSettled(CQuarvelApp& app, const QString& pngPath);

// Takes "--screenshot FILE" out of the arguments; the file, or empty when not given.
QString TakeScreenshotOption(QStringList& arguments);
// Takes "--desklrc-screenshot PREFIX" out of the arguments; the prefix, or empty.
QString TakeDesktopLyricsScreenshotOption(QStringList& arguments);
// Takes "--screenshot-playlist NAME" out of the arguments; the name, or empty.
QString TakeScreenshotPlaylistOption(QStringList& arguments);
// Takes "--screenshot-page ID" out of the arguments; the menu id, or empty.
QString TakeScreenshotPageOption(QStringList& arguments);
// Takes "--login-screenshot FILE" out of the arguments; the file, or empty.
QString TakeLoginScreenshotOption(QStringList& arguments);
