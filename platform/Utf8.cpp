#include "platform/Utf8.h"

namespace platform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

// The length a lead byte announces and the bits it carries; 0 for a byte that leads nothing.
std::size_t LeadLength(unsigned char c, char32_t& bits) {
  if (c < 0x80) return bits = c, 1;
  if (c >= 0xC2 && c <= 0xDF) return bits = c & 0x1F, 2;
  if (c >= 0xE0 && c <= 0xEF) return bits = c & 0x0F, 3;
  if (c >= 0xF0 && c <= 0xF4) return bits = c & 0x07, 4;
  return 0;
}

bool Acceptable(char32_t cp, std::size_t length) {
  const bool overlong = (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
  const bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
  return !overlong && !surrogate && cp <= 0x10FFFF;
}

}  // namespace

Utf8Char DecodeUtf8(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  Utf8Char invalid{lead, 1, false};
  char32_t cp = 0;
  const std::size_t length = LeadLength(lead, cp);
  if (length == 0 || at + length > text.size()) return invalid;
  for (std::size_t k = 1; k < length; ++k) {
    const auto c = static_cast<unsigned char>(text[at + k]);
    if (!IsContinuation(c)) return invalid;
    cp = (cp << 6) | (c & 0x3F);
  }
  return Acceptable(cp, length) ? Utf8Char{cp, length, true} : invalid;
}

bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const Utf8Char c = DecodeUtf8(text, i);
    if (!c.valid) return false;
    i += c.length;
  }
  return true;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

}  // namespace platform
