#pragma once
#include "app/CSkinDialog.h"

class QCheckBox;

// "添加成功": where the songs a page added can be found, with "下次不再提示".
class CNetAddMsgDlg : public CSkinDialog {
    Q_OBJECT
public:
    explicit CNetAddMsgDlg(QWidget* parent = nullptr);
    // The "showaddnetmsg" setting that the check box leaves: 0 once it is ticked.
    int ShowAgainSetting() const;
    QCheckBox* DontShowBox() const { return m_dontShow; }

private:
    QCheckBox* m_dontShow;
};
