// What pagination needs to know of the fonts: how many lines a paragraph takes in a column. The
// layout is given a measurer; the Qt side measures with the fonts it draws with, and where there
// are no fonts (no GUI, the fuzzers, the core's own tests) an estimate from the font sizes
// stands in.
#pragma once

#include <string>
#include <vector>

#include "wordproc/core/Model.h"

namespace wordproc {

class TextMeasurer {
 public:
  virtual ~TextMeasurer() = default;
  // Lines of the paragraph's text broken within width points; at least one.
  virtual int lineCount(const Paragraph& paragraph, double width) const = 0;
  // The font's single line spacing in points: ascent, descent and line gap as its file gives
  // them. Word processors set single-spaced lines this far apart.
  virtual double singleLineHeight(const RunFormat& format) const = 0;
  // Height of the paragraph's lines broken within width, each lineHeight tall or as tall as the
  // inline pictures standing on it (unless the height is exact). The estimate takes the tallest
  // picture as the least height of all the lines.
  virtual double textHeight(const Paragraph& paragraph, double width, double lineHeight) const;
  // The height of each line of the paragraph broken within width: the line rule applied to the
  // tallest font standing on that line, or lineHeight where the measurer cannot tell the lines'
  // fonts apart (the estimate), and never lower than a picture on it (unless the height is
  // exact).
  virtual std::vector<double> lineHeights(const Paragraph& paragraph, double width,
                                          double lineHeight) const;
  // The line (from 0) of the paragraph broken within width that each of its footnote marks
  // (runs with a note) stands on, in the order of its runs. The estimate spreads the text's
  // characters evenly over its lines.
  virtual std::vector<int> noteLines(const Paragraph& paragraph, double width) const;
};

// Whether any run of the paragraph refers to a footnote.
bool HasNoteMarks(const Paragraph& paragraph);

// Whether the run takes room in its line without text of its own: a symbol font's character, or
// the check box of a form field.
bool ShowsSymbol(const Run& run);

// The families a font name stands for, in order of preference. LibreOffice names fonts with
// their stand-ins, "Liberation Serif;Times New Roman", and uses the first one installed; any
// other name is one family.
std::vector<std::string> FontFamilies(const std::string& name);

// Single line spacing as a multiple of the font size, as the font files of the usual families
// and their metric-compatible twins give it (of the first of them a name lists); other families
// get a middling value.
double EstimatedLineSpacing(const std::string& family);

// Average glyph width as a multiple of the font size, for the estimate.
inline constexpr float kAverageGlyphWidth = 0.5f;

// Every character kAverageGlyphWidth of its font size wide, lines filled to the last point.
const TextMeasurer& EstimatedText();

}  // namespace wordproc
