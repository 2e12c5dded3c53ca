#include "platform/Locale.h"

#include <gtest/gtest.h>

#include <clocale>

#include "tests/support/Scratch.h"

using namespace platform;
using test_support::ScopedEnv;

namespace {

std::tm At(int year, int month, int day, int hour, int minute, int second) {
  std::tm time{};
  time.tm_year = year - 1900;
  time.tm_mon = month - 1;
  time.tm_mday = day;
  time.tm_hour = hour;
  time.tm_min = minute;
  time.tm_sec = second;
  return time;
}

TEST(PictureFromStrftime, ConvertsLocaleFormats) {
  EXPECT_EQ(PictureFromStrftime("%d.%m.%Y"), "dd.MM.yyyy");
  EXPECT_EQ(PictureFromStrftime("%m/%d/%Y"), "MM/dd/yyyy");
  EXPECT_EQ(PictureFromStrftime("%D"), "MM/dd/yy");
  EXPECT_EQ(PictureFromStrftime("%F %T"), "yyyy-MM-dd HH:mm:ss");
  EXPECT_EQ(PictureFromStrftime("%r"), "hh:mm:ss AM/PM");
  EXPECT_EQ(PictureFromStrftime("%e.%-m.%EY %k:%OM"), "d.M.yyyy H:mm");
}

TEST(PictureFromStrftime, QuotesLiteralLettersAndDropsUnknownConversions) {
  EXPECT_EQ(PictureFromStrftime("%Hh%M"), "HH\"h\"mm");
  EXPECT_EQ(PictureFromStrftime("it's \"%d\""), "\"it's\" '\"'dd'\"'");
  EXPECT_EQ(PictureFromStrftime("100%% %a%d%"), "100% dd");
}

TEST(FormatDateTime, RendersEachTokenWithAndWithoutPadding) {
  std::tm time = At(2007, 3, 5, 9, 7, 4);
  EXPECT_EQ(FormatDateTime("dd.MM.yyyy HH:mm:ss", time), "05.03.2007 09:07:04");
  EXPECT_EQ(FormatDateTime("d.M.yy H:m:s", time), "5.3.07 9:7:4");
}

TEST(FormatDateTime, TwelveHourClockOnlyWithAmPm) {
  EXPECT_EQ(FormatDateTime("h:mm AM/PM", At(2024, 1, 1, 0, 30, 0)), "12:30 AM");
  EXPECT_EQ(FormatDateTime("hh:mm am/pm", At(2024, 1, 1, 13, 5, 0)), "01:05 pm");
  EXPECT_EQ(FormatDateTime("HH:mm AM/PM", At(2024, 1, 1, 13, 5, 0)), "13:05 PM");
  EXPECT_EQ(FormatDateTime("hh:mm", At(2024, 1, 1, 13, 5, 0)), "13:05");
  EXPECT_EQ(FormatDateTime("hh \"am/pm\"", At(2024, 1, 1, 13, 5, 0)), "13 am/pm");
}

TEST(FormatDateTime, LowerMIsMinutesOnlyNextToHoursOrSecondsAndQuotesAreLiteral) {
  std::tm time = At(2024, 11, 2, 10, 45, 30);
  EXPECT_EQ(FormatDateTime("mm", time), "11");
  EXPECT_EQ(FormatDateTime("mm:ss", time), "45:30");
  EXPECT_EQ(FormatDateTime("dd.mm.yy HH\" h \"mm", time), "02.11.24 10 h 45");
  EXPECT_EQ(FormatDateTime("\"dd\"'yy'dd \"at hh", time), "ddyy02 at hh");
}

// The picture must print what strftime prints for the pattern it came from.
TEST(FormatDateTime, AgreesWithStrftimeThroughConversion) {
  std::tm time = At(1999, 12, 31, 23, 8, 9);
  for (const char* pattern : {"%d.%m.%Y", "%m/%d/%y", "%D %T", "%F %R", "%I:%M:%S %p",
                              "Date: %d, Time %Hh%M", "%Y年%m月%d日", "say 'it' \"%S\""}) {
    char expected[128];
    std::strftime(expected, sizeof expected, pattern, &time);
    EXPECT_EQ(FormatDateTime(PictureFromStrftime(pattern), time), expected) << pattern;
  }
}

TEST(LocaleFormats, CLocaleGivesItsOwnPicturesAndLeavesTheProcessLocaleAlone) {
  ScopedEnv all("LC_ALL", "C");
  std::string before = std::setlocale(LC_ALL, nullptr);
  EXPECT_EQ(ShortDateFormat(), "MM/dd/yy");
  EXPECT_EQ(LongTimeFormat(), "HH:mm:ss");
  EXPECT_EQ(std::setlocale(LC_ALL, nullptr), before);
}

}  // namespace
