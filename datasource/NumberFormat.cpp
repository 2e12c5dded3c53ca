#include "datasource/NumberFormat.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

#include "datasource/NumberFormatParts.h"

namespace datasource {

namespace {

// Short dates and times follow the Russian locale, as the built-in numbers 14 and 22 are shown
// in the locale of whoever opens the book.
const std::map<int, std::string>& BuiltinCodes() {
  static const std::map<int, std::string> codes = {{0, "General"},
                                                   {1, "0"},
                                                   {2, "0.00"},
                                                   {3, "#,##0"},
                                                   {4, "#,##0.00"},
                                                   {5, "#,##0;-#,##0"},
                                                   {6, "#,##0;-#,##0"},
                                                   {7, "#,##0.00;-#,##0.00"},
                                                   {8, "#,##0.00;-#,##0.00"},
                                                   {9, "0%"},
                                                   {10, "0.00%"},
                                                   {11, "0.00E+00"},
                                                   {12, "General"},
                                                   {13, "General"},
                                                   {14, "dd.mm.yyyy"},
                                                   {15, "d-mmm-yy"},
                                                   {16, "d-mmm"},
                                                   {17, "mmm-yy"},
                                                   {18, "h:mm AM/PM"},
                                                   {19, "h:mm:ss AM/PM"},
                                                   {20, "h:mm"},
                                                   {21, "h:mm:ss"},
                                                   {22, "dd.mm.yyyy h:mm"},
                                                   {37, "#,##0 ;(#,##0)"},
                                                   {38, "#,##0 ;(#,##0)"},
                                                   {39, "#,##0.00;(#,##0.00)"},
                                                   {40, "#,##0.00;(#,##0.00)"},
                                                   {41, "#,##0"},
                                                   {42, "#,##0"},
                                                   {43, "#,##0.00"},
                                                   {44, "#,##0.00"},
                                                   {45, "mm:ss"},
                                                   {46, "[h]:mm:ss"},
                                                   {47, "mm:ss"},
                                                   {48, "##0.0E+0"},
                                                   {49, "@"}};
  return codes;
}

// Splits at semicolons outside quotes, escapes and brackets.
std::vector<std::string> SplitSections(const std::string& code) {
  std::vector<std::string> sections(1);
  for (std::size_t i = 0; i < code.size(); ++i) {
    const char c = code[i];
    if (c == '"') {
      const std::size_t end = code.find('"', i + 1);
      const std::size_t stop = end == std::string::npos ? code.size() : end + 1;
      sections.back() += code.substr(i, stop - i);
      i = stop - 1;
    } else if ((c == '\\' || c == '_' || c == '*') && i + 1 < code.size()) {
      sections.back() += code.substr(i, 2);
      ++i;
    } else if (c == ';') {
      sections.emplace_back();
    } else {
      sections.back() += c;
    }
  }
  return sections;
}

}  // namespace

std::string BuiltinFormatCode(int id) {
  const auto found = BuiltinCodes().find(id);
  return found == BuiltinCodes().end() ? "General" : found->second;
}

std::string FormatNumber(double value, const std::string& formatCode, bool date1904) {
  if (!std::isfinite(value)) return "#ЧИСЛО!";
  const std::vector<std::string> sections = SplitSections(formatCode);
  std::string section = sections[0];
  bool withSign = true;
  if (value < 0 && sections.size() >= 2 && !sections[1].empty()) {
    section = sections[1];
    value = -value;
    withSign = false;
  } else if (value == 0 && sections.size() >= 3) {
    section = sections[2];
  }
  const std::vector<TFormatToken> tokens = Tokenize(section);
  if (IsDateFormat(tokens)) return FormatDate(value, tokens, date1904);
  return FormatDecimal(value, tokens, withSign);
}

}  // namespace datasource
