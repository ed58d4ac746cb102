#include "LzwLossyEncoder.h"

#include <algorithm>
#include <cmath>

namespace movigram {

namespace {

using Rgb = LzwLossyEncoder::Rgb;

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

LzwLossyEncoder::LzwLossyEncoder()
    : firstChild_(4096, none), nextSibling_(4096, none), first_(4096, 0), last_(4096, 0) {}

uint32_t LzwLossyEncoder::thresholdOf(int quality) {
    if (quality >= 100) return 0;
    // A per-channel step that grows with the loss asked for; squared over
    // the three channels.
    const double step = (100 - std::max(quality, 0)) * 0.9;
    return uint32_t(std::lround(3.0 * step * step)) + 1;
}

double LzwLossyEncoder::lambdaOf(uint32_t threshold) {
    // An error as large as the threshold is worth 36 bits, about three
    // codes: the threshold only keeps out what no saving would excuse (and
    // reaches the far apart colours of a dithered palette from the first
    // levels on), lambda spends the error where it buys the most length
    // (the squared error is what PSNR counts).
    return threshold > 0 ? 36.0 / double(threshold) : 0.0;
}

uint32_t LzwLossyEncoder::errorOf(uint32_t index, size_t at, const Rgb* palette, uint32_t threshold,
                                  int alternative) const {
    const uint32_t own = pixels_[at];
    if (index == own) return 0;
    switch (kinds_[at]) {
        case Exact: return unfit;
        case OrAlternative: return int(index) == alternative ? 0 : unfit;
        default: break;
    }
    if (int(index) == alternative) return unfit;
    const uint32_t e = distance(palette[index], palette[own]);
    return e < (limits_ ? std::min(limits_[own], threshold) : threshold) ? e : unfit;
}

size_t LzwLossyEncoder::bestFrom(uint32_t code, size_t from, const Rgb* palette, uint32_t threshold, int alternative,
                                 double codeBits, double lambda, double& cost) {
    // Depth first over the children that may stand for the next pixels,
    // the closest first (the pixel's own index before all): the first path
    // followed is a greedy parse's.  Past it, at most `extraVisits` more
    // children are looked at.  Every string reached is a candidate; the one
    // that costs least per pixel, its code's bits plus lambda times its
    // squared error, wins (of two as dear, the shorter: found first).
    constexpr size_t extraVisits = 48;
    const size_t count = pixels_.size();
    size_t bestLength = 0, sameAsBest = 0, visits = 0, limit = SIZE_MAX;
    // The best cost per pixel so far as a sum over a length: the root alone.
    double bestSum = codeBits, bestPixels = 1.0;
    stack_.clear();
    stack_.push_back({uint16_t(code), none, none, false, 0});
    while (!stack_.empty()) {
        Step& step = stack_.back();
        const size_t depth = stack_.size() - 1, at = from + depth;
        uint32_t next = none, nextError = 0;
        if (at < count) {
            if (!step.ownDone) {
                step.ownDone = true;
                uint32_t nearest = unfit;
                for (uint32_t k = firstChild_[step.node]; k != none; k = nextSibling_[k]) {
                    const uint32_t e = errorOf(last_[k], at, palette, threshold, alternative);
                    // The own index before an alternative of no error.
                    const uint32_t rank = e == unfit ? unfit : last_[k] == pixels_[at] ? 0 : e + 1;
                    if (rank < nearest) {
                        nearest = rank;
                        next = k;
                        nextError = e;
                        if (rank == 0) break;  // nothing comes before the own index
                    }
                }
                step.first = uint16_t(next);
            } else if (kinds_[at] != Exact) {
                for (uint32_t k = step.cursor == none ? firstChild_[step.node] : nextSibling_[step.cursor];
                     k != none; k = nextSibling_[k]) {
                    step.cursor = uint16_t(k);
                    if (k == step.first) continue;
                    const uint32_t e = errorOf(last_[k], at, palette, threshold, alternative);
                    if (e != unfit) {
                        next = k;
                        nextError = e;
                        break;
                    }
                }
            }
        }
        if (next == none) {
            // The first path ends: the search goes on a little further.
            if (limit == SIZE_MAX) limit = visits + extraVisits;
            stack_.pop_back();
            continue;
        }
        if (visits++ >= limit) break;
        const uint64_t error = step.error + nextError;
        if (path_.size() <= depth) path_.resize(depth + 1);
        path_[depth] = uint16_t(next);
        sameAsBest = std::min(sameAsBest, depth);
        const double sum = codeBits + lambda * double(error), pixels = double(depth + 2);
        if (sum * bestPixels < bestSum * pixels) {
            if (best_.size() < depth + 1) best_.resize(depth + 1);
            std::copy(path_.begin() + std::ptrdiff_t(sameAsBest), path_.begin() + std::ptrdiff_t(depth + 1),
                      best_.begin() + std::ptrdiff_t(sameAsBest));
            sameAsBest = bestLength = depth + 1;
            bestSum = sum;
            bestPixels = pixels;
        }
        stack_.push_back({uint16_t(next), none, none, false, error});
    }
    cost = bestSum / bestPixels;
    return bestLength;
}

void LzwLossyEncoder::encode(const uint8_t* firstRow, std::ptrdiff_t rowStep, uint32_t width, uint32_t height,
                             const uint8_t* keep, const uint32_t* colours, uint32_t threshold, int minCodeSize,
                             ByteSink& out, int alternative, uint8_t* written, const uint32_t* limits) {
    limits_ = limits;
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
    // Codes above the roots of an earlier image's table may have reused
    // this one's root slots.
    for (uint32_t i = 0; i < roots; ++i) first_[i] = uint8_t(i);
    clearTable();
    uint32_t nextFree = clearCode + 2;
    uint32_t clearings = 0;

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
            first_[nextFree] = first_[code];
            last_[nextFree] = uint8_t(c);
            nextSibling_[nextFree] = firstChild_[code];
            firstChild_[code] = uint16_t(nextFree);
        }
        if (++nextFree == 4097) {
            ++clearings;
            clearTable();
            nextFree = clearCode + 2;
        }
    };

