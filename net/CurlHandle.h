#pragma once
#include <curl/curl.h>

#include <utility>

// Once per process, before the first handle.
void CurlGlobalInit();

// Owns one libcurl easy handle.
class CurlEasy {
public:
    CurlEasy() : m_p((CurlGlobalInit(), curl_easy_init())) {}
    ~CurlEasy() { if (m_p) curl_easy_cleanup(m_p); }
    CurlEasy(const CurlEasy&) = delete;
    CurlEasy& operator=(const CurlEasy&) = delete;
    CurlEasy(CurlEasy&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    CurlEasy& operator=(CurlEasy&& o) noexcept { std::swap(m_p, o.m_p); return *this; }
    CURL* get() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

private:
    CURL* m_p;
};

// Owns one libcurl header list.
class CurlHeaders {
public:
    CurlHeaders() = default;
    ~CurlHeaders() { if (m_p) curl_slist_free_all(m_p); }
    CurlHeaders(const CurlHeaders&) = delete;
    CurlHeaders& operator=(const CurlHeaders&) = delete;
    CurlHeaders(CurlHeaders&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    CurlHeaders& operator=(CurlHeaders&& o) noexcept { std::swap(m_p, o.m_p); return *this; }
    void Append(const char* line)
    {
        if (curl_slist* n = curl_slist_append(m_p, line)) m_p = n;
    }
    curl_slist* get() const { return m_p; }

private:
    curl_slist* m_p = nullptr;
};
