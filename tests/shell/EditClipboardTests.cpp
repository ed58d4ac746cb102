// Cut, Copy, Paste, Paste Append and Delete through the Edit menu and the
// system clipboard.
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <fstream>

#include "EditorFixture.h"
#include "commands/ClipboardFormats.h"
#include "shell/FrameListWindow.h"
#include "support/GifBuilder.h"

namespace movigram::test {
namespace {

using C = CommandId;

class ClipboardCommands : public Editor {
protected:
    // Three frames of 16 x 12; the middle one is placed at (4, 2), shown for
    // 200 ms, restored to the background and transparent on index 3.
    std::string writePlacedGif() {
        GifBuilder gif(16, 12, 8);
        gif.loop(0);
        gif.control(10).image(0, 0, 16, 12, std::vector<uint8_t>(192, 1));
        std::vector<uint8_t> sprite(30);
        for (size_t i = 0; i < sprite.size(); ++i) sprite[i] = uint8_t(i % 5 + 2);
        gif.control(20, 3, 2).image(4, 2, 6, 5, sprite);
        gif.control(10).image(0, 0, 16, 12, std::vector<uint8_t>(192, 5));
        gif.trailer();
        const std::string path = (dir / "placed.gif").string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(gif.bytes().data()), std::streamsize(gif.bytes().size()));
        return path;
    }
    void open(const std::string& path) {
        session().openPath(QString::fromStdString(path));
        QApplication::processEvents();
    }
    static void putOnClipboard(const QImage& image) {
        auto* mime = new QMimeData;
        mime->setImageData(image);
        QApplication::clipboard()->setMimeData(mime);
        QApplication::processEvents();
    }
    static std::vector<uint8_t> pixels(const TFrame& f) { return pixelsOf(*f.image); }
};

TEST_F(ClipboardCommands, CopyThenPasteGivesAnExactCopyAndUndoTakesItBack) {
    start();
    open(writePlacedGif());
    const TMyPalette before = *doc().globalPalette;
    session().listSelect(1);
    trigger(C::Copy);
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    EXPECT_TRUE(mime->hasFormat(heldFrameMimeType));
    EXPECT_EQ(qvariant_cast<QImage>(mime->imageData()).size(), QSize(6, 5));
    ASSERT_TRUE(action(C::Paste)->isEnabled());

    trigger(C::Paste);
    ASSERT_EQ(doc().frameList.count(), 4);
    const TFrame& copy = *doc().frameList.frameAt(1);
    const TFrame& original = *doc().frameList.frameAt(2);
    EXPECT_NE(&copy, &original);
    EXPECT_EQ(doc().currentFrame, &copy);
    EXPECT_EQ(copy.rect, (TRect{4, 2, 10, 7}));
    EXPECT_EQ(copy.displayTime(), original.displayTime());
    EXPECT_TRUE(copy.restoreToBackground);
    EXPECT_EQ(copy.transparentIndex, original.transparentIndex);
    EXPECT_EQ(pixels(copy), pixels(original));
    EXPECT_EQ(doc().frameList.textAt(1), doc().frameList.textAt(2));
    EXPECT_EQ(action(C::Undo)->text(), "&Undo paste frame");

    trigger(C::Undo);
    EXPECT_EQ(doc().frameList.count(), 3);
    EXPECT_EQ(*doc().globalPalette, before);
    // The clipboard still holds the frame: Paste Append puts it at the end.
    trigger(C::PasteAppend);
    ASSERT_EQ(doc().frameList.count(), 4);
    EXPECT_EQ(pixels(*doc().frameList.frameAt(3)), pixels(*doc().frameList.frameAt(1)));
}

TEST_F(ClipboardCommands, CutOfTheLastOfThreeFramesSelectsFrame1) {
    start();
    open(writePlacedGif());
    session().listSelect(2);
    const std::vector<uint8_t> cut = pixels(*doc().currentFrame);
    trigger(C::Cut);
    EXPECT_EQ(doc().frameList.count(), 2);
    EXPECT_EQ(doc().frameList.selectedIndex(), 1);
    EXPECT_EQ(doc().currentFrame, doc().frameList.frameAt(1));
    EXPECT_EQ(window().frameListWindow().listBox().selectionModel()->selectedRows().value(0).row(), 1);
    EXPECT_EQ(action(C::Undo)->text(), "&Undo cut frame");
    // What was cut is on the clipboard.
    trigger(C::PasteAppend);
    ASSERT_EQ(doc().frameList.count(), 3);
    EXPECT_EQ(pixels(*doc().frameList.frameAt(2)), cut);
}

TEST_F(ClipboardCommands, DeleteOfTheOnlyFrameLeavesSaveAsDisabledAndTheClipboardAlone) {
    start();
    open(writeGif("one.gif", 1));
    QApplication::clipboard()->setText(QStringLiteral("kept"));
    ASSERT_TRUE(action(C::SaveAs)->isEnabled());
    trigger(C::Delete);
    EXPECT_EQ(doc().frameList.count(), 0);
    EXPECT_EQ(doc().currentFrame, nullptr);
    EXPECT_FALSE(action(C::SaveAs)->isEnabled());
    EXPECT_EQ(QApplication::clipboard()->text(), "kept");
    EXPECT_EQ(action(C::Undo)->text(), "&Undo delete frame");
}

TEST_F(ClipboardCommands, ACommentFrameTravelsAsTextAndPastesBackAsANewComment) {
    start();
    open(writeGif("commented.gif", 2, 8, 6, 10, "Made by hand\r\nsecond line"));
    ASSERT_TRUE(doc().frameList.frameAt(0)->isComment);
    session().listSelect(0);
    trigger(C::Copy);
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    EXPECT_EQ(mime->text(), "Made by hand\nsecond line");
    EXPECT_FALSE(mime->hasFormat(heldFrameMimeType));

    session().listSelect(2);
    trigger(C::Paste);
    ASSERT_EQ(doc().frameList.count(), 4);
    const auto* pasted = dynamic_cast<const TTextFrame*>(doc().frameList.frameAt(2));
    ASSERT_NE(pasted, nullptr);
    EXPECT_EQ(pasted->getText(), "Made by hand\nsecond line");
    EXPECT_EQ(pasted->shareCount(), 1);  // its own text, not the first comment's
}

TEST_F(ClipboardCommands, BitmapsOfOtherProgramsAreNamedClipboard1And2) {
    start();
    QApplication::clipboard()->clear();
    QApplication::processEvents();
    EXPECT_FALSE(action(C::Paste)->isEnabled());
    QImage red(8, 6, QImage::Format_RGB32);
    red.fill(Qt::red);
    putOnClipboard(red);
    ASSERT_TRUE(action(C::Paste)->isEnabled());
    trigger(C::Paste);
    QImage blue(5, 4, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    putOnClipboard(blue);
    trigger(C::PasteAppend);
    EXPECT_EQ(frameTexts(), (std::vector<std::string>{"Clipboard 1", "Clipboard 2"}));
    EXPECT_EQ(doc().currentFrame, doc().frameList.frameAt(1));
    const TFrame& second = *doc().frameList.frameAt(1);
    EXPECT_EQ(second.rect, (TRect{0, 0, 5, 4}));
    const PaletteEntry shown = doc().globalPalette->entry(second.image->pixel(2, 2));
    EXPECT_EQ(shown, (PaletteEntry{0, 0, 255, 0}));
}

TEST_F(ClipboardCommands, ATrueColourImagePastesAsAn8BitFrameOfItsColours) {
    start();
    QImage gradient(32, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) gradient.setPixel(x, y, qRgb(x * 8, y * 8, 255 - x * 4));  // 1024 colours
    putOnClipboard(gradient);
    trigger(C::Paste);
    ASSERT_EQ(doc().frameList.count(), 1);
    const TFrame& frame = *doc().frameList.frameAt(0);
    ASSERT_TRUE(frame.image);
    EXPECT_EQ(frame.rect, (TRect{0, 0, 32, 32}));
    const TMyPalette& palette = frame.localPalette ? *frame.localPalette : *doc().globalPalette;
    EXPECT_LE(palette.colorCount, 256);
    int worst = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const PaletteEntry e = palette.entry(frame.image->pixel(x, y));
            const QRgb want = gradient.pixel(x, y);
            worst = std::max({worst, std::abs(e.red - qRed(want)), std::abs(e.green - qGreen(want)),
                              std::abs(e.blue - qBlue(want))});
        }
    EXPECT_LE(worst, 24);
}

}  // namespace
}  // namespace movigram::test
