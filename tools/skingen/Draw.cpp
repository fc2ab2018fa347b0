// The bitmaps of the default skin. Each is drawn antialiased on a transparent canvas and then
// laid onto the colour it will sit on in the window (the header's gradient row, the play bar's
// white, a pane's grey), because the program only knows one transparent colour: magenta.
// Pixels nothing touched become magenta; every other pixel is opaque.
#include "tools/skingen/SkinGen.h"

#include "tools/skingen/Theme.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <functional>

namespace skingen {
namespace {

using namespace tone;

constexpr QRgb kMagenta = 0xFF00FF;

// What a bitmap is laid onto.
struct Backdrop {
    enum Kind { kSolid, kHeader, kMiniHeader } kind = kSolid;
    QColor color = kWhite;
    int y0 = 0; // the bitmap's top row in the header
};
Backdrop Solid(const QColor& c) { return {Backdrop::kSolid, c, 0}; }
Backdrop Header(int y0) { return {Backdrop::kHeader, {}, y0}; }
Backdrop MiniHeader(int y0) { return {Backdrop::kMiniHeader, {}, y0}; }

QColor BackdropAt(const Backdrop& b, int y)
{
    switch (b.kind) {
    case Backdrop::kHeader: return HeaderColor(b.y0 + y, kHeaderHeight);
    case Backdrop::kMiniHeader: return HeaderColor(b.y0 + y, kMiniHeaderHeight);
    default: return b.color;
    }
}

QImage Canvas(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// Lays `canvas` onto the backdrop; untouched pixels become magenta.
QImage Finish(const QImage& canvas, const Backdrop& backdrop)
{
    QImage out(canvas.size(), QImage::Format_RGB32);
    for (int y = 0; y < canvas.height(); ++y) {
        const QColor bg = BackdropAt(backdrop, y);
        const auto* src = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < canvas.width(); ++x) {
            const QRgb px = src[x]; // premultiplied
            const int a = qAlpha(px);
            if (a == 0) {
                dst[x] = 0xFF000000 | kMagenta;
                continue;
            }
            auto ch = [&](int s, int b) { return std::clamp(s + (b * (255 - a) + 127) / 255, 0, 255); };
            QRgb c = qRgb(ch(qRed(px), bg.red()), ch(qGreen(px), bg.green()), ch(qBlue(px), bg.blue()));
            if ((c & 0xFFFFFF) == kMagenta) c = qRgb(254, 0, 255); // never the transparent colour
            dst[x] = c;
        }
    }
    return out;
}

// An opaque canvas (backgrounds): nothing to lay onto.
QImage Opaque(const QImage& canvas) { return canvas.convertToFormat(QImage::Format_RGB32); }

QPen Stroke(const QColor& c, double width)
{
    return QPen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QFont Font(int pixels, bool bold = false, const char* family = "Noto Sans CJK SC")
{
    QFont f(QString::fromLatin1(family));
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setStyleStrategy(QFont::PreferAntialias);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

// Runs `draw` with a 24-unit design box mapped onto `box`.
void InBox(QPainter& p, const QRectF& box, const std::function<void()>& draw, double units = 24.0)
{
    p.save();
    p.translate(box.topLeft());
    p.scale(box.width() / units, box.height() / units);
    draw();
    p.restore();
}

QRectF Centred(const QRectF& r, double size)
{
    return QRectF(r.center().x() - size / 2, r.center().y() - size / 2, size, size);
}

// ---- icons, in 24 design units, stroked or filled with `c` ----

void IconClose(QPainter& p, const QColor& c)
{
    p.setPen(Stroke(c, 1.7));
    p.drawLine(QPointF(7.5, 7.5), QPointF(16.5, 16.5));
    p.drawLine(QPointF(16.5, 7.5), QPointF(7.5, 16.5));
}

void IconMinimize(QPainter& p, const QColor& c)
{
    p.setPen(Stroke(c, 1.7));
    p.drawLine(QPointF(7, 12.5), QPointF(17, 12.5));
}

void IconMaximize(QPainter& p, const QColor& c)
{
    p.setPen(Stroke(c, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(7, 7, 10, 10), 1.5, 1.5);
}

void IconRestore(QPainter& p, const QColor& c)
{
    p.setPen(Stroke(c, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(6.5, 9.5, 8.5, 8.5), 1.2, 1.2);
    QPainterPath back;
    back.moveTo(9.5, 9.5);
    back.lineTo(9.5, 7.2);
    back.quadTo(9.5, 6.5, 10.2, 6.5);
    back.lineTo(16.8, 6.5);
    back.quadTo(17.5, 6.5, 17.5, 7.2);
    back.lineTo(17.5, 13.8);
    back.quadTo(17.5, 14.5, 16.8, 14.5);
    back.lineTo(15, 14.5);
    p.drawPath(back);
}

void IconPictureMode(QPainter& p, const QColor& c)
{
    p.setPen(Stroke(c, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(5, 6.5, 14, 11), 1.6, 1.6);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(11.5, 11, 5.5, 4.5), 0.9, 0.9);
}

void IconShirt(QPainter& p, const QColor& c)
{
    QPainterPath shirt;
    shirt.moveTo(9.2, 5.5);
    shirt.quadTo(12, 8.2, 14.8, 5.5);
    shirt.lineTo(19.5, 8.2);
    shirt.lineTo(17.6, 11.6);
    shirt.lineTo(16, 10.8);
    shirt.lineTo(16, 18.5);
    shirt.lineTo(8, 18.5);
    shirt.lineTo(8, 10.8);
    shirt.lineTo(6.4, 11.6);
    shirt.lineTo(4.5, 8.2);
    shirt.closeSubpath();
    p.setPen(Stroke(c, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shirt);
}

void IconGear(QPainter& p, const QColor& c)
{
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth * 4; ++i) {
        // Each tooth: up the flank, across the top, down the flank, along the root.
        const double a = (i / double(teeth * 4)) * 2 * M_PI - M_PI / 2;
        const double r = (i % 4 == 1 || i % 4 == 2) ? 8.2 : 6.4;
        const QPointF pt(12 + r * std::cos(a), 12 + r * std::sin(a));
        if (i == 0) gear.moveTo(pt);
        else gear.lineTo(pt);
    }
    gear.closeSubpath();
    p.setPen(Stroke(c, 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawPath(gear);
    p.drawEllipse(QPointF(12, 12), 2.6, 2.6);
}

void IconSearch(QPainter& p, const QColor& c)
{
    p.setPen(Stroke(c, 1.8));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(10.5, 10.5), 5.2, 5.2);
    p.drawLine(QPointF(14.4, 14.4), QPointF(18.5, 18.5));
}

void IconPlus(QPainter& p, const QColor& c)
{
    p.setPen(Stroke(c, 2.0));
    p.drawLine(QPointF(12, 6.5), QPointF(12, 17.5));
    p.drawLine(QPointF(6.5, 12), QPointF(17.5, 12));
}

void IconPrev(QPainter& p, const QColor& c)
{
    p.setPen(Stroke(c, 1.2));
    p.setBrush(c);
    p.drawRoundedRect(QRectF(5.8, 6.5, 2.4, 11), 1, 1);
    QPainterPath tri;
    tri.moveTo(18.5, 6.8);
    tri.lineTo(18.5, 17.2);
    tri.lineTo(10, 12);
    tri.closeSubpath();
    p.drawPath(tri);
}

void IconNext(QPainter& p, const QColor& c)
{
    p.save();
    p.translate(24, 0);
    p.scale(-1, 1);
    IconPrev(p, c);
    p.restore();
}

void IconPlay(QPainter& p, const QColor& c)
{
    QPainterPath tri;
    tri.moveTo(9.3, 6.6);
    tri.lineTo(9.3, 17.4);
    tri.lineTo(18, 12);
    tri.closeSubpath();
    p.setPen(Stroke(c, 1.6));
    p.setBrush(c);
    p.drawPath(tri);
}

void IconPause(QPainter& p, const QColor& c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(7.8, 6.8, 3, 10.4), 1.2, 1.2);
    p.drawRoundedRect(QRectF(13.2, 6.8, 3, 10.4), 1.2, 1.2);
}

void IconStop(QPainter& p, const QColor& c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(7.5, 7.5, 9, 9), 1.8, 1.8);
}

QPainterPath HeartPath()
{
    QPainterPath h;
    h.moveTo(12, 19.6);
    h.cubicTo(12, 19.6, 3.6, 14.6, 3.6, 9.0);
    h.cubicTo(3.6, 6.3, 5.6, 4.5, 8.0, 4.5);
    h.cubicTo(9.7, 4.5, 11.2, 5.4, 12, 6.9);
    h.cubicTo(12.8, 5.4, 14.3, 4.5, 16.0, 4.5);
    h.cubicTo(18.4, 4.5, 20.4, 6.3, 20.4, 9.0);
    h.cubicTo(20.4, 14.6, 12, 19.6, 12, 19.6);
    h.closeSubpath();
    return h;
}

QPainterPath StarPath()
{
    QPainterPath s;
    for (int i = 0; i < 10; ++i) {
        const double a = -M_PI / 2 + i * M_PI / 5;
        const double r = (i % 2) ? 4.3 : 9.6;
        const QPointF pt(12 + r * std::cos(a), 12.8 + r * std::sin(a));
        if (i == 0) s.moveTo(pt);
        else s.lineTo(pt);
    }
    s.closeSubpath();
    return s;
}

void Arrowhead(QPainter& p, const QPointF& tip, double dx, double dy)
{
    // Two strokes back from the tip, at right angles to each other.
    p.drawLine(tip, tip + QPointF(-dx + dy, -dy - dx));
    p.drawLine(tip, tip + QPointF(-dx - dy, -dy + dx));
}

void IconLoop(QPainter& p, const QColor& c)
{
    p.setPen(Stroke(c, 1.6));
    p.setBrush(Qt::NoBrush);
    QPainterPath top;
    top.moveTo(5, 13);
    top.lineTo(5, 10.5);
    top.quadTo(5, 8, 7.5, 8);
    top.lineTo(18.5, 8);
    p.drawPath(top);
    Arrowhead(p, QPointF(18.5, 8), 2.6, 0);
    QPainterPath bottom;
    bottom.moveTo(19, 11);
    bottom.lineTo(19, 13.5);
    bottom.quadTo(19, 16, 16.5, 16);
    bottom.lineTo(5.5, 16);
    p.drawPath(bottom);
    Arrowhead(p, QPointF(5.5, 16), -2.6, 0);
}

void IconSingle(QPainter& p, const QColor& c)
{
    IconLoop(p, c);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(11.1, 9.9, 1.8, 4.4), 0.6, 0.6);
}

void IconRandom(QPainter& p, const QColor& c)
{
    p.setPen(Stroke(c, 1.6));
    p.setBrush(Qt::NoBrush);
    QPainterPath a;
    a.moveTo(4.5, 8);
    a.lineTo(7.5, 8);
    a.cubicTo(12, 8, 12, 16, 16.5, 16);
    a.lineTo(19, 16);
    p.drawPath(a);
    Arrowhead(p, QPointF(19, 16), 2.4, 0);
    QPainterPath b;
    b.moveTo(4.5, 16);
    b.lineTo(7.5, 16);
    b.cubicTo(12, 16, 12, 8, 16.5, 8);
    b.lineTo(19, 8);
    p.drawPath(b);
    Arrowhead(p, QPointF(19, 8), 2.4, 0);
}

void IconSpeaker(QPainter& p, const QColor& c, int waves)
{
    QPainterPath s;
    s.moveTo(3.5, 9.5);
    s.lineTo(7, 9.5);
    s.lineTo(11.5, 5.5);
    s.lineTo(11.5, 18.5);
    s.lineTo(7, 14.5);
    s.lineTo(3.5, 14.5);
    s.closeSubpath();
    p.setPen(Stroke(c, 1.2));
    p.setBrush(c);
    p.drawPath(s);
    p.setBrush(Qt::NoBrush);
    p.setPen(Stroke(c, 1.6));
    for (int i = 0; i < waves; ++i) {
        const double r = 3.8 + i * 3.4;
        p.drawArc(QRectF(11.5 - r, 12 - r, 2 * r, 2 * r), -45 * 16, 90 * 16);
    }
}

void IconLocate(QPainter& p, const QColor& c)
{
    p.setPen(Stroke(c, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(12, 12), 6, 6);
    p.drawLine(QPointF(12, 3.5), QPointF(12, 7));
    p.drawLine(QPointF(12, 17), QPointF(12, 20.5));
    p.drawLine(QPointF(3.5, 12), QPointF(7, 12));
    p.drawLine(QPointF(17, 12), QPointF(20.5, 12));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(12, 12), 2, 2);
}

void IconExpand(QPainter& p, const QColor& c)
{
    p.setPen(Stroke(c, 1.6));
    p.drawLine(QPointF(13.5, 5.5), QPointF(18.5, 5.5));
    p.drawLine(QPointF(18.5, 5.5), QPointF(18.5, 10.5));
    p.drawLine(QPointF(18.5, 5.5), QPointF(13, 11));
    p.drawLine(QPointF(10.5, 18.5), QPointF(5.5, 18.5));
    p.drawLine(QPointF(5.5, 18.5), QPointF(5.5, 13.5));
    p.drawLine(QPointF(5.5, 18.5), QPointF(11, 13));
}

void IconNote(QPainter& p, const QColor& c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.save();
    p.translate(8.6, 17.2);
    p.rotate(-22);
    p.drawEllipse(QPointF(0, 0), 3.5, 2.7);
    p.restore();
    p.drawRect(QRectF(11, 4.5, 1.9, 12.6));
    QPainterPath flag;
    flag.moveTo(12.9, 4.5);
    flag.cubicTo(13.5, 7.5, 18.5, 7.8, 17.6, 12.5);
    flag.cubicTo(17.2, 10.2, 14.8, 9.4, 12.9, 9.2);
    flag.closeSubpath();
    p.drawPath(flag);
}

void IconUser(QPainter& p, const QColor& c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(12, 9.2), 3.7, 3.7);
    QPainterPath body;
    body.moveTo(5, 19.5);
    body.cubicTo(5.5, 15.6, 8.6, 14.2, 12, 14.2);
    body.cubicTo(15.4, 14.2, 18.5, 15.6, 19, 19.5);
    body.closeSubpath();
    p.drawPath(body);
}

void IconEnvelope(QPainter& p, const QColor& c, bool filled)
{
    p.setPen(Stroke(c, 1.5));
    p.setBrush(filled ? QBrush(c) : QBrush(Qt::NoBrush));
    p.drawRoundedRect(QRectF(4, 6.5, 16, 11.5), 1.6, 1.6);
    p.setPen(Stroke(filled ? kWhite : c, 1.5));
    p.drawPolyline(QPolygonF({QPointF(5, 7.8), QPointF(12, 12.8), QPointF(19, 7.8)}));
}

void IconBell(QPainter& p, const QColor& c)
{
    QPainterPath b;
    b.moveTo(6, 16.5);
    b.lineTo(7.3, 15);
    b.lineTo(7.3, 10.5);
    b.cubicTo(7.3, 7.6, 9.4, 5.6, 12, 5.6);
    b.cubicTo(14.6, 5.6, 16.7, 7.6, 16.7, 10.5);
    b.lineTo(16.7, 15);
    b.lineTo(18, 16.5);
    b.closeSubpath();
    p.setPen(Stroke(c, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(b);
    p.drawLine(QPointF(10.5, 19), QPointF(13.5, 19));
}

void IconClock(QPainter& p, const QColor& c)
{
    p.setPen(Stroke(c, 1.7));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(12, 12), 8, 8);
    p.drawLine(QPointF(12, 12), QPointF(12, 7.5));
    p.drawLine(QPointF(12, 12), QPointF(15.5, 14));
}

void IconBars(QPainter& p, const QColor& c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(5, 12.5, 3.2, 6.5), 0.8, 0.8);
    p.drawRoundedRect(QRectF(10.4, 8, 3.2, 11), 0.8, 0.8);
    p.drawRoundedRect(QRectF(15.8, 4.5, 3.2, 14.5), 0.8, 0.8);
}

void IconDownload(QPainter& p, const QColor& c)
{
    p.setPen(Stroke(c, 1.8));
    p.drawLine(QPointF(12, 4.5), QPointF(12, 14.5));
    p.drawPolyline(QPolygonF({QPointF(7.8, 10.5), QPointF(12, 14.7), QPointF(16.2, 10.5)}));
    p.drawLine(QPointF(5.5, 19), QPointF(18.5, 19));
}

void IconList(QPainter& p, const QColor& c)
{
    p.setPen(Stroke(c, 1.8));
    p.drawLine(QPointF(9, 7), QPointF(19, 7));
    p.drawLine(QPointF(9, 12), QPointF(19, 12));
    p.drawLine(QPointF(9, 17), QPointF(15.5, 17));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    for (double y : {7.0, 12.0, 17.0}) p.drawEllipse(QPointF(5.2, y), 1.3, 1.3);
}

void IconHeadphones(QPainter& p, const QColor& c)
{
    p.setPen(Stroke(c, 1.7));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4.8, 5, 14.4, 15), 0, 180 * 16);
    p.drawLine(QPointF(4.8, 12.5), QPointF(4.8, 15));
    p.drawLine(QPointF(19.2, 12.5), QPointF(19.2, 15));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(4, 13, 4.2, 6.8), 1.4, 1.4);
    p.drawRoundedRect(QRectF(15.8, 13, 4.2, 6.8), 1.4, 1.4);
}

