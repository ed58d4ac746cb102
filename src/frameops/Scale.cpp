#include "Scale.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

#include "colour/ColorReduction.h"
#include "colour/PaletteMapping.h"
#include "colour/RgbColor.h"
#include "colour/SharedPalette.h"
#include "document/DecodeLimits.h"
#include "document/EditScope.h"
#include "document/FrameChain.h"

namespace movigram {

namespace {

// sRGB to linear light and back.  The way back is a table fine enough that
// neighbouring levels near black stay apart.
constexpr int linearSteps = 16384;

const std::array<float, 256>& linearOf() {
    static const std::array<float, 256> table = [] {
        std::array<float, 256> t{};
        for (int i = 0; i < 256; ++i) {
            const double c = i / 255.0;
            t[size_t(i)] = float(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        }
        return t;
    }();
    return table;
}

const std::vector<uint8_t>& encodingTable() {
    static const std::vector<uint8_t> table = [] {
        std::vector<uint8_t> t(linearSteps + 1);
        for (int i = 0; i <= linearSteps; ++i) {
            const double l = double(i) / linearSteps;
            const double c = l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
            t[size_t(i)] = uint8_t(std::clamp(std::lround(c * 255), 0L, 255L));
        }
        return t;
    }();
    return table;
}

// table: encodingTable().
uint8_t encoded(const uint8_t* table, float linear) {
    return table[size_t(std::clamp(linear, 0.0f, 1.0f) * linearSteps + 0.5f)];
}

// Catmull-Rom: passes through the samples, so an unscaled axis is copied.
double cubic(double x) {
    x = std::abs(x);
    if (x < 1) return (1.5 * x - 2.5) * x * x + 1;
    if (x < 2) return ((-0.5 * x + 2.5) * x - 4) * x + 2;
    return 0;
}

// For each output pixel of one axis, the source pixels it mixes and their
// weights (summing to 1).
struct Taps {
    std::vector<uint32_t> start;  // into index/weight, one more than outputs
    std::vector<int32_t> index;
    std::vector<float> weight;
};

// An axis of n source pixels starting at screen offset `from`, resampled to
// m pixels starting at `to` on a screen scaled by s.
Taps axisTaps(int32_t n, int32_t from, int32_t m, int32_t to, double s) {
    Taps taps;
    taps.start.reserve(size_t(m) + 1);
    std::vector<std::pair<int32_t, double>> mix;
    for (int32_t j = 0; j < m; ++j) {
        mix.clear();
        if (s < 1) {
            // The source span the output pixel covers, clipped to the frame.
            const double lo = std::clamp((to + j) / s - from, 0.0, double(n));
            const double hi = std::clamp((to + j + 1) / s - from, 0.0, double(n));
            for (auto i = int32_t(std::floor(lo)); i < n && i < hi; ++i) {
                const double w = std::min(hi, i + 1.0) - std::max(lo, double(i));
                if (w > 0) mix.emplace_back(i, w);
            }
            if (mix.empty()) mix.emplace_back(std::clamp(int32_t(std::floor(lo)), 0, n - 1), 1.0);
        } else {
            const double c = (to + j + 0.5) / s - from - 0.5;
            const auto base = int32_t(std::floor(c));
            for (int32_t i = base - 1; i <= base + 2; ++i)
                if (const double w = cubic(c - i); w != 0) mix.emplace_back(std::clamp(i, 0, n - 1), w);
        }
        double sum = 0;
        for (const auto& [i, w] : mix) sum += w;
        taps.start.push_back(uint32_t(taps.index.size()));
        for (const auto& [i, w] : mix) {
            taps.index.push_back(i);
            taps.weight.push_back(float(w / sum));
        }
    }
    taps.start.push_back(uint32_t(taps.index.size()));
    return taps;
}

// One frame after resampling: its new rectangle, its pixels as 24-bit rows
// in the image's memory order (bottom-up), and which pixels are transparent.
struct Resampled {
    TFrame* frame = nullptr;
    TRect rect;
    DeepRows rows() const { return {bgr.data(), uint32_t(rect.width()), uint32_t(rect.height()), 24}; }
    std::vector<uint8_t> bgr;
    std::vector<uint8_t> clear;  // 1 where transparent, top-down
    bool anyClear = false;
};

int32_t scaledEdge(int32_t edge, int32_t newSide, int32_t oldSide) {
    return int32_t(std::llround(double(edge) * newSide / oldSide));
}

TRect scaledRect(const TRect& r, TSize from, TSize to) {
    TRect out{scaledEdge(r.left, to.width, from.width), scaledEdge(r.top, to.height, from.height),
              scaledEdge(r.right, to.width, from.width), scaledEdge(r.bottom, to.height, from.height)};
    // A frame never vanishes: one that shrinks below a pixel keeps one.
    if (out.right <= out.left) out.right = out.left + 1;
    if (out.bottom <= out.top) out.bottom = out.top + 1;
    return out;
}

// Premultiplied linear colour and coverage of each of the 256 values.
using Rgba = std::array<float, 4>;

Resampled resample(TFrame& frame, const TRect& rect, double sx, double sy) {
    const TDib256& image = *frame.image;
    const int32_t w = image.width(), h = image.height();
    const int32_t nw = rect.width(), nh = rect.height();
    std::array<Rgba, 256> value{};
    const auto& linear = linearOf();
    for (int k = 0; k < 256; ++k) {
        const RgbQuad& c = image.colors()[size_t(k)];
        value[size_t(k)] = k == frame.transparentIndex
                               ? Rgba{0, 0, 0, 0}
                               : Rgba{linear[c.red], linear[c.green], linear[c.blue], 1};
    }
    const Taps across = axisTaps(w, frame.rect.left, nw, rect.left, sx);
    const Taps down = axisTaps(h, frame.rect.top, nh, rect.top, sy);

    // Rows first: every source row at the new width.
    std::vector<Rgba> wide(size_t(nw) * size_t(h));
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* in = image.row(y);
        Rgba* out = wide.data() + size_t(y) * size_t(nw);
        for (int32_t x = 0; x < nw; ++x) {
            Rgba sum{};
            for (uint32_t t = across.start[size_t(x)]; t < across.start[size_t(x) + 1]; ++t) {
                const Rgba& v = value[in[across.index[t]]];
                const float wt = across.weight[t];
                for (int c = 0; c < 4; ++c) sum[size_t(c)] += wt * v[size_t(c)];
            }
            out[x] = sum;
        }
    }

    Resampled result;
    result.frame = &frame;
    result.rect = rect;
    const size_t stride = (size_t(nw) * 3 + 3) / 4 * 4;
    result.bgr.assign(stride * size_t(nh), 0);
    result.clear.assign(size_t(nw) * size_t(nh), 0);
    std::vector<Rgba> line(static_cast<size_t>(nw));
    const uint8_t* encode = encodingTable().data();
    for (int32_t y = 0; y < nh; ++y) {
        std::fill(line.begin(), line.end(), Rgba{});
        for (uint32_t t = down.start[size_t(y)]; t < down.start[size_t(y) + 1]; ++t) {
            const Rgba* in = wide.data() + size_t(down.index[t]) * size_t(nw);
            const float wt = down.weight[t];
            for (int32_t x = 0; x < nw; ++x)
                for (int c = 0; c < 4; ++c) line[size_t(x)][size_t(c)] += wt * in[x][size_t(c)];
        }
        uint8_t* out = result.bgr.data() + size_t(nh - 1 - y) * stride;
        for (int32_t x = 0; x < nw; ++x, out += 3) {
            const Rgba& p = line[size_t(x)];
            // Transparent when transparent pixels covered more than half.
            if (!(p[3] >= 0.5f)) {
                result.clear[size_t(y) * size_t(nw) + size_t(x)] = 1;
                result.anyClear = true;
                continue;
            }
            out[0] = encoded(encode, p[2] / p[3]);
            out[1] = encoded(encode, p[1] / p[3]);
            out[2] = encoded(encode, p[0] / p[3]);
        }
    }
    return result;
}

// How much of the first pass's work is kept for the second.
constexpr uint64_t keptBudget = uint64_t(256) << 20;

// The visible pixels of a frame in one row, for counting colours.
std::vector<uint8_t> visiblePixels(const Resampled& r) {
    std::vector<uint8_t> out;
    const int32_t w = r.rect.width(), h = r.rect.height();
    const size_t stride = (size_t(w) * 3 + 3) / 4 * 4;
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* in = r.bgr.data() + size_t(h - 1 - y) * stride;
        for (int32_t x = 0; x < w; ++x)
            if (!r.clear[size_t(y) * size_t(w) + size_t(x)]) out.insert(out.end(), in + 3 * x, in + 3 * x + 3);
    }
    return out;
}

}  // namespace

