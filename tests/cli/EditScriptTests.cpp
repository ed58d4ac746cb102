// The step grammar of scripted edits.
#include <gtest/gtest.h>

#include "EditScript.h"

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

}  // namespace
}  // namespace movigram::cli
