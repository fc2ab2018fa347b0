#pragma once
#include "app/CSkinDialog.h"

struct ConfigSettings;
class QAbstractButton;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The welcome dialog of a first start with an empty library: add all music on the computer, or
// the music of one folder. " 确定" switches the start-up scan on (with every drive, or with the
// folder first in the search paths), "取消" switches it off.
class CFirstSearchDlg : public CSkinDialog {
    Q_OBJECT
public:
    CFirstSearchDlg(ConfigSettings& settings, QWidget* parent = nullptr);

    // The folder field (the browse button fills it from the folder chooser).
    void SetFolder(const QString& folder);
    QRadioButton* AllButton() const { return m_all; }
    QRadioButton* FolderButton() const { return m_folder; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }

    void OnCloseButton() override;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void OnChoice();
    void OnBrowse();
    void OnOk();
    void OnCancel();
    void UpdateOk();

    ConfigSettings& m_settings;
    QRadioButton* m_all;
    QRadioButton* m_folder;
    QLineEdit* m_path;
    QPushButton* m_browse;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};
