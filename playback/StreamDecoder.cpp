#include "playback/StreamDecoder.h"

#include "playback/ByteSource.h"
#include "base/FfmpegHandles.h"
#include "base/FileName.h"

#include <QFile>

#include <algorithm>
#include <cstring>

using ffmpeg::Av;

namespace {

constexpr int kIoBufferSize = 32 * 1024;
// Enough to find the format of anything we play, small enough that a slow stream starts soon.
constexpr const char* kProbeSize = "524288";
constexpr const char* kAnalyzeMicroseconds = "200000";
// Seeks land this far before their target and decode up to it: the decoders need the frames
// before (MP3's bit reservoir, the overlap of WMA's transform) to get the target frame right.
constexpr std::int64_t kPrerollMs = 200;
// So many undecodable packets in a row means the data is not audio, or broken for good.
constexpr int kMaxBadPackets = 200;

int ReadBytes(void* opaque, std::uint8_t* buffer, int size)
{
    const int n = static_cast<IByteSource*>(opaque)->Read(buffer, size);
    if (n > 0) return n;
    return n == 0 ? AVERROR_EOF : AVERROR_EXIT;
}

std::int64_t SeekBytes(void* opaque, std::int64_t offset, int whence)
{
    auto* source = static_cast<IByteSource*>(opaque);
    if (whence & AVSEEK_SIZE) return source->Size();
    if ((whence & ~AVSEEK_FORCE) != SEEK_SET) return -1; // avio only asks for absolute seeks
    return source->Seek(offset);
}

} // namespace

struct CStreamDecoder::Impl {
    // Declared in this order so that the format context is closed before its I/O goes.
    ffmpeg::CustomIo io;
    ffmpeg::FormatContext format;
    ffmpeg::CodecContext codec;
    ffmpeg::Resampler resampler;
    ffmpeg::Frame frame;
    ffmpeg::Packet packet;
    IByteSource* source = nullptr;
    AVStream* stream = nullptr;
    // The timestamp of the first decoded frame, which is frame 0 of the output: some codecs leave
    // out a first block of their own, and their timestamps do not say so.
    std::int64_t startTs = AV_NOPTS_VALUE;
    // The input format the resampler was made for.
    AVChannelLayout inLayout {};
    int inRate = 0;
    int inFormat = -1;
    std::vector<float> first;

    ~Impl() { Av().av_channel_layout_uninit(&inLayout); }

    bool PrepareResampler(const AVFrame* f)
    {
        if (resampler && f->sample_rate == inRate && f->format == inFormat
            && Av().av_channel_layout_compare(&f->ch_layout, &inLayout) == 0) {
            return true;
        }
        resampler.reset();
        AVChannelLayout outLayout = AV_CHANNEL_LAYOUT_STEREO;
        SwrContext* raw = nullptr;
        AVChannelLayout in {};
        if (f->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || f->ch_layout.nb_channels <= 0) {
            Av().av_channel_layout_default(&in, std::max(1, f->ch_layout.nb_channels));
        } else if (Av().av_channel_layout_copy(&in, &f->ch_layout) < 0) {
            return false;
        }
        const int r = Av().swr_alloc_set_opts2(&raw, &outLayout, AV_SAMPLE_FMT_FLT, kRate, &in,
            static_cast<AVSampleFormat>(f->format), f->sample_rate, 0, nullptr);
        Av().av_channel_layout_uninit(&in);
        if (r < 0 || !raw) return false;
        resampler.reset(raw);
        if (Av().swr_init(raw) < 0) {
            resampler.reset();
            return false;
        }
        Av().av_channel_layout_uninit(&inLayout);
        Av().av_channel_layout_copy(&inLayout, &f->ch_layout);
        inRate = f->sample_rate;
        inFormat = f->format;
        return true;
    }
};

CStreamDecoder::CStreamDecoder() = default;
CStreamDecoder::~CStreamDecoder() = default;

AudioError CStreamDecoder::OpenFile(const QString& path) { return Open(path, nullptr); }

AudioError CStreamDecoder::OpenSource(IByteSource* source, const QString& name) { return Open(name, source); }

