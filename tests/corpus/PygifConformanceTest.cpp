// The pygif decoder suite: for each case, the screens the program shows must
// be the suite's expected frames, with its loop count, delays, background
// colour and comment.
//
// The program draws a file the way the editor shows it: a work frame of the
// logical screen filled with the background index and holding the global
// palette, then every image composed onto it in order with composeFrame
// (previous = the image before).  Compositing happens in colour indices, as
// in the program.  Since images with local palettes leave indices of
// different palettes side by side, the test notes for every pixel which
// image last put it there (an opaque pixel, or the fill of its restored
// area) and turns the index into a colour through that image's palette
// (local, else global); pixels no image touched use the global palette.
//
// The suite draws as browsers do (restored areas transparent).  Where the
// program follows its own rule instead, the difference is counted under a
// named convention, and only after checking that the convention explains
// every differing pixel or value; anything else fails.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "CorpusGif.h"
#include "document/Compose.h"
#include "document/GifReader.h"
#include "support/CorpusPath.h"

namespace movigram::test {
namespace {

const char* const suiteFolder = "pygif-gif-test-suite";

// Named conventions: the program's rule differs from the suite's.
const char* const kStartsWithBackground =
    "screen starts filled with the background colour (the suite starts transparent)";
const char* const kRestoredWithColour =
    "restored areas are filled with the background or transparent index (the suite clears them)";
const char* const kImagesAreFrames =
    "every image is a frame of its own (the suite merges images without a delay into the next frame)";
const char* const kDefaultTime = "an image without graphic control is shown for the program's default 1 s";
const char* const kScreenGrows = "the screen grows to hold images outside it (the suite clips them)";
const char* const kAnimextsIgnored = "only the NETSCAPE2.0 looping block is read (ANIMEXTS1.0 is ignored)";
const char* const kForcedLoop =
    "a file without a looping block plays once (the suite loops it as a forced animation)";
const char* const kNoImages = "a file without images has no frames (the suite shows its empty screen)";
const char* const kEmptyImageRefused =
    "an image without pixels makes the file corrupt (the suite skips it and shows the empty screen)";
const char* const kIndexPastTable =
    "pixel values past the colour table are kept and shown black (the suite rejects the file)";
const char* const kPlainTextSkipped =
    "a plain-text block is skipped and the image after it shown (the suite expects no frames)";

using Ini = std::map<std::string, std::map<std::string, std::string>>;

std::string trim(std::string s) {
    const size_t a = s.find_first_not_of(" \t\r");
    const size_t b = s.find_last_not_of(" \t\r");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

Ini parseIni(const std::filesystem::path& path) {
    Ini ini;
    std::ifstream in(path);
    std::string line, section;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        const size_t eq = line.find('=');
        if (eq != std::string::npos) ini[section][trim(line.substr(0, eq))] = trim(line.substr(eq + 1));
    }
    return ini;
}

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> items;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');)
        if (!trim(item).empty()) items.push_back(trim(item));
    return items;
}

// A comment value: a quoted string holding the comment's bytes as they
// are (UTF-8 text stays as it is), with \xNN escapes for the others.
std::string commentBytes(const std::string& quoted) {
    std::string s = quoted;
    if (s.size() >= 2 && s.front() == '\'' && s.back() == '\'') s = s.substr(1, s.size() - 2);
    std::string out;
    for (size_t i = 0; i < s.size();) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x') {
            out += char(std::stoi(s.substr(i + 2, 2), nullptr, 16));
            i += 4;
        } else if (s[i] == '\\' && i + 1 < s.size()) {
            out += s[i + 1];
            i += 2;
        } else {
            out += s[i++];
        }
    }
    return out;
}

struct Outcome {
    std::set<std::string> conventions;
    std::vector<std::string> failures;
    void fail(const std::string& what) { failures.push_back(what); }
};

Rgba paletteColor(const TMyPalette& palette, uint8_t v) {
    if (v >= palette.colorCount) return {0, 0, 0, 255};
    const PaletteEntry& e = palette.entry(v);
    return {e.red, e.green, e.blue, 255};
}

