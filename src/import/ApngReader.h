#pragma once
// Animated PNG.  Our own checked walk over the chunks finds the animation
// control, the frame controls and the frames' data; libpng then decodes each
// frame as a picture of its own: a PNG made of the header with the frame's
// size, the file's palette and transparency chunks, the frame's data as
// image data chunks and the end chunk, every checksum recomputed.  The
// frames are composed as a browser shows them: blend by replacing or by
// alpha compositing, then dispose by leaving, clearing to transparent or
// restoring what was there.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "RgbaFrames.h"

namespace movigram {

enum class ApngDispose : uint8_t { None = 0, Background = 1, Previous = 2 };
enum class ApngBlend : uint8_t { Source = 0, Over = 1 };

struct ApngFrame {
    uint32_t width = 0, height = 0, x = 0, y = 0;
    int32_t delay = 0;  // milliseconds
    ApngDispose dispose = ApngDispose::None;
    ApngBlend blend = ApngBlend::Source;
    std::vector<std::span<const uint8_t>> data;  // the compressed pixels, chunk by chunk
};

struct ApngLayout {
    uint32_t width = 0, height = 0;
    uint32_t plays = 0;                             // 0: without end
    std::span<const uint8_t> header;                // the header chunk's 13 bytes
    std::vector<std::span<const uint8_t>> shared;  // palette and transparency chunks, whole
    std::vector<ApngFrame> frames;
};

// The animation of a PNG file.  Nothing when the file has no animation
// control before its picture data, or when the animation's chunks are
// broken (then problem says how): like a browser, the program then shows
// the file's picture as a still.
std::optional<ApngLayout> apngLayout(std::span<const uint8_t> file, const DecodeLimits& limits,
                                     std::string* problem = nullptr);

// Decodes and composes the frames in order, handing each screen to sink.
DecodeStatus decodeApng(const ApngLayout& layout, const DecodeLimits& limits, const ScreenSink& sink);

// The CRC-32 of PNG chunks over bytes, continuing from crc.
uint32_t pngCrc(std::span<const uint8_t> bytes, uint32_t crc = 0);

}  // namespace movigram
