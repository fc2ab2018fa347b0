#include "model/CFileReadStream.h"

#include <algorithm>
#include <cerrno>

#include <unistd.h>

CFileReadStream::CFileReadStream(int fd, long size, std::string name)
    : m_fd(fd), m_size(std::max(size, 0L)), m_name(std::move(name))
{
}

CFileReadStream::~CFileReadStream()
{
    if (m_fd >= 0) ::close(m_fd);
}

bool CFileReadStream::FromKept(long from, long count, TagLib::ByteVector& out) const
{
    for (const Block& block : m_kept) {
        if (block.offset < 0 || from < block.offset || from + count > block.offset + long(block.bytes.size())) continue;
        // Shares the kept bytes.
        out = block.bytes.mid(static_cast<unsigned>(from - block.offset), static_cast<unsigned>(count));
        return true;
    }
    return false;
}

TagLib::ByteVector CFileReadStream::ReadAt(long from, long count) const
{
    TagLib::ByteVector bytes(static_cast<unsigned>(count), 0);
    long done = 0;
    while (done < count) {
        const ssize_t n = ::pread(m_fd, bytes.data() + done, size_t(count - done), off_t(from + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    bytes.resize(static_cast<unsigned>(done));
    return bytes;
}

TagLib::ByteVector CFileReadStream::readBlock(unsigned long length)
{
    if (!isOpen() || length == 0 || m_pos >= m_size) return TagLib::ByteVector();
    // Never more than the file holds, whatever a damaged header asks for.
    const long count = long(std::min<unsigned long>(length, static_cast<unsigned long>(m_size - m_pos)));
    TagLib::ByteVector out;
    if (!FromKept(m_pos, count, out)) {
        const long read = std::max(count, std::min(kChunk, m_size - m_pos));
        TagLib::ByteVector bytes = ReadAt(m_pos, read);
        if (read <= kKeptBlock) {
            m_kept[m_older] = {m_pos, bytes};
            m_older = 1 - m_older;
        }
        out = read == count ? bytes : bytes.mid(0, static_cast<unsigned>(count));
    }
    m_pos += long(out.size());
    return out;
}

void CFileReadStream::seek(long offset, Position p)
{
    const long to = p == Beginning ? offset : p == Current ? m_pos + offset : m_size + offset;
    // A place before the start is refused, as a file refuses it.
    if (to >= 0) m_pos = to;
}
