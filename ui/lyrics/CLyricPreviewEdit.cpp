#include "ui/lyrics/CLyricPreviewEdit.h"

#include "ui/lyrics/LyricFonts.h"

#include <QFontMetricsF>
#include <QPainter>

CLyricPreviewEdit::CLyricPreviewEdit(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(360, 90);
}

QString CLyricPreviewEdit::SampleText() const { return QStringLiteral("Ordel 歌词"); }

void CLyricPreviewEdit::SetLyricFont(const QString& name, int size, int scheme)
{
    m_strFontName = name;
    m_nFontSize = size;
    m_nScheme = ValidLyricScheme(scheme);
    update();
}

void CLyricPreviewEdit::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(58, 64, 72));
    QFont font(m_strFontName);
    font.setBold(true);
    font.setPixelSize(std::max(12, m_nFontSize));
    const QFontMetricsF metrics(font);
    const QString text = SampleText();
    const qreal width = metrics.horizontalAdvance(text);
    // Centred; a size too large for the box keeps its start in view.
    const QPointF at(std::max<qreal>(4, (this->width() - width) / 2), (height() - metrics.height()) / 2);
    DrawLyricLine(p, at, font, text, m_nScheme, float(width / 2));
}
