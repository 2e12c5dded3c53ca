#include "platform/Utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::DecodeUtf8;
using platform::IsValidUtf8;

TEST(Utf8, DecodesEveryLengthAndStepsOverWholeSequences) {
  const std::string text = "a\xD0\x96\xE2\x82\xAC\xF0\x9F\x98\x80";  // a, Ж, €, 😀
  std::u32string seen;
  for (std::size_t i = 0; i < text.size();) {
    const platform::Utf8Char c = DecodeUtf8(text, i);
    ASSERT_TRUE(c.valid) << i;
    seen += c.codePoint;
    i += c.length;
  }
  EXPECT_EQ(seen, U"a\u0416\u20AC\U0001F600");
  EXPECT_TRUE(IsValidUtf8(text));
  EXPECT_TRUE(IsValidUtf8(""));
}

// Every form that names a character in more bytes than it needs, or names no character, is
// refused alike, wherever it stands.
TEST(Utf8, RefusesOverlongFormsSurrogatesAndCutSequences) {
  for (const char* bad :
       {"\xC0\x80", "\xC1\xBF", "\xE0\x80\x80", "\xE0\x9F\xBF", "\xF0\x80\x80\x80",
        "\xF0\x8F\xBF\xBF", "\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80",
        "\xFF", "\x80", "\xD0", "\xE2\x82", "\xF0\x9F\x98", "\xE2\x41\x41"}) {
    const std::string text = std::string("ok ") + bad + " ok";
    EXPECT_FALSE(IsValidUtf8(text)) << text;
    const platform::Utf8Char c = DecodeUtf8(text, 3);
    EXPECT_FALSE(c.valid) << text;
    EXPECT_EQ(c.length, 1u) << text;
    EXPECT_EQ(c.codePoint, char32_t(static_cast<unsigned char>(bad[0]))) << text;
  }
  EXPECT_TRUE(IsValidUtf8("\xED\x9F\xBF\xEE\x80\x80\xF4\x8F\xBF\xBF"));  // around surrogates, top
}

TEST(Utf8, AppendsWhatDecodesBackAndReplacesWhatIsNoCharacter) {
  std::string out;
  for (char32_t c : {U'z', char32_t(0x44F), char32_t(0xFFFD), char32_t(0x10FFFF)})
    platform::AppendUtf8(out, c);
  EXPECT_EQ(out, "z\xD1\x8F\xEF\xBF\xBD\xF4\x8F\xBF\xBF");
  std::string replaced;
  platform::AppendUtf8(replaced, char32_t(0xD800));
  platform::AppendUtf8(replaced, char32_t(0x110000));
  EXPECT_EQ(replaced, "\xEF\xBF\xBD\xEF\xBF\xBD");
}

}  // namespace
