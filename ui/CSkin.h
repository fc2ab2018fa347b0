#pragma once
#include <QColor>
#include <QHash>
#include <QMargins>
#include <QObject>
#include <QPixmap>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>

#include "ui/CQPGColorFilterShiftRGB.h"

class QPalette;

// How a skin bitmap is cut and drawn, from the skin file.
struct SkinBitmapInfo {
    int frames = 1;            // equal frames side by side (buttons: normal, hover, pressed, disabled, then checked)
    bool nineGrid = false;     // drawn as a nine-part frame with these fixed borders
    QMargins margins;
    bool tint = true;          // false for bitmaps already in a scheme's colour
};

// The skin: colours, bitmaps and the style of the standard controls, loaded from the skin file
// "ordel.skin" of the skin folder, and the colour scheme that tints all of it.
//
// The 31 skin colours are numbered like the desktop's classic system colours (5 window, 8 window
// text, 13 highlight, 15 button face, 17 grey text ...); 14, 16 and 17 are also the colours of
// the lyric drag line, current line and lines. They are captured when the skin loads; a scheme
// change resets the working colours to the captured ones and tints them, so going back to scheme
// 0 restores them exactly.
class CSkin : public QObject {
    Q_OBJECT
public:
    static constexpr int kColorCount = 31;

    // The program's skin: it also sets the application's palette, style sheet and font.
    static CSkin& Instance();
    // A skin of its own, which touches the application only when `drivesApplication`.
    explicit CSkin(bool drivesApplication = false);
    ~CSkin() override;

    // Reads "ordel.skin" in `skinDir` and captures its colours. Without a readable skin file the
    // colours come from the application's palette and the bitmaps are still read from the folder.
    // No scheme is applied yet (the current scheme is -1).
    bool Load(const QString& skinDir);
    QString SkinDir() const { return m_dir; }
    QString BitmapPath(const QString& name) const;

    // Tints the skin into scheme `index` (0 blue, 1 orange, 2 purple, anything else takes blue's
    // colour). Nothing happens when `index` is already current, and nothing more than taking the
    // index when its colour is the one already applied. True when the colours changed.
    bool ApplyColorScheme(int index);
    int CurrentScheme() const { return m_scheme; }

    QColor Color(int index) const;          // the working (tinted) colour
    QColor CapturedColor(int index) const;  // as the skin defines it
    QPalette Palette() const;               // the standard controls' palette from the colours
    QString StyleSheet() const;             // the skin's style with the working colours
    QStringList FontFamilies() const { return m_fontFamilies; }
    int FontPixelSize() const { return m_fontPixelSize; }

    // A bitmap of the skin folder with magenta (255,0,255) made transparent, tinted into the
    // current scheme; a null pixmap when the file is missing or unreadable.
    QPixmap Bitmap(const QString& name) const;
    QImage BitmapImage(const QString& name) const;
    SkinBitmapInfo BitmapInfo(const QString& name) const;
    // One frame of a bitmap cut into BitmapInfo().frames equal parts; null when out of range.
    QPixmap BitmapFrame(const QString& name, int frame) const;

    // The colour filter of the current scheme, when one is applied.
    const CQPGColorFilterShiftRGB* Filter() const { return m_filter ? &*m_filter : nullptr; }

    // Pushes palette, style sheet and font to the application.
    void ApplyToApplication() const;

signals:
    void SchemeChanged(int index);

private:
    void CaptureFallbackColors();

    bool m_drivesApplication;
    QString m_dir;
    std::array<QRgb, kColorCount> m_captured{};
    std::array<QRgb, kColorCount> m_colors{};
    QHash<QString, SkinBitmapInfo> m_bitmapInfo;
    QString m_style;
    QStringList m_fontFamilies;
    int m_fontPixelSize = 13;

    int m_scheme = -1;
    std::optional<PackedHsv> m_target;
    std::optional<CQPGColorFilterShiftRGB> m_filter;
    mutable QHash<QString, QPixmap> m_cache;
};

// Skin start-up: loads the program's skin from `skinDir` and applies the stored scheme (values
// above 2 are taken modulo 3, negative ones as 0).
bool StartSkin(const QString& skinDir, int storedScheme);
