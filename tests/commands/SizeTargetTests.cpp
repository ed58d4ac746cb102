// A size target: the file chosen is never over it, the levers keep what the
// animation shows, and a target no setting reaches is said to be so.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>

#include "commands/SaveCommands.h"
#include "commands/SizeTarget.h"
#include "document/Compose.h"
#include "document/GifReader.h"
#include "support/GifBuilder.h"

namespace movigram {
namespace {

// A noisy picture with a sprite that moves over it, drawn as patches that
// restore to the background every third frame; 40 + frames colours.
std::unique_ptr<Document> movingSprite(int frames) {
    auto doc = std::make_unique<Document>();
    doc->setUndoEnabled(false);
    std::vector<PaletteEntry> entries;
    for (int i = 0; i < 200; ++i) entries.push_back({uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 0});
    doc->globalPalette = std::make_unique<TMyPalette>(entries);
    std::mt19937 rng(5);
    doc->frameList.append("back", test::makeFrame(120, 80, [&](int x, int y) { return (x * 3 + y + int(rng() % 9)) % 160; }));
    for (int f = 1; f < frames; ++f) {
        auto frame = test::makeFrame(24, 16, [&](int x, int y) { return 160 + (x + y + f) % 40; });
        frame->moveTo({(f * 7) % 96, (f * 3) % 64});
        frame->restoreToBackground = f % 3 == 0;
        frame->frameTime = 40 + 10 * (f % 4);
        doc->frameList.append("f" + std::to_string(f), std::move(frame));
    }
    doc->relink();
    return doc;
}

std::vector<std::vector<uint8_t>> shownScreens(Document& doc) {
    std::vector<std::vector<uint8_t>> screens;
    forEachScreen(doc.frameList, {doc.screenWidth, doc.screenHeight}, *doc.globalPalette, 0, doc.backgroundIndex,
                  [&](int, const TDib256& screen) {
                      std::vector<uint8_t> pixels;
                      for (int32_t y = 0; y < screen.height(); ++y)
                          for (int32_t x = 0; x < screen.width(); ++x) pixels.push_back(screen.pixel(x, y));
                      screens.push_back(std::move(pixels));
                  });
    return screens;
}

int64_t totalTime(const Document& doc) {
    int64_t ms = 0;
    for (int i = 0; i < doc.frameList.count(); ++i) ms += doc.frameList.frameAt(i)->displayTime();
    return ms;
}

TEST(SizeTarget, SizesAndSettingsReadAndShowAsPeopleWriteThem) {
    EXPECT_EQ(parseByteSize("8MB"), 8'000'000u);
    EXPECT_EQ(parseByteSize("8 mb"), 8'000'000u);
    EXPECT_EQ(parseByteSize("1.5M"), 1'500'000u);
    EXPECT_EQ(parseByteSize("256k"), 256'000u);
    EXPECT_EQ(parseByteSize("2MiB"), 2'097'152u);
    EXPECT_EQ(parseByteSize("500000"), 500'000u);
    for (const char* wrong : {"", "MB", "8XB", "1.2.3MB", "0", "-5MB", "0.0001"})
        EXPECT_FALSE(parseByteSize(wrong)) << wrong;

    EXPECT_EQ(describeSize(900), "900 bytes");
    EXPECT_EQ(describeSize(12'345), "12.3 KB");
    EXPECT_EQ(describeSize(256'000), "256 KB");
    EXPECT_EQ(describeSize(7'930'000), "7.93 MB");
    EXPECT_EQ(describeSize(10'000'000), "10 MB");
    EXPECT_EQ(describeSize(1'500'000), "1.5 MB");
    EXPECT_EQ(describeSize(1), "1 byte");
    EXPECT_EQ(describeSize(99'960), "100 KB");
    EXPECT_EQ(describeSize(999'600), "1 MB");
    EXPECT_EQ(approximateSizeText(2'300'000), "\u2248 2.3 MB");
    EXPECT_EQ(describeSettings({}), "maximum compression");
    EXPECT_EQ(describeSettings({70, 128, 1, 80}), "lossy 70, 128 colours, 80 % scale");
}

TEST(SizeTarget, AFrameRateStepKeepsTheTimeAndWhatTheKeptFramesShow) {
    auto doc = movingSprite(13);
    const auto before = shownScreens(*doc);
    const int64_t time = totalTime(*doc);
    ASSERT_TRUE(applyShareSettings(*doc, {100, 0, 3, 100}));
    const auto after = shownScreens(*doc);
    ASSERT_EQ(after.size(), 5u);
    for (size_t i = 0; i < after.size(); ++i) EXPECT_EQ(after[i], before[i * 3]) << "kept frame " << i;
    EXPECT_EQ(totalTime(*doc), time);
    // Three frames in four: the fourth of each group goes.
    auto more = movingSprite(13);
    ASSERT_TRUE(applyShareSettings(*more, {100, 0, 4, 100, 3}));
    const auto kept = shownScreens(*more);
    ASSERT_EQ(kept.size(), 10u);
    for (size_t i = 0; i < kept.size(); ++i) EXPECT_EQ(kept[i], before[i / 3 * 4 + i % 3]) << "kept frame " << i;
    EXPECT_EQ(totalTime(*more), time);
    EXPECT_EQ(describeSettings({100, 0, 4, 100, 3}), "3/4 frame rate");
}

TEST(SizeTarget, TheFileChosenIsNeverOverItsTargetAndSmallerTargetsTakeMore) {
    // Long enough to be estimated from a sample of its frames.
    auto doc = movingSprite(72);
    const std::vector<ShareSettings> ladder = shareLadder(*doc);
    const FitResult whole = fitToSize(*doc, UINT64_MAX);
    ASSERT_TRUE(whole.fits);
    EXPECT_EQ(whole.settings, ladder.front());
    EXPECT_EQ(whole.fullSaves, 1);
    const uint64_t full = whole.bytes;
    size_t rungBefore = 0;
    for (double share : {1.2, 0.7, 0.45, 0.25, 0.1}) {
        const uint64_t target = uint64_t(double(full) * share);
        const FitResult fit = fitToSize(*doc, target);
        SCOPED_TRACE(share);
        ASSERT_TRUE(fit.fits) << describeSettings(fit.settings) << ": " << fit.bytes;
        EXPECT_LE(fit.file.size(), target);
        EXPECT_EQ(fit.file.size(), fit.bytes);
        EXPECT_EQ(readGifMemory(fit.file, "fit.gif").result, GifOk);
        const size_t rung = size_t(std::find(ladder.begin(), ladder.end(), fit.settings) - ladder.begin());
        ASSERT_LT(rung, ladder.size());
        EXPECT_GE(rung, rungBefore);
        rungBefore = rung;
    }
    // The document is not changed by looking.
    EXPECT_EQ(doc->frameList.count(), 72);
    EXPECT_EQ(doc->screenWidth, 120);

    // A copy not yet linked has the same ladder.
    EXPECT_EQ(shareLadder(*copyForSave(*doc)), ladder);

    const FitResult none = fitToSize(*doc, 100);
    EXPECT_FALSE(none.fits);
    EXPECT_TRUE(none.file.empty());
    EXPECT_GT(none.bytes, 100u);
    EXPECT_EQ(none.settings, ladder.back());
}

}  // namespace
}  // namespace movigram
