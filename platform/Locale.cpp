#include "platform/Locale.h"

#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>

namespace platform {
namespace {

// A locale object built from the environment reads LC_TIME without touching the process's
// global locale, on which number formatting elsewhere depends.
std::string LocaleItem(nl_item item, const char* fallback) {
  locale_t locale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
  if (!locale) locale = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
  std::string text = locale ? nl_langinfo_l(item, locale) : "";
  if (locale) freelocale(locale);
  return text.empty() ? fallback : text;
}

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

struct Conversion {
  char letter;
  const char* picture;
  const char* unpadded;  // for the "-" flag
};

constexpr Conversion kConversions[] = {
    {'d', "dd", "d"},
    {'e', "d", "d"},
    {'m', "MM", "M"},
    {'Y', "yyyy", "yyyy"},
    {'y', "yy", "yy"},
    {'H', "HH", "H"},
    {'k', "H", "H"},
    {'I', "hh", "h"},
    {'l', "h", "h"},
    {'M', "mm", "m"},
    {'S', "ss", "s"},
    {'p', "AM/PM", "AM/PM"},
    {'P', "am/pm", "am/pm"},
    {'D', "MM/dd/yy", "M/d/yy"},
    {'T', "HH:mm:ss", "H:mm:ss"},
    {'R', "HH:mm", "H:mm"},
    {'r', "hh:mm:ss AM/PM", "h:mm:ss AM/PM"},
    {'F', "yyyy-MM-dd", "yyyy-M-d"},
};

const Conversion* FindConversion(char letter) {
  for (const Conversion& conversion : kConversions) {
    if (conversion.letter == letter) return &conversion;
  }
  return nullptr;
}

// Literal letters (and quote characters) are quoted so that they never read as tokens.
class PictureWriter {
 public:
  void token(const char* text) {
    closeQuote();
    out_ += text;
  }
  void literal(char c) {
    if (c == '"') {
      closeQuote();
      out_ += "'\"'";
    } else if (IsAsciiLetter(c) || c == '\'') {
      if (!quoted_) out_ += '"';
      quoted_ = true;
      out_ += c;
    } else {
      closeQuote();
      out_ += c;
    }
  }
  std::string finish() {
    closeQuote();
    return out_;
  }

