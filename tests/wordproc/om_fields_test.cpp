// Fields through automation as the label merge drives them: a glyph's text box walked through
// TextFrame.TextRange.Fields, results and codes set, barcodes updated; and the body's fields.
#include "tests/wordproc/om_support.h"
#include "tests/wordproc/ooxml_test_support.h"
#include "wordproc/core/Fields.h"
#include "wordproc/core/Ooxml.h"

using namespace om_test;

namespace {

const char* kGlyph =
    "<w:p><w:r><w:pict><v:shape id=\"glyph\" type=\"#_x0000_t202\" style=\"position:absolute;"
    "width:200pt;height:100pt\"><v:textbox><w:txbxContent>"
    "<w:p><w:fldSimple w:instr=\" MERGEFIELD Имя \\* Upper \"><w:r><w:t>«Имя»</w:t></w:r>"
    "</w:fldSimple><w:r><w:t xml:space=\"preserve\"> из </w:t></w:r>"
    "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r>"
    "<w:r><w:instrText> MERGEFIELD Город </w:instrText></w:r>"
    "<w:r><w:fldChar w:fldCharType=\"separate\"/></w:r><w:r><w:t>«Город»</w:t></w:r>"
    "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r></w:p>"
    "<w:p><w:fldSimple w:instr=\" MERGEBARCODE Код EAN13 \"><w:r><w:t>«Код»</w:t></w:r>"
    "</w:fldSimple></w:p>"
    "</w:txbxContent></v:textbox></v:shape></w:pict></w:r><w:r><w:t>Тело </w:t></w:r>"
    "<w:fldSimple w:instr=\" SEQ Н \"><w:r><w:t>1</w:t></w:r></w:fldSimple></w:p>";

class OmFields : public OmTest {
 protected:
  void SetUp() override {
    OmTest::SetUp();
    word = NewWord();
    ooxml_test::WriteFile(scratch_ / "glyph.docx", ooxml_test::PackageWithBody(kGlyph));
    doc = word.get("Documents").call("Open", scratch_ / "glyph.docx");
  }
  void TearDown() override {
    word.call("Quit", 0);
    OmTest::TearDown();
  }

  Variant boxFields() {
    return doc.get("Shapes").call("Item", 1).get("TextFrame").get("TextRange").get("Fields");
  }

  Variant word, doc;
};

TEST_F(OmFields, AGlyphsFieldsAreMergedByResultAndCode) {
  Variant fields = boxFields();
  ASSERT_EQ(fields.get("Count").toInt(), 3);
  Variant name = fields.call("Item", 1);
  EXPECT_EQ(name.get("Type").toInt(), 59);
  EXPECT_EQ(name.get("Code").get("Text").toString(), " MERGEFIELD Имя \\* Upper ");
  EXPECT_EQ(name.get("Result").get("Text").toString(), "«Имя»");
  name.get("Result").put("Text", "Анна");
  fields.call("Item", 2).call("Unlink");
  EXPECT_EQ(boxFields().get("Count").toInt(), 2);
  Variant barcode = boxFields().call("Item", 2);
  EXPECT_EQ(barcode.get("Type").toInt(), 98);
  barcode.get("Code").put("Text", " DISPLAYBARCODE \"4601234567893\" EAN13 \\h 720 ");
  EXPECT_TRUE(barcode.call("Update").toBool());
  EXPECT_EQ(barcode.get("Type").toInt(), 99);
  EXPECT_EQ(barcode.get("Result").get("Text").toString(), "4601234567893");
  Variant text = doc.get("Shapes").call("Item", 1).get("TextFrame").get("TextRange");
  EXPECT_EQ(text.get("Text").toString(), "Анна из «Город»\r4601234567893");
  // The merged copy keeps its fields in the file.
  doc.call("SaveAs", scratch_ / "merged.docx");
  auto saved = wordproc::ReadPackage(scratch_ / "merged.docx");
  const auto spans = wordproc::FieldsIn(saved->shapes[0].shape->text);
  ASSERT_EQ(spans.size(), 2u);
  EXPECT_EQ(spans[0].code->instruction, " MERGEFIELD Имя \\* Upper ");
  EXPECT_TRUE(spans[0].code->simple);
  EXPECT_EQ(spans[1].code->instruction, " DISPLAYBARCODE \"4601234567893\" EAN13 \\h 720 ");
}

TEST_F(OmFields, ABarcodeItsDataCannotMakeFailsWithTheReasonAndShowsIt) {
  Variant barcode = boxFields().call("Item", 3);
  barcode.get("Code").put("Text", " DISPLAYBARCODE \"460123456789X\" EAN13 ");
  try {
    barcode.call("Update");
    FAIL() << "letters made an EAN-13";
  } catch (const wordlink::AutomationError& e) {
    EXPECT_EQ(e.member(), "Update");
    EXPECT_NE(e.message().find("EAN13"), std::string::npos) << e.message();
    EXPECT_NE(e.message().find("только цифры"), std::string::npos) << e.message();
  }
  EXPECT_NE(barcode.get("Result").get("Text").toString().find("Ошибка"), std::string::npos);
  barcode.get("Code").put("Text", " DISPLAYBARCODE \"4601234567890\" EAN13 ");
  try {
    barcode.call("Update");
    FAIL() << "a wrong check digit was taken";
  } catch (const wordlink::AutomationError& e) {
    EXPECT_NE(e.message().find("контрольная цифра"), std::string::npos) << e.message();
  }
  // \x puts the check digit right.
  barcode.get("Code").put("Text", " DISPLAYBARCODE \"4601234567890\" EAN13 \\x ");
  EXPECT_TRUE(barcode.call("Update").toBool());
}

TEST_F(OmFields, TheBodysFieldsAreAddedUpdatedAndDeleted) {
  Variant fields = doc.get("Fields");
  ASSERT_EQ(fields.get("Count").toInt(), 1);
  Variant end = doc.get("Content");
  end.call("Collapse", 0);
  Variant added = fields.call("Add", end, 12, "Н", false);
  EXPECT_EQ(added.get("Result").get("Text").toString(), "2");
  EXPECT_EQ(doc.get("Fields").get("Count").toInt(), 2);
  Variant date = doc.get("Fields").call("Add", doc.call("Range", 0, 0), 31, "\\@ \"yyyy\"");
  EXPECT_EQ(date.get("Result").get("Text").toString().size(), 4u);
  EXPECT_EQ(doc.get("Fields").call("Update").toInt(), 0);
  // A range sees the fields inside it only.
  Variant tail = doc.call("Range", 4, doc.get("Content").get("End").toInt());
  EXPECT_EQ(tail.get("Fields").get("Count").toInt(), 2);
  added.call("Delete");
  EXPECT_EQ(doc.get("Fields").get("Count").toInt(), 2);
  try {
    added.get("Code").get("Text");
    FAIL() << "a deleted field answered";
  } catch (const wordlink::AutomationError& e) {
    EXPECT_NE(e.message().find("удалён"), std::string::npos);
  }
}

}  // namespace
