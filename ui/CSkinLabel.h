#pragma once
#include <QBasicTimer>
#include <QWidget>

// A line of text in a skin colour (the title line, the user name). A text wider than the
// control scrolls slowly when scrolling is on, and is cut with an ellipsis otherwise.
class CSkinLabel : public QWidget {
    Q_OBJECT
public:
    explicit CSkinLabel(QWidget* parent = nullptr);

    void SetText(const QString& text);
    QString Text() const { return m_text; }
    void SetColor(int skinColor);
    void SetAlignment(Qt::Alignment alignment);
    void SetScrolling(bool on);
    bool IsScrolling() const { return m_timer.isActive(); }

protected:
    void paintEvent(QPaintEvent* e) override;
    void timerEvent(QTimerEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void Restart();

    QString m_text;
    int m_color = 8;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
    bool m_scroll = false;
    int m_offset = 0;
    int m_pause = 0;
    QBasicTimer m_timer;
};