// Whether some image uses pixel values past the colour table it is drawn with.
bool pixelsPastTable(const std::vector<const TFrame*>& images, const GifReadOutput& gif) {
    for (const TFrame* f : images) {
        const int count = f->localPalette ? f->localPalette->colorCount
                                          : gif.globalPalette ? gif.globalPalette->colorCount : 0;
        for (int32_t y = 0; y < f->image->height(); ++y)
            for (int32_t x = 0; x < f->image->width(); ++x)
                if (f->image->pixel(x, y) >= count) return true;
    }
    return false;
}

void runCase(const std::string& name, Outcome& outcome) {
    const auto folder = corpusDir() / suiteFolder;
    const Ini ini = parseIni(folder / (name + ".conf"));
    if (!ini.contains("config")) return outcome.fail("no [config] in " + name + ".conf");
    const auto& config = ini.at("config");
    auto value = [](const std::map<std::string, std::string>& m, const std::string& key) {
        auto it = m.find(key);
        return it == m.end() ? std::string() : it->second;
    };

    const std::vector<uint8_t> bytes = loadFile(folder / value(config, "input"));
    const ScannedGif scan = scanGif(bytes);
    const GifReadOutput gif = readGifMemory(bytes, name);
    std::vector<const TFrame*> images;
    std::string comment;
    for (const auto& f : gif.frames) {
        if (f->hasImage()) images.push_back(f.get());
        if (f->isComment) comment += static_cast<const TTextFrame&>(*f).getText();
    }

    const std::vector<std::string> expected = splitList(value(config, "frames"));
    if (expected.empty()) {
        if (images.empty()) return;
        if (scan.plainTexts > 0) outcome.conventions.insert(kPlainTextSkipped);
        else if (pixelsPastTable(images, gif)) outcome.conventions.insert(kIndexPastTable);
        else outcome.fail("an invalid file gave " + std::to_string(images.size()) + " frames (result " +
                          std::to_string(gif.result) + ")");
        return;
    }
    if (images.empty()) {
        bool allClear = true;
        for (const std::string& frame : expected) {
            const auto& section = ini.contains(frame) ? ini.at(frame) : config;
            const std::vector<uint8_t> want = loadFile(folder / value(section, "pixels"));
            for (size_t i = 3; i < want.size(); i += 4) allClear &= want[i] == 0;
        }
        if (allClear && scan.images.empty() && gif.result == GifOk)
            outcome.conventions.insert(kNoImages);
        else if (allClear && gif.result == GifCorrupt && !scan.images.empty() && scan.images[0].rect.isEmpty())
            outcome.conventions.insert(kEmptyImageRefused);
        else
            outcome.fail("no frame read (result " + std::to_string(gif.result) + ": " +
                         whyReadingStopped(scan, 0, gif.result) + ")");
        return;
    }
    if (gif.result != GifOk) outcome.fail("result " + std::to_string(gif.result) + " for a valid file");

    const int width = std::stoi(value(config, "width")), height = std::stoi(value(config, "height"));
    if (gif.screen.width != width || gif.screen.height != height)
        outcome.fail("screen " + std::to_string(gif.screen.width) + "x" + std::to_string(gif.screen.height));

    const TMyPalette global = gif.globalPalette.value_or(TMyPalette());
    if (const std::string bg = value(config, "background"); !bg.empty()) {
        const Rgba want{uint8_t(std::stoi(bg.substr(1, 2), nullptr, 16)), uint8_t(std::stoi(bg.substr(3, 2), nullptr, 16)),
                        uint8_t(std::stoi(bg.substr(5, 2), nullptr, 16)), 255};
        if (gif.backgroundIndex >= global.colorCount || paletteColor(global, uint8_t(gif.backgroundIndex)) != want)
            outcome.fail("background colour differs");
    }
    if (const std::string c = value(config, "comment"); !c.empty() && commentBytes(c) != comment)
        outcome.fail("comment differs");

    // Loop count: the suite counts repeats, the program plays (0 = forever).
    const bool forced = value(config, "force-animation") == "yes";
    const std::string loop = value(config, "loop-count");
    const bool wantLoop = loop == "infinite" || std::stoi(loop) > 0;
    const int32_t wantPlays = loop == "infinite" ? 0 : std::stoi(loop) + 1;
    if (gif.loopFound != wantLoop || (wantLoop && gif.loopCount != wantPlays)) {
        bool animexts = false;
        for (const auto& id : scan.applications) animexts |= id == "ANIMEXTS1.0";
        if (animexts && !scan.netscapeLoop && !gif.loopFound) outcome.conventions.insert(kAnimextsIgnored);
        else if (forced && loop == "infinite" && scan.applications.empty() && !gif.loopFound)
            outcome.conventions.insert(kForcedLoop);
        else outcome.fail("loop " + std::string(gif.loopFound ? "" : "not ") + "found, count " + std::to_string(gif.loopCount));
    }

    // The suite's frames: an image without a delay is merged into the next one,
    // except in a forced animation, where every image is a frame.
    if (scan.images.size() < images.size()) return outcome.fail("the block walk finds fewer images than the reader");
    std::vector<size_t> frameEnds;  // index of the last image of each expected frame
    for (size_t k = 0; k < images.size(); ++k)
        if (forced || scan.images[k].delayCs > 0 || k + 1 == images.size()) frameEnds.push_back(k);
    if (frameEnds.size() != expected.size())
        return outcome.fail(std::to_string(images.size()) + " images make " + std::to_string(frameEnds.size()) +
                            " frames, expected " + std::to_string(expected.size()));
    if (frameEnds.size() != images.size()) outcome.conventions.insert(kImagesAreFrames);

    auto work = TFrame::blank(gif.screen.width, gif.screen.height, gif.backgroundIndex, global);
    std::vector<uint8_t> painted(size_t(width) * size_t(height), 0);
    std::vector<const TMyPalette*> owner(size_t(width) * size_t(height), &global);
    auto paletteOf = [&](const TFrame& f) { return f.localPalette ? f.localPalette.get() : &global; };
    const TRect screen{0, 0, width, height};
    std::set<int> fills{std::clamp(gif.backgroundIndex, 0, 255)};
    TFrame* previous = nullptr;
    size_t group = 0;
    int32_t groupTime = 0, groupTimeWithoutDefault = 0;
    for (size_t k = 0; k < images.size(); ++k) {
        TFrame& frame = const_cast<TFrame&>(*images[k]);
        composeFrame(*work, frame, previous, false);
        if (previous && previous->restoreToBackground) {
            const TRect area = previous->rect.intersected(screen);
            for (int32_t y = area.top; y < area.bottom; ++y)
                for (int32_t x = area.left; x < area.right; ++x) owner[size_t(y) * size_t(width) + size_t(x)] = paletteOf(*previous);
        }
        // Pixels the image puts on the screen.
        const TRect area = frame.rect.intersected(screen);
        for (int32_t y = area.top; y < area.bottom; ++y)
            for (int32_t x = area.left; x < area.right; ++x)
                if (int(frame.image->pixel(x - frame.rect.left, y - frame.rect.top)) != frame.transparentIndex) {
                    painted[size_t(y) * size_t(width) + size_t(x)] = 1;
                    owner[size_t(y) * size_t(width) + size_t(x)] = paletteOf(frame);
                }
        previous = &frame;
        if (frame.transparentIndex >= 0) fills.insert(frame.transparentIndex);
        groupTime += frame.displayTime();
        groupTimeWithoutDefault += scan.images[k].hasControl ? frame.displayTime() : 0;

        const bool shown = k == frameEnds[group];
        const std::string at = "frame " + std::to_string(group) + ": ";
        if (shown) {
            const auto& section = ini.contains(expected[group]) ? ini.at(expected[group]) : config;
            const std::vector<uint8_t> want = loadFile(folder / value(section, "pixels"));
            if (want.size() != size_t(width) * size_t(height) * 4) {
                outcome.fail(at + "expected pixels missing (only .rgba expectations are read)");
            } else {
                if (work->rect.right > width || work->rect.bottom > height) outcome.conventions.insert(kScreenGrows);
                int wrong = 0;
                std::string first;
                for (int32_t y = 0; y < std::min(height, work->rect.bottom); ++y)
                    for (int32_t x = 0; x < std::min(width, work->rect.right); ++x) {
                        const uint8_t v = work->image->pixel(x, y);
                        const Rgba got = paletteColor(*owner[size_t(y) * size_t(width) + size_t(x)], v);
                        const uint8_t* w = &want[(size_t(y) * size_t(width) + size_t(x)) * 4];
                        const Rgba expect{w[0], w[1], w[2], w[3]};
                        if (got == expect) continue;
                        const bool wasPainted = painted[size_t(y) * size_t(width) + size_t(x)];
                        if (expect.a == 0 && fills.contains(v)) {
                            const bool background = !wasPainted && v == std::clamp(gif.backgroundIndex, 0, 255);
                            outcome.conventions.insert(background ? kStartsWithBackground : kRestoredWithColour);
                        } else if (wrong++ == 0) {
                            char buf[96];
                            std::snprintf(buf, sizeof buf, "pixel (%d,%d) is %02x%02x%02x/%02x, expected %02x%02x%02x/%02x",
                                          x, y, got.r, got.g, got.b, got.a, expect.r, expect.g, expect.b, expect.a);
                            first = buf;
                        }
                    }
                if (wrong) outcome.fail(at + std::to_string(wrong) + " pixels differ, " + first);
            }

            const std::string delay = value(section, "delay");
            const int32_t wantMs = delay.empty() ? 0 : std::stoi(delay) * 10;
            if (groupTime != wantMs) {
                if (groupTimeWithoutDefault == wantMs) outcome.conventions.insert(kDefaultTime);
                else outcome.fail(at + "shown for " + std::to_string(groupTime) + " ms, expected " + std::to_string(wantMs));
            }
            ++group;
            groupTime = groupTimeWithoutDefault = 0;
        }
    }
}

