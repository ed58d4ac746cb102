// The Animation menu's records.
#include "MenuRecords.h"
#include "document/GrowthLimits.h"
#include "frameops/ColorCommands.h"
#include "frameops/FrameTiming.h"
#include "frameops/Scale.h"

namespace movigram::records {

namespace {

using C = CommandId;
using M = Menu;

StepOutcome current(Document& doc, const StepArguments& a) {
    if (StepOutcome bad = checkFrame(doc, a.values.at(0)); !bad.error.empty()) return bad;
    makeCurrent(doc, a.values[0]);
    return {};
}

StepOutcome transparent(Document& doc, const StepArguments& a) {
    int32_t index = -1;
    if (a.word != "none") {
        if (StepOutcome bad = checkColorIndex(a.values.at(0)); !bad.error.empty()) return bad;
        index = a.values[0];
    }
    beginTransparentPick(doc, undoLabelOf(C::TransparentColor));
    setPickedColor(doc, PickMode::Transparent, index);
    return {};
}

StepOutcome background(Document& doc, const StepArguments& a) {
    if (StepOutcome bad = checkColorIndex(a.values.at(0)); !bad.error.empty()) return bad;
    setPickedColor(doc, PickMode::Background, a.values[0]);
    return {};
}

StepOutcome loop(Document& doc, const StepArguments& a) {
    if (!setLoopCount(doc, a.values.at(0))) return failed("the loop count is 0 to 65535");
    return {};
}

StepOutcome frameRate(Document& doc, const StepArguments& a) {
    const auto& v = a.values;
    const char* label = undoLabelOf(C::FrameRate);
    const bool ok = a.framesGiven ? setFrameRate(doc, v.at(0), label, a.frames, v.at(1))
                                  : setFrameRate(doc, v.at(0), label);
    if (!ok) return failed("milliseconds must be at least 1 and repeats not negative");
    return {};
}

bool runMergeBackground(Document& doc) { return mergeBackground(doc, undoLabelOf(C::MergeBackground)); }
bool runMergeForeground(Document& doc) { return mergeForeground(doc, undoLabelOf(C::MergeForeground)); }
bool runUnoptimize(Document& doc) { return unoptimize(doc, undoLabelOf(C::Unoptimize)); }

StepOutcome mergeBackgroundStep(Document& doc, const StepArguments& a) {
    if (StepOutcome bad = checkFrame(doc, a.values.at(0)); !bad.error.empty()) return bad;
    makeCurrent(doc, a.values[0]);
    if (!runMergeBackground(doc)) return failed("the frame has no image");
    return {};
}

StepOutcome mergeForegroundStep(Document& doc, const StepArguments& a) {
    if (StepOutcome bad = checkFrame(doc, a.values.at(0)); !bad.error.empty()) return bad;
    makeCurrent(doc, a.values[0]);
    if (!runMergeForeground(doc)) return failed("the frame has no image or no transparent colour");
    return {};
}

StepOutcome unoptimizeStep(Document& doc, const StepArguments&) {
    // Every frame is rebuilt as a full screen beside the old ones.
    if (!growthFits(doc.frameList, uint64_t(doc.frameList.count()), 0, screenBytes(doc))) return outOfMemory();
    runUnoptimize(doc);
    return {};
}

StepOutcome scale(Document& doc, const StepArguments& a) {
    const std::optional<ScaleRequest> request = parseScaleRequest(a.word);
    if (!request) return {"takes a percentage (50%) or WIDTHxHEIGHT (320x0 keeps the aspect ratio)", true};
    const std::optional<TSize> size = scaledSize({doc.screenWidth, doc.screenHeight}, *request);
    if (!size) return failed("there is no image, or a side would exceed 65535 pixels");
    if (!scaleAnimation(doc, size->width, size->height, undoLabelOf(C::Scale)))
        return failed("there is no image frame, or the scaled frames would not fit in memory");
    return {};
}

constexpr CliStep currentSteps[] = {
    {"current", StepForm::Value, 1, 1, nullptr, framePosition, {}, current,
     "  --current N                 make frame N current (where insertions happen)\n", 15},
};
constexpr CliStep transparentSteps[] = {
    {"transparent", StepForm::ValueOrNone, 1, 1, "none", paletteIndex, {}, transparent,
     "  --transparent INDEX|none    transparent colour of the frames on the global palette\n", 17},
};
constexpr CliStep backgroundSteps[] = {
    {"background", StepForm::Value, 1, 1, nullptr, paletteIndex, {}, background,
     "  --background INDEX          background colour\n", 18},
};
constexpr CliStep loopSteps[] = {
    {"loop", StepForm::Value, 1, 1, nullptr, loopCount, {}, loop,
     "  --loop COUNT                times to play (0 = without end)\n", 14},
};
constexpr CliStep frameRateSteps[] = {
    {"frame-rate", StepForm::FrameRate, 1, 2, nullptr, milliseconds, repeats, frameRate,
     "  --frame-rate MS             milliseconds per time unit for all frames\n"
     "  --frame-rate FRAMES:MS,REPEAT  ... and REPEAT units for the selected frames\n", 13},
};
constexpr CliStep mergeBackgroundSteps[] = {
    {"merge-background", StepForm::Value, 1, 1, nullptr, framePosition, {}, mergeBackgroundStep,
     "  --merge-background N        frame N fills the transparent frames that follow it\n", 19},
};
constexpr CliStep mergeForegroundSteps[] = {
    {"merge-foreground", StepForm::Value, 1, 1, nullptr, framePosition, {}, mergeForegroundStep,
     "  --merge-foreground N        frame N's opaque pixels are stamped on the frames before it\n", 20},
};
constexpr CliStep unoptimizeSteps[] = {
    {"unoptimize", StepForm::None, 0, 0, nullptr, {}, {}, unoptimizeStep,
     "  --unoptimize                build every frame to the full screen\n", 21},
};
constexpr CliStep scaleSteps[] = {
    {"scale", StepForm::Text, 0, 0, nullptr, {}, {}, scale,
     "  --scale PERCENT%|WxH        resample every frame to a new size (0 for W or H keeps the aspect ratio)\n", 23},
};

// clang-format off
const CommandInfo animation[] = {
    {.id = C::Play, .menu = M::Animation, .menuText = "&Play", .help = "Plays the current animation", .icon = "play",
     .enabled = hasFrame, .contextText = "Play"},
    {.id = C::Stop, .menu = M::Animation, .menuText = "&Stop", .help = "Stops the current animation", .icon = "stop",
     .enabled = hasFrame, .contextText = "Stop"},
    // The step makes any frame current, the menu item the next one.
    {.id = C::NextFrame, .menu = M::Animation, .menuText = "&Next frame", .help = "Shows next frame",
     .enabled = hasFrame, .steps = currentSteps},
    {.id = C::PrevFrame, .menu = M::Animation, .menuText = "Pre&v frame", .help = "Shows previous frame",
     .enabled = hasFrame},
    {.id = C::ReduceColorDepth, .menu = M::Animation, .menuText = "&Reduce color depth...", .help = "Reduces the number of colors used in the images. Collapses existing local palettes into one global palette", .icon = "reduce-colors",
     .enabled = hasFrame, .undoLabel = "reduce colors"},
    {.id = C::Scale, .menu = M::Animation, .menuText = "S&cale...", .help = "Resamples every frame to a new animation size",
     .enabled = animationHasImage, .steps = scaleSteps, .undoLabel = "scale"},
    {.id = C::TransparentColor, .menu = M::Animation, .menuText = "&Transparent color...", .help = "Selects transparent color. Click on the image or the palette window. Click outside the image to use no transparent color", .icon = "transparent",
     .enabled = hasFrame, .steps = transparentSteps, .undoLabel = "set transparent"},
    {.id = C::BackgroundColor, .menu = M::Animation, .menuText = "&Background color...", .help = "",
     .steps = backgroundSteps},
    {.id = C::LoopCount, .menu = M::Animation, .menuText = "&Loop count...", .help = "Sets the number of loop iterations",
     .enabled = hasFrame, .contextText = "Loop count...", .steps = loopSteps},
    {.id = C::FrameRate, .menu = M::Animation, .menuText = "&Frame rate...", .help = "Selects frame rate and repeat count", .icon = "frame-rate",
     .enabled = hasFrame, .contextText = "Frame rate...", .steps = frameRateSteps, .undoLabel = "frame rate"},
    {.id = C::MergeBackground, .menu = M::Animation, .menuText = "&Merge background", .help = "Merges the selected background frame (not transparent) into the transparent frames that follow it",
     .enabled = hasImageFrame, .steps = mergeBackgroundSteps, .undoLabel = "merge background", .run = runMergeBackground},
    {.id = C::MergeForeground, .menu = M::Animation, .menuText = "&Merge foreground", .help = "",
     .enabled = hasImageFrame, .steps = mergeForegroundSteps, .undoLabel = "merge foreground", .run = runMergeForeground},
    {.id = C::Unoptimize, .menu = M::Animation, .menuText = "&Unoptimize", .help = "Builds each frame to the full animation size",
     .enabled = hasFrame, .contextText = "Unoptimize", .steps = unoptimizeSteps, .undoLabel = "unoptimize", .run = runUnoptimize},
};
// clang-format on

}  // namespace

std::span<const CommandInfo> animationMenu() { return animation; }

}  // namespace movigram::records
