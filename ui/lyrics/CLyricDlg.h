#pragma once
#include "ui/ISkinControl.h"

#include <QWidget>

class CQvLyrics;

// The lyric panel's host in the main window's side panel: the skin's frame (its layout record's
// bitmap, nine parts with 5-pixel borders) around the panel, which fills the rest. It gives the
// panel its font and the skin's colours, again whenever the colour scheme changes.
class CLyricDlg : public QWidget, public ISkinControl {
    Q_OBJECT
public:
    static constexpr int kBorder = 5;
    static constexpr int kFontPixels = 22;

    explicit CLyricDlg(QWidget* parent = nullptr);

    void SetSkinName(const QString& name) override;
    CQvLyrics* Panel() const { return m_panel; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void TakeSkinColors();

    CQvLyrics* m_panel;
    QString m_skinName;
};
