#include "base/FileName.h"

#include "base/CodePage.h"

#include <QFile>
#include <QStringDecoder>

#include <sys/stat.h>

namespace {

bool Exists(const QByteArray& bytes)
{
    struct stat st {};
    return ::lstat(bytes.constData(), &st) == 0;
}

} // namespace

QString FileNameText(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) return text;
    bool valid = false;
    QString gb = FromAnsi(bytes, &valid);
    return valid ? gb : text;
}

QByteArray FileNameBytes(const QString& path)
{
    QByteArray utf8 = QFile::encodeName(path);
    // Plain ASCII, or a name that is there as UTF-8: the common case costs at most one look.
    if (utf8.size() == path.size() || Exists(utf8)) return utf8;
    QByteArray out;
    const QStringList parts = path.split(QLatin1Char('/'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0) out += '/';
        const QByteArray asUtf8 = parts[i].toUtf8();
        const QByteArray asCodePage = ToAnsi(parts[i]);
        if (asUtf8 == asCodePage || Exists(out + asUtf8) || !Exists(out + asCodePage)) out += asUtf8;
        else out += asCodePage;
    }
    return out;
}

bool IsRegularFile(const QString& path)
{
    struct stat st {};
    return ::stat(FileNameBytes(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}