void IconCloud(QPainter& p, const QColor& c)
{
    QPainterPath a, b, d, r;
    a.addEllipse(QRectF(3.5, 10, 8, 8));
    b.addEllipse(QRectF(7.5, 5.5, 10, 10));
    d.addEllipse(QRectF(13, 9, 8, 8.5));
    r.addRoundedRect(QRectF(7.5, 12.5, 9.5, 5.5), 1, 1);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(a.united(b).united(d).united(r));
}

void IconHome(QPainter& p, const QColor& c)
{
    p.setPen(Stroke(c, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(4, 11.5), QPointF(12, 4.5), QPointF(20, 11.5)}));
    p.drawPolyline(QPolygonF({QPointF(6.5, 10), QPointF(6.5, 19.5), QPointF(17.5, 19.5), QPointF(17.5, 10)}));
    p.drawPolyline(QPolygonF({QPointF(10.2, 19.5), QPointF(10.2, 14.5), QPointF(13.8, 14.5), QPointF(13.8, 19.5)}));
}

void IconFolder(QPainter& p, const QColor& c)
{
    QPainterPath f;
    f.moveTo(4, 7);
    f.lineTo(9.5, 7);
    f.lineTo(11.5, 9);
    f.lineTo(20, 9);
    f.lineTo(20, 18);
    f.lineTo(4, 18);
    f.closeSubpath();
    p.setPen(Stroke(c, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawPath(f);
}

void IconChevron(QPainter& p, const QColor& c, bool down)
{
    p.setPen(Stroke(c, 1.8));
    if (down) p.drawPolyline(QPolygonF({QPointF(7.5, 10), QPointF(12, 14.5), QPointF(16.5, 10)}));
    else p.drawPolyline(QPolygonF({QPointF(10, 7.5), QPointF(14.5, 12), QPointF(10, 16.5)}));
}

void IconCheck(QPainter& p, const QColor& c, double width = 2.0)
{
    p.setPen(Stroke(c, width));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(6.8, 12.4), QPointF(10.4, 16), QPointF(17.4, 8.6)}));
}

