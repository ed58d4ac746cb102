// Fuzz target: the GIF reader, then what the editor does first with a file it
// has read: the frames go into the frame list, are composed onto the screen
// (the editor's own drawing and the browser view), and the frame times are
// brought to a common unit.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzSupport.h"
#include "document/Compose.h"
#include "document/FrameList.h"
#include "document/ViewerCanvas.h"

using namespace movigram;
using movigram::fuzz::fail;

namespace {

// Screens larger than this are not composed: the editor would need a screen
// of that size too, which says nothing about the reader.
constexpr int64_t maxComposedScreen = int64_t(4) << 20;

void composeAll(const FrameList& list, TFrame* first, TSize screen, const TMyPalette& global) {
    // The editor's drawing, frame after frame, once showing restored frames
    // and once erasing them.
    for (bool eraseMode : {false, true}) {
        auto work = TFrame::blank(screen.width, screen.height, std::max(chainBackground(first), 0), global);
        TFrame* previous = nullptr;
        for (int i = 0; i < list.count(); ++i) {
            TFrame* f = list.frameAt(i);
            if (!f->hasImage()) continue;
            composeFrame(*work, *f, previous, eraseMode);
            previous = f;
        }
        if (work->rect != TRect{0, 0, screen.width, screen.height}) fail("composed screen grew");
    }
    // The picture at a frame, as the editor builds it for a single frame.
    for (int index : {list.count() - 1, list.count() / 2}) {
        auto composite = compositeAt(list, index, "composite", screen, global);
        if (!composite || !composite->image) fail("no composite at %d", index);
        if (composite->image->width() != screen.width || composite->image->height() != screen.height)
            fail("composite at %d is %dx%d on a %dx%d screen", index, composite->image->width(),
                 composite->image->height(), screen.width, screen.height);
    }
    // The browser view of the chain as it will be written.
    ViewerCanvas canvas(screen.width, screen.height);
    forEachInChain(first, [&](TFrame& f) {
        if (!f.hasImage()) return;
        canvas.step(f, &global, f.restoreToBackground ? Disposal::Background : Disposal::None,
                    [](const ViewerCanvas&) {});
    });
}

// normalizeFrameTimes must keep every image frame's display time.
void normalizeTimes(const FrameList& list, TFrame* first) {
    std::vector<int64_t> before;
    for (int i = 0; i < list.count(); ++i)
        before.push_back(int64_t(list.frameAt(i)->frameTime) * list.frameAt(i)->repeat);
    const int32_t unit = normalizeFrameTimes(first);
    if (unit < 10 || unit > 1000) fail("time unit %d", unit);
    for (int i = 0; i < list.count(); ++i) {
        const TFrame* f = list.frameAt(i);
        if (!f->hasImage()) continue;
        if (f->frameTime != unit) fail("frame %d: time %d, unit %d", i, f->frameTime, unit);
        if (int64_t(f->frameTime) * f->repeat != before[size_t(i)])
            fail("frame %d: display time %lld became %d x %d", i, static_cast<long long>(before[size_t(i)]),
                 f->frameTime, f->repeat);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    GifReadOptions options;
    options.limits = fuzz::fuzzLimits();
    ProgressFunction progress([](int percent) {
        if (percent < 0 || percent > 100) fail("progress %d", percent);
    });
    options.progress = &progress;
    size_t painted = 0;
    options.paint = [&](const TFrame& frame) { fuzz::checkImageFrame(frame, painted++); };

    GifReadOutput out = fuzz::readChecked(data, size, options);
    if (out.frames.empty()) return 0;

    const TMyPalette global = out.globalPalette.value_or(TMyPalette());
    FrameList list;
    list.appendChain(std::move(out.frames));
    TFrame* first = threadFrames(list, out.loopFound);
    if (chainCount(first) != list.count()) fail("chain of %d frames in a list of %d", chainCount(first), list.count());

    const TSize screen = boundingSize(first);
    if (int64_t(screen.width) * screen.height <= maxComposedScreen) composeAll(list, first, screen, global);
    normalizeTimes(list, first);
    return 0;
}
