// "movigram-cli edit" run on files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

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
