#include "QualityQuant.h"

#include <libimagequant.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <new>

#include "PaletteDitherer.h"
#include "document/SharedLibrary.h"

namespace movigram {

namespace {

// The library's fastest setting: its palette is only the start, the k-means
// below brings it to (and, measured by squared error, past) what the
// library's slower settings give.
constexpr int librarySpeed = 10;
// Colours are sRGB.
constexpr double srgbGamma = 0.45455;
// Rounds of k-means at most, on the cells and then on the colours; they
// stop once no colour changes entry, or a round wins less than `settled`
// of the error.
constexpr int refineRounds = 16;
constexpr int exactRounds = 4;
constexpr double settled = 0.002;

// libimagequant, opened when the first high quality palette is made
// (document/SharedLibrary.h).
#define MOVIGRAM_LIQ_FUNCTIONS(X)                                                                  \
    X(liq_attr_create) X(liq_attr_destroy) X(liq_set_max_colors) X(liq_set_speed) X(liq_histogram_create) \
    X(liq_histogram_destroy) X(liq_histogram_add_colors) X(liq_histogram_quantize) X(liq_get_palette)    \
    X(liq_result_destroy)

struct LiqLibrary {
    MOVIGRAM_LIQ_FUNCTIONS(MOVIGRAM_LIBRARY_POINTER)
};

// Null when the library cannot be opened: then no palette is made.
const LiqLibrary* liqLibrary() {
    return openLibraryOnce<LiqLibrary>(MOVIGRAM_IMAGEQUANT_SONAME, [](void* handle, LiqLibrary& lib) {
        bool complete = true;
        MOVIGRAM_LIQ_FUNCTIONS(MOVIGRAM_LIBRARY_BIND)
        return complete;
    });
}

struct AttrFree {
    void operator()(liq_attr* a) const { liqLibrary()->liq_attr_destroy(a); }
};
struct ResultFree {
    void operator()(liq_result* r) const { liqLibrary()->liq_result_destroy(r); }
};
struct HistogramFree {
    void operator()(liq_histogram* h) const { liqLibrary()->liq_histogram_destroy(h); }
};

size_t cellOf(uint32_t rgb) { return size_t(rgb >> 18 & 63) << 12 | size_t(rgb >> 10 & 63) << 6 | (rgb >> 2 & 63); }
uint32_t weight(uint64_t n) { return uint32_t(std::min<uint64_t>(n, UINT32_MAX)); }

WeightedColor meanOf(const std::array<uint64_t, 4>& sums) {
    const uint64_t n = sums[3];
    return {{uint8_t((sums[0] + n / 2) / n), uint8_t((sums[1] + n / 2) / n), uint8_t((sums[2] + n / 2) / n)},
            weight(n)};
}

std::vector<PaletteEntry> libraryPalette(std::span<const WeightedColor> colors, int count) {
    const LiqLibrary* liq = liqLibrary();
    if (!liq) return {};
    std::unique_ptr<liq_attr, AttrFree> attr(liq->liq_attr_create());
    // The library makes no palette of fewer than two colours.
    if (!attr || liq->liq_set_max_colors(attr.get(), std::clamp(count, 2, 256)) != LIQ_OK ||
        liq->liq_set_speed(attr.get(), librarySpeed) != LIQ_OK)
        return {};
    std::unique_ptr<liq_histogram, HistogramFree> histogram(liq->liq_histogram_create(attr.get()));
    if (!histogram) return {};
    std::vector<liq_histogram_entry> entries;
    entries.reserve(colors.size());
    for (const WeightedColor& c : colors)
        if (c.count) entries.push_back({{c.color.red, c.color.green, c.color.blue, 255}, c.count});
    if (entries.empty() || entries.size() > size_t(INT_MAX) ||
        liq->liq_histogram_add_colors(histogram.get(), attr.get(), entries.data(), int(entries.size()),
                                      srgbGamma) != LIQ_OK)
        return {};
    liq_result* made = nullptr;
    if (liq->liq_histogram_quantize(histogram.get(), attr.get(), &made) != LIQ_OK || !made) return {};
    std::unique_ptr<liq_result, ResultFree> result(made);
    const liq_palette* p = liq->liq_get_palette(result.get());
    std::vector<PaletteEntry> out;
    for (unsigned i = 0; p && i < p->count && int(out.size()) < count; ++i)
        out.push_back({p->entries[i].r, p->entries[i].g, p->entries[i].b, 0});
    return out;
}

// The nearest and second nearest entry of each colour, by squared distance,
// every entry compared.  Entries past the palette lie too far to be chosen;
// the distance goes above the index in one key, so the smallest key is the
// nearest entry with the lowest index.  Built twice, for processors with
// AVX2 and for the rest, and chosen when the program starts.
struct Nearest {
    int index;
    int32_t distance, second;  // squared
};

__attribute__((target_clones("avx2", "default"))) int32_t nearestKey(const int32_t* pr, const int32_t* pg,
                                                                      const int32_t* pb, int32_t r, int32_t g,
                                                                      int32_t b) {
    int32_t best = INT32_MAX;
    for (int32_t k = 0; k < 256; ++k) {
        const int32_t d = (pr[k] - r) * (pr[k] - r) + (pg[k] - g) * (pg[k] - g) + (pb[k] - b) * (pb[k] - b);
        best = std::min(best, d << 8 | k);
    }
    return best;
}

// The second nearest: the nearest with the nearest moved out of reach.
Nearest nearestTwo(int32_t* pr, int32_t* pg, int32_t* pb, Rgb8 c) {
    const int32_t best = nearestKey(pr, pg, pb, c.red, c.green, c.blue);
    const int k = best & 0xFF;
    const int32_t kept = pr[k];
    pr[k] = 1024;
    const int32_t second = nearestKey(pr, pg, pb, c.red, c.green, c.blue);
    pr[k] = kept;
    return {k, best >> 8, second >> 8};
}

// K-means on the weighed colours, started from the palette: each entry
// moves to the mean of the colours nearest to it, until no colour changes
// entry or the rounds are spent.  Entries the palette may still take (the
// library gives fewer when its view of the colours was coarse) go to the
// colours that are served worst.
//
// Each colour keeps how far its entry may be (upper) and how near any other
// entry may be (lower); after the entries move, the bounds move by as much,
// and only a colour whose bounds cross is compared with every entry again.
class KMeans {
public:
    KMeans(std::vector<PaletteEntry>& palette, std::span<const WeightedColor> colors, int count, int rounds)
        : palette_(palette), colors_(colors), count_(count), rounds_(rounds), owner_(colors.size()),
          upper_(colors.size()), lower_(colors.size()) {}

