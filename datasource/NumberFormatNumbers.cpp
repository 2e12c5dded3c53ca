#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "datasource/NumberFormatParts.h"

namespace datasource {

namespace {

// What the digit placeholders of a section ask for.
struct TNumberPattern {
  int minInt = 0;
  bool group = false;
  int scaleThousands = 0;
  int minDec = 0, maxDec = 0;
  int percent = 0;
  bool exponent = false, expPlus = false;
  int expDigits = 0, intPlaces = 0;
  bool fraction = false;
};

bool IsPlaceholder(char c) {
  return c == '0' || c == '#' || c == '?';
}

void ReadIntegerPart(const std::string& part, TNumberPattern& p) {
  const auto last = part.find_last_of("0#?");
  for (std::size_t i = 0; i < part.size(); ++i) {
    const char c = part[i];
    if (c == '0') ++p.minInt;
    if (IsPlaceholder(c)) ++p.intPlaces;
    if (c == ',' && last != std::string::npos && i < last) p.group = true;
    if (c == ',' && (last == std::string::npos || i > last)) ++p.scaleThousands;
  }
}

TNumberPattern ReadPattern(const std::vector<TFormatToken>& tokens) {
  std::string pattern;
  TNumberPattern p;
  for (const TFormatToken& token : tokens) {
    if (token.kind == TFormatToken::Number) pattern += token.text;
    if (token.kind == TFormatToken::Percent) ++p.percent;
  }
  p.fraction = pattern.find('/') != std::string::npos;
  std::string mantissa = pattern;
  if (const auto e = pattern.find_first_of("Ee"); e != std::string::npos) {
    p.exponent = true;
    p.expPlus = e + 1 < pattern.size() && pattern[e + 1] == '+';
    for (std::size_t i = e + 2; i < pattern.size(); ++i) p.expDigits += IsPlaceholder(pattern[i]);
    mantissa = pattern.substr(0, e);
  }
  const auto point = mantissa.find('.');
  ReadIntegerPart(mantissa.substr(0, point), p);
  if (point != std::string::npos) {
    for (char c : mantissa.substr(point + 1)) {
      p.minDec += c == '0';
      p.maxDec += IsPlaceholder(c);
    }
  }
  return p;
}

// The magnitude in fixed notation with the given decimals. Spreadsheets keep 15 significant
// digits and round halves away from zero, so 2.675 shows as 2.68 and 2.5 as 3.
std::string RoundedFixed(double v, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.14e", v);
  std::string digits;
  for (const char* p = buffer; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits += *p;
  const int exponent = std::atoi(std::strchr(buffer, 'e') + 1);
  // digits[0] is the units digit times 10^exponent; keep up to `decimals` places after the point.
  const int keep = exponent + 1 + decimals;
  if (keep < 0) return decimals > 0 ? "0." + std::string(std::size_t(decimals), '0') : "0";
  if (std::size_t(keep) < digits.size()) {
    const bool up = digits[std::size_t(keep)] >= '5';
    digits.resize(std::size_t(keep));
    for (std::size_t i = digits.size(); up;) {
      if (i == 0) {
        digits.insert(digits.begin(), '1');
        break;
      }
      if (digits[--i] == '9') {
        digits[i] = '0';
        continue;
      }
      ++digits[i];
      break;
    }
  } else {
    digits.append(std::size_t(keep) - digits.size(), '0');
  }
  if (int(digits.size()) <= decimals)
    digits.insert(0, std::size_t(decimals + 1) - digits.size(), '0');
  const std::size_t point = digits.size() - std::size_t(decimals);
  return decimals > 0 ? digits.substr(0, point) + "." + digits.substr(point) : digits;
}

std::string Group(const std::string& digits) {
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += kThousandsSeparator;
    out += digits[i];
  }
  return out;
}

std::string Fixed(double v, const TNumberPattern& p) {
  const std::string text = RoundedFixed(v, p.maxDec);
  const auto point = text.find('.');
  std::string integer = text.substr(0, point);
  std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
  while (int(fraction.size()) > p.minDec && fraction.back() == '0') fraction.pop_back();
  if (integer == "0" && p.minInt == 0) integer.clear();
  if (int(integer.size()) < p.minInt)
    integer = std::string(std::size_t(p.minInt) - integer.size(), '0') + integer;
  if (p.group) integer = Group(integer);
  return fraction.empty() ? integer : integer + kDecimalSeparator + fraction;
}

std::string Scientific(double v, const TNumberPattern& p) {
  const int places = std::max(p.intPlaces, 1);
  int exponent = v == 0 ? 0 : int(std::floor(std::log10(v)));
  exponent = places > 1 ? int(std::floor(double(exponent) / places)) * places : exponent;
  TNumberPattern mantissa = p;
  mantissa.group = false;
  mantissa.minInt = std::max(p.minInt, 1);
  std::string digits = Fixed(v / std::pow(10.0, exponent), mantissa);
  std::string power = std::to_string(std::abs(exponent));
  if (int(power.size()) < p.expDigits)
    power = std::string(std::size_t(p.expDigits) - power.size(), '0') + power;
  return digits + "E" + (exponent < 0 ? "-" : p.expPlus ? "+" : "") + power;
}

std::string Digits(double magnitude, const TNumberPattern& p) {
  if (p.fraction) return FormatGeneral(magnitude);
  return p.exponent ? Scientific(magnitude, p) : Fixed(magnitude, p);
}

bool IsPlaceholderToken(const TFormatToken& token) {
  return token.kind == TFormatToken::Number || token.kind == TFormatToken::General ||
         token.kind == TFormatToken::Text;
}

bool AllZero(const std::string& digits) {
  return digits.find_first_of("123456789") == std::string::npos;
}

}  // namespace

std::string FormatGeneral(double value) {
  char buffer[64];
  const double magnitude = std::fabs(value);
  if (magnitude != 0 && (magnitude >= 1e15 || magnitude < 1e-9))
    std::snprintf(buffer, sizeof buffer, "%.14E", value);
  else
    std::snprintf(buffer, sizeof buffer, "%s%s", value < 0 ? "-" : "",
                  RoundedFixed(magnitude, 15).c_str());
  std::string text = buffer;
  auto e = text.find('E');
  std::string power = e == std::string::npos ? "" : text.substr(e);
  std::string mantissa = text.substr(0, e);
  if (const auto point = mantissa.find('.'); point != std::string::npos) {
    while (mantissa.back() == '0') mantissa.pop_back();
    if (mantissa.back() == '.')
      mantissa.pop_back();
    else
      mantissa.replace(point, 1, kDecimalSeparator);
  }
  if (mantissa == "-0") mantissa = "0";
  return mantissa + power;
}

std::string FormatDecimal(double value, const std::vector<TFormatToken>& tokens, bool withSign) {
  const TNumberPattern pattern = ReadPattern(tokens);
  double magnitude = std::fabs(value);
  for (int i = 0; i < pattern.percent; ++i) magnitude *= 100;
  for (int i = 0; i < pattern.scaleThousands; ++i) magnitude /= 1000;
  bool general = false;
  for (const TFormatToken& token : tokens)
    general = general || token.kind == TFormatToken::General || token.kind == TFormatToken::Text;
  const std::string digits = general ? FormatGeneral(magnitude) : Digits(magnitude, pattern);
  std::string out;
  bool placed = false;
  for (const TFormatToken& token : tokens) {
    if (!IsPlaceholderToken(token)) {
      out += token.text;
    } else if (!placed) {
      out += digits;
      placed = true;
    }
  }
  const bool negative = withSign && value < 0 && !AllZero(digits);
  return negative ? "-" + out : out;
}

}  // namespace datasource
