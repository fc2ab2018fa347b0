#include "lyrics/ServiceLyrics.h"

QString ServiceLyricsToLrc(QByteArrayView utf8Content)
{
    const QString text = QString::fromUtf8(utf8Content);
    const QStringView view(text);
    QString out;
    out.reserve(text.size() + text.count(u'['));
    // One pass for both replacements: "[[" first becomes "[", then every "[" starts a line.
    qsizetype from = 0;
    for (qsizetype i = view.indexOf(u'['); i >= 0; i = view.indexOf(u'[', from)) {
        out += view.sliced(from, i - from);
        out += u'\n';
        out += u'[';
        from = i + 1;
        if (from < view.size() && view[from] == u'[') ++from;
    }
    out += view.sliced(from);
    return out;
}
