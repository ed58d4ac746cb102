#include "RgbaFrames.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <new>
#include <unordered_map>

#include "colour/DeepQuantize.h"
#include "colour/SharedPalette.h"

namespace movigram {
namespace {

// A screen ready for the quantiser: 24-bit colours with partial alpha
// composed over the background, and which pixels are fully transparent
// (empty when none is).
struct FlatScreen {
    std::optional<TrueColorImage> deep;
    std::vector<uint8_t> transparent;  // one byte per pixel, rows from the top
    bool hasTransparent() const { return !transparent.empty(); }
};

bool flatten(const RgbaPicture& picture, Rgb8 background, const DecodeLimits& limits, FlatScreen& out) {
    out.deep = TrueColorImage::create(picture.width, picture.height, 24, limits);
    if (!out.deep) return false;
    out.transparent.clear();
    const auto over = [](unsigned c, unsigned a, unsigned under) {
        return uint8_t((c * a + under * (255 - a) + 127) / 255);
    };
    for (int32_t y = 0; y < picture.height; ++y) {
        const uint8_t* in = picture.row(y);
        uint8_t* bgr = out.deep->row(y);
        for (int32_t x = 0; x < picture.width; ++x, in += 4, bgr += 3) {
            const unsigned a = in[3];
            if (a == 255) {
                bgr[0] = in[2], bgr[1] = in[1], bgr[2] = in[0];
                continue;
            }
            if (a == 0) {
                if (out.transparent.empty()) out.transparent.assign(size_t(picture.width) * size_t(picture.height), 0);
                out.transparent[size_t(y) * size_t(picture.width) + size_t(x)] = 1;
                bgr[0] = background.blue, bgr[1] = background.green, bgr[2] = background.red;
                continue;
            }
            bgr[0] = over(in[2], a, background.blue);
            bgr[1] = over(in[1], a, background.green);
            bgr[2] = over(in[0], a, background.red);
        }
    }
    return true;
}

// The colours of pictures with few of them, in the order they were met; the
// pictures are then put on them exactly.
class ExactColors {
public:
    explicit ExactColors(int most) : most_(most) {}

    // False once the pictures hold more than `most` colours; transparent
    // pixels count for none.
    bool add(const FlatScreen& screen) {
        const TrueColorImage& deep = *screen.deep;
        for (int32_t y = 0; y < deep.height() && fits_; ++y) {
            const uint8_t* p = deep.row(y);
            const uint8_t* clear = screen.hasTransparent() ? &screen.transparent[size_t(y) * size_t(deep.width())] : nullptr;
            uint32_t last = UINT32_MAX;
            for (int32_t x = 0; x < deep.width(); ++x, p += 3) {
                if (clear && clear[x]) continue;
                const uint32_t key = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
                if (key == last) continue;
                last = key;
                if (index_.count(key)) continue;
                if (int(colors_.size()) == most_) {
                    fits_ = false;
                    break;
                }
                index_.emplace(key, uint8_t(colors_.size()));
                colors_.push_back(key);
            }
        }
        return fits_;
    }
    bool fits() const { return fits_; }
    int count() const { return int(colors_.size()); }

    // The screen on these colours; every colour it holds must have been
    // added.
    std::unique_ptr<TDib256> map(const FlatScreen& screen) const {
        const TrueColorImage& deep = *screen.deep;
        auto image = std::make_unique<TDib256>(deep.width(), deep.height());
        for (size_t i = 0; i < colors_.size(); ++i)
            image->colors()[i] = {uint8_t(colors_[i]), uint8_t(colors_[i] >> 8), uint8_t(colors_[i] >> 16), 0};
        image->colorsUsed = std::max<int>(1, int(colors_.size()));
        for (int32_t y = 0; y < deep.height(); ++y) {
            const uint8_t* p = deep.row(y);
            const uint8_t* clear = screen.hasTransparent() ? &screen.transparent[size_t(y) * size_t(deep.width())] : nullptr;
            uint8_t* out = image->row(y);
            for (int32_t x = 0; x < deep.width(); ++x, p += 3) {
                if (clear && clear[x]) continue;
                const auto found = index_.find(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16);
                out[x] = found == index_.end() ? 0 : found->second;
            }
        }
        return image;
    }

private:
    int most_;
    bool fits_ = true;
    std::unordered_map<uint32_t, uint8_t> index_;
    std::vector<uint32_t> colors_;
};

// Gives the screen's transparent pixels an index of their own, the entry
// after the colours in use (the quantiser left it free), showing the
// background.
int32_t markTransparent(TDib256& image, const FlatScreen& screen, Rgb8 background) {
    if (!screen.hasTransparent() || image.colorsUsed >= 256) return -1;
    const int t = image.colorsUsed;
    image.colors()[size_t(t)] = {background.blue, background.green, background.red, 0};
    image.colorsUsed = t + 1;
    for (int32_t y = 0; y < image.height(); ++y) {
        const uint8_t* clear = &screen.transparent[size_t(y) * size_t(image.width())];
        uint8_t* out = image.row(y);
        for (int32_t x = 0; x < image.width(); ++x)
            if (clear[x]) out[x] = uint8_t(t);
    }
    return t;
}

// The median cut, or the quantiser chosen, for one picture on its own.
std::unique_ptr<TDib256> reduceAlone(const FlatScreen& screen, const QuantizeOptions& quantize) {
    const int room = screen.hasTransparent() ? 255 : 256;
    ExactColors exact(room);
    if (exact.add(screen)) return exact.map(screen);
    auto image = quantizeDeep(screen.deep->rows(), room, quantize);
    if (image && image->colorsUsed > room) image.reset();
    return image;
}

// Turns screens into frames, one per screen, each on its own palette or, when
// given, on a shared one.
class FrameMaker {
public:
    FrameMaker(const RgbaFramesOptions& options, RgbaFramesOutput& out, Progress* progress)
        : options_(options), out_(out), progress_(progress) {}

