#pragma once
// The pictures an export is made of: the screens a browser shows for the
// saved GIF (ViewerCanvas.h), one per image frame, each with the time it
// stays.  A screen shown for no time is never seen and is left out (its
// drawing stays on the screen), and a screen equal to the one before only
// lengthens that one: the formats written from these time their frames
// one by one, so nothing is lost.
#include <cstdint>
#include <functional>
#include <vector>

#include "document/Document.h"
#include "document/Progress.h"
#include "document/ViewerCanvas.h"

namespace movigram {

struct ShownScreens {
    TFrame* first = nullptr;  // the chain, walked once
    const TMyPalette* global = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t plays = 1;    // times the animation is played; 0: without end
    int imageFrames = 0;  // frames with an image, for the progress
};

// The screens of a document that is linked (relinked or prepared for a
// save); it must outlive the result.
ShownScreens shownScreensOf(Document& doc);

// Calls visit(pixels, ms) for each screen in turn (width x height, rows
// top down); ms is at least 1, except for the one screen of an animation
// whose frames all show for no time.  progress goes by frames and may stop
// the walk, as may visit by returning false; false when stopped.
using ScreenVisitor = std::function<bool(const std::vector<Rgba>& pixels, int32_t ms)>;
bool forEachShownScreen(const ShownScreens& screens, Progress* progress, const ScreenVisitor& visit);

// What the screens hold in all: whether a pixel is transparent, and their
// distinct colours (a transparent pixel counts as one colour, {0,0,0,0})
// when there are at most 256, else none.
struct ScreenColourSurvey {
    bool transparent = false;
    bool fitsPalette = true;
    std::vector<Rgba> colours;  // when fitsPalette, in the order first met
};
ScreenColourSurvey surveyScreens(const ShownScreens& screens, Progress* progress);

}  // namespace movigram