// ---- the bitmap table ----

struct Entry;
using DrawFn = std::function<QImage(const Entry&)>;
struct Entry {
    QString name;
    QSize cell;
    int frames = 1;
    bool nineGrid = false;
    QMargins margins;
    bool tint = true;
    DrawFn draw;
};

using FrameFn = std::function<void(QPainter&, const QRectF& cell, int state, bool checked)>;

// Draws every frame of `e` (normal, hover, pressed, disabled; then checked) onto `backdrop`.
QImage Frames(const Entry& e, const Backdrop& backdrop, const FrameFn& frame)
{
    QImage canvas = Canvas(e.cell.width() * e.frames, e.cell.height());
    for (int i = 0; i < e.frames; ++i) {
        QPainter p(&canvas);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        const QRectF cell(i * e.cell.width(), 0, e.cell.width(), e.cell.height());
        p.setClipRect(cell);
        frame(p, cell, i % 4, i >= 4);
    }
    return Finish(canvas, backdrop);
}

using IconFn = std::function<void(QPainter&, const QColor&)>;

// A round-hover button of the header: a white icon, a soft white disc under the mouse.
DrawFn HeaderButton(IconFn icon, IconFn checkedIcon = {}, bool mini = false, int y0 = 16)
{
    return [=](const Entry& e) {
        return Frames(e, mini ? MiniHeader(y0) : Header(y0), [&](QPainter& p, const QRectF& r, int state, bool checked) {
            if (state == 1 || state == 2) {
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(255, 255, 255, state == 1 ? 46 : 76));
                p.drawEllipse(Centred(r, r.width()));
            }
            QColor c = kWhite;
            if (state == 0) c.setAlpha(235);
            if (state == 3) c.setAlpha(100);
            InBox(p, Centred(r, 24), [&] { (checked && checkedIcon ? checkedIcon : icon)(p, c); });
        });
    };
}

