// The format switches of fields: \* for case and number words, \# for numbers, \@ for dates.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "platform/Utf8.h"
#include "wordproc/core/Fields.h"

namespace wordproc {

namespace {

char32_t Upper(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - 32;
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;  // а..я
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;  // ѐ..џ, ё among them
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
  return c;
}

char32_t Lower(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  return c;
}

bool IsLetter(char32_t c) {
  return Upper(c) != c || Lower(c) != c;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::optional<double> NumberOf(std::string text) {
  std::replace(text.begin(), text.end(), ',', '.');
  std::erase_if(text, [](char c) { return c == ' '; });
  if (text.empty()) return std::nullopt;
  double value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::string Roman(int value) {
  static const std::pair<int, const char*> kDigits[] = {
      {1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"}, {90, "XC"}, {50, "L"},
      {40, "XL"},  {10, "X"},   {9, "IX"},  {5, "V"},    {4, "IV"},  {1, "I"}};
  std::string out;
  value = std::clamp(value, 1, 32767);
  for (const auto& [n, digits] : kDigits) {
    for (; value >= n; value -= n) out += digits;
  }
  return out;
}

// 1 a, 26 z, 27 aa, 28 bb: the letter repeated, as the word processor numbers with letters.
std::string Alphabetic(int value) {
  value = std::clamp(value, 1, 780);
  return std::string(std::size_t((value - 1) / 26 + 1), char('a' + (value - 1) % 26));
}

const char* const kMonthsGenitive[] = {"января",   "февраля", "марта",  "апреля",
                                       "мая",      "июня",    "июля",   "августа",
                                       "сентября", "октября", "ноября", "декабря"};
const char* const kMonths[] = {"январь", "февраль", "март",     "апрель",  "май",    "июнь",
                               "июль",   "август",  "сентябрь", "октябрь", "ноябрь", "декабрь"};
const char* const kDays[] = {"воскресенье", "понедельник", "вторник", "среда",
                             "четверг",     "пятница",     "суббота"};
const char* const kShortDays[] = {"Вс", "Пн", "Вт", "Ср", "Чт", "Пт", "Сб"};

int Weekday(const DateTime& when) {
  // Sakamoto's method: 0 is Sunday.
  static const int kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  int y = when.year - (when.month < 3 ? 1 : 0);
  return (y + y / 4 - y / 100 + y / 400 + kOffsets[std::clamp(when.month, 1, 12) - 1] + when.day) %
         7;
}

std::string Padded(int value, std::size_t width) {
  std::string digits = std::to_string(value);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return digits;
}

std::string DatePart(const DateTime& when, char letter, std::size_t count, bool dayBefore) {
  const int month = std::clamp(when.month, 1, 12) - 1;
  switch (letter) {
    case 'd':
      if (count >= 4) return kDays[Weekday(when)];
      if (count == 3) return kShortDays[Weekday(when)];
      return Padded(when.day, count);
    case 'M':
      if (count >= 4) return dayBefore ? kMonthsGenitive[month] : kMonths[month];
      if (count == 3) return std::string(kMonths[month]).substr(0, 6);  // three letters
      return Padded(when.month, count);
    case 'y':
      return count <= 2 ? Padded(when.year % 100, 2) : Padded(when.year, 4);
    case 'H':
      return Padded(when.hour, count);
    case 'h':
      return Padded(when.hour % 12 == 0 ? 12 : when.hour % 12, count);
    case 'm':
      return Padded(when.minute, count);
    case 's':
      return Padded(when.second, count);
    default:
      return std::string(count, letter);
  }
}

}  // namespace

std::string ChangeCase(std::string_view text, std::string_view how) {
  const bool upper = SameName(how, "Upper"), lower = SameName(how, "Lower");
  const bool firstCap = SameName(how, "FirstCap"), caps = SameName(how, "Caps");
  if (!upper && !lower && !firstCap && !caps) return std::string(text);
  std::string out;
  bool wordStart = true, first = true;
  for (std::size_t i = 0; i < text.size();) {
    const platform::Utf8Char decoded = platform::DecodeUtf8(text, i);
    i += decoded.length;
    if (!decoded.valid) {  // a byte that is no text is kept as it came
      out += text[i - 1];
      wordStart = false;
      continue;
    }
    char32_t c = decoded.codePoint;
    if (upper) c = Upper(c);
    if (lower) c = Lower(c);
    if ((caps && wordStart) || (firstCap && first)) {
      if (IsLetter(c)) c = Upper(c);
    } else if (caps) {
      c = Lower(c);
    }
    if (IsLetter(c)) first = false;
    wordStart = c == ' ' || c == '\t' || c == '\v';
    platform::AppendUtf8(out, c);
  }
  return out;
}

std::string NumberInWords(int value, std::string_view how) {
  if (SameName(how, "Arabic")) return std::to_string(value);
  if (how == "ROMAN" || how == "Roman") return Roman(value);
  if (how == "roman") return ChangeCase(Roman(value), "Lower");
  if (how == "ALPHABETIC") return ChangeCase(Alphabetic(value), "Upper");
  if (SameName(how, "alphabetic")) return Alphabetic(value);
  return {};
}

std::string FormatNumber(double value, std::string_view picture) {
  // The digits of the picture: from its first 0 or # to its last; the rest is text around them.
  const std::size_t begin = picture.find_first_of("0#");
  if (begin == std::string_view::npos) return std::string(picture);
  const std::size_t end = picture.find_last_of("0#") + 1;
  const std::string_view digits = picture.substr(begin, end - begin);
  std::size_t point = digits.find_last_of(".,");
  // A separator followed by exactly three digit places is grouping, not a decimal point.
  if (point != std::string_view::npos && digits.size() - point - 1 == 3 &&
      digits.find_first_of(".,") == point && digits[point] == ',')
    point = std::string_view::npos;
  const std::string_view whole = digits.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : digits.substr(point + 1);
  const int decimals = int(fraction.size());
  const int zeros = int(std::count(whole.begin(), whole.end(), '0'));
  const std::size_t group = whole.find_first_of(", ");
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, std::fabs(value));
  std::string number = buffer;
  const std::size_t dot = number.find('.');
  std::string integer = number.substr(0, dot);
  if (integer == "0" && zeros == 0) integer.clear();
  if (int(integer.size()) < zeros) integer.insert(0, std::size_t(zeros) - integer.size(), '0');
  if (group != std::string_view::npos) {
    for (int k = int(integer.size()) - 3; k > 0; k -= 3)
      integer.insert(std::size_t(k), 1, whole[group]);
  }
  std::string out(picture.substr(0, begin));
  if (value < 0 && std::round(std::fabs(value) * std::pow(10, decimals)) != 0) out += '-';
  out += integer;
  if (decimals > 0) out += digits[point] + number.substr(dot + 1);
  out += picture.substr(end);
  return out;
}

DateTime CurrentDateTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
          local.tm_hour,        local.tm_min,     local.tm_sec};
}

std::string FormatDate(const DateTime& when, std::string_view picture) {
  std::string out;
  bool dayBefore = false;
  for (std::size_t i = 0; i < picture.size();) {
    const char c = picture[i];
    if (c == '\'') {
      const std::size_t close = picture.find('\'', i + 1);
      out += picture.substr(i + 1, close == std::string_view::npos ? close : close - i - 1);
      i = close == std::string_view::npos ? picture.size() : close + 1;
      continue;
    }
    if (SameName(picture.substr(i, 5), "AM/PM")) {
      out += when.hour < 12 ? "AM" : "PM";
      i += 5;
      continue;
    }
    const char letter = c == 'D' ? 'd' : c == 'Y' ? 'y' : c == 'S' ? 's' : c;
    if (std::string_view("dMyHhms").find(letter) == std::string_view::npos || letter == 0) {
      out += c;
      ++i;
      continue;
    }
    std::size_t count = 1;
    while (i + count < picture.size() && picture[i + count] == c) ++count;
    out += DatePart(when, letter, count, dayBefore);
    if (letter == 'd' && count <= 2) dayBefore = true;
    i += count;
  }
  return out;
}

namespace {

// The numbers of a date or a time and the separators between them: "9.12.2026 14:30".
struct DateNumbers {
  std::vector<std::pair<int, std::size_t>> numbers;  // value and digit count
  std::string separators;
};

std::optional<DateNumbers> SplitDate(std::string_view text) {
  DateNumbers out;
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  while (i < text.size()) {
    std::size_t digits = 0;
    int value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++digits) {
      if (digits == 4) return std::nullopt;
      value = value * 10 + (text[i] - '0');
    }
    if (digits == 0) return std::nullopt;
    out.numbers.emplace_back(value, digits);
    std::size_t gap = i;
    while (i < text.size() && (text[i] == ' ' || text[i] == 'T')) ++i;
    if (i == text.size()) break;
    if (i > gap) {
      out.separators += ' ';
    } else if (std::strchr(".-/:", text[i]) && text[i] != 0) {
      out.separators += text[i++];
    } else {
      return std::nullopt;
    }
  }
  return out;
}

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

std::optional<DateTime> ParseDate(std::string_view text) {
  const std::optional<DateNumbers> parts = SplitDate(text);
  if (!parts || parts->numbers.size() < 3) return std::nullopt;
  const auto& n = parts->numbers;
  const std::string& sep = parts->separators;
  if (sep[0] != sep[1] || !std::strchr(".-/", sep[0])) return std::nullopt;
  DateTime when;
  const bool yearFirst = n[0].second == 4;
  if (yearFirst != (sep[0] == '-')) return std::nullopt;
  when.year = yearFirst ? n[0].first : n[2].first;
  when.month = n[1].first;
  when.day = yearFirst ? n[2].first : n[0].first;
  const std::size_t yearDigits = yearFirst ? n[0].second : n[2].second;
  if (yearDigits == 2) when.year += when.year < 30 ? 2000 : 1900;
  if ((yearDigits != 2 && yearDigits != 4) || when.month < 1 || when.month > 12 || when.day < 1 ||
      when.day > DaysInMonth(when.year, when.month))
    return std::nullopt;
  if (n.size() == 3) return when;
  const std::string_view time = std::string_view(sep).substr(2);
  if ((time != " :" && time != " ::") || n.size() != time.size() + 3) return std::nullopt;
  when.hour = n[3].first;
  when.minute = n[4].first;
  when.second = n.size() > 5 ? n[5].first : 0;
  if (when.hour > 23 || when.minute > 59 || when.second > 59) return std::nullopt;
  return when;
}

std::string ApplyFieldFormat(const FieldInstruction& instruction, std::string value) {
  const bool clock = instruction.name == "DATE" || instruction.name == "TIME";
  for (const FieldSwitch& s : instruction.switches) {
    if (s.name == '@' && s.hasArgument && !clock) {
      if (auto when = ParseDate(value)) value = FormatDate(*when, s.argument);
    } else if (s.name == '#' && s.hasArgument) {
      if (auto number = NumberOf(value)) value = FormatNumber(*number, s.argument);
    } else if (s.name == '*' && s.hasArgument) {
      if (auto number = NumberOf(value); number && std::fabs(*number) < 1e9) {
        std::string words = NumberInWords(int(std::lround(*number)), s.argument);
        if (!words.empty()) value = std::move(words);
      }
      value = ChangeCase(value, s.argument);
    }
  }
  // A merge field's text before and after its value stands only where there is a value.
  if (instruction.name == "MERGEFIELD" && !value.empty()) {
    if (const FieldSwitch* before = instruction.find('b')) value = before->argument + value;
    if (const FieldSwitch* after = instruction.find('f')) value += after->argument;
  }
  return value;
}

}  // namespace wordproc
