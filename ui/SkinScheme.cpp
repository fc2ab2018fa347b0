#include "ui/SkinScheme.h"

namespace {

struct Scheme {
    const char* name;
    QRgb color;
};
constexpr Scheme kSchemes[kSkinSchemeCount] = {
    {"blue", qRgb(51, 151, 190)},
    {"orange", qRgb(187, 79, 0)},
    {"purple", qRgb(169, 51, 190)},
};

const Scheme& SchemeAt(int index)
{
    return (index >= 0 && index < kSkinSchemeCount) ? kSchemes[index] : kSchemes[0];
}

} // namespace

QRgb SchemeColor(int index) { return SchemeAt(index).color; }

QString SchemeName(int index) { return QString::fromLatin1(SchemeAt(index).name); }

QString SortOrderBitmap(int index)
{
    return QStringLiteral("order_%1.bmp").arg(SchemeName(index));
}

QString SortOrderStarBitmap(int index)
{
    return QStringLiteral("order_star_%1.bmp").arg(SchemeName(index));
}

QString PageCssStyle(int index)
{
    if (index == 0) return QStringLiteral("blue");
    if (index == 1) return QStringLiteral("gold");
    return QStringLiteral("purple");
}

SliderBitmaps SliderBitmapNames(const QString& base)
{
    return {QStringLiteral("%1_active.bmp").arg(base), QStringLiteral("%1_back.bmp").arg(base),
            QStringLiteral("%1_thumb.bmp").arg(base), QStringLiteral("%1_buffer.bmp").arg(base)};
}

QString LayoutFileName(int screenHeight, bool newPlatform)
{
    const bool small = screenHeight < 734;
    if (newPlatform) return small ? QStringLiteral("pos_win7_small.xml") : QStringLiteral("pos_win7.xml");
    return small ? QStringLiteral("pos_small.xml") : QStringLiteral("pos.xml");
}
