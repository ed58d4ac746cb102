// movigram-cli edit IN.gif -o OUT.gif [-O] [-O3] [--no-comment] STEP...: the frame
// operations, colour commands and effects of the editor, applied in order to
// the opened animation, then "Save as" (or "Save optimized as" with -O).
#include <cstdint>
#include <cstdio>
#include <string>

#include "CliDocument.h"
#include "EditScript.h"
#include "frameops/ColorCommands.h"
#include "colour/ReadingPolicy.h"
#include "document/GrowthLimits.h"
#include "save/Optimiser.h"
#include "effects/DoFade.h"
#include "frameops/FlipRotate.h"
#include "frameops/FrameOffset.h"
#include "frameops/FrameOrder.h"
#include "frameops/FrameTiming.h"
#include "frameops/GrayScale.h"

namespace movigram::cli {

namespace {

[[noreturn]] void fail(const EditStep& step, const std::string& message) {
    throw CliError{"--" + step.name + ": " + message};
}

// A wrong value in a step's options: a usage error.
[[noreturn]] void failArgument(const EditStep& step, const std::string& message) {
    throw CliError{"--" + step.name + ": " + message, ExitUsage};
}

// The program's message for an operation refused before it would pass the
// decoding limits.
[[noreturn]] void failMemory(const EditStep& step) {
    const DecodeLimits limits = DecodeLimits::defaults();
    fail(step, "Failed to allocate memory (the result would pass " + std::to_string(limits.maxFrames) +
                   " frames or " + std::to_string(limits.maxTotalBytes >> 20) + " MiB of images)");
}

// Bytes of one full-screen frame.
uint64_t screenBytes(const Document& doc) {
    return (uint64_t(std::max(doc.screenWidth, 0)) + 3) / 4 * 4 * uint64_t(std::max(doc.screenHeight, 0));
}

FrameSelection selectionOf(const Document& doc, const EditStep& step) {
    FrameSelection selection;
    std::string error;
    if (step.frames && !step.frames->resolve(doc.frameList.count(), selection, error)) fail(step, error);
    return selection;
}

int32_t checkedFrame(const Document& doc, const EditStep& step, int32_t n) {
    if (n < 0 || n >= doc.frameList.count())
        fail(step, "frame " + std::to_string(n) + " does not exist (the animation has " +
                       std::to_string(doc.frameList.count()) + " frames)");
    return n;
}

int32_t frameValue(const Document& doc, const EditStep& step) { return checkedFrame(doc, step, step.values.at(0)); }

int32_t colorIndexValue(const EditStep& step) {
    const int32_t index = step.values.at(0);
    if (index < 0 || index > 255) fail(step, "a palette index is 0 to 255");
    return index;
}

void makeCurrent(Document& doc, int32_t index) {
    doc.frameList.select(index);
    doc.relink();
}

int32_t effectOfStep(const std::string& name) {
    static const char* const names[EffectCount] = {
        "fade-in",    "fade-out",     "dissolve-from", "dissolve-to", "dissolve-next", "wipe-from",
        "wipe-to",    "wipe-next",    "spiral-from",   "spiral-to",   "spiral-next",   "blind-from",
        "blind-to",   "blind-next",   "banner-in",     "banner-out",  "banner-rotate",
    };
    for (int32_t e = 0; e < EffectCount; ++e)
        if (name == names[e]) return e;
    return -1;
}

int64_t numberOption(const EditStep& step, const std::string& key, int64_t fallback, int64_t low, int64_t high) {
    const auto at = step.options.find(key);
    if (at == step.options.end()) return fallback;
    try {
        size_t used = 0;
        const long long value = std::stoll(at->second, &used);
        if (used == at->second.size() && value >= low && value <= high) return value;
    } catch (const std::exception&) {
    }
    failArgument(step, key + "=" + at->second + " is not a whole number from " + std::to_string(low) + " to " +
                           std::to_string(high));
}

int32_t directionOption(const EditStep& step, const EffectFamily& family) {
    const auto at = step.options.find("dir");
    if (at == step.options.end()) return family.initialDirection < 0 ? 0 : family.initialDirection;
    static const std::pair<const char*, int32_t> words[] = {
        {"ltr", LeftToRight}, {"left-to-right", LeftToRight}, {"rtl", RightToLeft}, {"right-to-left", RightToLeft},
        {"ttb", TopToBottom}, {"top-to-bottom", TopToBottom}, {"btt", BottomToTop}, {"bottom-to-top", BottomToTop},
        {"out", InsideOut},   {"inside-out", InsideOut},      {"in", OutsideIn},    {"outside-in", OutsideIn},
        {"h", Horizontal},    {"horizontal", Horizontal},     {"v", Vertical},      {"vertical", Vertical},
    };
    auto valid = [&](int32_t d) {
        return family.firstDirection >= 0 && d >= family.firstDirection && d <= family.lastDirection;
    };
    for (const auto& [word, value] : words)
        if (at->second == word && valid(value)) return value;
    // The directions by number too, as the effect table counts them.
    int32_t number = -1;
    if (!at->second.empty() && at->second.size() < 4 && at->second.find_first_not_of("0123456789") == std::string::npos)
        number = std::stoi(at->second);
    if (valid(number)) return number;
    std::string allowed;
    for (size_t i = 0; i < std::size(words); i += 2)
        if (valid(words[i].second)) allowed += std::string(allowed.empty() ? "" : ", ") + words[i].first;
    if (allowed.empty()) failArgument(step, "this effect takes no direction");
    failArgument(step, "dir=" + at->second + " is not a direction of this effect (" + allowed + ")");
}

void runEffect(Document& doc, const EditStep& step) {
    const int32_t effect = effectOfStep(step.name);
    const EffectFamily& family = *familyOfEffect(effect);
    if (step.frames) makeCurrent(doc, checkedFrame(doc, step, step.frames->ranges.at(0).first));
    EffectParams p;
    selectFamily(p, family);
    p.effect = effect;
    p.frameCount = step.values.at(0);
    p.msPerFrame = int32_t(numberOption(step, "ms", 100, 0, 655350));
    p.solidIndex = int32_t(numberOption(step, "index", proposedSolidIndex(doc), 0, 255));
    p.solidColor = colorOfIndex(doc, p.solidIndex);
    if (const auto c = step.options.find("color"); c != step.options.end()) {
        int r = -1, g = -1, b = -1;
        char end = 0;
        if (std::sscanf(c->second.c_str(), "%d/%d/%d%c", &r, &g, &b, &end) != 3 || r < 0 || r > 255 || g < 0 ||
            g > 255 || b < 0 || b > 255)
            failArgument(step, "color=" + c->second + " is not R/G/B with values 0 to 255");
        p.solidColor = rgbValue(r, g, b);
    }
    p.direction = directionOption(step, family);
    if (const auto c = step.options.find("cell"); c != step.options.end()) {
        int w = 0, h = 0;
        char end = 0;
        const int n = std::sscanf(c->second.c_str(), "%dx%d%c", &w, &h, &end);
        if (n == 1) h = w;
        if ((n != 1 && n != 2) || w < 1 || h < 1 || w > 65535 || h > 65535)
            failArgument(step, "cell=" + c->second + " is not WxH with sizes from 1 to 65535");
        p.cellWidth = w;
        p.cellHeight = h;
    }
    std::optional<uint32_t> seed;
    if (step.options.count("seed")) seed = uint32_t(numberOption(step, "seed", 0, 0, UINT32_MAX));

    const bool before = effectInfo(effect)->flags & EffectBefore;
    const EffectResult result = before ? DoFadeIn(doc, p, seed) : DoFadeOut(doc, p, seed);
    if (effect == FadeIn) rebuildAfterEdit(doc);
    switch (result) {
    case EffectResult::Inserted: return;
    case EffectResult::NoImage: fail(step, "the current frame has no image");
    case EffectResult::NoNextFrame: fail(step, "the current frame has no frame after it");
    case EffectResult::InvalidParameters: fail(step, "the frame count must be at least 1 and ms not negative");
    case EffectResult::NoMemory: failMemory(step);
    case EffectResult::NotForThisEntry: fail(step, "internal error");
    }
}

void applyStep(Document& doc, const EditStep& step) {
    const std::string& op = step.name;
    const FrameSelection selection = selectionOf(doc, step);
    const auto& v = step.values;
    const char* outsideGif = "the frames would leave the GIF's coordinates (-65535 to 65535)";
    // A move is refused for leaving the GIF's coordinates or for making a
    // screen larger than one image may be; a frame past 65535 is told as
    // such, whatever the screen would need.
    auto failMove = [&](bool sprite) {
        if (!movedFramesStayInGif(doc, selection, v[0], v[1], sprite))
            fail(step, "a frame would reach past 65535, where a GIF's screen ends (nothing was moved)");
        fail(step, "Failed to allocate memory (the screen would pass " +
                       std::to_string(DecodeLimits::defaults().maxImagePixels >> 20) + " megapixels)");
    };
    if (op == "shift") {
        if (!shiftFrames(doc, selection, v[0], v[1])) failMove(false);
    } else if (op == "sprite") {
        if (!movingSprite(doc, selection, v[0], v[1])) failMove(true);
    } else if (op == "crop") {
        if (v[2] <= v[0] || v[3] <= v[1]) fail(step, "the rectangle L,T,R,B needs L < R and T < B");
        if (!cropFrames(doc, selection, {v[0], v[1], v[2], v[3]}, step.word == "align")) fail(step, outsideGif);
    } else if (op == "resize") {
        if (v[0] < 1 || v[1] < 1) fail(step, "the size must be at least 1x1");
        if (!resizeFrames(doc, selection, v[0], v[1])) fail(step, "the selected frames have no pixels");
    } else if (op == "delete") {
        deleteFrames(doc, selection);
    } else if (op == "flip" || op == "mirror") {
        flipRotateFrames(doc, selection, op == "flip" ? FlipRotateOperation::Flip : FlipRotateOperation::Mirror, false);
    } else if (op == "rotate") {
        const int32_t degrees = v[0] < 0 ? -v[0] : v[0];
        if (degrees != 90 && degrees != 180 && degrees != 270) fail(step, "rotations are by 90, 180 or 270 degrees");
        flipRotateFrames(doc, selection, FlipRotateOperation(degrees / 90 + 1), v[0] < 0);
    } else if (op == "reverse") {
        reverseOrder(doc, selection);
    } else if (op == "gray") {
        grayScale(doc, selection);
    } else if (op == "duplicate") {
        makeCurrent(doc, selection.front());
        if (v[0] > 1 && !duplicateFrames(doc, selection, v[0])) failMemory(step);
    } else if (op == "restore") {
        setRestoreMethod(doc, selection, step.word == "background");
    } else if (op == "frame-rate") {
        const bool ok = step.frames ? setFrameRate(doc, v[0], selection, v[1]) : setFrameRate(doc, v[0]);
        if (!ok) fail(step, "milliseconds must be at least 1 and repeats not negative");
    } else if (op == "loop") {
        if (!setLoopCount(doc, v[0])) fail(step, "the loop count is 0 to 65535");
    } else if (op == "current") {
        makeCurrent(doc, frameValue(doc, step));
    } else if (op == "solid") {
        if (!growthFits(doc.frameList, 1, 1, screenBytes(doc))) failMemory(step);
        insertSolidColor(doc, colorIndexValue(step));
    } else if (op == "transparent") {
        beginTransparentPick(doc);
        setPickedColor(doc, PickMode::Transparent, step.word == "none" ? -1 : colorIndexValue(step));
    } else if (op == "background") {
        setPickedColor(doc, PickMode::Background, colorIndexValue(step));
    } else if (op == "merge-background") {
        makeCurrent(doc, frameValue(doc, step));
        if (!mergeBackground(doc)) fail(step, "the frame has no image");
    } else if (op == "merge-foreground") {
        makeCurrent(doc, frameValue(doc, step));
        if (!mergeForeground(doc)) fail(step, "the frame has no image or no transparent colour");
    } else if (op == "unoptimize") {
        // Every frame is rebuilt as a full screen beside the old ones.
        if (!growthFits(doc.frameList, uint64_t(doc.frameList.count()), 0, screenBytes(doc))) failMemory(step);
        unoptimize(doc);
    } else if (op == "delete-color") {
        if (!deletePaletteEntry(doc, colorIndexValue(step)))
            fail(step, "the palette has no such entry, or too few colours to lose one");
    } else if (isEffectStep(op)) {
        runEffect(doc, step);
    } else {
        fail(step, "not an operation");
    }
}

}  // namespace

int runEdit(const Args& args) {
    if (args.empty() || args[0].starts_with("-")) usageError("no input file given");
    const std::string in = args[0];
    std::string out;
    bool optimize = false, comment = true, keepPartial = false, maximum = false;
    std::vector<std::string> stepArgs;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "-o") out = optionValue(args, i, "the output file");
        else if (args[i] == "-O") optimize = true;
        else if (args[i] == "-O3") optimize = maximum = true;
        else if (args[i] == "--no-comment") comment = false;
        else if (args[i] == "--keep-partial") keepPartial = true;
        else stepArgs.push_back(args[i]);
    }
    if (out.empty()) usageError("no output file given (-o OUT.gif)");
    requireWritableOutput(out);
    const EditScript script = parseEditScript(stepArgs);
    if (!script.error.empty()) usageError(script.error);

    StderrHost host;
    Document doc(&host);
    doc.commentFrameOption = comment;
    doc.maxCompression = maximum;
    openInput(doc, host, in, keepPartial);
    for (const EditStep& step : script.steps) {
        applyStep(doc, step);
        if (doc.frameList.empty()) fail(step, "no frame is left to save");
    }
    std::printf("%zu step%s applied, %d frames\n", script.steps.size(), script.steps.size() == 1 ? "" : "s",
                doc.frameList.count());
    saveOutput(doc, out, optimize);
    return ExitOk;
}

}  // namespace movigram::cli
