// "ordel.skin" and the writing of the whole skin folder.
#include "tools/skingen/SkinGen.h"

#include "tools/skingen/Theme.h"

#include <QDir>
#include <QFile>

namespace skingen {
namespace {

using namespace tone;

// The 31 skin colours, numbered like the desktop's classic system colours.
struct SkinColor {
    const char* role;
    QColor color;
};
const SkinColor kColors[31] = {
    {"scroll bar handle", {200, 207, 214}},
    {"desktop", kAccent},
    {"active caption", kAccent},
    {"inactive caption", {133, 192, 215}},
    {"menu", kWhite},
    {"window", kWhite},
    {"window frame", kBorder},
    {"menu text", kText},
    {"window text", kText},
    {"caption text", kWhite},
    {"active border", kBorder},
    {"inactive border", kLine},
    {"application workspace", kBody},
    {"highlight", kAccentLight},
    {"highlight text; lyric drag line", kAccentDeep},
    {"button face", kBody},
    {"button shadow; current lyric line", kAccent},
    {"grey text; lyric lines", {138, 145, 153}},
    {"button text", kText},
    {"inactive caption text", {214, 236, 245}},
    {"button highlight", kWhite},
    {"dark shadow", {160, 168, 176}},
    {"light", {234, 237, 240}},
    {"tooltip text", kText},
    {"tooltip", kWhite},
    {"alternate rows", {249, 250, 251}},
    {"hot light", kAccentDark},
    {"caption gradient", kHeaderTop},
    {"inactive caption gradient", kLine},
    {"menu highlight", kAccentPale},
    {"menu bar", kAccent},
};

// The standard controls. "@{n}" is skin colour n, tinted with the scheme.
const char kStyle[] = R"(
QToolTip { color: @{23}; background: @{24}; border: 1px solid @{6}; padding: 4px 7px; }
QMenu { background: @{4}; color: @{7}; border: 1px solid @{6}; padding: 5px 0; }
QMenu::item { padding: 6px 30px 6px 26px; background: transparent; }
QMenu::item:selected { background: @{29}; color: @{14}; }
QMenu::item:disabled { color: @{17}; }
QMenu::separator { height: 1px; background: @{11}; margin: 5px 12px; }
QMenu::icon { padding-left: 8px; }
QAbstractItemView { background: @{5}; color: @{8}; border: none; outline: 0;
    selection-background-color: @{13}; selection-color: @{14}; alternate-background-color: @{25}; }
QAbstractItemView::item { border: none; padding: 0 6px; }
QAbstractItemView::item:hover { background: @{29}; }
QAbstractItemView::item:selected { background: @{13}; color: @{14}; }
QTreeView::branch { background: transparent; }
QHeaderView { background: @{5}; border: none; }
QHeaderView::section { background: @{5}; color: @{17}; border: none; border-bottom: 1px solid @{11};
    padding: 0 8px; min-height: 30px; }
QHeaderView::section:hover { color: @{8}; }
QScrollBar:vertical { background: transparent; width: 10px; margin: 0; }
QScrollBar:horizontal { background: transparent; height: 10px; margin: 0; }
QScrollBar::handle { background: @{0}; border-radius: 3px; margin: 2px; }
QScrollBar::handle:vertical { min-height: 36px; }
QScrollBar::handle:horizontal { min-width: 36px; }
QScrollBar::handle:hover { background: @{21}; }
QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; border: none; background: none; }
QScrollBar::add-page, QScrollBar::sub-page { background: none; }
QLineEdit, QTextEdit, QPlainTextEdit { background: @{5}; color: @{8}; border: 1px solid @{6};
    border-radius: 3px; padding: 4px 6px; selection-background-color: @{2}; selection-color: @{9}; }
QLineEdit:focus, QTextEdit:focus, QPlainTextEdit:focus { border-color: @{2}; }
QPushButton { background: @{5}; color: @{18}; border: 1px solid @{6}; border-radius: 4px;
    padding: 5px 18px; min-width: 60px; }
QPushButton:hover { border-color: @{2}; color: @{14}; }
QPushButton:pressed { background: @{13}; }
QPushButton:default { background: @{2}; color: @{9}; border-color: @{2}; }
QPushButton:default:hover { background: @{26}; border-color: @{26}; }
QPushButton:disabled { color: @{17}; background: @{22}; border-color: @{11}; }
QComboBox { background: @{5}; color: @{8}; border: 1px solid @{6}; border-radius: 3px; padding: 3px 8px; }
QComboBox:hover { border-color: @{2}; }
QComboBox QAbstractItemView { background: @{4}; border: 1px solid @{6}; selection-background-color: @{29};
    selection-color: @{14}; }
QCheckBox, QRadioButton { color: @{8}; spacing: 7px; }
QCheckBox::indicator, QRadioButton::indicator { width: 13px; height: 13px; border: 1px solid @{21};
    background: @{5}; }
QCheckBox::indicator { border-radius: 3px; }
QRadioButton::indicator { border-radius: 7px; }
QCheckBox::indicator:hover, QRadioButton::indicator:hover { border-color: @{2}; }
QCheckBox::indicator:checked, QRadioButton::indicator:checked { background: @{2}; border-color: @{2}; }
QTabWidget::pane { border: 1px solid @{11}; top: -1px; }
QTabBar::tab { color: @{17}; background: transparent; padding: 7px 16px; border-bottom: 2px solid transparent; }
QTabBar::tab:hover { color: @{8}; }
QTabBar::tab:selected { color: @{14}; border-bottom-color: @{2}; }
QSplitter::handle { background: @{11}; }
QProgressBar { border: none; background: @{22}; border-radius: 3px; text-align: center; color: @{8}; }
QProgressBar::chunk { background: @{2}; border-radius: 3px; }
QGroupBox { color: @{8}; border: 1px solid @{11}; border-radius: 4px; margin-top: 10px; padding-top: 6px; }
QGroupBox::title { subcontrol-origin: margin; left: 10px; padding: 0 4px; }
)";

