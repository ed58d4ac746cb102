// MP4 (H.264) and WebM (VP9) through FFmpeg, opened when a video is first
// written (document/SharedLibrary.h).
//
// Frames are timed one by one: each screen's presentation time is the sum
// of the delays before it, in milliseconds (time base 1/1000), and each
// packet carries its screen's duration, so the last frame lasts as long as
// in the animation.  The encoders' settings are their usual defaults:
// H.264 through libx264 at CRF 23 with the medium preset (what FFmpeg's own
// tool uses), VP9 through libvpx at CRF 32 in constant-quality mode with
// the "good" deadline, cpu-used 4 and row threading.  The pictures are
// converted to 4:2:0 with the BT.709 matrix into limited range, and the
// stream says so.  Both formats need even sizes: an odd width or height is
// padded by one column or row of the background (transparent in a WebM
// with alpha), never cropped.  MP4 has no transparency: transparent pixels
// show the background colour; WebM keeps alpha (yuva420p) when the
// animation has transparent pixels and the VP9 encoder takes alpha.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <cerrno>
#include <cstring>
#include <map>

#include "Export.h"
#include "document/FileIo.h"
#include "document/SharedLibrary.h"
#include "import/FfmpegLibrary.h"

namespace movigram {

namespace {

#define VIDEO_FUNCTIONS(X)                                                                             \
    X(Util, av_frame_alloc) X(Util, av_frame_free) X(Util, av_frame_get_buffer) X(Util, av_frame_make_writable) X(Util, av_opt_set)     \
    X(Util, av_log_set_level) X(Util, av_malloc) X(Util, av_freep) X(Util, av_strerror)                 \
    X(Codec, avcodec_find_encoder_by_name) X(Codec, avcodec_alloc_context3) X(Codec, avcodec_free_context) \
    X(Codec, avcodec_open2) X(Codec, avcodec_send_frame) X(Codec, avcodec_receive_packet)               \
    X(Codec, avcodec_parameters_from_context) X(Codec, av_packet_alloc) X(Codec, av_packet_free)        \
    X(Codec, av_packet_unref) X(Codec, av_packet_rescale_ts) X(Format, avformat_alloc_output_context2)  \
    X(Format, avformat_new_stream) X(Format, avformat_write_header) X(Format, av_interleaved_write_frame) \
    X(Format, av_write_trailer) X(Format, avformat_free_context) X(Format, avio_alloc_context)          \
    X(Format, avio_context_free) X(Scale, sws_getContext) X(Scale, sws_setColorspaceDetails)            \
    X(Scale, sws_getCoefficients) X(Scale, sws_scale) X(Scale, sws_freeContext)

struct VideoLibrary {
#define MOVIGRAM_VIDEO_POINTER(library, name) decltype(&::name) name = nullptr;
    VIDEO_FUNCTIONS(MOVIGRAM_VIDEO_POINTER)
#undef MOVIGRAM_VIDEO_POINTER
};

const VideoLibrary* videoLibrary() {
    static VideoLibrary lib;
    static const bool loaded = [] {
        void* const* handles = ffmpeg::handles();
        if (!handles) return false;
        bool complete = true;
#define MOVIGRAM_VIDEO_LOOKUP(library, name) \
    complete = bindFunction(handles[ffmpeg::library], #name, lib.name) && complete;
        VIDEO_FUNCTIONS(MOVIGRAM_VIDEO_LOOKUP)
#undef MOVIGRAM_VIDEO_LOOKUP
        if (complete) lib.av_log_set_level(AV_LOG_QUIET);  // failures come back as one line
        return complete;
    }();
    return loaded ? &lib : nullptr;
}

// The muxer writes through the temporary file of the atomic save.
int writeToFile(void* opaque, uint8_t* data, int size) {
    return std::fwrite(data, 1, size_t(size), static_cast<std::FILE*>(opaque)) == size_t(size) ? size
                                                                                                 : AVERROR(EIO);
}
int64_t seekInFile(void* opaque, int64_t offset, int whence) {
    auto* file = static_cast<std::FILE*>(opaque);
    if (whence & AVSEEK_SIZE) {
        const off_t here = ftello(file);
        if (here < 0 || fseeko(file, 0, SEEK_END) != 0) return AVERROR(EIO);
        const off_t size = ftello(file);
        return fseeko(file, here, SEEK_SET) == 0 ? int64_t(size) : AVERROR(EIO);
    }
    whence &= ~AVSEEK_FORCE;
    if (fseeko(file, off_t(offset), whence) != 0) return AVERROR(errno);
    return int64_t(ftello(file));
}

// Everything FFmpeg gave, released however the write ends.
struct Session {
    const VideoLibrary& av;
    AVFormatContext* format = nullptr;
    AVIOContext* io = nullptr;
    AVCodecContext* codec = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* scale = nullptr;
    ~Session() {
        if (scale) av.sws_freeContext(scale);
        av.av_packet_free(&packet);
        av.av_frame_free(&frame);
        av.avcodec_free_context(&codec);
        if (io) {
            av.av_freep(&io->buffer);
            av.avio_context_free(&io);
        }
        if (format) av.avformat_free_context(format);
    }
};

std::string ffmpegError(const VideoLibrary& av, int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av.av_strerror(code, text, sizeof text);
    return text;
}

struct Survey {
    int64_t totalMs = 0;
    int64_t screens = 0;
    bool transparent = false;
};

bool supports(const AVCodec* codec, AVPixelFormat format) {
    if (!codec->pix_fmts) return format == AV_PIX_FMT_YUV420P;
    for (const AVPixelFormat* f = codec->pix_fmts; *f != AV_PIX_FMT_NONE; ++f)
        if (*f == format) return true;
    return false;
}

}  // namespace

ExportResult writeVideo(const ShownScreens& screens, ExportFormat format, const std::string& path,
                        const ExportOptions& options, Progress* progress) {
    ExportResult result;
    const VideoLibrary* lib = videoLibrary();
    if (!lib) {
        result.error = "\"" + path + "\": FFmpeg's libraries are not installed";
        return result;
    }
    const VideoLibrary& av = *lib;
    const bool mp4 = format == ExportFormat::Mp4;
    const AVCodec* encoder = nullptr;
    static const char* const h264[] = {"libx264", "libopenh264", nullptr};
    static const char* const vp9[] = {"libvpx-vp9", nullptr};
    for (const char* const* name = mp4 ? h264 : vp9; *name && !encoder; ++name)
        encoder = av.avcodec_find_encoder_by_name(*name);
    if (!encoder) {
        result.error = "\"" + path + "\": the installed FFmpeg has no " + (mp4 ? "H.264" : "VP9") + " encoder";
        return result;
    }

    ProgressBand surveying(progress, 0, 10), encoding(progress, 10, 100);
    Survey survey;
    forEachShownScreen(screens, progress ? &surveying : nullptr, [&](const std::vector<Rgba>& pixels, int32_t ms) {
        survey.totalMs += ms;
        ++survey.screens;
        if (!mp4 && !survey.transparent)
            for (const Rgba& p : pixels)
                if (p.a == 0) {
                    survey.transparent = true;
                    break;
                }
        return true;
    });
    if (progress && progress->stopRequested()) return result;
    const bool alpha = survey.transparent && supports(encoder, AV_PIX_FMT_YUVA420P);
    const AVPixelFormat pixelFormat = alpha ? AV_PIX_FMT_YUVA420P : AV_PIX_FMT_YUV420P;
    const int32_t width = screens.width + (screens.width & 1), height = screens.height + (screens.height & 1);

    Session s{av};
    if (av.avformat_alloc_output_context2(&s.format, nullptr, mp4 ? "mp4" : "webm", nullptr) < 0 || !s.format) {
        result.error = "\"" + path + "\": the installed FFmpeg cannot write " + exportFormatName(format);
        return result;
    }
    s.codec = av.avcodec_alloc_context3(encoder);
    s.frame = av.av_frame_alloc();
    s.packet = av.av_packet_alloc();
    if (!s.codec || !s.frame || !s.packet) {
        result.error = "Failed to allocate memory";
        return result;
    }
    AVCodecContext& c = *s.codec;
    c.width = width;
    c.height = height;
    c.pix_fmt = pixelFormat;
    c.time_base = {1, 1000};
    // The average rate, for the encoder's rate control; the frames keep
    // their own times.
    if (survey.totalMs > 0 && survey.screens > 0 && survey.screens * 1000 <= INT32_MAX && survey.totalMs <= INT32_MAX)
        c.framerate = {int(survey.screens * 1000), int(survey.totalMs)};
    c.color_range = AVCOL_RANGE_MPEG;
    c.colorspace = AVCOL_SPC_BT709;
    c.color_primaries = AVCOL_PRI_BT709;
    c.color_trc = AVCOL_TRC_IEC61966_2_1;
    if (s.format->oformat->flags & AVFMT_GLOBALHEADER) c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (mp4) {
        av.av_opt_set(c.priv_data, "preset", "medium", 0);
        av.av_opt_set(c.priv_data, "crf", "23", 0);
    } else {
        c.bit_rate = 0;
        av.av_opt_set(c.priv_data, "crf", "32", 0);
        av.av_opt_set(c.priv_data, "deadline", "good", 0);
        av.av_opt_set(c.priv_data, "cpu-used", "4", 0);
        av.av_opt_set(c.priv_data, "row-mt", "1", 0);
    }
    if (int e = av.avcodec_open2(s.codec, encoder, nullptr); e < 0) {
        result.error = "\"" + path + "\": the " + (mp4 ? "H.264" : "VP9") + " encoder refused a " +
                       std::to_string(width) + " x " + std::to_string(height) + " picture: " + ffmpegError(av, e);
        return result;
    }
    AVStream* stream = av.avformat_new_stream(s.format, nullptr);
    if (!stream || av.avcodec_parameters_from_context(stream->codecpar, s.codec) < 0) {
        result.error = "Failed to allocate memory";
        return result;
    }
    stream->time_base = c.time_base;

    s.frame->format = pixelFormat;
    s.frame->width = width;
    s.frame->height = height;
    s.scale = av.sws_getContext(width, height, AV_PIX_FMT_RGBA, width, height, pixelFormat,
                                SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP, nullptr, nullptr, nullptr);
    if (av.av_frame_get_buffer(s.frame, 0) < 0 || !s.scale) {
        result.error = "Failed to allocate memory";
        return result;
    }
    const int* bt709 = av.sws_getCoefficients(SWS_CS_ITU709);
    av.sws_setColorspaceDetails(s.scale, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);

    AtomicFile file(path);
    std::FILE* out = file.open();
    auto cannotWrite = [&](int systemError) {
        result.error = "Cannot write \"" + path + "\": " + std::strerror(systemError ? systemError : EIO);
        return result;
    };
    if (!out) return cannotWrite(file.error());
    constexpr int ioSize = 1 << 16;
    auto* ioBuffer = static_cast<unsigned char*>(av.av_malloc(ioSize));
    if (!ioBuffer || !(s.io = av.avio_alloc_context(ioBuffer, ioSize, 1, out, nullptr, writeToFile, seekInFile))) {
        av.av_freep(&ioBuffer);
        result.error = "Failed to allocate memory";
        return result;
    }
    s.format->pb = s.io;
    if (int e = av.avformat_write_header(s.format, nullptr); e < 0) {
        result.error = "\"" + path + "\": " + ffmpegError(av, e);
        return result;
    }

    std::map<int64_t, int64_t> durations;  // by presentation time
    int failure = 0;
    auto drain = [&]() {
        for (;;) {
            const int e = av.avcodec_receive_packet(s.codec, s.packet);
            if (e == AVERROR(EAGAIN) || e == AVERROR_EOF) return true;
            if (e < 0) return (failure = e), false;
            if (auto d = durations.find(s.packet->pts); d != durations.end()) s.packet->duration = d->second;
            av.av_packet_rescale_ts(s.packet, c.time_base, stream->time_base);
            s.packet->stream_index = stream->index;
            const int w = av.av_interleaved_write_frame(s.format, s.packet);  // takes the packet
            if (w < 0) return (failure = w), false;
        }
    };
    std::vector<Rgba> padded(size_t(width) * size_t(height));
    const Rgba background = alpha ? Rgba{} : Rgba{options.background.r, options.background.g, options.background.b, 255};
    int64_t pts = 0;
    const bool walked = forEachShownScreen(screens, progress ? &encoding : nullptr,
                                           [&](const std::vector<Rgba>& pixels, int32_t ms) {
        std::fill(padded.begin(), padded.end(), background);
        for (int32_t y = 0; y < screens.height; ++y)
            for (int32_t x = 0; x < screens.width; ++x) {
                const Rgba& p = pixels[size_t(y) * size_t(screens.width) + size_t(x)];
                if (p.a != 0) padded[size_t(y) * size_t(width) + size_t(x)] = p;
            }
        const uint8_t* planes[1] = {reinterpret_cast<const uint8_t*>(padded.data())};
        const int strides[1] = {width * 4};
        // The encoder may still hold the last picture.
        if (const int e = av.av_frame_make_writable(s.frame); e < 0) return (failure = e), false;
        av.sws_scale(s.scale, planes, strides, 0, height, s.frame->data, s.frame->linesize);
        s.frame->pts = pts;
        durations[pts] = std::max<int64_t>(ms, 1);
        pts += std::max<int32_t>(ms, 1);
        if (const int e = av.avcodec_send_frame(s.codec, s.frame); e < 0) return (failure = e), false;
        return drain();
    });
    if (!walked && !failure) return result;  // stopped: nothing is written
    if (!failure && av.avcodec_send_frame(s.codec, nullptr) >= 0) drain();
    if (!failure) failure = std::min(av.av_write_trailer(s.format), 0);
    if (failure) {
        result.error = "\"" + path + "\": " + ffmpegError(av, failure);
        return result;
    }
    if (!file.close() || !file.commit()) return cannotWrite(file.error());
    result.ok = true;
    return result;
}

}  // namespace movigram