AudioError CStreamDecoder::Open(const QString& name, IByteSource* source)
{
    m_impl = std::make_unique<Impl>();
    Impl& d = *m_impl;
    d.source = source;
    if (!Av().loaded) return AudioError::Unknown; // no FFmpeg on this machine: its log says why

    AVFormatContext* fmt = Av().avformat_alloc_context();
    if (!fmt) return AudioError::Unknown;
    if (source) {
        auto* buffer = static_cast<unsigned char*>(Av().av_malloc(kIoBufferSize));
        AVIOContext* io = buffer ? Av().avio_alloc_context(buffer, kIoBufferSize, 0, source, &ReadBytes, nullptr,
                                                      source->Seekable() ? &SeekBytes : nullptr)
                                 : nullptr;
        if (!io) {
            Av().av_free(buffer);
            Av().avformat_free_context(fmt);
            return AudioError::Unknown;
        }
        d.io.reset(io);
        // Not seekable while the format is found: a demuxer looking for tags at the end of the
        // file would otherwise wait for the whole download before anything plays.
        io->seekable = 0;
        fmt->pb = io;
    }
    ffmpeg::Dictionary options;
    // A file that is really a playlist or a reference must not make us open other files or URLs.
    options.Set("protocol_whitelist", source ? "none" : "file");
    options.Set("probesize", kProbeSize);
    options.Set("analyzeduration", kAnalyzeMicroseconds);
    // The table of contents of a VBR MP3 is coarse; seeking by reading the frames is exact.
    options.Set("usetoc", "0");

    const QByteArray url = source ? name.toUtf8() : QByteArray("file:") + FileNameBytes(name);
    if (Av().avformat_open_input(&fmt, url.constData(), nullptr, options.address()) < 0) {
        // The context was freed by the failed call.
        return source ? AudioError::Format : (QFile::exists(name) ? AudioError::Format : AudioError::FileOpen);
    }
    d.format.reset(fmt);
    // A weak guess on data that is not audio (a web page, a text file) would decode noise; a
    // weak guess is taken only when the name agrees with it.
    if (fmt->probe_score < AVPROBE_SCORE_EXTENSION
        && !(fmt->iformat->extensions && Av().av_match_ext(url.constData(), fmt->iformat->extensions))) {
        return AudioError::Format;
    }
    if (Av().avformat_find_stream_info(fmt, nullptr) < 0) return AudioError::Format;

    const AVCodec* codec = nullptr;
    const int index = Av().av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (index < 0 || !codec) return AudioError::Format;
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        if (static_cast<int>(i) != index) fmt->streams[i]->discard = AVDISCARD_ALL;
    }
    d.stream = fmt->streams[index];
    d.codec.reset(Av().avcodec_alloc_context3(codec));
    if (!d.codec || Av().avcodec_parameters_to_context(d.codec.get(), d.stream->codecpar) < 0) return AudioError::Format;
    d.codec->pkt_timebase = d.stream->time_base;
    if (Av().avcodec_open2(d.codec.get(), codec, nullptr) < 0) return AudioError::Format;
    d.frame.reset(Av().av_frame_alloc());
    d.packet.reset(Av().av_packet_alloc());
    if (!d.frame || !d.packet) return AudioError::Unknown;

    if (d.stream->duration > 0) {
        m_lengthMs = Av().av_rescale_q(d.stream->duration, d.stream->time_base, AVRational {1, 1000});
    } else if (fmt->duration > 0) {
        m_lengthMs = Av().av_rescale(fmt->duration, 1000, AV_TIME_BASE);
    }
    if (source && source->Seekable() && d.io) d.io->seekable = AVIO_SEEKABLE_NORMAL;

    // Something must decode, or this is not a stream we can play.
    m_nextFrame = 0;
    if (Decode(d.first) != Result::Data) return AudioError::Format;
    m_haveFirst = true;
    return AudioError::Ok;
}

