#include "ui/CSkinSplitter.h"

#include "ui/CProfileIni.h"

CSkinSplitter::CSkinSplitter(int number, Bar bar, int initialSize, const QString& profilePath, QWidget* parent)
    : QSplitter(bar == kVerticalBar ? Qt::Horizontal : Qt::Vertical, parent),
      m_number(number), m_bar(bar), m_profilePath(profilePath)
{
    CProfileIni profile;
    profile.Load(profilePath);
    m_position = profile.IntValue(SectionName(number, bar), EntryName(bar), 2 * initialSize);
    setChildrenCollapsible(false);
    setHandleWidth(1);
}

CSkinSplitter::~CSkinSplitter()
{
    const QList<int> s = sizes();
    if (!m_applied || s.size() < 2) return;
    const int pane = m_bar == kVerticalBar ? s[0] : s[1];
    if (pane <= 0) return;
    CProfileIni profile;
    profile.Load(m_profilePath);
    profile.SetInt(SectionName(m_number, m_bar), EntryName(m_bar), pane);
    profile.Save(m_profilePath);
}

QString CSkinSplitter::SectionName(int number, Bar bar)
{
    return (bar == kVerticalBar ? QStringLiteral("splt\\init_v") : QStringLiteral("splt\\init_h")) + QString::number(number);
}

QString CSkinSplitter::EntryName(Bar bar)
{
    return bar == kVerticalBar ? QStringLiteral("VertSplitPos") : QStringLiteral("HorizSplitPos");
}

void CSkinSplitter::SetPanes(QWidget* first, QWidget* second)
{
    addWidget(first);
    addWidget(second);
    // The remembered pane keeps its size as the window grows; the other one takes the growth.
    setStretchFactor(0, m_bar == kVerticalBar ? 0 : 1);
    setStretchFactor(1, m_bar == kVerticalBar ? 1 : 0);
    m_applied = false;
    ApplyPosition();
}

int CSkinSplitter::Position() const
{
    const QList<int> s = sizes();
    if (!m_applied || s.size() < 2) return m_position;
    return m_bar == kVerticalBar ? s[0] : s[1];
}

void CSkinSplitter::ApplyPosition()
{
    // Only once it is laid out for real: a splitter that is never shown keeps the profile as is.
    if (m_applied || count() < 2 || !isVisible()) return;
    const int total = (orientation() == Qt::Horizontal ? width() : height()) - handleWidth();
    if (total <= 0) return;
    const int pos = std::clamp(m_position, 0, total);
    setSizes(m_bar == kVerticalBar ? QList<int>{pos, total - pos} : QList<int>{total - pos, pos});
    m_applied = true;
}

void CSkinSplitter::resizeEvent(QResizeEvent* e)
{
    QSplitter::resizeEvent(e);
    ApplyPosition();
}

void CSkinSplitter::showEvent(QShowEvent* e)
{
    QSplitter::showEvent(e);
    ApplyPosition();
}
