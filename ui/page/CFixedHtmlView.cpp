#include "ui/page/CFixedHtmlView.h"

#include "base/MessageIds.h"
#include "net/ServiceAddress.h"
#include "ui/page/CPageBridge.h"
#include "ui/page/IPageHost.h"
#include "ui/page/PageEngine.h"
#include "ui/page/PageText.h"

#include <QBuffer>
#include <QChildEvent>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHash>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QUrlQuery>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlSchemeHandler>

namespace {

constexpr const char* kBridgeScheme = "ordelbridge";
constexpr int kAbortedError = -3; // a navigation replaced by another one

QHash<int, QPointer<CFixedHtmlView>>& Views()
{
    static QHash<int, QPointer<CFixedHtmlView>> views;
    return views;
}

// Answers the pages' synchronous bridge calls on the interface thread:
// "ordelbridge:call?v=<view>&m=<method>&a=<JSON array of the arguments>" gives {"r": result}.
// A call from any origin but the service's is refused and reaches nothing.
class CBridgeSchemeHandler : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

    void requestStarted(QWebEngineUrlRequestJob* job) override
    {
        const QString origin = OriginOf(job->initiator().toString());
        const QUrlQuery query(job->requestUrl());
        CFixedHtmlView* view = CFixedHtmlView::FromId(query.queryItemValue(QStringLiteral("v")).toInt());
        if (!view || !view->Bridge() || !CFixedHtmlView::IsServiceOrigin(origin)) {
            job->fail(QWebEngineUrlRequestJob::RequestDenied);
            return;
        }
        const QJsonDocument args =
            QJsonDocument::fromJson(query.queryItemValue(QStringLiteral("a"), QUrl::FullyDecoded).toUtf8());
        const QString method = query.queryItemValue(QStringLiteral("m"));
        bool known = false;
        QJsonValue result;
        if (method == QLatin1String("selfopt")) {
            // A click on one of the player's own links (see the page script).
            known = true;
            const QString href = args.array().at(0).toString();
            if (IsSelfOptUrl(href)) view->Bridge()->RunSelfOpt(href);
            result = 0;
        } else {
            result = view->Bridge()->Call(method, args.array(), &known);
        }
        if (!known) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        QJsonObject reply;
        reply.insert(QStringLiteral("r"), result);
        auto* body = new QBuffer(job);
        body->setData(QJsonDocument(reply).toJson(QJsonDocument::Compact));
        body->open(QIODevice::ReadOnly);
        job->reply("application/json", body);
    }
};

void InstallBridgeHandler()
{
    static CBridgeSchemeHandler* handler = nullptr;
    if (handler) return;
    handler = new CBridgeSchemeHandler(QWebEngineProfile::defaultProfile());
    QWebEngineProfile::defaultProfile()->installUrlSchemeHandler(kBridgeScheme, handler);
}

// `window.external` of the pages: each method a synchronous request to the bridge scheme.
QString BridgeScript(int viewId)
{
    QString names;
    for (const QString& name : CPageBridge::MethodNames()) names += QLatin1Char('\'') + name + QStringLiteral("',");
    return QStringLiteral(R"JS((function () {
  var view = %1;
  function call(method, args) {
    try {
      var x = new XMLHttpRequest();
      x.open('GET', 'ordelbridge:call?v=' + view + '&m=' + method + '&a=' +
             encodeURIComponent(JSON.stringify(Array.prototype.slice.call(args))), false);
      x.send();
      if (x.status !== 200) return undefined;
      return JSON.parse(x.responseText).r;
    } catch (e) {
      return undefined;
    }
  }
  var external = {};
  [%2].forEach(function (name) {
    external[name] = function () { return call(name, arguments); };
  });
  try {
    Object.defineProperty(window, 'external', { value: external, configurable: true, writable: true });
  } catch (e) {
    window.external = external;
  }
  // The player's own links ("selfopt://{play^...}") are no addresses a browser can parse: they
  // are taken as written and handed over, and the page stays.
  document.addEventListener('click', function (e) {
    var a = e.target && e.target.closest ? e.target.closest('a[href]') : null;
    if (!a) return;
    var href = a.getAttribute('href') || '';
    if (!/^selfopt:\/\//i.test(href)) return;
    e.preventDefault();
    call('selfopt', [href]);
  }, true);
})();)JS")
        .arg(viewId)
        .arg(names);
}

