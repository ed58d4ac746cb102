// Every corpus GIF the program can open is saved without optimisation, read
// back, and must come back as the same frames: pixels, colour tables,
// placement, times, restore methods, transparency, comments and looping.
// Saving happens twice, once with the frames linked as read and once the way
// the editor saves (its comment frame in front, times brought to a common
// unit).
#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "CorpusGif.h"
#include "save/CommentFrame.h"
#include "document/Compose.h"
#include "document/FrameChain.h"
#include "document/GifReader.h"
#include "support/CorpusPath.h"

namespace movigram::test {
namespace {

bool isBlack(const RgbQuad& q) { return q.red == 0 && q.green == 0 && q.blue == 0; }
bool isBlack(const PaletteEntry& e) { return e.red == 0 && e.green == 0 && e.blue == 0; }

// Differences between a frame and its saved-and-read copy.  Colour tables
// come back padded to a power of two with black entries; values and a
// transparent index past the table written come back as entries of the
// colour they showed (values past a table show black); everything else
// must be identical.  wantTime is the frame's display time before the save.
void compareFrame(const TFrame& want, int32_t wantTime, const TFrame& got, const TMyPalette& wantGlobal,
                  const TMyPalette& gotGlobal, std::vector<std::string>& out) {
    auto problem = [&](const std::string& what) { out.push_back(what); };
    if (want.isComment != got.isComment) return problem(want.isComment ? "comment became an image" : "image became a comment");
    if (want.isComment) {
        const auto& a = static_cast<const TTextFrame&>(want);
        const auto& b = static_cast<const TTextFrame&>(got);
        if (a.getText() != b.getText()) problem("comment text differs");
        return;
    }
    if (want.hasImage() != got.hasImage()) return problem("image presence differs");
    if (!want.hasImage()) return;
    if (want.rect != got.rect) return problem("rect " + rectText(want.rect) + " came back as " + rectText(got.rect));
    if (got.displayTime() != wantTime)
        problem("time " + std::to_string(wantTime) + " ms came back as " + std::to_string(got.displayTime()));
    if (want.restoreToBackground != got.restoreToBackground) problem("restore method differs");
    if (want.overlay != got.overlay) problem("overlay flag differs");
    const int entries = got.localPalette ? got.localPalette->colorCount : gotGlobal.colorCount;
    auto wantShows = [&](int v) { return ViewerCanvas::colorOf(want, &wantGlobal, uint8_t(v)); };
    auto gotShows = [&](int v) { return ViewerCanvas::colorOf(got, &gotGlobal, uint8_t(v)); };
    const bool transparentMoved = want.transparentIndex >= entries && got.transparentIndex >= 0 &&
                                  gotShows(got.transparentIndex) == wantShows(want.transparentIndex);
    if (want.transparentIndex != got.transparentIndex && !transparentMoved)
        problem("transparent index " + std::to_string(want.transparentIndex) + " came back as " +
                std::to_string(got.transparentIndex));

    if (bool(want.localPalette) != bool(got.localPalette)) {
        problem("local palette presence differs");
    } else if (want.localPalette) {
        const TMyPalette &a = *want.localPalette, &b = *got.localPalette;
        if (b.colorCount < a.colorCount) problem("local palette shrank");
        for (int i = 0; i < std::min(a.colorCount, b.colorCount); ++i)
            if (a.entry(i).red != b.entry(i).red || a.entry(i).green != b.entry(i).green ||
                a.entry(i).blue != b.entry(i).blue) {
                problem("local palette entry " + std::to_string(i) + " differs");
                break;
            }
        for (int i = a.colorCount; i < b.colorCount; ++i)
            if (!isBlack(b.entry(i))) {
                problem("local palette padded with a colour at " + std::to_string(i));
                break;
            }
    }

    const TDib256 &a = *want.image, &b = *got.image;
    if (b.colorsUsed < a.colorsUsed) problem("colour table shrank");
    for (int i = 0; i < std::min(a.colorsUsed, b.colorsUsed); ++i)
        if (a.colors()[size_t(i)] != b.colors()[size_t(i)]) {
            problem("colour table entry " + std::to_string(i) + " differs");
            break;
        }
    for (int i = a.colorsUsed; i < b.colorsUsed; ++i)
        if (!isBlack(b.colors()[size_t(i)])) {
            problem("colour table padded with a colour at " + std::to_string(i));
            break;
        }
    if (a.width() != b.width() || a.height() != b.height()) return problem("image size differs");
    auto same = [&](uint8_t v, uint8_t w) {
        if (v == w && (v < entries || !transparentMoved)) return true;
        if (v == want.transparentIndex) return w == got.transparentIndex;
        return v >= entries && w != got.transparentIndex && gotShows(w) == wantShows(v);
    };
    for (int32_t y = 0; y < a.height(); ++y)
        if (!std::equal(a.row(y), a.row(y) + a.width(), b.row(y), same)) {
            problem("pixels differ from row " + std::to_string(y));
            break;
        }
}

struct Tally {
    int files = 0, partial = 0, frames = 0, comments = 0, commentInserted = 0, loopDroppedOneFrame = 0;
    std::vector<std::string> excluded, partialFiles, failures;
};

// Compares a saved-and-read animation with the list it was saved from,
// skipping the first `skip` list items (a comment frame added for the save).
void compareAnimation(const std::string& name, const char* variant, const FrameList& list,
                      const TMyPalette& global, const std::vector<int32_t>& times, int skip, bool loopFound, int32_t loopCount,
                      const GifReadOutput& again, Tally& tally) {
    auto fail = [&](const std::string& what) { tally.failures.push_back(name + " [" + variant + "]: " + what); };
    if (again.result != GifOk) return fail("the saved file reads with result " + std::to_string(again.result));
    if (int(again.frames.size()) != list.count())
        return fail(std::to_string(list.count()) + " frames saved, " + std::to_string(again.frames.size()) + " read back");
    for (int i = skip; i < list.count(); ++i) {
        std::vector<std::string> problems;
        compareFrame(*list.frameAt(i), times[size_t(i - skip)], *again.frames[size_t(i)], global,
                     again.globalPalette.value_or(TMyPalette()), problems);
        for (const std::string& p : problems) fail("frame " + std::to_string(i - skip) + ": " + p);
    }
    // Filling with the background colour must keep the same colour index.
    TFrame* first = list.frameAt(0);
    TFrame* firstAgain = again.frames.empty() ? nullptr : again.frames[0].get();
    if (std::max(chainBackground(first), 0) != std::max(chainBackground(firstAgain), 0))
        fail("background index " + std::to_string(chainBackground(first)) + " came back as " +
             std::to_string(chainBackground(firstAgain)));
    // The looping block is written for a circular chain only, which needs at
    // least two frames.
    const bool circular = loopFound && list.count() >= 2;
    if (again.loopFound != circular) fail(circular ? "looping lost" : "looping added");
    if (circular && again.loopCount != loopCount)
        fail("loop count " + std::to_string(loopCount) + " came back as " + std::to_string(again.loopCount));
}

TEST(CorpusRoundTrip, EveryReadableGifSavesAndReadsBackUnchanged) {
    MOVIGRAM_REQUIRE_CORPUS();
    const auto files = corpusGifFiles();
    ASSERT_FALSE(files.empty());
    Tally tally;
    for (const auto& path : files) {
        const std::string name = corpusName(path);
        const std::vector<uint8_t> bytes = loadFile(path);
        GifReadOutput gif = readGifMemory(bytes, path.filename().string());
        int images = 0;
        for (const auto& f : gif.frames) images += f->hasImage();
        if (gif.result != GifOk && images == 0) {
            std::string why = whyReadingStopped(scanGif(bytes), 0, gif.result);
            if (!gif.frames.empty()) why += " (" + std::to_string(gif.frames.size()) + " comment frames read)";
            tally.excluded.push_back(name + ": no image read, result " + std::to_string(gif.result) + ": " + why);
            continue;
        }
        if (const int beyond = frameBeyondGifCoordinates(gif.frames); beyond >= 0) {
            tally.excluded.push_back(name + ": frame " + std::to_string(beyond) + " at " +
                                     rectText(gif.frames[size_t(beyond)]->rect) +
                                     " reaches past coordinate 65535, which a saved file cannot hold");
            continue;
        }
        ++tally.files;
        if (gif.result != GifOk) {
            ++tally.partial;
            tally.partialFiles.push_back(name + ": " + std::to_string(images) + " images kept, then result " +
                                         std::to_string(gif.result) + ": " +
                                         whyReadingStopped(scanGif(bytes), size_t(images), gif.result));
        }
        tally.frames += images;
        tally.comments += int(gif.frames.size()) - images;

        const TMyPalette global = gif.globalPalette.value_or(TMyPalette());
        FrameList list;
        list.appendChain(std::move(gif.frames));
        std::vector<int32_t> times;
        for (int i = 0; i < list.count(); ++i) times.push_back(list.frameAt(i)->displayTime());
        if (gif.loopFound && list.count() < 2) ++tally.loopDroppedOneFrame;

        // Frames linked as read.
        const std::vector<uint8_t> saved = saveList(list, gif.loopFound, global, gif.loopCount);
        if (saved.empty()) {
            tally.failures.push_back(name + ": the writer failed");
            continue;
        }
        {
            GifReadOutput again = readGifMemory(saved, name);
            compareAnimation(name, "as read", list, global, times, 0, gif.loopFound, gif.loopCount, again, tally);
            // Saving what was read back writes the same bytes again.
            FrameList relist;
            relist.appendChain(std::move(again.frames));
            const auto resaved = saveList(relist, again.loopFound, again.globalPalette.value_or(TMyPalette()),
                                          again.loopCount);
            if (resaved != saved) tally.failures.push_back(name + ": a second save writes different bytes");
        }

        // As the editor saves: its comment in front, times in a common unit.
        const bool inserted = ensureCommentFrame(list, gif.loopFound);
        tally.commentInserted += inserted;
        normalizeFrameTimes(threadFrames(list, gif.loopFound));
        const std::vector<uint8_t> withComment = saveList(list, gif.loopFound, global, gif.loopCount);
        const GifReadOutput again = readGifMemory(withComment, name);
        compareAnimation(name, "with comment", list, global, times, inserted ? 1 : 0, gif.loopFound, gif.loopCount, again,
                         tally);
        if (inserted) {
            const bool ours = !again.frames.empty() && again.frames[0]->isComment &&
                              static_cast<const TTextFrame&>(*again.frames[0]).getText() == programComment();
            if (!ours) tally.failures.push_back(name + ": the program's comment did not come back first");
        }
    }

    std::printf("round trip: %d files (%d of them partly read), %d image frames, %d comment frames; "
                "program comment added to %d; looping not kept for %d single-frame files\n",
                tally.files, tally.partial, tally.frames, tally.comments, tally.commentInserted,
                tally.loopDroppedOneFrame);
    std::printf("partly read files, compared as far as they were read:\n");
    for (const auto& p : tally.partialFiles) std::printf("  %s\n", p.c_str());
    std::printf("excluded %zu files:\n", tally.excluded.size());
    for (const auto& e : tally.excluded) std::printf("  %s\n", e.c_str());
    EXPECT_GT(tally.files, 0);
    EXPECT_TRUE(tally.failures.empty()) << tally.failures.size() << " differences";
    for (const auto& f : tally.failures) ADD_FAILURE() << f;
}

}  // namespace
}  // namespace movigram::test
