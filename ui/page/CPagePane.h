#pragma once
#include <QPointer>
#include <QString>
#include <QWidget>

class CFixedHtmlView;
class IPageHost;
class QLabel;

// A place in a window where a page shows: the page view is made the first time a page opens,
// so a window that never shows one never starts the engine. Without the engine (a process that
// did not prepare it) the pane shows the address it was asked for as plain text.
class CPagePane : public QWidget {
    Q_OBJECT
public:
    CPagePane(IPageHost* host, bool styled, QWidget* parent = nullptr);

    // Opens `url` (Navigate of the view); an empty address shows the offline page.
    void Open(const QString& url);
    // The page style of the view, now and for the view made later.
    void SetPageStyle(int skin);
    void SetContextMenuMode(int mode);
    // The view; made now when it does not exist yet (null without the engine).
    CFixedHtmlView* View();
    CFixedHtmlView* ExistingView() const { return m_view; }
    // The address last asked for.
    QString RequestedUrl() const { return m_strUrl; }

signals:
    // The view has just been made (the window connects what it needs).
    void ViewCreated(CFixedHtmlView* view);

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    IPageHost* m_pHost;
    bool m_bStyled;
    int m_nSkin = 0;
    int m_nMenuMode = 1;
    QString m_strUrl;
    QPointer<CFixedHtmlView> m_view;
    QLabel* m_placeholder = nullptr;
};
