#pragma once
#include "app/CSkinDialog.h"

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;

// The name of a playlist, asked in the skin ("新建列表", "重命名"). The dialog does not block
// its caller: `accepted` comes with the name typed, trimmed and not empty.
class CListNameDlg : public CSkinDialog {
    Q_OBJECT
public:
    CListNameDlg(const QString& title, const QString& name, QWidget* parent = nullptr);
    QString Name() const;
    QLineEdit* Edit() const { return m_edit; }
    QPushButton* OkButton() const { return m_ok; }

private:
    QLineEdit* m_edit;
    QPushButton* m_ok;
};

// A message in the skin with "确定".
class CNoticeDlg : public CSkinDialog {
    Q_OBJECT
public:
    CNoticeDlg(const QString& title, const QString& text, QWidget* parent = nullptr);
    QString Text() const;
    QPushButton* OkButton() const { return m_ok; }

protected:
    QHBoxLayout* ButtonRow() const { return m_buttons; }

private:
    QLabel* m_text;
    QHBoxLayout* m_buttons;
    QPushButton* m_ok;
};

// A question with "确定" and "取消" in the skin; `accepted` when the user confirms.
class CConfirmDlg : public CNoticeDlg {
    Q_OBJECT
public:
    CConfirmDlg(const QString& title, const QString& text, QWidget* parent = nullptr);
};
