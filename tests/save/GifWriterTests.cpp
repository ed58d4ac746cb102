// Writing GIF files: the blocks and their fields, the atomic save and reading
// back what was written.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <fstream>

#include "document/FileIo.h"
#include "document/FrameChain.h"
#include "document/GifReader.h"
#include "save/GifWriter.h"
#include "document/ViewerCanvas.h"
#include "support/GifBuilder.h"

namespace movigram {
namespace {

using test::Bytes;
using test::makeFrame;
using test::testPalette;

Bytes write(TFrame* first, const TMyPalette& palette, GifWriteOptions options = {}) {
    ByteSink sink;
    EXPECT_TRUE(writeGifTo(sink, first, palette, options));
    return sink.bytes();
}

// Position of the first graphic control extension.
size_t controlAt(const Bytes& b) {
    for (size_t i = 13; i + 1 < b.size(); ++i)
        if (b[i] == 0x21 && b[i + 1] == 0xF9) return i;
    return 0;
}

size_t imageAt(const Bytes& b, size_t from) {
    for (size_t i = from; i < b.size(); ++i)
        if (b[i] == 0x2C) return i;
    return 0;
}

auto solid(int w, int h, int v) { return makeFrame(w, h, [v](int, int) { return v; }); }

TEST(GifWriter, GlobalTableSizeAndScreen) {
    for (int colors : {1, 3, 4}) {
        auto frame = solid(5, 3, 0);
        const Bytes b = write(frame.get(), testPalette(colors));
        ASSERT_GE(b.size(), 13u + 12u);
        EXPECT_EQ(std::string(b.begin(), b.begin() + 6), "GIF89a");
        EXPECT_EQ(b[6], 5);
        EXPECT_EQ(b[8], 3);
        EXPECT_EQ(b[10], 0xD1) << colors << " colours";
        // Four triples; those past the palette are black.
        if (colors == 3) {
            EXPECT_EQ((Bytes{b[22], b[23], b[24]}), (Bytes{0, 0, 0}));
        }
        EXPECT_EQ(b[25], 0x21);  // the next block follows the four triples
    }
    auto frame = solid(1, 1, 0);
    EXPECT_EQ(write(frame.get(), testPalette(200))[10], 0xD7);
}

TEST(GifWriter, DelaysAreRoundedToHundredths) {
    struct Case {
        int32_t frameTime, repeat;
        int delay;
    };
    // 15 ms x 3 = 45 ms rounds to 5 hundredths; 35 ms x 2 = 70 ms stays 7.
    for (Case c : {Case{250, 3, 75}, Case{15, 3, 5}, Case{35, 2, 7}, Case{35, 4, 14}, Case{1000, 1000, 65535}}) {
        auto frame = solid(2, 2, 1);
        frame->frameTime = c.frameTime;
        frame->repeat = c.repeat;
        const Bytes b = write(frame.get(), testPalette(4));
        const size_t at = controlAt(b);
        ASSERT_NE(at, 0u);
        EXPECT_EQ(b[at + 4] | b[at + 5] << 8, c.delay) << c.frameTime << " x " << c.repeat;
    }
}

TEST(GifWriter, ControlExtensionFlags) {
    auto frame = solid(2, 2, 1);
    frame->transparentIndex = 7;
    frame->restoreToBackground = true;
    Bytes b = write(frame.get(), testPalette(8));
    size_t at = controlAt(b);
    EXPECT_EQ((Bytes{b[at + 2], b[at + 3], b[at + 6], b[at + 7]}), (Bytes{4, 0x09, 7, 0}));

    frame->transparentIndex = -1;
    frame->restoreToBackground = false;
    b = write(frame.get(), testPalette(8));
    at = controlAt(b);
    EXPECT_EQ((Bytes{b[at + 3], b[at + 6]}), (Bytes{0, 0}));
}

TEST(GifWriter, LoopExtension) {
    auto a = solid(2, 2, 0), b = solid(2, 2, 1);
    a->next = b.get();
    auto loopBytes = [&](bool circular, int32_t count) -> int {
        b->next = circular ? a.get() : nullptr;
        GifWriteOptions options;
        options.loopCount = count;
        const Bytes bytes = write(a.get(), testPalette(4), options);
        const size_t at = 13 + 12;
        if (bytes[at] != 0x21 || bytes[at + 1] != 0xFF) return -1;
        EXPECT_EQ(std::string(bytes.begin() + at + 3, bytes.begin() + at + 14), "NETSCAPE2.0");
        return bytes[at + 16] | bytes[at + 17] << 8;
    };
    EXPECT_EQ(loopBytes(true, 1), -1);
    EXPECT_EQ(loopBytes(true, 0), 0);
    EXPECT_EQ(loopBytes(true, 5), 4);
    EXPECT_EQ(loopBytes(false, 5), -1);
    b->next = nullptr;
}

TEST(GifWriter, LocalPaletteAndDescriptor) {
    auto frame = solid(3, 2, 1);
    frame->moveTo({4, 5});
    frame->localPalette = std::make_unique<TMyPalette>(testPalette(2));
    const Bytes b = write(frame.get(), testPalette(4));
    const size_t at = imageAt(b, controlAt(b) + 8);
    ASSERT_NE(at, 0u);
    EXPECT_EQ((Bytes{b[at + 1], b[at + 3], b[at + 5], b[at + 7], b[at + 9]}), (Bytes{4, 5, 3, 2, 0x81}));
    // Four triples of local table, then the code size byte 2.
    EXPECT_EQ(b[at + 10 + 12], 2);
}

TEST(GifWriter, CropToDirtyWritesDirtyRectsAndLeavesOutUnchangedFrames) {
    auto a = solid(4, 4, 1), b = solid(4, 4, 2), c = solid(4, 4, 3);
    a->next = b.get();
    b->next = c.get();
    b->dirtyRect = {1, 1, 3, 2};
    c->dirtyRect = {2, 2, 2, 2};  // empty: left out altogether
    GifWriteOptions options;
    options.cropToDirty = true;
    ByteSink sink;
    ASSERT_TRUE(writeGifTo(sink, a.get(), testPalette(4), options));
    const auto back = readGifMemory(sink.bytes(), "x.gif");
    ASSERT_EQ(back.result, GifOk);
    ASSERT_EQ(back.frames.size(), 2u);
    EXPECT_EQ(back.frames[1]->rect, (TRect{1, 1, 3, 2}));
    EXPECT_EQ(test::pixelsOf(*back.frames[1]->image), (std::vector<uint8_t>{2, 2}));
}

TEST(GifWriter, FramesLeftOfOrAboveTheOriginAreClipped) {
    auto frame = makeFrame(4, 4, [](int x, int y) { return x + 4 * y; });
    frame->moveTo({-2, -1});
    const Bytes b = write(frame.get(), testPalette(16));
    const auto back = readGifMemory(b, "x.gif");
    ASSERT_EQ(back.frames.size(), 1u);
    EXPECT_EQ(back.frames[0]->rect, (TRect{0, 0, 2, 3}));
    EXPECT_EQ(test::pixelsOf(*back.frames[0]->image), (std::vector<uint8_t>{6, 7, 10, 11, 14, 15}));
}

// Reads back what was written and checks that every value and transparent
// index lies in the table written with the image, and that each pixel looks
// as it did (values past a palette show black), transparent where it was.
void expectIndicesInTablesAndSameLook(TFrame* first, const TMyPalette& global) {
    const auto back = readGifMemory(write(first, global), "x.gif");
    ASSERT_EQ(back.result, GifOk);
    const TMyPalette backGlobal = back.globalPalette.value_or(TMyPalette());
    size_t k = 0;
    forEachInChain(first, [&](TFrame& want) {
        ASSERT_LT(k, back.frames.size());
        const TFrame& got = *back.frames[k++];
        const int entries = got.localPalette ? got.localPalette->colorCount : backGlobal.colorCount;
        EXPECT_LT(got.transparentIndex, entries) << "frame " << k - 1;
        EXPECT_EQ(got.transparentIndex >= 0, want.transparentIndex >= 0);
        if (want.restoreToBackground && want.transparentIndex >= 0) {
            EXPECT_EQ(ViewerCanvas::colorOf(got, &backGlobal, uint8_t(got.transparentIndex)),
                      ViewerCanvas::colorOf(want, &global, uint8_t(want.transparentIndex)))
                << "the colour a restored area is filled with";
        }
        for (int32_t y = 0; y < want.image->height(); ++y)
            for (int32_t x = 0; x < want.image->width(); ++x) {
                const uint8_t v = want.image->pixel(x, y), w = got.image->pixel(x, y);
                ASSERT_LT(w, entries) << "frame " << k - 1 << " at " << x << "," << y;
                ASSERT_EQ(w == got.transparentIndex, v == want.transparentIndex);
                if (v != want.transparentIndex) {
                    ASSERT_EQ(ViewerCanvas::colorOf(got, &backGlobal, w), ViewerCanvas::colorOf(want, &global, v));
                }
            }
    });
}

TEST(GifWriter, EveryIndexWrittenLiesInItsTable) {
    // A frame whose local table has one colour but whose pixels reach 255.
    auto pasted = makeFrame(3, 2, [](int x, int y) { return y ? 0 : std::array{255, 128, 7}[size_t(x)]; });
    pasted->localPalette = std::make_unique<TMyPalette>(testPalette(1));
    expectIndicesInTablesAndSameLook(pasted.get(), testPalette(4));

    // Transparent index equal to the table's size, every entry drawn: the
    // table grows by entries no pixel uses.
    auto keyed = makeFrame(5, 2, [](int x, int) { return x; });
    keyed->localPalette = std::make_unique<TMyPalette>(testPalette(4));
    keyed->transparentIndex = 4;
    keyed->restoreToBackground = true;
    expectIndicesInTablesAndSameLook(keyed.get(), testPalette(4));

    // The same on the global table, after a frame it serves as it is, and a
    // transparent index past it that no pixel uses: the table grows for the
    // frame that needs it.
    auto plain = makeFrame(4, 4, [](int x, int y) { return (x + y) % 4; });
    auto wide = makeFrame(4, 4, [](int x, int y) { return x == 3 ? 200 : (x + y) % 4; });
    auto unused = solid(4, 4, 2);
    wide->transparentIndex = 1;
    unused->transparentIndex = 9;
    plain->next = wide.get();
    wide->next = unused.get();
    expectIndicesInTablesAndSameLook(plain.get(), testPalette(4));

    // Only the part written counts: a dirty rectangle below rows that fit.
    auto cropped = makeFrame(4, 6, [](int x, int y) { return y < 3 ? x : 200; });
    cropped->dirtyRect = {1, 3, 3, 6};
    GifWriteOptions options;
    options.cropToDirty = true;
    const auto back = readGifMemory(write(cropped.get(), testPalette(4), options), "x.gif");
    ASSERT_EQ(back.frames.size(), 1u);
    for (uint8_t v : test::pixelsOf(*back.frames[0]->image)) EXPECT_LT(v, back.globalPalette->colorCount);
}

TEST(GifWriter, RoundTripKeepsFrames) {
    auto a = makeFrame(6, 5, [](int x, int y) { return (x + y) % 4; });
    auto b = makeFrame(3, 2, [](int x, int y) { return x * y; });
    auto comment = std::make_unique<TTextFrame>(nullptr, std::string(600, 'c'));
    a->frameTime = 120;
    b->moveTo({2, 3});
    b->transparentIndex = 1;
    b->localPalette = std::make_unique<TMyPalette>(testPalette(8));
    a->next = comment.get();
    comment->next = b.get();
    b->next = a.get();
    GifWriteOptions options;
    options.loopCount = 3;
    ByteSink sink;
    ASSERT_TRUE(writeGifTo(sink, a.get(), testPalette(4), options));
    const auto back = readGifMemory(sink.bytes(), "x.gif");
    ASSERT_EQ(back.result, GifOk);
    ASSERT_EQ(back.frames.size(), 3u);
    EXPECT_TRUE(back.loopFound);
    EXPECT_EQ(back.loopCount, 3);
    EXPECT_EQ(test::pixelsOf(*back.frames[0]->image), test::pixelsOf(*a->image));
    EXPECT_EQ(back.frames[0]->frameTime, 120);
    EXPECT_EQ(static_cast<const TTextFrame&>(*back.frames[1]).getText(), std::string(600, 'c'));
    EXPECT_EQ(back.frames[2]->rect, (TRect{2, 3, 5, 5}));
    EXPECT_EQ(back.frames[2]->transparentIndex, 1);
    ASSERT_TRUE(back.frames[2]->localPalette);
    EXPECT_EQ(*back.frames[2]->localPalette, testPalette(8));
    b->next = nullptr;
}

TEST(GifWriter, AWriteOverItsLimitFailsAndKeepsNothing) {
    auto frame = makeFrame(40, 30, [](int x, int y) { return (x * 7 + y * 3) % 16; });
    ByteSink whole;
    ASSERT_TRUE(writeGifTo(whole, frame.get(), testPalette(16), {}));
    ByteSink exact(whole.bytes().size()), short_(whole.bytes().size() - 1);
    EXPECT_TRUE(writeGifTo(exact, frame.get(), testPalette(16), {}));
    EXPECT_EQ(exact.bytes(), whole.bytes());
    EXPECT_FALSE(writeGifTo(short_, frame.get(), testPalette(16), {}));
    EXPECT_TRUE(short_.bytes().empty());
}

class AtomicSave : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("movigram-save-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    size_t filesIn() const {
        return size_t(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()));
    }
    std::filesystem::path dir;
};

