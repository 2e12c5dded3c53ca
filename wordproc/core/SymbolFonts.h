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

// The character to show for a code of the font where the font itself is not at hand: a known
// symbol font's code as the character it stands for, one it has nothing at as a bullet (as list
// labels take it); any other font's code from the private use area as the byte it stands for.
char32_t SymbolStandIn(std::string_view font, char32_t code);

}  // namespace wordproc
