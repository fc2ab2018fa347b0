#pragma once
#include <QString>
#include <QStringList>

class CQuarvelApp;

// "--cloud-screenshot PREFIX --cloud-session ID": once the window shows the library, the user of
// session ID (a session the service knows) is signed in; when the groups are in the tree, one
// with songs is opened and the window is saved as PREFIX-tree.png; then "Nimbra"'s songs become
// a playlist that goes up to the service, and once its progress window is part way (a slow
// service keeps it there) the window with the progress over it is saved as PREFIX-sync.png.
// The player then ends with code 0, or 1 when a picture could not be made. For
// scripts/screenshot.
void GrabCloudWhenSettled(CQuarvelApp& app, const QString& prefix, const QString& sessionId);

// Takes "--cloud-screenshot PREFIX" and "--cloud-session ID" out of the arguments.
QString TakeCloudScreenshotOption(QStringList& arguments);
QString TakeCloudSessionOption(QStringList& arguments);
