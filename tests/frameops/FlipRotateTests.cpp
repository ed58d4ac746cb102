// Flip, mirror and rotate.
#include <gtest/gtest.h>

#include <tuple>

#include "OpsTestSupport.h"
#include "document/Undo.h"
#include "document/DecodeLimits.h"
#include "frameops/FlipRotate.h"
#include "frameops/FrameOrder.h"
#include "frameops/FrameTiming.h"
#include "frameops/GrayScale.h"

namespace movigram {
namespace {

using namespace test;

const TMyPalette palette8 = testPalette(8);

TEST(FlipRotate, AnglesFollowTheRotationSense) {
    EXPECT_EQ(rotationAngle(FlipRotateOperation::Rotate90, false), 90);
    EXPECT_EQ(rotationAngle(FlipRotateOperation::Rotate180, false), 180);
    EXPECT_EQ(rotationAngle(FlipRotateOperation::Rotate270, false), 270);
    EXPECT_EQ(rotationAngle(FlipRotateOperation::Rotate90, true), 270);
    EXPECT_EQ(rotationAngle(FlipRotateOperation::Rotate180, true), 180);
    EXPECT_EQ(rotationAngle(FlipRotateOperation::Rotate270, true), 90);
    EXPECT_EQ(rotationAngle(FlipRotateOperation::Flip, true), 0);
    EXPECT_STREQ(flipRotateOperationName(FlipRotateOperation::Flip), "Flip (vertical mirror)");
}

TEST(FlipRotate, RotateRightTransposesTheRectAndRecordsTheInverse) {
    auto doc = documentOf([] {
        std::vector<std::unique_ptr<TFrame>> v;
        v.push_back(placedFrame(5, 10, 40, 30, [](int x, int y) { return (x + y) % 8; }, palette8));
        return v;
    }());
    const TDib256 old = *doc->frameList.frameAt(0)->image;
    const std::string before = describe(*doc);
    ASSERT_TRUE(flipRotateFrames(*doc, {0}, FlipRotateOperation::Rotate90, false, "rotate frames"));
    const TFrame& f = *doc->frameList.frameAt(0);
    EXPECT_EQ(f.rect, (TRect{10, 5, 40, 45}));
    ASSERT_EQ(f.image->width(), 30);
    ASSERT_EQ(f.image->height(), 40);
    // Clockwise: the old bottom-left corner is now the top-left one.
    EXPECT_EQ(f.image->pixel(0, 0), old.pixel(0, 29));
    EXPECT_EQ(f.image->pixel(29, 0), old.pixel(0, 0));
    EXPECT_EQ(doc->screenWidth, 40);
    EXPECT_EQ(doc->screenHeight, 45);
    EXPECT_EQ(doc->undo.newest()->kind, UndoKind::Rotated270);
    EXPECT_EQ(doc->undo.newest()->label, "rotate frames");
    undo(*doc);
    EXPECT_EQ(describe(*doc), before);
}

TEST(FlipRotate, EmptySelectionStillRecords) {
    auto doc = namedFrames(2);
    ASSERT_TRUE(flipRotateFrames(*doc, {}, FlipRotateOperation::Mirror, false, "mirror frames"));
    ASSERT_EQ(doc->undo.size(), 1u);
    EXPECT_EQ(doc->undo.newest()->kind, UndoKind::Mirrored);
    EXPECT_TRUE(doc->undo.newest()->indices.empty());
    EXPECT_FALSE(flipRotateFrames(*doc, {0}, FlipRotateOperation(7), false, "rotate frames"));
}

}  // namespace
}  // namespace movigram
