// Draws the sample animation shipped in resources/samples/: a ball bouncing
// over a sky-to-grass gradient.  Build with `cmake --build build --target
// movigram-make-sample` and run it with the output path.
#include <cmath>
#include <cstdio>

#include "save/CommentFrame.h"
#include "document/FrameList.h"
#include "save/GifWriter.h"

using namespace movigram;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: movigram-make-sample OUT.gif\n");
        return 2;
    }
    constexpr int width = 96, height = 64, frames = 20, sky = 12;
    // 0..11 sky blues, 12..15 grass greens, 16..23 ball shades.
    std::vector<PaletteEntry> entries;
    for (int i = 0; i < sky; ++i) entries.push_back({uint8_t(40 + i * 12), uint8_t(90 + i * 10), 255, 0});
    for (int i = 0; i < 4; ++i) entries.push_back({uint8_t(30 + i * 10), uint8_t(140 + i * 20), 40, 0});
    for (int i = 0; i < 8; ++i) entries.push_back({255, uint8_t(60 + i * 24), uint8_t(40 + i * 8), 0});
    const TMyPalette palette(entries);

    FrameList list;
    for (int f = 0; f < frames; ++f) {
        auto frame = TFrame::blank(width, height, 0, palette);
        TDib256& image = *frame->image;
        const double t = double(f) / frames;
        const double cx = 12 + (width - 24) * t;
        const double cy = 14 + (height - 34) * std::fabs(std::cos(t * 2 * M_PI));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                int v = y < height - 12 ? y * sky / (height - 12) : sky + (x / 3 + y) % 4;
                const double dx = x - cx, dy = y - cy, r = std::sqrt(dx * dx + dy * dy);
                if (r < 9) v = 16 + std::min(7, int(r * 7 / 9 + (dx + dy > 0 ? 1 : 0)));
                image.setPixel(x, y, uint8_t(v));
            }
        frame->name = "bounce.gif." + std::to_string(f);
        frame->frameTime = 60;
        std::string text = frame->name;
        list.append(std::move(text), std::move(frame));
    }
    ensureCommentFrame(list, true);
    TFrame* first = threadFrames(list, true);
    GifWriteOptions options;
    options.loopCount = 0;
    const GifWriteResult result = writeGif(argv[1], first, palette, options);
    if (!result.ok) {
        std::fprintf(stderr, "%s\n", gifWriteErrorMessage(result).c_str());
        return 1;
    }
    std::printf("wrote %s\n", result.path.c_str());
    return 0;
}
