#pragma once
#include <QByteArray>
#include <QImage>
#include <QList>
#include <QMargins>
#include <QSize>
#include <QString>
#include <QStringList>

// The generator of the default skin: the layout files, the skin file and every bitmap, drawn
// with QPainter. Everything it writes is a pure function of this code (and of the fonts for the
// few bitmaps that hold text), so the skin can be rebuilt or restyled from here.
namespace skingen {

struct Record {
    int wnd = 0;
    int id = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int align = 0;
    QString name;
    int stretch = 0;
};

// The records of the normal (screens 734 pixels tall and more) or the small layout.
QList<Record> LayoutRecords(bool small);
// The four layout files, name and text; the "win7" pair repeats the other pair.
QList<QPair<QString, QByteArray>> LayoutFiles();
QByteArray LayoutXml(bool small);

// How each bitmap is cut and drawn, as the skin file says it.
struct BitmapSpec {
    QString name;
    QSize size;          // the whole file
    int frames = 1;
    bool nineGrid = false;
    QMargins margins;
    bool tint = true;
};
QList<BitmapSpec> BitmapSpecs();
QImage DrawBitmap(const QString& name); // opaque RGB, magenta where nothing is drawn

// "ordel.skin": font, the 31 colours, the bitmap table and the style of the standard controls.
QByteArray SkinFile();

// Writes everything into `dir`; false with a message on the first failure.
bool WriteSkin(const QString& dir, QString* error);

} // namespace skingen
