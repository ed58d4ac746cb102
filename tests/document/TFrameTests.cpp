// Frames: copies, crops and moves, bottom-up rows, low depths, and the
// comment text blocks.
#include <gtest/gtest.h>

#include "document/TFrame.h"
#include "support/GifBuilder.h"

namespace movigram {
namespace {

using test::makeFrame;
using test::testPalette;

TEST(Frame, CopyCropAndMove) {
    auto frame = makeFrame(4, 3, [](int x, int y) { return x + 4 * y; });
    frame->moveTo({10, 20});
    EXPECT_EQ(frame->rect, (TRect{10, 20, 14, 23}));
    EXPECT_EQ(frame->dirtyRect, frame->rect);
    frame->localPalette = std::make_unique<TMyPalette>(testPalette(3));
    frame->overlay = true;
    frame->unchanged = true;

    TFrame copy(*frame, {11, 21, 13, 23});
    EXPECT_EQ(copy.rect, (TRect{11, 21, 13, 23}));
    EXPECT_EQ(test::pixelsOf(*copy.image), (std::vector<uint8_t>{5, 6, 9, 10}));
    EXPECT_FALSE(copy.overlay);
    EXPECT_FALSE(copy.unchanged);
    ASSERT_TRUE(copy.localPalette);
    EXPECT_NE(copy.localPalette.get(), frame->localPalette.get());

    frame->crop({0, 0, 12, 100});
    EXPECT_EQ(frame->rect, (TRect{10, 20, 12, 23}));
    EXPECT_EQ(test::pixelsOf(*frame->image), (std::vector<uint8_t>{0, 1, 4, 5, 8, 9}));
    const auto before = frame->image.get();
    frame->crop({0, 0, 100, 100});  // already inside: nothing changes
    EXPECT_EQ(frame->image.get(), before);
}

TEST(Frame, BlankFrameAndBottomUpRows) {
    auto blank = TFrame::blank(5, 2, 3, testPalette(6));
    EXPECT_EQ(blank->backgroundIndex, 3);
    EXPECT_EQ(blank->image->pixel(4, 1), 3);
    EXPECT_EQ(blank->image->colorsUsed, 6);
    EXPECT_EQ(blank->image->stride(), 8);
    blank->image->setPixel(0, 0, 9);  // top row lives last in memory
    EXPECT_EQ(blank->image->bits()[8], 9);
    EXPECT_EQ(TFrame::blank(1, 1, -1, testPalette(1))->image->pixel(0, 0), 0);
}

TEST(Frame, ExpandUnpacksLowDepths) {
    // 1-bit, 10 pixels wide: two bytes a row padded to four; bottom-up.
    const uint8_t bits1[] = {0b10110000, 0b01000000, 0, 0, 0b11111111, 0b11000000, 0, 0};
    auto image = TDib256::expand(10, 2, 1, bits1, {}, 2, 2);
    EXPECT_EQ(image->pixel(0, 1), 1);
    EXPECT_EQ(image->pixel(1, 1), 0);
    EXPECT_EQ(image->pixel(9, 1), 1);
    EXPECT_EQ(image->pixel(8, 1), 0);
    EXPECT_EQ(image->pixel(9, 0), 1);
    EXPECT_EQ(image->colorsUsed, 2);
    const uint8_t bits4[] = {0x12, 0x30, 0, 0};
    auto four = TDib256::expand(3, 1, 4, bits4, {}, 16, 0);
    EXPECT_EQ(test::pixelsOf(*four), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(test::pixelsOf(*TDib256::expand(2, 1, 24, bits4, {}, 0, 0)), (std::vector<uint8_t>{0, 0}));
}

TEST(CommentText, BlocksAndName) {
    TTextFrame comment(nullptr, std::string(600, 'a'));
    ASSERT_EQ(comment.blocks().size(), 3u);
    EXPECT_EQ(comment.blocks()[0].text.size(), 255u);
    EXPECT_EQ(comment.blocks()[1].text.size(), 255u);
    EXPECT_EQ(comment.blocks()[2].text.size(), 90u);
    EXPECT_EQ(comment.textLength(), 600u);

    TTextFrame hello(nullptr, "Hello\r\nWorld and more text than fits in the name");
    EXPECT_EQ(hello.name, "// Hello  World and more tex...");  // 25 bytes of text
    EXPECT_EQ(hello.name.size(), 28u + 3u);

    TTextFrame shortText(nullptr, "Hello\r\nWorld");
    EXPECT_EQ(shortText.name, "// Hello  World...");
    shortText.appendText(" again");
    EXPECT_EQ(shortText.name, "// Hello  World...");  // only the first text names the frame
    EXPECT_EQ(shortText.getText(), "Hello\r\nWorld again");

    TTextFrame empty;
    EXPECT_EQ(empty.repeat, 0);
    EXPECT_TRUE(empty.isComment);
}

TEST(CommentText, CopiesShareBlocksAndMeasureUsesTheWindow) {
    TTextFrame original(nullptr, "shared");
    {
        auto copy = original.clone();
        EXPECT_EQ(original.shareCount(), 2);
        EXPECT_TRUE(copy->isComment);
        EXPECT_EQ(static_cast<TTextFrame&>(*copy).getText(), "shared");
    }
    EXPECT_EQ(original.shareCount(), 1);

    struct FakeWindow : TextMeasurer {
        TSize clientSize() const override { return {300, 200}; }
        int32_t textHeight(std::string_view text, int32_t boxWidth) const override {
            lastWidth = boxWidth;
            return int32_t(std::count(text.begin(), text.end(), '\n') + 1) * 16;
        }
        mutable int32_t lastWidth = 0;
    } window;
    TTextFrame measured(&window, "one\ntwo");
    EXPECT_EQ(measured.textWidth, 300);
    EXPECT_EQ(measured.textHeight, 2 * 16 + 20);
    EXPECT_EQ(window.lastWidth, 280);
}

}  // namespace
}  // namespace movigram