// A button of the play bar: a grey icon that turns to the accent, a pale disc under the mouse;
// checked, the icon is in the accent on an accent-pale disc.
DrawFn BarButton(IconFn icon, double iconSize, QColor back = kWhite, IconFn checkedIcon = {})
{
    return [=](const Entry& e) {
        return Frames(e, Solid(back), [&](QPainter& p, const QRectF& r, int state, bool checked) {
            const double disc = std::min(r.width(), r.height());
            p.setPen(Qt::NoPen);
            if (checked && state != 3) {
                p.setBrush(state == 0 ? kAccentPale : kAccentLight);
                p.drawEllipse(Centred(r, disc));
            } else if (state == 1 || state == 2) {
                p.setBrush(state == 1 ? kHover : kLine);
                p.drawEllipse(Centred(r, disc));
            }
            QColor c = kIcon;
            if (checked) c = state == 2 ? kAccentDark : kAccent;
            else if (state == 1) c = kAccent;
            else if (state == 2) c = kAccentDark;
            else if (state == 3) c = kMuted;
            InBox(p, Centred(r, iconSize), [&] { (checked && checkedIcon ? checkedIcon : icon)(p, c); });
        });
    };
}

// The round play button: white play (or, checked, pause) on an accent disc.
DrawFn PlayButton(double iconSize)
{
    return [=](const Entry& e) {
        return Frames(e, Solid(kWhite), [&](QPainter& p, const QRectF& r, int state, bool checked) {
            const QColor disc[4] = {kAccent, kAccentDark, kAccentDeep, kMuted};
            const QRectF d = Centred(r, r.width() - 2);
            // A soft ring under the disc lifts it off the bar.
            QRadialGradient glow(d.center(), d.width() / 2 + 1);
            glow.setColorAt(0.86, QColor(disc[state].red(), disc[state].green(), disc[state].blue(), 60));
            glow.setColorAt(1.0, QColor(disc[state].red(), disc[state].green(), disc[state].blue(), 0));
            p.setPen(Qt::NoPen);
            p.setBrush(glow);
            p.drawEllipse(Centred(r, r.width()));
            QLinearGradient fill(d.topLeft(), d.bottomLeft());
            fill.setColorAt(0, disc[state].lighter(108));
            fill.setColorAt(1, disc[state]);
            p.setBrush(fill);
            p.drawEllipse(Centred(r, r.width() - 4));
            InBox(p, Centred(r, iconSize), [&] { (checked ? IconPause : IconPlay)(p, kWhite); });
        });
    };
}

// A slider part: a 4-pixel rounded track across the middle of the bitmap.
DrawFn Track(QColor color, QColor back = kWhite)
{
    return [=](const Entry& e) {
        QImage canvas = Canvas(e.cell.width(), e.cell.height());
        QPainter p(&canvas);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawRoundedRect(QRectF(1, e.cell.height() / 2.0 - 2, e.cell.width() - 2, 4), 2, 2);
        p.end();
        return Finish(canvas, Solid(back));
    };
}

DrawFn Thumb()
{
    return [=](const Entry& e) {
        return Frames(e, Solid(kWhite), [&](QPainter& p, const QRectF& r, int state, bool) {
            const double size = r.width();
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0, 0, 0, 22));
            p.drawEllipse(Centred(r.translated(0, 0.6), size));
            p.setBrush(state == 2 ? kAccent : kWhite);
            p.setPen(QPen(state == 0 ? kAccent : kAccentDark, 2.0));
            p.drawEllipse(Centred(r, size - 3));
            if (state == 2) {
                p.setPen(Qt::NoPen);
                p.setBrush(kWhite);
                p.drawEllipse(Centred(r, size / 4));
            }
        });
    };
}

// A background of one colour with optional one-pixel lines on its sides.
DrawFn Panel(QColor fill, QColor line, bool left, bool right, bool top, bool bottom)
{
    return [=](const Entry& e) {
        QImage canvas = Canvas(e.cell.width(), e.cell.height());
        canvas.fill(fill);
        QPainter p(&canvas);
        p.setPen(line);
        const int w = e.cell.width() - 1, h = e.cell.height() - 1;
        if (left) p.drawLine(0, 0, 0, h);
        if (right) p.drawLine(w, 0, w, h);
        if (top) p.drawLine(0, 0, w, 0);
        if (bottom) p.drawLine(0, h, w, h);
        p.end();
        return Opaque(canvas);
    };
}