 private:
  void closeQuote() {
    if (quoted_) out_ += '"';
    quoted_ = false;
  }
  std::string out_;
  bool quoted_ = false;
};

// Handles one conversion starting after its "%"; returns the position after it. Flags, widths
// and the E/O modifiers are read past; conversions with no picture equivalent are dropped.
std::size_t ConvertOne(const std::string& pattern, std::size_t pos, PictureWriter& writer) {
  bool unpadded = false;
  while (pos < pattern.size() &&
         std::string_view("_-0^#").find(pattern[pos]) != std::string::npos) {
    unpadded = unpadded || pattern[pos] == '-';
    ++pos;
  }
  while (pos < pattern.size() && ((pattern[pos] >= '0' && pattern[pos] <= '9') ||
                                  pattern[pos] == 'E' || pattern[pos] == 'O')) {
    ++pos;
  }
  if (pos >= pattern.size()) return pos;
  char letter = pattern[pos];
  if (letter == '%' || letter == 'n' || letter == 't') {
    writer.literal(letter == '%' ? '%' : letter == 'n' ? '\n' : '\t');
  } else if (const Conversion* conversion = FindConversion(letter)) {
    writer.token(unpadded ? conversion->unpadded : conversion->picture);
  }
  return pos + 1;
}

std::string Number(int value, bool padded, int width = 2) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*d", padded ? width : 1, value);
  return text;
}

bool IsAmPmAt(const std::string& picture, std::size_t pos) {
  static constexpr std::string_view kAmPm = "am/pm";
  if (picture.size() - pos < kAmPm.size()) return false;
  for (std::size_t i = 0; i < kAmPm.size(); ++i) {
    char c = picture[pos + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kAmPm[i]) return false;
  }
  return true;
}

std::size_t SkipQuoted(const std::string& picture, std::size_t pos) {
  std::size_t end = picture.find(picture[pos], pos + 1);
  return end == std::string::npos ? picture.size() : end + 1;
}

bool HasAmPm(const std::string& picture) {
  for (std::size_t pos = 0; pos < picture.size();) {
    if (picture[pos] == '"' || picture[pos] == '\'') {
      pos = SkipQuoted(picture, pos);
    } else if (IsAmPmAt(picture, pos++)) {
      return true;
    }
  }
  return false;
}

// "m" is minutes when seconds follow it, with only literal text in between.
bool SecondsFollow(const std::string& picture, std::size_t pos) {
  while (pos < picture.size()) {
    char c = picture[pos];
    if (c == '"' || c == '\'') {
      pos = SkipQuoted(picture, pos);
    } else if (IsAsciiLetter(c)) {
      return c == 's';
    } else {
      ++pos;
    }
  }
  return false;
}

int TwelveHour(int hour) {
  return hour % 12 == 0 ? 12 : hour % 12;
}

// One run of a token letter ("dd", "yyyy"); nothing when the letter is no token.
std::optional<std::string> Field(char letter, std::size_t run, bool minutes, bool twelveHour,
                                 const std::tm& time) {
  const bool padded = run >= 2;
  const int year = time.tm_year + 1900;
  switch (letter) {
    case 'd':
      return Number(time.tm_mday, padded);
    case 'M':
      return Number(time.tm_mon + 1, padded);
    case 'm':
      return Number(minutes ? time.tm_min : time.tm_mon + 1, padded);
    case 'y':
      return run <= 2 ? Number(year % 100, true) : Number(year, true, 4);
    case 'h':
      return Number(twelveHour ? TwelveHour(time.tm_hour) : time.tm_hour, padded);
    case 'H':
      return Number(time.tm_hour, padded);
    case 's':
      return Number(time.tm_sec, padded);
    default:
      return std::nullopt;
  }
}

}  // namespace

std::string ShortDateFormat() {
  return PictureFromStrftime(LocaleItem(D_FMT, "%m/%d/%y"));
}

std::string LongTimeFormat() {
  return PictureFromStrftime(LocaleItem(T_FMT, "%H:%M:%S"));
}

std::string PictureFromStrftime(const std::string& pattern) {
  PictureWriter writer;
  for (std::size_t pos = 0; pos < pattern.size();) {
    if (pattern[pos] == '%') {
      pos = ConvertOne(pattern, pos + 1, writer);
    } else {
      writer.literal(pattern[pos++]);
    }
  }
  return writer.finish();
}

std::string FormatDateTime(const std::string& picture, const std::tm& time) {
  const bool twelveHour = HasAmPm(picture);
  std::string out;
  bool afterHour = false;
  for (std::size_t pos = 0; pos < picture.size();) {
    char c = picture[pos];
    if (c == '"' || c == '\'') {
      std::size_t close = std::min(picture.find(c, pos + 1), picture.size());
      out.append(picture, pos + 1, close - pos - 1);
      pos = close + 1;
    } else if (IsAmPmAt(picture, pos)) {
      bool upper = c == 'A';
      out += time.tm_hour < 12 ? (upper ? "AM" : "am") : (upper ? "PM" : "pm");
      afterHour = false;
      pos += 5;
    } else {
      std::size_t end = picture.find_first_not_of(c, pos);
      std::size_t run = (end == std::string::npos ? picture.size() : end) - pos;
      bool minutes = c == 'm' && (afterHour || SecondsFollow(picture, pos + run));
      std::optional<std::string> field = Field(c, run, minutes, twelveHour, time);
      out += field ? *field : picture.substr(pos, run);
      if (field) afterHour = c == 'h' || c == 'H';
      pos += run;
    }
  }
  return out;
}

}  // namespace platform
