#pragma once
#include <taglib/tbytevector.h>
#include <taglib/tiostream.h>

#include <string>

// An audio file opened to read its tags: the library parses through this stream instead of a
// buffered file. The library's own stream moves the file position and asks the file's size
// again and again (about thirty calls into the system for one small MP3); this one reads at
// the position it keeps itself, takes the size once, and keeps the last blocks read, since the
// parse reads the start and the end of a file several times over. Nothing can be written.
class CFileReadStream final : public TagLib::IOStream {
public:
    // Takes `fd`, an open regular file of `size` bytes, and closes it when it goes.
    CFileReadStream(int fd, long size, std::string name);
    ~CFileReadStream() override;
    CFileReadStream(const CFileReadStream&) = delete;
    CFileReadStream& operator=(const CFileReadStream&) = delete;

    TagLib::FileName name() const override { return m_name.c_str(); }
    TagLib::ByteVector readBlock(unsigned long length) override;
    void writeBlock(const TagLib::ByteVector&) override {}
    void insert(const TagLib::ByteVector&, unsigned long = 0, unsigned long = 0) override {}
    void removeBlock(unsigned long = 0, unsigned long = 0) override {}
    bool readOnly() const override { return true; }
    bool isOpen() const override { return m_fd >= 0; }
    void seek(long offset, Position p = Beginning) override;
    long tell() const override { return m_pos; }
    long length() override { return m_size; }
    void truncate(long) override {}

private:
    // Bytes read at once for a shorter request: the parse asks for a few bytes at a time.
    static constexpr long kChunk = 4096;
    // Blocks up to this size are kept for a later read of the same bytes.
    static constexpr long kKeptBlock = 64 * 1024;

    struct Block {
        long offset = -1;
        TagLib::ByteVector bytes;
    };
    // The bytes at [from, from + count) as one kept block reads them, or false.
    bool FromKept(long from, long count, TagLib::ByteVector& out) const;
    TagLib::ByteVector ReadAt(long from, long count) const;

    int m_fd;
    long m_size;
    long m_pos = 0;
    std::string m_name;
    Block m_kept[2];
    int m_older = 0; // the block a new one replaces
};