// A frame with a header gradient `header` rows tall, a body and a bottom band.
QImage WindowBack(const Entry& e, int header, QColor body, int bottom, QColor bottomFill)
{
    const int w = e.cell.width(), h = e.cell.height();
    QImage canvas = Canvas(w, h);
    QPainter p(&canvas);
    for (int y = 0; y < h; ++y) {
        QColor c = body;
        if (y < header) c = HeaderColor(y, header);
        else if (y >= h - bottom) c = bottomFill;
        p.setPen(c);
        p.drawLine(0, y, w - 1, y);
    }
    if (bottom > 0) {
        p.setPen(kLine);
        p.drawLine(0, h - bottom, w - 1, h - bottom);
    }
    // The window's own edge: a darker accent along the header, grey below it.
    p.setPen(kAccentDark);
    p.drawLine(0, 0, w - 1, 0);
    p.drawLine(0, 0, 0, header - 1);
    p.drawLine(w - 1, 0, w - 1, header - 1);
    p.setPen(kBorder);
    p.drawLine(0, header, 0, h - 1);
    p.drawLine(w - 1, header, w - 1, h - 1);
    p.drawLine(0, h - 1, w - 1, h - 1);
    p.end();
    return Opaque(canvas);
}

// The placeholder cover: a rounded accent card with a large note and rings like a record's.
QImage Cover(const Entry& e, QColor back)
{
    const double s = e.cell.width();
    QImage canvas = Canvas(e.cell.width(), e.cell.height());
    QPainter p(&canvas);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, s, s);
    g.setColorAt(0, QColor(92, 184, 217));
    g.setColorAt(1, kAccentDeep);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0, 0, s, s), s * 0.06, s * 0.06);
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i <= 4; ++i) {
        p.setPen(QPen(QColor(255, 255, 255, 20 + i * 4), 1.2));
        const double r = s * (0.16 + 0.09 * i);
        p.drawEllipse(QPointF(s * 0.5, s * 0.47), r, r);
    }
    InBox(p, QRectF(s * 0.28, s * 0.22, s * 0.44, s * 0.44), [&] { IconNote(p, QColor(255, 255, 255, 235)); });
    p.setPen(QColor(255, 255, 255, 190));
    p.setFont(Font(int(s * 0.075), true, "DejaVu Sans"));
    p.drawText(QRectF(0, s * 0.76, s, s * 0.12), Qt::AlignCenter, QStringLiteral("Ordel"));
    p.end();
    return Finish(canvas, Solid(back));
}

QImage Digits(const Entry& e)
{
    QImage canvas = Canvas(e.cell.width() * e.frames, e.cell.height());
    QPainter p(&canvas);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(Font(12, false, "DejaVu Sans"));
    p.setPen(kTextSoft);
    const QString cells = QStringLiteral("0123456789:-");
    for (int i = 0; i < e.frames; ++i)
        p.drawText(QRectF(i * e.cell.width(), -1, e.cell.width(), e.cell.height() + 1), Qt::AlignCenter, cells.mid(i, 1));
    p.end();
    return Finish(canvas, Solid(kWhite));
}

QImage Separator(const Entry& e)
{
    QImage canvas = Canvas(e.cell.width(), e.cell.height());
    const int h = e.cell.height();
    for (int y = 0; y < h; ++y) {
        const int a = int(std::lround(255 * std::sin(M_PI * (y + 0.5) / h)));
        canvas.setPixel(0, y, qPremultiply(qRgba(kLine.red(), kLine.green(), kLine.blue(), a)));
    }
    return Finish(canvas, Solid(kWhite));
}

QImage Brand(const Entry& e)
{
    QImage canvas = Canvas(e.cell.width(), e.cell.height());
    QPainter p(&canvas);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kWhite);
    p.drawRoundedRect(QRectF(2, 2, 28, 28), 8, 8);
    InBox(p, QRectF(4, 4, 24, 24), [&] { IconNote(p, kAccent); });
    p.setFont(Font(20, true, "DejaVu Sans"));
    p.setPen(kWhite);
    p.drawText(QRectF(38, 0, e.cell.width() - 38, e.cell.height()), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Ordel"));
    p.end();
    return Finish(canvas, Header(14));
}

QImage Tab(const Entry& e)
{
    return Frames(e, Header(14), [&](QPainter& p, const QRectF& r, int state, bool checked) {
        p.setPen(Qt::NoPen);
        if (checked) {
            p.setBrush(kWhite);
            p.drawRoundedRect(QRectF(r.center().x() - 12, r.bottom() - 4, 24, 3), 1.5, 1.5);
        } else if (state == 1 || state == 2) {
            p.setBrush(QColor(255, 255, 255, state == 1 ? 90 : 140));
            p.drawRoundedRect(QRectF(r.center().x() - 8, r.bottom() - 4, 16, 3), 1.5, 1.5);
        }
    });
}

QImage SearchField(const Entry& e)
{
    QImage canvas = Canvas(e.cell.width(), e.cell.height());
    QPainter p(&canvas);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kWhite);
    const double h = e.cell.height();
    QPainterPath pill;
    pill.addRoundedRect(QRectF(0, 0, e.cell.width() + h, h), h / 2, h / 2);
    p.drawPath(pill);
    p.end();
    return Finish(canvas, Header(15));
}

QImage SearchButton(const Entry& e)
{
    return Frames(e, Header(15), [&](QPainter& p, const QRectF& r, int state, bool) {
        p.setPen(Qt::NoPen);
        p.setBrush(kWhite);
        QPainterPath pill;
        pill.addRoundedRect(QRectF(r.left() - r.width(), r.top(), 2 * r.width(), r.height()), r.height() / 2, r.height() / 2);
        p.drawPath(pill);
        const QColor c[4] = {kTextSoft, kAccent, kAccentDark, kMuted};
        InBox(p, Centred(r.adjusted(-2, 0, -2, 0), 20), [&] { IconSearch(p, c[state]); });
    });
}

QImage UserPic(const Entry& e)
{
    QImage canvas = Canvas(e.cell.width(), e.cell.height());
    QPainter p(&canvas);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(0, 0, e.cell.width(), e.cell.height());
    p.setPen(QPen(QColor(255, 255, 255, 210), 1.5));
    p.setBrush(QColor(255, 255, 255, 60));
    p.drawEllipse(Centred(r, r.width() - 2));
    QPainterPath clip;
    clip.addEllipse(Centred(r, r.width() - 3.5));
    p.setClipPath(clip);
    InBox(p, r.adjusted(2, 3, -2, 3), [&] { IconUser(p, kWhite); });
    p.end();
    return Finish(canvas, Header(14));
}

QImage AddButton(const Entry& e)
{
    return Frames(e, Solid(kPanel), [&](QPainter& p, const QRectF& r, int state, bool) {
        const QColor fill[4] = {kAccent, kAccentDark, kAccentDeep, kMuted};
        p.setPen(Qt::NoPen);
        p.setBrush(fill[state]);
        p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), r.height() / 2 - 0.5, r.height() / 2 - 0.5);
        InBox(p, QRectF(r.left() + 10, r.top() + (r.height() - 18) / 2, 18, 18), [&] { IconPlus(p, kWhite); });
    });
}

