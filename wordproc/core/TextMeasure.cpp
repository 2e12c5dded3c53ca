#include "wordproc/core/TextMeasure.h"

#include <algorithm>
#include <cmath>

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
    }
    if (width <= 0 || length <= width) return 1;
    return int(std::min(std::ceil(length / width), 1e9));
  }
};

}  // namespace

const TextMeasurer& EstimatedText() {
  static const Estimate estimate;
  return estimate;
}

}  // namespace wordproc
