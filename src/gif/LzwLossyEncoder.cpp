#include "LzwLossyEncoder.h"

#include <algorithm>
#include <cmath>

namespace movigram {

namespace {

struct Rgb {
    int r, g, b;
};

Rgb rgbOf(uint32_t c) { return {int(c >> 16 & 0xFF), int(c >> 8 & 0xFF), int(c & 0xFF)}; }

uint32_t distance(const Rgb& a, const Rgb& b) {
    const int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
    return uint32_t(dr * dr + dg * dg + db * db);
}

// Packs codes least significant bit first and cuts them into sub-blocks.
class BitWriter {
public:
    explicit BitWriter(ByteSink& out) : out_(out) {}
    void put(uint32_t code, uint32_t size) {
        acc_ |= uint64_t(code) << bits_;
        bits_ += size;
        while (bits_ >= 8) {
            byte(uint8_t(acc_));
            acc_ >>= 8;
            bits_ -= 8;
        }
    }
    void finish() {
        if (bits_ > 0) byte(uint8_t(acc_));
        flushBlock();
        out_.put(0);
    }

private:
    void byte(uint8_t b) {
        block_[count_++] = b;
        if (count_ == 255) flushBlock();
    }
    void flushBlock() {
        if (count_ == 0) return;
        out_.put(uint8_t(count_));
        out_.write(block_, count_);
        count_ = 0;
    }
    ByteSink& out_;
    uint64_t acc_ = 0;
    uint32_t bits_ = 0;
    uint8_t block_[255];
    size_t count_ = 0;
};

}  // namespace

LzwLossyEncoder::LzwLossyEncoder() : firstChild_(4096, none), nextSibling_(4096, none), last_(4096, 0) {}

uint32_t LzwLossyEncoder::thresholdOf(int quality) {
    if (quality >= 100) return 0;
    // A per-channel step that grows with the loss asked for; squared over
    // the three channels.
    const double step = (100 - std::max(quality, 0)) * 0.6;
    return uint32_t(std::lround(3.0 * step * step)) + 1;
}

void LzwLossyEncoder::encode(const uint8_t* firstRow, std::ptrdiff_t rowStep, uint32_t width, uint32_t height,
                             const uint8_t* keep, const uint32_t* colours, uint32_t threshold, int minCodeSize,
                             ByteSink& out, int alternative, uint8_t* written) {
    const uint32_t clearCode = 1u << minCodeSize;
    const uint32_t endCode = clearCode + 1;
    const uint32_t roots = std::min(clearCode, 256u);
    Rgb palette[256];
    for (uint32_t i = 0; i < 256; ++i) palette[i] = i < roots ? rgbOf(colours[i]) : Rgb{0, 0, 0};

    out.put(uint8_t(minCodeSize));
    BitWriter bits(out);
    uint32_t codeSize = uint32_t(minCodeSize) + 1;
    // The packer's view of the table, which follows the decoder's: it grows
    // the code size once the code one past the largest of this size is due.
    uint32_t growAt = (1u << codeSize) + 1;
    uint32_t packed = clearCode + 2;
    auto resetSizes = [&] {
        codeSize = uint32_t(minCodeSize) + 1;
        growAt = (1u << codeSize) + 1;
        packed = clearCode + 2;
    };
    bits.put(clearCode, codeSize);

    auto clearTable = [&] { std::fill_n(firstChild_.begin(), roots, none); };
    clearTable();
    uint32_t nextFree = clearCode + 2;

    // Writes the code of a string that ends before index c, and adds
    // string + c to the table.
    auto endString = [&](uint32_t code, uint32_t c) {
        bits.put(code, codeSize);
        if (++packed == growAt) {
            if (codeSize > 11) {
                bits.put(clearCode, codeSize);
                resetSizes();
            } else {
                ++codeSize;
                growAt = (1u << codeSize) + 1;
            }
        }
        // Code 4096 is assigned only to be thrown away with the table.
        if (nextFree < 4096) {
            firstChild_[nextFree] = none;
            last_[nextFree] = uint8_t(c);
            nextSibling_[nextFree] = firstChild_[code];
            firstChild_[code] = uint16_t(nextFree);
        }
        if (++nextFree == 4097) {
            clearTable();
            nextFree = clearCode + 2;
        }
    };

    if (width > 0 && height > 0) {
        const int bound = int(std::sqrt(double(threshold)));
        uint32_t current = none;
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* const row = firstRow + std::ptrdiff_t(y) * rowStep;
            const uint8_t* const rowKeep = keep ? keep + size_t(y) * width : nullptr;
            // The colour error carried along the row.
            Rgb error{0, 0, 0};
            for (uint32_t x = 0; x < width; ++x) {
                const uint32_t c = row[x];
                uint8_t* const put = written ? written + size_t(y) * width + x : nullptr;
                if (current == none) {
                    current = c;
                    if (put) *put = uint8_t(c);
                    continue;
                }
                const uint8_t kind = rowKeep ? rowKeep[x] : uint8_t(Close);
                const bool exactOnly = threshold == 0 || kind != Close;
                const uint32_t other = kind == OrAlternative && alternative >= 0 ? uint32_t(alternative) : c;
                const Rgb& own = palette[c];
                const Rgb want{std::clamp(own.r + error.r, 0, 255), std::clamp(own.g + error.g, 0, 255),
                               std::clamp(own.b + error.b, 0, 255)};
                // The child of current that continues it: its own index when
                // there is one, else (when allowed) the index closest to the
                // wanted colour among those close enough to the pixel's.
                uint32_t found = none, best = UINT32_MAX;
                for (uint32_t k = firstChild_[current]; k != none; k = nextSibling_[k]) {
                    const uint32_t d = last_[k];
                    if (d == c || d == other) {
                        if (exactOnly) {
                            found = k;
                            if (d == c) break;
                            continue;
                        }
                    } else if (exactOnly || int(d) == alternative || distance(palette[d], own) >= threshold) {
                        continue;
                    }
                    const uint32_t e = distance(palette[d], want);
                    if (e < best || (e == best && d == c)) {
                        best = e;
                        found = k;
                    }
                }
                uint32_t index = c;
                if (found != none) {
                    current = found;
                    index = last_[found];
                } else {
                    endString(current, c);
                    current = c;
                }
                if (put) *put = uint8_t(index);
                if (exactOnly) {
                    error = {0, 0, 0};
                } else {
                    // Kept within one threshold step, so that a long stretch
                    // without a close string does not pile it up.
                    const Rgb& shown = palette[index];
                    error = {std::clamp(want.r - shown.r, -bound, bound), std::clamp(want.g - shown.g, -bound, bound),
                             std::clamp(want.b - shown.b, -bound, bound)};
                }
            }
        }
        bits.put(current, codeSize);
    }
    bits.put(endCode, codeSize);
    bits.finish();
}

}  // namespace movigram
