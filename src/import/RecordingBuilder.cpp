#include "RecordingBuilder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "colour/RgbColor.h"
#include "colour/SharedPalette.h"

namespace movigram {
namespace {

constexpr uint32_t colourBits = 0x00FFFFFF;  // the fourth byte of a pixel means nothing
constexpr int64_t nanosPerHundredth = 10'000'000;

uint32_t pixelAt(const uint8_t* row, int32_t x) {
    uint32_t p;
    std::memcpy(&p, row + size_t(x) * 4, 4);
    return p & colourBits;
}

Rgb8 colourOf(uint32_t p) { return {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)}; }

uint64_t imageBytes(const TRect& r) { return uint64_t((r.width() + 3) / 4 * 4) * uint64_t(r.height()); }

// Fills the entries the first picture left free with colours spread over
// the 6 x 6 x 6 cube, visited with a stride that jumps across it so that a
// few free entries still get far-apart colours.
void fillFreeEntries(std::vector<PaletteEntry>& palette) {
    constexpr int cubeSize = 216, stride = 97;  // 97 and 216 share no factor
    for (int k = 0; k < cubeSize && palette.size() < 256; ++k) {
        const int c = k * stride % cubeSize;
        const PaletteEntry e{uint8_t(c / 36 * 51), uint8_t(c / 6 % 6 * 51), uint8_t(c % 6 * 51), 0};
        if (std::find(palette.begin(), palette.end(), e) == palette.end()) palette.push_back(e);
    }
}

}  // namespace

RecordingBuilder::RecordingBuilder(const QuantizeOptions& options, uint64_t budgetBytes)
    : options_(options), budget_(budgetBytes) {}

RecordingBuilder::~RecordingBuilder() = default;

uint64_t RecordingBuilder::workingBytes() const {
    return lastPicture_.capacity() * sizeof(uint32_t) + lastIndex_.capacity();
}

int64_t RecordingBuilder::hundredthsAt(std::chrono::nanoseconds time) const {
    return (std::max<int64_t>(time.count(), 0) + nanosPerHundredth / 2) / nanosPerHundredth;
}

RecordingBuilder::Added RecordingBuilder::refuse(std::string message) {
    message_ = std::move(message);
    return Added::Refused;
}

bool RecordingBuilder::start(const CapturedPicture& picture) {
    width_ = picture.width;
    height_ = picture.height;
    const size_t pixels = size_t(width_) * size_t(height_);
    lastPicture_.assign(pixels, 0);
    lastIndex_.assign(pixels, 0);

    // The quantisers read bottom-up 24-bit rows.
    const DeepRows probe{nullptr, uint32_t(width_), uint32_t(height_), 24};
    std::vector<uint8_t> deep(probe.stride() * size_t(height_));
    for (int32_t y = 0; y < height_; ++y) {
        const uint8_t* src = picture.bgrx + size_t(y) * picture.stride;
        uint8_t* dst = deep.data() + size_t(height_ - 1 - y) * probe.stride();
        for (int32_t x = 0; x < width_; ++x, src += 4, dst += 3) std::memcpy(dst, src, 3);
    }
    SharedPaletteBuilder builder(options_.quantizer);
    if (!builder.addPicture({deep.data(), uint32_t(width_), uint32_t(height_), 24})) return false;
    palette_ = builder.palette(256);
    if (palette_.empty()) return false;
    fillFreeEntries(palette_);
    ditherer_ = std::make_unique<PaletteDitherer>(palette_.data(), int(palette_.size()), -1, options_);
    return true;
}

TRect RecordingBuilder::changedRect(const CapturedPicture& picture) const {
    TRect changed{width_, height_, 0, 0};
    for (int32_t y = 0; y < height_; ++y) {
        const uint8_t* row = picture.bgrx + size_t(y) * picture.stride;
        const uint32_t* last = lastPicture_.data() + size_t(y) * size_t(width_);
        int32_t left = 0;
        while (left < width_ && pixelAt(row, left) == last[left]) ++left;
        if (left == width_) continue;
        int32_t right = width_;
        while (right > left && pixelAt(row, right - 1) == last[right - 1]) --right;
        changed.top = std::min(changed.top, y);
        changed.bottom = y + 1;
        changed.left = std::min(changed.left, left);
        changed.right = std::max(changed.right, right);
    }
    return changed.isEmpty() ? TRect{} : changed;
}

