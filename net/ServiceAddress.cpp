#include "net/ServiceAddress.h"

#include "net/HttpSupport.h"
#include "store/CQvConf.h"

QString MetadataEntryUrl()
{
    const QString url = CQvConf::Instance().ServerAddress(QStringLiteral("metadataurl"));
    return url.isEmpty() ? QString::fromLatin1(kDefaultUdpUrl) : url;
}

QString PassportUrl(const QString& path)
{
    QString base = CQvConf::Instance().ServerAddress(QStringLiteral("passporturl"));
    if (base.isEmpty()) {
        const UrlParts entry = SplitUrl(MetadataEntryUrl());
        base = entry.scheme + QStringLiteral("://") + entry.host + QLatin1Char(':') + QString::number(entry.port);
    }
    while (base.endsWith(QLatin1Char('/'))) base.chop(1);
    return base + path;
}

QString UpdateUrl()
{
    const QString url = CQvConf::Instance().Info().udpUrl;
    return url.isEmpty() ? QString::fromLatin1(kDefaultUdpUrl) : url;
}
