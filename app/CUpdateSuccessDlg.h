#pragma once
#include "app/CSkinDialog.h"

class QPushButton;

// Shown once at the first start after an update: the skin's "updatesuccesstips.bmp".
class CUpdateSuccessDlg : public CSkinDialog {
    Q_OBJECT
public:
    explicit CUpdateSuccessDlg(QWidget* parent = nullptr);
    QPushButton* OkButton() const { return m_ok; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QPushButton* m_ok;
};

// The about dialog: the product, its version and where it keeps its files.
class CAboutDlg : public CSkinDialog {
    Q_OBJECT
public:
    CAboutDlg(const QString& version, const QString& home, QWidget* parent = nullptr);
};