std::unique_ptr<TDib256> RecordingBuilder::mapRect(const CapturedPicture& picture, const TRect& rect) {
    auto image = std::make_unique<TDib256>(rect.width(), rect.height());
    for (size_t i = 0; i < palette_.size(); ++i)
        image->colors()[i] = {palette_[i].blue, palette_[i].green, palette_[i].red, 0};
    image->colorsUsed = int(palette_.size());

    const bool first = frames_.empty();
    std::vector<Rgb8> colours(size_t(rect.width()));
    std::vector<int16_t> fixed(size_t(rect.width()));
    ditherer_->startPicture(rect.width());
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
        const uint8_t* src = picture.bgrx + size_t(y) * picture.stride;
        const size_t at = size_t(y) * size_t(width_);
        uint32_t* last = lastPicture_.data() + at;
        uint8_t* shown = lastIndex_.data() + at;
        for (int32_t x = rect.left; x < rect.right; ++x) {
            const uint32_t p = pixelAt(src, x);
            const size_t i = size_t(x - rect.left);
            colours[i] = colourOf(p);
            fixed[i] = !first && p == last[x] ? PaletteDitherer::kept(shown[x]) : PaletteDitherer::freePixel;
            last[x] = p;
        }
        uint8_t* out = image->row(y - rect.top);
        ditherer_->mapRow(colours.data(), fixed.data(), out, rect.left, y);
        std::memcpy(shown + rect.left, out, size_t(rect.width()));
    }
    return image;
}

RecordingBuilder::Added RecordingBuilder::add(const CapturedPicture& picture) {
    if (picture.width <= 0 || picture.height <= 0 || picture.stride < size_t(picture.width) * 4)
        return refuse("The recorded picture is empty");
    if (!frames_.empty() && (picture.width != width_ || picture.height != height_))
        return refuse("The recorded region changed its size");
    try {
        TRect rect{0, 0, picture.width, picture.height};
        if (frames_.empty()) {
            if (imageBytes(rect) > budget_) {
                message_ = "A single picture of the region takes more than the memory budget of " +
                           megabytesText(budget_);
                return Added::Full;
            }
            if (!start(picture)) return refuse("Failed to allocate memory");
        } else {
            rect = changedRect(picture);
            if (rect.isEmpty()) return Added::Merged;
            if (bytes_ + imageBytes(rect) > budget_) {
                message_ = "The recording reached its memory budget of " + megabytesText(budget_) +
                           " and stopped; the frames recorded so far are kept";
                return Added::Full;
            }
        }
        auto frame = std::make_unique<TFrame>(std::string(), mapRect(picture, rect));
        frame->rect = rect;
        frame->dirtyRect = rect;
        const int64_t start = frames_.empty() ? hundredthsAt(picture.time)
                                              : std::max(hundredthsAt(picture.time), lastStart_ + 1);
        if (!frames_.empty()) frames_.back()->frameTime = int32_t((start - lastStart_) * 10);
        frame->frameTime = 10;  // until the next picture or the end says otherwise
        lastStart_ = start;
        bytes_ += frame->image->byteSize();
        frames_.push_back(std::move(frame));
        return Added::Frame;
    } catch (const std::bad_alloc&) {
        return refuse("Failed to allocate memory");
    }
}

void RecordingBuilder::finish(std::chrono::nanoseconds end) {
    if (frames_.empty()) return;
    frames_.back()->frameTime = int32_t(std::max<int64_t>(hundredthsAt(end) - lastStart_, 1) * 10);
}

FrameChain RecordingBuilder::takeFrames(const std::string& name) {
    for (size_t i = 0; i < frames_.size(); ++i) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".%03zu", i);
        frames_[i]->name = name + suffix;
    }
    linkChain(frames_);
    FrameChain out = std::move(frames_);
    frames_.clear();
    bytes_ = 0;
    return out;
}

std::string megabytesText(uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / 1e6);
    return text;
}

}  // namespace movigram
