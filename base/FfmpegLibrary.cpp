#include "base/FfmpegLibrary.h"

#include "base/DebugLog.h"

#include <dlfcn.h>

#include <string>

namespace ffmpeg {
namespace {

// "libavformat.so.59" for a major version of 59: the file the linker would have named.
std::string SharedName(const char* stem, unsigned version)
{
    return std::string("lib") + stem + ".so." + std::to_string(version >> 16);
}

Library LoadAll()
{
    Library lib;
    // The order of their dependencies: each finds the ones before it already loaded.
    void* handles[] = {
        dlopen(SharedName("avutil", LIBAVUTIL_VERSION_INT).c_str(), RTLD_NOW | RTLD_LOCAL),
        dlopen(SharedName("swresample", LIBSWRESAMPLE_VERSION_INT).c_str(), RTLD_NOW | RTLD_LOCAL),
        dlopen(SharedName("avcodec", LIBAVCODEC_VERSION_INT).c_str(), RTLD_NOW | RTLD_LOCAL),
        dlopen(SharedName("avformat", LIBAVFORMAT_VERSION_INT).c_str(), RTLD_NOW | RTLD_LOCAL),
    };
    for (void* h : handles)
        if (!h) {
            const char* why = dlerror();
            WriteDebugLogA("ffmpeg: cannot load its libraries: %s", why ? why : "?");
            return lib;
        }
    const auto find = [&handles](const char* name) -> void* {
        for (void* h : handles)
            if (void* f = dlsym(h, name)) return f;
        WriteDebugLogA("ffmpeg: no %s in its libraries", name);
        return nullptr;
    };
    bool all = true;
#define ORDEL_FFMPEG_FIND(name)                                                                            \
    lib.name = reinterpret_cast<decltype(lib.name)>(find(#name));                                          \
    all = all && lib.name;
    ORDEL_FFMPEG_CALLS(ORDEL_FFMPEG_FIND)
#undef ORDEL_FFMPEG_FIND
    lib.loaded = all;
    // FFmpeg's notes on every odd file ("estimating duration from bitrate") are not errors of ours.
    if (all) lib.av_log_set_level(AV_LOG_ERROR);
    return lib;
}

} // namespace

const Library& Av()
{
    static const Library lib = LoadAll();
    return lib;
}

} // namespace ffmpeg
