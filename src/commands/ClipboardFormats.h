#pragma once
// What a frame becomes on the clipboard, and back.  The program's own format
// ("Movigram Frame") carries an image frame with everything it has: image,
// placement, timing, restore method, transparency, name, and the colours of
// the palette it is drawn with, so that a paste into another animation (or
// another Movigram) can bring those colours in.  Other programs get the
// frame's image as a Windows bitmap and a comment frame's text as plain
// text.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "document/DecodeLimits.h"
#include "document/TFrame.h"

namespace movigram {

// The MIME type of the program's own format.
constexpr const char* heldFrameMimeType = "application/x-movigram-frame";

// A frame read back from the program's format, with the palette it was
// drawn with (its local palette when it has one, else the global palette of
// the animation it came from).
struct HeldFrame {
    std::unique_ptr<TFrame> frame;
    TMyPalette palette;
};

// The frame's bytes in the program's format; palette is the one the frame is
// drawn with.  Only frames with an image are held.
std::vector<uint8_t> encodeHeldFrame(const TFrame& frame, const TMyPalette& palette);
// Nothing when the bytes are not a complete frame in that format or describe
// an image beyond the limits.
std::optional<HeldFrame> decodeHeldFrame(std::span<const uint8_t> bytes,
                                         const DecodeLimits& limits = DecodeLimits::defaults());

// The image as an 8-bit Windows bitmap file (256-entry colour table of the
// palette's colours, colours used and important both 256).
std::vector<uint8_t> bitmapFileOf(const TDib256& image, const TMyPalette& palette);

// A comment frame's text as other programs take plain text: line breaks as
// single line feeds.
std::string plainTextOf(const TTextFrame& frame);

}  // namespace movigram