    void run() {
        assignAll();
        double before = -1;
        for (int round = 0; round < rounds_; ++round) {
            if (fill()) assignAll(), before = -1;
            const double error = moveEntries();
            // Rounds that win less than this share of the error are not
            // worth their time.
            if (before >= 0 && before - error < before * settled) break;
            before = error;
            if (!reassign()) break;
        }
    }

private:
    void loadPalette() {
        for (int k = 0; k < 256; ++k) pr_[k] = pg_[k] = pb_[k] = 1024;
        for (size_t k = 0; k < palette_.size(); ++k)
            pr_[k] = palette_[k].red, pg_[k] = palette_[k].green, pb_[k] = palette_[k].blue;
    }

    void search(size_t i) {
        const Nearest n = nearestTwo(pr_, pg_, pb_, colors_[i].color);
        owner_[i] = n.index;
        upper_[i] = std::sqrt(float(n.distance));
        lower_[i] = std::sqrt(float(n.second));
    }

    void assignAll() {
        loadPalette();
        for (size_t i = 0; i < colors_.size(); ++i) search(i);
    }

    float distanceTo(size_t i, int k) const {
        const Rgb8& c = colors_[i].color;
        const int dr = pr_[k] - c.red, dg = pg_[k] - c.green, db = pb_[k] - c.blue;
        return std::sqrt(float(dr * dr + dg * dg + db * db));
    }

    // New entries for the worst served colours; true when any was added.
    bool fill() {
        if (int(palette_.size()) >= count_) return false;
        std::vector<std::pair<double, size_t>> worst;
        for (size_t i = 0; i < colors_.size(); ++i) {
            const float d = distanceTo(i, owner_[i]);
            if (d > 0) worst.emplace_back(double(d) * d * colors_[i].count, i);
        }
        const size_t room = std::min(worst.size(), size_t(count_) - palette_.size());
        std::partial_sort(worst.begin(), worst.begin() + ptrdiff_t(room), worst.end(), std::greater<>());
        for (size_t j = 0; j < room; ++j) {
            const Rgb8& c = colors_[worst[j].second].color;
            palette_.push_back({c.red, c.green, c.blue, 0});
        }
        return room > 0;
    }

