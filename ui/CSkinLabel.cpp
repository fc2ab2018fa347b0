#include "ui/CSkinLabel.h"

#include "ui/CSkin.h"

#include <QPainter>
#include <QTimerEvent>

namespace {
constexpr int kGap = 48;        // blank between the end of the text and its next start
constexpr int kTickMs = 40;
constexpr int kPauseTicks = 40; // rest at the start of every round
} // namespace

CSkinLabel::CSkinLabel(QWidget* parent) : QWidget(parent)
{
    connect(&CSkin::Instance(), &CSkin::SchemeChanged, this, qOverload<>(&QWidget::update));
}

void CSkinLabel::SetText(const QString& text)
{
    if (text == m_text) return;
    m_text = text;
    Restart();
}

void CSkinLabel::SetColor(int skinColor)
{
    m_color = skinColor;
    update();
}

void CSkinLabel::SetAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    update();
}

void CSkinLabel::SetScrolling(bool on)
{
    m_scroll = on;
    Restart();
}

void CSkinLabel::Restart()
{
    m_offset = 0;
    m_pause = kPauseTicks;
    const bool wide = fontMetrics().horizontalAdvance(m_text) > width();
    if (m_scroll && wide) {
        if (!m_timer.isActive()) m_timer.start(kTickMs, this);
    } else {
        m_timer.stop();
    }
    update();
}

void CSkinLabel::resizeEvent(QResizeEvent*) { Restart(); }

void CSkinLabel::timerEvent(QTimerEvent* e)
{
    if (e->timerId() != m_timer.timerId()) return;
    if (m_pause > 0) {
        --m_pause;
        return;
    }
    const int round = fontMetrics().horizontalAdvance(m_text) + kGap;
    if (++m_offset >= round) {
        m_offset = 0;
        m_pause = kPauseTicks;
    }
    update();
}

void CSkinLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(CSkin::Instance().Color(m_color));
    p.setFont(font());
    if (m_timer.isActive()) {
        const int round = fontMetrics().horizontalAdvance(m_text) + kGap;
        const QRect line(-m_offset, 0, round, height());
        p.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, m_text);
        p.drawText(line.translated(round, 0), Qt::AlignLeft | Qt::AlignVCenter, m_text);
        return;
    }
    p.drawText(rect(), int(m_alignment), fontMetrics().elidedText(m_text, Qt::ElideRight, width()));
}
