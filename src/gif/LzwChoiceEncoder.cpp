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

// The steps of the parse are inlined into encode, and nothing takes the
// address of the Parse, so that its state stays in registers.
#if defined(__GNUC__)
#define MOVIGRAM_INLINE __attribute__((always_inline)) inline
#else
#define MOVIGRAM_INLINE inline
#endif

// One call of encode: the bit writer, the scores of the table and the
// parse, one method per step.  The table itself (slots, keys, ladders) is
// the encoder's and outlives the call.
class LzwChoiceEncoder::Parse {
public:
    Parse(LzwChoiceEncoder& table, const uint8_t* values, const uint8_t* free, uint8_t alternative, size_t count,
          int minCodeSize, const LzwChoiceOptions& options);
    LzwChoiceOutcome run(std::vector<uint8_t>& out, size_t limit);

private:
    // A walk of the lookahead (see walkFrom); `ahead_` is the one the next
    // string may take, which a new table makes useless.
    struct Walk {
        size_t start = SIZE_MAX, end = 0;
        uint32_t tag = noTag, shorter = noTag;
        bool usable = false;
    };
    struct Path {
        uint32_t tag;
        uint32_t first;    // its first pixel as written
        uint32_t shorter;  // the string one pixel shorter on the way, or noTag
    };

    void put(uint32_t code);
    void reset(size_t position);
    uint32_t find(uint32_t prefix, uint32_t c) const;
    void add(uint32_t prefix, uint32_t c);
    bool runUpTo(uint32_t x, uint32_t c, uint32_t n) const;
    int choicesAt(size_t q, uint32_t (&c)[2]) const;
    uint32_t step(const Path& path, uint32_t index, uint32_t pending) const;
    size_t walkFrom(size_t start, uint32_t avoidA, uint32_t avoidB, Walk& w);

    size_t longestString(size_t p, uint32_t pending);
    size_t climbRuns(size_t p, uint32_t v, uint32_t pending);
    bool extendOnePath(size_t q, uint32_t pending);
    bool extendPaths(size_t q, uint32_t pending);
    size_t cutShorter(size_t q);
    void makeEntry(uint32_t first, size_t p);
    void judgeTable(size_t p);
    void writeSubBlocks(std::vector<uint8_t>& out) const;

    LzwChoiceEncoder& table_;
    const uint8_t* const values_;
    const uint8_t* const free_;
    const uint8_t alternative_;
    const size_t count_;
    const int minCodeSize_;
    const LzwChoiceOptions& options_;
    const bool preferAlternative_;
    const uint32_t clearCode_;
    uint16_t* const slots_;
    uint32_t* const keys_;
    const uint32_t* const indexHash_;
    uint16_t* const runOfCode_;

    // The bit writer: eight bytes are stored at once (the buffer has room
    // past the end) and the whole ones kept.
    uint8_t* at_;
    uint64_t acc_ = 0;
    uint32_t bits_ = 0;
    uint32_t codeSize_;
    uint64_t bitsWritten_ = 0;

    uint32_t nextFree_;
    // Scores of the table: bits and pixels from its clear until it filled,
    // then of the current window.
    uint64_t fillBits_ = 0, fillPixels_ = 0, tableStartBits_ = 0, windowStartBits_ = 0;
    size_t tableStart_ = 0, windowStart_ = 0;
    uint32_t windowCodes_ = 0;
    bool full_ = false, filled_ = false;
    Walk ahead_, fromCut_, fromEnd_;

    uint32_t previous_ = noTag;  // the string before, while its entry is still to be made
    // The strings followed at once: live_ holds liveCount_ of them, next_
    // takes the ones a pixel longer.
    Path buffers_[2][paths];
    Path* live_ = buffers_[0];
    Path* next_ = buffers_[1];
    int liveCount_ = 0;
};

MOVIGRAM_INLINE LzwChoiceEncoder::Parse::Parse(LzwChoiceEncoder& table, const uint8_t* values, const uint8_t* free,
                               uint8_t alternative, size_t count, int minCodeSize, const LzwChoiceOptions& options)
    : table_(table),
      values_(values),
      free_(free),
      alternative_(alternative),
      count_(count),
      minCodeSize_(minCodeSize),
      options_(options),
      preferAlternative_(options.prefer == LzwPreference::Alternative),
      clearCode_(1u << minCodeSize),
      slots_(table.slots_.data()),
      keys_(table.keys_.data()),
      indexHash_(table.indexHash_),
      runOfCode_(table.runOfCode_.data()),
      codeSize_(uint32_t(minCodeSize) + 1),
      nextFree_(clearCode_ + 2) {
    // Every pixel costs at most one code of 12 bits, and a clear code comes
    // at most once per 256 codes.
    table.packed_.resize((count + count / 256 + 8) * 12 / 8 + 16);
    at_ = table.packed_.data();
}

