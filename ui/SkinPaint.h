#pragma once
#include <QMargins>
#include <QRect>
#include <QString>

class CSkin;
class QPainter;
class QPixmap;

// Draws `source` of `pixmap` into `target` as a nine-part frame: the corners keep their size,
// the edges stretch along their side and the middle both ways.
void DrawNinePart(QPainter& painter, const QRect& target, const QPixmap& pixmap, const QRect& source,
                  const QMargins& borders);

// Draws frame `frame` of the skin bitmap `name` into `target`: as a nine-part frame when the
// skin gives it borders, else at its own size when it fits exactly, else scaled. False when the
// bitmap or the frame is missing (nothing is drawn).
bool DrawSkinBitmap(QPainter& painter, const QRect& target, const CSkin& skin, const QString& name, int frame = 0);
