#pragma once
#include <QWidget>

#include "ui/ISkinControl.h"

// A time or number drawn from a digit bitmap whose frames are "0123456789:-" (the play times
// "03:25" and "-01:10"). Other characters leave a blank of one cell.
class CSkinNumText : public QWidget, public ISkinControl {
    Q_OBJECT
public:
    explicit CSkinNumText(QWidget* parent = nullptr);

    void SetSkinName(const QString& name) override;
    void SetText(const QString& text);
    QString Text() const { return m_text; }
    void SetAlignment(Qt::Alignment alignment); // left (default), right or centre

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QString m_name;
    QString m_text;
    Qt::Alignment m_alignment = Qt::AlignLeft;
};
