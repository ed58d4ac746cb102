// The Effects menu's records, and the step that runs any effect of the
// effect table by its command-line name.
#include <cstdio>

#include "MenuRecords.h"
#include "colour/ReadingPolicy.h"

namespace movigram::records {

namespace {

using C = CommandId;
using M = Menu;
using F = EffectFamilyId;

// Option `key` of the step, a whole number of low..high, or fallback when
// absent; false with the message when it is not one.
bool numberOption(const StepArguments& a, const std::string& key, int64_t fallback, int64_t low, int64_t high,
                  int64_t& value, StepOutcome& error) {
    const auto at = a.options.find(key);
    value = fallback;
    if (at == a.options.end()) return true;
    try {
        size_t used = 0;
        const long long v = std::stoll(at->second, &used);
        if (used == at->second.size() && v >= low && v <= high) {
            value = v;
            return true;
        }
    } catch (const std::exception&) {
    }
    error = wrongArgument(key + "=" + at->second + " is not a whole number from " + std::to_string(low) + " to " +
                          std::to_string(high));
    return false;
}

bool directionOption(const StepArguments& a, const EffectFamily& family, int32_t& direction, StepOutcome& error) {
    const auto at = a.options.find("dir");
    if (at == a.options.end()) {
        direction = family.initialDirection < 0 ? 0 : family.initialDirection;
        return true;
    }
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
        if (at->second == word && valid(value)) {
            direction = value;
            return true;
        }
    // The directions by number too, as the effect table counts them.
    int32_t number = -1;
    if (!at->second.empty() && at->second.size() < 4 && at->second.find_first_not_of("0123456789") == std::string::npos)
        number = std::stoi(at->second);
    if (valid(number)) {
        direction = number;
        return true;
    }
    std::string allowed;
    for (size_t i = 0; i < std::size(words); i += 2)
        if (valid(words[i].second)) allowed += std::string(allowed.empty() ? "" : ", ") + words[i].first;
    error = allowed.empty() ? wrongArgument("this effect takes no direction")
                            : wrongArgument("dir=" + at->second + " is not a direction of this effect (" + allowed + ")");
    return false;
}

StepOutcome effect(Document& doc, const StepArguments& a) {
    const int32_t effect = effectOfCliName(a.name);
    const EffectFamily& family = *familyOfEffect(effect);
    if (a.framesGiven) {
        if (StepOutcome bad = checkFrame(doc, a.frames.at(0)); !bad.error.empty()) return bad;
        makeCurrent(doc, a.frames[0]);
    }
    EffectParams p;
    selectFamily(p, family);
    p.effect = effect;
    p.frameCount = a.values.at(0);
    StepOutcome error;
    int64_t number = 0;
    if (!numberOption(a, "ms", 100, 0, 655350, number, error)) return error;
    p.msPerFrame = int32_t(number);
    if (!numberOption(a, "index", proposedSolidIndex(doc), 0, 255, number, error)) return error;
    p.solidIndex = int32_t(number);
    p.solidColor = colorOfIndex(doc, p.solidIndex);
    if (const auto c = a.options.find("color"); c != a.options.end()) {
        int r = -1, g = -1, b = -1;
        char end = 0;
        if (std::sscanf(c->second.c_str(), "%d/%d/%d%c", &r, &g, &b, &end) != 3 || r < 0 || r > 255 || g < 0 ||
            g > 255 || b < 0 || b > 255)
            return wrongArgument("color=" + c->second + " is not R/G/B with values 0 to 255");
        p.solidColor = rgbValue(r, g, b);
    }
    if (!directionOption(a, family, p.direction, error)) return error;
    if (const auto c = a.options.find("cell"); c != a.options.end()) {
        int w = 0, h = 0;
        char end = 0;
        const int n = std::sscanf(c->second.c_str(), "%dx%d%c", &w, &h, &end);
        if (n == 1) h = w;
        if ((n != 1 && n != 2) || w < 1 || h < 1 || w > 65535 || h > 65535)
            return wrongArgument("cell=" + c->second + " is not WxH with sizes from 1 to 65535");
        p.cellWidth = w;
        p.cellHeight = h;
    }
    std::optional<uint32_t> seed;
    if (a.options.count("seed")) {
        if (!numberOption(a, "seed", 0, 0, UINT32_MAX, number, error)) return error;
        seed = uint32_t(number);
    }

    const bool before = effectInfo(effect)->flags & EffectBefore;
    const EffectResult result = before ? DoFadeIn(doc, p, seed) : DoFadeOut(doc, p, seed);
    if (effect == FadeIn) rebuildAfterEdit(doc);
    switch (result) {
    case EffectResult::Inserted: return {};
    case EffectResult::NoImage: return failed("the current frame has no image");
    case EffectResult::NoNextFrame: return failed("the current frame has no frame after it");
    case EffectResult::InvalidParameters: return failed("the frame count must be at least 1 and ms not negative");
    case EffectResult::NoMemory: return outOfMemory();
    case EffectResult::NotForThisEntry: return failed("internal error");
    }
    return {};
}

// The undo labels are the effect table's: a command's dialog may choose an
// effect of another label (Fade in offers Fade out, Banner scroll Banner
// rotate).
// clang-format off
const CommandInfo effects[] = {
    {.id = C::FadeIn, .menu = M::Effects, .menuText = "Fade &in...", .help = "Inserts frames, fading in the image of the selected frame from a solid color",
     .enabled = hasImageFrame, .effectFamily = F::FadeIn},
    {.id = C::FadeOut, .menu = M::Effects, .menuText = "Fade &out...", .help = "Add frames, fading out the image of the selected frame into a solid color",
     .enabled = hasImageFrame, .effectFamily = F::FadeOut},
    {.id = C::Dissolve, .menu = M::Effects, .menuText = "&Dissolve...", .help = "Inserts frames, dissolving one frame into the next (or to/from solid color)",
     .enabled = hasImageFrame, .effectFamily = F::Dissolve},
    {.id = C::BannerScroll, .menu = M::Effects, .menuText = "&Banner scroll...", .help = "Inserts frames, the original frame scrolling in (or out), until it reaches center (or disappers)",
     .enabled = hasImageFrame, .effectFamily = F::BannerScroll},
    {.id = C::Wipe, .menu = M::Effects, .menuText = "&Wipe...", .help = "Inserts frames, the next frame sliding in, pushing the current frame out",
     .enabled = hasImageFrame, .effectFamily = F::Wipe},
    {.id = C::Spiral, .menu = M::Effects, .menuText = "&Spiral...", .help = "",
     .enabled = hasImageFrame, .effectFamily = F::Spiral},
    {.id = C::Blind, .menu = M::Effects, .menuText = "&Blind...", .help = "",
     .enabled = hasImageFrame, .effectFamily = F::Blind},
};
// clang-format on

}  // namespace

const CliStep effectStep{"effect", StepForm::Effect, 1, 1, nullptr, frameCount, {}, effect, "", 0};

std::span<const CommandInfo> effectsMenu() { return effects; }

}  // namespace movigram::records

namespace movigram {

std::string effectStepsHelp() {
    std::string text = "Effects insert new frames before or after the current frame (or frame FRAME):\n";
    std::string line = " ";
    for (int32_t e = 0; e < EffectCount; ++e) {
        const std::string name = std::string(" --") + effectInfo(e)->cliName + (e + 1 < EffectCount ? "," : "");
        // Lines as wide as the widest of the steps' help.
        if (line.size() + name.size() > 84) {
            text += line + "\n";
            line = " ";
        }
        line += name;
    }
    return text + line + "\n" +
           "  each taking [FRAME:]COUNT[,ms=MS][,index=I][,color=R/G/B][,dir=D][,cell=WxH][,seed=N]\n"
           "    ms     milliseconds per new frame (100)\n"
           "    index  palette index of the solid colour (the frame's top-left pixel)\n"
           "    color  RGB of the solid colour of a fade (the colour of index)\n"
           "    dir    ltr, rtl, ttb, btt (wipe, banner), out, in (spiral), h, v (blind)\n"
           "    cell   dissolve cell size (3x3; 1x1 dissolves single pixels)\n"
           "    seed   random seed of a dissolve (the current time)\n";
}

}  // namespace movigram
