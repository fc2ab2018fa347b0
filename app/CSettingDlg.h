#pragma once
#include <QDialog>

class QListWidget;
class QStackedWidget;

// One page of the settings dialog: it shows the settings when made and applies what it shows;
// false when what it shows cannot be taken (it has told the user why).
class CSettingPage : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    virtual QString PageTitle() const = 0;
    virtual bool Apply() = 0;
};

// The settings dialog ("设置"): a list of pages beside the page chosen, and "确定", "取消" and
// "应用" under them. Pages are added by whoever opens it; each applies its own settings.
class CSettingDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSettingDlg(QWidget* parent = nullptr);

    // Takes `page` (the dialog owns it); the first page added shows first.
    void AddPage(CSettingPage* page);
    int PageCount() const;
    CSettingPage* Page(int index) const;
    void ShowPage(int index);
    void ShowPage(CSettingPage* page);
    // "应用": every page applies what it shows; "确定" applies and closes unless a page refused,
    // which is then shown.
    bool ApplyAll();

private:
    QListWidget* m_list;
    QStackedWidget* m_pages;
};
