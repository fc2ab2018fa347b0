#include "lyrics/ServiceLyrics.h"

QString ServiceLyricsToLrc(QByteArrayView utf8Content)
{
    QString text = QString::fromUtf8(utf8Content);
    text.replace(QStringLiteral("[["), QStringLiteral("["));
    text.replace(u'[', QStringLiteral("\n["));
    return text;
}
