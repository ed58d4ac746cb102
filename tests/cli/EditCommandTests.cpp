// "movigram-cli edit" run on files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "CliSupport.h"
#include "commands/FileCommands.h"
#include "support/GifBuilder.h"

namespace movigram::cli {
namespace {

class EditCommand : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() / ("movigram-edit-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        // Four 8 x 6 frames of one colour each, 0.2 s apart, looping.
        test::GifBuilder gif(8, 6, 8);
        gif.loop(0);
        for (int i = 0; i < 4; ++i) gif.control(20).image(0, 0, 8, 6, std::vector<uint8_t>(48, uint8_t(i + 1)));
        gif.trailer();
        in = (dir / "in.gif").string();
        out = (dir / "out.gif").string();
        std::ofstream(in, std::ios::binary)
            .write(reinterpret_cast<const char*>(gif.bytes().data()), std::streamsize(gif.bytes().size()));
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::unique_ptr<Document> edit(std::vector<std::string> steps) {
        Args args{in, "-o", out, "--no-comment"};
        args.insert(args.end(), steps.begin(), steps.end());
        EXPECT_EQ(runEdit(args), 0);
        auto doc = std::make_unique<Document>();
        EXPECT_TRUE(openFiles(*doc, {out}).clean());
        return doc;
    }
    std::filesystem::path dir;
    std::string in, out;
};

TEST_F(EditCommand, StepsRunInOrderAndTheResultIsSaved) {
    auto doc = edit({"--reverse", "1-3", "--loop", "3", "--delete", "0", "--crop", "all:2,1,6,5,align",
                     "--rotate", "0:90"});
    ASSERT_EQ(doc->frameList.count(), 3);
    EXPECT_EQ(doc->loopCount, 3);
    EXPECT_EQ(doc->screenWidth, 4);
    EXPECT_EQ(doc->screenHeight, 4);
    // Colours 1, 2, 3, 4 reversed at 1..3 give 1, 4, 3, 2; the first goes.
    const int expected[] = {4, 3, 2};
    for (int i = 0; i < 3; ++i) {
        const TFrame& f = *doc->frameList.frameAt(i);
        ASSERT_EQ(f.rect, (TRect{0, 0, 4, 4}));
        uint8_t rgb[3];
        test::GifBuilder::testColor(expected[i], rgb);
        const RgbQuad shown = f.image->colors()[f.image->pixel(3, 3)];
        EXPECT_EQ(shown, (RgbQuad{rgb[2], rgb[1], rgb[0], 0})) << i;
    }
}

TEST_F(EditCommand, EffectsAndTimingReachTheFile) {
    auto doc = edit({"--frame-rate", "all:50,2", "--wipe-to", "1:3,ms=50,index=0,dir=ttb", "--solid", "0"});
    // 4 frames, 3 wipe frames after frame 1, one solid frame before the
    // current one.
    ASSERT_EQ(doc->frameList.count(), 8);
    int shortFrames = 0;
    for (int i = 0; i < 8; ++i) shortFrames += doc->frameList.frameAt(i)->displayTime() == 50;
    EXPECT_EQ(shortFrames, 3);
}

TEST_F(EditCommand, ScaleTakesAPercentageOrASize) {
    auto half = edit({"--scale", "50%"});
    EXPECT_EQ((TSize{half->screenWidth, half->screenHeight}), (TSize{4, 3}));
    auto tall = edit({"--scale", "0x12"});
    EXPECT_EQ((TSize{tall->screenWidth, tall->screenHeight}), (TSize{16, 12}));
    EXPECT_EQ(tall->frameList.frameAt(3)->rect, (TRect{0, 0, 16, 12}));
}

TEST_F(EditCommand, TimingStepsSpeedCapAndDedupe) {
    // 4 frames of 200 ms: the two middle ones at half speed, then every
    // delay capped at 300 ms.
    auto slower = edit({"--speed", "1-2:0.5", "--cap-pauses", "300"});
    std::vector<int32_t> delays;
    for (int i = 0; i < slower->frameList.count(); ++i) delays.push_back(slower->frameList.frameAt(i)->displayTime());
    EXPECT_EQ(delays, (std::vector<int32_t>{200, 300, 300, 200}));
    // A copy of frame 1 beside it shows nothing new: merged back, its time added.
    auto merged = edit({"--duplicate", "1:2", "--dedupe"});
    ASSERT_EQ(merged->frameList.count(), 4);
    EXPECT_EQ(merged->frameList.frameAt(1)->displayTime(), 400);
}

TEST_F(EditCommand, CaptionThenPixelate) {
    // A caption whose text holds commas, placed at the top left, on the
    // first frame only; then its left half pixelated in cells of 4.
    auto doc = edit({"--scale", "0x48", "--caption", "0:A, B,x=0,y=0,size=16,color=255/255/255,outline=0",
                     "--pixelate", "0:0,0,20,24,cell=4"});
    const TFrame& first = *doc->frameList.frameAt(0);
    ASSERT_EQ(first.rect, (TRect{0, 0, 64, 48}));
    const uint8_t plain = first.image->pixel(63, 47);
    std::set<uint8_t> captioned, pixelatedCell;
    for (int y = 0; y < 24; ++y)
        for (int x = 20; x < 64; ++x) captioned.insert(first.image->pixel(x, y));
    EXPECT_GT(captioned.size(), 1u) << "the letters after the comma are drawn";
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 20; ++x) EXPECT_EQ(first.image->pixel(x, y), first.image->pixel(x / 4 * 4, y / 4 * 4));
    for (int y = 24; y < 48; ++y) EXPECT_EQ(first.image->pixel(5, y), plain) << "below the caption";
    // The other frames are as they were: one colour.
    const TFrame& second = *doc->frameList.frameAt(1);
    for (int y = 0; y < second.image->height(); ++y)
        for (int x = 0; x < second.image->width(); ++x) ASSERT_EQ(second.image->pixel(x, y), second.image->pixel(0, 0));
}

TEST_F(EditCommand, MistakesAreReportedWithTheirStep) {
    struct Case {
        std::vector<std::string> steps;
        const char* message;
        int status;
    };
    const Case cases[] = {
        {{"--reverse", "2-9"}, "--reverse: frame 9 does not exist (the animation has 4 frames)", 1},
        {{"--twist", "all"}, "unknown step", 2},
        {{"--rotate", "all:45"}, "rotations are by 90, 180 or 270 degrees", 1},
        {{"--delete", "1-3", "--wipe-next", "0:2"}, "has no frame after it", 1},
        {{"--delete", "all"}, "no frame is left to save", 1},
        {{"--spiral-to", "2,dir=ltr"}, "dir=ltr is not a direction of this effect (out, in)", 2},
        {{"--wipe-to", "1:2,ms=-1"}, "ms=-1 is not a whole number from 0 to 655350", 2},
        {{"--scale", "half"}, "--scale: takes a percentage (50%) or WIDTHxHEIGHT", 2},
        {{"--scale", "900000%"}, "a side would exceed 65535 pixels", 1},
        {{"--speed", "all:9"}, "takes FRAMES:FACTOR, a factor from 0.25", 2},
        {{"--speed", "2"}, "needs FRAMES:VALUE", 2},
        {{"--cap-pauses", "5"}, "out of range (10 to 655350)", 2},
        {{"--caption", "all:hi,size=2"}, "size=2 is not 4 to 400 points", 2},
        {{"--caption", "all:hi,color=300/0/0"}, "color=300/0/0 is not R/G/B", 2},
        {{"--caption", "all:,x=1"}, "takes FRAMES:TEXT", 2},
        {{"--caption", "0:hi,x=500"}, "the caption falls outside the selected frames", 1},
        {{"--pixelate", "all:5,5,2,2"}, "needs L < R and T < B", 2},
        {{"--pixelate", "all:1,2,3"}, "takes FRAMES:L,T,R,B[,cell=N], N from 2 to 256", 2},
        {{"--blur", "all:0,0,4,4,radius=0"}, "takes FRAMES:L,T,R,B[,radius=N]", 2},
        {{"--blur", "all:100,100,200,200"}, "the rectangle misses every selected frame", 1},
    };
    for (const Case& c : cases) {
        Args args{in, "-o", out};
        args.insert(args.end(), c.steps.begin(), c.steps.end());
        try {
            runEdit(args);
            ADD_FAILURE() << c.message;
        } catch (const CliError& e) {
            EXPECT_NE(e.message.find(c.message), std::string::npos) << e.message;
            EXPECT_EQ(e.status, c.status) << e.message;
        }
    }
}

}  // namespace
}  // namespace movigram::cli
