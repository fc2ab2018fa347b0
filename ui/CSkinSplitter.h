#pragma once
#include <QSplitter>

// A two-pane splitter that keeps its position in the application profile. Splitter number N
// with a vertical bar (panes left and right) keeps the left pane's width as "VertSplitPos" in
// section "splt\init_v<N>"; with a horizontal bar (panes above and below) the lower pane's
// height as "HorizSplitPos" in "splt\init_h<N>". Without a saved position it starts at twice
// the initial size its creator gives. The position is written back when the splitter goes,
// unless the pane is empty (it was never shown).
class CSkinSplitter : public QSplitter {
    Q_OBJECT
public:
    enum Bar { kVerticalBar, kHorizontalBar };

    CSkinSplitter(int number, Bar bar, int initialSize, const QString& profilePath, QWidget* parent = nullptr);
    ~CSkinSplitter() override;

    // The two panes; the remembered one keeps its size when the splitter grows.
    void SetPanes(QWidget* first, QWidget* second);
    // The left pane's width or the lower pane's height now (before the first showing: the
    // position it will take).
    int Position() const;

    static QString SectionName(int number, Bar bar);
    static QString EntryName(Bar bar);

protected:
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void ApplyPosition();

    int m_number;
    Bar m_bar;
    QString m_profilePath;
    int m_position;
    bool m_applied = false;
};
