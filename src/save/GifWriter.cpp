#include "GifWriter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_map>

#include "document/FileIo.h"
#include "document/FrameCache.h"
#include "document/FrameChain.h"
#include "document/OriginalImageData.h"
#include "document/ViewerCanvas.h"
#include "gif/GifBlockWriter.h"
#include "gif/GifBlocks.h"
#include "gif/IndexFingerprint.h"
#include "gif/LzwEncoder.h"
#include "gif/LzwLossyEncoder.h"

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
    gif::putExtensionStart(out, gif::commentLabel);
    for (const TTextBlock& block : frame.blocks()) {
        if (block.text.empty()) continue;
        out.put(uint8_t(block.text.size()));
        out.write(reinterpret_cast<const uint8_t*>(block.text.data()), block.text.size());
    }
    out.put(gif::blockTerminator);
}

// The part of the frame the file holds; empty when the frame is left out.
TRect writtenRect(const TFrame& frame, bool cropToDirty) {
    const TRect dirty = frame.dirtyRect;
    if (cropToDirty && (dirty.isEmpty() || frame.rect.right < dirty.left || frame.rect.bottom < dirty.top))
        return {};
    // A frame wholly left of or above the screen has nothing to show.
    return writeRect(frame, cropToDirty);
}

// How an image's values are written.  Every value, the transparent index
// included, must name an entry of the table written with the image, but a
// frame may hold values past its palette (pasted, or read from a file that
// had them): the program shows them black, so they are written as an entry
// that shows black, and a transparent index past the table moves to an
// entry no pixel uses that shows what it showed (the fill colour of a
// restored area).  Where the table has no such entry it doubles: the added
// entries are black and unused.
struct ImageFit {
    int bits = 2;           // the table written has 2^bits entries
    int transparent = -1;
    bool remapped = false;  // the values go through map
    std::array<uint8_t, 256> map{};
};

