#pragma once
// The FFmpeg libraries, loaded the first time something decodes or encodes instead of with the
// program. Linked, they come with some seventy libraries of their own (an SVG renderer, video
// encoders, network protocols), about 12 MB resident in a process that may never play a note
// before it ends; loaded here, a start that plays nothing maps none of them. Every call into
// FFmpeg goes through Av(); the handle types of FfmpegHandles.h do the same. Include it only in
// source files (it pulls in the FFmpeg headers).
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

// Each function of FFmpeg that this program calls.
#define ORDEL_FFMPEG_CALLS(X)                                                                              \
    X(av_channel_layout_compare) X(av_channel_layout_copy) X(av_channel_layout_default)                    \
    X(av_channel_layout_uninit) X(av_dict_free) X(av_dict_set) X(av_find_best_stream)                      \
    X(av_frame_alloc) X(av_frame_free) X(av_frame_get_buffer) X(av_frame_make_writable)                    \
    X(av_frame_unref) X(av_free) X(av_freep) X(av_log_set_level) X(av_malloc) X(av_match_ext)              \
    X(av_opt_set_int) X(av_packet_alloc) X(av_packet_free) X(av_packet_rescale_ts)                         \
    X(av_packet_unref) X(av_read_frame) X(av_rescale) X(av_rescale_q) X(av_seek_frame)                     \
    X(av_strerror) X(av_write_frame) X(av_write_trailer) X(avcodec_alloc_context3)                         \
    X(avcodec_find_encoder) X(avcodec_find_encoder_by_name) X(avcodec_flush_buffers)                       \
    X(avcodec_free_context) X(avcodec_open2) X(avcodec_parameters_from_context)                            \
    X(avcodec_parameters_to_context) X(avcodec_receive_frame) X(avcodec_receive_packet)                    \
    X(avcodec_send_frame) X(avcodec_send_packet) X(avformat_alloc_context)                                 \
    X(avformat_alloc_output_context2) X(avformat_close_input) X(avformat_find_stream_info)                 \
    X(avformat_free_context) X(avformat_new_stream) X(avformat_open_input) X(avformat_seek_file)           \
    X(avformat_write_header) X(avio_alloc_context) X(avio_closep) X(avio_context_free) X(avio_feof)        \
    X(avio_flush) X(avio_open2) X(avio_read_partial) X(avio_size) X(swr_alloc_set_opts2)                   \
    X(swr_convert) X(swr_free) X(swr_get_out_samples) X(swr_init)

namespace ffmpeg {

struct Library {
#define ORDEL_FFMPEG_MEMBER(name) decltype(&::name) name = nullptr;
    ORDEL_FFMPEG_CALLS(ORDEL_FFMPEG_MEMBER)
#undef ORDEL_FFMPEG_MEMBER
    // False when a library or one of the calls could not be found; the calls are then null and
    // whoever opens a stream or a file reports it instead of calling them.
    bool loaded = false;
};

// The libraries of the version this program was built against, loaded once by the first caller
// (from any thread) and kept for the life of the process.
const Library& Av();

} // namespace ffmpeg
