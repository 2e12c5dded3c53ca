#include "tools/BatchInfo.h"

#include <charconv>
#include <exception>

#include "tools/BatchArgs.h"
#include "wordlink/Automation.h"
#include "wordproc/WordProcessor.h"

namespace batch {

namespace {

using wordlink::Variant;

std::string Points(const Variant& value) {
  char buffer[64];
  auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value.toDouble(), std::chars_format::fixed, 2);
  return std::string(buffer, result.ptr);
}

std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return text;
}

Variant OpenReadOnlyHidden(const Variant& word, const std::string& file) {
  const Variant skip = Variant::missing();
  return word.get("Documents")
      .call("OpenNoRepairDialog", file, skip, true, false, skip, skip, skip, skip, skip, skip, skip,
            false);
}

void WritePage(const Variant& doc, std::ostream& out) {
  Variant setup = doc.get("PageSetup");
  out << "pages\t" << doc.get("Content").call("Information", 4).toInt() << "\n";
  out << "page\t" << Points(setup.get("PageWidth")) << "\t" << Points(setup.get("PageHeight"))
      << "\n";
  out << "margins\t" << Points(setup.get("TopMargin")) << "\t" << Points(setup.get("BottomMargin"))
      << "\t" << Points(setup.get("LeftMargin")) << "\t" << Points(setup.get("RightMargin"))
      << "\n";
}

void WriteShape(int index, const Variant& shape, std::ostream& out) {
  Variant line = shape.get("Line");
  out << index << "\t" << OneLine(shape.get("Name").toString()) << "\t" << shape.get("Type").toInt()
      << "\t" << shape.get("Anchor").call("Information", 3).toInt() << "\t"
      << Points(shape.get("Left")) << "\t" << Points(shape.get("Top")) << "\t"
      << Points(shape.get("Width")) << "\t" << Points(shape.get("Height")) << "\t"
      << (shape.get("Visible").toInt() != 0 ? 1 : 0) << "\t" << Points(line.get("Weight")) << "\t"
      << line.get("DashStyle").toInt() << "\n";
}

void WriteInfo(const Variant& word, const std::string& file, std::ostream& out) {
  Variant doc = OpenReadOnlyHidden(word, file);
  WritePage(doc, out);
  Variant shapes = doc.get("Shapes");
  const int count = shapes.get("Count").toInt();
  out << "shapes\t" << count << "\n";
  for (int i = 1; i <= count; ++i) WriteShape(i, shapes.call("Item", i), out);
  doc.call("Close", 0);
}

}  // namespace

int BatchInfo(const std::string& file, std::ostream& out, std::ostream& err) {
  if (!wordlink::IsProgIdRegistered("Word.Application")) wordproc::RegisterWordProcessor();
  Variant word;
  int result = 0;
  try {
    RequireRegularFile(file);
    word = wordlink::CreateOleObject("Word.Application");
    WriteInfo(word, file, out);
  } catch (const std::exception& e) {
    err << "stampora-batch: " << e.what() << "\n";
    result = 1;
  }
  try {
    if (word.isObject()) word.call("Quit", 0);
  } catch (const std::exception&) {
  }
  return result;
}

}  // namespace batch
