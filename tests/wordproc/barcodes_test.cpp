// Barcode fields drawn into PDF files and read back by a barcode reader with exactly their data;
// data a type cannot encode gives the reason instead of a barcode.
#include <gtest/gtest.h>

#include "tests/support/Gui.h"
#include "tests/wordproc/ooxml_test_support.h"
#include "wordproc/Barcode.h"
#include "wordproc/Render.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace ooxml_test;

namespace {

std::unique_ptr<Document> OneField(const std::string& instruction) {
  auto doc = std::make_unique<Document>();
  doc->paragraphs[0].runs.push_back({"Код: ", RunFormat{}});
  doc->paragraphs[0].runs.push_back(NewFieldRun(RunFormat{}, instruction, "?"));
  FieldContext context;
  context.barcodeCheck = BarcodeProblem;
  UpdateDocumentFields(*doc, context);
  return doc;
}

// What zbarimg reads on the first page at 300 dots per inch, one line per symbol.
std::string Decoded(const Document& doc, const TempDir& dir) {
  Layout layout(doc, FontMeasurer());
  WritePdf(doc, layout, dir / "code.pdf");
  RunAndCapture("pdftoppm -r 300 -f 1 -l 1 -png " + Quote(dir / "code.pdf") + " " +
                Quote(dir / "page"));
  std::string text =
      RunAndCapture("zbarimg -q --raw " + Quote(dir / "page-1.png") + " 2>/dev/null");
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

struct Case {
  const char* instruction;
  const char* expected;  // what the reader gives back
};

TEST(Barcodes, EveryTypeIsReadBackWithItsData) {
  if (!HaveProgram("zbarimg") || !HaveProgram("pdftoppm"))
    GTEST_SKIP() << "zbar-tools or poppler-utils is not installed";
  test_support::EnsureApplication();
  const Case cases[] = {
      {"DISPLAYBARCODE \"Привет, мир! №42\" QR \\q 2", "Привет, мир! №42"},
      {"DISPLAYBARCODE \"4601234567893\" EAN13 \\t", "4601234567893"},
      {"DISPLAYBARCODE \"460123456789\" JAN13", "4601234567893"},
      {"DISPLAYBARCODE \"96385074\" EAN8 \\h 1440", "96385074"},
      // The reader gives UPC-A as the EAN-13 it is part of.
      {"DISPLAYBARCODE \"036000291452\" UPCA", "0036000291452"},
      // UPC-E comes back as the UPC-A it stands for, in its EAN-13 form.
      {"DISPLAYBARCODE \"0123456\" UPCE", "0012345000065"},
      {"DISPLAYBARCODE \"ABC-123\" CODE39 \\d", "ABC-123"},
      {"DISPLAYBARCODE \"Stampora 128/ok\" CODE128 \\s 150", "Stampora 128/ok"},
      {"DISPLAYBARCODE \"A40156B\" NW7", "A40156B"},
      {"DISPLAYBARCODE \"15400141288763\" ITF14", "15400141288763"},
      {"DISPLAYBARCODE \"1540014128876\" CASE \\r 1", "15400141288763"},
      // A supplement beside the code leaves the code readable.
      {"DISPLAYBARCODE \"460123456789312\" EAN13 \\p SUP2", "4601234567893"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.instruction);
    TempDir dir;
    const auto doc = OneField(c.instruction);
    ASSERT_FALSE(FieldsIn(doc->paragraphs)[0].code->error);
    EXPECT_EQ(Decoded(*doc, dir), c.expected);
  }
}

// The reader knows no Japanese postal code: its bars are checked against the 4-state pattern
// of their data instead (start, 7 digits, check character and stop make 67 bars).
TEST(Barcodes, JapanesePostalCodesDrawTheirBars) {
  FieldCode code;
  code.instruction = "DISPLAYBARCODE \"15400233-16-4-205\" JPPOST";
  const auto symbol = BarcodeOf(code);
  ASSERT_TRUE(symbol);
  EXPECT_EQ(symbol->rectangles.size(), 67u);
  EXPECT_GT(symbol->width, symbol->height);
}

TEST(Barcodes, DataATypeCannotEncodeGivesTheReason) {
  const std::pair<const char*, const char*> cases[] = {
      {"DISPLAYBARCODE \"46012345678AB\" EAN13", "только цифры"},
      {"DISPLAYBARCODE \"4601234567890\" EAN13", "контрольная цифра 0, должна быть 3"},
      {"DISPLAYBARCODE \"12345\" EAN13", "нужно 12 или 13 цифр"},
      {"DISPLAYBARCODE \"A_B\" CODE39", "недопустимые символы"},
      {"DISPLAYBARCODE \"1\" AZTEC", "Неизвестный тип"},
      {"DISPLAYBARCODE \"4601234567893+1A\" EAN13 \\p SUP2", "дополнительный код SUP2"},
  };
  for (const auto& [instruction, reason] : cases) {
    SCOPED_TRACE(instruction);
    auto problem = BarcodeProblem(ParseFieldInstruction(instruction));
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find(reason), std::string::npos) << *problem;
    const auto doc = OneField(instruction);
    const FieldSpan span = FieldsIn(doc->paragraphs)[0];
    EXPECT_TRUE(span.code->error);
    EXPECT_EQ(FieldResultText(doc->paragraphs, span), *problem);
    EXPECT_FALSE(BarcodeOf(*span.code));
  }
}

}  // namespace

namespace {

TEST(Barcodes, SupplementsWidenTheCode) {
  auto width = [](const std::string& instruction) {
    FieldCode code;
    code.instruction = instruction;
    const auto symbol = BarcodeOf(code);
    return symbol ? symbol->width : 0.0;
  };
  const double plain = width("DISPLAYBARCODE \"4601234567893\" EAN13");
  ASSERT_GT(plain, 0);
  EXPECT_GT(width("DISPLAYBARCODE \"460123456789312\" EAN13 \\p SUP2"), plain);
  EXPECT_GT(width("DISPLAYBARCODE \"4601234567893+12345\" EAN13 \\p SUP5"),
            width("DISPLAYBARCODE \"4601234567893+12\" EAN13 \\p SUP2"));
  EXPECT_EQ(width("DISPLAYBARCODE \"4601234567893\" EAN13 \\p STD"), plain);
}

// The check of a QR code does not encode it when the data fits byte mode: it must agree with
// the encoding at the edge of the capacity of every error level.
TEST(Barcodes, QrCheckAgreesWithTheEncodingAtTheCapacity) {
  const std::pair<int, std::size_t> levels[] = {{0, 2953}, {3, 1273}};
  for (const auto& [level, capacity] : levels) {
    for (std::size_t size : {capacity, capacity + 1}) {
      SCOPED_TRACE(std::to_string(level) + " " + std::to_string(size));
      // Bytes no mode but byte mode takes, so the capacity is exactly byte mode's.
      const std::string data(size, 'z');
      const std::string instruction =
          "DISPLAYBARCODE \"" + data + "\" QR \\q " + std::to_string(level);
      const bool fits = size <= capacity;
      EXPECT_EQ(!BarcodeProblem(ParseFieldInstruction(instruction)), fits);
      FieldCode code;
      code.instruction = instruction;
      EXPECT_EQ(BarcodeOf(code) != nullptr, fits);
    }
  }
}

}  // namespace
