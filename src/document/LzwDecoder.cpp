#include "LzwDecoder.h"

#include <algorithm>
#include <cstring>

namespace movigram {

namespace {

// Where decoded indices go.  Non-interlaced images are one contiguous run of
// width x height bytes, so a whole string is written at once.  Interlaced
// images take pixels one at a time; each finished row is copied down over the
// rest of its pass band so that the picture fills in progressively.
struct InterlacedOutput {
    uint8_t* out;
    uint32_t width, height;
    uint32_t x = 0, y = 0;
    int pass = 1;

    static uint32_t band(int pass) { return pass == 1 ? 8 : pass == 2 ? 4 : pass == 3 ? 2 : 1; }

    void copyDown(uint32_t count) {
        if (y >= height || count == 0) return;
        const uint32_t last = std::min(height - 1, y + band(pass) - 1);
        for (uint32_t r = y + 1; r <= last; ++r)
            std::memcpy(out + size_t(r) * width, out + size_t(y) * width, count);
    }

    void put(uint8_t index) {
        if (y < height) out[size_t(y) * width + x] = index;
        if (++x < width) return;
        copyDown(width);
        x = 0;
        static constexpr uint32_t step[] = {0, 8, 8, 4, 2};
        static constexpr uint32_t start[] = {0, 0, 4, 2, 1};
        y += step[pass];
        while (y >= height && pass < 4) y = start[++pass];
    }

    void finish() {
        if (x > 0) copyDown(x);
    }
};

bool skipSubBlocks(ByteReader& in) {
    for (uint8_t n; in.readByte(n);) {
        if (n == 0) return true;
        if (!in.skip(n)) return false;
    }
    return false;
}

}  // namespace

LzwDecoder::LzwDecoder() {
    for (int i = 0; i < tableSize; ++i) {
        prefix_[i] = none;
        suffix_[i] = first_[i] = uint8_t(i);
        length_[i] = 1;
    }
}

LzwResult LzwDecoder::decode(ByteReader& in, int minCodeSize, uint8_t* out, uint32_t width,
                             uint32_t height, bool interlaced,
                             const std::function<void(double)>& progress) {
    const uint32_t clearCode = 1u << minCodeSize;
    const uint32_t endCode = clearCode + 1;
    const uint32_t charMask = clearCode - 1;
    uint32_t codeSize = minCodeSize + 1;
    uint32_t maxCode = 1u << codeSize;
    uint32_t codeMask = maxCode - 1;
    uint32_t nextFree = clearCode + 2;
    uint32_t previous = none;

    for (uint32_t i = 0; i < clearCode; ++i) {
        prefix_[i] = none;
        suffix_[i] = first_[i] = uint8_t(i);
        length_[i] = 1;
    }

    const uint64_t total = uint64_t(width) * height;
    uint64_t pos = 0;  // non-interlaced output position; row = pos / width
    InterlacedOutput lace{out, width, height};

    // Writes the string of a defined code, followed by `extra` when >= 0.
    auto emit = [&](uint32_t code, int extra) {
        const uint32_t len = length_[code] + (extra >= 0 ? 1 : 0);
        uint8_t* p;
        const bool direct = !interlaced && pos + len <= total;
        p = direct ? out + pos + len - 1 : scratch_ + len - 1;
        if (extra >= 0) *p-- = uint8_t(extra);
        while (code > charMask) {
            *p-- = suffix_[code];
            code = prefix_[code];
        }
        *p = uint8_t(code);
        if (direct) {
            pos += len;
        } else if (interlaced) {
            for (uint32_t i = 0; i < len; ++i) lace.put(scratch_[i]);
        } else {
            if (pos < total) std::memcpy(out + pos, scratch_, size_t(std::min<uint64_t>(len, total - pos)));
            pos += len;
        }
    };
    auto row = [&]() -> uint64_t { return interlaced ? lace.y : (width ? pos / width : 0); };
    auto finish = [&](LzwResult r) {
        if (interlaced) lace.finish();
        return r;
    };

    uint32_t acc = 0;
    uint32_t bits = 0;
    int blocks = 0;
    for (;;) {
        uint8_t n;
        if (!in.readByte(n)) return finish(LzwResult::Truncated);
        if (n == 0) return finish(LzwResult::Complete);
        // Data after the last row: an interlaced image is simply done, a plain
        // one is corrupt.
        if (interlaced ? row() >= height : row() > height) {
            if (!interlaced) return finish(LzwResult::Corrupt);
            skipSubBlocks(in);
            return finish(LzwResult::Complete);
        }
        std::span<const uint8_t> block = in.take(n);
        if (block.empty()) return finish(LzwResult::Truncated);
        if (progress && (++blocks & 63) == 0 && height)
            progress(std::min(1.0, double(row()) / height));

        for (uint8_t byte : block) {
            acc |= uint32_t(byte) << bits;
            bits += 8;
            while (bits >= codeSize) {
                uint32_t code = acc & codeMask;
                acc >>= codeSize;
                bits -= codeSize;

                if (code == endCode) {
                    const bool complete = row() + 1 >= height;
                    if (complete) skipSubBlocks(in);
                    return finish(complete ? LzwResult::Complete : LzwResult::Corrupt);
                }
                if (code == clearCode) {
                    nextFree = clearCode + 2;
                    codeSize = minCodeSize + 1;
                    maxCode = 1u << codeSize;
                    codeMask = maxCode - 1;
                    previous = none;
                    continue;
                }
                if (previous == none) {
                    // A code right after a clear names a single index; an
                    // out-of-range one is taken modulo the alphabet.
                    code &= charMask;
                    emit(code, -1);
                    previous = code;
                    continue;
                }
                // A code past the next free entry refers to nothing.
                if (code > nextFree) return finish(LzwResult::Corrupt);
                uint8_t firstChar;
                if (code == nextFree) {
                    if (code >= tableSize) return finish(LzwResult::Corrupt);
                    firstChar = first_[previous];
                    emit(previous, firstChar);
                } else {
                    firstChar = first_[code];
                    emit(code, -1);
                }
                if (nextFree < tableSize) {
                    prefix_[nextFree] = uint16_t(previous);
                    suffix_[nextFree] = firstChar;
                    first_[nextFree] = first_[previous];
                    length_[nextFree] = uint16_t(length_[previous] + 1);
                    ++nextFree;
                    if (nextFree >= maxCode && codeSize < 12) {
                        ++codeSize;
                        maxCode <<= 1;
                        codeMask = maxCode - 1;
                    }
                }
                previous = code;
            }
        }
    }
}

}  // namespace movigram
