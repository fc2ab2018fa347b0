#pragma once
#include "app/CSkinDialog.h"

class QCheckBox;
class QPushButton;

// "成功添加音乐": how many tracks a scan added; "不再提示" keeps it from showing again.
class CAddMusicDoneDlg : public CSkinDialog {
    Q_OBJECT
public:
    CAddMusicDoneDlg(int count, QWidget* parent = nullptr);

    bool DontShowAgain() const;
    QString Text() const;
    QCheckBox* DontShowBox() const { return m_dontShow; }
    QPushButton* OkButton() const { return m_ok; }

private:
    QString m_text;
    QCheckBox* m_dontShow;
    QPushButton* m_ok;
};
