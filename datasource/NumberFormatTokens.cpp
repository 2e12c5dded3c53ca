#include <cctype>
#include <string_view>

#include "datasource/NumberFormatParts.h"

namespace datasource {

namespace {

std::size_t CodePointLength(unsigned char lead) {
  return lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

bool StartsWithNoCase(std::string_view text, std::size_t at, std::string_view prefix) {
  if (at + prefix.size() > text.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[at + i])) != prefix[i]) return false;
  return true;
}

class TTokenizer {
 public:
  explicit TTokenizer(const std::string& section) : s_(section) {}

  std::vector<TFormatToken> Run() {
    while (i_ < s_.size()) Step();
    return std::move(tokens_);
  }

 private:
  void Add(TFormatToken::Kind kind, std::string text) {
    if (kind == TFormatToken::Literal && !tokens_.empty() &&
        tokens_.back().kind == TFormatToken::Literal) {
      tokens_.back().text += text;
      return;
    }
    tokens_.push_back({kind, std::move(text)});
  }

  std::string NextCodePoint() {
    const std::size_t n = CodePointLength(static_cast<unsigned char>(s_[i_]));
    std::string point = s_.substr(i_, n);
    i_ += point.size();
    return point;
  }

  // Moves past skip bytes, then adds the token.
  void Take(std::size_t skip, TFormatToken::Kind kind, std::string text) {
    i_ += skip;
    Add(kind, std::move(text));
  }

  // A backslash shows the next character, an underscore leaves a space as wide as it, an
  // asterisk repeats it to fill the cell (a single cell text needs none of it).
  bool Escape(char c) {
    if ((c != '\\' && c != '_' && c != '*') || i_ + 1 >= s_.size()) return false;
    ++i_;
    const std::string next = NextCodePoint();
    if (c == '\\') Add(TFormatToken::Literal, next);
    if (c == '_') Add(TFormatToken::Literal, " ");
    return true;
  }

  bool Keyword() {
    struct TKeyword {
      std::string_view word;
      TFormatToken::Kind kind;
      const char* text;
    };
    static constexpr TKeyword kKeywords[] = {{"general", TFormatToken::General, ""},
                                             {"am/pm", TFormatToken::AmPm, "AM/PM"},
                                             {"a/p", TFormatToken::AmPm, "A/P"}};
    for (const TKeyword& keyword : kKeywords) {
      if (!StartsWithNoCase(s_, i_, keyword.word)) continue;
      Take(keyword.word.size(), keyword.kind, keyword.text);
      return true;
    }
    return false;
  }

  void Step() {
    const char c = s_[i_];
    if (c == '"')
      Quoted();
    else if (c == '[')
      Bracket();
    else if (!Escape(c) && !Keyword())
      Plain(c);
  }

  void Plain(char c) {
    const char lower = char(std::tolower(static_cast<unsigned char>(c)));
    const bool exponent =
        lower == 'e' && i_ + 1 < s_.size() && (s_[i_ + 1] == '+' || s_[i_ + 1] == '-');
    if (lower == 'y' || lower == 'm' || lower == 'd' || lower == 'h' || lower == 's')
      DateRun(lower);
    else if (exponent)
      Take(2, TFormatToken::Number, s_.substr(i_, 2));
    else if (c == '%')
      Take(1, TFormatToken::Percent, "%");
    else if (c == '@')
      Take(1, TFormatToken::Text, {});
    else if (std::string_view("0#?.,/").find(c) != std::string_view::npos)
      Take(1, TFormatToken::Number, std::string(1, c));
    else
      Add(TFormatToken::Literal, NextCodePoint());
  }

  void Quoted() {
    const std::size_t end = s_.find('"', i_ + 1);
    const std::size_t stop = end == std::string::npos ? s_.size() : end;
    Add(TFormatToken::Literal, s_.substr(i_ + 1, stop - i_ - 1));
    i_ = stop == s_.size() ? stop : stop + 1;
  }

  // Colours, conditions and locales are dropped; a currency keeps its symbol.
  void Bracket() {
    const std::size_t end = s_.find(']', i_);
    if (end == std::string::npos) return void(i_ = s_.size());
    const std::string inside = s_.substr(i_ + 1, end - i_ - 1);
    i_ = end + 1;
    if (!inside.empty() && inside[0] == '$')
      return Add(TFormatToken::Literal, inside.substr(1, inside.find('-') - 1));
    std::string lower;
    for (char c : inside) lower += char(std::tolower(static_cast<unsigned char>(c)));
    if (!lower.empty() && lower.find_first_not_of(lower[0]) == std::string::npos &&
        (lower[0] == 'h' || lower[0] == 'm' || lower[0] == 's'))
      Add(TFormatToken::Elapsed, lower);
  }

  void DateRun(char letter) {
    std::string run;
    while (i_ < s_.size() && std::tolower(static_cast<unsigned char>(s_[i_])) == letter) {
      run += letter;
      ++i_;
    }
    Add(TFormatToken::Date, run);
  }

  const std::string& s_;
  std::size_t i_ = 0;
  std::vector<TFormatToken> tokens_;
};

}  // namespace

std::vector<TFormatToken> Tokenize(const std::string& section) {
  return TTokenizer(section).Run();
}

bool IsDateFormat(const std::vector<TFormatToken>& tokens) {
  for (const TFormatToken& token : tokens)
    if (token.kind == TFormatToken::Date || token.kind == TFormatToken::Elapsed) return true;
  return false;
}

}  // namespace datasource
