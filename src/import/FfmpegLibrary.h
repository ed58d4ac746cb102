#pragma once
// FFmpeg, loaded the first time a video is probed or read rather than when
// the program starts (document/SharedLibrary.h).  Its libraries bring some
// hundred shared objects with them, whose loading and relocation cost every
// start of the command-line tool about 35 ms.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace movigram {

namespace ffmpeg {
// The libraries the build was made against, opened the first time one is
// asked for and kept open for the rest of the run; null when one of them
// cannot be opened.  The reader and the video export take their functions
// from these.
enum Part { Util, Codec, Format, Scale, partCount };
void* const* handles();
}  // namespace ffmpeg

// The functions the video reader calls, by library.
#define MOVIGRAM_FFMPEG_FUNCTIONS(X)                                                                  \
    X(Util, av_dict_set)                                                                              \
    X(Util, av_dict_free)                                                                             \
    X(Util, av_frame_alloc)                                                                           \
    X(Util, av_frame_free)                                                                            \
    X(Util, av_frame_unref)                                                                           \
    X(Util, av_log_set_level)                                                                         \
    X(Util, av_rescale_q)                                                                             \
    X(Codec, av_packet_alloc)                                                                         \
    X(Codec, av_packet_free)                                                                          \
    X(Codec, av_packet_unref)                                                                         \
    X(Codec, avcodec_find_decoder)                                                                    \
    X(Codec, avcodec_alloc_context3)                                                                  \
    X(Codec, avcodec_free_context)                                                                    \
    X(Codec, avcodec_parameters_to_context)                                                           \
    X(Codec, avcodec_open2)                                                                           \
    X(Codec, avcodec_send_packet)                                                                     \
    X(Codec, avcodec_receive_frame)                                                                   \
    X(Format, av_probe_input_format3)                                                                 \
    X(Format, av_read_frame)                                                                          \
    X(Format, avformat_open_input)                                                                    \
    X(Format, avformat_find_stream_info)                                                              \
    X(Format, avformat_close_input)                                                                   \
    X(Scale, sws_isSupportedInput)                                                                    \
    X(Scale, sws_getCachedContext)                                                                    \
    X(Scale, sws_scale)                                                                               \
    X(Scale, sws_freeContext)

struct FfmpegLibrary {
#define MOVIGRAM_FFMPEG_POINTER(library, name) decltype(&::name) name = nullptr;
    MOVIGRAM_FFMPEG_FUNCTIONS(MOVIGRAM_FFMPEG_POINTER)
#undef MOVIGRAM_FFMPEG_POINTER
};

// The library, loaded on the first call; null when it cannot be loaded
// (then no file is taken for a video).
const FfmpegLibrary* ffmpegLibrary();

}  // namespace movigram
