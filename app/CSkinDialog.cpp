#include "app/CSkinDialog.h"

#include "ui/CSkin.h"
#include "ui/CSkinFrame.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
constexpr int kCaptionHeight = 34;
constexpr int kNoRecord = -1; // the dialog paints its own background
} // namespace

CSkinDialog::CSkinDialog(const QString& title, QWidget* parent)
    : QDialog(parent), m_frame(new CSkinFrame(this, kNoRecord, CSkinFrame::kShadow))
{
    setWindowTitle(title);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* caption = new QWidget(this);
    caption->setFixedHeight(kCaptionHeight);
    auto* row = new QHBoxLayout(caption);
    row->setContentsMargins(14, 0, 6, 0);
    m_title = new QLabel(title, caption);
    m_title->setObjectName(QStringLiteral("caption"));
    QFont f = m_title->font();
    f.setBold(true);
    m_title->setFont(f);
    row->addWidget(m_title, 1);
    auto* close = new QToolButton(caption);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setText(QStringLiteral("×"));
    close->setAutoRaise(true);
    close->setFixedSize(26, 26);
    close->setCursor(Qt::PointingHandCursor);
    connect(close, &QToolButton::clicked, this, [this] { OnCloseButton(); });
    row->addWidget(close);
    outer->addWidget(caption);

    m_body = new QWidget(this);
    outer->addWidget(m_body, 1);

    auto restyle = [this, close] {
        const QString text = CSkin::Instance().Color(9).name();
        m_title->setStyleSheet(QStringLiteral("color: %1;").arg(text));
        close->setStyleSheet(QStringLiteral("QToolButton { color: %1; border: none; font-size: 18px; }"
                                            "QToolButton:hover { background: rgba(255,255,255,40); border-radius: 4px; }")
                                 .arg(text));
        update();
    };
    restyle();
    connect(&CSkin::Instance(), &CSkin::SchemeChanged, this, restyle);
}

void CSkinDialog::OnCloseButton() { reject(); }

void CSkinDialog::SetTitle(const QString& title)
{
    setWindowTitle(title);
    m_title->setText(title);
}

void CSkinDialog::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect r = contentsRect();
    QPainterPath body;
    body.addRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    p.fillPath(body, CSkin::Instance().Color(5));
    p.save();
    p.setClipPath(body);
    QLinearGradient g(r.topLeft(), QPoint(r.left(), r.top() + kCaptionHeight));
    g.setColorAt(0, CSkin::Instance().Color(27));
    g.setColorAt(1, CSkin::Instance().Color(2));
    p.fillRect(QRect(r.left(), r.top(), r.width(), kCaptionHeight), g);
    p.restore();
    p.setPen(CSkin::Instance().Color(6));
    p.drawPath(body);
}

QMessageBox* ShowNotice(QWidget* parent, const QString& text, const QString& caption)
{
    auto* box = new QMessageBox(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    return box;
}