CStreamDecoder::Result CStreamDecoder::Decode(std::vector<float>& out)
{
    if (!m_impl || !m_impl->codec) return Result::End;
    Impl& d = *m_impl;
    if (m_haveFirst) {
        m_haveFirst = false;
        out.swap(d.first);
        d.first.clear();
        m_blockStart = m_nextFrame - static_cast<std::int64_t>(out.size() / kChannels);
        return Result::Data;
    }
    for (;;) {
        const int r = Av().avcodec_receive_frame(d.codec.get(), d.frame.get());
        if (r == 0) {
            const int frames = Convert(out);
            Av().av_frame_unref(d.frame.get());
            if (frames > 0) return Result::Data;
            continue;
        }
        if (r == AVERROR_EOF) return Result::End;
        if (r != AVERROR(EAGAIN)) {
            if (++m_badPackets > kMaxBadPackets) return Result::End;
            continue;
        }
        if (m_inputEnded) return Result::End;

        const int rr = Av().av_read_frame(d.format.get(), d.packet.get());
        if (rr == AVERROR_EXIT) return Result::Interrupted;
        if (rr < 0) {
            // The end of the data (or a connection that broke): let the decoder give out the rest.
            m_inputEnded = true;
            Av().avcodec_send_packet(d.codec.get(), nullptr);
            continue;
        }
        if (d.packet->stream_index != d.stream->index) {
            Av().av_packet_unref(d.packet.get());
            continue;
        }
        const int s = Av().avcodec_send_packet(d.codec.get(), d.packet.get());
        Av().av_packet_unref(d.packet.get());
        if (s < 0 && s != AVERROR(EAGAIN)) {
            if (++m_badPackets > kMaxBadPackets) return Result::End;
        } else {
            m_badPackets = 0;
        }
    }
}

int CStreamDecoder::Convert(std::vector<float>& out)
{
    Impl& d = *m_impl;
    AVFrame* f = d.frame.get();
    if (f->nb_samples <= 0 || !d.PrepareResampler(f)) return 0;

    const int capacity = Av().swr_get_out_samples(d.resampler.get(), f->nb_samples);
    if (capacity <= 0) return 0;
    out.resize(static_cast<size_t>(capacity) * kChannels);
    auto* dst = reinterpret_cast<std::uint8_t*>(out.data());
    int got = Av().swr_convert(d.resampler.get(), &dst, capacity, const_cast<const std::uint8_t**>(f->extended_data),
        f->nb_samples);
    if (got <= 0) {
        out.clear();
        return 0;
    }
    out.resize(static_cast<size_t>(got) * kChannels);

    const std::int64_t ts = f->best_effort_timestamp;
    if (d.startTs == AV_NOPTS_VALUE) d.startTs = ts != AV_NOPTS_VALUE ? ts : 0;
    if (m_skipTo >= 0) {
        // The first block after a seek: drop what lies before the target.
        std::int64_t start = m_skipTo;
        if (ts != AV_NOPTS_VALUE) start = Av().av_rescale_q(ts - d.startTs, d.stream->time_base, AVRational {1, kRate});
        const std::int64_t drop = std::clamp<std::int64_t>(m_skipTo - start, 0, got);
        if (start + got <= m_skipTo) {
            out.clear();
            return 0; // wholly before the target
        }
        out.erase(out.begin(), out.begin() + drop * kChannels);
        got -= static_cast<int>(drop);
        m_nextFrame = std::max(start, m_skipTo);
        m_skipTo = -1;
    }
    m_blockStart = m_nextFrame;
    m_nextFrame += got;
    return got;
}

bool CStreamDecoder::Seek(std::int64_t ms)
{
    if (!m_impl || !m_impl->codec || ms < 0) return false;
    if (m_lengthMs >= 0 && ms > m_lengthMs) return false;
    Impl& d = *m_impl;
    const std::int64_t from = std::max<std::int64_t>(0, ms - kPrerollMs);
    const std::int64_t base = d.startTs != AV_NOPTS_VALUE ? d.startTs : 0;
    const std::int64_t ts = base + Av().av_rescale_q(from, AVRational {1, 1000}, d.stream->time_base);
    if (Av().av_seek_frame(d.format.get(), d.stream->index, ts, AVSEEK_FLAG_BACKWARD) < 0) {
        // Containers without timestamps to seek by still go back to their start by bytes.
        if (ms != 0 || Av().avformat_seek_file(d.format.get(), -1, INT64_MIN, 0, 0, AVSEEK_FLAG_BYTE) < 0) return false;
    }
    Av().avcodec_flush_buffers(d.codec.get());
    d.resampler.reset(); // its delay line holds samples of the old place
    d.first.clear();
    m_haveFirst = false;
    m_inputEnded = false;
    m_badPackets = 0;
    m_skipTo = Av().av_rescale(ms, kRate, 1000);
    m_nextFrame = m_skipTo;
    return true;
}
