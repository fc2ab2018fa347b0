#pragma once
// An HTTP server on 127.0.0.1 for the stream tests: serves bytes whole, slowly, without a length,
// partly then hanging up, partly then stalling, or not at all until released.
#include <httplib.h>

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CTestHttpServer {
public:
    CTestHttpServer()
    {
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }
    ~CTestHttpServer()
    {
        {
            std::lock_guard lock(m_gateMutex);
            m_released = true;
            m_stopping = true;
        }
        m_gate.notify_all();
        m_server.stop();
        if (m_thread.joinable()) m_thread.join();
    }

    QString Url(const char* path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path); }
    int Port() const { return m_port; }

    // The whole body at once, with its length.
    void Whole(const char* path, QByteArray body, const char* type = "audio/mpeg")
    {
        m_server.Get(path, [this, body, type](const httplib::Request& req, httplib::Response& res) {
            Seen(req.path);
            res.set_content(body.constData(), static_cast<size_t>(body.size()), type);
        });
    }

    // With its length, `first` bytes at once, then `piece` bytes every `every`.
    void Slow(const char* path, QByteArray body, int first, int piece, std::chrono::milliseconds every)
    {
        m_server.Get(path, [=, this](const httplib::Request& req, httplib::Response& res) {
            Seen(req.path);
            res.set_content_provider(static_cast<size_t>(body.size()), "audio/mpeg",
                [=, this](size_t offset, size_t, httplib::DataSink& sink) {
                    if (offset > 0 && !Pause(every)) return false;
                    const size_t n = std::min<size_t>(offset == 0 ? first : piece, body.size() - offset);
                    return sink.write(body.constData() + offset, n);
                });
        });
    }

    // Without a length (chunked), in pieces of `piece` bytes.
    void Unsized(const char* path, QByteArray body, int piece = 8192)
    {
        m_server.Get(path, [=, this](const httplib::Request& req, httplib::Response& res) {
            Seen(req.path);
            res.set_chunked_content_provider("audio/mpeg", [=](size_t offset, httplib::DataSink& sink) {
                if (offset >= static_cast<size_t>(body.size())) {
                    sink.done();
                    return true;
                }
                const size_t n = std::min<size_t>(piece, body.size() - offset);
                return sink.write(body.constData() + offset, n);
            });
        });
    }

    // Announces the whole length, sends `sent` bytes, then hangs up (`stall` false) or keeps the
    // connection open without sending anything more until the server ends (`stall` true).
    void Partial(const char* path, QByteArray body, int sent, bool stall)
    {
        m_server.Get(path, [=, this](const httplib::Request& req, httplib::Response& res) {
            Seen(req.path);
            res.set_content_provider(static_cast<size_t>(body.size()), "audio/mpeg",
                [=, this](size_t offset, size_t, httplib::DataSink& sink) {
                    if (offset < static_cast<size_t>(sent)) return sink.write(body.constData() + offset, sent - offset);
                    if (stall) {
                        while (Pause(std::chrono::milliseconds(20))) {
                            if (!sink.is_writable()) return false;
                        }
                    }
                    return false;
                });
        });
    }

    // Answers only once Release is called (or the server ends).
    void Gated(const char* path, QByteArray body)
    {
        m_server.Get(path, [=, this](const httplib::Request& req, httplib::Response& res) {
            Seen(req.path);
            std::unique_lock lock(m_gateMutex);
            m_gate.wait(lock, [&] { return m_released || m_stopping.load(); });
            res.set_content(body.constData(), static_cast<size_t>(body.size()), "audio/mpeg");
        });
    }
    void Release()
    {
        {
            std::lock_guard lock(m_gateMutex);
            m_released = true;
        }
        m_gate.notify_all();
    }

    void Status(const char* path, int status, const std::string& body = std::string(), const char* type = "text/html")
    {
        m_server.Get(path, [=, this](const httplib::Request& req, httplib::Response& res) {
            Seen(req.path);
            res.status = status;
            res.set_content(body, type);
        });
    }

    std::vector<std::string> Requests() const
    {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

private:
    void Seen(const std::string& path)
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(path);
    }
    // Sleeps, or returns false at once when the server is ending.
    bool Pause(std::chrono::milliseconds ms)
    {
        std::unique_lock lock(m_gateMutex);
        return !m_gate.wait_for(lock, ms, [&] { return m_stopping.load(); });
    }

    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stopping {false};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::mutex m_gateMutex;
    std::condition_variable m_gate;
    bool m_released = false;
};