    // Moves every entry to the mean of its colours; the squared error of the
    // colours about their means.
    double moveEntries() {
        std::vector<std::array<uint64_t, 4>> sums(palette_.size(), {0, 0, 0, 0});
        std::vector<double> squares(palette_.size(), 0);
        for (size_t i = 0; i < colors_.size(); ++i) {
            const WeightedColor& c = colors_[i];
            const size_t o = size_t(owner_[i]);
            std::array<uint64_t, 4>& s = sums[o];
            s[0] += uint64_t(c.color.red) * c.count, s[1] += uint64_t(c.color.green) * c.count;
            s[2] += uint64_t(c.color.blue) * c.count, s[3] += c.count;
            squares[o] += double(c.count) * (c.color.red * c.color.red + c.color.green * c.color.green +
                                             c.color.blue * c.color.blue);
        }
        double error = 0;
        for (size_t k = 0; k < palette_.size(); ++k)
            if (sums[k][3])
                error += squares[k] - (double(sums[k][0]) * double(sums[k][0]) + double(sums[k][1]) * double(sums[k][1]) +
                                       double(sums[k][2]) * double(sums[k][2])) / double(sums[k][3]);
        moved_.assign(palette_.size(), 0);
        for (size_t k = 0; k < palette_.size(); ++k) {
            if (sums[k][3] == 0) continue;
            const WeightedColor mean = meanOf(sums[k]);
            PaletteEntry& e = palette_[k];
            const int dr = e.red - mean.color.red, dg = e.green - mean.color.green, db = e.blue - mean.color.blue;
            moved_[k] = std::sqrt(float(dr * dr + dg * dg + db * db));
            e = {mean.color.red, mean.color.green, mean.color.blue, 0};
        }
        return error;
    }

    // True when some colour changed entry.
    bool reassign() {
        float most = 0, next = 0;
        int mostAt = -1;
        for (size_t k = 0; k < moved_.size(); ++k) {
            if (moved_[k] > most) next = most, most = moved_[k], mostAt = int(k);
            else next = std::max(next, moved_[k]);
        }
        if (most == 0) return false;
        loadPalette();
        bool changed = false;
        for (size_t i = 0; i < colors_.size(); ++i) {
            const int o = owner_[i];
            upper_[i] += moved_[size_t(o)];
            lower_[i] -= o == mostAt ? next : most;
            if (upper_[i] <= lower_[i]) continue;
            upper_[i] = distanceTo(i, o);
            if (upper_[i] <= lower_[i]) continue;
            search(i);
            changed = changed || owner_[i] != o;
        }
        return changed;
    }

