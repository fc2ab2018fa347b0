#include "app/CUpdateSuccessDlg.h"

#include "app/UiTexts.h"
#include "app/WindowIds.h"

#include "net/CQvLog.h"
#include "ui/CSkin.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int kEventOk = 807;
constexpr int kValueOk = 1780;
const QString kTips = QStringLiteral("updatesuccesstips.bmp");
} // namespace

CUpdateSuccessDlg::CUpdateSuccessDlg(QWidget* parent) : CSkinDialog(txt::kUpdateSuccessTitle, parent)
{
    const QPixmap tips = CSkin::Instance().Bitmap(kTips);
    const QSize picture = tips.isNull() ? QSize(360, 120) : tips.size();
    auto* v = new QVBoxLayout(Body());
    v->setContentsMargins(5, picture.height() + 12, 12, 12);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    m_ok = new QPushButton(txt::kOk, Body());
    m_ok->setDefault(true);
    row->addWidget(m_ok);
    v->addLayout(row);
    setMinimumWidth(picture.width() + 10);
    connect(m_ok, &QPushButton::clicked, this, [this] {
        CQvLog::GetInstance().AddRecord(wnd::kUpdateSuccess, kEventOk, 1, nullptr, kValueOk);
        accept();
    });
}

void CUpdateSuccessDlg::paintEvent(QPaintEvent* e)
{
    CSkinDialog::paintEvent(e);
    const QPixmap tips = CSkin::Instance().Bitmap(kTips);
    if (tips.isNull()) return;
    QPainter p(this);
    p.drawPixmap(Body()->geometry().topLeft() + QPoint(5, 5), tips);
}

CAboutDlg::CAboutDlg(const QString& version, const QString& home, QWidget* parent) : CSkinDialog(txt::kAboutTitle, parent)
{
    setMinimumWidth(360);
    auto* v = new QVBoxLayout(Body());
    v->setContentsMargins(24, 18, 24, 16);
    v->setSpacing(8);
    auto* name = new QLabel(txt::kProduct, Body());
    QFont f = name->font();
    f.setPixelSize(22);
    f.setBold(true);
    name->setFont(f);
    v->addWidget(name);
    v->addWidget(new QLabel(txt::kAboutVersion.arg(version), Body()));
    auto* where = new QLabel(home, Body());
    where->setTextInteractionFlags(Qt::TextSelectableByMouse);
    where->setStyleSheet(QStringLiteral("color: %1;").arg(CSkin::Instance().Color(17).name()));
    v->addWidget(where);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    auto* ok = new QPushButton(txt::kOk, Body());
    ok->setDefault(true);
    row->addWidget(ok);
    v->addSpacing(8);
    v->addLayout(row);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
