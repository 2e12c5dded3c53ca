// Lengths as product files write them, and millimetres as people read them.
#include <gtest/gtest.h>

#include "labels/Units.h"

namespace {

using labels::ParseLength;

TEST(ParseLength, EveryUnitInPoints) {
  EXPECT_DOUBLE_EQ(*ParseLength("12"), 12);
  EXPECT_DOUBLE_EQ(*ParseLength("12pt"), 12);
  EXPECT_DOUBLE_EQ(*ParseLength("0.5in"), 36);
  EXPECT_DOUBLE_EQ(*ParseLength("25.4mm"), 72);
  EXPECT_DOUBLE_EQ(*ParseLength("2.54cm"), 72);
  EXPECT_DOUBLE_EQ(*ParseLength("2pc"), 24);
  EXPECT_DOUBLE_EQ(*ParseLength(" 63.5 mm "), 63.5 * 72 / 25.4);
  EXPECT_DOUBLE_EQ(*ParseLength("-1.5mm"), -1.5 * 72 / 25.4);
  EXPECT_DOUBLE_EQ(*ParseLength("1e1pt"), 10);
}

TEST(ParseLength, EmptyValuesAreZeroAndNonsenseIsRefused) {
  EXPECT_EQ(ParseLength(""), 0.0);
  EXPECT_EQ(ParseLength("in"), 0.0) << "a unit without a number, as the files' makers mean it";
  for (const char* bad : {"12ft", "abc", "1.2.3mm", "mm12", "1,5mm", "nan", "inf", "12 m m"})
    EXPECT_FALSE(ParseLength(bad).has_value()) << bad;
}

TEST(FormatMm, TwoDecimalsAtMostWithoutTrailingZeros) {
  EXPECT_EQ(labels::FormatMm(labels::MmToPoints(63.5)), "63.5");
  EXPECT_EQ(labels::FormatMm(181.4), "63.99");
  EXPECT_EQ(labels::FormatMm(-0.001), "0");
}

}  // namespace
