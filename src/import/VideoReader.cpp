#include "VideoReader.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string_view>
#include <vector>

#include "FfmpegLibrary.h"
#include "colour/SharedPalette.h"
#include "document/FileIo.h"

namespace movigram {
namespace {

// Only called once readVideo or isVideoContainer has found it loaded.
const FfmpegLibrary& av() { return *ffmpegLibrary(); }

// A stream that states no rate at all.
constexpr int32_t fallbackFrameTime = 100;

struct FormatCloser {
    void operator()(AVFormatContext* c) const { av().avformat_close_input(&c); }
};
struct CodecFreer {
    void operator()(AVCodecContext* c) const { av().avcodec_free_context(&c); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av().av_frame_free(&f); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av().av_packet_free(&p); }
};
struct ScalerFreer {
    void operator()(SwsContext* s) const { av().sws_freeContext(s); }
};

class VideoDecoder {
public:
    VideoDecoder(const std::string& path, const VideoReadOptions& options, VideoReadOutput& out)
        : path_(path), options_(options), out_(out), progress_(options.progress) {}

    // The first of two readings: no frame is made, the deep frames (a
    // sample of them) go to the palette builder.
    void gatherInto(SharedPaletteBuilder& builder) { gather_ = &builder; }
    // The second: deep frames are put on the shared palette.
    void mapWith(SteadyMapper& mapper) { mapper_ = &mapper; }
    // Where progress goes (a band of the caller's gauge for one reading).
    void reportTo(Progress* progress) { progress_ = progress; }

    void run();

private:
    int open();
    int32_t streamFrameTime() const;
    // Reads packets until the stream ends; false when reading stopped on a code.
    bool pump();
    int receiveFrames();
    int takeFrame(const AVFrame& frame);
    int gatherFrame(const AVFrame& frame);
    // The frame as 16- or 24-bit rows; a result code when it cannot be had.
    int deepFrame(const AVFrame& frame, std::optional<TrueColorImage>& deep);
    int convertDeep(const AVFrame& frame, std::unique_ptr<TDib256>& image);
    void reportProgress(uint64_t framesDone) const;
    int failure(int firstFrameCode) const { return out_.frames.empty() ? firstFrameCode : VideoUnexpectedEnd; }

