// The frame list: inserting, taking and the selection.
#include <gtest/gtest.h>

#include "document/FrameList.h"
#include "support/GifBuilder.h"

namespace movigram {
namespace {

using test::makeFrame;
using test::testPalette;

auto solid(int w, int h, int v) { return makeFrame(w, h, [v](int, int) { return v; }); }

TEST(FrameListOps, InsertTakeAndSelection) {
    struct Recorder : FrameListObserver {
        std::vector<std::string> events;
        void itemsInserted(int first, int) override { events.push_back("+" + std::to_string(first)); }
        void itemsRemoved(int first, int) override { events.push_back("-" + std::to_string(first)); }
        void selectionChanged(int index) override { events.push_back("s" + std::to_string(index)); }
    } recorder;
    FrameList list;
    list.setObserver(&recorder);
    list.append("a", solid(1, 1, 0));
    list.append("c", solid(1, 1, 2));
    list.select(1);
    EXPECT_EQ(list.insert(1, "b", solid(1, 1, 1)), 1);
    EXPECT_EQ(list.selectedIndex(), 2);  // the selected frame keeps its selection
    EXPECT_EQ(list.textAt(1), "b");
    EXPECT_EQ(list.insert(99, "d", solid(1, 1, 3)), 3);
    auto taken = list.take(2);
    EXPECT_EQ(taken->image->pixel(0, 0), 2);
    EXPECT_EQ(list.selectedIndex(), -1);
    EXPECT_EQ(list.frameAt(7), nullptr);
    EXPECT_EQ(list.indexOf(list.frameAt(2)), 2);
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"+0", "+1", "s1", "+1", "+3", "-2"}));
}

}  // namespace
}  // namespace movigram
