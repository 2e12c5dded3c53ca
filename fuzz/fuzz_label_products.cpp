// Feeds arbitrary bytes to the label product file reader, and lays out every sheet it accepts
// the checks of.
#include <cstddef>
#include <cstdint>
#include <string>

#include "labels/GlabelsXml.h"
#include "labels/SheetGeometry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const labels::TemplateFile file = labels::ParseTemplateText(text, "fuzz.xml");
  for (const labels::TemplateEntry& entry : file.templates) {
    labels::Product product;
    product.pageWidth = entry.paperId.empty() ? entry.width : 595.28;
    product.pageHeight = entry.paperId.empty() ? entry.height : 841.89;
    product.labels = entry.labels;
    if (!labels::GeometryProblem(product).empty()) continue;
    const labels::SheetLayout sheet = labels::LayOut(product);
    if (std::int64_t(sheet.labels.size()) != product.LabelCount()) __builtin_trap();
  }
  return 0;
}
