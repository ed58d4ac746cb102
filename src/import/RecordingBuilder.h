#pragma once
// Turns a run of captured screen pictures into the frames of an animation,
// picture by picture as they come, the way a GIF wants them:
//
// - One palette for the whole recording, made by the document's quantiser
//   from the first picture.  A recording cannot be read twice like a video
//   file (its pictures are not kept), and the first picture is the whole
//   region, which usually shows most of the colours to come; entries the
//   first picture leaves free are filled with an even spread of colours so
//   that content appearing later still finds something close.
// - Every picture after the first becomes a frame of only the rectangle that
//   changed since the picture before, placed where it lies and left in place
//   (nothing is restored), so the memory taken follows what moved, not the
//   size of the screen.  Inside that rectangle a pixel that did not change
//   keeps the index it had, so the optimiser can drop it when saving.
// - A picture equal to the one before makes no frame: the frame before
//   simply lasts longer.
// - Times are kept in hundredths of a second, GIF's unit, by rounding each
//   picture's time since the start rather than each delay, so that the
//   rounding never adds up.  A frame lasts at least one hundredth.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "colour/PaletteDitherer.h"
#include "document/FrameChain.h"
#include "document/QuantizeOptions.h"

namespace movigram {

// One captured picture: rows of 4 bytes per pixel (blue, green, red, unused),
// top row first, `stride` bytes apart; `time` since the recording started,
// pauses left out.
struct CapturedPicture {
    const uint8_t* bgrx = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    size_t stride = 0;
    std::chrono::nanoseconds time{0};
};

class RecordingBuilder {
public:
    enum class Added {
        Frame,     // a new frame was made
        Merged,    // the picture equals the one before: the last frame lasts longer
        Full,      // the frame would pass the memory budget: the recording must stop
        Refused,   // wrong size or no memory; message() tells why
    };

    // budgetBytes: the most the frames' pixels may take.
    RecordingBuilder(const QuantizeOptions& options, uint64_t budgetBytes);
    ~RecordingBuilder();

    Added add(const CapturedPicture& picture);
    // The recording ended at `end` (since its start): the last frame lasts
    // until then, and at least one hundredth of a second.
    void finish(std::chrono::nanoseconds end);
    // The frames made, linked in order, each named "<name>.000", ".001" ...
    // Their images hold the recording's palette.  The builder is empty after.
    FrameChain takeFrames(const std::string& name);

    size_t frameCount() const { return frames_.size(); }
    uint64_t frameBytes() const { return bytes_; }
    // What the builder itself holds besides the frames (the last picture and
    // its indices).
    uint64_t workingBytes() const;
    const std::string& message() const { return message_; }
    const std::vector<PaletteEntry>& palette() const { return palette_; }

private:
    bool start(const CapturedPicture& picture);
    // The smallest rectangle holding every pixel that differs from the last
    // picture; empty when none does.
    TRect changedRect(const CapturedPicture& picture) const;
    std::unique_ptr<TDib256> mapRect(const CapturedPicture& picture, const TRect& rect);
    int64_t hundredthsAt(std::chrono::nanoseconds time) const;
    Added refuse(std::string message);

    QuantizeOptions options_;
    uint64_t budget_;
    std::vector<PaletteEntry> palette_;
    std::unique_ptr<PaletteDitherer> ditherer_;
    int32_t width_ = 0, height_ = 0;
    std::vector<uint32_t> lastPicture_;  // 0xXXRRGGBB as captured, row by row
    std::vector<uint8_t> lastIndex_;     // the index each screen pixel shows
    FrameChain frames_;
    int64_t lastStart_ = 0;  // hundredths: when the last frame starts
    uint64_t bytes_ = 0;
    std::string message_;
};

// "48.5 MB": a byte count for messages.
std::string megabytesText(uint64_t bytes);

}  // namespace movigram
