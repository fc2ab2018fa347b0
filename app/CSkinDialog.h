#pragma once
#include <QDialog>

class CSkinFrame;
class QLabel;
class QVBoxLayout;

// A dialog in the skin: no system frame, a caption bar in the scheme's colour with the title
// and a close button, a white body, moved by dragging, and a drop shadow where the desktop
// composes see-through windows. Subclasses fill Body().
class CSkinDialog : public QDialog {
    Q_OBJECT
public:
    CSkinDialog(const QString& title, QWidget* parent = nullptr);

    QWidget* Body() const { return m_body; }
    // The caption bar's text (and the window's title).
    void SetTitle(const QString& title);
    // The close button of the caption bar: rejects unless a subclass handles it.
    virtual void OnCloseButton();

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    CSkinFrame* m_frame;
    QLabel* m_title;
    QWidget* m_body;
};

// A message for the user with an OK button, over `parent`, not blocking the caller; the box
// deletes itself when closed.
class QMessageBox;
QMessageBox* ShowNotice(QWidget* parent, const QString& text, const QString& caption);
