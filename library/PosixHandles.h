#pragma once
#include <dirent.h>
#include <unistd.h>

#include <utility>

// Owns one open directory stream.
class DirHandle {
public:
    explicit DirHandle(const char* path) : m_dir(opendir(path)) {}
    ~DirHandle() { if (m_dir) closedir(m_dir); }
    DirHandle(const DirHandle&) = delete;
    DirHandle& operator=(const DirHandle&) = delete;
    DirHandle(DirHandle&& o) noexcept : m_dir(std::exchange(o.m_dir, nullptr)) {}
    DirHandle& operator=(DirHandle&& o) noexcept
    {
        std::swap(m_dir, o.m_dir);
        return *this;
    }
    DIR* get() const { return m_dir; }
    explicit operator bool() const { return m_dir != nullptr; }

private:
    DIR* m_dir;
};

// Owns one file descriptor (an inotify queue, an event descriptor).
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { if (m_fd >= 0) ::close(m_fd); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd(UniqueFd&& o) noexcept : m_fd(std::exchange(o.m_fd, -1)) {}
    UniqueFd& operator=(UniqueFd&& o) noexcept
    {
        std::swap(m_fd, o.m_fd);
        return *this;
    }
    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};
