// The step grammar of scripted edits, and "movigram-cli edit" run on files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "CliSupport.h"
#include "EditScript.h"
#include "commands/FileCommands.h"
#include "support/GifBuilder.h"

namespace movigram::cli {
namespace {

TEST(EditScript, ParsesEachArgumentForm) {
    const EditScript script = parseEditScript({"--reverse", "2-6", "--shift", "0-9:5,-3", "--crop",
                                               "all:10,20,110,70,align", "--rotate", "1,3:90", "--restore",
                                               "all:background", "--frame-rate", "50", "--frame-rate", "4:40,3",
                                               "--transparent", "none", "--unoptimize", "--fade-in",
                                               "2:8,ms=50,color=1/2/3"});
    ASSERT_EQ(script.error, "");
    ASSERT_EQ(script.steps.size(), 10u);
    const auto& s = script.steps;
    EXPECT_EQ(s[0].name, "reverse");
    EXPECT_EQ(s[0].frames->ranges, (std::vector<std::pair<int32_t, int32_t>>{{2, 6}}));
    EXPECT_EQ(s[1].values, (std::vector<int32_t>{5, -3}));
    EXPECT_TRUE(s[2].frames->all);
    EXPECT_EQ(s[2].values, (std::vector<int32_t>{10, 20, 110, 70}));
    EXPECT_EQ(s[2].word, "align");
    EXPECT_EQ(s[3].frames->ranges, (std::vector<std::pair<int32_t, int32_t>>{{1, 1}, {3, 3}}));
    EXPECT_EQ(s[4].word, "background");
    EXPECT_FALSE(s[5].frames.has_value());
    EXPECT_EQ(s[5].values, (std::vector<int32_t>{50}));
    EXPECT_EQ(s[6].values, (std::vector<int32_t>{40, 3}));
    EXPECT_EQ(s[7].word, "none");
    EXPECT_EQ(s[8].name, "unoptimize");
    EXPECT_EQ(s[9].name, "fade-in");
    EXPECT_EQ(s[9].frames->ranges.front().first, 2);
    EXPECT_EQ(s[9].values, (std::vector<int32_t>{8}));
    EXPECT_EQ(s[9].options.at("color"), "1/2/3");
}

TEST(EditScript, ReportsTheFirstMistake) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"--spin", "all"}, "unknown step \"--spin\""},
        {{"reverse"}, "is not a step"},
        {{"--reverse"}, "--reverse needs an argument"},
        {{"--reverse", "2-"}, "is not a frame selection"},
        {{"--reverse", "5-2"}, "is not a frame selection"},
        {{"--reverse", "1:3"}, "takes only a frame selection"},
        {{"--shift", "all"}, "needs FRAMES:VALUES"},
        {{"--shift", "all:5"}, "takes 2 values"},
        {{"--shift", "all:5,x"}, "\"x\" is not a number"},
        {{"--crop", "all:1,2,3,4,stretch"}, "is not a number or align"},
        {{"--restore", "all:sometimes"}, "needs FRAMES:background|none"},
        {{"--frame-rate", "50,2"}, "takes MS or FRAMES:MS,REPEAT"},
        {{"--loop", ""}, "missing value"},
        {{"--wipe-to", "4,speed=3"}, "unknown option \"speed\""},
        {{"--wipe-to", "x"}, "needs [FRAME:]COUNT"},
        // Numbers outside what the step takes, however long.
        {{"--shift", "all:70000,0"}, "\"70000\" is out of range (-65535 to 65535)"},
        {{"--crop", "all:-1,0,5,5"}, "\"-1\" is out of range (0 to 65535)"},
        {{"--solid", "256"}, "out of range (0 to 255)"},
        {{"--duplicate", "all:0"}, "out of range (1 to 2147483647)"},
        {{"--loop", "99999999999999999999"}, "out of range (0 to 65535)"},
        {{"--frame-rate", "all:0,1"}, "out of range (1 to 655350)"},
    };
    for (const Case& c : cases) {
        const EditScript script = parseEditScript(c.args);
        EXPECT_NE(script.error.find(c.message), std::string::npos) << script.error;
        EXPECT_TRUE(script.steps.empty() || !script.error.empty());
    }
}

TEST(EditScript, FrameSelectionsResolveAgainstTheFrameCount) {
    FrameSelection selection;
    std::string error;
    ASSERT_TRUE(parseFrameSpec("0,2-4,7")->resolve(8, selection, error));
    EXPECT_EQ(selection, (FrameSelection{0, 2, 3, 4, 7}));
    ASSERT_TRUE(parseFrameSpec("all")->resolve(3, selection, error));
    EXPECT_EQ(selection, (FrameSelection{0, 1, 2}));
    EXPECT_FALSE(parseFrameSpec("2-8")->resolve(8, selection, error));
    EXPECT_EQ(error, "frame 8 does not exist (the animation has 8 frames)");
    EXPECT_FALSE(parseFrameSpec("-1").has_value());
    EXPECT_FALSE(parseFrameSpec("").has_value());
}

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