    void shareColors(const ExactColors* exact, SteadyMapper* mapper) {
        exact_ = exact;
        mapper_ = mapper;
    }

    bool take(const RgbaPicture& picture, int32_t delay) {
        const uint64_t frameBytes = checkedImageBytes(picture.width, picture.height, 1, options_.limits);
        if (frameBytes == 0 || out_.frames.size() >= options_.limits.maxFrames ||
            bytes_ + frameBytes > options_.limits.maxTotalBytes)
            return refuse(DecodeEnd::NoMemory, "the frames pass the memory allowed for one file");
        FlatScreen screen;
        if (!flatten(picture, options_.background, options_.limits, screen))
            return refuse(DecodeEnd::NoMemory, "no memory for a screen");
        if (options_.preview) options_.preview(*screen.deep);
        std::unique_ptr<TDib256> image;
        if (exact_)
            image = exact_->map(screen);
        else if (mapper_)
            image = mapper_->map(screen.deep->rows());
        else
            image = reduceAlone(screen, options_.quantize);
        if (!image) return refuse(DecodeEnd::NoMemory, "the colours could not be reduced");
        const int32_t transparent = markTransparent(*image, screen, options_.background);

        const size_t index = out_.frames.size();
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%03zu", index);
        bytes_ += image->byteSize();
        auto frame = std::make_unique<TFrame>(options_.name + suffix, std::move(image));
        frame->frameTime = delay;
        frame->transparentIndex = transparent;
        if (!out_.frames.empty()) out_.frames.back()->next = frame.get();
        out_.frames.push_back(std::move(frame));
        if (options_.paint) options_.paint(*out_.frames.back());
        if (progress_ && options_.announcedFrames > 0)
            progress_->setProgress(int(std::min<int64_t>(int64_t(index + 1) * 100 / options_.announcedFrames, 100)));
        return true;
    }

    const DecodeStatus& refusal() const { return refusal_; }

private:
    bool refuse(DecodeEnd end, const char* why) {
        refusal_ = {end, why};
        return false;
    }

