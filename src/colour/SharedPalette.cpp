#include "SharedPalette.h"

#include <algorithm>
#include <new>

#include "PaletteDitherer.h"

namespace movigram {

FrameSampler::FrameSampler(int64_t announcedFrames, uint64_t framePixels, uint64_t budget)
    : framePixels_(std::max<uint64_t>(framePixels, 1)), budget_(std::max<uint64_t>(budget, 1)) {
    if (announcedFrames > 0) {
        const uint64_t all = uint64_t(announcedFrames) * framePixels_;
        step_ = std::max<uint64_t>(1, (all + budget_ - 1) / budget_);
    }
}

bool FrameSampler::take() {
    if (index_++ % step_ != 0) return false;
    counted_ += framePixels_;
    // Longer than announced: count half as often from here on.
    if (counted_ >= 2 * budget_) {
        step_ *= 2;
        counted_ = budget_;
    }
    return true;
}

std::vector<bool> FrameSampler::evenly(size_t count, size_t most) {
    if (count <= most) return std::vector<bool>(count, true);
    std::vector<bool> taken(count, false);
    if (most == 1) taken[0] = true;
    for (size_t j = 0; most > 1 && j < most; ++j) taken[j * (count - 1) / (most - 1)] = true;
    return taken;
}

SharedPaletteBuilder::SharedPaletteBuilder(Quantizer quantizer) : quantizer_(quantizer) {}

bool SharedPaletteBuilder::addPicture(const DeepRows& rows) {
    try {
        if (quantizer_ == Quantizer::HighQuality) {
            if (!quality_) quality_ = std::make_unique<ColorCells>();
            quality_->addPicture(rows);
            return true;
        }
        const uint64_t pixels = uint64_t(rows.width) * rows.height;
        // The median cut counts in 32 bits.
        if (pixels_ + pixels > UINT32_MAX) return true;
        if (!cells_) cells_ = std::make_unique<ColorHistogram>();
        std::vector<Rgb8> row(rows.width);
        for (uint32_t r = 0; r < rows.height; ++r) {
            rows.colors(r, row.data(), false);
            for (const Rgb8& c : row) ++cells_->at(c.red >> 2, c.green >> 2, c.blue >> 2);
        }
        pixels_ += pixels;
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

std::vector<PaletteEntry> SharedPaletteBuilder::palette(int colors) {
    if (quality_) return qualityPalette(*quality_, colors);
    if (!cells_ || pixels_ == 0) return {};
    MedianCut cut(*cells_, uint32_t(pixels_), colors);
    cut.cut();
    cut.finish();
    std::vector<PaletteEntry> out;
    for (int i = 0; i < cut.boxCount(); ++i) {
        const Rgb6& c = cut.paletteColors()[size_t(i)];
        out.push_back({MedianCut::scale(c[0]), MedianCut::scale(c[1]), MedianCut::scale(c[2]), 0});
    }
    return out;
}

SteadyMapper::SteadyMapper(std::vector<PaletteEntry> palette, const QuantizeOptions& options, bool fullRange)
    : palette_(std::move(palette)), options_(options), fullRange_(fullRange) {}

std::unique_ptr<TDib256> SteadyMapper::map(const DeepRows& rows) {
    try {
        auto image = std::make_unique<TDib256>(int32_t(rows.width), int32_t(rows.height));
        for (size_t i = 0; i < palette_.size(); ++i)
            image->colors()[i] = {palette_[i].blue, palette_[i].green, palette_[i].red, 0};
        image->colorsUsed = int(palette_.size());

        // Nearest colour and the ordered pattern give a colour at one place
        // the same index every time; error diffusion needs to be told which
        // pixels are as they were.
        const bool diffusion = options_.dither == DitherMethod::Diffusion;
        const bool sameSize = rows.width == width_ && rows.height == height_;
        const size_t pixels = size_t(rows.width) * rows.height;
        if (diffusion && !sameSize) {
            lastSource_.assign(pixels, Rgb8{});
            lastOutput_.assign(pixels, 0);
        }
        if (!ditherer_) ditherer_ = std::make_unique<PaletteDitherer>(palette_.data(), int(palette_.size()), -1, options_);
        PaletteDitherer& ditherer = *ditherer_;
        ditherer.startPicture(int32_t(rows.width));
        std::vector<Rgb8> row(rows.width);
        std::vector<int16_t> fixed(rows.width, PaletteDitherer::freePixel);
        for (uint32_t r = 0; r < rows.height; ++r) {
            rows.colors(r, row.data(), fullRange_);
            uint8_t* out = image->bits() + size_t(r) * size_t(image->stride());
            if (!diffusion) {
                ditherer.mapRow(row.data(), nullptr, out, 0, int32_t(r));
                continue;
            }
            Rgb8* before = lastSource_.data() + size_t(r) * rows.width;
            uint8_t* shown = lastOutput_.data() + size_t(r) * rows.width;
            for (uint32_t x = 0; x < rows.width; ++x)
                fixed[x] = sameSize && row[x] == before[x] ? PaletteDitherer::kept(shown[x]) : PaletteDitherer::freePixel;
            ditherer.mapRow(row.data(), fixed.data(), out, 0, int32_t(r));
            std::copy(row.begin(), row.end(), before);
            std::copy_n(out, rows.width, shown);
        }
        width_ = rows.width;
        height_ = rows.height;
        return image;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace movigram
