// What the program sets for printing through automation: the corner of rounded rectangles, the
// printer to print on, and the offset every printed page is moved by on each printer.
#include "tests/common/PdfWords.h"
#include "tests/wordproc/om_support.h"

using namespace om_test;

namespace {

constexpr double kMm = 72 / 25.4;

class OmPrinting : public OmTest {
 protected:
  void SetUp() override {
    OmTest::SetUp();
    EnsureGui();
    word = NewWord();
    options = word.get("Options");
  }
  void TearDown() override {
    word.call("Quit", 0);
    OmTest::TearDown();
  }
  // A page with two words at known places, and a hidden third.
  Variant Document() {
    Variant doc = word.get("Documents").call("Add");
    const Variant shapes = doc.get("Shapes");
    const float places[][2] = {{100, 100}, {300, 500}, {100, 700}};
    const char* words[] = {"Первое", "Второе", "Скрытое"};
    for (int k = 0; k < 3; ++k) {
      Variant box = shapes.call("AddTextbox", 1, places[k][0], places[k][1], 150.0f, 40.0f);
      box.get("TextFrame").get("TextRange").put("Text", words[k]);
      box.get("Line").put("Visible", 0);
      if (k == 2) box.put("Visible", 0);
    }
    return doc;
  }
  std::vector<pdf_test::PdfWord> Printed(const Variant& doc, const std::string& name) {
    const std::string pdf = scratch_ / name;
    const Variant skip = Missing();
    doc.call("PrintOut", false, skip, skip, pdf, skip, skip, skip, skip, skip, skip, true);
    return pdf_test::PdfWords(pdf);
  }

  Variant word, options;
};

TEST_F(OmPrinting, TheCornerOfARoundedRectangleIsKeptInTheFile) {
  Variant doc = word.get("Documents").call("Add");
  Variant rounded = doc.get("Shapes").call("AddShape", 5, 10, 10, 100, 40);
  Variant corners = rounded.get("Adjustments");
  EXPECT_EQ(corners.get("Count").toInt(), 1);
  EXPECT_NEAR(corners.call("Item", 1).toFloat(), 0.16667f, 1e-5f) << "the preset's own corner";
  wordlink::Args set{1, 0.3f};
  corners.invoke("Item", wordlink::InvokeKind::PropertyPut, set);
  wordlink::Args tooRound{1, 0.6f};
  EXPECT_THROW(corners.invoke("Item", wordlink::InvokeKind::PropertyPut, tooRound),
               wordlink::AutomationError);
  Variant square = doc.get("Shapes").call("AddShape", 1, 10, 100, 100, 40);
  EXPECT_EQ(square.get("Adjustments").get("Count").toInt(), 0);
  EXPECT_THROW(square.get("Adjustments").call("Item", 1), wordlink::AutomationError);
  const std::string path = scratch_ / "corner.docx";
  doc.call("SaveAs", path);
  doc.call("Close", 0);
  Variant again = word.get("Documents").call("Open", path);
  EXPECT_NEAR(again.get("Shapes").call("Item", 1).get("Adjustments").call("Item", 1).toFloat(),
              0.3f, 1e-5f);
}

TEST_F(OmPrinting, EveryPrintedWordMovesByThePdfOffsetExactly) {
  if (!pdf_test::HavePdfToText()) GTEST_SKIP() << "pdftotext is not installed";
  const Variant doc = Document();
  const auto plain = Printed(doc, "plain.pdf");
  options.call("SetPrinterOffset", "PDF", float(1.5 * kMm), float(-2 * kMm));
  options.call("SetPrinterOffset", "Принтер в цеху", 30.0f, 30.0f);
  const auto moved = Printed(doc, "moved.pdf");
  ASSERT_EQ(plain.size(), 2u) << "the hidden word stays hidden";
  ASSERT_EQ(moved.size(), plain.size());
  for (std::size_t k = 0; k < plain.size(); ++k) {
    EXPECT_EQ(moved[k].text, plain[k].text);
    EXPECT_NEAR(moved[k].xMin - plain[k].xMin, 1.5 * kMm, 0.02) << plain[k].text;
    EXPECT_NEAR(moved[k].yMin - plain[k].yMin, -2 * kMm, 0.02) << plain[k].text;
  }
}

TEST_F(OmPrinting, EachPrinterHasItsOwnOffsetAndTheStarServesTheRest) {
  EXPECT_FLOAT_EQ(options.call("PrinterOffsetHorizontal", "PDF").toFloat(), 0);
  options.call("SetPrinterOffset", "*", 3.0f, 4.0f);
  options.call("SetPrinterOffset", "Цех", 5.0f, 6.0f);
  EXPECT_FLOAT_EQ(options.call("PrinterOffsetHorizontal", "PDF").toFloat(), 3);
  EXPECT_FLOAT_EQ(options.call("PrinterOffsetVertical", "Цех").toFloat(), 6);
  EXPECT_THROW(options.call("SetPrinterOffset", "PDF", 200.0f, 0.0f), wordlink::AutomationError);
  options.call("ClearPrinterOffsets");
  EXPECT_FLOAT_EQ(options.call("PrinterOffsetVertical", "Цех").toFloat(), 0);
  EXPECT_THROW(word.put("ActivePrinter", "Нет такого принтера"), wordlink::AutomationError);
}

}  // namespace
