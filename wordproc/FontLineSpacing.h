// A font's single line spacing as word processors take it from the font file.
#pragma once

#include <QFont>

namespace wordproc {

// Single line spacing in pixels of the font's size, as word processors take it from the font
// file: the hhea ascender, descender and line gap, or the OS/2 typographic ones when the font
// asks for them. Qt's own line spacing mixes the Windows ascent and descent with the hhea gap,
// which sets Calibri's lines a fifth further apart than any word processor does.
double FontFileLineSpacing(const QFont& font);

}  // namespace wordproc
