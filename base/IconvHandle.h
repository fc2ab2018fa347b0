#pragma once
#include <iconv.h>

// Owns one iconv conversion descriptor.
class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~IconvHandle() { if (valid()) iconv_close(m_cd); }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    IconvHandle(IconvHandle&& o) noexcept : m_cd(o.m_cd) { o.m_cd = reinterpret_cast<iconv_t>(-1); }
    IconvHandle& operator=(IconvHandle&& o) noexcept {
        if (this != &o) {
            if (valid()) iconv_close(m_cd);
            m_cd = o.m_cd;
            o.m_cd = reinterpret_cast<iconv_t>(-1);
        }
        return *this;
    }
    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return m_cd; }

private:
    iconv_t m_cd;
};
