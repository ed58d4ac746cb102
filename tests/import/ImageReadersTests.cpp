// The reader table: which reader a file's first bytes or its extension
// reach, and what each one reports when it fails.
#include <gtest/gtest.h>

#include "ImportTestFiles.h"
#include "support/PngBuilder.h"
#include "document/GifReader.h"
#include "import/ImageReaders.h"
#include "support/GifBuilder.h"

namespace movigram {
namespace {

using namespace test;

TEST(ImageReaders, FirstBytesChooseTheReaderBeforeTheExtension) {
    ScratchDir dir;
    GifBuilder gif(2, 2);
    gif.image(0, 0, 2, 2, {0, 1, 2, 3}).trailer();
    BmpSpec layout;
    layout.width = 2, layout.height = 1, layout.bitCount = 24;
    layout.pixels = packPixelRows(2, 1, 3, [](int, int) { return 0x00FF00u; });

    // A GIF named as a bitmap, and one without extension, are read as GIFs.
    for (const char* name : {"really-a-gif.bmp", "no-extension"}) {
        ImportedFile read = readImageFile(dir.write(name, gif.bytes()));
        EXPECT_EQ(read.kind, ImportKind::Gif) << name;
        EXPECT_EQ(read.result, ImportOk) << name;
        EXPECT_EQ(read.frames.size(), 1u) << name;
    }
    ImportedFile bmp = readImageFile(dir.write("bitmap.gif", bmpFile(layout)));
    EXPECT_EQ(bmp.kind, ImportKind::Bmp);
    EXPECT_TRUE(bmp.image);
    // Animated PNG and AVIF are taken for pictures before FFmpeg's probe
    // takes them for video.
    const Bytes apng = apngFile(1, 1, {{1, 1, 0, 0, 1, 10, 0, 0, {1, 2, 3, 255}}, {1, 1, 0, 0, 1, 10, 0, 0, {4, 5, 6, 255}}});
    EXPECT_EQ(readImageFile(dir.write("picture.gif", apng)).kind, ImportKind::Png);
    EXPECT_EQ(importKindOf("a.mp4", apng), ImportKind::Png);
    const Bytes webp = {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'E', 'B', 'P'};
    EXPECT_EQ(importKindOf("a.avi", webp), ImportKind::Webp);
    const Bytes avif = {0, 0, 0, 0x1C, 'f', 't', 'y', 'p', 'm', 'i', 'f', '1', 0, 0, 0, 0,
                        'm', 'i', 'f', '1', 'a', 'v', 'i', 'f', 'm', 'i', 'a', 'f'};
    EXPECT_EQ(importKindOf("a.mp4", avif), ImportKind::Avif);
    const Bytes mp4 = {0, 0, 0, 0x18, 'f', 't', 'y', 'p', 'i', 's', 'o', 'm', 0, 0, 0, 0, 'i', 's', 'o', 'm', 'a', 'v', 'c', '1'};
    EXPECT_NE(importKindOf("a.avif", mp4), ImportKind::Avif);

    // Nothing fits: what was found is said.
    const std::string empty = dir.write("empty.avi", {});
    ImportedFile none = readImageFile(empty);
    EXPECT_EQ(none.result, ImportCorrupt);
    EXPECT_EQ(none.message, "File \"" + empty + "\" is empty");
    const std::string zip = dir.write("archive", {'P', 'K', 3, 4, 20, 0});
    ImportedFile unknown = readImageFile(zip);
    EXPECT_EQ(unknown.result, ImportSkipped);
    EXPECT_EQ(unknown.message, "File \"" + zip +
                                   "\" is not a GIF, BMP, PCX, JPEG, PNG, WebP, AVIF, video or text file (it starts "
                                   "with 50 4B 03 04 14 00)");
    // Text has no signature: its extension decides.
    EXPECT_EQ(readImageFile(dir.write("note.txt", {'B', 'M', '!'})).kind, ImportKind::Text);
}

TEST(ImageReaders, ExtensionsWithoutRegardToCase) {
    const std::pair<const char*, ImportKind> cases[] = {
        {"a.gif", ImportKind::Gif},         {"a.PCX", ImportKind::Pcx},     {"a.qcx", ImportKind::Qcx},
        {"a.Bmp", ImportKind::Bmp},         {"a.jpg", ImportKind::Jpeg},    {"a.JPEG", ImportKind::Jpeg},
        {"a.avi", ImportKind::Video},       {"a.mp4", ImportKind::Video},   {"a.webm", ImportKind::Video},
        {"a.txt", ImportKind::Text},        {"a.png", ImportKind::Png},     {"a.APNG", ImportKind::Png},
        {"a.WebP", ImportKind::Webp},       {"a.avif", ImportKind::Avif},   {"gif", ImportKind::None},
        {"dir.gif/file", ImportKind::None}, {"x.tar.gif", ImportKind::Gif},
    };
    for (const auto& [path, kind] : cases) EXPECT_EQ(importKindOf(path), kind) << path;
}

TEST(ImageReaders, FailuresAndTheirMessages) {
    ScratchDir dir;
    const Bytes junk(200, 0x33);
    ImportedFile bmp = readImageFile(dir.write("bad.bmp", junk));
    EXPECT_EQ(bmp.result, ImportCorrupt);
    EXPECT_EQ(bmp.caption, "File error");
    EXPECT_EQ(bmp.message, "GDI file read failure");

    for (const char* name : {"bad.pcx", "bad.qcx", "bad.jpg"}) {
        ImportedFile still = readImageFile(dir.write(name, junk));
        EXPECT_EQ(still.result, ImportCorrupt) << name;
        EXPECT_TRUE(still.message.empty()) << name;
        EXPECT_FALSE(still.image) << name;
    }

    for (const char* name : {"bad.png", "bad.webp", "bad.avif"}) {
        ImportedFile picture = readImageFile(dir.write(name, junk));
        EXPECT_EQ(picture.result, ImportCorrupt) << name;
        EXPECT_EQ(picture.caption, "File error");
        EXPECT_NE(picture.message.find("is not a readable"), std::string::npos) << picture.message;
    }

    const std::string gifPath = dir.path("missing.gif");
    ImportedFile gif = readImageFile(gifPath);
    EXPECT_EQ(gif.result, ImportCannotOpen);
    EXPECT_EQ(gif.message, "Cannot open file \"" + gifPath + "\"");
}

TEST(ImageReaders, DeepStillImagesArePreviewedAndReduced) {
    BmpSpec layout;
    layout.width = 3, layout.height = 2, layout.bitCount = 24;
    layout.pixels = packPixelRows(3, 2, 3, [](int x, int y) { return x == 1 && y == 0 ? 0xFF0000u : 0x0000FFu; });
    ScratchDir dir;
    int previews = 0;
    ImportOptions options;
    options.preview = [&](const TrueColorImage& image) {
        ++previews;
        EXPECT_EQ(image.rgbAt(1, 0), (Rgb8{255, 0, 0}));
    };
    ImportedFile read = readImageFile(dir.write("deep.bmp", bmpFile(layout)), options);
    ASSERT_EQ(read.result, ImportOk);
    EXPECT_EQ(previews, 1);
    ASSERT_TRUE(read.image);
    EXPECT_EQ(colorAt(*read.image, 1, 0), (Rgb8{255, 0, 0}));
    EXPECT_EQ(colorAt(*read.image, 2, 1), (Rgb8{0, 0, 255}));
    EXPECT_EQ(read.image->colorsUsed, 2);
}

TEST(ImageReaders, TextAndGifFiles) {
    ScratchDir dir;
    ImportedFile text = readImageFile(dir.write("note.txt", Bytes(70000, 'a')));
    EXPECT_EQ(text.kind, ImportKind::Text);
    EXPECT_EQ(text.text.size(), maxCommentFileBytes);

    GifBuilder gif(2, 2);
    gif.loop(3).image(0, 0, 2, 2, {0, 1, 2, 3}).image(0, 0, 2, 2, {3, 2, 1, 0}).trailer();
    const std::string path = dir.write("anim.gif", gif.bytes());
    ImportedFile anim = readImageFile(path);
    EXPECT_EQ(anim.result, ImportOk);
    EXPECT_TRUE(anim.multiFrameSource());
    EXPECT_EQ(anim.frames.size(), 2u);
    EXPECT_TRUE(anim.loopFound);
    EXPECT_EQ(anim.loopCount, readGif(path).loopCount);
}

}  // namespace
}  // namespace movigram