    const std::string& path_;
    const VideoReadOptions& options_;
    VideoReadOutput& out_;
    std::unique_ptr<AVFormatContext, FormatCloser> format_;
    std::unique_ptr<AVCodecContext, CodecFreer> codec_;
    std::unique_ptr<AVFrame, FrameFreer> frame_;
    std::unique_ptr<SwsContext, ScalerFreer> scaler_;
    AVStream* stream_ = nullptr;
    int64_t length_ = 0;
    uint64_t bytes_ = 0;
    std::vector<uint8_t> converted_;
    Progress* progress_;
    SharedPaletteBuilder* gather_ = nullptr;
    SteadyMapper* mapper_ = nullptr;
    std::optional<FrameSampler> sampler_;
    uint64_t gathered_ = 0;  // frames seen by the first reading
};

int VideoDecoder::open() {
    if (fileSizeOf(path_) < 0) return VideoCannotOpen;
    if (std::FILE* f = std::fopen(path_.c_str(), "rb")) {
        std::fclose(f);
    } else {
        return VideoCannotOpen;
    }
    // Only the named file is read: no network and no other protocol, even
    // when the container refers to one.
    AVDictionary* settings = nullptr;
    av().av_dict_set(&settings, "protocol_whitelist", "file", 0);
    AVFormatContext* format = nullptr;
    const std::string url = "file:" + path_;
    const int opened = av().avformat_open_input(&format, url.c_str(), nullptr, &settings);
    av().av_dict_free(&settings);
    if (opened < 0) return VideoCorrupt;
    format_.reset(format);
    if (av().avformat_find_stream_info(format, nullptr) < 0) return VideoCorrupt;

    for (unsigned i = 0; i < format->nb_streams; ++i) {
        AVStream* s = format->streams[i];
        const bool video =
            s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(s->disposition & AV_DISPOSITION_ATTACHED_PIC);
        if (video && !stream_)
            stream_ = s;
        else
            s->discard = AVDISCARD_ALL;
    }
    if (!stream_) return VideoCorrupt;

    const AVCodec* decoder = av().avcodec_find_decoder(stream_->codecpar->codec_id);
    if (!decoder) return VideoUnsupportedCompression;
    codec_.reset(av().avcodec_alloc_context3(decoder));
    if (!codec_) return VideoNoMemory;
    if (av().avcodec_parameters_to_context(codec_.get(), stream_->codecpar) < 0) return VideoUnsupportedCompression;
    codec_->max_pixels = int64_t(std::min<uint64_t>(options_.limits.maxImagePixels, INT_MAX));
    if (av().avcodec_open2(codec_.get(), decoder, nullptr) < 0) return VideoUnsupportedCompression;
    frame_.reset(av().av_frame_alloc());
    if (!frame_) return VideoNoMemory;

    length_ = stream_->nb_frames;
    if (length_ <= 0 && stream_->duration > 0 && stream_->avg_frame_rate.num > 0 && stream_->avg_frame_rate.den > 0)
        length_ = av().av_rescale_q(stream_->duration, stream_->time_base, av_inv_q(stream_->avg_frame_rate));
    return VideoOk;
}

int32_t VideoDecoder::streamFrameTime() const {
    // An AVI stream's time base is its scale over its rate; other containers
    // state the frame rate itself.
    int32_t t = 0;
    if (std::strcmp(format_->iformat->name, "avi") == 0)
        t = frameTimeFromRate(stream_->time_base.den, stream_->time_base.num);
    if (t == 0) t = frameTimeFromRate(stream_->avg_frame_rate.num, stream_->avg_frame_rate.den);
    if (t == 0) t = frameTimeFromRate(stream_->r_frame_rate.num, stream_->r_frame_rate.den);
    return t == 0 ? fallbackFrameTime : t;
}

int VideoDecoder::deepFrame(const AVFrame& frame, std::optional<TrueColorImage>& deep) {
    const int w = frame.width, h = frame.height;
    const auto format = AVPixelFormat(frame.format);
    const bool straight = format == AV_PIX_FMT_RGB555LE || format == AV_PIX_FMT_BGR24;
    deep = TrueColorImage::create(w, h, format == AV_PIX_FMT_RGB555LE ? 16 : 24, options_.limits);
    if (!deep) return VideoNoMemory;
    const uint8_t* rows = frame.data[0];
    int linesize = frame.linesize[0];
    if (!straight) {
        if (!av().sws_isSupportedInput(format)) return failure(VideoUnsupportedDepth);
        scaler_.reset(av().sws_getCachedContext(scaler_.release(), w, h, format, w, h, AV_PIX_FMT_BGR24, SWS_BICUBIC,
                                           nullptr, nullptr, nullptr));
        if (!scaler_) return failure(VideoUnsupportedDepth);
        linesize = (w * 3 + 63) / 64 * 64;
        converted_.resize(size_t(linesize) * size_t(h));
        uint8_t* dst[4] = {converted_.data(), nullptr, nullptr, nullptr};
        const int dstStride[4] = {linesize, 0, 0, 0};
        if (av().sws_scale(scaler_.get(), frame.data, frame.linesize, 0, h, dst, dstStride) != h)
            return failure(VideoUnsupportedDepth);
        rows = converted_.data();
    }
    const size_t rowBytes = size_t(w) * size_t(deep->bitsPerPixel() / 8);
    for (int y = 0; y < h; ++y) std::memcpy(deep->row(y), rows + ptrdiff_t(y) * linesize, rowBytes);
    return VideoOk;
}

int VideoDecoder::convertDeep(const AVFrame& frame, std::unique_ptr<TDib256>& image) {
    std::optional<TrueColorImage> deep;
    if (const int code = deepFrame(frame, deep); code != VideoOk) return code;
    if (options_.preview) options_.preview(*deep);
    image = mapper_ ? mapper_->map(deep->rows()) : reduceTo256(*deep, options_.host, options_.quantize);
    // A frame that could not be reduced stops the import: it cannot enter
    // the document deeper than 8 bits.
    return image ? VideoOk : VideoNoMemory;
}

int VideoDecoder::gatherFrame(const AVFrame& frame) {
    reportProgress(++gathered_);
    if (frame.format == AV_PIX_FMT_PAL8) return VideoOk;
    if (!sampler_) sampler_.emplace(length_, uint64_t(frame.width) * uint64_t(frame.height));
    if (!sampler_->take()) return VideoOk;
    std::optional<TrueColorImage> deep;
    if (const int code = deepFrame(frame, deep); code != VideoOk) return code;
    return gather_->addPicture(deep->rows()) ? VideoOk : VideoNoMemory;
}

void VideoDecoder::reportProgress(uint64_t framesDone) const {
    if (progress_ && length_ > 0)
        progress_->setProgress(int(std::min<int64_t>(int64_t(framesDone) * 100 / length_, 100)));
}

int VideoDecoder::takeFrame(const AVFrame& frame) {
    const int w = frame.width, h = frame.height;
    if (w <= 0 || h <= 0) return failure(VideoCorrupt);
    if (gather_) return gatherFrame(frame);
    const uint64_t frameBytes = checkedImageBytes(w, h, 1, options_.limits);
    if (frameBytes == 0 || out_.frames.size() >= options_.limits.maxFrames ||
        bytes_ + frameBytes > options_.limits.maxTotalBytes)
        return VideoNoMemory;

    std::unique_ptr<TDib256> image;
    if (frame.format == AV_PIX_FMT_PAL8) {
        image = std::make_unique<TDib256>(w, h);
        for (int y = 0; y < h; ++y)
            std::memcpy(image->row(y), frame.data[0] + ptrdiff_t(y) * frame.linesize[0], size_t(w));
        // The palette plane holds 256 native-endian 0xAARRGGBB words.
        const auto* palette = reinterpret_cast<const uint32_t*>(frame.data[1]);
        for (size_t i = 0; i < 256; ++i) {
            const uint32_t c = palette[i];
            image->colors()[i] = {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), 0};
        }
        image->colorsUsed = 256;
    } else if (const int code = convertDeep(frame, image); code != VideoOk) {
        return code;
    }

