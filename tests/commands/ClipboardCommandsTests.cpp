// The clipboard's formats and the paste rules the editor's shell tests do not
// reach: frames carried between animations, and undoing a paste that rebuilt
// the palette.
#include <gtest/gtest.h>

#include "commands/ClipboardCommands.h"
#include "commands/ClipboardFormats.h"
#include "document/Undo.h"
#include "support/GifBuilder.h"
#include "support/RecordingHost.h"

namespace movigram {
namespace {

using test::makeFrame;
using test::pixelsOf;
using test::testPalette;

// A frame with every field set away from its default.
std::unique_ptr<TFrame> unusualFrame() {
    auto frame = makeFrame(5, 3, [](int x, int y) { return (x + 2 * y) % 4; }, "sprite");
    frame->moveTo({7, 9});
    frame->dirtyRect = {8, 9, 11, 12};
    frame->frameTime = 40;
    frame->repeat = 3;
    frame->restoreToBackground = true;
    frame->transparentIndex = 2;
    frame->backgroundIndex = 1;
    frame->image->transparentIndex = 2;
    return frame;
}

TEST(HeldFrame, ComesBackWithEverythingItHad) {
    for (bool local : {false, true}) {
        auto frame = unusualFrame();
        TMyPalette palette = testPalette(4);
        palette.transparentIndex = 2;
        if (local) frame->localPalette = std::make_unique<TMyPalette>(palette);
        const std::vector<uint8_t> bytes = encodeHeldFrame(*frame, palette);
        const auto held = decodeHeldFrame(bytes);
        ASSERT_TRUE(held) << local;
        const TFrame& back = *held->frame;
        EXPECT_EQ(back.name, "sprite");
        EXPECT_EQ(back.rect, frame->rect);
        EXPECT_EQ(back.dirtyRect, frame->dirtyRect);
        EXPECT_EQ(back.displayTime(), 120);
        EXPECT_TRUE(back.restoreToBackground);
        EXPECT_EQ(back.transparentIndex, 2);
        EXPECT_EQ(back.backgroundIndex, 1);
        EXPECT_EQ(pixelsOf(*back.image), pixelsOf(*frame->image));
        EXPECT_EQ(back.image->colors(), frame->image->colors());
        EXPECT_EQ(held->palette, palette);
        EXPECT_EQ(back.localPalette != nullptr, local);
        if (local) {
            EXPECT_EQ(*back.localPalette, palette);
        }

        // Every shortened copy, and a longer one, is refused.
        for (size_t n = 0; n < bytes.size(); n += 7)
            EXPECT_FALSE(decodeHeldFrame(std::span(bytes).first(n))) << n;
        std::vector<uint8_t> longer = bytes;
        longer.push_back(0);
        EXPECT_FALSE(decodeHeldFrame(longer));
    }
}

// Other programs may put anything under the format's name: fields no frame
// of the editor has are refused, since the program reads the image through
// the frame's rectangle.
TEST(HeldFrame, FieldsNoFrameCouldHaveAreRefused) {
    const auto frame = unusualFrame();  // 5 x 3 at (7, 9), named "sprite"
    const std::vector<uint8_t> bytes = encodeHeldFrame(*frame, testPalette(4));
    // The bytes with little-endian 32-bit values written at offsets.
    auto patched = [&](std::initializer_list<std::pair<size_t, int64_t>> fields) {
        std::vector<uint8_t> b = bytes;
        for (const auto& [at, value] : fields)
            for (size_t k = 0; k < 4; ++k) b[at + k] = uint8_t(uint64_t(value) >> (8 * k));
        return b;
    };
    constexpr size_t flags = 8, frameTime = 12, repeat = 16, left = 20, right = 28, bottom = 32, dirtyLeft = 36,
                     dirtyRight = 44, colorCount = 70;
    EXPECT_TRUE(decodeHeldFrame(patched({{left, 1000}, {right, 1005}})));
    EXPECT_FALSE(decodeHeldFrame(patched({{right, 13}})));                // wider than the image
    EXPECT_FALSE(decodeHeldFrame(patched({{bottom, 13}})));               // taller than the image
    // The changed area is held to the frame.
    const auto held = decodeHeldFrame(patched({{dirtyLeft, -100}, {dirtyRight, 100000}}));
    ASSERT_TRUE(held);
    EXPECT_EQ(held->frame->dirtyRect, held->frame->rect);
    EXPECT_FALSE(decodeHeldFrame(patched({{left, -2}, {right, 3}})));     // left of the screen
    EXPECT_FALSE(decodeHeldFrame(patched({{left, 1 << 30}, {right, (1 << 30) + 5}})));  // a huge screen
    EXPECT_FALSE(decodeHeldFrame(patched({{frameTime, -10}})));
    EXPECT_FALSE(decodeHeldFrame(patched({{frameTime, 1 << 20}, {repeat, 1 << 12}})));
    // A local palette of no colours (the count is 16 bits, the flags 32).
    std::vector<uint8_t> empty = patched({{flags, 2}});
    empty[colorCount] = empty[colorCount + 1] = 0;
    EXPECT_FALSE(decodeHeldFrame(empty));
}

class Clipboard : public ::testing::Test {
protected:
    void SetUp() override { doc.setHost(&host); }
    // Appends a frame on the global palette (made of count test colours).
    void addFrames(Document& d, int frames, int colors) {
        d.globalPalette = std::make_unique<TMyPalette>(testPalette(colors));
        for (int f = 0; f < frames; ++f) {
            const std::string name = "f" + std::to_string(f);
            auto frame = makeFrame(4, 4, [&](int x, int y) { return (x + y + f) % colors; }, name);
            frame->image->colors() = d.globalPalette->toColorTable();
            d.frameList.append(name, std::move(frame));
        }
        d.relink();
    }
    PasteSource sourceOf(const ClipboardContent& content) {
        return {content.heldFrame, content.bitmap, content.text};
    }
    // The colours a frame shows, row by row.
    static std::vector<PaletteEntry> colorsShown(const Document& d, const TFrame& f) {
        const TMyPalette& p = f.localPalette ? *f.localPalette : *d.globalPalette;
        std::vector<PaletteEntry> out;
        for (uint8_t v : pixelsOf(*f.image)) out.push_back(p.entry(v));
        return out;
    }
    test::RecordingHost host;
    Document doc;
    int32_t counter = 1;
};

// A frame held from one animation keeps its colours in another whose
// palette puts other colours at its indices.
TEST_F(Clipboard, AHeldFrameKeepsItsColoursInAnotherAnimation) {
    addFrames(doc, 1, 4);
    auto content = copyFrame(doc);
    ASSERT_TRUE(content);
    const auto shown = colorsShown(doc, *doc.currentFrame);

    Document other;
    other.globalPalette = std::make_unique<TMyPalette>(std::vector<PaletteEntry>{{1, 2, 3, 0}, {250, 250, 250, 0}});
    other.globalPaletteMode = GlobalPaletteMode::Cumulative;
    ASSERT_TRUE(pasteFrame(other, sourceOf(*content), PastePlace::AtEnd, counter, "paste frame"));
    ASSERT_EQ(other.frameList.count(), 1);
    EXPECT_EQ(colorsShown(other, *other.frameList.frameAt(0)), shown);
    EXPECT_EQ(other.globalPalette->colorCount, 6);
    EXPECT_EQ(counter, 1);  // held frames keep their names
}

// During playback the frame on the screen runs ahead of the selected line:
// Cut puts on the clipboard the frame it removes, the one on the screen.
TEST_F(Clipboard, CutTakesOneFrameForBothClipboardAndRemoval) {
    addFrames(doc, 5, 8);
    doc.frameList.select(1);
    doc.currentFrame = doc.frameList.frameAt(3);
    auto content = cutFrame(doc, "cut frame");
    ASSERT_TRUE(content);
    EXPECT_EQ(doc.frameList.count(), 4);
    EXPECT_EQ(doc.frameList.textAt(1), "f1");
    EXPECT_EQ(doc.frameList.textAt(3), "f4");
    ASSERT_TRUE(pasteFrame(doc, sourceOf(*content), PastePlace::AtEnd, counter, "paste frame"));
    EXPECT_EQ(doc.frameList.textAt(4), "f3");
}

// A pasted frame must lie where a GIF can place it and make a screen within
// the limits with the animation; it plays in the animation's time unit.
TEST_F(Clipboard, PastedFramesFitTheScreenAndTheTimeUnit) {
    addFrames(doc, 2, 8);
    doc.frameTime = 40;
    // Pastes a held frame of the rectangle and timing.
    auto paste = [&](TRect rect, int32_t frameTime, int32_t repeat) {
        auto frame = makeFrame(rect.width(), rect.height(), [](int, int) { return 1; }, "held");
        frame->rect = frame->dirtyRect = rect;
        frame->frameTime = frameTime;
        frame->repeat = repeat;
        const std::vector<uint8_t> bytes = encodeHeldFrame(*frame, *doc.globalPalette);
        return pasteFrame(doc, {bytes, {}, std::nullopt}, PastePlace::AtEnd, counter, "paste frame");
    };
    EXPECT_FALSE(paste({0, 200'000'000, 1, 200'000'001}, 40, 1));
    EXPECT_FALSE(paste({70'000, 0, 70'001, 1}, 40, 1));
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[1].text, "The frame cannot be pasted: a GIF keeps its frames between 0 and 65535 pixels.");
    EXPECT_EQ(doc.frameList.count(), 2);

