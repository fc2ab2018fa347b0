#pragma once
#include <QObject>
#include <QSize>

class CWndShadow;
class QWidget;

// Makes a top-level widget a skinned window: no system frame, its layout record's bitmap as the
// background of its contents, moved by dragging any place that no control takes, optionally
// resized at its edges, and optionally with a drop shadow around it (when the desktop composes
// see-through windows).
class CSkinFrame : public QObject {
    Q_OBJECT
public:
    enum Option { kNoOptions = 0, kShadow = 1, kResizable = 2 };

    CSkinFrame(QWidget* window, int wndId, int options);

    CWndShadow* Shadow() const { return m_shadow; }
    QString BackgroundName() const;
    // The window size for contents of `contents` (the shadow's margin added).
    QSize FrameSize(const QSize& contents) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Qt::Edges EdgesAt(const QPoint& pos) const;
    void UpdateMargins();

    QWidget* m_window;
    int m_wndId;
    int m_options;
    CWndShadow* m_shadow = nullptr;
};
