// Fuzz target: whatever the reader accepts, maximum compression must save so
// that the saved file shows the same screens for the same times, in the
// program's composition and in a browser's, and opens on the same screen.
// The planner meets every kind of animation the reader lets through: frames
// off the screen, local palettes of any size, transparent indices past the
// palette, restore to previous, frames without time.
//
// Animations whose screens take long to compare are left out: the planner
// keeps a few pictures of the screen, and the comparison one per frame.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "FuzzSupport.h"
#include "document/FrameChain.h"
#include "document/FrameList.h"
#include "save/GifPlan.h"
#include "save/MaxCompression.h"
#include "support/Screens.h"

using namespace movigram;
using movigram::fuzz::fail;

namespace {

constexpr int64_t maxScreenPixels = int64_t(1) << 18;
constexpr int64_t maxComparedPixels = int64_t(1) << 22;  // screen pixels times frames

void compare(TFrame* want, const TMyPalette& wantGlobal, TFrame* got, const TMyPalette* gotGlobal, TSize size) {
    using test::Semantics;
    for (Semantics semantics : {Semantics::Program, Semantics::Viewer}) {
        const std::string d = test::compareScreens(test::screensOf(want, &wantGlobal, size, semantics),
                                                   test::screensOf(got, gotGlobal, size, semantics), size.width);
        if (!d.empty())
            fail("%s view differs: %s", semantics == Semantics::Program ? "program" : "browser", d.c_str());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    GifReadOptions options;
    options.limits = fuzz::fuzzLimits();
    GifReadOutput read = fuzz::readChecked(data, size, options);
    if (read.frames.empty()) return 0;

    const TMyPalette global = read.globalPalette.value_or(TMyPalette());
    FrameList list;
    list.appendChain(std::move(read.frames));
    TFrame* first = threadFrames(list, read.loopFound);
    const TSize screen = boundingSize(first);
    const int64_t pixels = int64_t(screen.width) * screen.height;
    if (pixels > maxScreenPixels || pixels * list.count() > maxComparedPixels) return 0;

    GifPlan plan;
    if (!planMaxCompression(first, global, {read.loopCount, nullptr}, plan)) return 0;
    ByteSink sink;
    if (!writeGifPlan(sink, plan)) fail("writing the plan to memory failed");

    GifReadOutput back = readGifMemory(sink.bytes(), "saved", options);
    if (back.result != GifOk) fail("the saved file reads with result %d", int(back.result));
    linkChain(back.frames);
    TFrame* saved = back.frames.empty() ? nullptr : back.frames.front().get();
    if (boundingSize(saved) != screen)
        fail("reopened on a screen of %dx%d, not %dx%d", boundingSize(saved).width, boundingSize(saved).height,
             screen.width, screen.height);
    compare(first, global, saved, back.globalPalette ? &*back.globalPalette : nullptr, screen);
    return 0;
}
