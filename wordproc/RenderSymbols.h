// Symbols drawn within the text: the characters of symbol fonts (w:sym) in a font that has them,
// and the check boxes of form fields.
#pragma once

#include <QColor>
#include <QPainter>
#include <QString>
#include <optional>
#include <string>

#include "wordproc/core/Model.h"

namespace wordproc {

// The font family a symbol is drawn in and the text drawn.
struct SymbolGlyph {
  std::string family;
  QString text;
};

// The symbol font itself where it is installed and has the character; otherwise the Unicode
// character the code stands for in OpenSymbol, whose gaps the system's fonts fill. A font we
// know no table of draws its code as any text would. Needs a QGuiApplication.
SymbolGlyph SymbolGlyphOf(const SymbolChar& symbol, const std::string& runFamily);

// The share of a check box below the baseline, about a font's descent.
inline constexpr double kBoxDescent = 0.19;

// Text set in a known symbol font that is not installed (a content control's check box in
// Wingdings): its characters as those they stand for, in OpenSymbol; nothing where the text is
// drawn as it is. Needs a QGuiApplication.
std::optional<SymbolGlyph> SymbolFontText(const std::string& family, const std::string& text);

// The side of a form field's check box in points: its own size, or that of its run's text.
double CheckBoxSide(const FormCheckBox& box, float textSize);

// A check box side points wide with its left edge at x, standing as low below the baseline as
// text's descenders reach; a checked one is crossed corner to corner.
void DrawCheckBox(QPainter& painter, bool checked, double side, const QColor& color, double x,
                  double baseline);

}  // namespace wordproc
