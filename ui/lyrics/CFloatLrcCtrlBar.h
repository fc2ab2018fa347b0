#pragma once
#include <QWidget>

class CKLrcChildDlg;
class CSkinButton;
class CSkinLayout;
class QComboBox;

// The small bar over the desktop lyrics while the mouse is on them: the four colour schemes
// (the active one pressed), the font list and the close button.
class CFloatLrcCtrlBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kScheme0 = 1197; // 1197 + scheme, up to 1200
    static constexpr int kClose = 1201;
    static constexpr int kFontList = 1202;

    explicit CFloatLrcCtrlBar(CKLrcChildDlg& lyrics);

    // A command of the bar, by id, as its buttons send them.
    void OnCommand(int id);
    // Shows `scheme` pressed, `name` selected.
    void ShowScheme(int scheme);
    void SelectFont(const QString& name);
    QComboBox* FontList() const { return m_fonts; }
    CSkinButton* SchemeButton(int scheme) const;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    CKLrcChildDlg& m_lyrics;
    CSkinLayout* m_layout;
    CSkinButton* m_schemes[4] = {};
    QComboBox* m_fonts;
};
