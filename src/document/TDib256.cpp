#include "TDib256.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <mutex>

#include "OriginalImageData.h"
#include "gif/ByteReader.h"
#include "gif/IndexFingerprint.h"
#include "gif/LzwDecoder.h"
#include "gif/LzwEncoder.h"

namespace movigram {

namespace {

// The clock of TDib256::lastUse.
std::atomic<uint64_t> useClock{0};
std::atomic<uint64_t> decodes{0};

// Images decoding at the same moment on different threads mostly take
// different locks.
std::mutex& unparkLock(const void* image) {
    static std::mutex locks[16];
    return locks[(reinterpret_cast<uintptr_t>(image) >> 6) % 16];
}

// The values used by width x height indices, row y at firstRow + y * rowStep,
// eight at a time past runs of one value.
std::array<uint64_t, 4> valuesUsedBy(const uint8_t* firstRow, std::ptrdiff_t rowStep, uint32_t width,
                                     uint32_t height) {
    std::array<uint64_t, 4> used{};
    auto mark = [&used](uint8_t v) { used[v >> 6] |= uint64_t(1) << (v & 63); };
    uint64_t run = ~uint64_t(0);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = firstRow + std::ptrdiff_t(y) * rowStep;
        uint32_t x = 0;
        for (; x + 8 <= width; x += 8) {
            uint64_t word;
            std::memcpy(&word, row + x, sizeof word);
            if (word == run) continue;
            for (int k = 0; k < 8; ++k) mark(row[x + k]);
            run = uint64_t(row[x + 7]) * 0x0101010101010101u;
        }
        for (; x < width; ++x) mark(row[x]);
    }
    return used;
}

// LZW data of indices that have none, or no longer have the data they were
// read with: what a parked image decodes from.  Its fingerprint is worked
// out when it is first decoded.
std::shared_ptr<const OriginalImageData> packIndices(const uint8_t* firstRow, std::ptrdiff_t rowStep,
                                                     uint32_t width, uint32_t height) {
    auto data = std::make_shared<OriginalImageData>();
    data->width = width;
    data->height = height;
    data->valuesUsed = valuesUsedBy(firstRow, rowStep, width, height);
    int highest = 0;
    for (int v = 0; v < 256; ++v)
        if (data->uses(uint8_t(v))) highest = v;
    data->minCodeSize = std::max(2, int(std::bit_width(unsigned(highest))));
    thread_local LzwEncoder encoder;
    ByteSink framed;
    encoder.encode(firstRow, rowStep, width, height, data->minCodeSize, framed);
    // The code size, then sub-blocks of a length and that many bytes.
    const std::vector<uint8_t>& bytes = framed.bytes();
    data->codes.reserve(bytes.size());
    for (size_t at = 1; at < bytes.size() && bytes[at] != 0; at += 1 + bytes[at])
        data->codes.insert(data->codes.end(), bytes.begin() + std::ptrdiff_t(at) + 1,
                           bytes.begin() + std::ptrdiff_t(at) + 1 + bytes[at]);
    return data;
}

}  // namespace

bool decodeOriginal(const OriginalImageData& data, uint8_t* firstRow, std::ptrdiff_t rowStep,
                    const std::array<uint8_t, 256>* valueMap) {
    // The decoder reads sub-blocks as a file holds them, into rows laid
    // end to end.
    thread_local std::unique_ptr<LzwDecoder> decoder;
    thread_local std::vector<uint8_t> framed, rows;
    if (!decoder) decoder = std::make_unique<LzwDecoder>();
    framed.clear();
    for (size_t at = 0; at < data.codes.size(); at += 255) {
        const size_t n = std::min<size_t>(255, data.codes.size() - at);
        framed.push_back(uint8_t(n));
        framed.insert(framed.end(), data.codes.begin() + std::ptrdiff_t(at),
                      data.codes.begin() + std::ptrdiff_t(at + n));
    }
    framed.push_back(0);
    const size_t size = size_t(data.width) * data.height;
    rows.resize(size);
    ByteReader in(framed);
    const bool exact = decoder->decode(in, data.minCodeSize, rows.data(), data.width, data.height, false, {},
                                       valueMap ? valueMap->data() : nullptr) == LzwResult::Complete &&
                       decoder->exact();
    for (uint32_t y = 0; y < data.height; ++y)
        std::memcpy(firstRow + std::ptrdiff_t(y) * rowStep, rows.data() + size_t(y) * data.width, data.width);
    if (size > (size_t(1) << 24)) std::vector<uint8_t>().swap(rows);
    if (framed.size() > (size_t(1) << 24)) std::vector<uint8_t>().swap(framed);
    return exact;
}

uint64_t OriginalImageData::fingerprint() const {
    if (!knowsFingerprint()) {
        std::vector<uint8_t> indices(size_t(width) * height);
        decodeOriginal(*this, indices.data(), std::ptrdiff_t(width));
        setFingerprint(indexFingerprint(indices.data(), std::ptrdiff_t(width), width, height));
    }
    return fingerprint_.load(std::memory_order_relaxed);
}