MOVIGRAM_INLINE void LzwChoiceEncoder::Parse::put(uint32_t code) {
    acc_ |= uint64_t(code) << bits_;
    bits_ += codeSize_;
    bitsWritten_ += codeSize_;
    uint64_t le = acc_;
    if constexpr (std::endian::native == std::endian::big) le = __builtin_bswap64(le);
    std::memcpy(at_, &le, sizeof le);
    at_ += bits_ >> 3;
    acc_ >>= bits_ & ~7u;
    bits_ &= 7;
}

MOVIGRAM_INLINE void LzwChoiceEncoder::Parse::reset(size_t position) {
    table_.clearTable();
    ahead_.usable = false;
    nextFree_ = clearCode_ + 2;
    codeSize_ = uint32_t(minCodeSize_) + 1;
    full_ = false;
    tableStart_ = position;
    tableStartBits_ = bitsWritten_;
}

MOVIGRAM_INLINE uint32_t LzwChoiceEncoder::Parse::find(uint32_t prefix, uint32_t c) const {
    const uint32_t key = prefix << 8 | c;
    for (uint32_t h = prefix ^ indexHash_[c];; h = (h + 1) & (slotCount - 1)) {
        const uint32_t slot = slots_[h];
        if (slot == emptySlot) return noTag;
        if (keys_[codeOf(slot)] == key) return slot;
    }
}

MOVIGRAM_INLINE void LzwChoiceEncoder::Parse::add(uint32_t prefix, uint32_t c) {
    uint32_t h = prefix ^ indexHash_[c];
    while (slots_[h] != emptySlot) h = (h + 1) & (slotCount - 1);
    const uint32_t tag = tagOf(nextFree_);
    slots_[h] = uint16_t(tag);
    keys_[nextFree_] = prefix << 8 | c;
    table_.taken_.push_back(h);
    // (An entry made again, as after a string cut short, is not the run
    // the ladder holds, whose code the table finds first.)
    std::vector<uint16_t>& ladder = table_.ladders_[c];
    if (prefix == ladder.back()) {
        runOfCode_[nextFree_] = uint16_t(ladder.size());
        ladder.push_back(uint16_t(tag));
    } else {
        runOfCode_[nextFree_] = 0;
    }
}

// Whether x, a tag or noTag, is c repeated at most n times.
MOVIGRAM_INLINE bool LzwChoiceEncoder::Parse::runUpTo(uint32_t x, uint32_t c, uint32_t n) const {
    if (x == noTag) return false;
    const uint32_t j = runOfCode_[codeOf(x)];
    return j != 0 && j <= n && table_.ladders_[c][j] == x;
}

// The ways pixel q may be written, preferred first.
MOVIGRAM_INLINE int LzwChoiceEncoder::Parse::choicesAt(size_t q, uint32_t (&c)[2]) const {
    const uint32_t v = values_[q];
    if (!free_ || !free_[q] || v == alternative_) {
        c[0] = v;
        return 1;
    }
    c[0] = preferAlternative_ ? alternative_ : v;
    c[1] = preferAlternative_ ? v : alternative_;
    return 2;
}

// The string of path followed by index.  The entry (previous, first) still
// to be made has code nextFree for the path that starts with `first`.
MOVIGRAM_INLINE uint32_t LzwChoiceEncoder::Parse::step(const Path& path, uint32_t index, uint32_t pending) const {
    return path.tag == pending && index == path.first ? tagOf(nextFree_) : find(path.tag, index);
}

// The lookahead's walks: the longest string from start, free pixels taken as
// their values and the entries still to be made left out (a guess).  Without
// free pixels the walk that the next string starts with is that string,
// unless it went through one of the two strings whose entries come before
// then (`avoid`): the parse takes it as it is.
MOVIGRAM_INLINE size_t LzwChoiceEncoder::Parse::walkFrom(size_t start, uint32_t avoidA, uint32_t avoidB, Walk& w) {
    w.start = start;
    w.tag = tagOf(values_[start]);
    w.shorter = noTag;
    bool through = w.tag == avoidA || w.tag == avoidB;
    size_t r = start + 1;
    // Through the runs of the first index in one step.
    const uint32_t v = values_[start];
    const std::vector<uint16_t>& ladder = table_.ladders_[v];
    if (ladder.size() > 2) {
        const size_t take = byteRun(values_ + start, count_ - start, uint8_t(v), ladder.size() - 1);
        if (take > 1) {
            through = through || runUpTo(avoidA, v, uint32_t(take)) || runUpTo(avoidB, v, uint32_t(take));
            w.shorter = ladder[take - 1];
            w.tag = ladder[take];
            r = start + take;
        }
    }
    for (; r < count_; ++r) {
        const uint32_t t = find(w.tag, values_[r]);
        if (t == noTag) break;
        w.shorter = w.tag;
        w.tag = t;
        through = through || t == avoidA || t == avoidB;
    }
    w.end = r;
    w.usable = !free_ && !through;
    return r;
}

