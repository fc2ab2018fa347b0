#pragma once
#include <QImage>
#include <QWidget>

#include "ui/ISkinControl.h"

// A picture from the skin (a background, an icon, a placeholder), or a picture of the program's
// own (a cover) drawn in its place; the skin bitmap returns when that picture is cleared.
class CSkinPicture : public QWidget, public ISkinControl {
    Q_OBJECT
public:
    explicit CSkinPicture(QWidget* parent = nullptr);

    void SetSkinName(const QString& name) override;
    QString SkinName() const { return m_name; }
    void SetFrame(int frame);
    int Frame() const { return m_frame; }
    // Shown scaled to fill the control, cut to rounded corners of `cornerRadius`.
    void SetImage(const QImage& image);
    // The program's picture shown; null while the skin's shows.
    const QImage& Image() const { return m_image; }
    void SetCornerRadius(int radius);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QString m_name;
    int m_frame = 0;
    QImage m_image;
    int m_radius = 0;
};