    const size_t index = out_.frames.size();
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%03zu", index);
    bytes_ += image->byteSize();
    auto made = std::make_unique<TFrame>(path_ + suffix, std::move(image));
    made->frameTime = out_.frameTime;
    if (!out_.frames.empty()) out_.frames.back()->next = made.get();
    out_.frames.push_back(std::move(made));
    if (options_.paint) options_.paint(*out_.frames.back());
    reportProgress(index + 1);
    return VideoOk;
}

int VideoDecoder::receiveFrames() {
    for (;;) {
        const int got = av().avcodec_receive_frame(codec_.get(), frame_.get());
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return VideoOk;
        if (got < 0) return failure(VideoCorrupt);
        const int code = takeFrame(*frame_);
        av().av_frame_unref(frame_.get());
        if (code != VideoOk) return code;
    }
}

bool VideoDecoder::pump() {
    std::unique_ptr<AVPacket, PacketFreer> packet(av().av_packet_alloc());
    if (!packet) {
        out_.result = VideoNoMemory;
        return false;
    }
    for (;;) {
        const int read = av().av_read_frame(format_.get(), packet.get());
        if (read == AVERROR_EOF) break;
        if (read < 0) {
            out_.result = failure(VideoCorrupt);
            return false;
        }
        if (packet->stream_index != stream_->index) {
            av().av_packet_unref(packet.get());
            continue;
        }
        const int sent = av().avcodec_send_packet(codec_.get(), packet.get());
        av().av_packet_unref(packet.get());
        if (sent < 0 && sent != AVERROR(EAGAIN)) {
            out_.result = failure(VideoCorrupt);
            return false;
        }
        if (const int code = receiveFrames(); code != VideoOk) {
            out_.result = code;
            return false;
        }
    }
    // Frames the decoder still holds back.
    av().avcodec_send_packet(codec_.get(), nullptr);
    if (const int code = receiveFrames(); code != VideoOk) {
        out_.result = code;
        return false;
    }
    return true;
}

void VideoDecoder::run() {
    out_.result = open();
    if (out_.result != VideoOk) return;
    out_.frameTime = streamFrameTime();
    if (!pump()) return;
    if (out_.frames.empty()) out_.result = VideoCorrupt;
    // The container promised more frames than could be read.
    else if (stream_->nb_frames > 0 && int64_t(out_.frames.size()) < stream_->nb_frames)
        out_.result = VideoUnexpectedEnd;
}

}  // namespace

