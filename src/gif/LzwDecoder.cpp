#include "LzwDecoder.h"

#include <algorithm>
#include <bit>
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

    uint64_t produced = 0;  // indices put, kept or not

    void put(uint8_t index) {
        ++produced;
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

uint64_t loadLe64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    return v;
}

// Copies len bytes that appear earlier in the output (src + len <= dst) to
// dst, sixteen at a time.  What the copy writes past dst + len is put back
// afterwards, so the output after the string is left as it was; the caller
// makes sure there are 16 bytes of room past dst + len.
inline void copyEarlierString(uint8_t* dst, const uint8_t* src, uint32_t len) {
    uint8_t after[16];
    std::memcpy(after, dst + len, sizeof after);
    // Chunks may overlap the string when it lies fewer than 16 bytes back.
    for (uint32_t i = 0; i < len; i += 16) std::memmove(dst + i, src + i, 16);
    std::memcpy(dst + len, after, sizeof after);
}

}  // namespace

LzwDecoder::LzwDecoder() {
    for (int i = 0; i < tableSize; ++i) table_[i] = {0, none, 1, uint8_t(i), uint8_t(i)};
}

LzwResult LzwDecoder::decode(ByteReader& in, int minCodeSize, uint8_t* out, uint32_t width,
                             uint32_t height, bool interlaced,
                             const std::function<void(int)>& progress, const uint8_t* valueMap) {
    const uint32_t clearCode = 1u << minCodeSize;
    const uint32_t endCode = clearCode + 1;
    const uint32_t charMask = clearCode - 1;
    uint32_t codeSize = minCodeSize + 1;
    uint32_t maxCode = 1u << codeSize;
    uint32_t codeMask = maxCode - 1;
    uint32_t nextFree = clearCode + 2;
    uint32_t previous = none;

    // Every index comes from a single-index entry, so mapping those maps the
    // whole output.
    for (uint32_t i = 0; i < clearCode; ++i) {
        const uint8_t v = valueMap && i < 256 ? valueMap[i] : uint8_t(i);
        table_[i] = {0, none, 1, v, v};
    }
    valuesUsed_ = {};
    auto used = [this](uint32_t v) { valuesUsed_[v >> 6] |= uint64_t(1) << (v & 63); };

    const uint64_t total = uint64_t(width) * height;
    uint64_t pos = 0;        // non-interlaced output position; row = pos / width
    uint64_t lastStart = 0;  // where the string of `previous` begins
    InterlacedOutput lace{out, width, height};

    // Writes the string of a defined code, followed by `extra` when >= 0, by
    // walking the prefixes: for interlaced images and near or past the end of
    // the output.
    auto emitSlowly = [&](uint32_t code, int extra) {
        const uint32_t len = table_[code].length + (extra >= 0 ? 1 : 0);
        uint8_t* p;
        const bool direct = !interlaced && pos + len <= total;
        p = direct ? out + pos + len - 1 : scratch_ + len - 1;
        if (extra >= 0) *p-- = uint8_t(extra);
        while (code > charMask) {
            *p-- = table_[code].suffix;
            code = table_[code].prefix;
        }
        *p = table_[code].suffix;
        if (direct) {
            pos += len;
        } else if (interlaced) {
            for (uint32_t i = 0; i < len; ++i) lace.put(scratch_[i]);
        } else {
            if (pos < total) std::memcpy(out + pos, scratch_, size_t(std::min<uint64_t>(len, total - pos)));
            pos += len;
        }
    };
    // Images written row after row take the fast way: a string already in the
    // output is copied from there (see Entry).  It needs room for the string
    // and the 16 bytes the copy may touch after it.
    auto roomFor = [&](uint32_t len) { return !interlaced && pos + len + 16 <= total; };
    auto row = [&]() -> uint64_t { return interlaced ? lace.y : (width ? pos / width : 0); };
    bool lenient = false;
    auto finish = [&](LzwResult r) {
        if (interlaced) lace.finish();
        exact_ = r == LzwResult::Complete && !lenient && (interlaced ? lace.produced : pos) == total;
        return r;
    };

    // The bit reader keeps up to 64 bits of the stream in acc and refills it
    // from the current sub-block, eight bytes at a time while the block has
    // that many left, else byte by byte.  Bits of acc above `bits` are zero
    // or already the next bits of the block, so or-ing them in again is
    // harmless.  A code is taken as soon as its last bit has arrived, as the
    // checks between sub-blocks need.
    uint64_t acc = 0;
    uint32_t bits = 0;
    const uint8_t* next = nullptr;
    const uint8_t* blockEnd = nullptr;
    int blocks = 0;
    for (;;) {
        if (bits < codeSize) {
            if (blockEnd - next >= 8) {
                acc |= loadLe64(next) << bits;
                next += (63 - bits) >> 3;
                bits |= 56;
            } else {
                for (; next < blockEnd && bits <= 56; bits += 8) acc |= uint64_t(*next++) << bits;
                if (bits < codeSize) {
                    uint8_t n;
                    if (!in.readByte(n)) return finish(LzwResult::Truncated);
                    if (n == 0) return finish(LzwResult::Complete);
                    // Data after the last row: an interlaced image is simply
                    // done (the rest of its blocks, this one first, are
                    // passed over), a plain one is corrupt.
                    if (interlaced ? row() >= height : row() > height) {
                        if (!interlaced) return finish(LzwResult::Corrupt);
                        if (in.skip(n)) skipSubBlocks(in);
                        return finish(LzwResult::Complete);
                    }
                    std::span<const uint8_t> block = in.take(n);
                    if (block.empty()) return finish(LzwResult::Truncated);
                    if (progress && (++blocks & 63) == 0 && height)
                        progress(int(std::min<uint64_t>(100, uint64_t(row()) * 100 / height)));
                    next = block.data();
                    blockEnd = next + n;
                    continue;
                }
            }
        }
        uint32_t code = uint32_t(acc) & codeMask;
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
            lenient |= code > charMask;
            code &= charMask;
            // Code sizes above 8 bits name indices no 8-bit image holds.
            if (code > 255) return finish(LzwResult::Corrupt);
            used(code);
            lastStart = pos;
            if (roomFor(1)) out[pos++] = table_[code].suffix;
            else emitSlowly(code, -1);
            previous = code;
            continue;
        }
        // A code past the next free entry refers to nothing.
        if (code > nextFree) return finish(LzwResult::Corrupt);
        const uint64_t start = pos;
        uint8_t firstChar;
        if (code == nextFree) {
            // The string of the previous code and its own first index; the
            // previous string ends right here.
            if (code >= tableSize) return finish(LzwResult::Corrupt);
            const Entry& prev = table_[previous];
            firstChar = prev.first;
            if (roomFor(prev.length + 1u)) {
                copyEarlierString(out + pos, out + lastStart, prev.length);
                out[pos + prev.length] = firstChar;
                pos += prev.length + 1u;
            } else {
                emitSlowly(previous, firstChar);
            }
        } else {
            if (code <= charMask) {
                if (code > 255) return finish(LzwResult::Corrupt);
                used(code);
            }
            const Entry& e = table_[code];
            firstChar = e.first;
            if (!roomFor(e.length)) emitSlowly(code, -1);
            else if (code <= charMask) out[pos++] = table_[code].suffix;
            else {
                copyEarlierString(out + pos, out + e.offset, e.length);
                pos += e.length;
            }
        }
        if (nextFree < tableSize) {
            const Entry& prev = table_[previous];
            // Offsets past 4 GiB are beyond any output and never copied from.
            table_[nextFree] = {uint32_t(lastStart), uint16_t(previous), uint16_t(prev.length + 1), firstChar,
                                prev.first};
            ++nextFree;
            if (nextFree >= maxCode && codeSize < 12) {
                ++codeSize;
                maxCode <<= 1;
                codeMask = maxCode - 1;
            }
        }
        lastStart = start;
        previous = code;
    }
}

}  // namespace movigram
