// The comment frame a saved animation carries in front of its frames.
#include <gtest/gtest.h>

#include <string>

#include "save/CommentFrame.h"
#include "support/GifBuilder.h"

namespace movigram {
namespace {

using test::Bytes;
using test::makeFrame;
using test::testPalette;

auto solid(int w, int h, int v) { return makeFrame(w, h, [v](int, int) { return v; }); }

TEST(CommentFrameRule, InsertsOnceAndRecognisesOtherVersions) {
    FrameList list;
    list.append("a", solid(2, 2, 0));
    EXPECT_FALSE(ensureCommentFrame(list, false));  // a single frame gets none
    list.append("b", solid(2, 2, 1));
    EXPECT_TRUE(ensureCommentFrame(list, false));
    ASSERT_EQ(list.count(), 3);
    EXPECT_TRUE(list.frameAt(0)->isComment);
    EXPECT_EQ(list.frameAt(0)->next, list.frameAt(1));
    EXPECT_FALSE(ensureCommentFrame(list, false));
    EXPECT_LE(programComment().size(), 193u);
    EXPECT_NE(programComment().find("Created with Movigram GIF V 1.22"), std::string::npos);

    // Another version's comment is accepted; any other comment gets ours in front.
    FrameList older;
    std::string text(programComment());
    text.replace(text.find("GIF V") + 6, 4, "0.99");
    older.append("c", std::make_unique<TTextFrame>(nullptr, text));
    older.append("a", solid(2, 2, 0));
    EXPECT_FALSE(ensureCommentFrame(older, false));
    FrameList foreign;
    foreign.append("c", std::make_unique<TTextFrame>(nullptr, "made elsewhere"));
    foreign.append("a", solid(2, 2, 0));
    EXPECT_TRUE(ensureCommentFrame(foreign, true));
    EXPECT_EQ(static_cast<TTextFrame*>(foreign.frameAt(1))->getText(), "made elsewhere");
    EXPECT_EQ(foreign.frameAt(2)->next, foreign.frameAt(0));  // relinked with the loop
}

}  // namespace
}  // namespace movigram