TDib256::TDib256(int32_t width, int32_t height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      stride_(dibStride(width_)),
      bits_(size_t(stride_) * size_t(height_), 0) {}

TDib256::TDib256(const TDib256& other)
    : colorsUsed(other.colorsUsed),
      colorsImportant(other.colorsImportant),
      fixedColorMask(other.fixedColorMask),
      colorMap(other.colorMap ? std::make_unique<std::array<uint8_t, 256>>(*other.colorMap) : nullptr),
      transparentIndex(other.transparentIndex),
      width_(other.width_),
      height_(other.height_),
      stride_(other.stride_),
      colors_(other.colors_) {
    // A parked image is copied parked: both decode from the same data.
    if (other.isParked()) {
        resident_.store(false, std::memory_order_relaxed);
    } else {
        bits_ = other.bits_;
        written_.store(other.written(), std::memory_order_relaxed);
        lastUse_ = other.lastUse_;
    }
    packed_ = other.packed_;
    if (other.valueMap_) valueMap_ = std::make_unique<std::array<uint8_t, 256>>(*other.valueMap_);
}

TDib256::TDib256(TDib256&& other) noexcept
    : colorsUsed(other.colorsUsed),
      colorsImportant(other.colorsImportant),
      fixedColorMask(other.fixedColorMask),
      colorMap(std::move(other.colorMap)),
      transparentIndex(other.transparentIndex),
      width_(other.width_),
      height_(other.height_),
      stride_(other.stride_),
      bits_(std::move(other.bits_)),
      resident_(other.resident_.load(std::memory_order_acquire)),
      lastUse_(other.lastUse_),
      written_(other.written()),
      packed_(std::move(other.packed_)),
      valueMap_(std::move(other.valueMap_)),
      colors_(other.colors_) {}

TDib256& TDib256::operator=(TDib256&& other) noexcept {
    if (this != &other) {
        colorsUsed = other.colorsUsed;
        colorsImportant = other.colorsImportant;
        fixedColorMask = other.fixedColorMask;
        colorMap = std::move(other.colorMap);
        transparentIndex = other.transparentIndex;
        width_ = other.width_;
        height_ = other.height_;
        stride_ = other.stride_;
        bits_ = std::move(other.bits_);
        resident_.store(other.resident_.load(std::memory_order_acquire), std::memory_order_release);
        lastUse_ = other.lastUse_;
        written_.store(other.written(), std::memory_order_relaxed);
        packed_ = std::move(other.packed_);
        valueMap_ = std::move(other.valueMap_);
        colors_ = other.colors_;
    }
    return *this;
}

TDib256::~TDib256() = default;

std::unique_ptr<TDib256> TDib256::parked(int32_t width, int32_t height,
                                         std::shared_ptr<const OriginalImageData> data) {
    auto image = std::make_unique<TDib256>(0, 0);
    image->width_ = std::max(width, 0);
    image->height_ = std::max(height, 0);
    image->stride_ = dibStride(image->width_);
    image->packed_ = std::move(data);
    image->resident_.store(false, std::memory_order_release);
    return image;
}

uint64_t TDib256::decodedCount() { return decodes.load(std::memory_order_relaxed); }

void TDib256::keepPacked(std::shared_ptr<const OriginalImageData> data) {
    packed_ = std::move(data);
    valueMap_.reset();
    written_.store(false, std::memory_order_relaxed);
    lastUse_ = ++useClock;
}

void TDib256::park() {
    // An empty image has nothing to let go.
    if (isParked() || byteSize() == 0) return;
    // Pixels with no data of their own, or changed since, are encoded anew.
    if (!packed_ || (written() && !stillPacked())) {
        const uint8_t* firstRow = height_ > 0 ? bits_.data() + size_t(height_ - 1) * size_t(stride_) : bits_.data();
        packed_ = packIndices(firstRow, -std::ptrdiff_t(stride_), uint32_t(width_), uint32_t(height_));
        valueMap_.reset();
    }
    written_.store(false, std::memory_order_relaxed);
    std::vector<uint8_t>().swap(bits_);
    resident_.store(false, std::memory_order_release);
}

bool TDib256::stillPacked() const {
    if (height_ == 0) return true;
    const uint8_t* firstRow = bits_.data() + size_t(height_ - 1) * size_t(stride_);
    const std::ptrdiff_t rowStep = -std::ptrdiff_t(stride_);
    if (!valueMap_)
        return indexFingerprint(firstRow, rowStep, uint32_t(width_), uint32_t(height_)) == packed_->fingerprint();
    // Remapped values have no fingerprint of their own to compare with: the
    // data is decoded and mapped again.
    std::vector<uint8_t> packed(size_t(width_) * size_t(height_));
    decodeOriginal(*packed_, packed.data(), width_, valueMap_.get());
    for (int32_t y = 0; y < height_; ++y)
        if (std::memcmp(firstRow + y * rowStep, packed.data() + size_t(y) * size_t(width_), size_t(width_)) != 0)
            return false;
    return true;
}

bool TDib256::remapParked(const std::array<uint8_t, 256>& map) {
    if (!isParked()) return false;
    if (!valueMap_) {
        valueMap_ = std::make_unique<std::array<uint8_t, 256>>();
        for (int v = 0; v < 256; ++v) (*valueMap_)[size_t(v)] = uint8_t(v);
    }
    for (uint8_t& v : *valueMap_) v = map[v];
    return true;
}

std::optional<std::array<uint64_t, 4>> TDib256::knownValues() const {
    // packed_ and valueMap_ change only in the owner's hands, not while
    // others read the image.
    if (!packed_ || (written() && !isParked())) return std::nullopt;
    if (!valueMap_) return packed_->valuesUsed;
    std::array<uint64_t, 4> values{};
    for (int u = 0; u < 256; ++u)
        if (packed_->uses(uint8_t(u))) {
            const uint8_t v = (*valueMap_)[size_t(u)];
            values[v >> 6] |= uint64_t(1) << (v & 63);
        }
    return values;
}

void TDib256::unpark() const {
    std::lock_guard lock(unparkLock(this));
    if (resident_.load(std::memory_order_relaxed)) return;
    std::vector<uint8_t> bits(byteSize(), 0);
    // The data decoded exactly when it was kept, so it does again.
    if (height_ > 0 && uint32_t(width_) == packed_->width && uint32_t(height_) == packed_->height) {
        const auto firstRow = bits.data() + size_t(height_ - 1) * size_t(stride_);
        decodeOriginal(*packed_, firstRow, -std::ptrdiff_t(stride_), valueMap_.get());
        // The fingerprint is of the values as read, before any map.
        if (!packed_->knowsFingerprint() && !valueMap_)
            packed_->setFingerprint(indexFingerprint(firstRow, -std::ptrdiff_t(stride_), packed_->width, packed_->height));
    }
    bits_ = std::move(bits);
    lastUse_ = ++useClock;
    ++decodes;
    resident_.store(true, std::memory_order_release);
}

TDib256& TDib256::operator=(const TDib256& other) {
    if (this != &other) {
        TDib256 copy(other);
        *this = std::move(copy);
    }
    return *this;
}

std::unique_ptr<TDib256> TDib256::subImage(const TDib256& source, const TRect& part) {
    const TRect r = part.intersected(source.bounds());
    auto image = std::make_unique<TDib256>(std::max(part.width(), 0), std::max(part.height(), 0));
    image->colors_ = source.colors_;
    image->colorsUsed = source.colorsUsed;
    image->colorsImportant = source.colorsImportant;
    if (r.isEmpty()) return image;
    for (int32_t y = r.top; y < r.bottom; ++y)
        std::memcpy(image->row(y - part.top) + (r.left - part.left), source.row(y) + r.left,
                    size_t(r.width()));
    return image;
}

std::unique_ptr<TDib256> TDib256::expand(int32_t width, int32_t height, int bitsPerPixel,
                                         const uint8_t* bits, const ColorTable& table,
                                         int colorsUsed, int colorsImportant) {
    auto image = std::make_unique<TDib256>(width, height);
    image->colors_ = table;
    image->colorsUsed = colorsUsed;
    image->colorsImportant = colorsImportant;
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8) return image;
    const int perByte = 8 / bitsPerPixel;
    const size_t sourceStride = size_t((width + perByte - 1) / perByte + 3) / 4 * 4;
    const int mask = (1 << bitsPerPixel) - 1;
    // Both layouts are bottom-up, so memory row r maps to memory row r.
    for (int32_t r = 0; r < height; ++r) {
        const uint8_t* in = bits + size_t(r) * sourceStride;
        uint8_t* out = image->bits_.data() + size_t(r) * size_t(image->stride_);
        if (bitsPerPixel == 8) {
            std::memcpy(out, in, size_t(width));
            continue;
        }
        for (int32_t x = 0; x < width; ++x) {
            const int shift = 8 - bitsPerPixel * (x % perByte + 1);
            out[x] = uint8_t((in[x / perByte] >> shift) & mask);
        }
    }
    return image;
}

void TDib256::fillRow(int32_t y, int32_t x, uint8_t value, int32_t count) {
    std::memset(row(y) + x, value, size_t(count));
}

void TDib256::fill(uint8_t value) { std::memset(pixels(), value, byteSize()); }

void TDib256::fillRect(const TRect& rect, uint8_t value) {
    const TRect r = rect.intersected(bounds());
    if (r.isEmpty()) return;
    for (int32_t y = r.top; y < r.bottom; ++y) std::memset(row(y) + r.left, value, size_t(r.width()));
}

void TDib256::blit(int32_t x, int32_t y, const TDib256& source, int key) {
    const TRect target = TRect{x, y, x + source.width(), y + source.height()}.intersected(bounds());
    if (target.isEmpty()) return;
    const size_t n = size_t(target.width());
    for (int32_t ty = target.top; ty < target.bottom; ++ty) {
        const uint8_t* in = source.row(ty - y) + (target.left - x);
        uint8_t* out = row(ty) + target.left;
        if (key < 0) {
            std::memcpy(out, in, n);
        } else {
            const uint8_t k = uint8_t(key);
            for (size_t i = 0; i < n; ++i)
                if (in[i] != k) out[i] = in[i];
        }
    }
}

}  // namespace movigram
