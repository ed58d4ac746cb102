// Palette text files, and loading the global palette from palette and image
// files.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "ImportTestFiles.h"
#include "colour/PaletteFile.h"
#include "import/PaletteLoading.h"
#include "support/GifBuilder.h"

namespace movigram {
namespace {

using namespace test;

struct MessageHost : Host {
    std::vector<std::pair<std::string, std::string>> messages;
    void showMessage(const std::string& caption, const std::string& text, MessageIcon) override {
        messages.emplace_back(caption, text);
    }
};

Bytes textBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<Rgb8> colorsOf(const TMyPalette& p) {
    std::vector<Rgb8> out;
    for (int i = 0; i < p.colorCount; ++i) out.push_back({p.entry(i).red, p.entry(i).green, p.entry(i).blue});
    return out;
}

TEST(PaletteFile, StoreWritesTheNativeFormat) {
    ScratchDir dir;
    const TMyPalette palette({{0, 0, 0, 0}, {255, 0, 0, 0}, {10, 20, 30, 0}});
    ASSERT_TRUE(storePalette(palette, dir.path("three.pal")));
    EXPECT_EQ(fileText(dir.path("three.pal")), "MVGR-PAL\r\n0100\r\n3\r\n0 0 0\r\n255 0 0\r\n10 20 30\r\n");
    EXPECT_EQ(colorsOf(readPaletteFile(dir.path("three.pal"))),
              (std::vector<Rgb8>{{0, 0, 0}, {255, 0, 0}, {10, 20, 30}}));
    EXPECT_FALSE(storePalette(palette, dir.path("no/such/folder/x.pal")));
}

TEST(PaletteFile, ReadingRules) {
    struct Case {
        const char* what;
        std::string text;
        std::vector<Rgb8> colors;
    };
    const Case cases[] = {
        {"JASC with a repeated colour",
         "JASC-PAL\r\n0100\r\n4\r\n1 2 3\r\n1 2 3\r\n4 5 6\r\n7 8 9\r\n",
         {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}},
        {"header lines not checked", "anything\nat all\n  +2\n9 9 9\n8 8 8\n", {{9, 9, 9}, {8, 8, 8}}},
        {"missing channels keep the previous line's", "h\nv\n3\n10 20 30\n40\n\n", {{10, 20, 30}, {40, 20, 30}}},
        {"first line short", "h\nv\n1\n5\n", {{5, 0, 0}}},
        {"low eight bits", "h\nv\n1\n256 -1 300\n", {{0, 255, 44}}},
        {"file ends early", "h\nv\n10\n1 1 1\n2 2 2", {{1, 1, 1}, {2, 2, 2}}},
        {"zero count", "h\nv\n0\n1 1 1\n", {}},
        {"negative count", "h\nv\n-3\n1 1 1\n", {}},
        {"no number", "h\nv\nabc\n1 1 1\n", {}},
        {"two lines only", "h\nv\n", {}},
        // Past 99 characters a line is ignored up to its end.
        {"long lines", std::string(5000, 'h') + "\nv\n2\n1 2 3" + std::string(200, ' ') + "4\n5 6 7\n",
         {{1, 2, 3}, {5, 6, 7}}},
    };
    ScratchDir dir;
    for (const Case& c : cases)
        EXPECT_EQ(colorsOf(readPaletteFile(dir.write("p.pal", textBytes(c.text)))), c.colors) << c.what;
    EXPECT_EQ(readPaletteFile(dir.path("missing.pal")).colorCount, 0);
}

TEST(PaletteFile, CountAbove256ReadsAt256Lines) {
    std::string text = "MVGR-PAL\r\n0100\r\n300\r\n";
    for (int i = 0; i < 300; ++i) text += std::to_string(i % 256) + " " + std::to_string(i / 256) + " 0\r\n";
    ScratchDir dir;
    const TMyPalette p = readPaletteFile(dir.write("big.pal", textBytes(text)));
    EXPECT_EQ(p.colorCount, 256);
    EXPECT_EQ(p.entry(255), (PaletteEntry{255, 0, 0, 0}));
}

// A document of two frames on a two-colour global palette, the second with a
// local palette.
Document twoFrames(MessageHost& host) {
    Document doc(&host);
    doc.globalPalette = std::make_unique<TMyPalette>(std::vector<PaletteEntry>{{200, 0, 0, 0}, {0, 0, 200, 0}});
    for (int i = 0; i < 2; ++i) {
        auto frame = makeFrame(2, 1, [](int x, int) { return x; });
        frame->image->colors() = doc.globalPalette->toColorTable();
        frame->image->colorsUsed = 2;
        doc.frameList.append("f", std::move(frame));
    }
    doc.frameList.frameAt(1)->localPalette = std::make_unique<TMyPalette>(*doc.globalPalette);
    doc.relink();
    return doc;
}

TEST(PaletteLoading, PaletteFileFillsAll256Entries) {
    MessageHost host;
    Document doc = twoFrames(host);
    ScratchDir dir;
    const std::string path =
        dir.write("dup.PAL", textBytes("JASC-PAL\r\n0100\r\n4\r\n1 2 3\r\n1 2 3\r\n4 5 6\r\n7 8 9\r\n"));
    PaletteLoadResult result = loadPalette(doc, path);
    ASSERT_TRUE(result.loaded);
    ASSERT_TRUE(result.previous);
    EXPECT_EQ(result.previous->entry(0), (PaletteEntry{200, 0, 0, 0}));
    EXPECT_EQ(doc.globalPalette->colorCount, 256);
    EXPECT_EQ(doc.globalPalette->entry(2), (PaletteEntry{7, 8, 9, 0}));
    for (int i = 3; i < 256; ++i) EXPECT_EQ(doc.globalPalette->entry(i), PaletteEntry{}) << i;
    // Every local palette is gone and every frame is on the new palette.
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(doc.frameList.frameAt(i)->localPalette);
        EXPECT_EQ(doc.frameList.frameAt(i)->image->colors()[0], (RgbQuad{3, 2, 1, 0}));
    }
    EXPECT_TRUE(host.messages.empty());
}

TEST(PaletteLoading, GifPaletteIsTheFirstFrameColoursInIndexOrder) {
    // The first frame uses 12 of its 16 colours, in scrambled order.
    const std::vector<uint8_t> pixels = {9, 3, 14, 0, 5, 11, 10, 7, 2, 12, 9, 6, 1, 14, 5, 0};
    GifBuilder gif(4, 4, 16);
    gif.comment("first").image(0, 0, 4, 4, pixels).image(0, 0, 4, 4, std::vector<uint8_t>(16, 15)).trailer();
    ScratchDir dir;
    Document doc;
    ASSERT_TRUE(loadPalette(doc, dir.write("a.gif", gif.bytes())).loaded);
    const int used[] = {0, 1, 2, 3, 5, 6, 7, 9, 10, 11, 12, 14};
    ASSERT_EQ(doc.globalPalette->colorCount, int(std::size(used)));
    for (size_t k = 0; k < std::size(used); ++k) {
        uint8_t rgb[3];
        GifBuilder::testColor(used[k], rgb);
        EXPECT_EQ(doc.globalPalette->entry(int(k)), (PaletteEntry{rgb[0], rgb[1], rgb[2], 0})) << k;
    }
}

TEST(PaletteLoading, PcxAndBmpColours) {
    ScratchDir dir;
    PcxSpec pcx;
    pcx.width = 4, pcx.height = 1;
    pcx.lines = {7, 3, 7, 9};
    for (int i = 0; i < 256; ++i) pcx.trailer.push_back({uint8_t(i), 50, 60});
    Document doc;
    ASSERT_TRUE(loadPalette(doc, dir.write("p.pcx", pcxFile(pcx))).loaded);
    EXPECT_EQ(colorsOf(*doc.globalPalette), (std::vector<Rgb8>{{7, 50, 60}, {3, 50, 60}, {9, 50, 60}}));

    BmpSpec bmp;
    bmp.width = 3, bmp.height = 1, bmp.bitCount = 4;
    bmp.palette = {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}};
    bmp.pixels = packIndexedRows(3, 1, 4, [](int x, int) { return 3 - x; });
    ASSERT_TRUE(loadPalette(doc, dir.write("p.bmp", bmpFile(bmp))).loaded);
    EXPECT_EQ(colorsOf(*doc.globalPalette), (std::vector<Rgb8>{{2, 2, 2}, {3, 3, 3}, {4, 4, 4}}));
}

TEST(PaletteLoading, FailuresLeaveThePaletteAlone) {
    MessageHost host;
    Document doc = twoFrames(host);
    const TMyPalette before = *doc.globalPalette;
    ScratchDir dir;
    const std::string missing = dir.path("gone.pal");
    EXPECT_FALSE(loadPalette(doc, missing).loaded);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], std::make_pair(std::string("File error"), "Cannot open file \"" + missing + "\""));

    EXPECT_FALSE(loadPalette(doc, dir.write("bad.pcx", Bytes(300, 1))).loaded);
    EXPECT_FALSE(loadPalette(doc, dir.write("bad.bmp", Bytes(300, 1))).loaded);
    EXPECT_FALSE(loadPalette(doc, dir.write("bad.gif", Bytes(300, 1))).loaded);
    EXPECT_EQ(*doc.globalPalette, before);
    EXPECT_TRUE(doc.frameList.frameAt(1)->localPalette);
    ASSERT_EQ(host.messages.size(), 3u);
    EXPECT_EQ(host.messages[1].second, "GDI file read failure");
}

}  // namespace
}  // namespace movigram
