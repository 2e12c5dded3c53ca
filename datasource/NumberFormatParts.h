// The pieces of a number format section and how numbers and dates are written by them.
#pragma once

#include <string>
#include <vector>

namespace datasource {

inline constexpr const char* kDecimalSeparator = ",";
inline constexpr const char* kThousandsSeparator = "\u00A0";

struct TFormatToken {
  enum Kind { Literal, Number, Percent, Date, Elapsed, AmPm, General, Text } kind = Literal;
  std::string text;  // Date and Elapsed: the letters in lower case
};

std::vector<TFormatToken> Tokenize(const std::string& section);
bool IsDateFormat(const std::vector<TFormatToken>& tokens);
// withSign: the section is used for negative numbers as well, so it writes the minus itself.
std::string FormatDecimal(double value, const std::vector<TFormatToken>& tokens, bool withSign);
std::string FormatDate(double value, const std::vector<TFormatToken>& tokens, bool date1904);
// As the General format shows a number: up to 15 significant digits, no grouping.
std::string FormatGeneral(double value);

}  // namespace datasource
