#pragma once
#include "app/CSettingDlg.h"

class CKLrcChildDlg;
class CLyricPreviewEdit;
class QComboBox;
struct ConfigSettings;

// The lyrics page of the settings: font, size and colour scheme of the desktop lyrics with a
// preview; each change shows in the preview only (and is recorded), applying hands the three to
// the desktop lyrics. Changes made on the desktop lyrics' own bar show here too.
class CSettingLyricsDlg : public CSettingPage {
    Q_OBJECT
public:
    static constexpr int kWindow = 159;
    static constexpr int kSizes[3] = {60, 48, 36}; // "大", "中", "小"

    CSettingLyricsDlg(const ConfigSettings& settings, CKLrcChildDlg* desktop, QWidget* parent = nullptr);

    QString PageTitle() const override;
    bool Apply() override;
    // "恢复默认": "宋体", "中", the first scheme.
    void RestoreDefaults();

    QComboBox* FontList() const { return m_font; }
    QComboBox* SizeList() const { return m_size; }
    QComboBox* SchemeList() const { return m_scheme; }
    CLyricPreviewEdit* Preview() const { return m_preview; }
    QString ChosenFont() const;
    int ChosenSize() const;
    int ChosenScheme() const;

private:
    void ShowSettings(const QString& font, int size, int scheme);
    void SelectFont(const QString& font);
    void UpdatePreview();

    CKLrcChildDlg* m_desktop;
    QComboBox* m_font;
    QComboBox* m_size;
    QComboBox* m_scheme;
    CLyricPreviewEdit* m_preview;
    bool m_bShowing = false;
};