    std::vector<PaletteEntry>& palette_;
    std::span<const WeightedColor> colors_;
    int count_;
    int rounds_;
    std::vector<int> owner_;
    std::vector<float> upper_, lower_, moved_;
    alignas(32) int32_t pr_[256], pg_[256], pb_[256];
};

bool usable(const DeepRows& rows) {
    return rows.pixels && (rows.bitsPerPixel == 16 || rows.bitsPerPixel == 24) && rows.width > 0 &&
           rows.height > 0 && rows.width <= INT_MAX && rows.height <= INT_MAX;
}

}  // namespace

std::vector<PaletteEntry> qualityPalette(const ColorCells& colors, int count) {
    const std::vector<WeightedColor> cells = colors.cellColors();
    std::vector<PaletteEntry> palette = libraryPalette(cells, count);
    if (palette.empty()) return palette;
    // The cell means carry the k-means most of the way: a cell adds the
    // same error whichever entry serves it, unless it straddles two.  The
    // colours themselves settle it.
    KMeans(palette, cells, count, refineRounds).run();
    if (colors.exact()) KMeans(palette, colors.colors(), count, exactRounds).run();
    return palette;
}

ColorCells::ColorCells() : keys_(4096, emptyKey), counts_(keys_.size(), 0) {}

void ColorCells::add(const Rgb8& c, uint32_t count) {
    const uint32_t key = uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue;
    if (!cells_.empty()) {
        std::array<uint64_t, 4>& cell = cells_[cellOf(key)];
        cell[0] += uint64_t(c.red) * count, cell[1] += uint64_t(c.green) * count, cell[2] += uint64_t(c.blue) * count;
        cell[3] += count;
        return;
    }
    size_t mask = keys_.size() - 1;
    size_t slot = (key * 2654435761u) & mask;
    while (keys_[slot] != key && keys_[slot] != emptyKey) slot = (slot + 1) & mask;
    if (keys_[slot] == emptyKey) {
        if (used_ + 1 > exactLimit) {
            spill();
            add(c, count);
            return;
        }
        // Kept at most half full.
        if (2 * (used_ + 1) > keys_.size()) {
            grow();
            add(c, count);
            return;
        }
        keys_[slot] = key;
        ++used_;
    }
    counts_[slot] += count;
}

void ColorCells::grow() {
    std::vector<uint32_t> keys(keys_.size() * 2, emptyKey);
    std::vector<uint64_t> counts(keys.size(), 0);
    const size_t mask = keys.size() - 1;
    for (size_t i = 0; i < keys_.size(); ++i) {
        if (keys_[i] == emptyKey) continue;
        size_t slot = (keys_[i] * 2654435761u) & mask;
        while (keys[slot] != emptyKey) slot = (slot + 1) & mask;
        keys[slot] = keys_[i];
        counts[slot] = counts_[i];
    }
    keys_ = std::move(keys);
    counts_ = std::move(counts);
}

void ColorCells::spill() {
    cells_.assign(size_t(1) << 18, {0, 0, 0, 0});
    for (size_t i = 0; i < keys_.size(); ++i) {
        if (keys_[i] == emptyKey) continue;
        const uint32_t k = keys_[i];
        std::array<uint64_t, 4>& cell = cells_[cellOf(k)];
        cell[0] += uint64_t(k >> 16 & 255) * counts_[i], cell[1] += uint64_t(k >> 8 & 255) * counts_[i];
        cell[2] += uint64_t(k & 255) * counts_[i], cell[3] += counts_[i];
    }
    keys_ = {};
    counts_ = {};
    used_ = 0;
}

void ColorCells::addPicture(const DeepRows& rows) {
    std::vector<Rgb8> row(rows.width);
    for (uint32_t r = 0; r < rows.height; ++r) {
        rows.colors(r, row.data());
        for (const Rgb8& c : row) add(c);
    }
}

std::vector<WeightedColor> ColorCells::cellColors() const {
    std::vector<WeightedColor> out;
    if (!cells_.empty()) {
        for (const auto& c : cells_)
            if (c[3]) out.push_back(meanOf(c));
        return out;
    }
    // The kept colours, gathered cell by cell.
    std::vector<std::pair<size_t, size_t>> order;
    order.reserve(used_);
    for (size_t i = 0; i < keys_.size(); ++i)
        if (keys_[i] != emptyKey) order.emplace_back(cellOf(keys_[i]), i);
    std::sort(order.begin(), order.end());
    for (size_t j = 0; j < order.size();) {
        std::array<uint64_t, 4> sums{0, 0, 0, 0};
        const size_t cell = order[j].first;
        for (; j < order.size() && order[j].first == cell; ++j) {
            const uint32_t k = keys_[order[j].second];
            const uint64_t n = counts_[order[j].second];
            sums[0] += uint64_t(k >> 16 & 255) * n, sums[1] += uint64_t(k >> 8 & 255) * n;
            sums[2] += uint64_t(k & 255) * n, sums[3] += n;
        }
        out.push_back(meanOf(sums));
    }
    return out;
}

std::vector<WeightedColor> ColorCells::colors() const {
    if (!cells_.empty()) return cellColors();
    std::vector<std::pair<uint32_t, uint64_t>> found;
    found.reserve(used_);
    for (size_t i = 0; i < keys_.size(); ++i)
        if (keys_[i] != emptyKey) found.emplace_back(keys_[i], counts_[i]);
    std::sort(found.begin(), found.end());
    std::vector<WeightedColor> out;
    out.reserve(found.size());
    for (const auto& [k, n] : found) out.push_back({{uint8_t(k >> 16), uint8_t(k >> 8), uint8_t(k)}, weight(n)});
    return out;
}

QualityQuant::QualityQuant(int colors, const DeepRows& rows, const QuantizeOptions& options)
    : colors_(std::clamp(colors, 1, 256)), rows_(rows), options_(options) {}

bool QualityQuant::build() {
    if (!usable(rows_)) return false;
    try {
        output_.assign(size_t(rows_.width) * rows_.height, 0);
        {
            ColorCells cells;
            cells.addPicture(rows_);
            palette_ = qualityPalette(cells, colors_);
        }
        if (palette_.empty()) return false;
        PaletteDitherer ditherer(palette_.data(), int(palette_.size()), -1, options_);
        ditherer.startPicture(int32_t(rows_.width));
        std::vector<Rgb8> row(rows_.width);
        for (uint32_t r = 0; r < rows_.height; ++r) {
            rows_.colors(r, row.data());
            ditherer.mapRow(row.data(), nullptr, output_.data() + size_t(r) * rows_.width, 0, int32_t(r));
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
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
