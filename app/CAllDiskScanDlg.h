#pragma once
#include "app/CSkinDialog.h"

class QCheckBox;
class QPushButton;

// "添加全部": asks before the whole computer is searched for music, and whether tracks the
// user removed earlier stay out.
class CAllDiskScanDlg : public CSkinDialog {
    Q_OBJECT
public:
    explicit CAllDiskScanDlg(QWidget* parent = nullptr);

    // "忽略曾经删除的音乐", checked when the dialog opens.
    bool IgnoreDeleted() const;
    QCheckBox* IgnoreBox() const { return m_ignore; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }

    void OnCloseButton() override;

private:
    QCheckBox* m_ignore;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};
