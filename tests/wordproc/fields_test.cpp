// Fields in the model: read in the two forms the word processor writes them, kept with their
// results wherever text stands, written back in the form they came in; their instructions taken
// apart and their values formatted.
#include <gtest/gtest.h>

#include "tests/wordproc/ooxml_test_support.h"
#include "wordproc/core/Fields.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace ooxml_test;

namespace {

// A complex MERGEFIELD in bold whose instruction is split over two runs, a simple SEQ, a field
// no one here knows, a barcode without a result, and an IF holding a MERGEFIELD.
const char* kFieldsBody =
    "<w:p><w:r><w:t xml:space=\"preserve\">Кому: </w:t></w:r>"
    "<w:r><w:rPr><w:b/></w:rPr><w:fldChar w:fldCharType=\"begin\"/></w:r>"
    "<w:r><w:rPr><w:b/></w:rPr><w:instrText xml:space=\"preserve\"> MERGEFIELD </w:instrText></w:r>"
    "<w:r><w:rPr><w:b/></w:rPr><w:instrText xml:space=\"preserve\">Фамилия \\* Upper  "
    "</w:instrText></w:r>"
    "<w:r><w:rPr><w:b/></w:rPr><w:fldChar w:fldCharType=\"separate\"/></w:r>"
    "<w:r><w:rPr><w:b/></w:rPr><w:t>«Фамилия»</w:t></w:r>"
    "<w:r><w:rPr><w:b/></w:rPr><w:fldChar w:fldCharType=\"end\"/></w:r>"
    "<w:r><w:t>!</w:t></w:r></w:p>"
    "<w:p><w:fldSimple w:instr=\" SEQ Label \\* ARABIC \"><w:r><w:t>7</w:t></w:r></w:fldSimple>"
    "<w:fldSimple w:instr=\"FOOBAR &quot;x y&quot;\"><w:r><w:t>z</w:t></w:r></w:fldSimple></w:p>"
    "<w:p><w:r><w:fldChar w:fldCharType=\"begin\"/></w:r>"
    "<w:r><w:instrText>DISPLAYBARCODE \"123\" QR</w:instrText></w:r>"
    "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r></w:p>"
    "<w:p><w:r><w:fldChar w:fldCharType=\"begin\"/></w:r>"
    "<w:r><w:instrText xml:space=\"preserve\"> IF </w:instrText></w:r>"
    "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r>"
    "<w:r><w:instrText xml:space=\"preserve\"> MERGEFIELD A </w:instrText></w:r>"
    "<w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>"
    "<w:r><w:t>«A»</w:t></w:r>"
    "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>"
    "<w:r><w:instrText xml:space=\"preserve\"> = \"x\" \"да\" \"нет\" </w:instrText></w:r>"
    "<w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>"
    "<w:r><w:t>нет</w:t></w:r>"
    "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r></w:p>";

struct Seen {
  std::string instruction, result;
  bool simple = false, bold = false;
};

std::vector<Seen> FieldsOf(const std::vector<Paragraph>& paragraphs) {
  std::vector<Seen> seen;
  for (const FieldSpan& span : FieldsIn(paragraphs)) {
    seen.push_back({span.code->instruction, FieldResultText(paragraphs, span), span.code->simple,
                    paragraphs[span.paragraph].runs[span.first].format.bold});
  }
  return seen;
}

std::string DocumentXml(const std::vector<std::uint8_t>& bytes) {
  auto zip = package::ZipReader::OpenMemory(bytes.data(), bytes.size(), "x.docx", {});
  return zip->Read("word/document.xml");
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(Fields, BothFormsAreReadWithTheirInstructionsAndResults) {
  const auto doc = ReadBytes(PackageWithBody(kFieldsBody));
  const auto fields = FieldsOf(doc->paragraphs);
  ASSERT_EQ(fields.size(), 5u);
  EXPECT_EQ(fields[0].instruction, " MERGEFIELD Фамилия \\* Upper  ");
  EXPECT_EQ(fields[0].result, "«Фамилия»");
  EXPECT_TRUE(fields[0].bold);
  EXPECT_FALSE(fields[0].simple);
  EXPECT_EQ(fields[1].instruction, " SEQ Label \\* ARABIC ");
  EXPECT_TRUE(fields[1].simple);
  EXPECT_EQ(fields[2].instruction, "FOOBAR \"x y\"");
  EXPECT_EQ(fields[2].result, "z");
  EXPECT_EQ(fields[3].instruction, "DISPLAYBARCODE \"123\" QR");
  EXPECT_EQ(fields[3].result, "");
  // The nested field's text is part of the outer instruction, not of the paragraph.
  EXPECT_EQ(fields[4].result, "нет");
  EXPECT_EQ(doc->paragraphs[3].text(), "нет");
  EXPECT_EQ(doc->paragraphs[0].text(), "Кому: «Фамилия»!");
}

TEST(Fields, AreWrittenBackInTheFormTheyCameIn) {
  const auto doc = ReadBytes(PackageWithBody(kFieldsBody));
  const std::vector<std::uint8_t> bytes = WritePackageToMemory(*doc, false);
  const std::string xml = DocumentXml(bytes);
  EXPECT_EQ(Count(xml, "<w:fldSimple "), 2u);
  // The MERGEFIELD, the barcode, the IF and the MERGEFIELD inside it.
  EXPECT_EQ(Count(xml, "w:fldCharType=\"begin\""), 4u);
  EXPECT_EQ(Count(xml, "w:fldCharType=\"end\""), 4u);
  EXPECT_NE(xml.find("> MERGEFIELD Фамилия \\* Upper  </w:instrText>"), std::string::npos);
  const auto back = ReadPackageFromMemory(reinterpret_cast<const char*>(bytes.data()), bytes.size(),
                                          "back.docx", {});
  const auto before = FieldsOf(doc->paragraphs), after = FieldsOf(back->paragraphs);
  ASSERT_EQ(before.size(), after.size());
  for (std::size_t k = 0; k < before.size(); ++k) {
    SCOPED_TRACE(before[k].instruction);
    EXPECT_EQ(after[k].instruction, before[k].instruction);
    EXPECT_EQ(after[k].result, before[k].result);
    EXPECT_EQ(after[k].simple, before[k].simple);
    EXPECT_EQ(after[k].bold, before[k].bold);
  }
  // A second round changes nothing more.
  EXPECT_EQ(DocumentXml(WritePackageToMemory(*back, false)), xml);
}

TEST(Fields, StandInCellsTextBoxesAndHeaders) {
  const std::string body =
      "<w:tbl><w:tblGrid><w:gridCol w:w=\"3000\"/></w:tblGrid><w:tr><w:tc><w:p>"
      "<w:fldSimple w:instr=\" MERGEFIELD Город \"><w:r><w:t>«Город»</w:t></w:r></w:fldSimple>"
      "</w:p></w:tc></w:tr></w:tbl>"
      "<w:p><w:r><w:pict><v:shape id=\"box\" type=\"#_x0000_t202\" style=\"position:absolute;"
      "width:100pt;height:50pt\"><v:textbox><w:txbxContent><w:p>"
      "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r>"
      "<w:r><w:instrText> MERGEBARCODE Код EAN13 </w:instrText></w:r>"
      "<w:r><w:fldChar w:fldCharType=\"separate\"/></w:r><w:r><w:t>«Код»</w:t></w:r>"
      "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>"
      "</w:p></w:txbxContent></v:textbox></v:shape></w:pict></w:r></w:p>";
  const auto doc = ReadBytes(PackageWithBody(body));
  ASSERT_EQ(FieldsOf(doc->paragraphs).size(), 1u);
  EXPECT_EQ(FieldsOf(doc->paragraphs)[0].result, "«Город»");
  ASSERT_EQ(doc->shapes.size(), 1u);
  const auto inBox = FieldsOf(doc->shapes[0].shape->text);
  ASSERT_EQ(inBox.size(), 1u);
  EXPECT_EQ(inBox[0].instruction, " MERGEBARCODE Код EAN13 ");
  const std::vector<std::uint8_t> bytes = WritePackageToMemory(*doc, false);
  const auto back = ReadPackageFromMemory(reinterpret_cast<const char*>(bytes.data()), bytes.size(),
                                          "back.docx", {});
  ASSERT_EQ(back->shapes.size(), 1u);
  EXPECT_EQ(FieldsOf(back->shapes[0].shape->text)[0].instruction, " MERGEBARCODE Код EAN13 ");
  EXPECT_EQ(FieldsOf(back->paragraphs)[0].instruction, " MERGEFIELD Город ");
}

TEST(Fields, ResultsAndInstructionsChangeOnlyTheirField) {
  auto doc = ReadBytes(PackageWithBody(kFieldsBody));
  auto& paragraphs = doc->paragraphs;
  FieldSpan merge = FieldsIn(paragraphs)[0];
  merge = SetFieldResult(paragraphs, merge, "ИВАНОВ");
  EXPECT_EQ(paragraphs[0].text(), "Кому: ИВАНОВ!");
  EXPECT_TRUE(paragraphs[0].runs[merge.first].format.bold);
  const FieldPtr before = merge.code;
  merge = SetFieldInstruction(paragraphs, merge, " MERGEFIELD Имя ");
  EXPECT_NE(merge.code, before);  // copies sharing the old code keep it
  EXPECT_EQ(before->instruction, " MERGEFIELD Фамилия \\* Upper  ");
  UnlinkField(paragraphs, merge);
  EXPECT_EQ(FieldsIn(paragraphs).size(), 4u);
  EXPECT_EQ(paragraphs[0].text(), "Кому: ИВАНОВ!");
  DeleteField(paragraphs, FieldsIn(paragraphs)[0]);
  EXPECT_EQ(paragraphs[1].text(), "z");
}

TEST(Fields, LibreOfficeShowsTheResultsOfOurCopy) {
  if (!HaveProgram("soffice") || !HaveProgram("pdftotext"))
    GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
  TempDir dir;
  auto doc = ReadBytes(PackageWithBody(kFieldsBody));
  SetFieldResult(doc->paragraphs, FieldsIn(doc->paragraphs)[0], "ПЕТРОВА");
  WritePackage(*doc, dir / "copy.docx");
  const std::string pdf = ConvertWithLibreOffice(dir / "copy.docx", "pdf", dir.path());
  ASSERT_FALSE(pdf.empty());
  const std::string text = PdfPageText(pdf, 1);
  // LibreOffice counts SEQ fields itself and works IF out again; the others show our results.
  for (const char* shown : {"Кому: ПЕТРОВА!", "z"})
    EXPECT_NE(text.find(shown), std::string::npos) << shown << " in:\n" << text;
}

TEST(FieldInstructions, AreTakenApartWithQuotesAndSwitches) {
  const auto merge = ParseFieldInstruction(
      " MERGEFIELD  \"Имя \\\"клиента\\\"\" \\b \"Уважаемый \" \\f , \\* Caps ");
  EXPECT_EQ(merge.name, "MERGEFIELD");
  ASSERT_EQ(merge.arguments.size(), 1u);
  EXPECT_EQ(merge.arguments[0], "Имя \"клиента\"");
  ASSERT_EQ(merge.switches.size(), 3u);
  EXPECT_EQ(merge.find('b')->argument, "Уважаемый ");
  EXPECT_EQ(merge.find('f')->argument, ",");
  EXPECT_EQ(merge.find('*')->argument, "Caps");
  // Switches that take nothing leave the words after them as arguments.
  const auto seq = ParseFieldInstruction("seq Рисунок \\c \\* ROMAN");
  EXPECT_EQ(seq.name, "SEQ");
  EXPECT_TRUE(seq.has('c'));
  EXPECT_FALSE(seq.find('c')->hasArgument);
  EXPECT_EQ(seq.find('*')->argument, "ROMAN");
  const auto barcode =
      ParseFieldInstruction("DISPLAYBARCODE \"4601234567893\" EAN13 \\t \\h 720 \\x");
  EXPECT_EQ(barcode.arguments, (std::vector<std::string>{"4601234567893", "EAN13"}));
  EXPECT_EQ(barcode.find('h')->argument, "720");
  EXPECT_TRUE(barcode.has('t') && barcode.has('x'));
  EXPECT_EQ(QuoteFieldArgument("a \"b\""), "\"a \\\"b\\\"\"");
  EXPECT_EQ(ParseFieldInstruction("X " + QuoteFieldArgument("a \"b\\")).arguments[0], "a \"b\\");
  EXPECT_EQ(FieldTypeOfName("mergefield"), 59);
  EXPECT_EQ(FieldTypeOfName("DisplayBarcode"), 99);
  EXPECT_EQ(FieldTypeOfName("MERGEBARCODE"), 98);
  EXPECT_EQ(FieldTypeOfName("НЕТ"), -1);
}

TEST(FieldFormats, CaseNumbersAndDates) {
  EXPECT_EQ(ChangeCase("иванов пётр", "Upper"), "ИВАНОВ ПЁТР");
  EXPECT_EQ(ChangeCase("ИВАНОВ Пётр", "Lower"), "иванов пётр");
  EXPECT_EQ(ChangeCase("иванов пётр", "FirstCap"), "Иванов пётр");
  EXPECT_EQ(ChangeCase("иВАНОВ пётр", "Caps"), "Иванов Пётр");
  EXPECT_EQ(FormatNumber(1234.5, "0.00"), "1234.50");
  EXPECT_EQ(FormatNumber(1234567.891, "# ##0,00 руб."), "1 234 567,89 руб.");
  EXPECT_EQ(FormatNumber(-3, "000"), "-003");
  EXPECT_EQ(FormatNumber(0.4, "#"), "");
  const DateTime when{2026, 12, 9, 15, 7, 3};
  EXPECT_EQ(FormatDate(when, "dd.MM.yyyy"), "09.12.2026");
  EXPECT_EQ(FormatDate(when, "d MMMM yyyy 'г.'"), "9 декабря 2026 г.");
  EXPECT_EQ(FormatDate(when, "MMMM yy, dddd HH:mm:ss"), "декабрь 26, среда 15:07:03");
  auto apply = [](const std::string& instruction, const std::string& value) {
    return ApplyFieldFormat(ParseFieldInstruction(instruction), value);
  };
  EXPECT_EQ(apply("MERGEFIELD Сумма \\# \"0.00\"", "12,5"), "12.50");
  EXPECT_EQ(apply("MERGEFIELD Сумма \\# \"0.00\"", "нет"), "нет");
  EXPECT_EQ(apply("MERGEFIELD Имя \\* Upper \\* MERGEFORMAT", "анна"), "АННА");
  EXPECT_EQ(apply("MERGEFIELD Город \\b \"г. \" \\f \", \"", "Тверь"), "г. Тверь, ");
  EXPECT_EQ(apply("MERGEFIELD Город \\b \"г. \"", ""), "");
  EXPECT_EQ(apply("SEQ a \\* ROMAN", "14"), "XIV");
  EXPECT_EQ(apply("SEQ a \\* alphabetic", "28"), "bb");
}

TEST(FieldFormats, DatesOfListsTakeTheDatePicture) {
  auto date = [](const std::string& text) {
    const std::optional<DateTime> when = ParseDate(text);
    return when ? FormatDate(*when, "yyyy-MM-dd HH:mm:ss") : std::string("нет");
  };
  EXPECT_EQ(date("09.12.2026"), "2026-12-09 00:00:00");
  EXPECT_EQ(date("9/1/26"), "2026-01-09 00:00:00");
  EXPECT_EQ(date("1.3.45"), "1945-03-01 00:00:00");
  EXPECT_EQ(date("2024-02-29T14:30"), "2024-02-29 14:30:00");
  EXPECT_EQ(date(" 31.12.2026 23:59:58"), "2026-12-31 23:59:58");
  for (const char* text : {"29.02.2026", "2026.12.09", "09-12-2026", "12.2026", "9.12.2026 г.",
                           "9.12.2026 25:00", "9.12.2026 14", "123456.1.1", ""}) {
    EXPECT_EQ(date(text), "нет") << text;
  }
  auto apply = [](const std::string& instruction, const std::string& value) {
    return ApplyFieldFormat(ParseFieldInstruction(instruction), value);
  };
  EXPECT_EQ(apply("MERGEFIELD Дата \\@ \"d MMMM yyyy\"", "09.12.2026"), "9 декабря 2026");
  EXPECT_EQ(apply("MERGEFIELD Дата \\@ \"d MMMM yyyy\"", "завтра"), "завтра");
  EXPECT_EQ(ChangeCase("a\xFFб", "Upper"), "A\xFFБ") << "a byte that is no text stays";

  FieldContext context;
  FieldCode quote;
  quote.instruction = " QUOTE \"1234,5\" \\# \"# ##0,00\" ";
  EXPECT_EQ(EvaluateField(quote, "", context).text, "1 234,50");
  quote.instruction = " QUOTE 2026-12-09 \\@ \"dd.MM.yy\" ";
  EXPECT_EQ(EvaluateField(quote, "", context).text, "09.12.26");
  EXPECT_EQ(FieldTypeOfName("Quote"), 35);
}

TEST(FieldUpdates, SequencesCountInReadingOrderAndDatesFollowTheirPicture) {
  Document doc;
  auto add = [&](std::vector<Paragraph>& story, const std::string& instruction) {
    story.emplace_back();
    story.back().id = doc.newParagraphId();
    story.back().runs.push_back(NewFieldRun(RunFormat{}, instruction, "?"));
  };
  doc.paragraphs.clear();
  add(doc.paragraphs, " SEQ Этикетка ");
  add(doc.paragraphs, " SEQ Этикетка \\* ROMAN ");
  add(doc.paragraphs, " SEQ Другая ");
  add(doc.paragraphs, " SEQ Этикетка \\c ");
  add(doc.paragraphs, " SEQ Этикетка \\r 10 ");
  add(doc.paragraphs, " SEQ Этикетка \\h ");
  add(doc.paragraphs, " DATE \\@ \"dd.MM.yyyy\" ");
  add(doc.paragraphs, " MERGEFIELD Имя ");
  doc.paragraphs[7].runs[0].text.clear();
  // Two text boxes anchored to the first paragraph: the higher one is read first.
  for (float top : {200.0f, 100.0f}) {
    auto shape = std::make_unique<Shape>();
    shape->kind = ShapeKind::TextBox;
    shape->top = top;
    add(shape->text, " SEQ Другая ");
    doc.shapes.push_back({std::move(shape), doc.paragraphs[0].id});
  }
  FieldContext context;
  context.now = {2026, 3, 8, 9, 0, 0};
  EXPECT_EQ(UpdateDocumentFields(doc, context), 0);
  std::vector<std::string> results;
  for (const Paragraph& p : doc.paragraphs) results.push_back(p.text());
  EXPECT_EQ(results,
            (std::vector<std::string>{"1", "II", "3", "2", "10", "", "08.03.2026", "«Имя»"}));
  EXPECT_EQ(doc.shapes[0].shape->text[0].text(), "2");
  EXPECT_EQ(doc.shapes[1].shape->text[0].text(), "1");
}

}  // namespace
