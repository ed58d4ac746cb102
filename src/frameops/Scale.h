#pragma once
// Scale: every image frame resampled to a new screen size in one recorded
// edit, the result put back on one palette for the whole animation.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "document/Document.h"

namespace movigram {

// What the user asks for: a percentage of the screen, or a width and a
// height of which one may be 0 (kept in proportion to the other).
struct ScaleRequest {
    double percent = 0;  // > 0: both sides by this much
    int32_t width = 0;
    int32_t height = 0;
};

inline constexpr int32_t maxScaledSide = 65535;

// "50%", "33.3%" or "WxH" (W or H may be 0, not both).  Nothing for other text.
std::optional<ScaleRequest> parseScaleRequest(std::string_view text);
// The screen size a request gives for a screen of `screen`, each side at
// least 1; nothing when a side would exceed maxScaledSide or the screen is empty.
std::optional<TSize> scaledSize(TSize screen, const ScaleRequest& request);

// Resamples every image frame and its rectangle from the screen size to
// width x height (1..maxScaledSide): averaging the area a pixel covers when
// shrinking, a cubic filter when enlarging, colours mixed in linear light.
// A pixel becomes transparent when more than half of what it covers was
// transparent.  Frame edges are scaled by rounding, so frames that met
// still meet.  The frames are then put on one palette built by the
// document's quantiser (its dithering keeps pixels that do not change from
// one frame to the next the same).  Comment frames are left alone.  One
// undo step under label; false, with nothing recorded, when there is no
// image, the size is out of range, or the result would not fit the memory
// limits.  A request for the current size changes nothing and is true.
bool scaleAnimation(Document& doc, int32_t width, int32_t height, const std::string& label);

}  // namespace movigram
