#pragma once
#include "base/MsgWindow.h"

#include <QElapsedTimer>
#include <QWebEngineView>

#include <memory>

class CPageBridge;
class IPageHost;

// The view of the service's pages: the content and search area of the main window, the banner
// and the sign-in dialog's page. It appends the page style when asked, catches the player's own
// "selfopt://" addresses, gives the pages `window.external` (answered only for the service's
// own origins), reports the sign-in result, and shows the shipped offline page when a page
// cannot be loaded.
class CFixedHtmlView : public QWebEngineView {
    Q_OBJECT
public:
    // What the right button offers: 0 nothing, 1 the default menu everywhere, 2 only on
    // editable fields and selected text, 3 only on selected text.
    enum ContextMenuMode { kMenuNone = 0, kMenuDefault = 1, kMenuControlsAndText = 2, kMenuTextOnly = 3 };

    explicit CFixedHtmlView(IPageHost* host, QWidget* parent = nullptr);
    ~CFixedHtmlView() override;

    // Loads `url`; an address equal to the last one (ignoring case) loads again only when the
    // style flag is set. With the flag the skin's style pair is appended.
    void Navigate(const QString& url);
    // The skin index for the style pair; the last address is loaded again in the new style.
    void SetPageStyle(int skin);
    void SetStyleFlag(bool on) { m_bStyle = on; }
    bool StyleFlag() const { return m_bStyle; }
    int PageStyle() const { return m_nSkin; }
    QString LastUrl() const { return m_strLastUrl; }
    // The address of the document shown (after it completed).
    QString CurrentUrl() const { return m_strCurrentUrl; }
    void SetContextMenuMode(int mode) { m_nMenuMode = mode; }
    int ContextMenuMode() const { return m_nMenuMode; }
    // Where the sign-in result goes (WM_LOGIN_RESULT with a pointer to the text in wParam).
    void SetLoginTarget(const CMsgTarget& target) { m_loginTarget = target; }
    // The last time Enter was pressed in the page (high-resolution clock, ms); -1 never.
    qint64 EnterTime() const;
    // Top-level navigations started so far (tests count reloads with it).
    int NavigationCount() const { return m_nNavigations; }

    // The upload manager's notification, passed to the page's "OnStateChange" (progress, "1"
    // for progress or "0" for the end of the job, Gid); one without a Gid is dropped.
    void NotifyUpload(int progress, int kind, const QString& gid);

    CPageBridge* Bridge() const { return m_pBridge.get(); }
    // The view a bridge call with this id came from (null when it is gone).
    static CFixedHtmlView* FromId(int id);
    // Whether an origin ("http://host:port") is one of the service's.
    static bool IsServiceOrigin(const QString& origin);

signals:
    // A top-level document has completed (the address recorded in CurrentUrl).
    void DocumentComplete(const QString& url);
    // The offline page replaced a page that could not load.
    void PageFailed(const QString& url);

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    QWebEngineView* createWindow(QWebEnginePage::WebWindowType type) override;

private:
    class Page;
    friend class Page;
    void Load(const QString& url);
    void OnLoadFinished(bool ok);
    void OnLoadFailed(const QUrl& url);
    bool BeforeNavigate(const QUrl& url, bool mainFrame);
    void InstallBridgeScript();
    bool FilterKey(QKeyEvent* e);

    IPageHost* m_pHost;
    std::unique_ptr<CPageBridge> m_pBridge;
    CMsgTarget m_loginTarget;
    int m_nId = 0;
    QString m_strLastUrl;
    QString m_strCurrentUrl;
    bool m_bStyle = false;
    int m_nSkin = 0;
    int m_nMenuMode = kMenuDefault;
    int m_nNavigations = 0;
    QElapsedTimer m_clock;
    qint64 m_nEnterTime = -1;
};
