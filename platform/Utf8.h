// UTF-8 as the whole program reads it: one strict decoder, so that every part agrees on which
// bytes are text. Overlong forms, surrogates, code points beyond U+10FFFF, stray continuation
// bytes and cut-off sequences are invalid; what a caller does with an invalid byte (refuse the
// text, replace it, keep it as it is) is the caller's choice.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// One step through UTF-8 text: the code point at a position and the bytes it takes. An invalid
// sequence is one byte long and has valid == false; its codePoint is that byte.
struct Utf8Char {
  char32_t codePoint = 0;
  std::size_t length = 1;
  bool valid = false;
};
Utf8Char DecodeUtf8(std::string_view text, std::size_t at);

bool IsValidUtf8(std::string_view text);

// Appends the code point as UTF-8; one beyond U+10FFFF or a surrogate becomes U+FFFD.
void AppendUtf8(std::string& out, char32_t codePoint);

}  // namespace platform
