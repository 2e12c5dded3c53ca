// Characters of symbol fonts (w:sym) and the check boxes of form fields: drawn in the text, taking
// their room in the line, and written back as the file had them.
#include <gtest/gtest.h>

#include <QImage>
#include <QTextCursor>
#include <QTextDocument>

#include "ooxml_test_support.h"
#include "render_support.h"
#include "wordproc/EditText.h"
#include "wordproc/Render.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Editor.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Numbering.h"
#include "wordproc/core/Ooxml.h"
#include "wordproc/core/SymbolFonts.h"

using namespace wordproc;
using namespace ooxml_test;

namespace {

const std::string kBallotBox = "<w:sym w:font=\"Wingdings\" w:char=\"F0FE\"/>";
const std::string kTick = "<w:sym w:font=\"Wingdings\" w:char=\"F0FC\"/>";
const std::string kAlpha = "<w:sym w:font=\"Symbol\" w:char=\"F061\"/>";

std::string R(const std::string& text) {
  return "<w:r><w:t xml:space=\"preserve\">" + text + "</w:t></w:r>";
}

std::string FormData(const std::string& box) {
  return "<w:ffData><w:name w:val=\"Check1\"/><w:enabled/><w:calcOnExit w:val=\"0\"/>"
         "<w:checkBox>" +
         box + "</w:checkBox></w:ffData>";
}

// A FORMCHECKBOX field as the word processor writes one: no result, no separator.
std::string CheckBox(const std::string& box) {
  return "<w:r><w:fldChar w:fldCharType=\"begin\">" + FormData(box) +
         "</w:fldChar></w:r><w:r><w:instrText xml:space=\"preserve\"> FORMCHECKBOX </w:instrText>"
         "</w:r><w:r><w:fldChar w:fldCharType=\"end\"/></w:r>";
}

const std::string kUnchecked = "<w:sizeAuto/><w:default w:val=\"0\"/>";
const std::string kChecked = "<w:size w:val=\"16\"/><w:default w:val=\"0\"/><w:checked/>";

std::string P(const std::string& runs) {
  return "<w:p>" + runs + "</w:p>";
}

std::string InFont(const char* font, const std::string& text) {
  return std::string("<w:r><w:rPr><w:rFonts w:ascii=\"") + font + "\" w:hAnsi=\"" + font +
         "\"/></w:rPr><w:t>" + text + "</w:t></w:r>";
}

// A content control check box as the word processor writes one: its state's character as text.
std::string ControlCheckBox(const char* font, const std::string& shown) {
  return std::string(
             "<w:sdt><w:sdtPr><w14:checkbox xmlns:w14=\"http://schemas.microsoft.com/office/word/"
             "2010/wordml\"><w14:checked w14:val=\"1\"/></w14:checkbox></w:sdtPr><w:sdtContent>") +
         InFont(font, shown) + "</w:sdtContent></w:sdt>";
}

// 0: ticks of Wingdings, 1: Symbol's alpha, 2: the same line without a symbol, 3: an unchecked
// box in the text, 4: an 8-point checked box alone, 5: an unchecked box as high as the text;
// 6, 7: content control check boxes in MS Gothic and in Wingdings, 8: text in Symbol.
std::string SymbolsBody() {
  return P(R("До ") + "<w:r>" + kBallotBox + "</w:r>" + "<w:r>" + kTick + "</w:r>" + R(" после")) +
         P(R("До ") + "<w:r>" + kAlpha + "</w:r>" + R(" после")) + P(R("До  после")) +
         P(R("До ") + CheckBox(kUnchecked) + R(" после")) + P(CheckBox(kChecked)) +
         P(CheckBox(kUnchecked)) + P(ControlCheckBox("MS Gothic", "☒")) +
         P(ControlCheckBox("Wingdings", "\xEF\x83\xBB")) + P(InFont("Symbol", "a+b")) + kA4Section;
}

std::string WrittenBody(const Document& doc) {
  const auto bytes = WritePackageToMemory(doc, false);
  auto zip = package::ZipReader::OpenMemory(bytes.data(), bytes.size(), "out.docx", {});
  return zip->Read("word/document.xml");
}

const FieldCode* FieldOf(const Paragraph& p) {
  for (const Run& run : p.runs)
    if (run.format.fieldCode) return run.format.fieldCode.get();
  return nullptr;
}

TEST(Symbols, ReadAndWrittenBackAsTheyCame) {
  auto doc = ReadBytes(PackageWithBody(SymbolsBody()));
  ASSERT_EQ(doc->paragraphs.size(), 9u);
  std::vector<SymbolChar> read;
  for (const wordproc::Run& run : doc->paragraphs[0].runs)
    if (run.symbol) read.push_back(*run.symbol);
  EXPECT_EQ(read, (std::vector<SymbolChar>{{"Wingdings", 0xF0FE}, {"Wingdings", 0xF0FC}}));
  ASSERT_TRUE(FieldOf(doc->paragraphs[3]) && FieldOf(doc->paragraphs[4]));
  EXPECT_EQ(FieldOf(doc->paragraphs[3])->checkBox, (FormCheckBox{false, 0}));
  EXPECT_EQ(FieldOf(doc->paragraphs[4])->checkBox, (FormCheckBox{true, 8}));

  // The symbols stay elements of their own, not text, and the form data stays in the field.
  const std::string xml = WrittenBody(*doc);
  for (const std::string& sym : {kBallotBox, kTick, kAlpha})
    EXPECT_NE(xml.find("<w:r>" + sym + "</w:r>"), std::string::npos) << sym << " in " << xml;
  EXPECT_EQ(xml.find("\xE2\x98\x91"), std::string::npos);  // ☑
  EXPECT_NE(xml.find("<w:fldChar w:fldCharType=\"begin\">" + FormData(kChecked) + "</w:fldChar>"),
            std::string::npos)
      << xml;
  EXPECT_NE(xml.find(FormData(kUnchecked)), std::string::npos);
  EXPECT_NE(xml.find("<w14:checked w14:val=\"1\"/>"), std::string::npos);

  const auto bytes = WritePackageToMemory(*doc, false);
  auto again = ReadPackageFromMemory(bytes.data(), bytes.size(), "again.docx");
  EXPECT_EQ(WrittenBody(*again), xml);
  EXPECT_EQ(FieldOf(again->paragraphs[4])->checkBox, (FormCheckBox{true, 8}));
}

// Codes come with or without the private use area's base; bullets read the same table.
TEST(Symbols, FontCharactersAsUnicode) {
  EXPECT_EQ(SymbolFontUnicode("wingdings", 0xFC), U'✓');
  EXPECT_EQ(SymbolFontUnicode("Symbol", 0xF061), U'α');
  EXPECT_EQ(SymbolFontUnicode("Symbol", 0xF094), 0u);  // no character there
  EXPECT_EQ(SymbolFontUnicode("Times New Roman", 0xF061), 0u);
  EXPECT_EQ(BulletText("\xEF\x82\xA7", "Wingdings"), "▪");
  EXPECT_EQ(BulletText("\xEF\x83\xBE", "Wingdings 3"), "☑");  // taken for Wingdings, as before
}

// The symbols are drawn as the characters they stand for, each taking its room: the word after
// them stands further right than in the line without them. A symbol drawn from a font with taller
// lines leaves its line as high as its text makes it.
TEST(Symbols, DrawnAndTakeTheirWidth) {
  if (!HaveProgram("pdftotext")) GTEST_SKIP() << "poppler-utils is not installed";
  render_test::EnsureApplication();
  auto doc = ReadBytes(PackageWithBody(SymbolsBody()));
  Layout layout(*doc, FontMeasurer());
  TempDir dir;
  WritePdf(*doc, layout, dir / "ours.pdf");
  const std::string text = PdfPageText(dir / "ours.pdf", 1);
  for (const char* shown : {"☑", "✓", "α", "☒", "✗", "α+β"})
    EXPECT_NE(text.find(shown), std::string::npos) << shown << " in " << text;
  const auto words = PdfWords(dir / "ours.pdf");
  const auto after = [&](std::size_t p) {
    for (const PdfWord& word : words)
      if (word.text == "после" && word.y > layout.paragraphTop(p) - 1) return word.x;
    return -1.0;
  };
  const double plain = after(2);
  ASSERT_GT(plain, 0);
  EXPECT_GT(after(0) - plain, 11);  // two symbols of 11 points
  EXPECT_GT(after(1) - plain, 3);
  EXPECT_NEAR(after(3) - plain, 11, 1.5);  // the box is as wide as the text is high
  for (std::size_t p : {0u, 1u, 3u})
    EXPECT_FLOAT_EQ(layout.paragraphHeight(p), layout.paragraphHeight(2)) << p;
}

// The bounding box of the dark pixels in a band of the page.
QRect InkIn(const QImage& page, double top, double bottom) {
  QRect ink;
  for (int y = int(top); y < int(bottom) && y < page.height(); ++y)
    for (int x = 0; x < page.width(); ++x)
      if (render_test::IsDark(page.pixel(x, y))) ink |= QRect(x, y, 1, 1);
  return ink;
}

TEST(Symbols, CheckBoxesDrawnSquareAndCrossedWhenChecked) {
  render_test::EnsureApplication();
  auto doc = ReadBytes(PackageWithBody(SymbolsBody()));
  Layout layout(*doc, FontMeasurer());
  // Four pixels a point.
  const QImage page = RenderPage(*doc, layout, 1, int(4 * doc->pageSetup.pageWidth));
  for (std::size_t p : {4u, 5u}) {
    const double top = layout.paragraphTop(p) * 4, bottom = top + layout.paragraphHeight(p) * 4;
    const QRect ink = InkIn(page, top, bottom);
    ASSERT_FALSE(ink.isEmpty()) << p;
    EXPECT_NEAR(ink.left(), 72 * 4, 4) << p;
    const int side = p == 4 ? 8 * 4 : 11 * 4;
    EXPECT_NEAR(ink.width(), side, 5) << p;
    EXPECT_NEAR(ink.height(), side, 5) << p;
    EXPECT_EQ(render_test::IsDark(page.pixel(ink.center())), p == 4) << p;  // crossed
  }
}

// Edited in place, a symbol is one character: text typed after it is text of its own, deleting
// it takes the kept element with it, and what stays is written back as it came.
TEST(Symbols, OneCharacterWhenEditedInPlace) {
  render_test::EnsureApplication();
  auto doc = ReadBytes(PackageWithBody(SymbolsBody()));
  const std::vector<Paragraph> loaded = {doc->paragraphs[0]};
  const TextScale scale;
  QTextDocument text;
  LoadParagraphs(text, loaded, scale);
  EXPECT_EQ(text.toPlainText(), QString::fromUtf8("До ☑✓ после"));
  EXPECT_TRUE(SameText(ReadParagraphs(text, loaded, scale), loaded));

  QTextCursor cursor(&text);
  cursor.setPosition(4);  // after the ballot box
  cursor.insertText("и");
  cursor.deleteChar();  // the tick
  doc->paragraphs[0] = ReadParagraphs(text, loaded, scale)[0];
  EXPECT_FALSE(SameText({doc->paragraphs[0]}, loaded));
  std::string shown;
  for (const wordproc::Run& run : doc->paragraphs[0].runs) shown += run.symbol ? "☑" : run.text;
  EXPECT_EQ(shown, "До ☑и после");
  const std::string xml = WrittenBody(*doc);
  EXPECT_NE(xml.find("<w:r>" + kBallotBox + "</w:r>"), std::string::npos) << xml;
  EXPECT_EQ(xml.find(kTick), std::string::npos);
}

// A copy leaves the kept elements behind; its symbols stay as the characters they stand for.
TEST(Symbols, CopiedAsTheirCharacters) {
  auto doc = ReadBytes(PackageWithBody(SymbolsBody()));
  Layout layout(*doc, EstimatedText());
  Editor editor(*doc, layout);
  const Fragment copy = editor.copy(0, editor.paragraphEnd(1));
  ASSERT_EQ(copy.paragraphs.size(), 2u);
  std::string text;
  for (const Paragraph& p : copy.paragraphs)
    for (const wordproc::Run& run : p.runs) {
      EXPECT_FALSE(run.raw || run.symbol);
      text += run.text;
    }
  EXPECT_EQ(text, "До ☑✓ послеДо α после");
}

}  // namespace