TEST(PygifConformance, ProgramScreensMatchTheSuite) {
    MOVIGRAM_REQUIRE_CORPUS();
    std::ifstream list(corpusDir() / suiteFolder / "TESTS");
    std::vector<std::string> names;
    for (std::string line; std::getline(list, line);)
        if (!trim(line).empty()) names.push_back(trim(line));
    ASSERT_FALSE(names.empty()) << "no TESTS list in " << (corpusDir() / suiteFolder);

    int passed = 0, byConvention = 0;
    std::map<std::string, std::vector<std::string>> reasons;
    std::vector<std::string> failed;
    for (const std::string& name : names) {
        Outcome outcome;
        runCase(name, outcome);
        if (!outcome.failures.empty()) {
            std::string text = name + ":";
            for (const auto& f : outcome.failures) text += " " + f + ";";
            failed.push_back(text);
        } else if (!outcome.conventions.empty()) {
            ++byConvention;
            for (const auto& r : outcome.conventions) reasons[r].push_back(name);
        } else {
            ++passed;
        }
    }

    std::printf("pygif suite: %zu cases: %d passed, %d differ by convention, %zu failed\n", names.size(), passed,
                byConvention, failed.size());
    for (const auto& [reason, cases] : reasons) {
        std::printf("  convention: %s: %zu\n   ", reason.c_str(), cases.size());
        for (const auto& c : cases) std::printf(" %s", c.c_str());
        std::printf("\n");
    }
    for (const auto& f : failed) std::printf("  FAILED %s\n", f.c_str());
    EXPECT_TRUE(failed.empty()) << failed.size() << " cases differ in ways no convention explains";
}

}  // namespace
}  // namespace movigram::test
