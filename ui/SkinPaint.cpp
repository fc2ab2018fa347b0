#include "ui/SkinPaint.h"

#include "ui/CSkin.h"

#include <QPainter>

#include <algorithm>

void DrawNinePart(QPainter& p, const QRect& target, const QPixmap& pixmap, const QRect& source, const QMargins& b)
{
    // Borders larger than the target are shrunk in proportion so that the parts never cross.
    auto fit = [](int a, int c, int room) {
        if (a + c <= room || a + c == 0) return std::pair{a, c};
        const int a2 = room * a / (a + c);
        return std::pair{a2, room - a2};
    };
    const auto [sl, sr] = std::pair{b.left(), b.right()};
    const auto [st, sb] = std::pair{b.top(), b.bottom()};
    const auto [tl, tr] = fit(sl, sr, target.width());
    const auto [tt, tb] = fit(st, sb, target.height());
    const int sx[4] = {source.left(), source.left() + sl, source.left() + source.width() - sr,
                       source.left() + source.width()};
    const int sy[4] = {source.top(), source.top() + st, source.top() + source.height() - sb,
                       source.top() + source.height()};
    const int tx[4] = {target.left(), target.left() + tl, target.left() + target.width() - tr,
                       target.left() + target.width()};
    const int ty[4] = {target.top(), target.top() + tt, target.top() + target.height() - tb,
                       target.top() + target.height()};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            const QRect s(sx[col], sy[row], sx[col + 1] - sx[col], sy[row + 1] - sy[row]);
            const QRect t(tx[col], ty[row], tx[col + 1] - tx[col], ty[row + 1] - ty[row]);
            if (s.width() > 0 && s.height() > 0 && t.width() > 0 && t.height() > 0)
                p.drawPixmap(t, pixmap, s);
        }
    }
}

bool DrawSkinBitmap(QPainter& p, const QRect& target, const CSkin& skin, const QString& name, int frame)
{
    const QPixmap pixmap = skin.Bitmap(name);
    if (pixmap.isNull()) return false;
    const SkinBitmapInfo info = skin.BitmapInfo(name);
    if (frame < 0 || frame >= info.frames) return false;
    const int w = pixmap.width() / info.frames;
    const QRect source(frame * w, 0, w, pixmap.height());
    if (info.nineGrid) {
        DrawNinePart(p, target, pixmap, source, info.margins);
    } else if (source.size() == target.size()) {
        p.drawPixmap(target.topLeft(), pixmap, source);
    } else {
        p.save();
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawPixmap(target, pixmap, source);
        p.restore();
    }
    return true;
}
