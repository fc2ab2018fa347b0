#pragma once
#include <QImage>
#include <QString>

// A demonstration of the default skin: the main window's controls (with sample lists and
// lyrics), the picture-view window, the colour popup and the desktop lyric bar, each with its
// drop shadow, on a plain desktop. The program skin and layout are loaded from `skinDir`
// (the small layout when `small`) and tinted into `scheme`.
QImage RenderSkinDemo(const QString& skinDir, int scheme, bool small = false);
