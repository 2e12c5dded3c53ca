#include <algorithm>
#include <array>

#include "datasource/DataSource.h"
#include "datasource/Encoding.h"
#include "datasource/Table.h"

namespace datasource {

namespace {

constexpr std::array<char, 3> kSeparators = {';', '\t', ','};
constexpr int kLinesToSniff = 6;

// How often each separator occurs outside quotes in the first lines of the text.
std::vector<std::array<int, 3>> CountSeparators(std::string_view text) {
  std::vector<std::array<int, 3>> lines(1, {0, 0, 0});
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool fieldStart =
        i == 0 || std::string_view(";\t,\r\n").find(text[i - 1]) != std::string_view::npos;
    if (c == '"' && (quoted || fieldStart)) {
      quoted = !quoted;
    } else if (!quoted && (c == '\n' || c == '\r')) {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      if (lines.back() == std::array<int, 3>{0, 0, 0}) continue;
      if (int(lines.size()) == kLinesToSniff) break;
      lines.push_back({0, 0, 0});
    } else if (!quoted) {
      for (std::size_t k = 0; k < kSeparators.size(); ++k)
        if (c == kSeparators[k]) ++lines.back()[k];
    }
  }
  if (lines.size() > 1 && lines.back() == std::array<int, 3>{0, 0, 0}) lines.pop_back();
  return lines;
}

// The separator of the header line; between separators the header uses alike, the one every
// following line uses as often wins.
char DetectSeparator(std::string_view text) {
  const auto lines = CountSeparators(text);
  int best = -1;
  bool bestSteady = false;
  for (std::size_t k = 0; k < kSeparators.size(); ++k) {
    const int inHeader = lines.front()[k];
    if (inHeader == 0) continue;
    const bool steady = std::all_of(lines.begin() + 1, lines.end(),
                                    [&](const auto& line) { return line[k] == inHeader; });
    const bool better = best < 0 || (steady && !bestSteady) ||
                        (steady == bestSteady && inHeader > lines.front()[std::size_t(best)]);
    if (better) {
      best = int(k);
      bestSteady = steady;
    }
  }
  return best < 0 ? ',' : kSeparators[std::size_t(best)];
}

// RFC 4180 records; line ends are CRLF, LF or a lone CR; a quoted field may span lines.
class TCsvParser {
 public:
  TCsvParser(std::string_view text, char separator, TTableBuilder& table)
      : text_(text), separator_(separator), table_(table) {}

  void Parse() {
    while (pos_ < text_.size()) ParseRow();
  }

 private:
  void ParseRow() {
    std::vector<std::string> cells;
    ++row_;
    for (;;) {
      cells.push_back(ParseField());
      if (pos_ >= text_.size()) break;
      const char c = text_[pos_++];
      if (c == separator_) continue;
      if (c == '\r' && pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
      break;
    }
    table_.AddRow(std::move(cells), row_);
  }

  std::string ParseField() {
    if (pos_ < text_.size() && text_[pos_] == '"') return ParseQuoted();
    const std::size_t begin = pos_;
    while (pos_ < text_.size() && !IsEnd(text_[pos_])) ++pos_;
    return std::string(text_.substr(begin, pos_ - begin));
  }

  // Text after the closing quote up to the separator is kept, as spreadsheets do.
  std::string ParseQuoted() {
    std::string value;
    ++pos_;
    for (;;) {
      const std::size_t quote = text_.find('"', pos_);
      if (quote == std::string_view::npos)
        table_.Fail("кавычка, открытая в этой строке, не закрыта до конца файла", row_);
      value.append(text_.substr(pos_, quote - pos_));
      pos_ = quote + 1;
      if (pos_ < text_.size() && text_[pos_] == '"') {
        value += '"';
        ++pos_;
        continue;
      }
      break;
    }
    const std::size_t begin = pos_;
    while (pos_ < text_.size() && !IsEnd(text_[pos_])) ++pos_;
    value.append(text_.substr(begin, pos_ - begin));
    return value;
  }

  bool IsEnd(char c) const { return c == separator_ || c == '\n' || c == '\r'; }

  std::string_view text_;
  const char separator_;
  TTableBuilder& table_;
  std::size_t pos_ = 0;
  std::int64_t row_ = 0;
};

}  // namespace

TDataSource ReadCsv(std::string_view bytes, const std::string& fileName) {
  const std::string text = DecodeText(bytes);
  TTableBuilder table(fileName);
  TCsvParser(text, DetectSeparator(text), table).Parse();
  return table.Finish();
}

}  // namespace datasource
