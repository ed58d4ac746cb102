#pragma once
// What the LZW tests share: the plain encoder's bytes for an image, and a
// decode between guard bytes.
#include <algorithm>
#include <vector>

#include "gif/ByteReader.h"
#include "gif/ByteSink.h"
#include "gif/LzwDecoder.h"
#include "gif/LzwEncoder.h"
#include "support/GifBuilder.h"

namespace movigram::test {

inline Bytes encode(const std::vector<uint8_t>& pixels, uint32_t width, uint32_t height, int m) {
    ByteSink sink;
    LzwEncoder().encode(pixels.data(), std::ptrdiff_t(width), width, height, m, sink);
    return sink.bytes();
}

struct Decoded {
    LzwResult result;
    std::vector<uint8_t> pixels;
    bool guardsIntact;  // nothing was written before or after the image
};

// data starts with the code size byte, as in a file.  The image lies between
// two runs of guard bytes that the decoder must leave alone.
inline Decoded decode(const Bytes& data, uint32_t width, uint32_t height, bool interlaced = false,
                      uint8_t fill = 0xEE) {
    constexpr size_t guard = 64;
    constexpr uint8_t mark = 0xA5;
    ByteReader in(data);
    uint8_t m = 0;
    in.readByte(m);
    const size_t size = size_t(width) * height;
    std::vector<uint8_t> buffer(guard + size + guard, mark);
    std::fill_n(buffer.begin() + guard, size, fill);
    LzwDecoder decoder;
    Decoded d{LzwResult::Corrupt, {}, true};
    d.result = decoder.decode(in, m, buffer.data() + guard, width, height, interlaced);
    auto intact = [&](size_t from) { return std::all_of(buffer.begin() + long(from), buffer.begin() + long(from + guard),
                                                        [](uint8_t b) { return b == mark; }); };
    d.guardsIntact = intact(0) && intact(guard + size);
    d.pixels.assign(buffer.begin() + guard, buffer.begin() + long(guard + size));
    return d;
}

}  // namespace movigram::test
