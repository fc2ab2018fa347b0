#include "app/CPlaylistDialogs.h"

#include "app/UiTexts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The two buttons at the foot of a dialog's body.
QPushButton* AddButtons(QDialog* dialog, QVBoxLayout* column)
{
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    auto* ok = new QPushButton(txt::kOk, dialog);
    ok->setDefault(true);
    auto* cancel = new QPushButton(txt::kCancel, dialog);
    row->addWidget(ok);
    row->addWidget(cancel);
    column->addLayout(row);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return ok;
}

} // namespace

CListNameDlg::CListNameDlg(const QString& title, const QString& name, QWidget* parent) : CSkinDialog(title, parent)
{
    auto* column = new QVBoxLayout(Body());
    column->setContentsMargins(18, 14, 18, 14);
    column->addWidget(new QLabel(txt::kListNameLabel, Body()));
    m_edit = new QLineEdit(name, Body());
    m_edit->setMaxLength(49);
    m_edit->selectAll();
    column->addWidget(m_edit);
    m_ok = AddButtons(this, column);
    m_ok->setEnabled(!name.trimmed().isEmpty());
    connect(m_edit, &QLineEdit::textChanged, this, [this](const QString& t) { m_ok->setEnabled(!t.trimmed().isEmpty()); });
    connect(m_ok, &QPushButton::clicked, this, [this] {
        if (!Name().isEmpty()) accept();
    });
    resize(320, 150);
}

QString CListNameDlg::Name() const { return m_edit->text().trimmed(); }

CNoticeDlg::CNoticeDlg(const QString& title, const QString& text, QWidget* parent) : CSkinDialog(title, parent)
{
    auto* column = new QVBoxLayout(Body());
    column->setContentsMargins(18, 14, 18, 14);
    m_text = new QLabel(text, Body());
    m_text->setWordWrap(true);
    column->addWidget(m_text, 1);
    m_buttons = new QHBoxLayout;
    m_buttons->addStretch(1);
    m_ok = new QPushButton(txt::kOk, this);
    m_ok->setDefault(true);
    m_buttons->addWidget(m_ok);
    column->addLayout(m_buttons);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    resize(320, 150);
}

QString CNoticeDlg::Text() const { return m_text->text(); }

CConfirmDlg::CConfirmDlg(const QString& title, const QString& text, QWidget* parent) : CNoticeDlg(title, text, parent)
{
    auto* cancel = new QPushButton(txt::kCancel, this);
    ButtonRow()->addWidget(cancel);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}
