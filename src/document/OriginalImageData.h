#pragma once
// The LZW data of an image as it was read from a GIF, kept with its frame so
// that saving an untouched frame writes those bytes again instead of
// encoding it anew: faster, and the file's own compression is kept.  The
// data is only good for the exact indices it decodes to, so it carries their
// fingerprint and size and its code size; a writer compares them with what
// it is about to write, never with a flag that an edit might forget to
// clear.  Frames copied from one another share it.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace movigram {

struct OriginalImageData {
    // The data sub-blocks' contents, joined (their lengths are not kept:
    // a writer cuts them again).
    std::vector<uint8_t> codes;
    uint32_t width = 0, height = 0;
    int minCodeSize = 0;
    // Bit v set: some index is v.  Lets a parked image answer what values it
    // uses without decoding.
    std::array<uint64_t, 4> valuesUsed{};

    bool uses(uint8_t v) const { return (valuesUsed[v >> 6] >> (v & 63)) & 1; }

    // indexFingerprint (gif/IndexFingerprint.h) of the indices decoded.  A
    // reader that parks the image leaves it to be worked out when the
    // indices are first decoded again (or here, by decoding them), so that
    // opening a long recording does not pay for it.
    uint64_t fingerprint() const;
    bool knowsFingerprint() const { return fingerprintKnown_.load(std::memory_order_acquire); }
    void setFingerprint(uint64_t value) const {
        fingerprint_.store(value, std::memory_order_relaxed);
        fingerprintKnown_.store(true, std::memory_order_release);
    }

private:
    mutable std::atomic<uint64_t> fingerprint_{0};
    mutable std::atomic<bool> fingerprintKnown_{false};
};

// Decodes data into a width x height image whose row y starts at
// firstRow + y * rowStep, each index v written as (*valueMap)[v] when a map
// is given; false (the rows left as far as decoded) when the data does not
// decode to exactly that many indices.
bool decodeOriginal(const OriginalImageData& data, uint8_t* firstRow, std::ptrdiff_t rowStep,
                    const std::array<uint8_t, 256>* valueMap = nullptr);

}  // namespace movigram