    ASSERT_TRUE(paste({0, 0, 2, 2}, INT32_MAX, 1));
    ASSERT_TRUE(paste({0, 0, 2, 2}, 100, 1));
    for (int i : {2, 3}) EXPECT_EQ(doc.frameList.frameAt(i)->frameTime, 40);
    EXPECT_EQ(doc.frameList.frameAt(2)->repeat, INT32_MAX / 40);
    EXPECT_EQ(doc.frameList.frameAt(3)->repeat, 3);  // 100 ms to the nearest 40 ms
}

// A frame cropped to nothing can be cut and pasted back.
TEST_F(Clipboard, AnEmptiedFrameComesBack) {
    addFrames(doc, 3, 8);
    TFrame& emptied = *doc.frameList.frameAt(1);
    emptied.image = std::make_unique<TDib256>(0, 0);
    emptied.rect = emptied.dirtyRect = {};
    doc.frameList.select(1);
    doc.currentFrame = &emptied;
    auto content = cutFrame(doc, "cut frame");
    ASSERT_TRUE(content);
    ASSERT_TRUE(pasteFrame(doc, sourceOf(*content), PastePlace::BeforeSelected, counter, "paste frame"));
    EXPECT_EQ(doc.frameList.count(), 3);
    EXPECT_EQ(doc.frameList.frameAt(1)->image->width(), 0);
}

// A paste that rebuilds one optimised palette is undone in two steps, and
// after both every frame shows what it showed before.
TEST_F(Clipboard, UndoingAPasteThatRebuiltThePaletteRestoresEveryFrame) {
    addFrames(doc, 2, 8);
    doc.globalPaletteMode = GlobalPaletteMode::Optimized;
    const TMyPalette before = *doc.globalPalette;
    const auto shown0 = colorsShown(doc, *doc.frameList.frameAt(0));
    const auto pixels1 = pixelsOf(*doc.frameList.frameAt(1)->image);

    // A bitmap of 300 colours from another program.
    auto image = makeFrame(20, 15, [](int x, int y) { return (x * 15 + y) % 256; });
    TMyPalette colors;
    for (int i = 0; i < 256; ++i) colors.setEntry(i, {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 0});
    colors.colorCount = 256;
    const std::vector<uint8_t> bitmap = bitmapFileOf(*image->image, colors);
    ASSERT_TRUE(pasteFrame(doc, {{}, bitmap, std::nullopt}, PastePlace::AtEnd, counter, "paste frame"));
    EXPECT_EQ(doc.frameList.textAt(2), "Clipboard 1");
    ASSERT_EQ(doc.undo.size(), 2u);
    EXPECT_EQ(doc.undo.newest()->label, "reduce colors");

    undo(doc);
    undo(doc);
    ASSERT_EQ(doc.frameList.count(), 2);
    EXPECT_EQ(*doc.globalPalette, before);
    EXPECT_EQ(colorsShown(doc, *doc.frameList.frameAt(0)), shown0);
    EXPECT_EQ(pixelsOf(*doc.frameList.frameAt(1)->image), pixels1);
}

}  // namespace
}  // namespace movigram
