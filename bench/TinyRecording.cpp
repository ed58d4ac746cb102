#include "TinyRecording.h"

#include <cstdio>
#include <vector>

#include "gif/ByteSink.h"
#include "gif/GifBlockWriter.h"
#include "gif/LzwEncoder.h"

namespace movigram::bench {

bool writeTinyRecording(const std::string& path, int frames) {
    constexpr int screen = 64, side = 4, tableBits = 4;
    ByteSink out;
    gif::putHeader(out, screen, screen, tableBits, 0);
    for (int c = 0; c < (1 << tableBits); ++c) {
        out.put(uint8_t(c * 16));
        out.put(uint8_t(255 - c * 16));
        out.put(uint8_t((c * 85) & 0xFF));
    }
    gif::putLoopingExtension(out, 0);
    LzwEncoder encoder;
    std::vector<uint8_t> pixels(side * side);
    for (int i = 0; i < frames; ++i) {
        for (int p = 0; p < side * side; ++p) pixels[size_t(p)] = uint8_t((i + p / side) % 15 + 1);
        const uint32_t x = uint32_t((i * 3) % (screen - side)), y = uint32_t((i * 7 / 5) % (screen - side));
        gif::putGraphicControl(out, 0, -1, 4);
        gif::putImageDescriptor(out, x, y, side, side, 0);
        encoder.encode(pixels.data(), side, side, side, tableBits, out);
    }
    gif::putTrailer(out);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const auto& bytes = out.bytes();
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace movigram::bench
