#include "LzwEncoder.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "ByteRuns.h"

namespace movigram {

// How the encoder is kept fast.
//
// The parse looks up (current string, next index) once per pixel, and each
// lookup needs the one before.  A hit costs about one load from the hash
// table; a miss (the end of a string) costs a mispredicted branch, which is
// most of the time on grainy images.
//
// Codes are carried as 15-bit tags, the code shifted left by three, which
// is one shift from a code and gives eight slots to each.  The slot of
// (tag, index) is the tag plus a 12-bit hash of the index (the table has 2^12
// slots more than there are tags), so the load takes the tag as its index
// with the slots for the index as base, and waits for nothing but the
// previous lookup; the strings ending in any one index spread over the whole
// table.  A slot holds only the tag of its code, so a hit gives the next tag
// with one load; the key kept for the code is compared alongside.
//
// Runs of one index c are common in animations.  The encoder keeps for each
// index the tags of c, cc, ccc ... up to the longest run in the table, so a
// string beginning with a run goes to the longest run string that fits in one
// step.  When the run goes on past that string, the string is known to end
// there: no lookup is needed and the run one longer is added.  On grainy rows
// a run seldom follows the start of a string and looking for one only costs
// mispredictions, so a row follows runs only when at least two in five string
// starts in the row before were followed by the same index.
//
// The parse only collects the codes; the packer writes them afterwards with
// the sizes a decoder expects (repeating the decoder's bookkeeping of table
// growth), 64 bits at a time, and sends out whole sub-blocks.

namespace {

uint32_t tagOf(uint32_t code) { return code << 3; }
uint32_t codeOf(uint32_t tag) { return tag >> 3; }

uint32_t indexHash(uint32_t c, uint32_t bits) { return (c * 0x9E3779B1u) >> (32 - bits); }

void storeLe64(uint8_t* p, uint64_t v) {
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    std::memcpy(p, &v, sizeof v);
}

// Writes the whole sub-blocks of [buffer, end), all of it when last, and
// moves what is left to the front; returns the new end.
uint8_t* writeBlocks(ByteSink& out, uint8_t* buffer, uint8_t* end, bool last) {
    const uint8_t* p = buffer;
    while (end - p >= 255 || (last && end > p)) {
        const size_t n = std::min<size_t>(255, size_t(end - p));
        out.put(uint8_t(n));
        out.write(p, n);
        p += n;
    }
    const size_t rest = size_t(end - p);
    std::memmove(buffer, p, rest);
    return buffer + rest;
}

}  // namespace

// The helpers of the encoding loop must be inlined for its state to stay in
// registers.
#if defined(__GNUC__)
#define MOVIGRAM_INLINE __attribute__((always_inline))
#define MOVIGRAM_LIKELY(x) __builtin_expect(!!(x), 1)
#define MOVIGRAM_OPAQUE(v) asm("" : "+r"(v))
#else
#define MOVIGRAM_INLINE
#define MOVIGRAM_LIKELY(x) (x)
#define MOVIGRAM_OPAQUE(v)
#endif

struct LzwEncoder::Packer {
    ByteSink& out;
    uint8_t* const buffer;
    uint8_t* const full;
    const uint32_t minCodeSize;
    const uint32_t clearCode;
    uint8_t* at = buffer;
    uint64_t acc = 0;
    uint32_t bits = 0;
    uint32_t codeSize = 0, growAt = 0, nextFree = 0;

