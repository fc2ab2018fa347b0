#include "library/ScanRoots.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace {

// Mount table fields escape blanks, tabs, newlines and backslashes as three octal digits.
QString DecodeMountField(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '7') {
            bool ok = false;
            const int value = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out.append(char(value));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return QFile::decodeName(out);
}

bool IsNetworkFs(const QString& type)
{
    static const QSet<QString> kinds = {QStringLiteral("nfs"), QStringLiteral("nfs4"), QStringLiteral("cifs"),
                                        QStringLiteral("smb3"), QStringLiteral("smbfs"),
                                        QStringLiteral("fuse.sshfs")};
    return kinds.contains(type);
}

QByteArray ReadSmall(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(64).trimmed() : QByteArray();
}

// `name` is a sysfs block device name ("sdb1", "dm-0"); `depth` bounds the walk over slaves.
bool SysBlockRemovableOrUsb(const QString& name, const QString& sysRoot, int depth)
{
    const QString node = sysRoot + QStringLiteral("/class/block/") + name;
    const QString real = QFileInfo(node).canonicalFilePath();
    if (real.isEmpty()) return false;
    if (real.contains(QLatin1String("/usb"))) return true;
    // Optical drives report themselves removable; like fixed drives they are scanned.
    if (!name.startsWith(QLatin1String("sr"))) {
        QByteArray removable = ReadSmall(real + QStringLiteral("/removable"));
        if (removable.isEmpty()) removable = ReadSmall(QFileInfo(real).path() + QStringLiteral("/removable"));
        if (removable == "1") return true;
    }
    if (depth <= 0) return false;
    const QStringList slaves = QDir(real + QStringLiteral("/slaves")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& slave : slaves)
        if (SysBlockRemovableOrUsb(slave, sysRoot, depth - 1)) return true;
    return false;
}

QString WithSlash(QString path)
{
    if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
    return path;
}

} // namespace

bool IsRemovableOrUsb(const QString& device, const QString& sysRoot)
{
    QString real = QFileInfo(device).canonicalFilePath();
    if (real.isEmpty()) real = device;
    return SysBlockRemovableOrUsb(QFileInfo(real).fileName(), sysRoot, 4);
}

QStringList ScanRoots(const QString& mountsFile, const QString& sysRoot, const QString& home)
{
    QStringList roots;
    QSet<QString> seen;
    auto add = [&](const QString& path) {
        const QString root = WithSlash(path);
        if (!seen.contains(root)) {
            seen.insert(root);
            roots.append(root);
        }
    };
    if (!home.isEmpty() && QFileInfo(home).isDir()) add(home);

    QFile table(mountsFile);
    if (!table.open(QIODevice::ReadOnly)) return roots;
    const QList<QByteArray> lines = table.readAll().split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 3) continue;
        const QString source = DecodeMountField(fields[0]);
        const QString point = DecodeMountField(fields[1]);
        const QString type = QString::fromLatin1(fields[2]);
        if (point == QLatin1String("/") || !point.startsWith(QLatin1Char('/'))) continue;
        if (!IsNetworkFs(type)) {
            if (!source.startsWith(QLatin1String("/dev/"))) continue; // pseudo file systems
            if (type == QLatin1String("squashfs")) continue;           // packaged images
            const QString device = QFileInfo(source).canonicalFilePath().isEmpty()
                                       ? source
                                       : QFileInfo(source).canonicalFilePath();
            const QString devName = QFileInfo(device).fileName();
            if (devName.startsWith(QLatin1String("loop")) || devName.startsWith(QLatin1String("ram"))) continue;
            if (IsRemovableOrUsb(source, sysRoot)) continue;
        }
        add(point);
    }
    return roots;
}

QStringList ScanRoots()
{
    return ScanRoots(QStringLiteral("/proc/self/mounts"), QStringLiteral("/sys"), QDir::homePath());
}