// The longest string from p, in live_[0]; returns where it ends.
MOVIGRAM_INLINE size_t LzwChoiceEncoder::Parse::longestString(size_t p, uint32_t pending) {
    uint32_t c[2];
    liveCount_ = choicesAt(p, c);
    for (int k = 0; k < liveCount_; ++k) live_[k] = {tagOf(c[k]), c[k], noTag};
    const bool walked = ahead_.usable && ahead_.start == p;
    ahead_.usable = false;
    if (walked) {
        live_[0].tag = ahead_.tag;
        live_[0].shorter = ahead_.shorter;
        return ahead_.end;
    }
    size_t q = p + 1;
    if (liveCount_ == 1 && table_.ladders_[c[0]].size() > 2) q = climbRuns(p, c[0], pending);
    for (; q < count_; ++q)
        if (!(liveCount_ == 1 ? extendOnePath(q, pending) : extendPaths(q, pending))) break;
    return q;
}

// Through the runs of index v the table holds, as far as the pixels from p
// may only be written as v; the entry still to be made (a run too, after a
// string cut short) is left to the pixel by pixel steps.
MOVIGRAM_INLINE size_t LzwChoiceEncoder::Parse::climbRuns(size_t p, uint32_t v, uint32_t pending) {
    const std::vector<uint16_t>& ladder = table_.ladders_[v];
    uint32_t known = uint32_t(ladder.size() - 1);
    if (runUpTo(pending, v, known)) known = runOfCode_[codeOf(pending)];
    const size_t take = byteRun(values_ + p, count_ - p, uint8_t(v), size_t(known),
                                free_ && v != alternative_ ? free_ + p : nullptr);
    if (take <= 1) return p + 1;
    live_[0].shorter = ladder[take - 1];
    live_[0].tag = ladder[take];
    return p + take;
}

// One path, the common case: false when it does not go on with pixel q.
MOVIGRAM_INLINE bool LzwChoiceEncoder::Parse::extendOnePath(size_t q, uint32_t pending) {
    const uint32_t v = values_[q];
    const Path& path = live_[0];
    uint32_t tag;
    if (!free_ || !free_[q] || v == alternative_) {
        tag = step(path, v, pending);
    } else {
        // Two ways on: both may go on, the preferred first.
        const uint32_t preferred = step(path, preferAlternative_ ? alternative_ : v, pending);
        const uint32_t other = step(path, preferAlternative_ ? v : alternative_, pending);
        if (preferred != noTag && other != noTag) {
            next_[0] = {preferred, path.first, path.tag};
            next_[1] = {other, path.first, path.tag};
            std::swap(live_, next_);
            liveCount_ = 2;
            return true;
        }
        tag = preferred != noTag ? preferred : other;
    }
    if (tag == noTag) return false;
    live_[0].shorter = live_[0].tag;
    live_[0].tag = tag;
    return true;
}

// Several paths: each goes on in every way pixel q may be written, up to
// `paths` of them in the order of preference; false when none goes on.
MOVIGRAM_INLINE bool LzwChoiceEncoder::Parse::extendPaths(size_t q, uint32_t pending) {
    uint32_t c[2];
    const int n = choicesAt(q, c);
    int nextCount = 0;
    for (int i = 0; i < liveCount_ && nextCount < paths; ++i)
        for (int k = 0; k < n && nextCount < paths; ++k) {
            const uint32_t tag = step(live_[i], c[k], pending);
            if (tag != noTag) next_[nextCount++] = {tag, live_[i].first, live_[i].tag};
        }
    if (nextCount == 0) return false;
    std::swap(live_, next_);
    liveCount_ = nextCount;
    return true;
}

