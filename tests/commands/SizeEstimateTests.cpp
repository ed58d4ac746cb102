// The size a save would write, learnt without writing: the same bytes as
// the save at every level, none once asked to stop, and the text the
// status bar shows.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "commands/SaveCommands.h"
#include "save/GifWriter.h"
#include "save/MaxCompression.h"
#include "save/Optimiser.h"
#include "support/GifBuilder.h"

namespace movigram {
namespace {

// Frames of a recording on a grey ramp: a sprite moving over a still
// gradient, and every third frame the gradient grainy all over (where a
// lossy save takes close colours); enough for the second thread of maximum
// compression and for the writer's buffer to fill more than once.
std::unique_ptr<Document> recording() {
    auto doc = std::make_unique<Document>();
    std::vector<PaletteEntry> greys;
    for (int i = 0; i < 64; ++i) greys.push_back({uint8_t(4 * i), uint8_t(4 * i), uint8_t(4 * i), 0});
    doc->globalPalette = std::make_unique<TMyPalette>(greys);
    for (int f = 0; f < 24; ++f) {
        auto frame = test::makeFrame(160, 120, [&](int x, int y) {
            const int ramp = (x + y) / 5;
            if (x >= 5 * f && x < 5 * f + 30 && y >= 2 * f && y < 2 * f + 30) return 63 - (x * y + f) % 7;
            if (f % 3 == 0) return ramp + int((uint32_t(x + 7 * y * (f + 1)) * 2654435761u) >> 29);
            return ramp;
        });
        frame->frameTime = 50;
        doc->frameList.append("frame", std::move(frame));
    }
    rethread(*doc, 0);
    return doc;
}

struct Level {
    const char* name;
    bool optimize, splitAndMask, maximum;
    int lossy;
};
constexpr Level levels[] = {{"plain", false, false, false, 100}, {"optimize", true, false, false, 100},
                            {"-O", true, true, false, 100},      {"-O lossy", true, true, false, 40},
                            {"-O3", true, true, true, 100},      {"-O3 lossy", true, true, true, 40}};

void setLevel(Document& doc, const Level& level) {
    doc.optimizeOnSave = level.optimize;
    doc.splitDirty = doc.transparentMaskOption = level.splitAndMask;
    doc.maxCompression = level.maximum;
    doc.lossyQuality = level.lossy;
}

TEST(SizeEstimate, IsTheSizeOfTheFileSaved) {
    const auto out = std::filesystem::temp_directory_path() / ("movigram-estimate-" + std::to_string(getpid()) + ".gif");
    auto doc = recording();
    for (const Level& level : levels) {
        setLevel(*doc, level);
        const std::optional<uint64_t> estimate = SizeEstimate(*doc).run();
        ASSERT_TRUE(writePreparedCopy(*doc, out.string(), level.optimize, false).ok) << level.name;
        ASSERT_TRUE(estimate) << level.name;
        EXPECT_EQ(*estimate, std::filesystem::file_size(out)) << level.name;
    }
    std::filesystem::remove(out);
    // Save refuses a document without pixels.
    Document empty;
    EXPECT_FALSE(SizeEstimate(empty).run());
}

// Asks to stop at the first report, and remembers how far the work got.
class StopAtOnce : public Progress {
public:
    void setProgress(int percent) override {
        furthest = std::max(furthest, percent);
        stop.requestStop();
    }
    bool stopRequested() const override { return stop.stopRequested(); }
    StopToken stop;
    int furthest = -1;
};

TEST(SizeEstimate, AskedToStopTheWorkGivesUpBetweenImages) {
    auto doc = recording();
    const TMyPalette& global = *doc->globalPalette;
    // Maximum compression with its second thread, and the plain writer.
    StopAtOnce planning;
    MaxCompressionOptions options{doc->loopCount, &planning};
    GifPlan plan;
    EXPECT_FALSE(planMaxCompression(doc->firstFrame, global, options, plan));
    EXPECT_LT(planning.furthest, 100);
    EXPECT_TRUE(plan.images.empty());
    StopAtOnce writing;
    ByteSink sink;
    GifWriteOptions writeOptions;
    writeOptions.progress = &writing;
    EXPECT_FALSE(writeGifTo(sink, doc->firstFrame, global, writeOptions));
    EXPECT_LT(writing.furthest, 100);
    // The optimiser leaves every frame whole.
    {
        StopToken token;
        token.requestStop();
        QuietHost stopping(&token);
        auto optimised = recording();
        optimised->setHost(&stopping);
        rethread(*optimised, 2);
        for (int i = 0; i < optimised->frameList.count(); ++i)
            EXPECT_EQ(optimised->frameList.frameAt(i)->dirtyRect, optimised->frameList.frameAt(i)->rect) << i;
    }

    // A stopped estimate has no size at any level.
    for (const Level& level : levels) {
        setLevel(*doc, level);
        SizeEstimate estimate(*doc);
        estimate.stop();
        EXPECT_FALSE(estimate.run()) << level.name;
    }
}

}  // namespace
}  // namespace movigram
