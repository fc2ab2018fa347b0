#include "ui/CSkin.h"

#include "ui/SkinScheme.h"
#include "base/XmlFile.h"

#include <QApplication>
#include <QFont>
#include <QImage>
#include <QPalette>

#include <tinyxml2.h>

namespace {

constexpr QRgb kMagenta = 0xFF00FF;

QRgb ParseColor(const char* text, QRgb fallback)
{
    if (!text) return fallback;
    const QColor c = QColor::fromString(QLatin1String(text));
    return c.isValid() ? c.rgb() : fallback;
}

QMargins ParseMargins(const char* text, bool& ok)
{
    ok = false;
    if (!text) return {};
    const QStringList parts = QString::fromLatin1(text).split(QLatin1Char(','));
    if (parts.size() != 4) return {};
    int v[4];
    for (int i = 0; i < 4; ++i) {
        bool good = false;
        v[i] = parts[i].trimmed().toInt(&good);
        if (!good || v[i] < 0) return {};
    }
    ok = true;
    return QMargins(v[0], v[1], v[2], v[3]);
}

// Where the skin colours sit in the standard controls' palette.
struct PaletteRole {
    QPalette::ColorRole role;
    int color;
};
constexpr PaletteRole kRoles[] = {
    {QPalette::Window, 15},      {QPalette::WindowText, 8}, {QPalette::Base, 5},
    {QPalette::AlternateBase, 25}, {QPalette::ToolTipBase, 24}, {QPalette::ToolTipText, 23},
    {QPalette::Text, 8},         {QPalette::Button, 15},    {QPalette::ButtonText, 18},
    {QPalette::BrightText, 9},   {QPalette::Light, 20},     {QPalette::Midlight, 22},
    {QPalette::Mid, 6},          {QPalette::Dark, 21},      {QPalette::Shadow, 21},
    {QPalette::Highlight, 13},   {QPalette::HighlightedText, 14}, {QPalette::Link, 26},
    {QPalette::LinkVisited, 26}, {QPalette::PlaceholderText, 17},
};

} // namespace

CSkin& CSkin::Instance()
{
    static CSkin* instance = new CSkin(true); // lives until the process ends
    return *instance;
}

CSkin::CSkin(bool drivesApplication) : m_drivesApplication(drivesApplication)
{
    CaptureFallbackColors();
}

CSkin::~CSkin() = default;

void CSkin::CaptureFallbackColors()
{
    const QPalette pal = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                             ? QGuiApplication::palette() : QPalette(Qt::lightGray);
    m_captured.fill(pal.color(QPalette::Window).rgb());
    for (const PaletteRole& r : kRoles) m_captured[size_t(r.color)] = pal.color(r.role).rgb();
    m_captured[2] = m_captured[13];
    m_captured[9] = pal.color(QPalette::HighlightedText).rgb();
    m_captured[16] = m_captured[13];
    m_captured[17] = pal.color(QPalette::Disabled, QPalette::Text).rgb();
    m_colors = m_captured;
}

bool CSkin::Load(const QString& skinDir)
{
    m_dir = skinDir;
    if (!m_dir.isEmpty() && !m_dir.endsWith(QLatin1Char('/'))) m_dir += QLatin1Char('/');
    m_bitmapInfo.clear();
    m_style.clear();
    m_fontFamilies.clear();
    m_fontPixelSize = 13;
    m_cache.clear();
    m_scheme = -1;
    m_target.reset();
    m_filter.reset();
    CaptureFallbackColors();

    tinyxml2::XMLDocument doc;
    if (ReadXmlFile(m_dir + QStringLiteral("ordel.skin"), doc) != XmlFileRead::Parsed) return false;
    const tinyxml2::XMLElement* root = doc.RootElement();
    if (!root) return false;

    if (const char* font = root->Attribute("font")) {
        for (const QString& family : QString::fromUtf8(font).split(QLatin1Char(','), Qt::SkipEmptyParts))
            m_fontFamilies.append(family.trimmed());
    }
    m_fontPixelSize = std::clamp(root->IntAttribute("fontpx", 13), 8, 48);
    for (auto* e = root->FirstChildElement("color"); e; e = e->NextSiblingElement("color")) {
        const int index = e->IntAttribute("index", -1);
        if (index >= 0 && index < kColorCount)
            m_captured[size_t(index)] = ParseColor(e->Attribute("value"), m_captured[size_t(index)]);
    }
    for (auto* e = root->FirstChildElement("bitmap"); e; e = e->NextSiblingElement("bitmap")) {
        const char* name = e->Attribute("name");
        if (!name) continue;
        SkinBitmapInfo info;
        info.frames = std::max(1, e->IntAttribute("frames", 1));
        info.margins = ParseMargins(e->Attribute("margins"), info.nineGrid);
        info.tint = e->IntAttribute("tint", 1) != 0;
        m_bitmapInfo.insert(QString::fromUtf8(name), info);
    }
    if (auto* style = root->FirstChildElement("style"); style && style->GetText())
        m_style = QString::fromUtf8(style->GetText());
    m_colors = m_captured;
    return true;
}