    void reset() {
        codeSize = minCodeSize + 1;
        growAt = (1u << codeSize) + 1;
        nextFree = clearCode + 2;
    }
    // Writes the low `count` bits of value (count + 7 <= 64).
    void putBits(uint64_t value, uint32_t count) {
        acc |= value << bits;
        bits += count;
        storeLe64(at, acc);
        at += bits >> 3;
        acc >>= bits & ~7u;
        bits &= 7;
    }
    void put(uint32_t code) { putBits(code, codeSize); }
    // Codes that each end a string and so add one to the table; the parse
    // empties its table at the same points.  Between two points where the
    // code size changes, codes go four at a time.
    void putStrings(const uint16_t* codes, size_t n) {
        while (n > 0) {
            const size_t span = std::min<size_t>(n, growAt - nextFree);
            const uint32_t size = codeSize;
            size_t i = 0;
            for (; i + 4 <= span; i += 4) {
                putBits(uint64_t(codes[i]) | uint64_t(codes[i + 1]) << size | uint64_t(codes[i + 2]) << 2 * size |
                            uint64_t(codes[i + 3]) << 3 * size,
                        4 * size);
                if (at >= full) at = writeBlocks(out, buffer, at, false);
            }
            for (; i < span; ++i) put(codes[i]);
            if (at >= full) at = writeBlocks(out, buffer, at, false);
            codes += span;
            n -= span;
            nextFree += uint32_t(span);
            if (nextFree == growAt) {
                if (codeSize > 11) {
                    put(clearCode);
                    reset();
                } else {
                    ++codeSize;
                    growAt = (1u << codeSize) + 1;
                }
            }
        }
    }
    void finish() {
        if (bits > 0) *at++ = uint8_t(acc);
        writeBlocks(out, buffer, at, true);
    }
};

LzwEncoder::LzwEncoder()
    : slots_(slotCount, emptySlot),
      keys_(4096),
      ladder_(new uint16_t[256 * ladderSize]),
      codes_(codeBatch),
      pending_(pendingSize + 64) {}

void LzwEncoder::clearTable(uint32_t clearCode) {
    std::fill(slots_.begin(), slots_.end(), emptySlot);
    // Indices are bytes, also when the code size allows more.
    for (uint32_t c = 0; c < std::min(clearCode, 256u); ++c) {
        runLength_[c] = 1;
        runTop_[c] = ladder_[c * ladderSize + 1] = uint16_t(tagOf(c));
    }
}

void LzwEncoder::encode(const uint8_t* firstRow, std::ptrdiff_t rowStep, uint32_t width,
                        uint32_t height, int minCodeSize, ByteSink& out) {
    const uint32_t clearCode = 1u << minCodeSize;
    const uint32_t endCode = clearCode + 1;
    uint16_t* const slots = slots_.data();
    uint32_t* const keys = keys_.data();
    uint16_t* const ladder = ladder_.get();
    uint16_t* const runLength = runLength_;
    uint16_t* const runTop = runTop_;
    uint16_t* const codes = codes_.data();
    uint16_t* const codesFull = codes + codeBatch;

    Packer packer{out, pending_.data(), pending_.data() + pendingSize, uint32_t(minCodeSize), clearCode};
    out.put(uint8_t(minCodeSize));
    packer.reset();
    packer.put(clearCode);
    clearTable(clearCode);

    if (width > 0 && height > 0) {
        uint32_t nextFree = clearCode + 2;
        // Linear probing, wrapping at the end of the table.
        auto nextSlot = [](uint32_t h) { return h + 1 == slotCount ? 0 : h + 1; };
        uint16_t* code = codes;
        // The string prefix + c is not in the table and h is the empty slot
        // where it belongs: ends the string and adds prefix + c.
        auto addString = [&](uint32_t h, uint32_t prefix, uint32_t c) MOVIGRAM_INLINE {
            *code++ = uint16_t(codeOf(prefix));
            if (code == codesFull) {
                packer.putStrings(codes, codeBatch);
                code = codes;
            }
            // Code 4096 is assigned only to be thrown away with the table.
            if (nextFree < 4096) {
                const uint32_t tag = tagOf(nextFree);
                slots[h] = uint16_t(tag);
                keys[nextFree] = prefix << 8 | c;
                if (prefix == runTop[c] && runLength[c] + 1u < ladderSize) {
                    const uint32_t n = ++runLength[c];
                    ladder[c * ladderSize + n] = uint16_t(tag);
                    runTop[c] = uint16_t(tag);
                }
            }
            if (++nextFree == 4097) {
                clearTable(clearCode);
                nextFree = clearCode + 2;
            }
        };

        uint32_t prefix = tagOf(firstRow[0]);
        bool followRuns = false;
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* const row = firstRow + std::ptrdiff_t(y) * rowStep;
            const uint8_t* const rowEnd = row + width;
            const uint8_t* p = y == 0 ? row + 1 : row;
            uint32_t starts = 0, runStarts = 0;
            while (p < rowEnd) {
                const uint32_t c = *p;
                const uint32_t hc = indexHash(c, spreadBits);
                // The slots for strings ending in c start at base; keeping it
                // a pointer lets the load add the prefix itself.
                const uint16_t* base = slots + hc;
                MOVIGRAM_OPAQUE(base);
                uint32_t slot = base[prefix];
                // Most lookups find the string at the first slot.
                uint32_t h = prefix + hc;
                if (MOVIGRAM_LIKELY(slot != emptySlot)) {
                    const uint32_t key = prefix << 8 | c;
                    if (MOVIGRAM_LIKELY(keys[slot >> 3] == key)) {
                        prefix = slot;
                        ++p;
                        continue;
                    }
                    do {
                        h = nextSlot(h);
                    } while ((slot = slots[h]) != emptySlot && keys[slot >> 3] != key);
                    if (slot != emptySlot) {
                        prefix = slot;
                        ++p;
                        continue;
                    }
                }
                addString(h, prefix, c);
                prefix = tagOf(c);
                // A new string starts with c at p.
                ++starts;
                if (!followRuns) {
                    // (At the end of the row this looks at c itself, which
                    // only skews the count.)
                    runStarts += p[p + 1 < rowEnd ? 1 : 0] == c;
                    ++p;
                    continue;
                }
                for (;;) {
                    const uint32_t known = runLength[c];
                    const uint32_t run = byteRun(p, uint32_t(rowEnd - p), uint8_t(c), known + 1);
                    const uint32_t take = std::min(run, known);
                    runStarts += run > 1;
                    prefix = ladder[c * ladderSize + take];
                    p += take;
                    // Past the longest run string the next pixel is c again:
                    // the string ends here and the next begins with c.
                    if (run <= known || known + 1 >= ladderSize) break;
                    uint32_t e = prefix + indexHash(c, spreadBits);
                    while (slots[e] != emptySlot) e = nextSlot(e);
                    addString(e, prefix, c);
                    prefix = tagOf(c);
                    ++starts;
                }
            }
            followRuns = runStarts * 5 >= starts * 2;
        }
        packer.putStrings(codes, size_t(code - codes));
        packer.put(codeOf(prefix));
    }
    packer.put(endCode);
    packer.finish();
    out.put(0);
}

#undef MOVIGRAM_INLINE
#undef MOVIGRAM_LIKELY
#undef MOVIGRAM_OPAQUE

}  // namespace movigram
