#include "labels/Units.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace labels {

namespace {

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

std::optional<double> UnitSize(std::string_view unit) {
  if (unit.empty() || unit == "pt") return 1.0;
  if (unit == "in") return kPointsPerInch;
  if (unit == "mm") return kPointsPerMillimetre;
  if (unit == "cm") return 10 * kPointsPerMillimetre;
  if (unit == "pc") return 12.0;
  return std::nullopt;
}

}  // namespace

std::optional<double> ParseNumber(std::string_view text) {
  std::string number(Trimmed(text));
  if (!number.empty() && number[0] == '+') number.erase(0, 1);
  for (char& c : number)
    if (c == ',') c = '.';
  if (number.empty()) return std::nullopt;
  double value = 0;
  const char* end = number.data() + number.size();
  const auto [at, error] = std::from_chars(number.data(), end, value);
  if (error != std::errc() || at != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<double> ParseLength(std::string_view text) {
  text = Trimmed(text);
  if (text.empty()) return 0.0;
  std::size_t unitStart = text.size();
  while (unitStart > 0 && text[unitStart - 1] >= 'a' && text[unitStart - 1] <= 'z') --unitStart;
  const auto size = UnitSize(text.substr(unitStart));
  const std::string_view digits = Trimmed(text.substr(0, unitStart));
  // "in" alone is 0 inches to the files' makers, as an empty text is 0.
  const auto number = digits.empty() ? std::optional<double>(0.0) : ParseNumber(digits);
  if (!size || !number || digits.find(',') != std::string_view::npos) return std::nullopt;
  return *number * *size;
}

std::string FormatMm(double points) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", PointsToMm(points));
  std::string result(text);
  while (result.back() == '0') result.pop_back();
  if (result.back() == '.') result.pop_back();
  return result == "-0" ? "0" : result;
}

}  // namespace labels
