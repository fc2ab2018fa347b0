#include "library/AddUrlCheck.h"

#include <QRegularExpression>

const char16_t* const kInvalidUrlText = u"网络链接为无效地址！";
const char16_t* const kInvalidUrlCaption = u"错误!";

AddUrlCheck CheckAddUrl(const QString& address)
{
    const QString scheme = address.section(QLatin1Char(':'), 0, 0);
    // The player opens only what begins with "http://" or "mms://": "http:/host/a.mp3" would be
    // stored as a track that can never play.
    const bool slashes = address.mid(scheme.size(), 3) == QLatin1String("://");
    if (scheme.compare(QLatin1String("http"), Qt::CaseInsensitive) == 0) {
        static const QRegularExpression kHttp(QStringLiteral("^[a-zA-Z0-9].*[.](mp3|wma)$"));
        return slashes && kHttp.match(address).hasMatch() ? AddUrlCheck::Valid : AddUrlCheck::Invalid;
    }
    if (scheme == QLatin1String("mms"))
        return slashes && address.size() >= 10 ? AddUrlCheck::Valid : AddUrlCheck::Invalid;
    return AddUrlCheck::Ignored;
}