TEST_F(AtomicSave, WritesExactlyThePathGiven) {
    auto frame = solid(3, 3, 1);
    const auto result = writeGif((dir / "plain").string(), frame.get(), testPalette(4), {});
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.path, (dir / "plain").string());
    EXPECT_EQ(readGif(result.path).frames.size(), 1u);
    EXPECT_EQ(filesIn(), 1u);  // no temporary file left behind, no other name
}

TEST_F(AtomicSave, FailuresLeaveTheOldFileAloneAndSayWhy) {
    // The target is a folder: the new file cannot take its place.
    std::filesystem::create_directories(dir / "taken.gif");
    std::ofstream(dir / "taken.gif" / "keep") << "precious";
    auto frame = solid(3, 3, 1);
    const auto result = writeGif((dir / "taken.gif").string(), frame.get(), testPalette(4), {});
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorCode, GifErrorCreate);
    EXPECT_EQ(result.systemError, EISDIR);
    EXPECT_TRUE(std::filesystem::exists(dir / "taken.gif" / "keep"));
    EXPECT_EQ(filesIn(), 1u);

    const auto nowhere = writeGif((dir / "missing" / "x.gif").string(), frame.get(), testPalette(4), {});
    EXPECT_FALSE(nowhere.ok);
    EXPECT_EQ(gifWriteErrorMessage(nowhere),
              "Cannot write \"" + (dir / "missing" / "x.gif").string() + "\": No such file or directory");
}

TEST_F(AtomicSave, DevicesAreWrittenInPlace) {
    auto frame = solid(3, 3, 1);
    // A device cannot be replaced by a rename, and must not be: a full disk
    // is reported with the system's reason and the device stays.
    struct stat st;
    if (::stat("/dev/full", &st) != 0 || !S_ISCHR(st.st_mode)) GTEST_SKIP() << "no /dev/full here";
    const auto full = writeGif("/dev/full", frame.get(), testPalette(4), {});
    EXPECT_FALSE(full.ok);
    EXPECT_EQ(full.systemError, ENOSPC);
    ASSERT_EQ(::stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_TRUE(writeGif("/dev/null", frame.get(), testPalette(4), {}).ok);
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST_F(AtomicSave, ReplacesAnExistingFileKeepingItsMode) {
    const auto path = dir / "old.gif";
    std::ofstream(path) << "old contents";
    ::chmod(path.c_str(), 0640);
    auto frame = solid(3, 3, 1);
    ASSERT_TRUE(writeGif(path.string(), frame.get(), testPalette(4), {}).ok);
    EXPECT_EQ(readGif(path.string()).result, GifOk);
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

}  // namespace
}  // namespace movigram
