// The byte-run helper of the encoders.
#include <gtest/gtest.h>

#include <vector>

#include "gif/ByteRuns.h"

namespace movigram {
namespace {

TEST(ByteRun, StopsAtTheFirstOtherByteMarkOrLimit) {
    std::vector<uint8_t> p(40, 7), marks(40, 0);
    p[21] = 3;  // in the third word
    EXPECT_EQ(byteRun(p.data(), size_t(40), uint8_t(7), size_t(40)), 21u);
    EXPECT_EQ(byteRun(p.data(), size_t(40), uint8_t(7), size_t(12)), 12u);  // limit inside a word
    EXPECT_EQ(byteRun(p.data(), size_t(5), uint8_t(7), size_t(40)), 5u);    // fewer than eight to read
    EXPECT_EQ(byteRun(p.data() + 22, size_t(18), uint8_t(7), size_t(18)), 18u);  // the tail byte by byte
    marks[9] = 1;
    EXPECT_EQ(byteRun(p.data(), size_t(40), uint8_t(7), size_t(40), marks.data()), 9u);
    EXPECT_EQ(byteRun(p.data(), size_t(13), uint8_t(7), size_t(13), marks.data()), 9u);  // a mark in the tail
    EXPECT_EQ(byteRun(p.data() + 10, size_t(30), uint8_t(7), size_t(30), marks.data() + 10), 11u);
    EXPECT_EQ(byteRun(p.data(), size_t(40), uint8_t(3), size_t(40)), 0u);
}

}  // namespace
}  // namespace movigram
