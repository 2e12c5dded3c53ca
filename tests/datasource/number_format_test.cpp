#include <gtest/gtest.h>

#include "datasource/NumberFormat.h"

using datasource::BuiltinFormatCode;
using datasource::FormatNumber;

namespace {
const std::string kNbsp = "\u00A0";
}

TEST(NumberFormat, NumbersAsARussianSpreadsheetShowsThem) {
  EXPECT_EQ(FormatNumber(4601234567890, "General"), "4601234567890");
  EXPECT_EQ(FormatNumber(0.1 + 0.2, "General"), "0,3");
  EXPECT_EQ(FormatNumber(-2.5, "General"), "-2,5");
  EXPECT_EQ(FormatNumber(2.5, "0"), "3");
  EXPECT_EQ(FormatNumber(2.675, "0.00"), "2,68");
  EXPECT_EQ(FormatNumber(1234567.891, "#,##0.00"), "1" + kNbsp + "234" + kNbsp + "567,89");
  EXPECT_EQ(FormatNumber(-1234.5, "#,##0.00"), "-1" + kNbsp + "234,50");
  EXPECT_EQ(FormatNumber(0.155, "0%"), "16%");
  EXPECT_EQ(FormatNumber(0.5, "0.0#"), "0,5");
  EXPECT_EQ(FormatNumber(0.5, "#.00"), ",50");
  EXPECT_EQ(FormatNumber(12345, "0.00E+00"), "1,23E+04");
  EXPECT_EQ(FormatNumber(12345678, "#,##0,"), "12" + kNbsp + "346");
}

TEST(NumberFormat, SectionsLiteralsAndCurrencies) {
  EXPECT_EQ(FormatNumber(-5, "0.00;(0.00)"), "(5,00)");
  EXPECT_EQ(FormatNumber(0, "0;-0;\"нет\""), "нет");
  EXPECT_EQ(FormatNumber(100, "#,##0.00\\ [$₽-419];[Red]-#,##0.00\\ [$₽-419]"), "100,00 ₽");
  EXPECT_EQ(FormatNumber(-100, "#,##0.00\\ [$₽-419];[Red]-#,##0.00\\ [$₽-419]"), "-100,00 ₽");
  EXPECT_EQ(FormatNumber(3, "0\" шт.\""), "3 шт.");
  EXPECT_EQ(FormatNumber(7, "_(#,##0_)"), " 7 ");
  EXPECT_EQ(FormatNumber(42, "@"), "42");
  EXPECT_EQ(FormatNumber(-0.001, "0.00"), "0,00");
}

TEST(NumberFormat, DatesAndTimesIn1900And1904Systems) {
  EXPECT_EQ(FormatNumber(45356, "dd.mm.yyyy"), "05.03.2024");
  EXPECT_EQ(FormatNumber(45356, "d.m.yyyy"), "5.3.2024");
  EXPECT_EQ(FormatNumber(45356, "mm-dd-yy"), "03-05-24");
  EXPECT_EQ(FormatNumber(45356, BuiltinFormatCode(14)), "05.03.2024");
  EXPECT_EQ(FormatNumber(45356, "d mmmm yyyy"), "5 марта 2024");
  EXPECT_EQ(FormatNumber(45356, "dddd"), "вторник");
  EXPECT_EQ(FormatNumber(45356.6041666667, "dd.mm.yyyy hh:mm"), "05.03.2024 14:30");
  EXPECT_EQ(FormatNumber(0.6041666667, "h:mm AM/PM"), "2:30 PM");
  EXPECT_EQ(FormatNumber(0.999999, "hh:mm:ss"), "00:00:00");
  EXPECT_EQ(FormatNumber(1.5, "[h]:mm"), "36:00");
  // The day that never was, and the days around it.
  EXPECT_EQ(FormatNumber(59, "dd.mm.yyyy"), "28.02.1900");
  EXPECT_EQ(FormatNumber(60, "dd.mm.yyyy"), "29.02.1900");
  EXPECT_EQ(FormatNumber(61, "dd.mm.yyyy"), "01.03.1900");
  EXPECT_EQ(FormatNumber(45356 - 1462, "dd.mm.yyyy", true), "05.03.2024");
  EXPECT_EQ(FormatNumber(-1, "dd.mm.yyyy"), "-1");
}

TEST(NumberFormat, BuiltinNumbersHaveTheirCodes) {
  EXPECT_EQ(FormatNumber(1234.5, BuiltinFormatCode(4)), "1" + kNbsp + "234,50");
  EXPECT_EQ(FormatNumber(0.25, BuiltinFormatCode(9)), "25%");
  EXPECT_EQ(FormatNumber(0.5, BuiltinFormatCode(21)), "12:00:00");
  EXPECT_EQ(BuiltinFormatCode(164), "General");
}
