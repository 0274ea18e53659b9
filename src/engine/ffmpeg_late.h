// FFmpeg's libraries (FLAC, ALAC, AAC, Opus, Vorbis, WavPack, APE, TTA, AIFF), opened on the
// first such file rather than with the program: with the codec libraries they bring they would
// cost start-up more than everything else the engine loads.
#pragma once
#include "engine/late_library.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/channel_layout.h>
}

namespace kv::engine {

#define KV_AVUTIL_FUNCTIONS(X)                                                                               \
    X(av_frame_alloc)                                                                                        \
    X(av_frame_free)                                                                                         \
    X(av_log_set_level)                                                                                      \
    X(av_max_alloc)                                                                                          \
    X(av_channel_layout_channel_from_index)                                                                  \
    X(av_dict_get)

#define KV_AVCODEC_FUNCTIONS(X)                                                                              \
    X(avcodec_find_decoder)                                                                                  \
    X(avcodec_alloc_context3)                                                                                \
    X(avcodec_free_context)                                                                                  \
    X(avcodec_parameters_to_context)                                                                         \
    X(avcodec_open2)                                                                                         \
    X(avcodec_send_packet)                                                                                   \
    X(avcodec_receive_frame)                                                                                 \
    X(avcodec_flush_buffers)                                                                                 \
    X(av_packet_alloc)                                                                                       \
    X(av_packet_free)                                                                                        \
    X(av_packet_unref)

#define KV_AVFORMAT_FUNCTIONS(X)                                                                             \
    X(avformat_open_input)                                                                                   \
    X(avformat_close_input)                                                                                  \
    X(avformat_find_stream_info)                                                                             \
    X(av_read_frame)                                                                                         \
    X(avformat_seek_file)

struct FfmpegLibrary {
    KV_AVUTIL_FUNCTIONS(KV_LATE_POINTER)
    KV_AVCODEC_FUNCTIONS(KV_LATE_POINTER)
    KV_AVFORMAT_FUNCTIONS(KV_LATE_POINTER)
};

#define KV_SONAME(lib, major) "lib" lib ".so." AV_STRINGIFY(major)

// The libraries' functions, or nullptr when they cannot be loaded (said once on stderr).
inline const FfmpegLibrary* Ffmpeg() {
    static FfmpegLibrary api;
    static const bool loaded = [] {
        const bool all =
            KV_LATE_BIND(api, KV_SONAME("avutil", LIBAVUTIL_VERSION_MAJOR), KV_AVUTIL_FUNCTIONS) &&
            KV_LATE_BIND(api, KV_SONAME("avcodec", LIBAVCODEC_VERSION_MAJOR), KV_AVCODEC_FUNCTIONS) &&
            KV_LATE_BIND(api, KV_SONAME("avformat", LIBAVFORMAT_VERSION_MAJOR), KV_AVFORMAT_FUNCTIONS);
        // A damaged file is answered by the caller; FFmpeg's own lines on stderr would only
        // repeat it (and the media windows' libmpv sets its own log callback).
        if (all) {
            api.av_log_set_level(AV_LOG_FATAL);
            // A damaged header can make a demuxer ask for gigabytes at once; no sound file (nor a
            // video frame of the media windows, which share these libraries) needs a block of
            // more than this.
            api.av_max_alloc(256u << 20);
        }
        return all;
    }();
    return loaded ? &api : nullptr;
}

} // namespace kv::engine