QByteArray Hex(const QColor& c) { return c.name().toLatin1(); }

} // namespace

QByteArray SkinFile()
{
    QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<!-- Written by tools/skingen: change the generator, not this file. -->\n"
                     "<skin name=\"Ordel\" font=\"Noto Sans CJK SC,Microsoft YaHei,WenQuanYi Micro Hei,sans-serif\" fontpx=\"13\">\n";
    for (int i = 0; i < 31; ++i) {
        out += "  <color index=\"" + QByteArray::number(i) + "\" value=\"" + Hex(kColors[i].color) + "\"/> <!-- " +
               kColors[i].role + " -->\n";
    }
    for (const BitmapSpec& b : BitmapSpecs()) {
        out += "  <bitmap name=\"" + b.name.toLatin1() + "\" frames=\"" + QByteArray::number(b.frames) + "\"";
        if (b.nineGrid) {
            out += " margins=\"" + QByteArray::number(b.margins.left()) + "," + QByteArray::number(b.margins.top()) + "," +
                   QByteArray::number(b.margins.right()) + "," + QByteArray::number(b.margins.bottom()) + "\"";
        }
        if (!b.tint) out += " tint=\"0\"";
        out += "/>\n";
    }
    out += "  <style><![CDATA[";
    out += kStyle;
    out += "]]></style>\n</skin>\n";
    return out;
}

bool WriteSkin(const QString& dir, QString* error)
{
    auto fail = [error](const QString& what) {
        if (error) *error = what;
        return false;
    };
    if (!QDir().mkpath(dir)) return fail(QStringLiteral("cannot make %1").arg(dir));
    auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile f(dir + QLatin1Char('/') + name);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    };
    for (const auto& [name, text] : LayoutFiles())
        if (!write(name, text)) return fail(QStringLiteral("cannot write %1").arg(name));
    if (!write(QStringLiteral("ordel.skin"), SkinFile())) return fail(QStringLiteral("cannot write ordel.skin"));
    for (const BitmapSpec& b : BitmapSpecs()) {
        const QImage image = DrawBitmap(b.name);
        if (image.size() != b.size) return fail(QStringLiteral("%1 drew at the wrong size").arg(b.name));
        if (!image.save(dir + QLatin1Char('/') + b.name, "BMP")) return fail(QStringLiteral("cannot write %1").arg(b.name));
    }
    return true;
}

} // namespace skingen
