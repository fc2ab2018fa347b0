#pragma once
#include <cstdint>

// Bytes a decoder reads from somewhere other than a local file (a download in progress).
class IByteSource {
public:
    virtual ~IByteSource() = default;
    // Up to `size` bytes at the read position: the count read, 0 at the end of the data, or -1 when
    // the read was given up (closing, or the reader was asked to do something else).
    virtual int Read(std::uint8_t* buffer, int size) = 0;
    // Moves the read position; -1 when this source cannot seek there.
    virtual std::int64_t Seek(std::int64_t position) = 0;
    // Total size in bytes, -1 when not known.
    virtual std::int64_t Size() const = 0;
    virtual bool Seekable() const = 0;
};