// Whether a value under r can reach 2^bits: the bits set in any value tell.
bool mayPassTable(const TDib256& image, const TRect& r, int bits) {
    if (bits >= 8) return false;
    // An image with data kept for parking knows the values of all its
    // pixels without decoding.
    if (const auto values = image.knownValues()) {
        bool past = false;
        for (int v = 1 << bits; v < 256 && !past; ++v) past = ((*values)[size_t(v >> 6)] >> (v & 63)) & 1;
        if (!past) return false;
    }
    uint64_t any = 0;
    for (int32_t y = 0; y < r.height(); ++y) {
        const uint8_t* row = image.row(r.top + y) + r.left;
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
    return std::bit_width(uint8_t(any)) > bits;
}

ImageFit fitImage(const TFrame& frame, const TMyPalette& global, const TRect& r, int bits) {
    // No pixel can hold an index past 255: such a frame has no transparency.
    const int t = frame.transparentIndex <= 255 ? frame.transparentIndex : -1;
    ImageFit fit;
    fit.bits = bits;
    fit.transparent = t;
    // r in the image's own coordinates.
    const TRect inImage = r.moved(-frame.rect.left, -frame.rect.top);
    if (t < (1 << bits) && !mayPassTable(*frame.image, inImage, bits)) return fit;

    std::array<bool, 256> used{};
    for (int32_t y = inImage.top; y < inImage.bottom; ++y) {
        const uint8_t* row = frame.image->row(y);
        for (int32_t x = inImage.left; x < inImage.right; ++x) used[row[x]] = true;
    }
    const Rgba black{0, 0, 0, 255};
    auto shows = [&](int v) { return ViewerCanvas::colorOf(frame, &global, uint8_t(v)); };
    const Rgba fill = t >= 0 && t < 256 ? shows(t) : black;
    for (;; ++bits) {
        const int n = 1 << bits;
        std::array<bool, 256> visible{};
        bool past = false;
        for (int v = 0; v < 256; ++v) {
            if (!used[size_t(v)] || v == t) continue;
            if (v < n) visible[size_t(v)] = true;
            else past = true;
        }
        const int keptT = t < n ? t : -1;
        int blackAt = -1;
        for (int i = 0; i < n && past && blackAt < 0; ++i)
            if (i != keptT && shows(i) == black) blackAt = i;
        if (blackAt >= 0) visible[size_t(blackAt)] = true;
        int newT = keptT;
        for (int i = 0; i < n && t >= n && newT < 0; ++i)
            if (!visible[size_t(i)] && shows(i) == fill) newT = i;
        if ((past && blackAt < 0) || (t >= n && newT < 0)) continue;  // the table doubles
        fit.bits = bits;
        fit.transparent = t < 0 ? -1 : newT;
        fit.remapped = true;
        for (int v = 0; v < 256; ++v)
            fit.map[size_t(v)] = uint8_t(v == t ? std::max(newT, 0) : v < n ? v : blackAt);
        return fit;
    }
}

// Writes images with the lossy encoder, following two screens: the
// document's (the colours drawn) and the file's (the colours written), each
// as shown after the image before (colours as 0xRRGGBB, `cleared` where
// nothing is drawn).  A pixel whose colour the screen showed already stays
// as the file showed it: transparent when the previous image's restore keeps
// it, else an entry of that colour when the table has one; so still areas do
// not shimmer.  Only the other pixels may take close colours.
class LossyWriter {
public:
    LossyWriter(const TSize& screen, int quality) : threshold_(LzwLossyEncoder::thresholdOf(quality)) {
        // A screen too large to keep loses only the care for unchanged
        // pixels: it is kept up to 2^28 pixels.
        if (uint64_t(std::max(screen.width, 0)) * uint64_t(std::max(screen.height, 0)) <= (uint64_t(1) << 28)) {
            width_ = uint32_t(std::max(screen.width, 0));
            height_ = uint32_t(std::max(screen.height, 0));
            doc_.assign(size_t(width_) * height_, cleared);
            file_ = doc_;
        }
    }

    void write(ByteSink& out, const TFrame& frame, const TRect& r, const ImageFit& fit, const TMyPalette& global) {
        const TMyPalette& table = frame.localPalette ? *frame.localPalette : global;
        uint32_t colours[256] = {};
        for (int i = 0; i < (1 << fit.bits) && i < table.colorCount; ++i) {
            const PaletteEntry& e = table.entry(i);
            colours[i] = uint32_t(e.red) << 16 | uint32_t(e.green) << 8 | e.blue;
        }
        // An entry (not the transparent one) for each colour of the table.
        std::unordered_map<uint32_t, uint8_t> entryOf;
        for (int i = (1 << fit.bits) - 1; i >= 0; --i)
            if (i != fit.transparent) entryOf[colours[i]] = uint8_t(i);

        const size_t w = size_t(r.width()), h = size_t(r.height());
        values_.resize(w * h);
        keep_.resize(w * h);
        written_.resize(w * h);
        const TDib256& image = *frame.image;
        const int32_t x0 = r.left - frame.rect.left, y0 = r.top - frame.rect.top;
        auto onScreen = [&](size_t x, size_t y) -> int64_t {
            const uint64_t sx = uint64_t(r.left) + x, sy = uint64_t(r.top) + y;
            return sx < width_ && sy < height_ ? int64_t(sy * width_ + sx) : -1;
        };
        for (size_t y = 0; y < h; ++y) {
            const uint8_t* row = image.row(y0 + int32_t(y)) + x0;
            for (size_t x = 0; x < w; ++x) {
                const uint8_t v = fit.remapped ? fit.map[row[x]] : row[x];
                const size_t i = y * w + x;
                values_[i] = v;
                keep_[i] = LzwLossyEncoder::Exact;
                if (int(v) == fit.transparent) continue;
                const int64_t at = onScreen(x, y);
                if (at < 0 || doc_[size_t(at)] != colours[v]) {
                    keep_[i] = LzwLossyEncoder::Close;
                    continue;
                }
                // Unchanged: shown as the file shows it now.
                const uint32_t shown = file_[size_t(at)];
                if (fit.transparent >= 0 && !disposed(size_t(at))) {
                    values_[i] = uint8_t(fit.transparent);
                } else if (const auto e = entryOf.find(shown); e != entryOf.end()) {
                    values_[i] = e->second;
                }
            }
        }
        // The lossless encoding of the same values where it comes out smaller.
        ByteSink lossy, exact;
        encoder_.encode(values_.data(), std::ptrdiff_t(w), uint32_t(w), uint32_t(h), keep_.data(), colours,
                        threshold_, fit.bits, lossy, fit.transparent, written_.data());
        exactEncoder_.encode(values_.data(), std::ptrdiff_t(w), uint32_t(w), uint32_t(h), fit.bits, exact);
        if (exact.bytes().size() < lossy.bytes().size()) {
            written_ = values_;
            out.write(exact.bytes().data(), exact.bytes().size());
        } else {
            out.write(lossy.bytes().data(), lossy.bytes().size());
        }

        // The previous image's restore, then this image.
        for (uint32_t y = uint32_t(restored_.top); y < uint32_t(restored_.bottom) && y < height_; ++y)
            for (uint32_t x = uint32_t(restored_.left); x < uint32_t(restored_.right) && x < width_; ++x)
                doc_[size_t(y) * width_ + x] = file_[size_t(y) * width_ + x] = cleared;
        for (size_t y = 0; y < h; ++y) {
            const uint8_t* row = image.row(y0 + int32_t(y)) + x0;
            for (size_t x = 0; x < w; ++x) {
                const int64_t at = onScreen(x, y);
                const uint8_t v = fit.remapped ? fit.map[row[x]] : row[x];
                if (at < 0) continue;
                if (int(v) != fit.transparent) doc_[size_t(at)] = colours[v];
                const uint8_t shownValue = written_[y * w + x];
                if (int(shownValue) != fit.transparent) file_[size_t(at)] = colours[shownValue];
            }
        }
        restored_ = frame.restoreToBackground ? r : TRect{};
    }

private:
    static constexpr uint32_t cleared = 0xFF000000u;
    // Whether the previous image's restore clears the screen pixel at.
    bool disposed(size_t at) const {
        const int64_t x = int64_t(at % width_), y = int64_t(at / width_);
        return x >= restored_.left && x < restored_.right && y >= restored_.top && y < restored_.bottom;
    }

    uint32_t threshold_;
    uint32_t width_ = 0, height_ = 0;
    std::vector<uint32_t> doc_, file_;
    TRect restored_;  // the area the previous image restores to the background
    std::vector<uint8_t> values_, keep_, written_;
    LzwLossyEncoder encoder_;
    LzwEncoder exactEncoder_;
};

// Writes the frame's LZW data as read in place of a new encoding, when it
// decodes to exactly the values about to be written: their size and code
// size match and so does the fingerprint of the values themselves (or
// knownSame tells they are the values the data was decoded to), so an
// edit, a crop, a palette change or an optimisation that changed any of
// them has the frame encoded anew.  False when the data does not serve.
//
// Most files' data is as small as ours or smaller (over the test corpus,
// 2,118 of 2,130 images), and copying it saves the encoding.  The few that
// come out larger were written by encoders that clear the table often or
// hardly compress at all, up to 6 times our size; their data takes more
// than half the bits of one code per index, so data that large is encoded
// anew as well and the smaller of the two is written.
bool writeOriginal(ByteSink& out, const OriginalImageData* original, const uint8_t* firstRow,
                   std::ptrdiff_t rowStep, uint32_t width, uint32_t height, int codeSize, LzwEncoder& encoder,
                   bool knownSame) {
    // Data read with a larger code size than the table needs (some writers
    // always use 8) would decode to the same indices, but costs a bit more
    // per code than ours: it is encoded anew.
    if (!original || original->minCodeSize != codeSize || original->width != width || original->height != height)
        return false;
    if (!knownSame && indexFingerprint(firstRow, rowStep, width, height) != original->fingerprint()) return false;
    const uint64_t oneCodePerIndexBits = uint64_t(width) * height * uint64_t(codeSize + 1);
    if (uint64_t(original->codes.size()) * 8 * 2 > oneCodePerIndexBits) {
        ByteSink ours;
        encoder.encode(firstRow, rowStep, width, height, codeSize, ours);
        // The code size byte and the sub-block lengths and terminator.
        const size_t framed = 1 + original->codes.size() + (original->codes.size() + 254) / 255 + 1;
        if (ours.bytes().size() < framed) {
            out.write(ours.bytes().data(), ours.bytes().size());
            return true;
        }
    }
    gif::putImageData(out, codeSize, original->codes);
    return true;
}

void writeImageFrame(ByteSink& out, LzwEncoder& encoder, const TFrame& frame, const TRect& r,
                     const ImageFit& fit, LossyWriter* lossy, const TMyPalette& global) {
    const Disposal disposal = frame.restoreToBackground ? Disposal::Background : Disposal::None;
    gif::putGraphicControl(out, int(disposal), fit.transparent, delayOf(frame));
    gif::putImageDescriptor(out, uint32_t(r.left), uint32_t(r.top), uint32_t(r.width()), uint32_t(r.height()),
                            frame.localPalette ? uint8_t(gif::colorTableFlag | ((fit.bits - 1) & 7)) : 0);
    if (frame.localPalette) putColorTable(out, *frame.localPalette, fit.bits);

    if (lossy) return lossy->write(out, frame, r, fit, global);
    const TDib256& image = *frame.image;
    const int32_t x0 = r.left - frame.rect.left, y0 = r.top - frame.rect.top;
    const uint32_t width = uint32_t(r.width()), height = uint32_t(r.height());
    const uint8_t* firstRow = image.row(y0) + x0;
    std::ptrdiff_t rowStep = -std::ptrdiff_t(image.stride());
    std::vector<uint8_t> values;
    if (fit.remapped) {
        values.resize(size_t(width) * height);
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* row = image.row(y0 + int32_t(y)) + x0;
            for (uint32_t x = 0; x < width; ++x) values[size_t(y) * width + x] = fit.map[row[x]];
        }
        firstRow = values.data();
        rowStep = std::ptrdiff_t(width);
    }
    // An image still holding exactly the data it was read with needs no
    // fingerprint to tell.
    const bool knownSame = !fit.remapped && image.holdsExactly(frame.original.get());
    if (writeOriginal(out, frame.original.get(), firstRow, rowStep, width, height, fit.bits, encoder, knownSame))
        return;
    encoder.encode(firstRow, rowStep, width, height, fit.bits, out);
}

}  // namespace

