#include "app/CViewDlg.h"

#include "app/CMainDlg.h"

#include "ui/CSkinButton.h"
#include "ui/CSkinFrame.h"
#include "ui/CSkinLabel.h"
#include "ui/CSkinLayout.h"
#include "ui/CSkinPicture.h"
#include "ui/CSkinPosManage.h"
#include "ui/CSkinSlider.h"
#include "ui/ControlIds.h"

#include <QCloseEvent>
#include <QFont>
#include <QImage>
#include <QResizeEvent>
#include <QWheelEvent>

using namespace ctl;

CViewDlg::CViewDlg(CMainDlg& controller, QWidget* parent) : QWidget(parent), m_ctl(controller)
{
    setWindowTitle(QStringLiteral("Ordel"));
    setWindowFlag(Qt::Tool, true);
    auto* frame = new CSkinFrame(this, kMiniWnd, CSkinFrame::kShadow);
    QSize design = CSkinPosManage::Instance().DesignSize(kMiniWnd);
    if (!design.isValid()) design = QSize(288, 384); // no layout file
    resize(frame->FrameSize(design));
    setMinimumSize(frame->FrameSize(design));
    auto* layout = new CSkinLayout(this, kMiniWnd);

    m_title = layout->Create<CSkinLabel>(kMiniTitle);
    if (m_title) {
        m_title->SetColor(9);
        m_title->SetScrolling(true);
    }
    m_picture = layout->Create<CSkinPicture>(kMiniPicture);
    if (m_picture) m_picture->SetCornerRadius(12);
    m_progress = layout->Create<CSkinSlider>(kMiniProgress);
    if (m_progress) {
        m_time = new CSkinLabel(this);
        m_time->SetColor(9);
        QFont f = m_time->font();
        f.setPixelSize(11);
        m_time->setFont(f);
        m_progress->setRange(0, 100);
        connect(m_progress, &QAbstractSlider::sliderReleased, this, [this] { m_ctl.SeekPercent(m_progress->value()); });
    }
    auto button = [&](int id, int command) {
        auto* b = layout->Create<CSkinButton>(id);
        if (b) connect(b, &QAbstractButton::clicked, this, [this, b, command] {
            // A state button shows what the controller reports, not the click.
            if (b->isCheckable()) b->setChecked(!b->isChecked());
            m_ctl.OnCommand(command);
        });
        return b;
    };
    button(kMiniRestore, kMiniRestore);
    button(kMiniClose, kExit);
    button(kMiniPrev, kPrev);
    m_play = button(kMiniPlay, kPlayPause);
    if (m_play) m_play->setCheckable(true);
    button(kMiniNext, kNext);
}

void CViewDlg::SetTitle(const QString& text)
{
    if (m_title) m_title->SetText(text);
    setToolTip(text);
}

QString CViewDlg::Title() const { return m_title ? m_title->Text() : QString(); }

void CViewDlg::SetProgress(int percent)
{
    if (m_progress && !m_progress->isSliderDown()) m_progress->setValue(percent);
}

void CViewDlg::SetTime(const QString& text)
{
    if (m_time) m_time->SetText(text);
}

QString CViewDlg::TimeText() const { return m_time ? m_time->Text() : QString(); }

void CViewDlg::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    // Right above the progress, at its right end.
    if (m_time && m_progress) {
        const QRect bar = m_progress->geometry();
        m_time->setGeometry(bar.right() - 100, bar.top() - 17, 100, 15);
        m_time->SetAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
}

void CViewDlg::SetPlaying(bool playing)
{
    if (m_play) m_play->setChecked(playing);
}

void CViewDlg::ShowCover(const QString& picture)
{
    if (!m_picture) return;
    QImage image;
    if (!picture.isEmpty()) image.load(picture);
    m_hasCover = !image.isNull();
    m_picture->SetImage(image); // a null image brings back "viewmodepic.bmp"
}

void CViewDlg::closeEvent(QCloseEvent* e)
{
    // The window manager's close means what the window's own close button means.
    e->ignore();
    m_ctl.OnCommand(kMiniRestore);
}

void CViewDlg::wheelEvent(QWheelEvent* e)
{
    m_ctl.OnWheel(e->angleDelta().y());
    e->accept();
}
