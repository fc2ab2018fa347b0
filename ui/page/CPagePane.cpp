#include "ui/page/CPagePane.h"

#include "ui/page/CFixedHtmlView.h"
#include "ui/page/PageEngine.h"

#include <QLabel>
#include <QUrl>

CPagePane::CPagePane(IPageHost* host, bool styled, QWidget* parent) : QWidget(parent), m_pHost(host), m_bStyled(styled)
{
    setAutoFillBackground(true);
}

CFixedHtmlView* CPagePane::View()
{
    if (m_view || !PageEngineReady()) return m_view;
    m_view = new CFixedHtmlView(m_pHost, this);
    m_view->SetStyleFlag(m_bStyled);
    m_view->SetContextMenuMode(m_nMenuMode);
    m_view->SetPageStyle(m_nSkin);
    m_view->setGeometry(rect());
    m_view->show();
    delete m_placeholder;
    m_placeholder = nullptr;
    emit ViewCreated(m_view);
    return m_view;
}

void CPagePane::Open(const QString& url)
{
    m_strUrl = url;
    const QString address = url.isEmpty() && !OfflinePagePath().isEmpty()
        ? QUrl::fromLocalFile(OfflinePagePath()).toString()
        : url;
    if (CFixedHtmlView* view = View()) {
        view->Navigate(address);
        return;
    }
    if (!m_placeholder) {
        m_placeholder = new QLabel(this);
        m_placeholder->setAlignment(Qt::AlignCenter);
        m_placeholder->setWordWrap(true);
        m_placeholder->setGeometry(rect());
        m_placeholder->show();
    }
    m_placeholder->setText(address);
}

void CPagePane::SetPageStyle(int skin)
{
    if (m_nSkin == skin) return;
    m_nSkin = skin;
    if (m_view) m_view->SetPageStyle(skin);
}

void CPagePane::SetContextMenuMode(int mode)
{
    m_nMenuMode = mode;
    if (m_view) m_view->SetContextMenuMode(mode);
}

void CPagePane::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    if (m_view) m_view->setGeometry(rect());
    if (m_placeholder) m_placeholder->setGeometry(rect());
}