QString CSkin::BitmapPath(const QString& name) const { return m_dir + name; }

bool CSkin::ApplyColorScheme(int index)
{
    if (index == m_scheme) return false;
    m_scheme = index;
    const PackedHsv target = RgbToHsv(SchemeColor(index));
    if (m_target && *m_target == target) return false;
    m_target = target;
    m_filter.emplace(SchemeColor(0), target);
    for (int i = 0; i < kColorCount; ++i) {
        m_colors[size_t(i)] = m_captured[size_t(i)];
        m_filter->ApplyColor(m_colors[size_t(i)]);
    }
    m_cache.clear();
    if (m_drivesApplication) ApplyToApplication();
    emit SchemeChanged(index);
    return true;
}

QColor CSkin::Color(int index) const
{
    if (index < 0 || index >= kColorCount) return QColor();
    return QColor(m_colors[size_t(index)]);
}

QColor CSkin::CapturedColor(int index) const
{
    if (index < 0 || index >= kColorCount) return QColor();
    return QColor(m_captured[size_t(index)]);
}

QPalette CSkin::Palette() const
{
    QPalette pal;
    for (const PaletteRole& r : kRoles) pal.setColor(QPalette::All, r.role, Color(r.color));
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        pal.setColor(QPalette::Disabled, role, Color(17));
    return pal;
}

QString CSkin::StyleSheet() const
{
    // "@{n}" stands for skin colour n.
    QString out;
    out.reserve(m_style.size());
    for (qsizetype i = 0; i < m_style.size(); ++i) {
        if (m_style[i] == QLatin1Char('@') && i + 1 < m_style.size() && m_style[i + 1] == QLatin1Char('{')) {
            const qsizetype close = m_style.indexOf(QLatin1Char('}'), i + 2);
            bool ok = false;
            const int index = close > 0 ? m_style.mid(i + 2, close - i - 2).toInt(&ok) : -1;
            if (ok && index >= 0 && index < kColorCount) {
                out += Color(index).name();
                i = close;
                continue;
            }
        }
        out += m_style[i];
    }
    return out;
}

void CSkin::ApplyToApplication() const
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app) return;
    if (!m_fontFamilies.isEmpty()) {
        QFont font = QApplication::font();
        font.setFamilies(m_fontFamilies);
        font.setPixelSize(m_fontPixelSize);
        QApplication::setFont(font);
    }
    QApplication::setPalette(Palette());
    app->setStyleSheet(StyleSheet());
}

SkinBitmapInfo CSkin::BitmapInfo(const QString& name) const { return m_bitmapInfo.value(name); }

QImage CSkin::BitmapImage(const QString& name) const
{
    if (name.isEmpty() || m_dir.isEmpty()) return {};
    QImage image(BitmapPath(name));
    if (image.isNull()) return {};
    image = image.convertToFormat(QImage::Format_ARGB32);
    const bool tint = m_filter && !m_filter->IsIdentity() && BitmapInfo(name).tint;
    QHash<QRgb, QRgb> tinted; // skin bitmaps hold few distinct colours
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            QRgb& px = line[x];
            // The mask comes first: a tinted magenta would no longer be recognised.
            if ((px & 0xFFFFFF) == kMagenta) {
                px = 0;
                continue;
            }
            if (!tint) continue;
            auto it = tinted.constFind(px);
            if (it == tinted.constEnd()) {
                QRgb out = px;
                m_filter->ApplyColor(out);
                it = tinted.insert(px, out);
            }
            px = *it;
        }
    }
    return image;
}

QPixmap CSkin::Bitmap(const QString& name) const
{
    if (name.isEmpty()) return {};
    auto it = m_cache.constFind(name);
    if (it != m_cache.constEnd()) return *it;
    const QImage image = BitmapImage(name);
    QPixmap pixmap = image.isNull() ? QPixmap() : QPixmap::fromImage(image);
    m_cache.insert(name, pixmap);
    return pixmap;
}

QPixmap CSkin::BitmapFrame(const QString& name, int frame) const
{
    const QPixmap all = Bitmap(name);
    const int frames = BitmapInfo(name).frames;
    if (all.isNull() || frame < 0 || frame >= frames) return {};
    const int w = all.width() / frames;
    return all.copy(frame * w, 0, w, all.height());
}

bool StartSkin(const QString& skinDir, int storedScheme)
{
    CSkin& skin = CSkin::Instance();
    const bool loaded = skin.Load(skinDir);
    // A negative stored value would equal "no scheme yet" and leave the skin unapplied.
    skin.ApplyColorScheme(storedScheme > 2 ? storedScheme % 3 : std::max(storedScheme, 0));
    return loaded;
}
