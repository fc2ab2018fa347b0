#pragma once
#include <QString>

#include <memory>

class CCatalogue;
class CServiceDb;

// The reference service: the metadata entry point with every method, the log server, the
// passport paths, the update answer, covers, lyrics and audio streams, a few pages, and the
// /_state paths through which tests look at what arrived and switch endpoints to failing
// modes. Listens on 127.0.0.1 only.
class CServiceServer {
public:
    CServiceServer(const QString& dataDir, const CCatalogue& catalogue, CServiceDb& db);
    ~CServiceServer();
    CServiceServer(const CServiceServer&) = delete;
    CServiceServer& operator=(const CServiceServer&) = delete;

    // Binds 127.0.0.1:`port` (0: a free port); returns the port bound, or -1.
    int Bind(int port);
    // Serves until Stop() (from another thread or a signal handler's thread).
    bool Listen();
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