// With a lookahead, the string chosen (live_[0], ending at q) is cut one
// pixel short when the string after it then reaches further; returns where
// the string chosen now ends.
MOVIGRAM_INLINE size_t LzwChoiceEncoder::Parse::cutShorter(size_t q) {
    const uint32_t shorter = live_[0].shorter;
    if (!options_.lookahead || shorter == noTag || q >= count_) return q;
    // The string from q reaches q + 1 at least, so the one from q - 1 must
    // pass q + lookahead before the other is worth finding.
    const size_t reach = walkFrom(q - 1, shorter, previous_, fromCut_);
    if (reach <= q + options_.lookahead) return q;
    if (reach > walkFrom(q, live_[0].tag, previous_, fromEnd_) + options_.lookahead - 1) {
        live_[0].tag = shorter;
        ahead_ = fromCut_;
        return q - 1;
    }
    ahead_ = fromEnd_;
    return q;
}

// The entry of the previous string followed by `first`, the first pixel of
// the string at p; the code size grows, and a table that fills starts being
// judged.
MOVIGRAM_INLINE void LzwChoiceEncoder::Parse::makeEntry(uint32_t first, size_t p) {
    add(previous_, first);
    ++nextFree_;
    if (nextFree_ == (1u << codeSize_) + 1 && codeSize_ < 12) ++codeSize_;
    if (nextFree_ == maxCodes) {
        full_ = filled_ = true;
        fillBits_ = bitsWritten_ - tableStartBits_;
        fillPixels_ = p - tableStart_;
        windowStart_ = p;
        windowStartBits_ = bitsWritten_;
        windowCodes_ = 0;
    }
}

// After each code: clears the table when it is (about to be) full and the
// options say so.
MOVIGRAM_INLINE void LzwChoiceEncoder::Parse::judgeTable(size_t p) {
    if (!full_ && nextFree_ + options_.spareCodes >= maxCodes && options_.judgedCodes == 0) {
        // The entry still to come would fill the table (or come within
        // spareCodes of it), which is then cleared at once: clear now and
        // leave it out.
        filled_ = true;
        put(clearCode_);
        reset(p);
        previous_ = noTag;
    } else if (full_ && ++windowCodes_ == options_.judgedCodes) {
        const uint64_t windowBits = bitsWritten_ - windowStartBits_;
        const uint64_t windowPixels = p - windowStart_;
        if (double(windowBits) * double(fillPixels_) >
            options_.margin * double(fillBits_) * double(windowPixels)) {
            put(clearCode_);
            reset(p);
            previous_ = noTag;
        } else {
            windowStart_ = p;
            windowStartBits_ = bitsWritten_;
            windowCodes_ = 0;
        }
    }
}

// The byte m, the packed codes in sub-blocks of 255 and the terminator.
MOVIGRAM_INLINE void LzwChoiceEncoder::Parse::writeSubBlocks(std::vector<uint8_t>& out) const {
    const uint8_t* const packed = table_.packed_.data();
    const size_t n = size_t(at_ - packed);
    out.reserve(out.size() + n + n / 255 + 3);
    out.push_back(uint8_t(minCodeSize_));
    for (size_t i = 0; i < n; i += 255) {
        const size_t k = std::min<size_t>(255, n - i);
        out.push_back(uint8_t(k));
        out.insert(out.end(), packed + i, packed + i + k);
    }
    out.push_back(0);
}

MOVIGRAM_INLINE LzwChoiceOutcome LzwChoiceEncoder::Parse::run(std::vector<uint8_t>& out, size_t limit) {
    if (options_.leadingClear) put(clearCode_);
    reset(0);
    // The single indices are runs of one (codes of other sizes may have
    // been strings before).
    for (uint32_t c = 0; c < clearCode_; ++c) runOfCode_[c] = 1;

    size_t p = 0;
    while (p < count_) {
        const uint32_t pending = previous_ != noTag && !full_ ? previous_ : noTag;
        const size_t q = cutShorter(longestString(p, pending));
        const Path& chosen = live_[0];
        if (pending != noTag) makeEntry(chosen.first, p);
        put(codeOf(chosen.tag));
        if (size_t(at_ - table_.packed_.data()) > limit) return {filled_, true};
        previous_ = chosen.tag;
        p = q;
        judgeTable(p);
    }
    put(clearCode_ + 1);  // the end code
    if (bits_ > 0) *at_++ = uint8_t(acc_);
    writeSubBlocks(out);
    return {filled_, false};
}

LzwChoiceOutcome LzwChoiceEncoder::encode(const uint8_t* values, const uint8_t* free, uint8_t alternative,
                                          size_t count, int minCodeSize, const LzwChoiceOptions& options,
                                          std::vector<uint8_t>& out, size_t limit) {
    Parse parse(*this, values, free, alternative, count, minCodeSize, options);
    return parse.run(out, limit);
}

#undef MOVIGRAM_INLINE

}  // namespace movigram