    const double lambda = lambdaOf(threshold);
    const size_t count = size_t(width) * height;
    if (count > 0) {
        // The pixels in order, with what each may become.
        pixels_.resize(count);
        kinds_.resize(count);
        for (uint32_t y = 0; y < height; ++y) {
            std::copy_n(firstRow + std::ptrdiff_t(y) * rowStep, width, &pixels_[size_t(y) * width]);
            if (keep && threshold > 0) std::copy_n(keep + size_t(y) * width, width, &kinds_[size_t(y) * width]);
            else if (keep) std::transform(keep + size_t(y) * width, keep + size_t(y + 1) * width,
                                          &kinds_[size_t(y) * width], [](uint8_t k) { return k == Close ? uint8_t(Exact) : k; });
            else std::fill_n(&kinds_[size_t(y) * width], width, uint8_t(threshold > 0 ? Close : Exact));
        }
        // Each string starts with its pixel's own index (or the
        // alternative, where that may stand for it), then runs as far as
        // it pays.
        uint32_t pending = none;  // the code of the string before
        for (size_t i = 0; i < count;) {
            const double codeBits = double(codeSize);
            uint32_t root = pixels_[i];
            double cost, otherCost;
            size_t length = 0;
            bool searched = false;
            if (alternative >= 0 && root != uint32_t(alternative) &&
                errorOf(uint32_t(alternative), i, palette, threshold, alternative) == 0) {
                // A pixel that may be left transparent starts the string
                // that costs less, judged without the entry the string
                // before is about to add; its own index when they cost
                // alike (the maximum compression's own parse of such
                // pixels does better from there).
                const size_t ownLength = bestFrom(root, i + 1, palette, threshold, alternative, codeBits, lambda, cost);
                ownBest_.assign(best_.begin(), best_.begin() + std::ptrdiff_t(ownLength));
                length = bestFrom(uint32_t(alternative), i + 1, palette, threshold, alternative, codeBits, lambda,
                                  otherCost);
                if (otherCost < cost) {
                    root = uint32_t(alternative);
                } else {
                    std::copy(ownBest_.begin(), ownBest_.end(), best_.begin());
                    length = ownLength;
                }
                searched = true;
            }
            const uint32_t clearingsBefore = clearings;
            if (pending != none) endString(pending, root);
            // The entry just added lies among the strings that start with
            // root only when the string before started with it too; else
            // the search above holds.
            if (!searched || clearings != clearingsBefore || (pending != none && first_[pending] == root))
                length = bestFrom(root, i + 1, palette, threshold, alternative, codeBits, lambda, cost);
            if (written) written[i] = uint8_t(root);
            uint32_t code = root;
            for (size_t d = 0; d < length; ++d) {
                code = best_[d];
                if (written) written[i + 1 + d] = last_[code];
            }
            i += 1 + length;
            pending = code;
        }
        bits.put(pending, codeSize);
    }
    bits.put(endCode, codeSize);
    bits.finish();
}

}  // namespace movigram
