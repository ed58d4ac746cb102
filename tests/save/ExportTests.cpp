// Exports decoded back with the formats' own libraries: the lossless ones
// show exactly the screens a browser shows for the saved GIF, with their
// times and the loop count; the videos have the frames, size and times.
#include <gtest/gtest.h>
#include <png.h>
#include <webp/demux.h>
#include <zlib.h>
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "save/Export.h"
#include "support/GifBuilder.h"
#include "support/Screens.h"

namespace movigram {
namespace {

using test::Screen;

// A width x 3 screen (odd both ways) of five frames: a background, a patch
// with a transparent pixel restored to the background (a hole shows
// through), a frame of no time, a pixel in a colour of a local palette, and
// a frame that changes nothing; played three times.
std::unique_ptr<Document> sampleDocument(int colours = 8, int width = 5) {
    auto doc = std::make_unique<Document>();
    doc->setUndoEnabled(false);
    doc->globalPalette = std::make_unique<TMyPalette>(test::testPalette(colours));
    auto add = [&](std::unique_ptr<TFrame> f, TPoint at, int32_t ms) {
        f->moveTo(at);
        f->frameTime = ms;
        std::string name = f->name;
        doc->frameList.append(std::move(name), std::move(f));
    };
    add(test::makeFrame(width, 3, [&](int x, int y) { return (x + width * y) % colours; }), {0, 0}, 100);
    auto patch = test::makeFrame(2, 2, [](int x, int y) { return x == 0 && y == 0 ? 7 : 3; });
    patch->transparentIndex = 7;
    patch->restoreToBackground = true;
    add(std::move(patch), {1, 1}, 250);
    add(test::makeFrame(1, 1, [](int, int) { return 5; }), {0, 0}, 0);
    auto local = test::makeFrame(1, 1, [](int, int) { return 0; });
    local->localPalette = std::make_unique<TMyPalette>(std::vector<PaletteEntry>{{9, 200, 77, 0}});
    add(std::move(local), {width - 1, 2}, 33);
    add(test::makeFrame(1, 1, [](int, int) { return 5; }), {0, 0}, 70);
    doc->loopOption = true;
    doc->loopCount = 3;
    doc->relink();
    return doc;
}

std::vector<Screen> expectedScreens(Document& doc) {
    return test::screensOf(doc.firstFrame, doc.globalPalette.get(), {doc.screenWidth, doc.screenHeight},
                           test::Semantics::Viewer);
}

class Export : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("movigram-export-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::vector<uint8_t> slurp(const std::string& name) const {
        std::ifstream in(dir / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::string exported(Document& doc, ExportFormat format, const std::string& name, ExportOptions options = {}) {
        const std::string path = (dir / name).string();
        const ExportResult r = exportScreens(shownScreensOf(doc), format, path, options);
        EXPECT_TRUE(r.ok) << r.error;
        return path;
    }
    std::filesystem::path dir;
};

Rgba settled(Rgba p) { return p.a == 0 ? Rgba{} : p; }

// WebP through libwebp's animation decoder.
std::vector<Screen> decodeWebp(const std::vector<uint8_t>& bytes, int& loops, int& width) {
    WebPData data{bytes.data(), bytes.size()};
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    options.color_mode = MODE_RGBA;
    WebPAnimDecoder* dec = WebPAnimDecoderNew(&data, &options);
    if (!dec) return {};
    WebPAnimInfo info;
    WebPAnimDecoderGetInfo(dec, &info);
    loops = int(info.loop_count);
    width = int(info.canvas_width);
    std::vector<Screen> screens;
    int before = 0;
    while (WebPAnimDecoderHasMoreFrames(dec)) {
        uint8_t* rgba;
        int end;
        if (!WebPAnimDecoderGetNext(dec, &rgba, &end)) break;
        Screen s;
        const auto* p = reinterpret_cast<const Rgba*>(rgba);
        for (size_t i = 0; i < size_t(info.canvas_width) * info.canvas_height; ++i) s.pixels.push_back(settled(p[i]));
        s.ms = end - before;
        before = end;
        screens.push_back(std::move(s));
    }
    WebPAnimDecoderDelete(dec);
    return screens;
}

// APNG: the chunks read here, each frame's image decoded by libpng as a PNG
// of its own, and composed by the frame's blend and dispose operations.
std::vector<Screen> decodeApng(const std::vector<uint8_t>& file, int& plays, bool& indexed) {
    auto be32 = [&](size_t at) {
        return uint32_t(file[at]) << 24 | uint32_t(file[at + 1]) << 16 | uint32_t(file[at + 2]) << 8 | file[at + 3];
    };
    auto chunk = [](std::vector<uint8_t>& out, const char* type, const uint8_t* data, size_t size) {
        for (int s = 24; s >= 0; s -= 8) out.push_back(uint8_t(size >> s));
        const size_t start = out.size();
        out.insert(out.end(), type, type + 4);
        out.insert(out.end(), data, data + size);
        const uLong crc = crc32(0, out.data() + start, uInt(out.size() - start));
        for (int s = 24; s >= 0; s -= 8) out.push_back(uint8_t(crc >> s));
    };
    std::vector<uint8_t> ihdr, plte, trns;
    struct Frame {
        uint32_t w, h, x, y;
        int ms, dispose, blend;
        std::vector<uint8_t> data;
    };
    std::vector<Frame> frames;
    for (size_t at = 8; at + 12 <= file.size();) {
        const uint32_t n = be32(at);
        const std::string type(file.begin() + long(at) + 4, file.begin() + long(at) + 8);
        const uint8_t* d = file.data() + at + 8;
        if (type == "IHDR") ihdr.assign(d, d + n);
        else if (type == "PLTE") plte.assign(d, d + n);
        else if (type == "tRNS") trns.assign(d, d + n);
        else if (type == "acTL") plays = int(be32(at + 12));
        else if (type == "fcTL") {
            const int num = d[20] << 8 | d[21], den = d[22] << 8 | d[23];
            frames.push_back({be32(at + 12), be32(at + 16), be32(at + 20), be32(at + 24),
                              num * 1000 / (den ? den : 100), d[24], d[25], {}});
        } else if (type == "IDAT") frames.back().data.insert(frames.back().data.end(), d, d + n);
        else if (type == "fdAT") frames.back().data.insert(frames.back().data.end(), d + 4, d + n);
        at += 12 + n;
    }
    if (ihdr.size() != 13 || frames.empty()) return {};
    indexed = ihdr[9] == 3;
    const uint32_t width = be32(16), height = be32(20);
    std::vector<Rgba> canvas(size_t(width) * height);
    std::vector<Screen> screens;
    for (const Frame& f : frames) {
        std::vector<uint8_t> png(file.begin(), file.begin() + 8);
        std::vector<uint8_t> header = ihdr;
        for (int k = 0; k < 4; ++k) header[size_t(k)] = uint8_t(f.w >> (24 - 8 * k)), header[size_t(4 + k)] = uint8_t(f.h >> (24 - 8 * k));
        chunk(png, "IHDR", header.data(), header.size());
        if (!plte.empty()) chunk(png, "PLTE", plte.data(), plte.size());
        if (!trns.empty()) chunk(png, "tRNS", trns.data(), trns.size());
        chunk(png, "IDAT", f.data.data(), f.data.size());
        chunk(png, "IEND", nullptr, 0);
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return {};
        image.format = PNG_FORMAT_RGBA;
        std::vector<Rgba> pixels(size_t(f.w) * f.h);
        if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
        const std::vector<Rgba> before = canvas;
        for (uint32_t y = 0; y < f.h; ++y)
            for (uint32_t x = 0; x < f.w; ++x) {
                const Rgba p = pixels[size_t(y) * f.w + x];
                Rgba& c = canvas[size_t(f.y + y) * width + f.x + x];
                if (f.blend == 0 || p.a == 255) c = settled(p);
                else if (p.a != 0) ADD_FAILURE() << "partial alpha";
            }
        screens.push_back({canvas, f.ms});
        if (f.dispose == 2)
            for (uint32_t y = 0; y < f.h; ++y)
                std::fill_n(&canvas[size_t(f.y + y) * width + f.x], f.w, Rgba{});
        if (f.dispose == 3) canvas = before;
    }
    return screens;
}

TEST_F(Export, LosslessFormatsShowTheBrowsersScreensWithTheirTimesAndLoops) {
    // 15 pixels, few colours: indexed; 258 pixels of 256 colours, a colour
    // of a local palette and a hole: RGBA.
    for (int colours : {8, 256}) {
        SCOPED_TRACE(colours);
        const int width = colours == 8 ? 5 : 87;
        auto doc = sampleDocument(colours, width);
        const std::vector<Screen> want = expectedScreens(*doc);
        ASSERT_EQ(want.size(), 3u);  // the frame of no time and the one that changes nothing are merged away

        int loops = -1, shown = 0;
        exported(*doc, ExportFormat::WebP, "a.webp");
        EXPECT_EQ(test::compareScreens(want, decodeWebp(slurp("a.webp"), loops, shown), width), "");
        EXPECT_EQ(loops, 3);

        int plays = -1;
        bool indexed = false;
        exported(*doc, ExportFormat::Apng, "a.png");
        EXPECT_EQ(test::compareScreens(want, decodeApng(slurp("a.png"), plays, indexed), width), "");
        EXPECT_EQ(plays, 3);
        EXPECT_EQ(indexed, colours == 8);
    }
}

TEST_F(Export, LoopingFollowsTheChainAndLossyWebpKeepsTransparency) {
    auto doc = sampleDocument();
    doc->loopOption = false;
    doc->relink();
    int loops = -1, width = 0, plays = -1;
    bool indexed = false;
    EXPECT_EQ(decodeWebp(slurp(std::filesystem::path(exported(*doc, ExportFormat::WebP, "once.webp")).filename()),
                         loops, width).size(), 3u);
    EXPECT_EQ(loops, 1);
    exported(*doc, ExportFormat::Apng, "once.png");
    decodeApng(slurp("once.png"), plays, indexed);
    EXPECT_EQ(plays, 1);

    exported(*doc, ExportFormat::WebP, "lossy.webp", {.quality = 50});
    const std::vector<Screen> got = decodeWebp(slurp("lossy.webp"), loops, width);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[2].pixels[6].a, 0);  // the hole the patch left at (1,1)
    EXPECT_EQ(got[2].pixels[5].a, 255);
}

struct Decoded {
    int frames = 0, width = 0, height = 0;
    std::vector<int64_t> pts;  // milliseconds
    int64_t durationMs = 0;
    AVPixelFormat format = AV_PIX_FMT_NONE;
};

Decoded decodeVideo(const std::string& path) {
    Decoded out;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) return out;
    avformat_find_stream_info(fmt, nullptr);
    out.durationMs = av_rescale_q(fmt->duration, AV_TIME_BASE_Q, {1, 1000});
    const int index = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index >= 0) {
        AVStream* st = fmt->streams[index];
        const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
        AVCodecContext* ctx = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(ctx, st->codecpar);
        avcodec_open2(ctx, codec, nullptr);
        out.width = st->codecpar->width;
        out.height = st->codecpar->height;
        out.format = AVPixelFormat(st->codecpar->format);
        AVPacket* pkt = av_packet_alloc();
        AVFrame* frame = av_frame_alloc();
        auto receive = [&] {
            while (avcodec_receive_frame(ctx, frame) == 0) {
                ++out.frames;
                out.pts.push_back(av_rescale_q(frame->best_effort_timestamp, st->time_base, {1, 1000}));
            }
        };
        while (av_read_frame(fmt, pkt) >= 0) {
            if (pkt->stream_index == index) {
                avcodec_send_packet(ctx, pkt);
                receive();
            }
            av_packet_unref(pkt);
        }
        avcodec_send_packet(ctx, nullptr);
        receive();
        av_frame_free(&frame);
        av_packet_free(&pkt);
        avcodec_free_context(&ctx);
    }
    avformat_close_input(&fmt);
    return out;
}

