#pragma once
#include "app/CSkinDialog.h"
#include "base/MsgWindow.h"

class QProgressBar;

// The progress of a list going up to the service as a cloud group. Workers post 1126 (the
// percentage) or 1125 (done and total counts) to its target; the title tells the percentage.
class CSyncDlg : public CSkinDialog {
    Q_OBJECT
public:
    explicit CSyncDlg(QWidget* parent = nullptr);

    CMsgTarget Target() const { return m_port.Target(); }
    qintptr OnMessage(unsigned msg, quintptr wParam, qintptr lParam);
    void OnTimer(int) {}

    void SetPercent(int percent);
    int Percent() const;
    QString Title() const { return windowTitle(); }
    static QString TitleFor(int percent);

private:
    CMsgPort<CSyncDlg> m_port;
    QProgressBar* m_bar;
};