QImage TreeIcons(const Entry& e)
{
    const IconFn icons[] = {
        IconNote, IconList, IconClock, IconBars, IconDownload,
        [](QPainter& p, const QColor& c) { p.setPen(Qt::NoPen); p.setBrush(c); p.drawPath(HeartPath()); },
        IconHeadphones, IconCloud, IconHome, IconFolder,
    };
    QImage canvas = Canvas(e.cell.width() * e.frames, e.cell.height());
    QPainter p(&canvas);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < e.frames; ++i) {
        const QRectF cell(i * e.cell.width(), 0, e.cell.width(), e.cell.height());
        p.setClipRect(cell);
        InBox(p, cell, [&] {
            if (i < 10) icons[i](p, kAccent);
            else IconChevron(p, kTextSoft, i == 11);
        });
    }
    p.end();
    return Finish(canvas, Solid(kPanel));
}

// A round mark in the lower right corner of a message picture: a dot, or a cross in it.
void Badge(QPainter& p, const QColor& c, bool cross)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(18, 17), cross ? 5.5 : 4, cross ? 5.5 : 4);
    if (!cross) return;
    p.setPen(Stroke(kWhite, 1.7));
    p.drawLine(QPointF(15.8, 14.8), QPointF(20.2, 19.2));
    p.drawLine(QPointF(20.2, 14.8), QPointF(15.8, 19.2));
}

// The message list's pictures: a notice not yet read and read, feedback sent, on its way and
// not delivered.
QImage MessageIcons(const Entry& e)
{
    QImage canvas = Canvas(e.cell.width() * e.frames, e.cell.height());
    QPainter p(&canvas);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < e.frames; ++i) {
        const QRectF cell(i * e.cell.width(), 0, e.cell.width(), e.cell.height());
        p.setClipRect(cell);
        InBox(p, cell, [&] {
            switch (i) {
            case 0: IconBell(p, kAccent); Badge(p, kHeart, false); break;
            case 1: IconBell(p, kMuted); break;
            case 2: IconEnvelope(p, kAccent, true); break;
            case 3: IconEnvelope(p, kMuted, false); break;
            default: IconEnvelope(p, kMuted, false); Badge(p, kHeart, true); break;
            }
        });
    }
    p.end();
    return Finish(canvas, Solid(kWhite));
}

QImage LyricButton(const Entry& e)
{
    return Frames(e, Solid(kWhite), [&](QPainter& p, const QRectF& r, int state, bool checked) {
        const QRectF box = r.adjusted(3, 3.5, -3, -3.5);
        QColor c = kIcon;
        if (state == 1) c = kAccent;
        else if (state == 2) c = kAccentDark;
        else if (state == 3) c = kMuted;
        if (checked && state != 3) {
            p.setPen(Qt::NoPen);
            p.setBrush(state == 0 ? kAccent : kAccentDark);
            p.drawRoundedRect(box, 4, 4);
            c = kWhite;
        } else {
            p.setPen(QPen(c, 1.4));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(box, 4, 4);
        }
        p.setPen(c);
        p.setFont(Font(12, true));
        p.drawText(box.translated(0, -0.5), Qt::AlignCenter, QStringLiteral("词"));
    });
}

QImage Favorite(const Entry& e)
{
    return Frames(e, Solid(kWhite), [&](QPainter& p, const QRectF& r, int state, bool checked) {
        InBox(p, r, [&] {
            if (checked || state == 2) {
                QColor c = state == 1 ? kHeart.darker(110) : kHeart;
                if (state == 3) c = kMuted;
                if (!checked) c.setAlpha(150);
                p.setPen(Qt::NoPen);
                p.setBrush(c);
                p.drawPath(HeartPath());
            } else {
                const QColor c[4] = {kIcon, kHeart, kHeart, kMuted};
                p.setPen(Stroke(c[state], 1.7));
                p.setBrush(Qt::NoBrush);
                p.drawPath(HeartPath());
            }
        });
    });
}

QImage Star(const Entry& e)
{
    return Frames(e, Solid(kWhite), [&](QPainter& p, const QRectF& r, int state, bool checked) {
        InBox(p, r, [&] {
            if (checked) {
                p.setPen(Qt::NoPen);
                p.setBrush(state == 3 ? kMuted : (state == 0 ? kAccent : kAccentDark));
                p.drawPath(StarPath());
            } else {
                const QColor c[4] = {kMuted, kAccent, kAccentDark, kLine};
                p.setPen(Stroke(c[state], 1.8));
                p.setBrush(Qt::NoBrush);
                p.drawPath(StarPath());
            }
        });
    });
}

QImage Swatch(const Entry& e, QColor color)
{
    return Frames(e, Solid(kWhite), [&](QPainter& p, const QRectF& r, int state, bool checked) {
        QColor c = color;
        if (state == 3) c.setAlpha(90);
        if (checked || state == 1) {
            p.setPen(QPen(checked ? color : kBorder, checked ? 2.0 : 1.5));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(Centred(r, 24));
        }
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(Centred(r, state == 2 ? 16 : 18));
        if (checked) InBox(p, Centred(r, 16), [&] { IconCheck(p, kWhite, 2.6); });
    });
}

// The desktop lyric schemes: unsung top and bottom colours.
const QColor kLyricTop[4] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 0}, {83, 215, 38}};
const QColor kLyricBottom[4] = {{0, 255, 204}, {255, 0, 204}, {255, 198, 0}, {12, 126, 1}};

QImage LyricScheme(const Entry& e, int scheme)
{
    return Frames(e, Solid(kBarDark), [&](QPainter& p, const QRectF& r, int state, bool checked) {
        if (checked || state == 1 || state == 2) {
            p.setPen(QPen(QColor(255, 255, 255, checked ? 230 : 110), 1.6));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(Centred(r, 21));
        }
        const QRectF d = Centred(r, 15);
        QLinearGradient g(d.topLeft(), d.bottomLeft());
        g.setColorAt(0, kLyricTop[scheme]);
        g.setColorAt(1, kLyricBottom[scheme]);
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.setOpacity(state == 3 ? 0.4 : 1.0);
        p.drawEllipse(d);
        p.setOpacity(1.0);
    });
}

QImage DarkClose(const Entry& e)
{
    return Frames(e, Solid(kBarDark), [&](QPainter& p, const QRectF& r, int state, bool) {
        if (state == 1 || state == 2) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(255, 255, 255, state == 1 ? 40 : 70));
            p.drawEllipse(Centred(r, r.width()));
        }
        InBox(p, Centred(r, 22), [&] { IconClose(p, QColor(255, 255, 255, state == 3 ? 90 : 220)); });
    });
}