TEST_F(Export, VideosHaveEveryScreenAtItsTimeOnAnEvenSize) {
    auto doc = sampleDocument();
    for (ExportFormat format : {ExportFormat::Mp4, ExportFormat::WebM}) {
        SCOPED_TRACE(exportFormatName(format));
        const Decoded v = decodeVideo(exported(*doc, format, std::string("a") + exportFormatExtension(format)));
        EXPECT_EQ(v.frames, 3);
        EXPECT_EQ(v.width, 6);
        EXPECT_EQ(v.height, 4);
        EXPECT_EQ(v.pts, (std::vector<int64_t>{0, 100, 350}));
        EXPECT_EQ(v.durationMs, 100 + 250 + 33 + 70);
    }
    EXPECT_NE(exportNote(ExportFormat::Mp4, shownScreensOf(*doc), {}).find("no transparency"), std::string::npos);
}

TEST_F(Export, AFailedWriteLeavesNothingAndSaysWhy) {
    auto doc = sampleDocument();
    for (ExportFormat format : {ExportFormat::WebP, ExportFormat::Apng, ExportFormat::Mp4}) {
        const std::string path = (dir / "missing" / "x").string() + exportFormatExtension(format);
        const ExportResult r = exportScreens(shownScreensOf(*doc), format, path, {});
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.error.find(path), std::string::npos) << r.error;
        EXPECT_EQ(r.error.find('\n'), std::string::npos);
    }
    // Stopped on the way: nothing is written.
    StopToken stop;
    stop.requestStop();
    QuietHost stopped(&stop);
    for (ExportFormat format : {ExportFormat::WebP, ExportFormat::Apng, ExportFormat::WebM})
        EXPECT_FALSE(exportScreens(shownScreensOf(*doc), format, (dir / "s").string() + exportFormatExtension(format),
                                   {}, &stopped).ok);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 0);
}

}  // namespace
}  // namespace movigram