std::optional<ScaleRequest> parseScaleRequest(std::string_view text) {
    ScaleRequest request;
    if (!text.empty() && text.back() == '%') {
        const std::string number(text.substr(0, text.size() - 1));
        if (number.empty() || number.find_first_not_of("0123456789.") != std::string::npos) return std::nullopt;
        char* end = nullptr;
        request.percent = std::strtod(number.c_str(), &end);
        if (*end || !(request.percent > 0) || request.percent > 1e7) return std::nullopt;
        return request;
    }
    const size_t x = text.find_first_of("xX");
    if (x == std::string_view::npos) return std::nullopt;
    auto number = [](std::string_view s, int32_t& out) {
        if (s.empty()) return false;
        const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
        return ec == std::errc() && p == s.data() + s.size() && out >= 0 && out <= maxScaledSide;
    };
    if (!number(text.substr(0, x), request.width) || !number(text.substr(x + 1), request.height)) return std::nullopt;
    if (request.width == 0 && request.height == 0) return std::nullopt;
    return request;
}

std::optional<TSize> scaledSize(TSize screen, const ScaleRequest& request) {
    if (screen.width <= 0 || screen.height <= 0) return std::nullopt;
    double w = request.width, h = request.height;
    if (request.percent > 0) {
        w = screen.width * request.percent / 100;
        h = screen.height * request.percent / 100;
    } else if (request.width == 0) {
        w = double(screen.width) * request.height / screen.height;
    } else if (request.height == 0) {
        h = double(screen.height) * request.width / screen.width;
    }
    w = std::max(1.0, std::round(w));
    h = std::max(1.0, std::round(h));
    if (w > maxScaledSide || h > maxScaledSide) return std::nullopt;
    return TSize{int32_t(w), int32_t(h)};
}