    const RgbaFramesOptions& options_;
    RgbaFramesOutput& out_;
    Progress* progress_;
    const ExactColors* exact_ = nullptr;
    SteadyMapper* mapper_ = nullptr;
    uint64_t bytes_ = 0;
    DecodeStatus refusal_;
};

// Every frame shows the whole screen; one followed by a frame with
// transparent pixels is cleared first, or what it drew would show through.
// The last is followed by the first when the animation loops.
void setRestoreMethods(FrameChain& frames) {
    for (size_t i = 0; i < frames.size(); ++i) {
        const TFrame& following = *frames[(i + 1) % frames.size()];
        frames[i]->restoreToBackground = following.transparentIndex >= 0;
    }
}

void decodeInto(const ScreenDecoder& decode, FrameMaker& maker, RgbaFramesOutput& out) {
    DecodeStatus status = decode([&](const RgbaPicture& screen, int32_t delay) { return maker.take(screen, delay); });
    if (!maker.refusal().ok()) status = maker.refusal();
    out.status = status;
    if (out.status.ok() && out.frames.empty()) out.status = {DecodeEnd::Corrupt, "no frame"};
    setRestoreMethods(out.frames);
}

}  // namespace

std::optional<RgbaPicture> RgbaPicture::create(int64_t width, int64_t height, const DecodeLimits& limits) {
    const uint64_t bytes = checkedImageBytes(width, height, 4, limits);
    if (bytes == 0) return std::nullopt;
    RgbaPicture picture;
    picture.width = int32_t(width);
    picture.height = int32_t(height);
    try {
        picture.pixels.assign(size_t(width) * size_t(height) * 4, 0);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    return picture;
}

RgbaFramesOutput framesFromScreens(const ScreenDecoder& decode, const RgbaFramesOptions& options) {
    RgbaFramesOutput out;
    try {
        if (options.quantize.original()) {
            FrameMaker maker(options, out, options.progress);
            decodeInto(decode, maker, out);
            return out;
        }
        Host quiet;
        StatusText status(options.host ? *options.host : quiet, "Reducing to 256 colors");
        // The first decoding gathers the colours (a sample of the screens when
        // there are many); a fault it meets, the second meets again and
        // reports.
        SharedPaletteBuilder builder(options.quantize.quantizer);
        ExactColors exact(256);
        bool anyTransparent = false;
        std::optional<FrameSampler> sampler;
        int64_t seen = 0;
        ProgressBand firstHalf(options.progress, 0, 50);
        bool gathered = true;
        decode([&](const RgbaPicture& picture, int32_t) {
            FlatScreen screen;
            if (!flatten(picture, options.background, options.limits, screen)) return gathered = false;
            anyTransparent = anyTransparent || screen.hasTransparent();
            if (exact.fits()) exact.add(screen);
            if (!sampler) sampler.emplace(options.announcedFrames, uint64_t(picture.width) * uint64_t(picture.height));
            if (sampler->take() && !builder.addPicture(screen.deep->rows())) return gathered = false;
            if (options.progress && options.announcedFrames > 0)
                firstHalf.setProgress(int(std::min<int64_t>(++seen * 100 / options.announcedFrames, 100)));
            return true;
        });
        if (!gathered) {
            out.status = {DecodeEnd::NoMemory, "no memory for the colours of the screens"};
            return out;
        }
        ProgressBand secondHalf(options.progress, 50, 100);
        FrameMaker maker(options, out, options.progress ? &secondHalf : nullptr);
        // A screen with transparent pixels needs a free entry for them.
        const bool exactFits = exact.fits() && exact.count() <= (anyTransparent ? 255 : 256);
        std::optional<SteadyMapper> mapper;
        if (exactFits) {
            maker.shareColors(&exact, nullptr);
        } else if (std::vector<PaletteEntry> shared = builder.palette(anyTransparent ? 255 : 256); !shared.empty()) {
            const bool fullRange = options.quantize.quantizer == Quantizer::HighQuality;
            mapper.emplace(std::move(shared), options.quantize, fullRange);
            maker.shareColors(nullptr, &*mapper);
        }
        decodeInto(decode, maker, out);
        return out;
    } catch (const std::bad_alloc&) {
        out.status = {DecodeEnd::NoMemory, "out of memory"};
        return out;
    }
}

StillImage stillFromRgba(const RgbaPicture& picture, const RgbaFramesOptions& options) {
    StillImage still;
    try {
        FlatScreen screen;
        if (!flatten(picture, options.background, options.limits, screen)) return still;
        if (options.preview) options.preview(*screen.deep);
        Host quiet;
        StatusText status(options.host ? *options.host : quiet, "Reducing to 256 colors");
        still.image = reduceAlone(screen, options.quantize);
        if (still.image) still.transparentIndex = markTransparent(*still.image, screen, options.background);
    } catch (const std::bad_alloc&) {
        still.image.reset();
    }
    return still;
}

StillImage stillFromIndexed(std::unique_ptr<TDib256> image, const std::vector<uint8_t>& alpha, Rgb8 background) {
    StillImage still;
    int transparent = -1;
    std::array<uint8_t, 256> remap;
    for (size_t i = 0; i < remap.size(); ++i) {
        remap[i] = uint8_t(i);
        const unsigned a = i < alpha.size() ? alpha[i] : 255;
        RgbQuad& c = image->colors()[i];
        if (a == 0) {
            // Every invisible entry shows as the first of them.
            if (transparent < 0) transparent = int(i);
            remap[i] = uint8_t(transparent);
            c = {background.blue, background.green, background.red, 0};
        } else if (a < 255) {
            const auto over = [a](unsigned v, unsigned under) { return uint8_t((v * a + under * (255 - a) + 127) / 255); };
            c = {over(c.blue, background.blue), over(c.green, background.green), over(c.red, background.red), 0};
        }
    }
    if (transparent >= 0) {
        for (int32_t y = 0; y < image->height(); ++y) {
            uint8_t* row = image->row(y);
            for (int32_t x = 0; x < image->width(); ++x) row[x] = remap[row[x]];
        }
    }
    still.image = std::move(image);
    still.transparentIndex = transparent;
    return still;
}

}  // namespace movigram