int32_t frameTimeFromRate(int64_t rate, int64_t scale) {
    if (rate <= 0 || scale <= 0 || scale > INT64_MAX / 1000) return 0;
    return int32_t(std::clamp<int64_t>(1000 * scale / rate, 1, INT32_MAX));
}

VideoReadOutput readVideo(const std::string& path, const VideoReadOptions& options) {
    VideoReadOutput out;
    if (!ffmpegLibrary()) {
        out.result = VideoUnsupportedCompression;
        return out;
    }
    try {
        if (options.quantize.original()) {
            VideoDecoder(path, options, out).run();
            return out;
        }
        Host quiet;
        StatusText status(options.host ? *options.host : quiet, "Reducing to 256 colors");
        // A first reading that fails leaves the builder empty or part
        // filled; the second reading meets the same fault and reports it.
        SharedPaletteBuilder builder(options.quantize.quantizer);
        {
            VideoReadOutput scratch;
            VideoDecoder first(path, options, scratch);
            ProgressBand firstHalf(options.progress, 0, 50);
            first.reportTo(options.progress ? &firstHalf : nullptr);
            first.gatherInto(builder);
            first.run();
        }
        const bool fullRange = options.quantize.quantizer == Quantizer::HighQuality;
        SteadyMapper mapper(builder.palette(256), options.quantize, fullRange);
        VideoDecoder second(path, options, out);
        ProgressBand secondHalf(options.progress, 50, 100);
        second.reportTo(options.progress ? &secondHalf : nullptr);
        // Palettised video brings its own palette: nothing was gathered.
        if (mapper.hasPalette()) second.mapWith(mapper);
        second.run();
    } catch (const std::bad_alloc&) {
        out.result = VideoNoMemory;
    }
    return out;
}

bool isVideoContainer(std::span<const uint8_t> head) {
    if (head.empty() || !ffmpegLibrary()) return false;
    // The probe reads past the bytes it is given, into zeros.
    std::vector<uint8_t> padded(head.size() + AVPROBE_PADDING_SIZE, 0);
    std::memcpy(padded.data(), head.data(), head.size());
    AVProbeData probe{};
    probe.filename = "";
    probe.buf = padded.data();
    probe.buf_size = int(head.size());
    int score = 0;
    const AVInputFormat* format = av().av_probe_input_format3(&probe, 1, &score);
    // A weak guess from a few bytes, or a single picture ("..._pipe"), is no
    // video.
    return format && score >= AVPROBE_SCORE_MAX / 2 && !std::string_view(format->name).ends_with("_pipe");
}

std::string videoResultMessage(int result, const std::string& path) {
    switch (result) {
    case VideoNoMemory: return "Failed to allocate memory";
    case VideoCannotOpen: return "Cannot open file \"" + path + "\"";
    case VideoCorrupt: return "File \"" + path + "\" \nis not GIF format or is corrupted";
    case VideoUnsupportedDepth: return "Unsupported color depth";
    case VideoUnsupportedCompression: return "Unsupported compression method";
    case VideoUnexpectedEnd: return "Unexpected End of File";
    default: return {};
    }
}

}  // namespace movigram