QImage PanelClose(const Entry& e)
{
    return Frames(e, Solid(kSide), [&](QPainter& p, const QRectF& r, int state, bool) {
        if (state == 1 || state == 2) {
            p.setPen(Qt::NoPen);
            p.setBrush(state == 1 ? kHover : kLine);
            p.drawEllipse(Centred(r, r.width()));
        }
        const QColor c[4] = {kMuted, kIcon, kText, kLine};
        InBox(p, Centred(r, 18), [&] { IconClose(p, c[state]); });
    });
}

QImage LyricHost(const Entry& e)
{
    QImage canvas = Canvas(e.cell.width(), e.cell.height());
    QPainter p(&canvas);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kLine, 1));
    p.setBrush(kWhite);
    p.drawRoundedRect(QRectF(0.5, 0.5, e.cell.width() - 1, e.cell.height() - 1), 5, 5);
    p.end();
    return Finish(canvas, Solid(kSide));
}

QImage OrderArrows(const Entry& e, QColor color)
{
    QImage canvas = Canvas(e.cell.width() * e.frames, e.cell.height());
    QPainter p(&canvas);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    const double w = e.cell.width(), h = e.cell.height();
    p.drawPolygon(QPolygonF({QPointF(1, h - 1), QPointF(w / 2, 1), QPointF(w - 1, h - 1)}));
    p.drawPolygon(QPolygonF({QPointF(w + 1, 1), QPointF(w + w / 2, h - 1), QPointF(2 * w - 1, 1)}));
    p.end();
    return Finish(canvas, Solid(kWhite));
}

QImage OrderStars(const Entry& e, QColor color)
{
    QImage canvas = Canvas(e.cell.width() * e.frames, e.cell.height());
    QPainter p(&canvas);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 2; ++i) {
        p.setBrush(i == 0 ? color : kLine);
        InBox(p, QRectF(i * e.cell.width(), 0, e.cell.width(), e.cell.height()), [&] { p.drawPath(StarPath()); });
    }
    p.end();
    return Finish(canvas, Solid(kWhite));
}

QImage Welcome(const Entry& e)
{
    const int w = e.cell.width(), h = e.cell.height();
    QImage canvas = Canvas(w, h);
    QPainter p(&canvas);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient g(0, 0, w, h);
    g.setColorAt(0, QColor(72, 173, 210));
    g.setColorAt(1, kAccentDark);
    p.fillRect(canvas.rect(), g);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 16));
    p.drawEllipse(QPointF(w - 60, -10), 120, 120);
    p.drawEllipse(QPointF(w - 10, h + 20), 80, 80);
    p.setBrush(QColor(255, 255, 255, 40));
    p.drawRoundedRect(QRectF(34, 34, 72, 72), 18, 18);
    InBox(p, QRectF(40, 40, 60, 60), [&] { IconNote(p, kWhite); });
    p.setPen(kWhite);
    p.setFont(Font(26, true));
    p.drawText(QRectF(128, 30, w - 140, 44), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("欢迎使用Ordel"));
    p.setPen(QColor(255, 255, 255, 215));
    p.setFont(Font(14));
    p.drawText(QRectF(128, 76, w - 140, 30), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("添加您的音乐，开始聆听"));
    p.end();
    return Opaque(canvas);
}

QImage UpdateTips(const Entry& e)
{
    const int w = e.cell.width(), h = e.cell.height();
    QImage canvas = Canvas(w, h);
    canvas.fill(kWhite);
    QPainter p(&canvas);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kAccentPale);
    p.drawEllipse(QPointF(56, h / 2.0), 34, 34);
    p.setBrush(kAccent);
    p.drawEllipse(QPointF(56, h / 2.0), 25, 25);
    InBox(p, QRectF(36, h / 2.0 - 20, 40, 40), [&] { IconCheck(p, kWhite, 2.4); });
    p.setPen(kText);
    p.setFont(Font(20, true));
    p.drawText(QRectF(108, 26, w - 116, 34), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("升级成功"));
    p.setPen(kTextSoft);
    p.setFont(Font(13));
    p.drawText(QRectF(108, 62, w - 116, 28), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Ordel 已更新到最新版本，祝您聆听愉快"));
    p.end();
    return Opaque(canvas);
}

QMargins M(int l, int t, int r, int b) { return QMargins(l, t, r, b); }

