#include "ui/lyrics/LyricFonts.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

const LyricScheme kSchemes[kLyricSchemeCount] = {
    {QColor(255, 255, 255), QColor(0, 255, 204), QColor(250, 252, 2), QColor(229, 183, 11)},
    {QColor(255, 255, 0), QColor(255, 0, 204), QColor(250, 252, 2), QColor(229, 183, 11)},
    {QColor(0, 255, 0), QColor(255, 198, 0), QColor(36, 240, 183), QColor(49, 197, 235)},
    {QColor(83, 215, 38), QColor(12, 126, 1), QColor(250, 252, 2), QColor(229, 183, 11)},
};

bool Offered(const QString& family)
{
    if (family.isEmpty() || family.startsWith(QLatin1Char('@'))) return false;
    const QChar first = family.at(0);
    return !(first >= QLatin1Char('A') && first <= QLatin1Char('Z'));
}

} // namespace

int ValidLyricScheme(int scheme) { return scheme >= 0 && scheme < kLyricSchemeCount ? scheme : 0; }

const LyricScheme& LyricSchemeAt(int scheme) { return kSchemes[ValidLyricScheme(scheme)]; }

QStringList LyricFontFamilies(const QStringList& installed, const QStringList& chinese)
{
    QStringList out;
    for (const QString& f : installed)
        if (Offered(f) && !out.contains(f)) out.append(f);
    if (!out.isEmpty()) return out;
    for (const QString& f : chinese)
        if (!f.startsWith(QLatin1Char('@')) && !out.contains(f)) out.append(f);
    return out;
}

QStringList InstalledLyricFontFamilies()
{
    return LyricFontFamilies(QFontDatabase::families(), QFontDatabase::families(QFontDatabase::SimplifiedChinese));
}

void DrawLyricLine(QPainter& p, const QPointF& at, const QFont& font, const QString& text, int scheme, float sweep)
{
    const QFontMetricsF metrics(font);
    const qreal top = at.y();
    const qreal bottom = top + metrics.height();
    QPainterPath outline;
    outline.addText(QPointF(at.x() - 1, top - 1 + metrics.ascent()), font, text);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.strokePath(outline, QPen(QColor(155, 155, 155, 155), 3.5));
    const QPainterPath letters = outline.translated(1, 1);
    const LyricScheme& colours = LyricSchemeAt(scheme);
    QLinearGradient unsung(0, top, 0, bottom);
    unsung.setColorAt(0, colours.unsungTop);
    unsung.setColorAt(1, colours.unsungBottom);
    p.fillPath(letters, unsung);
    if (sweep > 0) {
        QLinearGradient sung(0, top, 0, bottom);
        sung.setColorAt(0, colours.sungTop);
        sung.setColorAt(1, colours.sungBottom);
        p.setClipRect(QRectF(at.x(), top - 4, sweep, bottom - top + 8));
        p.fillPath(letters, sung);
    }
    p.restore();
}

void DrawSungLetters(QPainter& p, const QPointF& at, const QFont& font, const QString& text, int scheme)
{
    const QFontMetricsF metrics(font);
    QPainterPath letters;
    letters.addText(QPointF(at.x(), at.y() + metrics.ascent()), font, text);
    const LyricScheme& colours = LyricSchemeAt(scheme);
    QLinearGradient sung(0, at.y(), 0, at.y() + metrics.height());
    sung.setColorAt(0, colours.sungTop);
    sung.setColorAt(1, colours.sungBottom);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(letters, sung);
    p.restore();
}