int tableBits(int count) {
    int n = 0;
    while (n < 8 && (1 << n) < count) ++n;
    return n;
}

bool writeGifTo(ByteSink& out, TFrame* firstFrame, const TMyPalette& globalPalette,
                const GifWriteOptions& options) {
    const TSize screen = boundingSize(firstFrame);
    const int background = std::clamp(chainBackground(firstFrame), 0, 255);

    // Each image's values fitted to its table first: the global table grows
    // when an image on it needs more entries, or when the background index
    // lies past it.
    int bits = std::max({2, tableBits(globalPalette.colorCount), tableBits(background + 1)});
    struct Written {
        const TFrame* frame;
        TRect rect;
        ImageFit fit;
    };
    std::vector<Written> written;
    const bool park = options.parkBeyond != UINT64_MAX && parkingPays(firstFrame, options.parkBeyond);
    forEachInChain(firstFrame, [&](TFrame& frame) {
        if (frame.isComment || !frame.image) return;
        const TRect r = writtenRect(frame, options.cropToDirty);
        if (r.isEmpty()) return;
        const int tableBitsOfFrame =
            frame.localPalette ? std::max(tableBits(frame.localPalette->colorCount), 2) : bits;
        written.push_back({&frame, r, fitImage(frame, globalPalette, r, tableBitsOfFrame)});
        if (park) parkDone(frame);
        // An image fitted before the table grew keeps its values: the
        // larger table holds them too.
        if (!frame.localPalette) bits = std::max(bits, written.back().fit.bits);
    });

    gif::putHeader(out, uint32_t(std::min(screen.width, maxCoordinate)),
                   uint32_t(std::min(screen.height, maxCoordinate)), bits, uint8_t(background));
    putColorTable(out, globalPalette, bits);

    if (isCircular(firstFrame) && options.loopCount != 1) {
        const int loopValue = options.loopCount == 0 ? 0 : std::clamp(options.loopCount - 1, 0, 0xFFFF);
        gif::putLoopingExtension(out, uint32_t(loopValue));
    }

    LzwEncoder encoder;
    std::unique_ptr<LossyWriter> lossy;
    if (options.lossyQuality < 100) lossy = std::make_unique<LossyWriter>(screen, options.lossyQuality);
    const int count = chainCount(firstFrame);
    int done = 0;
    size_t image = 0;
    bool stopped = false;
    forEachInChain(firstFrame, [&](TFrame& frame) {
        if (out.failed() || stopped) return;
        if (options.progress && options.progress->stopRequested()) {
            stopped = true;
            return;
        }
        if (frame.isComment) {
            writeComment(out, static_cast<const TTextFrame&>(frame));
        } else if (image < written.size() && written[image].frame == &frame) {
            writeImageFrame(out, encoder, frame, written[image].rect, written[image].fit, lossy.get(), globalPalette);
            if (park) parkDone(frame);
            ++image;
        }
        ++done;
        if (options.progress && count > 1) options.progress->setProgress(done * 100 / count);
    });
    if (stopped) return false;
    gif::putTrailer(out);
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
