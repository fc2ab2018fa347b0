#include "model/LyricsFile.h"

#include "base/CodePage.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

QString DecodeLyricsFile(const QByteArray& bytes, LyricsFileEncoding* encoding)
{
    LyricsFileEncoding found;
    QString text;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        found = LyricsFileEncoding::Utf8Bom;
        text = QString::fromUtf8(bytes.mid(3));
    } else if (bytes.startsWith("\xFF\xFE")) {
        found = LyricsFileEncoding::Utf16LeBom;
        text = QStringDecoder(QStringDecoder::Utf16LE).decode(bytes.mid(2));
    } else if (bytes.startsWith("\xFE\xFF")) {
        found = LyricsFileEncoding::Utf16BeBom;
        text = QStringDecoder(QStringDecoder::Utf16BE).decode(bytes.mid(2));
    } else {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        text = utf8.decode(bytes);
        found = LyricsFileEncoding::Utf8;
        if (utf8.hasError()) {
            found = LyricsFileEncoding::CodePage;
            text = FromAnsi(bytes);
        }
    }
    if (encoding) *encoding = found;
    return text;
}

bool ReadLyricsFile(const QString& path, QString& text, LyricsFileEncoding* encoding)
{
    text.clear();
    // A device or a pipe named as a lyrics file would never end.
    if (path.isEmpty() || !QFileInfo(path).isFile()) return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxLyricsFileBytes) return false;
    // The file may grow while it is read: no more than the bound is taken.
    const QByteArray bytes = file.read(kMaxLyricsFileBytes + 1);
    if (bytes.size() > kMaxLyricsFileBytes) return false;
    text = DecodeLyricsFile(bytes, encoding);
    return true;
}

QByteArray EncodeLyricsFile(const QString& text, LyricsFileEncoding encoding)
{
    switch (encoding) {
    case LyricsFileEncoding::Utf8: return text.toUtf8();
    case LyricsFileEncoding::Utf8Bom: return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    case LyricsFileEncoding::Utf16LeBom: return QByteArray("\xFF\xFE") + QStringEncoder(QStringEncoder::Utf16LE).encode(text);
    case LyricsFileEncoding::Utf16BeBom: return QByteArray("\xFE\xFF") + QStringEncoder(QStringEncoder::Utf16BE).encode(text);
    case LyricsFileEncoding::CodePage: break;
    }
    return ToAnsi(text);
}

QString LyricsFileBeside(const QString& musicPath)
{
    if (musicPath.isEmpty()) return {};
    const QFileInfo music(musicPath);
    const QString stem = music.path() + QLatin1Char('/') + music.completeBaseName();
    for (const char* suffix : {".lrc", ".LRC", ".Lrc"}) {
        const QString candidate = stem + QLatin1String(suffix);
        if (QFileInfo(candidate).isFile()) return candidate;
    }
    return {};
}