bool scaleAnimation(Document& doc, int32_t width, int32_t height, const std::string& label) {
    if (width < 1 || height < 1 || width > maxScaledSide || height > maxScaledSide) return false;
    const TSize from = boundingSize(doc.firstFrame);
    if (from.width <= 0 || from.height <= 0) return false;
    const TSize to{width, height};
    if (from == to) return true;

    std::vector<TFrame*> frames;
    for (int i = 0; i < doc.frameList.count(); ++i)
        if (TFrame* f = doc.frameList.frameAt(i); f->image && !f->isComment) frames.push_back(f);
    if (frames.empty()) return false;

    // The memory the new images and the work of the largest one take, held
    // to the limits of a file read before anything is made.
    const DecodeLimits limits = DecodeLimits::defaults();
    uint64_t bytes = 0, work = 0;
    for (TFrame* f : frames) {
        const TRect r = scaledRect(f->rect, from, to);
        const uint64_t pixels = uint64_t(r.width()) * uint64_t(r.height());
        if (pixels > limits.maxImagePixels) return false;
        bytes += uint64_t(dibStride(r.width())) * uint64_t(r.height());
        work = std::max(work, pixels * 5 + uint64_t(r.width()) * uint64_t(f->image->height()) * sizeof(Rgba));
    }
    if (bytes > limits.maxTotalBytes || work > limits.maxTotalBytes - std::min(bytes, limits.maxTotalBytes))
        return false;

    Host& host = doc.host();
    StatusText status(host, "Scaling to " + std::to_string(width) + " x " + std::to_string(height));
    const double sx = double(width) / from.width, sy = double(height) / from.height;
    // Two passes: the first counts the colours for the palette, the second
    // maps onto it.  The first keeps the frames it resampled while they fit
    // a budget; the second resamples the rest again.
    std::vector<PaletteEntry> palette;
    bool reserve = false;
    std::vector<Resampled> kept(frames.size());
    uint64_t keptBytes = 0;
    try {
        SharedPaletteBuilder builder(doc.quantize.quantizer);
        for (size_t i = 0; i < frames.size(); ++i) {
            Resampled r = resample(*frames[i], scaledRect(frames[i]->rect, from, to), sx, sy);
            reserve = reserve || r.anyClear || frames[i]->transparentIndex >= 0;
            const std::vector<uint8_t> visible = visiblePixels(r);
            if (!visible.empty() && !builder.addPicture({visible.data(), uint32_t(visible.size() / 3), 1, 24}))
                return false;
            const uint64_t held = r.bgr.size() + r.clear.size();
            if (keptBytes + held <= keptBudget) {
                keptBytes += held;
                kept[i] = std::move(r);
            }
            host.setProgress(int(50 * (i + 1) / frames.size()));
        }
        palette = builder.palette(reserve ? 255 : 256);
    } catch (const std::bad_alloc&) {
        host.startGaugeReset();
        return false;
    }
    if (palette.empty()) palette.push_back({});
    const int transparent = reserve ? int(palette.size()) : -1;

    const std::optional<PaletteEntry> background = backgroundColor(doc);
    EditScope edit(doc, EditScope::whole(doc, label));
    SteadyMapper mapper(palette, doc.quantize, doc.quantize.quantizer == Quantizer::HighQuality);
    std::vector<PaletteEntry> entries = palette;
    if (reserve) {
        const int32_t t = documentTransparent(doc.firstFrame);
        entries.push_back(t >= 0 && doc.globalPalette ? doc.globalPalette->entry(t & 0xFF) : PaletteEntry{});
    }
    for (size_t i = 0; i < frames.size(); ++i) {
        Resampled r;
        std::unique_ptr<TDib256> image;
        try {
            r = kept[i].frame ? std::move(kept[i]) : resample(*frames[i], scaledRect(frames[i]->rect, from, to), sx, sy);
            image = mapper.map(r.rows());
        } catch (const std::bad_alloc&) {
        }
        if (!image) {
            edit.cancel();
            host.startGaugeReset();
            return false;
        }
        TFrame& f = *r.frame;
        f.transparentIndex = transparent;
        if (transparent >= 0) {
            image->colors()[size_t(transparent)] = {entries.back().blue, entries.back().green, entries.back().red, 0};
            for (int32_t y = 0; y < image->height(); ++y)
                for (int32_t x = 0; x < image->width(); ++x)
                    if (r.clear[size_t(y) * size_t(image->width()) + size_t(x)]) image->setPixel(x, y, uint8_t(transparent));
        }
        image->colorsUsed = int(entries.size());
        image->transparentIndex = transparent;
        f.image = std::move(image);
        f.localPalette.reset();
        f.rect = r.rect;
        f.dirtyRect = r.rect;
        host.setProgress(50 + int(50 * (i + 1) / frames.size()));
    }
    doc.globalPalette = std::make_unique<TMyPalette>(entries);
    doc.globalPalette->transparentIndex = transparent;
    doc.optimizable = false;
    if (background) {
        doc.backgroundIndex = nearestColor(entries.data(), int(palette.size()), background->red, background->green,
                                           background->blue);
        setBackgroundAll(doc.firstFrame, doc.backgroundIndex);
    }
    doc.transparentIndex = documentTransparent(doc.firstFrame);
    doc.sameTransparent = sameTransparent(doc.firstFrame);
    host.startGaugeReset();
    edit.touches({.palette = true, .title = true});
    return true;
}

}  // namespace movigram
