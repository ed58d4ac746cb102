#pragma once
// One frame of an animation: an 8-bit image with its placement on the logical
// screen, its display time and GIF restore method, an optional transparent
// index and local palette.  TTextFrame is the comment frame, which carries text
// instead of an image.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Geometry.h"
#include "TDib256.h"
#include "TMyPalette.h"

namespace movigram {

struct OriginalImageData;

class TFrame {
public:
    // name copied, image taken over (either may be empty).
    explicit TFrame(std::string name = {}, std::unique_ptr<TDib256> image = nullptr);
    // A blank frame of width x height filled with max(fill, 0), whose colour
    // table holds the palette's entries.
    static std::unique_ptr<TFrame> blank(int32_t width, int32_t height, int fill,
                                         const TMyPalette& palette);
    // A deep copy. With a non-null cropRect the copy's rect becomes cropRect and
    // its image the part of the source image under it (screen coordinates).
    TFrame(const TFrame& source, const TRect& cropRect);
    virtual ~TFrame() = default;
    TFrame(const TFrame&) = delete;
    TFrame& operator=(const TFrame&) = delete;

    // A deep copy of the same kind (comment frames stay comment frames).
    virtual std::unique_ptr<TFrame> clone() const;

    bool hasImage() const { return image != nullptr; }
    int32_t displayTime() const { return frameTime * repeat; }

    // Moves rect so that its top-left corner is point; dirtyRect = rect.
    void moveTo(TPoint point);
    // Keeps only the part of the frame inside r.
    void crop(const TRect& r);

    std::unique_ptr<TMyPalette> localPalette;
    TFrame* next = nullptr;       // animation chain, not owned
    TFrame* splitPair = nullptr;  // first piece of a split, only during a save
    bool restoreToBackground = false;
    bool overlay = false;
    bool isComment = false;
    bool unchanged = false;
    // Read from a GIF image that had no graphic control extension: its time
    // is the 1 s the reader gives such frames, and a browser shows it for
    // its own default time.
    bool withoutControl = false;
    std::unique_ptr<TDib256> image;
    // The image's LZW data as read from a GIF, when it was read from one
    // (OriginalImageData.h); shared with copies of the frame.
    std::shared_ptr<const OriginalImageData> original;
    std::string name;
    int32_t frameTime = 1000;
    int32_t repeat = 1;
    int32_t index = 0;
    TRect rect;
    TRect dirtyRect;
    int32_t backgroundIndex = -1;
    int32_t transparentIndex = -1;

protected:
    void copyFieldsFrom(const TFrame& source);
};

// What the editor's window gives a comment frame to lay its text out; the
// core has no window of its own.
class TextMeasurer {
public:
    virtual ~TextMeasurer() = default;
    virtual TSize clientSize() const = 0;
    // Height of text laid out one line per text line (no wrapping) in a box of
    // the given width.
    virtual int32_t textHeight(std::string_view text, int32_t boxWidth) const = 0;
};

// Up to 255 bytes of comment text: one GIF comment sub-block.
struct TTextBlock {
    static constexpr size_t capacity = 255;
    std::string text;
};

// The comment frame.  Copies share their text blocks.
class TTextFrame : public TFrame {
public:
    // An empty comment frame (repeat 0).
    TTextFrame();
    // The text is laid out at once when a measurer is given.
    TTextFrame(const TextMeasurer* measurer, std::string_view text);
    TTextFrame(const TTextFrame& source);
    std::unique_ptr<TFrame> clone() const override;

    // Appends text in blocks of at most 255 bytes; the first text also names
    // the frame.
    void appendText(std::string_view text);
    size_t textLength() const;
    std::string getText() const;
    const std::vector<TTextBlock>& blocks() const { return *textBlocks; }
    long shareCount() const { return textBlocks.use_count(); }

    // Lays the text out; the size is kept, the measurer is not (copies of the
    // frame outlive windows).  0 x 0 until measured.
    void measure(const TextMeasurer& measurer);

    int32_t textWidth = 0;
    int32_t textHeight = 0;

private:
    std::shared_ptr<std::vector<TTextBlock>> textBlocks;
};

}  // namespace movigram
