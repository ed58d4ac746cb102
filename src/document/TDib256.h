#pragma once
// An 8-bit device-independent bitmap: rows stored bottom-up, each padded to a
// multiple of four bytes, with a 256-entry colour table of (blue, green, red, 0)
// quads and the counts of colours used and important.
//
// An image may be parked: its pixels are let go, kept as LZW data (the data
// it was read with from a GIF while that still decodes to them, else the
// pixels encoded anew), and decoded again the next time anything reads or
// writes them, so that a long recording does not hold every frame decoded.  Decoding on first use is safe from several
// threads at once; parking is not, and is left to whoever owns the image at
// a point where nobody holds a pointer into its rows (FrameCache.h).
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "Geometry.h"

namespace movigram {

struct OriginalImageData;

struct RgbQuad {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    uint8_t reserved = 0;
    friend bool operator==(const RgbQuad&, const RgbQuad&) = default;
};

using ColorTable = std::array<RgbQuad, 256>;

class TDib256 {
public:
    // A blank image: 256 table entries, every pixel 0.
    TDib256(int32_t width, int32_t height);
    TDib256(const TDib256&);
    TDib256& operator=(const TDib256&);
    TDib256(TDib256&&) noexcept;
    TDib256& operator=(TDib256&&) noexcept;
    ~TDib256();

    // An image of width x height whose indices are what data decodes to
    // (data->width and data->height must be the same), parked from the start.
    static std::unique_ptr<TDib256> parked(int32_t width, int32_t height,
                                           std::shared_ptr<const OriginalImageData> data);

    // The part (left, top, right, bottom) of source in source coordinates, with
    // the source's colour table and counts. The rectangle must lie inside.
    static std::unique_ptr<TDib256> subImage(const TDib256& source, const TRect& part);

    // A 256-entry copy of a packed 1-, 4- or 8-bit image (rows bottom-up,
    // padded to four bytes, most significant bits first); other depths give
    // an image of zeros.
    static std::unique_ptr<TDib256> expand(int32_t width, int32_t height, int bitsPerPixel,
                                           const uint8_t* bits, const ColorTable& table,
                                           int colorsUsed, int colorsImportant);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    int32_t stride() const { return stride_; }
    TRect bounds() const { return {0, 0, width_, height_}; }

    // Row y of the picture (0 = top), stored at (height - 1 - y) * stride.
    uint8_t* row(int32_t y) { return pixels() + size_t(height_ - 1 - y) * size_t(stride_); }
    const uint8_t* row(int32_t y) const { return pixels() + size_t(height_ - 1 - y) * size_t(stride_); }
    uint8_t pixel(int32_t x, int32_t y) const { return row(y)[x]; }
    void setPixel(int32_t x, int32_t y, uint8_t v) { row(y)[x] = v; }
    void fillRow(int32_t y, int32_t x, uint8_t value, int32_t count);
    void fill(uint8_t value);
    // Fills rect (clipped to the image) with value.
    void fillRect(const TRect& rect, uint8_t value);

    // Copies source onto this image at (x, y), clipped; source pixels equal to
    // key (0..255) are skipped, key < 0 copies opaquely.
    void blit(int32_t x, int32_t y, const TDib256& source, int key);

    uint8_t* bits() { return pixels(); }
    const uint8_t* bits() const { return pixels(); }
    size_t byteSize() const { return size_t(stride_) * size_t(height_); }

    // Parking.  The LZW data kept for the image is good only for the exact
    // indices it decodes to: park() checks them against its fingerprint
    // when they may have been written to since.
    bool isParked() const { return !resident_.load(std::memory_order_acquire); }
    // Keeps data for parking; it must decode to the image's indices as they
    // are now.
    void keepPacked(std::shared_ptr<const OriginalImageData> data);
    // Lets the pixels go, keeping LZW data of them: the data kept when it
    // still decodes to them, else the pixels encoded anew.
    void park();
    // Whether the pixels are exactly what data decodes to, known without
    // looking at them: it is the data kept, with no map and no write since.
    bool holdsExactly(const OriginalImageData* data) const {
        return data && packed_.get() == data && !valueMap_ && (isParked() || !written());
    }
    // The values the pixels use (bit v set: some pixel is v), told by the
    // data kept for parking without looking at the pixels: while they are
    // parked or unwritten since (what a reader on another thread decodes
    // meanwhile does not change the answer); nothing otherwise.  Ask once
    // and use the answer: a later question may get none.
    std::optional<std::array<uint64_t, 4>> knownValues() const;
    std::optional<bool> knownUses(uint8_t v) const {
        const auto values = knownValues();
        if (!values) return std::nullopt;
        return bool(((*values)[v >> 6] >> (v & 63)) & 1);
    }
    // While parked: every pixel value v becomes map[v], without decoding
    // (the map is applied when the pixels are decoded).  False, and nothing
    // done, when the image is not parked.
    bool remapParked(const std::array<uint8_t, 256>& map);
    // When the image was last decoded or made, on one clock for all images:
    // the least recently decoded are parked first.
    uint64_t lastUse() const { return lastUse_; }
    // How many parked images have been decoded so far, all images together.
    static uint64_t decodedCount();

    ColorTable& colors() { return colors_; }
    const ColorTable& colors() const { return colors_; }
    int colorsUsed = 0;
    int colorsImportant = 0;
    // Bit i set: colour i is left alone by the gray-scale conversion of a
    // small-table image.
    uint16_t fixedColorMask = 0;
    // For each old pixel value the value it received in the last mapping onto
    // a palette; empty until the first mapping.
    std::unique_ptr<std::array<uint8_t, 256>> colorMap;
    int32_t transparentIndex = -1;

private:
    uint8_t* pixels() {
        if (!resident_.load(std::memory_order_acquire)) [[unlikely]]
            unpark();
        if (!written()) written_.store(true, std::memory_order_relaxed);
        return bits_.data();
    }
    const uint8_t* pixels() const {
        if (!resident_.load(std::memory_order_acquire)) [[unlikely]]
            unpark();
        return bits_.data();
    }
    void unpark() const;
    // Whether the resident pixels are still what the kept data decodes to.
    bool stillPacked() const;

    int32_t width_;
    int32_t height_;
    int32_t stride_;
    // Empty while parked; filled by the first reader after that.
    mutable std::vector<uint8_t> bits_;
    mutable std::atomic<bool> resident_{true};
    mutable uint64_t lastUse_ = 0;
    // The pixels may have been written since the kept data was checked.
    // (Atomic: another thread may ask knownValues while the owner reads the
    // rows through a non-const reference.)
    std::atomic<bool> written_{false};
    bool written() const { return written_.load(std::memory_order_relaxed); }
    std::shared_ptr<const OriginalImageData> packed_;
    // What the values packed_ decodes to became (remapParked), when they
    // changed.
    std::unique_ptr<std::array<uint8_t, 256>> valueMap_;
    ColorTable colors_{};
};

inline int32_t dibStride(int32_t width) { return (width + 3) / 4 * 4; }

}  // namespace movigram
