#pragma once
// One owning type per FFmpeg handle, for the engine, the reference service and the test
// fixtures. Header only; the calls go through the libraries FfmpegLibrary.h loads on first use.
// Include it only in source files (it pulls in the FFmpeg headers).
#include "base/FfmpegLibrary.h"

#include <memory>

namespace ffmpeg {

struct FormatContextFree {
    // An input context that was opened is closed; one that never was is only freed.
    void operator()(AVFormatContext* p) const { Av().avformat_close_input(&p); }
};
using FormatContext = std::unique_ptr<AVFormatContext, FormatContextFree>;

// A muxer's context; its I/O context, when custom, is owned by the caller.
struct OutputContextFree {
    void operator()(AVFormatContext* p) const { Av().avformat_free_context(p); }
};
using OutputContext = std::unique_ptr<AVFormatContext, OutputContextFree>;

struct CodecContextFree {
    void operator()(AVCodecContext* p) const { Av().avcodec_free_context(&p); }
};
using CodecContext = std::unique_ptr<AVCodecContext, CodecContextFree>;

struct FrameFree {
    void operator()(AVFrame* p) const { Av().av_frame_free(&p); }
};
using Frame = std::unique_ptr<AVFrame, FrameFree>;

struct PacketFree {
    void operator()(AVPacket* p) const { Av().av_packet_free(&p); }
};
using Packet = std::unique_ptr<AVPacket, PacketFree>;

struct SwrFree {
    void operator()(SwrContext* p) const { Av().swr_free(&p); }
};
using Resampler = std::unique_ptr<SwrContext, SwrFree>;

// An I/O context over callbacks of our own: its buffer belongs to it.
struct CustomIoFree {
    void operator()(AVIOContext* p) const
    {
        if (p) Av().av_freep(&p->buffer);
        Av().avio_context_free(&p);
    }
};
using CustomIo = std::unique_ptr<AVIOContext, CustomIoFree>;

// An I/O context opened on a URL by FFmpeg's own protocols.
struct UrlIoClose {
    void operator()(AVIOContext* p) const { Av().avio_closep(&p); }
};
using UrlIo = std::unique_ptr<AVIOContext, UrlIoClose>;

// Options handed to an open call; what the call did not use is freed with it.
class Dictionary {
public:
    Dictionary() = default;
    ~Dictionary()
    {
        if (m_dict) Av().av_dict_free(&m_dict);
    }
    Dictionary(const Dictionary&) = delete;
    Dictionary& operator=(const Dictionary&) = delete;
    Dictionary(Dictionary&& o) noexcept : m_dict(o.m_dict) { o.m_dict = nullptr; }
    Dictionary& operator=(Dictionary&&) = delete;
    void Set(const char* key, const char* value) { Av().av_dict_set(&m_dict, key, value, 0); }
    AVDictionary* get() const { return m_dict; }
    AVDictionary** address() { return &m_dict; }

private:
    AVDictionary* m_dict = nullptr;
};

} // namespace ffmpeg
