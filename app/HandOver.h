#pragma once
#include <QString>
#include <QStringList>

// The hand-over file "file.xml" through which a second start gives its files to the running
// player: a "gb2312" document with root `body` and one `file` element per path, its `name` in
// the system code page. It lives in the per-user private folder.
QString HandOverFilePath();
// Replaces the file with `paths`; false when it could not be written.
bool WriteHandOverFile(const QString& filePath, const QStringList& paths);
// The paths in the file, in order; empty when it is missing or malformed.
QStringList ReadHandOverFile(const QString& filePath);
