#include "base/PrivateDir.h"

#include <QDir>
#include <QFile>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder we may write private files into: ours, a real directory, not reachable by others.
bool IsPrivateFolder(const QByteArray& path)
{
    struct stat st {};
    if (lstat(path.constData(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == getuid() && (st.st_mode & 077) == 0;
}

QString MakePrivate(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    if (mkdir(native.constData(), 0700) != 0 && errno != EEXIST) return QString();
    return IsPrivateFolder(native) ? path : QString();
}

} // namespace

QString PrivateDir()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty()) {
        const QString dir = MakePrivate(QFile::decodeName(runtime) + QStringLiteral("/ordel"));
        if (!dir.isEmpty()) return dir;
    }
    return MakePrivate(QDir::tempPath() + QStringLiteral("/ordel-%1").arg(getuid()));
}
