#include "service/AudioEncoder.h"

#include "base/FfmpegHandles.h"

#include <QFile>
#include <QSaveFile>

#include <cmath>

using ffmpeg::Av;

namespace {

// Takes every packet the encoder has ready into `out`.
bool Drain(AVCodecContext* ctx, AVPacket* pkt, QSaveFile& out)
{
    for (;;) {
        const int rc = Av().avcodec_receive_packet(ctx, pkt);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
        if (rc < 0) return false;
        const bool ok = out.write(reinterpret_cast<const char*>(pkt->data), pkt->size) == pkt->size;
        Av().av_packet_unref(pkt);
        if (!ok) return false;
    }
}

AVSampleFormat PickFormat(const AVCodec* codec)
{
    // libmp3lame takes planar float or planar 16-bit; use the first it offers.
    return codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16P;
}

} // namespace

bool WriteToneMp3(const QString& path, double seconds, double hz)
{
    if (!Av().loaded) return false; // no FFmpeg on this machine: its log says why
    const AVCodec* codec = Av().avcodec_find_encoder(AV_CODEC_ID_MP3);
    if (!codec) return false;
    const ffmpeg::CodecContext ctx(Av().avcodec_alloc_context3(codec));
    if (!ctx) return false;
    AVCodecContext* c = ctx.get();
    c->bit_rate = 128000;
    c->sample_rate = 44100;
    c->sample_fmt = PickFormat(codec);
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    if (Av().av_channel_layout_copy(&c->ch_layout, &stereo) < 0) return false;
    if (Av().avcodec_open2(c, codec, nullptr) < 0) return false;

    const ffmpeg::Frame frame(Av().av_frame_alloc());
    const ffmpeg::Packet packet(Av().av_packet_alloc());
    if (!frame || !packet) return false;
    AVFrame* f = frame.get();
    f->nb_samples = c->frame_size > 0 ? c->frame_size : 1152;
    f->format = c->sample_fmt;
    if (Av().av_channel_layout_copy(&f->ch_layout, &c->ch_layout) < 0) return false;
    if (Av().av_frame_get_buffer(f, 0) < 0) return false;

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly)) return false;
    const long long total = static_cast<long long>(seconds * c->sample_rate);
    long long done = 0;
    while (done < total) {
        if (Av().av_frame_make_writable(f) < 0) return false;
        for (int i = 0; i < f->nb_samples; ++i) {
            const double t = static_cast<double>(done + i) / c->sample_rate;
            const double v = done + i < total ? 0.3 * std::sin(2 * M_PI * hz * t) : 0.0;
            for (int ch = 0; ch < 2; ++ch) {
                if (c->sample_fmt == AV_SAMPLE_FMT_FLTP)
                    reinterpret_cast<float*>(f->data[ch])[i] = static_cast<float>(v);
                else if (c->sample_fmt == AV_SAMPLE_FMT_S16P)
                    reinterpret_cast<int16_t*>(f->data[ch])[i] = static_cast<int16_t>(v * 32767);
                else if (c->sample_fmt == AV_SAMPLE_FMT_S32P)
                    reinterpret_cast<int32_t*>(f->data[ch])[i] = static_cast<int32_t>(v * 2147483647.0);
            }
        }
        f->pts = done;
        done += f->nb_samples;
        if (Av().avcodec_send_frame(c, f) < 0 || !Drain(c, packet.get(), out)) return false;
    }
    if (Av().avcodec_send_frame(c, nullptr) < 0 || !Drain(c, packet.get(), out)) return false;
    return out.commit();
}