const QList<Entry>& Table()
{
    static const QList<Entry> table = [] {
        QList<Entry> t;
        auto add = [&t](const char* name, QSize cell, int frames, DrawFn draw) {
            t.append(Entry{QString::fromLatin1(name), cell, frames, false, {}, true, std::move(draw)});
            return &t.last();
        };
        auto nine = [](Entry* e, QMargins m) { e->nineGrid = true; e->margins = m; return e; };

        // Main window.
        nine(add("back.bmp", {40, kHeaderHeight + 4 + kBarHeight}, 1,
                 [](const Entry& e) { return WindowBack(e, kHeaderHeight, kBody, kBarHeight, kWhite); }),
             M(1, kHeaderHeight, 1, kBarHeight));
        add("title.bmp", {116, 32}, 1, Brand);
        add("tab.bmp", {kTabWidth, 32}, 8, Tab);
        nine(add("search.bmp", {40, 30}, 1, SearchField), M(15, 0, 1, 0));
        add("btn_search.bmp", {30, 30}, 4, SearchButton);
        add("userpic.bmp", {32, 32}, 1, UserPic);
        add("btn_color.bmp", {28, 28}, 4, HeaderButton(IconShirt));
        add("settingicon.bmp", {28, 28}, 4, HeaderButton(IconGear));
        add("btn_mini.bmp", {28, 28}, 4, HeaderButton(IconPictureMode));
        add("btn_min.bmp", {28, 28}, 4, HeaderButton(IconMinimize));
        add("btn_max.bmp", {28, 28}, 8, HeaderButton(IconMaximize, IconRestore));
        add("btn_close.bmp", {28, 28}, 4, HeaderButton(IconClose));
        nine(add("treeback.bmp", {16, 16}, 1, Panel(kPanel, kLine, false, true, false, false)), M(1, 1, 1, 1));
        nine(add("sideback.bmp", {16, 16}, 1, Panel(kSide, kLine, true, false, false, false)), M(1, 1, 1, 1));
        nine(add("btn_add.bmp", {60, 34}, 4, AddButton), M(34, 0, 17, 0));
        add("treeimage.bmp", {16, 16}, 12, TreeIcons);
        add("btn_panelclose.bmp", {18, 18}, 4, PanelClose);
        add("logo.bmp", {kCoverSize, kCoverSize}, 1, [](const Entry& e) { return Cover(e, kSide); });
        nine(add("lrcback.bmp", {16, 16}, 1, LyricHost), M(5, 5, 5, 5));
        add("btn_prev.bmp", {36, 36}, 4, BarButton(IconPrev, 22));
        add("btn_next.bmp", {36, 36}, 4, BarButton(IconNext, 22));
        add("btn_play.bmp", {48, 48}, 8, PlayButton(24));
        add("btn_stop.bmp", {28, 28}, 4, BarButton(IconStop, 20));
        add("slider_side.bmp", {2, 40}, 1, Separator);
        add("btn_favorite.bmp", {20, 20}, 8, Favorite)->tint = false;
        add("btn_star.bmp", {16, 16}, 8, Star);
        add("num.bmp", {7, 14}, 12, Digits);
        nine(add("progress_back.bmp", {20, 18}, 1, Track(kTrack)), M(9, 0, 9, 0));
        nine(add("progress_active.bmp", {20, 18}, 1, Track(kAccent)), M(9, 0, 9, 0));
        nine(add("progress_buffer.bmp", {20, 18}, 1, Track(kBuffer)), M(9, 0, 9, 0));
        add("progress_thumb.bmp", {14, 14}, 3, Thumb());
        add("btn_loop.bmp", {24, 24}, 8, BarButton(IconLoop, 20));
        add("btn_random.bmp", {24, 24}, 8, BarButton(IconRandom, 20));
        add("btn_single.bmp", {24, 24}, 8, BarButton(IconSingle, 20));
        add("btn_voldown.bmp", {18, 18}, 4, BarButton([](QPainter& p, const QColor& c) { IconSpeaker(p, c, 1); }, 18));
        add("btn_volup.bmp", {18, 18}, 4, BarButton([](QPainter& p, const QColor& c) { IconSpeaker(p, c, 2); }, 18));
        nine(add("volume_back.bmp", {20, 18}, 1, Track(kTrack)), M(9, 0, 9, 0));
        nine(add("volume_active.bmp", {20, 18}, 1, Track(kAccent)), M(9, 0, 9, 0));
        add("volume_thumb.bmp", {12, 12}, 3, Thumb());
        add("btn_locate.bmp", {24, 24}, 4, BarButton(IconLocate, 20));
        add("btn_lyric.bmp", {30, 24}, 8, LyricButton);

        // Picture-view window.
        nine(add("miniback.bmp", {40, kMiniHeaderHeight + 20}, 1,
                 [](const Entry& e) { return WindowBack(e, kMiniHeaderHeight, kWhite, 0, kWhite); }),
             M(1, kMiniHeaderHeight, 1, 1));
        add("mini_restore.bmp", {24, 24}, 4, HeaderButton(IconExpand, {}, true, 8));
        add("mini_close.bmp", {24, 24}, 4, HeaderButton(IconClose, {}, true, 8));
        add("viewmodepic.bmp", {kMiniPictureSize, kMiniPictureSize}, 1, [](const Entry& e) { return Cover(e, kWhite); });
        nine(add("miniprogress_back.bmp", {20, 14}, 1, Track(kTrack)), M(7, 0, 7, 0));
        nine(add("miniprogress_active.bmp", {20, 14}, 1, Track(kAccent)), M(7, 0, 7, 0));
        nine(add("miniprogress_buffer.bmp", {20, 14}, 1, Track(kBuffer)), M(7, 0, 7, 0));
        add("miniprogress_thumb.bmp", {10, 10}, 3, Thumb());
        add("mini_prev.bmp", {32, 32}, 4, BarButton(IconPrev, 20));
        add("mini_next.bmp", {32, 32}, 4, BarButton(IconNext, 20));
        add("mini_play.bmp", {40, 40}, 8, PlayButton(21));

        // Colour popup: the swatches show the schemes themselves, so they are never tinted.
        nine(add("colorpanel.bmp", {16, 16}, 1, Panel(kWhite, kBorder, true, true, true, true)), M(1, 1, 1, 1));
        add("color_blue.bmp", {28, 28}, 8, [](const Entry& e) { return Swatch(e, QColor(51, 151, 190)); })->tint = false;
        add("color_orange.bmp", {28, 28}, 8, [](const Entry& e) { return Swatch(e, QColor(187, 79, 0)); })->tint = false;
        add("color_purple.bmp", {28, 28}, 8, [](const Entry& e) { return Swatch(e, QColor(169, 51, 190)); })->tint = false;

        // Desktop lyric bar: dark and neutral over any desktop, untinted.
        nine(add("lrcbarback.bmp", {16, 16}, 1, Panel(kBarDark, kBarDarkLine, true, true, true, true)), M(1, 1, 1, 1))->tint = false;
        for (int i = 0; i < 4; ++i) {
            add(QStringLiteral("lrcscheme%1.bmp").arg(i).toLatin1().constData(), {24, 24}, 8,
                [i](const Entry& e) { return LyricScheme(e, i); })->tint = false;
        }
        add("lrcbar_close.bmp", {24, 24}, 4, DarkClose)->tint = false;

        // The list's sort images, one pair per scheme in the scheme's own colour.
        const struct { const char* name; QColor color; } schemes[] = {
            {"blue", {51, 151, 190}}, {"orange", {187, 79, 0}}, {"purple", {169, 51, 190}}};
        for (const auto& s : schemes) {
            const QColor c = s.color;
            add(QStringLiteral("order_%1.bmp").arg(QLatin1String(s.name)).toLatin1().constData(), {9, 6}, 2,
                [c](const Entry& e) { return OrderArrows(e, c); })->tint = false;
            add(QStringLiteral("order_star_%1.bmp").arg(QLatin1String(s.name)).toLatin1().constData(), {14, 14}, 2,
                [c](const Entry& e) { return OrderStars(e, c); })->tint = false;
        }

        // Pictures of other windows.
        add("messageicons.bmp", {16, 16}, 5, MessageIcons);
        add("Welcome.bmp", {480, 140}, 1, Welcome);
        add("updatesuccesstips.bmp", {360, 120}, 1, UpdateTips);
        return t;
    }();
    return table;
}

} // namespace

QList<BitmapSpec> BitmapSpecs()
{
    QList<BitmapSpec> specs;
    for (const Entry& e : Table())
        specs.append(BitmapSpec{e.name, QSize(e.cell.width() * e.frames, e.cell.height()), e.frames, e.nineGrid, e.margins, e.tint});
    return specs;
}

QImage DrawBitmap(const QString& name)
{
    for (const Entry& e : Table())
        if (e.name == name) return e.draw(e);
    return {};
}

} // namespace skingen
