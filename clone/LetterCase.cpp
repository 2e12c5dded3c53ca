#include <cstdint>

#include "clone/MergeData.h"
#include "datasource/Encoding.h"

namespace cloning {

namespace {

char32_t Decode(const std::string& text, std::size_t& i) {
  const auto byte = [&](std::size_t k) { return char32_t(static_cast<unsigned char>(text[k])); };
  const char32_t lead = byte(i);
  const std::size_t n = lead < 0x80    ? 1
                        : lead >= 0xF0 ? 4
                        : lead >= 0xE0 ? 3
                        : lead >= 0xC0 ? 2
                                       : 1;
  if (n == 1 || i + n > text.size()) {
    ++i;
    return lead;
  }
  char32_t code = lead & (0x7F >> n);
  for (std::size_t k = 1; k < n; ++k) code = code << 6 | (byte(i + k) & 0x3F);
  i += n;
  return code;
}

// Latin and Cyrillic letters, Ё and ё included.
char32_t ToUpper(char32_t c) {
  if ((c >= U'a' && c <= U'z') || (c >= U'а' && c <= U'я')) return c - 0x20;
  if (c >= U'ѐ' && c <= U'џ') return c - 0x50;
  return c;
}

char32_t ToLower(char32_t c) {
  if ((c >= U'A' && c <= U'Z') || (c >= U'А' && c <= U'Я')) return c + 0x20;
  if (c >= U'Ѐ' && c <= U'Џ') return c + 0x50;
  return c;
}

bool IsLetter(char32_t c) {
  return ToUpper(c) != ToLower(c);
}

}  // namespace

std::string ChangeLetterCase(const std::string& text, const std::string& how) {
  if (how != "UPPER" && how != "LOWER" && how != "CAPS" && how != "FIRSTCAP") return text;
  std::string out;
  bool wordStart = true, first = true;
  for (std::size_t i = 0; i < text.size();) {
    char32_t c = Decode(text, i);
    if (how == "UPPER") c = ToUpper(c);
    if (how == "LOWER") c = ToLower(c);
    if (how == "CAPS" && wordStart) c = ToUpper(c);
    if (how == "FIRSTCAP" && first && IsLetter(c)) c = ToUpper(c);
    if (IsLetter(c)) first = false;
    wordStart = !IsLetter(c) && c != U'\'';
    datasource::AppendUtf8(out, c);
  }
  return out;
}

}  // namespace cloning
