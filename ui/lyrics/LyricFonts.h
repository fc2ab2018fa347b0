#pragma once
#include <QColor>
#include <QFont>
#include <QPointF>
#include <QStringList>

// The colour schemes of the desktop lyrics: vertical gradients, top to bottom, of the text not
// yet sung and of the sung part over it.
struct LyricScheme {
    QColor unsungTop, unsungBottom, sungTop, sungBottom;
};
constexpr int kLyricSchemeCount = 4;
const LyricScheme& LyricSchemeAt(int scheme);
// A stored scheme outside 0-3 is scheme 0.
int ValidLyricScheme(int scheme);

// The fonts offered for lyrics: the installed families whose names begin neither with "@"
// (vertical fonts) nor with an ASCII capital. Where that leaves none (the installed families all
// carry Latin names), the families that can write Simplified Chinese are offered instead.
QStringList LyricFontFamilies(const QStringList& installed, const QStringList& chinese);
// The same over the fonts of this machine.
QStringList InstalledLyricFontFamilies();

class QPainter;
// Draws a lyric line the way the desktop lyrics show it: bold letters (`font`) outlined, filled
// with the unsung gradient of `scheme`, and the sung gradient over the first `sweep` pixels
// (none when `sweep` is 0). `at` is the top left of the text.
void DrawLyricLine(QPainter& painter, const QPointF& at, const QFont& font, const QString& text, int scheme, float sweep);
// Only the sung letters of that line (no outline), for a layer drawn over the unsung one.
void DrawSungLetters(QPainter& painter, const QPointF& at, const QFont& font, const QString& text, int scheme);
