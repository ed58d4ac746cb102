#pragma once
// What the fuzz targets share: decode limits small enough that one input
// stays well inside the fuzzer's memory and time budget, checks that stop the
// run on a broken invariant, and a look over a freshly read chain.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <span>

#include "document/DecodeLimits.h"
#include "document/FrameChain.h"
#include "document/GifReader.h"

namespace movigram::fuzz {

// 4 megapixels per image, 16 MB per file, 4096 frames.
inline DecodeLimits fuzzLimits() {
    DecodeLimits limits;
    limits.maxImagePixels = uint64_t(4) << 20;
    limits.maxTotalBytes = uint64_t(16) << 20;
    limits.maxFrames = 4096;
    return limits;
}

// Prints what went wrong and stops; libFuzzer keeps the input as a crash.
[[noreturn]] inline void fail(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::fputs("fuzz check failed: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
    std::fflush(stderr);
    __builtin_trap();
}

// An image frame as the rest of the program expects it: an image exactly
// covering its rectangle, which lies on the 16-bit screen.
inline void checkImageFrame(const TFrame& frame, size_t at) {
    if (!frame.image) fail("frame %zu: image frame without image", at);
    const TRect& r = frame.rect;
    if (r.width() != frame.image->width() || r.height() != frame.image->height())
        fail("frame %zu: rect %dx%d but image %dx%d", at, r.width(), r.height(), frame.image->width(),
             frame.image->height());
    if (r.isEmpty() || r.left < 0 || r.top < 0 || r.left > 0xFFFF || r.top > 0xFFFF)
        fail("frame %zu: rect (%d, %d, %d, %d) off the screen", at, r.left, r.top, r.right, r.bottom);
    if (frame.transparentIndex < -1 || frame.transparentIndex > 255)
        fail("frame %zu: transparent index %d", at, frame.transparentIndex);
    if (frame.localPalette && (frame.localPalette->colorCount < 1 || frame.localPalette->colorCount > 256))
        fail("frame %zu: local palette of %d colours", at, frame.localPalette->colorCount);
}

// A reader's frames: at most maxFrames linked in order, each one a
// well-formed comment or image frame.
inline void checkFrames(const FrameChain& frames, const DecodeLimits& limits) {
    if (frames.size() > limits.maxFrames) fail("%zu frames over the limit", frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        const TFrame& f = *frames[i];
        const TFrame* following = i + 1 < frames.size() ? frames[i + 1].get() : nullptr;
        if (f.next != following) fail("frame %zu: broken link", i);
        if (f.isComment) {
            if (f.image) fail("frame %zu: comment frame with an image", i);
        } else {
            checkImageFrame(f, i);
        }
    }
}

// The GIF reader's output: a known result and well-formed frames.
inline void checkReadOutput(const GifReadOutput& out, const DecodeLimits& limits) {
    if (out.result < GifOk || out.result > GifOutsideScreen) fail("result code %d", out.result);
    checkFrames(out.frames, limits);
}

// Reads the input as a GIF with options and checks what came out.
inline GifReadOutput readChecked(const uint8_t* data, size_t size, const GifReadOptions& options) {
    GifReadOutput out = readGifMemory(std::span<const uint8_t>(data, size), "fuzz", options);
    checkReadOutput(out, options.limits);
    return out;
}

}  // namespace movigram::fuzz
