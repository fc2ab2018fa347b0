#include "app/CSyncDlg.h"

#include "base/MessageIds.h"

#include <QProgressBar>
#include <QVBoxLayout>

#include <algorithm>

CSyncDlg::CSyncDlg(QWidget* parent) : CSkinDialog(TitleFor(0), parent), m_port(*this)
{
    setMinimumWidth(360);
    auto* v = new QVBoxLayout(Body());
    v->setContentsMargins(24, 22, 24, 22);
    m_bar = new QProgressBar(Body());
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setTextVisible(true);
    v->addWidget(m_bar);
}

QString CSyncDlg::TitleFor(int percent) { return QStringLiteral("%1%已经完成，请耐心等待...").arg(percent); }

void CSyncDlg::SetPercent(int percent)
{
    percent = std::clamp(percent, 0, 100);
    m_bar->setValue(percent);
    SetTitle(TitleFor(percent));
}

int CSyncDlg::Percent() const { return m_bar->value(); }

qintptr CSyncDlg::OnMessage(unsigned msg, quintptr wParam, qintptr lParam)
{
    if (msg == WM_SYNC_PERCENT) {
        SetPercent(static_cast<int>(wParam));
    } else if (msg == WM_SYNC_COUNTS) {
        const auto done = static_cast<qint64>(wParam);
        const auto total = static_cast<qint64>(lParam);
        SetPercent(total <= 0 ? 100 : static_cast<int>(done * 100 / total));
    }
    return 0;
}
