#pragma once
// The LZW data of an image as it was read from a GIF, kept with its frame so
// that saving an untouched frame writes those bytes again instead of
// encoding it anew: faster, and the file's own compression is kept.  The
// data is only good for the exact indices it decodes to, so it carries their
// fingerprint and size and its code size; a writer compares them with what
// it is about to write, never with a flag that an edit might forget to
// clear.  Frames copied from one another share it.
#include <cstdint>
#include <vector>

namespace movigram {

struct OriginalImageData {
    // The data sub-blocks' contents, joined (their lengths are not kept:
    // a writer cuts them again).
    std::vector<uint8_t> codes;
    // indexFingerprint (gif/IndexFingerprint.h) of the indices decoded.
    uint64_t fingerprint = 0;
    uint32_t width = 0, height = 0;
    int minCodeSize = 0;
};

}  // namespace movigram
