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

CConfirmDlg::CConfirmDlg(const QString& title, const QString& text, QWidget* parent) : CSkinDialog(title, parent)
{
    auto* column = new QVBoxLayout(Body());
    column->setContentsMargins(18, 14, 18, 14);
    auto* label = new QLabel(text, Body());
    label->setWordWrap(true);
    column->addWidget(label, 1);
    m_ok = AddButtons(this, column);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    resize(320, 150);
}
