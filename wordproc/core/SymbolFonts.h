// The characters of the symbol fonts documents name (Symbol, Wingdings) as Unicode, for drawing
// them where those fonts are not installed: list bullets and w:sym characters.
#pragma once

#include <string_view>

namespace wordproc {

// A symbol font's character codes lie in the private use area from U+F020 (as w:sym and
// bullets give them) or are the font's bytes 0x20..0xFF themselves.
inline constexpr char32_t kSymbolFontBase = 0xF000;

// The Unicode character the character code of the named font shows, or 0 where the font is not
// one of those known or the code no character of it. Font names compare without regard to case.
char32_t SymbolFontUnicode(std::string_view font, char32_t code);

// Whether the font is one whose characters SymbolFontUnicode knows.
bool IsKnownSymbolFont(std::string_view font);

}  // namespace wordproc
