#include "app/FileAssociation.h"

#include "ui/CProfileIni.h"

#include "base/WholeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

const char* const kDesktopFileName = "ordel.desktop";

namespace {

const QString kSection = QStringLiteral("Default Applications");
const QString kMime = QStringLiteral("audio/mpeg");

// A desktop entry's Exec field: the program quoted, then the file.
QString QuotedExec(const QString& executable)
{
    QString quoted = executable;
    for (const char* c : {"\\", "\"", "`", "$"}) quoted.replace(QLatin1String(c), QLatin1String("\\") + QLatin1String(c));
    return QLatin1Char('"') + quoted + QStringLiteral("\" %f");
}

} // namespace

AssociationPaths DefaultAssociationPaths()
{
    AssociationPaths p;
    p.mimeApps = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/mimeapps.list");
    p.desktopFile = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                    QStringLiteral("/applications/") + QLatin1String(kDesktopFileName);
    return p;
}

int RegisterMp3Association(const QString& executable, const AssociationPaths& paths)
{
    CProfileIni mimeApps;
    mimeApps.Load(paths.mimeApps);
    if (!mimeApps.Has(kSection, kMime)) return 0;
    const QString current = mimeApps.Value(kSection, kMime);
    const QString first = current.section(QLatin1Char(';'), 0, 0).trimmed();
    if (first == QLatin1String(kDesktopFileName)) return 0;

    // The icon is the theme's, as the installed entry names it: a path to the program is no picture.
    const QString entry = QStringLiteral(
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Ordel\n"
        "Comment=Ordelmp3文件 (.mp3)\n"
        "Exec=%1\n"
        "Icon=ordel\n"
        "Terminal=false\n"
        "MimeType=audio/mpeg;\n"
        "Categories=AudioVideo;Audio;Player;\n")
        .arg(QuotedExec(executable));
    QDir().mkpath(QFileInfo(paths.desktopFile).absolutePath());
    if (!WriteFileWhole(paths.desktopFile, entry.toUtf8())) return -1;

    // The player goes first; the programs the user had stay behind it.
    QString value = QLatin1String(kDesktopFileName) + QLatin1Char(';');
    for (const QString& other : current.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (other.trimmed() != QLatin1String(kDesktopFileName)) value += other.trimmed() + QLatin1Char(';');
    mimeApps.SetValue(kSection, kMime, value);
    return mimeApps.Save(paths.mimeApps) ? 1 : -1;
}
