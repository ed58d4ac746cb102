#include "GifWriter.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <new>

#include "FileIo.h"
#include "FrameChain.h"
#include "LzwEncoder.h"

namespace movigram {

namespace {

constexpr int32_t maxCoordinate = 0xFFFF;

void putColorTable(ByteSink& out, const TMyPalette& palette, int bits) {
    for (int i = 0; i < (1 << bits); ++i) {
        const PaletteEntry e = i < palette.colorCount ? palette.entry(i) : PaletteEntry{};
        out.put(e.red);
        out.put(e.green);
        out.put(e.blue);
    }
}

bool isCircular(TFrame* first) {
    for (TFrame* f = first ? first->next : nullptr; f; f = f->next)
        if (f == first) return true;
    return false;
}

// The part of the frame written: its dirty rectangle or its whole rectangle,
// clipped to the screen, whose origin is always (0, 0).
TRect writeRect(const TFrame& frame, bool cropToDirty) {
    const TRect r = cropToDirty ? frame.dirtyRect : frame.rect;
    return r.intersected(frame.rect).intersected({0, 0, maxCoordinate, maxCoordinate});
}

uint32_t delayOf(const TFrame& frame) {
    // Rounded to the nearest hundredth: truncating the unit first would turn
    // 70 ms as 2 x 35 ms into 60 ms.
    const int64_t ms = int64_t(frame.frameTime) * frame.repeat;
    return uint32_t(std::clamp<int64_t>((ms + 5) / 10, 0, 0xFFFF));
}

void writeComment(ByteSink& out, const TTextFrame& frame) {
    out.put(0x21);
    out.put(0xFE);
    for (const TTextBlock& block : frame.blocks()) {
        if (block.text.empty()) continue;
        out.put(uint8_t(block.text.size()));
        out.write(reinterpret_cast<const uint8_t*>(block.text.data()), block.text.size());
    }
    out.put(0);
}

void writeImageFrame(ByteSink& out, LzwEncoder& encoder, const TFrame& frame, int globalBits,
                     bool cropToDirty) {
    const TRect dirty = frame.dirtyRect;
    if (cropToDirty && (dirty.isEmpty() || frame.rect.right < dirty.left || frame.rect.bottom < dirty.top))
        return;
    const TRect r = writeRect(frame, cropToDirty);
    // A frame wholly left of or above the screen has nothing to show.
    if (r.isEmpty()) return;

    out.put(0x21);
    out.put(0xF9);
    out.put(0x04);
    uint8_t packed = frame.transparentIndex >= 0 ? 1 : 0;
    if (frame.restoreToBackground) packed |= 8;
    out.put(packed);
    out.putLe16(delayOf(frame));
    out.put(frame.transparentIndex >= 0 ? uint8_t(frame.transparentIndex) : 0);
    out.put(0);

    int bits = globalBits;
    out.put(0x2C);
    out.putLe16(uint32_t(r.left));
    out.putLe16(uint32_t(r.top));
    out.putLe16(uint32_t(r.width()));
    out.putLe16(uint32_t(r.height()));
    if (frame.localPalette) {
        bits = std::max(tableBits(frame.localPalette->colorCount), 2);
        out.put(uint8_t(0x80 | ((bits - 1) & 7)));
        putColorTable(out, *frame.localPalette, bits);
    } else {
        out.put(0);
    }

    const TDib256& image = *frame.image;
    const int32_t x0 = r.left - frame.rect.left, y0 = r.top - frame.rect.top;
    // The code size must hold every index written, also when an image uses
    // values past its colour table.  The highest bit set in any index tells
    // that; with 8 bits every index fits.
    int minCodeSize = std::max(bits, 2);
    if (minCodeSize < 8) {
        uint64_t any = 0;
        for (int32_t y = 0; y < r.height(); ++y) {
            const uint8_t* row = image.row(y0 + y) + x0;
            int32_t x = 0;
            for (; x + 8 <= r.width(); x += 8) {
                uint64_t word;
                std::memcpy(&word, row + x, sizeof word);
                any |= word;
            }
            for (; x < r.width(); ++x) any |= row[x];
        }
        any |= any >> 32;
        any |= any >> 16;
        any |= any >> 8;
        minCodeSize = std::max(minCodeSize, int(std::bit_width(uint8_t(any))));
    }
    encoder.encode(image.row(y0) + x0, -std::ptrdiff_t(image.stride()), uint32_t(r.width()),
                   uint32_t(r.height()), minCodeSize, out);
}

}  // namespace

int tableBits(int count) {
    int n = 0;
    while (n < 8 && (1 << n) < count) ++n;
    return n;
}

bool writeGifTo(ByteSink& out, TFrame* firstFrame, const TMyPalette& globalPalette,
                const GifWriteOptions& options) {
    const int bits = std::max(2, tableBits(globalPalette.colorCount));
    const TSize screen = boundingSize(firstFrame);

    out.write(reinterpret_cast<const uint8_t*>("GIF89a"), 6);
    out.putLe16(uint32_t(std::min(screen.width, maxCoordinate)));
    out.putLe16(uint32_t(std::min(screen.height, maxCoordinate)));
    out.put(uint8_t(0xD0 | (bits - 1)));
    out.put(uint8_t(std::clamp(chainBackground(firstFrame), 0, 255)));
    out.put(0);
    putColorTable(out, globalPalette, bits);

    if (isCircular(firstFrame) && options.loopCount != 1) {
        static const uint8_t ext[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 0x03, 0x01};
        out.write(ext, sizeof ext);
        out.putLe16(options.loopCount == 0 ? 0 : uint32_t(std::clamp(options.loopCount - 1, 0, 0xFFFF)));
        out.put(0);
    }

    LzwEncoder encoder;
    const int count = chainCount(firstFrame);
    int done = 0;
    forEachInChain(firstFrame, [&](TFrame& frame) {
        if (out.failed()) return;
        if (frame.isComment)
            writeComment(out, static_cast<const TTextFrame&>(frame));
        else if (frame.image)
            writeImageFrame(out, encoder, frame, bits, options.cropToDirty);
        ++done;
        if (options.progress && count > 1) options.progress->setProgress(done * 100 / count);
    });
    out.put(0x3B);
    if (options.progress) options.progress->setProgress(100);
    return !out.failed();
}

namespace {

// Writes the file atomically with whatever body() puts into the sink.
template <typename Body>
GifWriteResult writeGifFile(const std::string& path, Body&& body) {
    GifWriteResult result;
    result.path = path;
    AtomicFile file(path);
    auto failed = [&](int code, int systemError) {
        result.errorCode = code;
        result.systemError = systemError;
        return result;
    };
    std::FILE* f = file.open();
    if (!f) return failed(GifErrorCreate, file.error());
    try {
        ByteSink out(f);
        if (!body(out)) return failed(GifErrorBuffer, out.error());
        if (!out.flush()) return failed(GifErrorFinal, out.error());
    } catch (const std::bad_alloc&) {
        return failed(GifErrorMemory, ENOMEM);
    }
    if (!file.close()) return failed(GifErrorClose, file.error());
    if (!file.commit()) return failed(GifErrorCreate, file.error());
    result.ok = true;
    return result;
}

}  // namespace

GifWriteResult writeGif(const std::string& path, TFrame* firstFrame, const TMyPalette& globalPalette,
                        const GifWriteOptions& options) {
    return writeGifFile(path, [&](ByteSink& out) { return writeGifTo(out, firstFrame, globalPalette, options); });
}

GifWriteResult writeGifBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    return writeGifFile(path, [&](ByteSink& out) {
        out.write(bytes.data(), bytes.size());
        return !out.failed();
    });
}

std::string gifWriteErrorMessage(const GifWriteResult& result) {
    // The system's reason when it gave one, whichever step met it (the
    // writer's code only tells the step); else the writer's "Error %d".
    const std::string why =
        result.systemError ? std::strerror(result.systemError) : "Error " + std::to_string(result.errorCode);
    return "Cannot write \"" + result.path + "\": " + why;
}

}  // namespace movigram
