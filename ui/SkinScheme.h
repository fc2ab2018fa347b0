#pragma once
#include <QRgb>
#include <QString>

// The three colour schemes of the skin and the names that follow the scheme. The skin's own
// bitmaps and colours are drawn in scheme 0, the base of the tint.

constexpr int kSkinSchemeCount = 3;

// (51,151,190) "blue", (187,79,0) "orange", (169,51,190) "purple"; any other index is blue.
QRgb SchemeColor(int index);
QString SchemeName(int index);

// The list's sort-order images of a scheme: "order_blue.bmp" and "order_star_blue.bmp" and the
// like; drawn in their scheme's colour already, they are never tinted.
QString SortOrderBitmap(int index);
QString SortOrderStarBitmap(int index);

// The style the embedded pages are asked for: "blue", "gold", or "purple" for any other index.
QString PageCssStyle(int index);

// The files of a slider with base name `base`, magenta transparent.
struct SliderBitmaps {
    QString active, back, thumb, buffer;
};
SliderBitmaps SliderBitmapNames(const QString& base);

// The layout file for a screen `screenHeight` pixels tall: the small layout below 734 pixels;
// `newPlatform` picks the "win7" pair of files.
QString LayoutFileName(int screenHeight, bool newPlatform);
