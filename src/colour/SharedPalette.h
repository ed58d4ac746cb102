#pragma once
// One palette for a run of true-colour pictures (the frames of a video), and
// those pictures put on it so that a pixel that does not change from one
// picture to the next keeps its index: error diffusion cannot make a still
// background shimmer.
#include <cstdint>
#include <memory>
#include <vector>

#include "MedianCut.h"
#include "PaletteDitherer.h"
#include "QualityQuant.h"

namespace movigram {

// Which frames of a long run count towards its palette: frame i when i is a
// multiple of a step chosen so that about `budget` pixels are counted in
// all (every frame when the whole run fits).  The step comes from the
// length the run announces; when it runs longer and twice the budget is
// spent, the step doubles.
class FrameSampler {
public:
    static constexpr uint64_t defaultBudget = 16'000'000;

    // For a run whose frames are all at hand: every one of count frames when
    // there are at most `most`, else `most` of them spread evenly from the
    // first to the last.
    static std::vector<bool> evenly(size_t count, size_t most);

    FrameSampler(int64_t announcedFrames, uint64_t framePixels, uint64_t budget = defaultBudget);
    // Whether the next frame counts.
    bool take();

private:
    uint64_t framePixels_, budget_;
    uint64_t step_ = 1;
    uint64_t index_ = 0;  // frames seen
    uint64_t counted_ = 0;
};

class SharedPaletteBuilder {
public:
    explicit SharedPaletteBuilder(Quantizer quantizer);
    // False when the picture could not be taken (no memory).
    bool addPicture(const DeepRows& rows);
    // At most `colors` entries; empty when no picture was added.
    std::vector<PaletteEntry> palette(int colors);

private:
    Quantizer quantizer_;
    std::unique_ptr<ColorCells> quality_;
    std::unique_ptr<ColorHistogram> cells_;
    uint64_t pixels_ = 0;
};

class SteadyMapper {
public:
    // fullRange: how 5-bit channels are read (false for the median cut's
    // palette, which scales 31 to 248).
    SteadyMapper(std::vector<PaletteEntry> palette, const QuantizeOptions& options, bool fullRange);
    // The next picture on the palette; rows keep the source's memory order.
    // Null when the memory could not be had.
    std::unique_ptr<TDib256> map(const DeepRows& rows);
    bool hasPalette() const { return !palette_.empty(); }

private:
    std::vector<PaletteEntry> palette_;
    QuantizeOptions options_;
    bool fullRange_;
    // The picture before, for error diffusion: its colours and indices.
    uint32_t width_ = 0, height_ = 0;
    std::vector<Rgb8> lastSource_;
    std::vector<uint8_t> lastOutput_;
    std::unique_ptr<PaletteDitherer> ditherer_;  // kept: its look-ups serve every picture
};

}  // namespace movigram
