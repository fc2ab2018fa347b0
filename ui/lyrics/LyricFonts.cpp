#include "ui/lyrics/LyricFonts.h"

#include <QFontDatabase>

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
