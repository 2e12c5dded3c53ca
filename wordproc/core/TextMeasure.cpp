#include "wordproc/core/TextMeasure.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace wordproc {

namespace {

constexpr float kDefaultFontSize = 11.0f;

std::size_t CodePoints(const std::string& text) {
  std::size_t n = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

class Estimate final : public TextMeasurer {
 public:
  int lineCount(const Paragraph& paragraph, double width) const override {
    double length = 0;
    for (const Run& run : paragraph.runs) {
      const float size = run.format.fontSize > 0 ? run.format.fontSize : kDefaultFontSize;
      length += double(CodePoints(run.text)) * kAverageGlyphWidth * size;
      if (run.note) length += double(CodePoints(run.note->text)) * kAverageGlyphWidth * size / 2;
      if (ShowsSymbol(run)) length += kAverageGlyphWidth * size;
    }
    // Indents narrow every line; the first line's own indent is counted as text.
    width -= paragraph.indents.left + paragraph.indents.right;
    length += std::max(0.0f, paragraph.indents.firstLine);
    if (width <= 0 || length <= width) return 1;
    return int(std::min(std::ceil(length / width), 1e9));
  }
  double singleLineHeight(const RunFormat& format) const override {
    const float size = format.fontSize > 0 ? format.fontSize : kDefaultFontSize;
    return EstimatedLineSpacing(format.fontFamily) * size;
  }
};

std::string Lower(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

}  // namespace

double TextMeasurer::textHeight(const Paragraph& paragraph, double width, double lineHeight) const {
  bool hasText = false;
  for (const Run& run : paragraph.runs) hasText = hasText || !run.text.empty();
  const int lines = hasText && width > 0 ? std::max(1, lineCount(paragraph, width)) : 1;
  double height = lines * lineHeight;
  for (const InlinePicture& picture : paragraph.inlinePictures)
    height = std::max(height, double(picture.height));
  return height;
}

std::vector<double> TextMeasurer::lineHeights(const Paragraph& paragraph, double width,
                                              double lineHeight) const {
  bool hasText = false;
  for (const Run& run : paragraph.runs) hasText = hasText || !run.text.empty();
  const int lines = hasText && width > 0 ? std::max(1, lineCount(paragraph, width)) : 1;
  return std::vector<double>(std::size_t(lines), lineHeight);
}

std::vector<int> TextMeasurer::noteLines(const Paragraph& paragraph, double width) const {
  std::size_t total = 0;
  for (const Run& run : paragraph.runs) total += CodePoints(run.text);
  const int lines = std::max(1, lineCount(paragraph, width));
  std::vector<int> result;
  std::size_t before = 0;
  for (const Run& run : paragraph.runs) {
    if (run.note) {
      const double share = total > 0 ? double(before) / double(total) : 0;
      result.push_back(std::min(lines - 1, int(share * lines)));
    }
    before += CodePoints(run.text);
  }
  return result;
}

bool HasNoteMarks(const Paragraph& paragraph) {
  return std::any_of(paragraph.runs.begin(), paragraph.runs.end(),
                     [](const Run& run) { return run.note != nullptr; });
}

bool ShowsSymbol(const Run& run) {
  return run.symbol || (run.format.fieldCode && run.format.fieldCode->checkBox);
}

std::vector<std::string> FontFamilies(const std::string& name) {
  std::vector<std::string> families;
  for (std::size_t from = 0; from <= name.size();) {
    const std::size_t end = std::min(name.find(';', from), name.size());
    std::string family = name.substr(from, end - from);
    const std::size_t first = family.find_first_not_of(' ');
    if (first != std::string::npos)
      families.push_back(family.substr(first, family.find_last_not_of(' ') - first + 1));
    from = end + 1;
  }
  if (families.empty()) families.push_back(name);
  return families;
}

double EstimatedLineSpacing(const std::string& family) {
  // (ascender + descender + line gap) / units per em of the hhea tables (Caladea: of its
  // typographic ones, which it asks to be used).
  static const std::pair<const char*, double> kFamilies[] = {
      {"calibri", 2500.0 / 2048},         {"carlito", 2500.0 / 2048},
      {"cambria", 1150.0 / 1000},         {"caladea", 1150.0 / 1000},
      {"times new roman", 2355.0 / 2048}, {"liberation serif", 2355.0 / 2048},
      {"arial", 2355.0 / 2048},           {"liberation sans", 2355.0 / 2048},
      {"courier new", 2320.0 / 2048},     {"liberation mono", 2320.0 / 2048},
      {"dejavu sans", 2384.0 / 2048},     {"dejavu serif", 2384.0 / 2048},
  };
  const std::string lower = Lower(FontFamilies(family).front());
  for (const auto& [name, spacing] : kFamilies) {
    if (lower == name) return spacing;
  }
  return 1.15;
}

const TextMeasurer& EstimatedText() {
  static const Estimate estimate;
  return estimate;
}

}  // namespace wordproc
