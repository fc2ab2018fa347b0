#pragma once
#include <QAbstractButton>

#include "ui/ISkinControl.h"

// An image button. Its bitmap holds the frames normal, hover, pressed, disabled, and for a
// checkable button the same four again for the checked state. A text, when set, is drawn over
// the bitmap in a skin colour.
class CSkinButton : public QAbstractButton, public ISkinControl {
    Q_OBJECT
public:
    explicit CSkinButton(QWidget* parent = nullptr);

    void SetSkinName(const QString& name) override;
    QString SkinName() const { return m_name; }
    // Skin colour numbers of the text, unchecked and checked.
    void SetTextColors(int normal, int checked);
    // Room kept free on the left of the text (for an icon in the bitmap).
    void SetTextIndent(int pixels);
    // The frame the button shows now.
    int CurrentFrame() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* e) override;
    bool event(QEvent* e) override;

private:
    QString m_name;
    int m_textColor = 18;
    int m_checkedTextColor = 18;
    int m_indent = 0;
    bool m_hover = false;
};
