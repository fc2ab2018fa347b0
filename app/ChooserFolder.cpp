#include "app/ChooserFolder.h"

#include "ui/CProfileIni.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
const QString kSection = QStringLiteral("chooser");
const QString kKey = QStringLiteral("lastfolder");
} // namespace

QString ChooserStartFolder()
{
    CProfileIni profile;
    profile.Load(DefaultProfilePath());
    const QString last = profile.Value(kSection, kKey);
    if (!last.isEmpty() && QFileInfo(last).isDir()) return last;
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (!music.isEmpty() && QFileInfo(music).isDir()) return music;
    return QDir::homePath();
}

void RememberChooserFolder(const QString& chosen)
{
    if (chosen.isEmpty()) return;
    const QFileInfo info(chosen);
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    CProfileIni profile;
    profile.Load(DefaultProfilePath());
    if (profile.Value(kSection, kKey) == folder) return;
    profile.SetValue(kSection, kKey, folder);
    profile.Save(DefaultProfilePath());
}
