#include "ui/page/PageText.h"

#include "base/CodePage.h"
#include "net/proto/UrlEncode.h"

#include <QUrl>

QString PageStyleParam(int skin)
{
    switch (skin) {
    case 0: return QStringLiteral("cssStyle=blue");
    case 1: return QStringLiteral("cssStyle=gold");
    default: return QStringLiteral("cssStyle=purple");
    }
}

QString AppendPageStyle(const QString& url, int skin)
{
    return url + (url.contains(QLatin1Char('?')) ? QLatin1Char('&') : QLatin1Char('?')) + PageStyleParam(skin);
}

namespace {

QString CleanValue(QString value)
{
    value.remove(QLatin1String("<b>"));
    value.remove(QLatin1String("</b>"));
    value.replace(QLatin1String("%20"), QLatin1String(" "));
    return value;
}

} // namespace

PageTrackFields ParsePageFields(const QString& data)
{
    PageTrackFields f;
    for (const QString& field : data.split(QLatin1Char('^'))) {
        const qsizetype bar = field.indexOf(QLatin1Char('|'));
        if (bar <= 0) continue;
        const QString key = field.left(bar);
        const QString value = CleanValue(field.mid(bar + 1));
        if (value == QLatin1String("null")) continue;
        if (key == QLatin1String("song")) f.song = value;
        else if (key == QLatin1String("artist")) f.artist = value;
        else if (key == QLatin1String("album")) f.album = value;
        else if (key == QLatin1String("url")) f.url = value;
        else if (key == QLatin1String("id")) f.id = value;
        else if (key == QLatin1String("method")) f.method = value;
        else if (key == QLatin1String("keyword")) f.keyword = value;
        else if (key == QLatin1String("pageno")) f.pageno = value.toInt();
        else if (key == QLatin1String("order")) f.order = value.toInt();
        else if (key == QLatin1String("pagesize")) f.pagesize = value.toInt();
        else if (key == QLatin1String("total")) f.total = value.toInt();
        else if (key == QLatin1String("star")) f.star = value.toInt();
    }
    return f;
}

QList<PageTrackFields> ParseSelfOpt(const QString& rest)
{
    QList<PageTrackFields> groups;
    qsizetype at = 0;
    while (true) {
        const qsizetype open = rest.indexOf(QLatin1Char('{'), at);
        if (open < 0) break;
        const qsizetype close = rest.indexOf(QLatin1Char('}'), open + 1);
        if (close < 0) break;
        const QString body = rest.mid(open + 1, close - open - 1);
        at = close + 1;
        const qsizetype caret = body.indexOf(QLatin1Char('^'));
        const QString action = caret < 0 ? body : body.left(caret);
        if (action != QLatin1String("play") && action != QLatin1String("add")) continue;
        PageTrackFields f = ParsePageFields(caret < 0 ? QString() : body.mid(caret + 1));
        f.action = action;
        groups.append(f);
    }
    return groups;
}

bool IsSelfOptUrl(const QString& url)
{
    return url.startsWith(QLatin1String("selfopt://"), Qt::CaseInsensitive);
}

QList<int> ParseIndexList(const QString& text)
{
    QList<int> indexes;
    for (const QString& piece : text.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int index = piece.trimmed().toInt(&ok);
        if (ok) indexes.append(index);
    }
    return indexes;
}

QString FormatPageItem(const QString& song, const QString& singer, const QString& album, const QString& gid)
{
    const auto strip = [](QString s) { return s.remove(QLatin1Char('\'')); };
    return QStringLiteral("{'name':'%1','singer':'%2','album':'%3','GID':'%4'}")
        .arg(strip(song), strip(singer), strip(album), gid);
}

QString FormatLoginString(const QString& vuid, const QString& phone)
{
    if (vuid.isEmpty() || phone.isEmpty()) return QString();
    return QStringLiteral("orgin=2&vuid=%1&phone=%2").arg(vuid, phone);
}

QString UploadAddress(const QString& url, const QString& song, const QString& singer, const QString& gid,
                      const QString& phone, const QString& path, const QString& vuid, const QString& album)
{
    const auto enc = [](const QString& s) { return QString::fromLatin1(UrlEncodeCounted(ToAnsi(s))); };
    const QString fileName = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    return url + QStringLiteral("?orgin=2&song=%1&singer=%2&uploadkey=%3&phone=%4&filename=%5&vuid=%6&album=%7")
                     .arg(enc(song), enc(singer), enc(gid), enc(phone), enc(fileName), vuid, enc(album));
}

QString OriginOf(const QString& url)
{
    const QUrl u(url);
    if (!u.isValid() || u.scheme().isEmpty() || u.host().isEmpty()) return QString();
    QString origin = u.scheme().toLower() + QStringLiteral("://") + u.host().toLower();
    if (u.port() >= 0) origin += QLatin1Char(':') + QString::number(u.port());
    return origin;
}
