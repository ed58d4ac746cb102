// A GIF saved by the program must look in a web browser exactly as the file
// it was read from.  The original is shown from its own bytes (its disposal
// methods as stored, "restore to previous" included); the saved file, which
// only knows "do not restore" and "restore to background", is shown from its
// bytes the same way through ViewerCanvas.  Every screen must match, except
// where no single frame could match: a screen that differs only inside the
// frame just drawn, whose area needs more than 256 colour table entries
// (its colours, plus one for transparency), is listed but does not fail.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>

#include "CorpusGif.h"
#include "document/GifReader.h"
#include "document/ViewerCanvas.h"
#include "support/CorpusPath.h"

namespace movigram::test {
namespace {

std::string rgbaText(const Rgba& c) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02x%02x%02x/%02x", c.r, c.g, c.b, c.a);
    return buf;
}

struct Tally {
    int files = 0, frames = 0, withPrevious = 0, clipped = 0, emptyScreen = 0;
    std::vector<std::string> excluded, mismatches, unavoidable;
};

void checkFile(const std::filesystem::path& path, Tally& tally) {
    const std::string name = corpusName(path);
    const std::vector<uint8_t> bytes = loadFile(path);
    const ScannedGif original = scanGif(bytes);
    DecodedGif read = readKeepingDecoded(bytes, path.filename().string());
    const size_t count = read.decoded.size();
    if (count == 0) {
        tally.excluded.push_back(name + ": no image read, result " + std::to_string(read.read.result) + ": " +
                                 whyReadingStopped(original, 0, read.read.result));
        return;
    }
    if (const int beyond = frameBeyondGifCoordinates(read.read.frames); beyond >= 0) {
        tally.excluded.push_back(name + ": frame " + std::to_string(beyond) + " reaches past coordinate 65535");
        return;
    }
    auto mismatch = [&](const std::string& what) { tally.mismatches.push_back(name + ": " + what); };
    if (original.images.size() < count) return mismatch("the block walk finds fewer images than the reader");
    for (size_t k = 0; k < count; ++k)
        if (read.decoded[k]->rect != original.images[k].rect)
            return mismatch("image " + std::to_string(k) + " placed differently by the block walk");

    ++tally.files;
    tally.frames += int(count);
    bool previous = false, outside = false;
    TRect bounds;
    for (size_t k = 0; k < count; ++k) {
        previous |= original.images[k].disposal == 3 && k + 1 < count;
        bounds = bounds.united(original.images[k].rect);
    }
    tally.withPrevious += previous;

    // The canvas is the logical screen; a file whose screen is empty is
    // shown on the smallest screen holding its images.
    int width = original.width, height = original.height;
    if (width == 0 || height == 0) {
        ++tally.emptyScreen;
        width = bounds.right;
        height = bounds.bottom;
    }
    outside = !TRect{0, 0, width, height}.contains(bounds);
    tally.clipped += outside;

    // Saved with the frames linked as read.
    const TMyPalette global = read.read.globalPalette.value_or(TMyPalette());
    FrameList list;
    list.appendChain(std::move(read.read.frames));
    const std::vector<uint8_t> saved = saveList(list, read.read.loopFound, global, read.read.loopCount);
    const GifReadOutput again = readGifMemory(saved, name);
    const ScannedGif savedScan = scanGif(saved);
    std::vector<const TFrame*> images;
    for (const auto& f : again.frames)
        if (f->hasImage()) images.push_back(f.get());
    if (again.result != GifOk || images.size() != count || savedScan.images.size() != count)
        return mismatch("the saved file reads back with result " + std::to_string(again.result) + " and " +
                        std::to_string(images.size()) + " of " + std::to_string(count) + " images");

    const TMyPalette* savedGlobal = again.globalPalette ? &*again.globalPalette : nullptr;
    BrowserCompositor truth(original, width, height);
    ViewerCanvas view(width, height);
    for (size_t k = 0; k < count; ++k) {
        const std::vector<Rgba>& want = truth.show(k, *read.decoded[k]->image);
        const int stored = savedScan.images[k].disposal;
        if (stored == 3) mismatch("frame " + std::to_string(k) + " saved with restore to previous");
        const Disposal disposal = stored <= 3 ? Disposal(stored) : Disposal::None;
        view.step(*images[k], savedGlobal, disposal, [&](const ViewerCanvas& shown) {
            const std::vector<Rgba>& got = shown.pixels();
            if (std::memcmp(got.data(), want.data(), got.size() * sizeof(Rgba)) == 0) return;
            const TRect own = images[k]->rect.intersected({0, 0, width, height});
            size_t differing = 0, firstAt = 0;
            bool outsideFrame = false;
            for (size_t i = 0; i < got.size(); ++i) {
                if (got[i] == want[i]) continue;
                if (differing++ == 0) firstAt = i;
                const int32_t x = int32_t(i % size_t(width)), y = int32_t(i / size_t(width));
                outsideFrame |= !own.contains({x, y, x + 1, y + 1});
            }
            if (differing == 0) return;
            // One frame can show at most 256 entries, one of them spent on
            // transparency when the screen under it must show through.
            std::set<uint32_t> colours;
            bool clear = false;
            for (int32_t y = own.top; y < own.bottom; ++y)
                for (int32_t x = own.left; x < own.right; ++x) {
                    const Rgba& c = want[size_t(y) * size_t(width) + size_t(x)];
                    if (c.a == 0) clear = true;
                    else colours.insert(uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b);
                }
            const size_t needed = colours.size() + (clear ? 1 : 0);
            const int x = int(firstAt % size_t(width)), y = int(firstAt / size_t(width));
            std::string text = name + ": frame " + std::to_string(k) + ": " + std::to_string(differing) +
                               " pixels differ, first at (" + std::to_string(x) + "," + std::to_string(y) +
                               "): browser shows " + rgbaText(want[firstAt]) + ", saved file shows " +
                               rgbaText(got[firstAt]) + "; the frame's area needs " + std::to_string(needed) +
                               " colour table entries";
            if (!outsideFrame && needed > 256) tally.unavoidable.push_back(text + ", more than a table holds");
            else tally.mismatches.push_back(text);
        });
        truth.dispose(k);
    }
}

TEST(CorpusBrowserView, SavedFilesLookLikeTheirOriginals) {
    MOVIGRAM_REQUIRE_CORPUS();
    const auto files = corpusGifFiles();
    ASSERT_FALSE(files.empty());
    Tally tally;
    for (const auto& path : files) checkFile(path, tally);

    std::printf("browser view: %d files, %d frames compared; %d files use restore to previous before their last "
                "frame; %d have images reaching outside the screen (compared inside it); %d have an empty logical "
                "screen\n",
                tally.files, tally.frames, tally.withPrevious, tally.clipped, tally.emptyScreen);
    std::printf("excluded %zu files\n", tally.excluded.size());
    for (const auto& e : tally.excluded) std::printf("  %s\n", e.c_str());
    std::printf("%zu screens differ where no single frame could do better:\n", tally.unavoidable.size());
    for (const auto& u : tally.unavoidable) std::printf("  %s\n", u.c_str());
    std::printf("%zu mismatching screens\n", tally.mismatches.size());
    for (const auto& m : tally.mismatches) std::printf("  %s\n", m.c_str());
    EXPECT_GT(tally.files, 0);
    EXPECT_TRUE(tally.mismatches.empty());
}

}  // namespace
}  // namespace movigram::test
