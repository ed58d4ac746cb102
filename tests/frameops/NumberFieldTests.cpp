// The reading of the dialogs' numeric fields.
#include <gtest/gtest.h>

#include <string>

#include "frameops/NumberField.h"

namespace movigram {
namespace {

TEST(NumberField, ReadsTheLeadingDecimalNumber) {
    EXPECT_EQ(readNumberField("250"), 250);
    EXPECT_EQ(readNumberField("  -12"), -12);
    EXPECT_EQ(readNumberField("12ab3"), 12);
    EXPECT_EQ(readNumberField(""), 0);
    EXPECT_EQ(readNumberField("x"), 0);
    // No range of any dialog applies: the values of 2..256 and beyond stay.
    EXPECT_EQ(readNumberField("1"), 1);
    EXPECT_EQ(readNumberField("100000"), 100000);
    EXPECT_EQ(readNumberField("99999999999"), 2147483647);
}

TEST(NumberField, ACommaDropsEveryCharacterButDigits) {
    EXPECT_EQ(readNumberField("2,500"), 2500);
    EXPECT_EQ(readNumberField("1,000,000"), 1000000);
    EXPECT_EQ(readNumberField("1,2x3 4"), 1234);
    EXPECT_EQ(readNumberField("-1,000"), -1000);  // a leading minus stays with its number
    EXPECT_EQ(readNumberField("12 34"), 12);      // without a comma the blank ends the number
}

TEST(NumberField, OnlyThirtyCharactersAreRead) {
    const std::string thirty(29, ' ');
    EXPECT_EQ(readNumberField(thirty + "7"), 7);
    EXPECT_EQ(readNumberField(thirty + " 7"), 0);
    EXPECT_EQ(readNumberField(std::string(26, ' ') + "1,234"), 123);
}

}  // namespace
}  // namespace movigram
