#include "LzwChoiceEncoder.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "ByteRuns.h"

namespace movigram {

// The parse.  Each string is the longest the table can give from the
// current pixel on, where a free pixel may be read either way: the parse
// follows up to `paths` strings at once, each one pixel longer than the
// last, and stops when none of them goes on.  Of the longest, the one whose
// choices came first in the order of preference wins.  Only the choices of
// the winning string are made; the pixels after it are open again for the
// next string.  (Greedy LZW would commit to a choice at every free pixel; a
// choice that ends a string soon after is often worse than the other.)
//
// As in every LZW encoder the table gains the previous string followed by
// the first pixel of the new one, and the new string may already use that
// entry (a run "ccc" after "cc").  With two possible first pixels the entry
// depends on the path, so each path checks for its own.
//
// Runs: large areas of one index (above all the transparent one) build run
// strings c, cc, ccc ... hundreds long.  As in the plain encoder, a ladder of
// them per index lets a string that starts with a run, and may be written
// only one way there, go to the longest that fits in one step.
//
// Clearing: a table that has just filled holds the strings of the part of
// the image seen so far; further on it may fit the picture less well.  The
// decoder's table stops growing when full, so the encoder may go on with it.
// It keeps score per window of codes: when a window costs clearly more bits
// per pixel than the table cost per pixel while it was being filled (with
// the codes that were still short), a new table would likely do better, and
// the encoder clears.  Which window and margin work best depends on the
// picture; the caller tries a few.

namespace {

constexpr uint32_t maxCodes = 4096;
constexpr uint32_t noTag = 0xFFFFFFFF;
// Strings followed at once through free pixels.
constexpr int paths = 16;

// The table is kept the way the plain encoder keeps it (LzwEncoder.cpp):
// codes travel as 15-bit tags, and the slot of (tag, index) is the tag xor a
// hash of the index.
uint32_t tagOf(uint32_t code) { return code << 3 | ((code * 0x9E3779B1u) >> 29); }
uint32_t codeOf(uint32_t tag) { return tag >> 3; }

}  // namespace

LzwChoiceEncoder::LzwChoiceEncoder()
    : slots_(slotCount, emptySlot), keys_(maxCodes + 1), runOfCode_(maxCodes + 1) {
    taken_.reserve(maxCodes);
    for (uint32_t c = 0; c < 256; ++c) {
        indexHash_[c] = (c * 0x9E3779B1u) >> (32 - slotBits);
        ladders_[c] = {uint16_t(noTag), uint16_t(tagOf(c))};
    }
}

// Small images use a few slots of the table: only those are emptied.
void LzwChoiceEncoder::clearTable() {
    for (uint32_t h : taken_) slots_[h] = emptySlot;
    taken_.clear();
    for (auto& ladder : ladders_) ladder.resize(2);
}

LzwChoiceOutcome LzwChoiceEncoder::encode(const uint8_t* values, const uint8_t* free, uint8_t alternative,
                                          size_t count, int minCodeSize, const LzwChoiceOptions& options,
                                          std::vector<uint8_t>& out, size_t limit) {
    const uint32_t clearCode = 1u << minCodeSize;
    const uint32_t endCode = clearCode + 1;
    // Every pixel costs at most one code of 12 bits, and a clear code comes
    // at most once per 256 codes.
    packed_.resize((count + count / 256 + 8) * 12 / 8 + 16);
    uint8_t* at = packed_.data();
    uint64_t acc = 0;
    uint32_t bits = 0;
    uint32_t codeSize = uint32_t(minCodeSize) + 1;
    uint64_t bitsWritten = 0;
    // Eight bytes are stored at once (the buffer has room past the end) and
    // the whole ones kept.
    auto put = [&](uint32_t code) {
        acc |= uint64_t(code) << bits;
        bits += codeSize;
        bitsWritten += codeSize;
        uint64_t le = acc;
        if constexpr (std::endian::native == std::endian::big) le = __builtin_bswap64(le);
        std::memcpy(at, &le, sizeof le);
        at += bits >> 3;
        acc >>= bits & ~7u;
        bits &= 7;
    };

    uint32_t nextFree = clearCode + 2;
    // Scores of the table: bits and pixels from its clear until it filled,
    // then of the current window.
    uint64_t fillBits = 0, fillPixels = 0, tableStartBits = 0, windowStartBits = 0;
    size_t tableStart = 0, windowStart = 0;
    uint32_t windowCodes = 0;
    bool full = false, filled = false;
    // A walk of the lookahead (see walkFrom below); `ahead` is the one the
    // next string may take, which a new table makes useless.
    struct Walk {
        size_t start = SIZE_MAX, end = 0;
        uint32_t tag = noTag, shorter = noTag;
        bool usable = false;
    };
    Walk ahead;
    auto reset = [&](size_t position) {
        clearTable();
        ahead.usable = false;
        nextFree = clearCode + 2;
        codeSize = uint32_t(minCodeSize) + 1;
        full = false;
        tableStart = position;
        tableStartBits = bitsWritten;
    };
    if (options.leadingClear) put(clearCode);
    reset(0);
    // The single indices are runs of one (codes of other sizes may have
    // been strings before).
    for (uint32_t c = 0; c < clearCode; ++c) runOfCode_[c] = 1;

    uint16_t* const slots = slots_.data();
    uint32_t* const keys = keys_.data();
    const uint32_t* const indexHash = indexHash_;
    auto find = [&](uint32_t prefix, uint32_t c) -> uint32_t {
        const uint32_t key = prefix << 8 | c;
        for (uint32_t h = prefix ^ indexHash[c];; h = (h + 1) & (slotCount - 1)) {
            const uint32_t slot = slots[h];
            if (slot == emptySlot) return noTag;
            if (keys[codeOf(slot)] == key) return slot;
        }
    };
    uint16_t* const runOfCode = runOfCode_.data();
    auto add = [&](uint32_t prefix, uint32_t c) {
        uint32_t h = prefix ^ indexHash[c];
        while (slots[h] != emptySlot) h = (h + 1) & (slotCount - 1);
        const uint32_t tag = tagOf(nextFree);
        slots[h] = uint16_t(tag);
        keys[nextFree] = prefix << 8 | c;
        taken_.push_back(h);
        // (An entry made again, as after a string cut short, is not the run
        // the ladder holds, whose code the table finds first.)
        std::vector<uint16_t>& ladder = ladders_[c];
        if (prefix == ladder.back()) {
            runOfCode[nextFree] = uint16_t(ladder.size());
            ladder.push_back(uint16_t(tag));
        } else {
            runOfCode[nextFree] = 0;
        }
    };
    // Whether x, a tag or noTag, is c repeated at most n times.
    auto runUpTo = [&](uint32_t x, uint32_t c, uint32_t n) {
        if (x == noTag) return false;
        const uint32_t j = runOfCode[codeOf(x)];
        return j != 0 && j <= n && ladders_[c][j] == x;
    };
    // The lookahead's walks: the longest string from start, free pixels
    // taken as their values and the entries still to be made left out (a
    // guess).  Without free pixels the walk that the next string starts
    // with is that string, unless it went through one of the two strings
    // whose entries come before then (`avoid`): the parse takes it as it is.
    auto walkFrom = [&](size_t start, uint32_t avoidA, uint32_t avoidB, Walk& w) {
        w.start = start;
        w.tag = tagOf(values[start]);
        w.shorter = noTag;
        bool through = w.tag == avoidA || w.tag == avoidB;
        size_t r = start + 1;
        // Through the runs of the first index in one step.
        const uint32_t v = values[start];
        const std::vector<uint16_t>& ladder = ladders_[v];
        if (ladder.size() > 2) {
            const size_t take = byteRun(values + start, count - start, uint8_t(v), ladder.size() - 1);
            if (take > 1) {
                through = through || runUpTo(avoidA, v, uint32_t(take)) || runUpTo(avoidB, v, uint32_t(take));
                w.shorter = ladder[take - 1];
                w.tag = ladder[take];
                r = start + take;
            }
        }
        for (; r < count; ++r) {
            const uint32_t t = find(w.tag, values[r]);
            if (t == noTag) break;
            w.shorter = w.tag;
            w.tag = t;
            through = through || t == avoidA || t == avoidB;
        }
        w.end = r;
        w.usable = !free && !through;
        return r;
    };
    Walk fromCut, fromEnd;
    const bool preferAlternative = options.prefer == LzwPreference::Alternative;
    // The ways pixel q may be written, preferred first.
    auto choicesAt = [&](size_t q, uint32_t (&c)[2]) -> int {
        const uint32_t v = values[q];
        if (!free || !free[q] || v == alternative) {
            c[0] = v;
            return 1;
        }
        c[0] = preferAlternative ? alternative : v;
        c[1] = preferAlternative ? v : alternative;
        return 2;
    };

    struct Path {
        uint32_t tag;
        uint32_t first;    // its first pixel as written
        uint32_t shorter;  // the string one pixel shorter on the way, or noTag
    };
    uint32_t previous = noTag;  // the string before, while its entry is still to be made
    size_t p = 0;
    while (p < count) {
        // The longest string from p.  The entry (previous, first) has code
        // nextFree for the path that starts with `first`.
        const uint32_t pending = previous != noTag && !full ? previous : noTag;
        Path buffers[2][paths];
        Path* live = buffers[0];
        Path* next = buffers[1];
        uint32_t c[2];
        int liveCount = choicesAt(p, c);
        for (int k = 0; k < liveCount; ++k) live[k] = {tagOf(c[k]), c[k], noTag};
        size_t q = p + 1;
        const bool walked = ahead.usable && ahead.start == p;
        if (walked) {
            live[0].tag = ahead.tag;
            live[0].shorter = ahead.shorter;
            q = ahead.end;
        }
        ahead.usable = false;
        if (!walked && liveCount == 1 && ladders_[c[0]].size() > 2) {
            // Through the runs of the first index the table holds, as far as
            // the pixels may only be written as it; the entry still to be
            // made (a run too, after a string cut short) is left to the loop.
            const uint32_t v = c[0];
            const std::vector<uint16_t>& ladder = ladders_[v];
            uint32_t known = uint32_t(ladder.size() - 1);
            if (runUpTo(pending, v, known)) known = runOfCode[codeOf(pending)];
            const size_t take = byteRun(values + p, count - p, uint8_t(v), size_t(known),
                                        free && v != alternative ? free + p : nullptr);
            if (take > 1) {
                live[0].shorter = ladder[take - 1];
                live[0].tag = ladder[take];
                q = p + take;
            }
        }
        for (; q < count && !walked; ++q) {
            if (liveCount == 1) {
                // One path, the common case.
                const uint32_t v = values[q];
                const Path& path = live[0];
                auto step = [&](uint32_t index) {
                    return path.tag == pending && index == path.first ? tagOf(nextFree) : find(path.tag, index);
                };
                uint32_t tag;
                if (!free || !free[q] || v == alternative) {
                    tag = step(v);
                } else {
                    // Two ways on: both may go on, the preferred first.
                    const uint32_t preferred = step(preferAlternative ? alternative : v);
                    const uint32_t other = step(preferAlternative ? v : alternative);
                    if (preferred != noTag && other != noTag) {
                        next[0] = {preferred, path.first, path.tag};
                        next[1] = {other, path.first, path.tag};
                        std::swap(live, next);
                        liveCount = 2;
                        continue;
                    }
                    tag = preferred != noTag ? preferred : other;
                }
                if (tag == noTag) break;
                live[0].shorter = live[0].tag;
                live[0].tag = tag;
                continue;
            }
            const int n = choicesAt(q, c);
            int nextCount = 0;
            for (int i = 0; i < liveCount && nextCount < paths; ++i)
                for (int k = 0; k < n && nextCount < paths; ++k) {
                    uint32_t tag = live[i].tag == pending && c[k] == live[i].first ? tagOf(nextFree) : noTag;
                    if (tag == noTag) tag = find(live[i].tag, c[k]);
                    if (tag != noTag) next[nextCount++] = {tag, live[i].first, live[i].tag};
                }
            if (nextCount == 0) break;
            std::swap(live, next);
            liveCount = nextCount;
        }
        // The string chosen, one pixel shorter, with the choices it made.
        const uint32_t shorter = live[0].shorter;
        if (options.lookahead && shorter != noTag && q < count) {
            // The string from q reaches q + 1 at least, so the one from q - 1
            // must pass q + lookahead before the other is worth finding.
            const size_t reach = walkFrom(q - 1, shorter, previous, fromCut);
            if (reach > q + options.lookahead) {
                if (reach > walkFrom(q, live[0].tag, previous, fromEnd) + options.lookahead - 1) {
                    --q;
                    live[0].tag = shorter;
                    ahead = fromCut;
                } else {
                    ahead = fromEnd;
                }
            }
        }
        const Path& chosen = live[0];

        if (pending != noTag) {
            add(previous, chosen.first);
            ++nextFree;
            if (nextFree == (1u << codeSize) + 1 && codeSize < 12) ++codeSize;
            if (nextFree == maxCodes) {
                full = filled = true;
                fillBits = bitsWritten - tableStartBits;
                fillPixels = p - tableStart;
                windowStart = p;
                windowStartBits = bitsWritten;
                windowCodes = 0;
            }
        }
        put(codeOf(chosen.tag));
        if (size_t(at - packed_.data()) > limit) return {filled, true};
        previous = chosen.tag;
        p = q;
        if (!full && nextFree + options.spareCodes >= maxCodes && options.judgedCodes == 0) {
            // The entry still to come would fill the table (or come within
            // spareCodes of it), which is then cleared at once: clear now
            // and leave it out.
            filled = true;
            put(clearCode);
            reset(p);
            previous = noTag;
        } else if (full && ++windowCodes == options.judgedCodes) {
            const uint64_t windowBits = bitsWritten - windowStartBits;
            const uint64_t windowPixels = p - windowStart;
            if (double(windowBits) * double(fillPixels) > options.margin * double(fillBits) * double(windowPixels)) {
                put(clearCode);
                reset(p);
                previous = noTag;
            } else {
                windowStart = p;
                windowStartBits = bitsWritten;
                windowCodes = 0;
            }
        }
    }
    put(endCode);
    if (bits > 0) *at++ = uint8_t(acc);

    const size_t n = size_t(at - packed_.data());
    out.reserve(out.size() + n + n / 255 + 3);
    out.push_back(uint8_t(minCodeSize));
    for (size_t i = 0; i < n; i += 255) {
        const size_t k = std::min<size_t>(255, n - i);
        out.push_back(uint8_t(k));
        out.insert(out.end(), packed_.data() + i, packed_.data() + i + k);
    }
    out.push_back(0);
    return {filled, false};
}

}  // namespace movigram
