#include "ui/page/PageEngine.h"

#include <QCoreApplication>
#include <QWebEngineUrlScheme>

#include <atomic>
#include <mutex>

namespace {

std::atomic<bool> g_ready {false};
std::mutex g_offlineMutex;
QString g_offlinePage;

} // namespace

void InitPageEngine()
{
    if (g_ready.exchange(true)) return;
    QWebEngineUrlScheme scheme("ordelbridge");
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    // Reachable by the service's pages, which are on another origin; the handler decides
    // which origins it answers.
    scheme.setFlags(QWebEngineUrlScheme::CorsEnabled | QWebEngineUrlScheme::SecureScheme
                    | QWebEngineUrlScheme::ContentSecurityPolicyIgnored);
    QWebEngineUrlScheme::registerScheme(scheme);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

bool PageEngineReady() { return g_ready.load(); }

void SetOfflinePagePath(const QString& path)
{
    std::lock_guard lock(g_offlineMutex);
    g_offlinePage = path;
}

QString OfflinePagePath()
{
    std::lock_guard lock(g_offlineMutex);
    return g_offlinePage;
}
