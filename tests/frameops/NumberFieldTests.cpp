// The reading of the dialogs' numeric fields, and the ranges of what the
// dialogs compute from them.
#include <gtest/gtest.h>

#include <string>

#include "frameops/FrameTiming.h"
#include "frameops/NumberField.h"
#include "OpsTestSupport.h"

namespace movigram {
namespace {

TEST(NumberField, ReadsTheLeadingDecimalNumber) {
    EXPECT_EQ(readNumberField("250"), 250);
    EXPECT_EQ(readNumberField("  -12"), -12);
    EXPECT_EQ(readNumberField("12ab3"), 12);
    EXPECT_EQ(readNumberField(""), 0);
    EXPECT_EQ(readNumberField("x"), 0);
    // No range of any dialog applies: the values of 2..256 and beyond stay.
    EXPECT_EQ(readNumberField("1"), 1);
    EXPECT_EQ(readNumberField("100000"), 100000);
    EXPECT_EQ(readNumberField("99999999999"), 2147483647);
}

TEST(NumberField, ACommaDropsEveryCharacterButDigits) {
    EXPECT_EQ(readNumberField("2,500"), 2500);
    EXPECT_EQ(readNumberField("1,000,000"), 1000000);
    EXPECT_EQ(readNumberField("1,2x3 4"), 1234);
    EXPECT_EQ(readNumberField("-1,000"), -1000);  // a leading minus stays with its number
    EXPECT_EQ(readNumberField("12 34"), 12);      // without a comma the blank ends the number
}

TEST(NumberField, OnlyThirtyCharactersAreRead) {
    const std::string thirty(29, ' ');
    EXPECT_EQ(readNumberField(thirty + "7"), 7);
    EXPECT_EQ(readNumberField(thirty + " 7"), 0);
    EXPECT_EQ(readNumberField(std::string(26, ' ') + "1,234"), 123);
}

// Milliseconds times repeat: taken in 64 bits, refused past what a GIF
// can show, and nothing changed then.
TEST(NumberField, FrameRateKeepsEveryFrameWithinAGifsLongestDelay) {
    std::vector<std::unique_ptr<TFrame>> frames;
    for (int i = 0; i < 2; ++i)
        frames.push_back(test::solidFrame(0, 0, 4, 3, i, test::testPalette(8), "f" + std::to_string(i)));
    auto doc = test::documentOf(std::move(frames));
    const int32_t unit = doc->frameTime;
    EXPECT_EQ(frameRateProblem(*doc, 655, {1000, 1}), "");
    EXPECT_EQ(frameRateProblem(*doc, 3000000, {1, 1}), "The milliseconds per frame must be from 1 to 655,350.");
    EXPECT_EQ(frameRateProblem(*doc, 0, {1, 1}), "The milliseconds per frame must be from 1 to 655,350.");
    EXPECT_EQ(frameRateProblem(*doc, 100, {1, -1}), "A repeat count cannot be negative.");
    EXPECT_EQ(frameRateProblem(*doc, 30000, {1, 1000}),
              "\"f1\" would be shown for 30,000,000 milliseconds; a GIF shows a frame for at most 655,350.");
    EXPECT_NE(frameRateProblem(*doc, 2147483647, {1, 2147483647}), "");
    EXPECT_FALSE(setFrameRate(*doc, 30000, "frame rate", {1}, 1000));
    EXPECT_EQ(doc->frameTime, unit);
    EXPECT_FALSE(doc->undo.canUndo());
    EXPECT_EQ(formatMilliseconds(int64_t(3000000) * 1000), "3000000,000");  // "%d,%03d"
}

// The offset dialog's corner plus size near 2^31 gives no rectangle.
TEST(NumberField, OffsetRectanglesStayWithinReach) {
    EXPECT_EQ(rectFromFields(-10, 0, 65535, 100), (TRect{-10, 0, 65535, 100}));
    EXPECT_EQ(rectFromFields(2147483647, 0, int64_t(2147483647) + 10, 10), std::nullopt);
    EXPECT_EQ(rectFromFields(0, -2147483648LL, 10, 10), std::nullopt);
    EXPECT_EQ(rectFromFields(0, 0, 10, 2 * 65535 + 1), std::nullopt);
}

}  // namespace
}  // namespace movigram
