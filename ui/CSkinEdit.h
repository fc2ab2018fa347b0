#pragma once
#include <QLineEdit>

#include "ui/ISkinControl.h"

// A text field drawn on a skin bitmap (the search box), its text in skin colours.
class CSkinEdit : public QLineEdit, public ISkinControl {
    Q_OBJECT
public:
    explicit CSkinEdit(QWidget* parent = nullptr);

    void SetSkinName(const QString& name) override;
    // Skin colour numbers of the text and of the placeholder text.
    void SetTextColors(int text, int placeholder);
    void SetPadding(int left, int right);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void Restyle();

    QString m_name;
    int m_textColor = 8;
    int m_placeholderColor = 17;
    int m_padLeft = 12;
    int m_padRight = 4;
};
