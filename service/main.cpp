// ordel-service [--port N] [--data DIR]: the reference service the player talks to.
#include "service/CServiceServer.h"
#include "service/Catalogue.h"
#include "service/ServiceDb.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

#include <csignal>
#include <cstdio>
#include <thread>

namespace {

constexpr int kDefaultPort = 8080; // the port the shipped "server.xml" and "Info.ini" name

CServiceServer* g_server = nullptr;

void Usage()
{
    std::fprintf(stderr, "usage: ordel-service [--port N] [--data DIR]\n"
                         "  --port N   port on 127.0.0.1 (default %d; 0 picks a free one)\n"
                         "  --data DIR folder of the catalogue and the request database\n",
                 kDefaultPort);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int port = kDefaultPort;
    QString dataDir;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--port") && i + 1 < args.size()) {
            bool ok = false;
            port = args[++i].toInt(&ok);
            if (!ok || port < 0 || port > 65535) {
                Usage();
                return 2;
            }
        } else if (args[i] == QLatin1String("--data") && i + 1 < args.size()) {
            dataDir = args[++i];
        } else {
            Usage();
            return 2;
        }
    }
    if (dataDir.isEmpty())
        dataDir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/ordel-service");
    if (!QDir().mkpath(dataDir)) {
        std::fprintf(stderr, "ordel-service: cannot create %s\n", qPrintable(dataDir));
        return 1;
    }
    dataDir = QDir(dataDir).absolutePath();

    CCatalogue catalogue;
    QString error;
    if (!catalogue.Generate(dataDir, &error)) {
        std::fprintf(stderr, "ordel-service: %s\n", qPrintable(error));
        return 1;
    }
    CServiceDb db;
    if (!db.Open(dataDir + QStringLiteral("/service.db"), &error)) {
        std::fprintf(stderr, "ordel-service: %s\n", qPrintable(error));
        return 1;
    }
    CServiceServer server(dataDir, catalogue, db);
    const int bound = server.Bind(port);
    if (bound < 0) {
        std::fprintf(stderr, "ordel-service: cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    g_server = &server;
    std::signal(SIGINT, [](int) { if (g_server) g_server->Stop(); });
    std::signal(SIGTERM, [](int) { if (g_server) g_server->Stop(); });
    std::printf("ordel-service listening on 127.0.0.1:%d\n", bound);
    std::fflush(stdout);
    server.Listen();
    g_server = nullptr;
    return 0;
}
