#pragma once
// A caption drawn into the pixels of the selected frames.
#include <optional>
#include <string>

#include "FrameSelection.h"
#include "colour/RgbColor.h"

namespace movigram {

inline constexpr int smallestCaptionSize = 4, largestCaptionSize = 400;  // points
inline constexpr int largestOutline = 20;                                 // pixels
inline constexpr size_t longestCaption = 2000;                            // bytes

struct CaptionStyle {
    std::string font = "DejaVu Sans";
    // Points at 96 pixels per inch, as desktop font sizes go: 12 pt is 16
    // pixels.
    int size = 24;
    Rgb8 color{255, 255, 255};
    Rgb8 outlineColor{0, 0, 0};
    int outline = 2;  // pixels around each letter, 0 for none
    // The top-left corner of the caption's box (outline included) on the
    // screen.  Without left, the box is centred across the screen; without
    // top, it ends a twentieth of the screen's height above the bottom.
    std::optional<int32_t> left, top;
};

// The caption's pixel size for a size in points.
int captionPixelSize(int points);
// The size a caption starts with on a screen of that height: a line about
// an eighth of the screen, 8 to 24 points.
int defaultCaptionSize(int32_t screenHeight);

// The colour wanted becomes on that palette, when the palette holds nothing
// near it (each channel off by about 32 or more); none when it holds a
// colour near enough.
std::optional<Rgb8> distantNearest(const TMyPalette& palette, Rgb8 wanted);

// Draws the text (lines split at '\n') into each selected image frame,
// clipped to the frame: every pixel the letters or their outline cover is
// the caption's colours laid over the screen the frame shows there, by
// coverage, put into the frame through its palette (local or global: the
// nearest colour, whatever the distance).  So the caption is the same pixels
// on every frame where the screen under it was the same, and a patch that
// does not reach it leaves the caption of the frames before it on the
// screen.  Where the screen shows nothing (transparent), the pixels at
// least half covered take the caption's colour and the rest stay
// transparent.  One undo step.  Returns an error, empty when drawn; nothing
// is recorded on an error or when the caption falls outside every selected
// frame.
std::string drawCaption(Document& doc, FrameSelection selection, const std::string& text, const CaptionStyle& style,
                        const std::string& label);

}  // namespace movigram
