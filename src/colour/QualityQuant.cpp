#include "QualityQuant.h"

#include <libimagequant.h>

#include <algorithm>
#include <climits>
#include <new>

#include "PaletteDitherer.h"

namespace movigram {

namespace {

// The library's speed setting: 4 is its balance of time and quality.
constexpr int librarySpeed = 4;
// Every picture and colour list is taken as sRGB.
constexpr double srgbGamma = 0.45455;

struct AttrFree {
    void operator()(liq_attr* a) const { liq_attr_destroy(a); }
};
struct ImageFree {
    void operator()(liq_image* i) const { liq_image_destroy(i); }
};
struct ResultFree {
    void operator()(liq_result* r) const { liq_result_destroy(r); }
};
struct HistogramFree {
    void operator()(liq_histogram* h) const { liq_histogram_destroy(h); }
};
using Attr = std::unique_ptr<liq_attr, AttrFree>;
using Image = std::unique_ptr<liq_image, ImageFree>;
using Result = std::unique_ptr<liq_result, ResultFree>;
using Histogram = std::unique_ptr<liq_histogram, HistogramFree>;

Attr makeAttr(int colors) {
    Attr attr(liq_attr_create());
    if (!attr) return attr;
    // The library makes no palette of fewer than two colours.
    if (liq_set_max_colors(attr.get(), std::clamp(colors, 2, 256)) != LIQ_OK ||
        liq_set_speed(attr.get(), librarySpeed) != LIQ_OK)
        attr.reset();
    return attr;
}

// The library reads a picture a row at a time, in memory order.
void readRow(liq_color out[], int row, int width, void* user) {
    const DeepRows& rows = *static_cast<const DeepRows*>(user);
    const uint8_t* p = rows.row(uint32_t(row));
    if (rows.bitsPerPixel == 24) {
        for (int x = 0; x < width; ++x, p += 3) out[x] = {p[2], p[1], p[0], 255};
        return;
    }
    for (int x = 0; x < width; ++x, p += 2) {
        const unsigned w = unsigned(p[0] | p[1] << 8);
        out[x] = {widen5(w >> 10 & 31), widen5(w >> 5 & 31), widen5(w & 31), 255};
    }
}

bool usable(const DeepRows& rows) {
    return rows.pixels && (rows.bitsPerPixel == 16 || rows.bitsPerPixel == 24) && rows.width > 0 &&
           rows.height > 0 && rows.width <= INT_MAX && rows.height <= INT_MAX &&
           uint64_t(rows.width) * rows.height <= uint64_t(INT_MAX);
}

Image libraryImage(const liq_attr* attr, const DeepRows& rows) {
    return Image(liq_image_create_custom(attr, readRow, const_cast<DeepRows*>(&rows), int(rows.width),
                                         int(rows.height), srgbGamma));
}

std::vector<PaletteEntry> paletteOf(liq_result* result, int colors) {
    const liq_palette* p = liq_get_palette(result);
    std::vector<PaletteEntry> out;
    for (unsigned i = 0; p && i < p->count && int(out.size()) < colors; ++i)
        out.push_back({p->entries[i].r, p->entries[i].g, p->entries[i].b, 0});
    return out;
}

}  // namespace

struct QualityHistogram::Library {
    Attr attr;
    Histogram histogram;
};

QualityHistogram::QualityHistogram() : liq_(std::make_unique<Library>()) {
    liq_->attr = makeAttr(256);
    if (liq_->attr) liq_->histogram.reset(liq_histogram_create(liq_->attr.get()));
}

QualityHistogram::~QualityHistogram() = default;

bool QualityHistogram::addPicture(const DeepRows& rows) {
    if (!liq_->histogram || !usable(rows)) return false;
    Image image = libraryImage(liq_->attr.get(), rows);
    if (!image || liq_histogram_add_image(liq_->histogram.get(), liq_->attr.get(), image.get()) != LIQ_OK)
        return false;
    empty_ = false;
    return true;
}

bool QualityHistogram::addColors(std::span<const WeightedColor> colors) {
    if (!liq_->histogram) return false;
    std::vector<liq_histogram_entry> entries;
    entries.reserve(colors.size());
    for (const WeightedColor& c : colors)
        if (c.count) entries.push_back({{c.color.red, c.color.green, c.color.blue, 255}, c.count});
    if (entries.empty()) return true;
    if (liq_histogram_add_colors(liq_->histogram.get(), liq_->attr.get(), entries.data(), int(entries.size()),
                                 srgbGamma) != LIQ_OK)
        return false;
    empty_ = false;
    return true;
}

std::vector<PaletteEntry> QualityHistogram::palette(int colors) {
    if (!liq_->histogram || empty_ || colors < 1) return {};
    if (liq_set_max_colors(liq_->attr.get(), std::clamp(colors, 2, 256)) != LIQ_OK) return {};
    liq_result* made = nullptr;
    if (liq_histogram_quantize(liq_->histogram.get(), liq_->attr.get(), &made) != LIQ_OK || !made) return {};
    Result result(made);
    return paletteOf(result.get(), colors);
}

QualityQuant::QualityQuant(int colors, const DeepRows& rows, const QuantizeOptions& options)
    : colors_(std::clamp(colors, 2, 256)), rows_(rows), options_(options) {}

bool QualityQuant::build() {
    if (!usable(rows_)) return false;
    const size_t pixels = size_t(rows_.width) * rows_.height;
    try {
        output_.assign(pixels, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    Attr attr = makeAttr(colors_);
    if (!attr) return false;
    Image image = libraryImage(attr.get(), rows_);
    if (!image) return false;
    liq_result* made = nullptr;
    if (liq_image_quantize(image.get(), attr.get(), &made) != LIQ_OK || !made) return false;
    Result result(made);

    if (options_.dither == DitherMethod::Ordered) {
        palette_ = paletteOf(result.get(), colors_);
        PaletteDitherer ditherer(palette_.data(), int(palette_.size()), -1, options_);
        ditherer.startPicture(int32_t(rows_.width));
        std::vector<Rgb8> row(rows_.width);
        for (uint32_t r = 0; r < rows_.height; ++r) {
            rows_.colors(r, row.data());
            ditherer.mapRow(row.data(), nullptr, output_.data() + size_t(r) * rows_.width, 0, int32_t(r));
        }
        return true;
    }
    // No dithering, or the library's own error diffusion at the strength
    // asked for; remapping also refines the palette, so it is read after.
    const float level = options_.dither == DitherMethod::Diffusion
                            ? float(options_.ditherStrength) / float(QuantizeOptions::fullStrength)
                            : 0.0f;
    if (liq_set_dithering_level(result.get(), level) != LIQ_OK ||
        liq_write_remapped_image(result.get(), image.get(), output_.data(), output_.size()) != LIQ_OK)
        return false;
    palette_ = paletteOf(result.get(), colors_);
    return !palette_.empty();
}

std::unique_ptr<TDib256> QualityQuant::makeImage() const {
    auto image = std::make_unique<TDib256>(int32_t(rows_.width), int32_t(rows_.height));
    for (size_t i = 0; i < palette_.size(); ++i)
        image->colors()[i] = {palette_[i].blue, palette_[i].green, palette_[i].red, 0};
    image->colorsUsed = int(palette_.size());
    // Output row r lies at r * stride, the source's memory order.
    for (uint32_t r = 0; r < rows_.height && !output_.empty(); ++r)
        std::copy_n(output_.data() + size_t(r) * rows_.width, rows_.width,
                    image->bits() + size_t(r) * size_t(image->stride()));
    return image;
}

}  // namespace movigram