QString JsString(const QString& text)
{
    const QByteArray json = QJsonDocument(QJsonArray {text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

} // namespace

// The navigation hooks and new windows of the view's page.
class CFixedHtmlView::Page : public QWebEnginePage {
public:
    Page(CFixedHtmlView& view) : QWebEnginePage(QWebEngineProfile::defaultProfile(), &view), m_view(view) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override
    {
        return m_view.BeforeNavigate(url, isMainFrame);
    }

private:
    CFixedHtmlView& m_view;
};

// ---- construction -----------------------------------------------------------------------

CFixedHtmlView::CFixedHtmlView(IPageHost* host, QWidget* parent) : QWebEngineView(parent), m_pHost(host)
{
    static int nextId = 0;
    m_nId = ++nextId;
    Views().insert(m_nId, this);
    m_clock.start();
    if (host) m_pBridge = std::make_unique<CPageBridge>(*host);
    InstallBridgeHandler();
    setPage(new Page(*this));
    InstallBridgeScript();
    setAcceptDrops(true);
    connect(page(), &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus && info.errorCode() != kAbortedError)
            OnLoadFailed(info.url());
    });
    connect(this, &QWebEngineView::loadFinished, this, &CFixedHtmlView::OnLoadFinished);
}

CFixedHtmlView::~CFixedHtmlView() { Views().remove(m_nId); }

CFixedHtmlView* CFixedHtmlView::FromId(int id) { return Views().value(id); }

bool CFixedHtmlView::IsServiceOrigin(const QString& origin)
{
    if (origin.isEmpty()) return false;
    return origin == OriginOf(MetadataEntryUrl()) || origin == OriginOf(PassportUrl(QStringLiteral("/")));
}

void CFixedHtmlView::InstallBridgeScript()
{
    QWebEngineScript script;
    script.setName(QStringLiteral("ordel-external"));
    script.setSourceCode(BridgeScript(m_nId));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(true);
    page()->scripts().insert(script);
}

// ---- navigation -------------------------------------------------------------------------

void CFixedHtmlView::Navigate(const QString& url)
{
    if (!m_bStyle && url.compare(m_strLastUrl, Qt::CaseInsensitive) == 0) return;
    m_strLastUrl = url;
    Load(m_bStyle ? AppendPageStyle(url, m_nSkin) : url);
}

void CFixedHtmlView::SetPageStyle(int skin)
{
    m_nSkin = skin;
    if (!m_strLastUrl.isEmpty()) Load(m_bStyle ? AppendPageStyle(m_strLastUrl, m_nSkin) : m_strLastUrl);
}

void CFixedHtmlView::Load(const QString& url)
{
    ++m_nNavigations;
    load(QUrl(url));
}

bool CFixedHtmlView::BeforeNavigate(const QUrl& url, bool mainFrame)
{
    // What the engine cannot express as an address (a "selfopt://" one reached some other way
    // than a link) goes nowhere.
    if (!url.isValid()) return false;
    const QString text = url.toString();
    if (IsSelfOptUrl(text)) {
        // The player's own address: never a page. Only the service's pages may use it.
        if (m_pBridge && IsServiceOrigin(OriginOf(page()->url().toString()))) m_pBridge->RunSelfOpt(text);
        return false;
    }
    if (text.startsWith(QLatin1String("res://"), Qt::CaseInsensitive)) return false;
    if (mainFrame && m_pBridge) m_pBridge->NewNavigation();
    return true;
}

void CFixedHtmlView::OnLoadFinished(bool ok)
{
    // A refused navigation completes too, without an address: the document did not change.
    if (!ok || !url().isValid() || url().isEmpty()) return;
    m_strCurrentUrl = url().toString();
    const qsizetype at = m_strCurrentUrl.indexOf(QLatin1String("loginResult.do?Response="));
    if (at > 0) {
        QString result = m_strCurrentUrl.mid(m_strCurrentUrl.indexOf(QLatin1String("Response="), at) + 9);
        result = QUrl::fromPercentEncoding(result.toUtf8());
        m_loginTarget.SendMessage(WM_LOGIN_RESULT, reinterpret_cast<quintptr>(&result));
    }
    emit DocumentComplete(m_strCurrentUrl);
}

