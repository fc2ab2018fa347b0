#pragma once
// One owning type per FFmpeg handle, for the engine, the reference service and the test
// fixtures. Header only: base itself links no FFmpeg; whoever includes this links the FFmpeg
// libraries it calls. Include it only in source files (it pulls in the FFmpeg headers).
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <memory>

namespace ffmpeg {

struct FormatContextFree {
    // An input context that was opened is closed; one that never was is only freed.
    void operator()(AVFormatContext* p) const { avformat_close_input(&p); }
};
using FormatContext = std::unique_ptr<AVFormatContext, FormatContextFree>;

// A muxer's context; its I/O context, when custom, is owned by the caller.
struct OutputContextFree {
    void operator()(AVFormatContext* p) const { avformat_free_context(p); }
};
using OutputContext = std::unique_ptr<AVFormatContext, OutputContextFree>;

struct CodecContextFree {
    void operator()(AVCodecContext* p) const { avcodec_free_context(&p); }
};
using CodecContext = std::unique_ptr<AVCodecContext, CodecContextFree>;

struct FrameFree {
    void operator()(AVFrame* p) const { av_frame_free(&p); }
};
using Frame = std::unique_ptr<AVFrame, FrameFree>;

struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
using Packet = std::unique_ptr<AVPacket, PacketFree>;

struct SwrFree {
    void operator()(SwrContext* p) const { swr_free(&p); }
};
using Resampler = std::unique_ptr<SwrContext, SwrFree>;

// An I/O context over callbacks of our own: its buffer belongs to it.
struct CustomIoFree {
    void operator()(AVIOContext* p) const
    {
        if (p) av_freep(&p->buffer);
        avio_context_free(&p);
    }
};
using CustomIo = std::unique_ptr<AVIOContext, CustomIoFree>;

// An I/O context opened on a URL by FFmpeg's own protocols.
struct UrlIoClose {
    void operator()(AVIOContext* p) const { avio_closep(&p); }
};
using UrlIo = std::unique_ptr<AVIOContext, UrlIoClose>;

// Options handed to an open call; what the call did not use is freed with it.
class Dictionary {
public:
    Dictionary() = default;
    ~Dictionary() { av_dict_free(&m_dict); }
    Dictionary(const Dictionary&) = delete;
    Dictionary& operator=(const Dictionary&) = delete;
    Dictionary(Dictionary&& o) noexcept : m_dict(o.m_dict) { o.m_dict = nullptr; }
    Dictionary& operator=(Dictionary&&) = delete;
    void Set(const char* key, const char* value) { av_dict_set(&m_dict, key, value, 0); }
    AVDictionary* get() const { return m_dict; }
    AVDictionary** address() { return &m_dict; }

private:
    AVDictionary* m_dict = nullptr;
};

} // namespace ffmpeg
