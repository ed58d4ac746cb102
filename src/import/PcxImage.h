#pragma once
// PCX images: 1 to 4 planes of 1, 2, 4 or 8 bits making pixels of 1, 4 or
// 8 bits, and 3 planes of 8 bits making 24-bit pixels.  Run decoding fills
// one flat buffer of plane lines; the pixels are then assembled row by row.
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "TrueColorImage.h"
#include "document/Progress.h"

namespace movigram {

// The 128-byte header that PCX and ".qcx" files share (little-endian).
struct PcxHeader {
    static constexpr size_t size = 128;
    uint8_t manufacturer = 0;  // 10 for PCX; the kind (10, 12 or 14) for ".qcx"
    uint8_t version = 0;
    uint8_t bitsPerPixel = 0;  // per plane
    uint16_t xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    std::array<uint8_t, 48> palette{};  // 16 colours as red, green, blue
    uint8_t planes = 0;
    uint16_t bytesPerLine = 0;  // of one plane line
    uint16_t colorMask = 0;     // ".qcx" kinds 12 and 14

    int32_t width() const { return int32_t(xmax) - int32_t(xmin) + 1; }
    int32_t height() const { return int32_t(ymax) - int32_t(ymin) + 1; }

    // False when the file is shorter than the header.
    static bool parse(std::span<const uint8_t> file, PcxHeader& out);
};

class PCXImage {
public:
    // progress is told 0..50 while the runs are decoded and 50..100 while the
    // pixels are assembled.
    explicit PCXImage(const DecodeLimits& limits = DecodeLimits::defaults(), Progress* progress = nullptr);

    // False (and no image) when the file cannot be read, its header describes
    // a layout this reader does not know, or the image is beyond the limits.
    bool read(const std::string& path);
    bool read(std::span<const uint8_t> file);

    const PcxHeader& header() const { return header_; }
    // The image read: 8 bits with a 256-entry colour table, or 24 bits.
    DecodedImage takeImage() { return std::move(image_); }

private:
    bool decode(std::span<const uint8_t> file);
    void report(int percent);

    DecodeLimits limits_;
    Progress* progress_;
    int lastPercent_ = -1;
    PcxHeader header_;
    DecodedImage image_;
};

}  // namespace movigram