void CFixedHtmlView::OnLoadFailed(const QUrl& failed)
{
    const QString offline = OfflinePagePath();
    if (offline.isEmpty() || failed.isLocalFile()) return;
    QUrl page = QUrl::fromLocalFile(offline);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("retry"), QString::fromLatin1(QUrl::toPercentEncoding(failed.toString())));
    page.setQuery(query);
    load(page);
    emit PageFailed(failed.toString());
}

// ---- the page's script ------------------------------------------------------------------

void CFixedHtmlView::NotifyUpload(int progress, int kind, const QString& gid)
{
    if (gid.isEmpty()) return;
    page()->runJavaScript(QStringLiteral("if (typeof OnStateChange === 'function') OnStateChange(%1, %2, %3);")
                              .arg(JsString(QString::number(progress)), JsString(QString::number(kind)), JsString(gid)));
}

// ---- keys, drops, menus, windows --------------------------------------------------------

qint64 CFixedHtmlView::EnterTime() const { return m_nEnterTime; }

bool CFixedHtmlView::event(QEvent* e)
{
    // The page's widget is made by the engine; keys and drops are looked at on their way to it.
    if (e->type() == QEvent::ChildPolished) {
        if (QObject* child = static_cast<QChildEvent*>(e)->child(); child && child->isWidgetType())
            child->installEventFilter(this);
    }
    return QWebEngineView::event(e);
}

bool CFixedHtmlView::FilterKey(QKeyEvent* e)
{
    const int key = e->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        m_nEnterTime = m_clock.elapsed();
        return false;
    }
    bool withheld = key == Qt::Key_Escape || (key >= Qt::Key_F1 && key <= Qt::Key_F12);
    if (e->modifiers() & Qt::ControlModifier) {
        switch (key) {
        case Qt::Key_Control:
        case Qt::Key_C:
        case Qt::Key_X:
        case Qt::Key_V:
        case Qt::Key_Z:
        case Qt::Key_Insert:
            break;
        default:
            withheld = true;
            break;
        }
    }
    return withheld;
}

bool CFixedHtmlView::eventFilter(QObject* watched, QEvent* e)
{
    switch (e->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress: {
        // Keys the page does not get go to the window (its shortcuts) instead.
        auto* key = static_cast<QKeyEvent*>(e);
        if (!FilterKey(key)) break;
        if (e->type() == QEvent::KeyPress && window() != this) {
            QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text());
            QCoreApplication::sendEvent(window(), &copy);
        }
        return true;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(e);
        if (m_pHost && drag->mimeData()->hasUrls()) {
            drag->acceptProposedAction();
            return true;
        }
        break;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(e);
        if (m_pHost && drop->mimeData()->hasUrls()) {
            m_pHost->DropOnPage(drop->mimeData());
            drop->acceptProposedAction();
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QWebEngineView::eventFilter(watched, e);
}

void CFixedHtmlView::contextMenuEvent(QContextMenuEvent* e)
{
    const QWebEngineContextMenuRequest* request = lastContextMenuRequest();
    bool show = false;
    switch (m_nMenuMode) {
    case kMenuNone: show = false; break;
    case kMenuDefault: show = true; break;
    case kMenuControlsAndText:
        show = request && (request->isContentEditable() || !request->selectedText().isEmpty());
        break;
    default:
        show = request && !request->selectedText().isEmpty();
        break;
    }
    if (!show) {
        e->accept();
        return;
    }
    QMenu* menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(e->globalPos());
}

QWebEngineView* CFixedHtmlView::createWindow(QWebEnginePage::WebWindowType)
{
    // A page's new window opens; it is the page's own, without the player's style.
    auto* view = new CFixedHtmlView(m_pHost);
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->resize(900, 640);
    view->show();
    return view;
}
