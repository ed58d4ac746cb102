// The Frames menu's records.
#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>

#include "MenuRecords.h"
#include "document/GrowthLimits.h"
#include "frameops/FlipRotate.h"
#include "frameops/FrameOffset.h"
#include "frameops/FrameOrder.h"
#include "frameops/FrameTiming.h"
#include "frameops/GrayScale.h"
#include "frameops/Caption.h"
#include "frameops/Redact.h"
#include "frameops/TimingEdits.h"

namespace movigram::records {

namespace {

using C = CommandId;
using M = Menu;

// A move is refused for leaving the GIF's coordinates or for making a screen
// larger than one image may be; a frame past 65535 is told as such, whatever
// the screen would need.
StepOutcome moveRefused(const Document& doc, const StepArguments& a, bool sprite) {
    if (!movedFramesStayInGif(doc, a.frames, a.values[0], a.values[1], sprite))
        return failed("a frame would reach past 65535, where a GIF's screen ends (nothing was moved)");
    return failed("Failed to allocate memory (the screen would pass " +
                  std::to_string(DecodeLimits::defaults().maxImagePixels >> 20) + " megapixels)");
}

StepOutcome shift(Document& doc, const StepArguments& a) {
    if (!shiftFrames(doc, a.frames, a.values.at(0), a.values.at(1), undoLabelOf(C::Shift)))
        return moveRefused(doc, a, false);
    return {};
}

StepOutcome sprite(Document& doc, const StepArguments& a) {
    if (!movingSprite(doc, a.frames, a.values.at(0), a.values.at(1), undoLabelOf(C::MovingSprite)))
        return moveRefused(doc, a, true);
    return {};
}

StepOutcome restore(Document& doc, const StepArguments& a) {
    setRestoreMethod(doc, a.frames, a.word == "background", undoLabelOf(C::SetRestoreMethod));
    return {};
}

StepOutcome crop(Document& doc, const StepArguments& a) {
    const auto& v = a.values;
    if (v.at(2) <= v.at(0) || v.at(3) <= v.at(1)) return failed("the rectangle L,T,R,B needs L < R and T < B");
    if (!cropFrames(doc, a.frames, {v[0], v[1], v[2], v[3]}, a.word == "align", undoLabelOf(C::Crop)))
        return failed("the frames would leave the GIF's coordinates (-65535 to 65535)");
    return {};
}

StepOutcome resize(Document& doc, const StepArguments& a) {
    const auto& v = a.values;
    if (v.at(0) < 1 || v.at(1) < 1) return failed("the size must be at least 1x1");
    if (!resizeFrames(doc, a.frames, v[0], v[1], undoLabelOf(C::Resize)))
        return failed("the selected frames have no pixels");
    return {};
}

StepOutcome flip(Document& doc, const StepArguments& a) {
    flipRotateFrames(doc, a.frames, FlipRotateOperation::Flip, false, undoLabelOfStep("flip"));
    return {};
}

StepOutcome mirror(Document& doc, const StepArguments& a) {
    flipRotateFrames(doc, a.frames, FlipRotateOperation::Mirror, false, undoLabelOfStep("mirror"));
    return {};
}

StepOutcome rotate(Document& doc, const StepArguments& a) {
    const int32_t turn = a.values.at(0);
    const int32_t degrees = turn < 0 ? -turn : turn;
    if (degrees != 90 && degrees != 180 && degrees != 270) return failed("rotations are by 90, 180 or 270 degrees");
    flipRotateFrames(doc, a.frames, FlipRotateOperation(degrees / 90 + 1), turn < 0, undoLabelOf(C::FlipRotate));
    return {};
}

StepOutcome duplicate(Document& doc, const StepArguments& a) {
    makeCurrent(doc, a.frames.at(0));
    if (a.values.at(0) > 1 && !duplicateFrames(doc, a.frames, a.values[0], undoLabelOf(C::Duplicate)))
        return outOfMemory();
    return {};
}

StepOutcome deleteStep(Document& doc, const StepArguments& a) {
    deleteFrames(doc, a.frames, undoLabelOf(C::DeleteFrames));
    return {};
}

StepOutcome solid(Document& doc, const StepArguments& a) {
    if (!growthFits(doc.frameList, 1, 1, screenBytes(doc))) return outOfMemory();
    if (StepOutcome bad = checkColorIndex(a.values.at(0)); !bad.error.empty()) return bad;
    insertSolidColor(doc, a.values[0], undoLabelOf(C::InsertSolidColor));
    return {};
}

StepOutcome reverse(Document& doc, const StepArguments& a) {
    reverseOrder(doc, a.frames, undoLabelOf(C::ReverseOrder));
    return {};
}

StepOutcome gray(Document& doc, const StepArguments& a) {
    grayScale(doc, a.frames, undoLabelOf(C::GrayScale));
    return {};
}

StepOutcome speed(Document& doc, const StepArguments& a) {
    char* end = nullptr;
    const double factor = std::strtod(a.word.c_str(), &end);
    if (a.word.empty() || *end != '\0' || !(factor >= slowestSpeed && factor <= fastestSpeed))
        return {"takes FRAMES:FACTOR, a factor from 0.25 (slower) to 4 (faster)", true};
    if (!changeSpeed(doc, a.frames, factor, undoLabelOf(C::Speed))) return failed("no image frame is selected");
    return {};
}

StepOutcome capPausesStep(Document& doc, const StepArguments& a) {
    capPauses(doc, a.values.at(0), undoLabelOf(C::CapPauses));
    return {};
}

bool runRemoveDuplicates(Document& doc) { return removeDuplicateFrames(doc, undoLabelOf(C::RemoveDuplicates)) > 0; }

StepOutcome dedupe(Document& doc, const StepArguments&) {
    runRemoveDuplicates(doc);
    return {};
}

// The trailing ",key=value" options of a step's text, read from the right so
// that the text before them may hold commas: a part counts as an option only
// when its key is one of `keys`, and each key once.  What is left is in text.
std::map<std::string, std::string> trailingOptions(std::string& text, std::initializer_list<const char*> keys) {
    std::map<std::string, std::string> options;
    for (size_t comma; (comma = text.rfind(',')) != std::string::npos;) {
        const std::string part = text.substr(comma + 1);
        const size_t equals = part.find('=');
        if (equals == std::string::npos) break;
        const std::string key = part.substr(0, equals);
        if (std::find(keys.begin(), keys.end(), key) == keys.end() || options.count(key)) break;
        options[key] = part.substr(equals + 1);
        text.erase(comma);
    }
    return options;
}

std::optional<int32_t> wholeNumber(const std::string& s, int64_t low, int64_t high) {
    if (s.empty() || s.size() > 11) return std::nullopt;
    char* end = nullptr;
    const long long v = std::strtoll(s.c_str(), &end, 10);
    if (*end != '\0' || v < low || v > high) return std::nullopt;
    return int32_t(v);
}

std::optional<Rgb8> colorValue(const std::string& s) {
    Rgb8 c;
    uint8_t* channels[] = {&c.red, &c.green, &c.blue};
    size_t start = 0;
    for (int k = 0; k < 3; ++k) {
        const size_t slash = k < 2 ? s.find('/', start) : s.size();
        if (slash == std::string::npos) return std::nullopt;
        const auto v = wholeNumber(s.substr(start, slash - start), 0, 255);
        if (!v) return std::nullopt;
        *channels[k] = uint8_t(*v);
        start = slash + 1;
    }
    return c;
}

constexpr const char* captionUsage =
    "takes FRAMES:TEXT[,x=X][,y=Y][,size=PT][,color=R/G/B][,outline=W][,font=NAME]";

StepOutcome caption(Document& doc, const StepArguments& a) {
    std::string text = a.word;
    std::map<std::string, std::string> options = trailingOptions(text, {"x", "y", "size", "color", "outline", "font"});
    CaptionStyle style;
    style.size = defaultCaptionSize(doc.screenHeight);
    for (const auto& [key, value] : options) {
        std::optional<int32_t> n;
        if (key == "font") {
            if (value.empty()) return wrongArgument("font= needs a family name");
            style.font = value;
        } else if (key == "color") {
            const auto c = colorValue(value);
            if (!c) return wrongArgument("color=" + value + " is not R/G/B with each of 0 to 255");
            style.color = *c;
        } else if (key == "size") {
            if (!(n = wholeNumber(value, smallestCaptionSize, largestCaptionSize)))
                return wrongArgument("size=" + value + " is not " + std::to_string(smallestCaptionSize) + " to " +
                                     std::to_string(largestCaptionSize) + " points");
            style.size = *n;
        } else if (key == "outline") {
            if (!(n = wholeNumber(value, 0, largestOutline)))
                return wrongArgument("outline=" + value + " is not 0 to " + std::to_string(largestOutline) + " pixels");
            style.outline = *n;
        } else {
            if (!(n = wholeNumber(value, -65535, 65535)))
                return wrongArgument(key + "=" + value + " is not a screen coordinate");
            (key == "x" ? style.left : style.top) = n;
        }
    }
    // "\n" on the command line is a line break.
    for (size_t at; (at = text.find("\\n")) != std::string::npos;) text.replace(at, 2, "\n");
    if (text.find_first_not_of(" \t\n") == std::string::npos) return wrongArgument(captionUsage);
    if (std::string error = drawCaption(doc, a.frames, text, style, undoLabelOf(C::Caption)); !error.empty())
        return failed(error);
    return {};
}

// L,T,R,B and one ",key=N" option of a redaction.
StepOutcome redactStep(Document& doc, const StepArguments& a, const char* key, int low, int high, int fallback,
                       bool blur) {
    std::string text = a.word;
    const std::map<std::string, std::string> options = trailingOptions(text, {key});
    const std::string usage = std::string("takes FRAMES:L,T,R,B[,") + key + "=N], N from " + std::to_string(low) +
                              " to " + std::to_string(high);
    int32_t v[4];
    size_t start = 0;
    for (int k = 0; k < 4; ++k) {
        const size_t comma = k < 3 ? text.find(',', start) : text.size();
        if (comma == std::string::npos) return wrongArgument(usage);
        const auto n = wholeNumber(text.substr(start, comma - start), 0, 65535);
        if (!n) return wrongArgument(usage);
        v[k] = *n;
        start = comma + 1;
    }
    if (v[2] <= v[0] || v[3] <= v[1]) return wrongArgument("the rectangle L,T,R,B needs L < R and T < B");
    int32_t size = fallback;
    if (const auto o = options.find(key); o != options.end()) {
        const auto n = wholeNumber(o->second, low, high);
        if (!n) return wrongArgument(usage);
        size = *n;
    }
    const TRect area{v[0], v[1], v[2], v[3]};
    const bool done = blur ? blurArea(doc, a.frames, area, size, undoLabelOf(C::Blur))
                           : pixelateArea(doc, a.frames, area, size, undoLabelOf(C::Pixelate));
    if (!done) return failed("the rectangle misses every selected frame (nothing was changed)");
    return {};
}

constexpr int defaultCell = 8, defaultBlurRadius = 4;

StepOutcome pixelate(Document& doc, const StepArguments& a) {
    return redactStep(doc, a, "cell", smallestCell, largestCell, defaultCell, false);
}

StepOutcome blur(Document& doc, const StepArguments& a) {
    return redactStep(doc, a, "radius", smallestBlurRadius, largestBlurRadius, defaultBlurRadius, true);
}

constexpr ValueRange pauseLength{10, 655350};

constexpr CliStep speedSteps[] = {
    {"speed", StepForm::FramesText, 0, 0, nullptr, {}, {}, speed,
     "  --speed FRAMES:FACTOR       play the frames FACTOR (0.25 to 4) times as fast; below 20 ms\n"
     "                              a frame is dropped and its time goes to the next one kept\n", 24},
};
constexpr CliStep capPausesSteps[] = {
    {"cap-pauses", StepForm::Value, 1, 1, nullptr, pauseLength, {}, capPausesStep,
     "  --cap-pauses MS             every frame shown longer than MS is shown MS\n", 25},
};
constexpr CliStep dedupeSteps[] = {
    {"dedupe", StepForm::None, 0, 0, nullptr, {}, {}, dedupe,
     "  --dedupe                    merge frames that show nothing new into the frame before\n", 26},
};

constexpr CliStep captionSteps[] = {
    {"caption", StepForm::FramesText, 0, 0, nullptr, {}, {}, caption,
     "  --caption FRAMES:TEXT[,x=X][,y=Y][,size=PT][,color=R/G/B][,outline=W][,font=NAME]\n"
     "                              draw TEXT (\\n breaks a line) into the frames; only a trailing\n"
     "                              list of these keys is options, so TEXT may hold commas; default\n"
     "                              white DejaVu Sans outlined 2 px in black, centred at the bottom,\n"
     "                              its lines an eighth of the screen high (8 to 24 pt)\n", 27},
};
constexpr CliStep pixelateSteps[] = {
    {"pixelate", StepForm::FramesText, 0, 0, nullptr, {}, {}, pixelate,
     "  --pixelate FRAMES:L,T,R,B[,cell=N]  hide the rectangle under cells of N x N pixels (2 to 256,\n"
     "                              default 8), the same on every frame\n", 28},
};
constexpr CliStep blurSteps[] = {
    {"blur", StepForm::FramesText, 0, 0, nullptr, {}, {}, blur,
     "  --blur FRAMES:L,T,R,B[,radius=N]  blur the rectangle (radius 1 to 100, default 4), the same\n"
     "                              on every frame\n", 29},
};

constexpr CliStep shiftSteps[] = {
    {"shift", StepForm::FramesValues, 2, 2, nullptr, offset, offset, shift,
     "  --shift FRAMES:DX,DY        move frames (what passes the left or top edge is cut)\n", 1},
};
constexpr CliStep restoreSteps[] = {
    {"restore", StepForm::FramesWord, 0, 0, "background|none", {}, {}, restore,
     "  --restore FRAMES:background|none  restore method\n", 12},
};
constexpr CliStep cropSteps[] = {
    {"crop", StepForm::FramesValues, 4, 4, "align", coordinate, coordinate, crop,
     "  --crop FRAMES:L,T,R,B[,align]  cut to the rectangle; align moves the result to 0,0\n"
     "                              (only when every frame is selected)\n", 3},
};
constexpr CliStep resizeSteps[] = {
    {"resize", StepForm::FramesValues, 2, 2, nullptr, extent, extent, resize,
     "  --resize FRAMES:W,H         shrink the frames' bounding rectangle to W x H\n", 4},
};
constexpr CliStep flipRotateSteps[] = {
    {"flip", StepForm::Frames, 0, 0, nullptr, {}, {}, flip,
     "  --flip FRAMES, --mirror FRAMES  upside down, left to right\n", 7, "flip frames"},
    {"mirror", StepForm::Frames, 0, 0, nullptr, {}, {}, mirror, "", 8, "mirror frames"},
    {"rotate", StepForm::FramesValues, 1, 1, nullptr, degrees, {}, rotate,
     "  --rotate FRAMES:DEGREES     90, 180 or 270 clockwise; -90, -180, -270 counter-clockwise\n", 9},
};
constexpr CliStep duplicateSteps[] = {
    {"duplicate", StepForm::FramesValues, 1, 1, nullptr, frameCount, {}, duplicate,
     "  --duplicate FRAMES:COUNT    COUNT-1 more runs of the frames, before the first of them\n", 6},
};
constexpr CliStep deleteSteps[] = {
    {"delete", StepForm::Frames, 0, 0, nullptr, {}, {}, deleteStep,
     "  --delete FRAMES             remove frames\n", 5},
};
constexpr CliStep solidSteps[] = {
    {"solid", StepForm::Value, 1, 1, nullptr, paletteIndex, {}, solid,
     "  --solid INDEX               insert a frame of one palette colour before the current one\n", 16},
};
constexpr CliStep reverseSteps[] = {
    {"reverse", StepForm::Frames, 0, 0, nullptr, {}, {}, reverse,
     "  --reverse FRAMES            reverse the order of the frames at these positions\n", 10},
};
constexpr CliStep spriteSteps[] = {
    {"sprite", StepForm::FramesValues, 2, 2, nullptr, offset, offset, sprite,
     "  --sprite FRAMES:DX,DY       moving sprite: the k-th frame moves k times the delta\n", 2},
};
constexpr CliStep graySteps[] = {
    {"gray", StepForm::Frames, 0, 0, nullptr, {}, {}, gray, "  --gray FRAMES               gray scale\n", 11},
};

// clang-format off
const CommandInfo frames[] = {
    {.id = C::Shift, .menu = M::Frames, .menuText = "&Shift...", .help = "Shifts multiple frames by the selected pixel offset",
     .enabled = hasFrame, .steps = shiftSteps, .undoLabel = "shift frames"},
    {.id = C::SetRestoreMethod, .menu = M::Frames, .menuText = "Set &restore method...", .help = "Sets the \"restore method\" of each selected frame",
     .enabled = hasFrame, .contextText = "Set restore method...", .steps = restoreSteps, .undoLabel = "restore method"},
    {.id = C::Crop, .menu = M::Frames, .menuText = "&Crop...", .help = "Crops mutliple frames by the defined rectangle",
     .enabled = hasFrame, .steps = cropSteps, .undoLabel = "crop frames"},
    {.id = C::CropTool, .menu = M::Frames, .menuText = "Crop on ca&nvas", .help = "Draw the box to crop to on the picture, then crop the frames to it",
     .enabled = animationHasImage, .contextText = "Crop on canvas", .undoLabel = "crop frames"},
    {.id = C::Resize, .menu = M::Frames, .menuText = "Resi&ze...", .help = "Shrinks multiple frames to the indicated rectangle",
     .enabled = hasFrame, .steps = resizeSteps, .undoLabel = "resize frames"},
    {.id = C::FlipRotate, .menu = M::Frames, .menuText = "&Flip and rotate...", .help = "Flips, mirrors or rotates the selected frames",
     .enabled = hasFrame, .steps = flipRotateSteps, .undoLabel = "rotate frames"},
    {.id = C::Duplicate, .menu = M::Frames, .menuText = "&Duplicate...", .help = "Duplicates multiple frames",
     .enabled = hasFrame, .steps = duplicateSteps, .undoLabel = "duplicate frames"},
    {.id = C::DeleteFrames, .menu = M::Frames, .menuText = "De&lete...", .help = "Deletes multiple frames at once",
     .enabled = hasFrame, .contextText = "Delete...", .steps = deleteSteps, .undoLabel = "delete frames"},
    {.id = C::InsertSolidColor, .menu = M::Frames, .menuText = "&Insert solid color...", .help = "Inserts a new frame with a solid color. Color can be selected from the palette or from the image area",
     .enabled = hasFrame, .steps = solidSteps, .undoLabel = "insert solid frame"},
    {.id = C::ReverseOrder, .menu = M::Frames, .menuText = "Re&verse order...", .help = "Reverses the order of a block of frames",
     .enabled = hasFrame, .steps = reverseSteps, .undoLabel = "Reverse order"},
    {.id = C::MovingSprite, .menu = M::Frames, .menuText = "&Moving sprite...", .help = "Shifts each selected frame by the accumulated pixel offset, creating a moving sprite",
     .enabled = hasFrame, .steps = spriteSteps, .undoLabel = "moving sprite"},
    {.id = C::Speed, .menu = M::Frames, .menuText = "S&peed...", .help = "Plays the selected frames faster or slower, dropping frames that would be shown for less than 20 ms",
     .enabled = animationHasImage, .steps = speedSteps, .undoLabel = "speed"},
    {.id = C::CapPauses, .menu = M::Frames, .menuText = "Cap pa&uses...", .help = "Shortens every frame shown longer than a time you choose to that time",
     .enabled = animationHasImage, .steps = capPausesSteps, .undoLabel = "cap pauses"},
    {.id = C::RemoveDuplicates, .menu = M::Frames, .menuText = "Remove duplicate fr&ames", .help = "Merges frames that show nothing new into the frame before them, adding their times",
     .enabled = animationHasImage, .steps = dedupeSteps, .undoLabel = "remove duplicate frames", .run = runRemoveDuplicates},
    {.id = C::Caption, .menu = M::Frames, .menuText = "&Text...", .help = "Draws a caption into the selected frames",
     .enabled = animationHasImage, .steps = captionSteps, .undoLabel = "text"},
    {.id = C::Pixelate, .menu = M::Frames, .menuText = "Pi&xelate...", .help = "Hides a rectangle of the selected frames under large square cells",
     .enabled = animationHasImage, .steps = pixelateSteps, .undoLabel = "pixelate"},
    {.id = C::Blur, .menu = M::Frames, .menuText = "&Blur...", .help = "Blurs a rectangle of the selected frames",
     .enabled = animationHasImage, .steps = blurSteps, .undoLabel = "blur"},
    {.id = C::GrayScale, .menu = M::Frames, .menuText = "&Gray scale...", .help = "Converts the selected frames to gray scale",
     .enabled = hasFrame, .steps = graySteps, .undoLabel = "gray scale"},
};
// clang-format on

}  // namespace

std::span<const CommandInfo> framesMenu() { return frames; }

}  // namespace movigram::records
