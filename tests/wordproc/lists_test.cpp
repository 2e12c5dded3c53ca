// Numbered and bulleted lists, indents and tab stops: labels counted as the word processor
// counts them, kept through writing, and lines placed where LibreOffice places them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "om_support.h"
#include "ooxml_test_support.h"
#include "wordproc/Render.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Editor.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Numbering.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace ooxml_test;

namespace {

const char* kW = "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";

std::string Level(int ilvl, const std::string& format, const std::string& text, int left,
                  const std::string& extra = "") {
  return "<w:lvl w:ilvl=\"" + std::to_string(ilvl) + "\"><w:start w:val=\"1\"/><w:numFmt w:val=\"" +
         format + "\"/><w:lvlText w:val=\"" + text + "\"/>" + extra + "<w:pPr><w:ind w:left=\"" +
         std::to_string(left) + "\" w:hanging=\"360\"/></w:pPr></w:lvl>";
}

// List 1 and 2 share a definition of decimal, letter and roman levels; list 3 starts it anew;
// list 4 is a Symbol bullet with a picture bullet the writer leaves out.
std::string NumberingXml() {
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:numbering ") + kW +
         "><w:numPicBullet w:numPicBulletId=\"0\"><w:pict/></w:numPicBullet>"
         "<w:abstractNum w:abstractNumId=\"10\">" +
         Level(0, "decimal", "%1.", 720) + Level(1, "lowerLetter", "%1.%2)", 1440) +
         Level(2, "upperRoman", "%3.", 2160, "<w:suff w:val=\"space\"/>") +
         "</w:abstractNum><w:abstractNum w:abstractNumId=\"20\">" +
         Level(0, "bullet", "\xEF\x82\xB7", 720,
               "<w:lvlPicBulletId w:val=\"0\"/><w:rPr><w:rFonts w:ascii=\"Symbol\" "
               "w:hAnsi=\"Symbol\"/></w:rPr>") +
         "</w:abstractNum>"
         "<w:num w:numId=\"1\"><w:abstractNumId w:val=\"10\"/></w:num>"
         "<w:num w:numId=\"2\"><w:abstractNumId w:val=\"10\"/></w:num>"
         "<w:num w:numId=\"3\"><w:abstractNumId w:val=\"10\"/><w:lvlOverride w:ilvl=\"0\">"
         "<w:startOverride w:val=\"5\"/></w:lvlOverride></w:num>"
         "<w:num w:numId=\"4\"><w:abstractNumId w:val=\"20\"/></w:num></w:numbering>";
}

std::map<std::string, std::string> ListParts() {
  auto parts = SpacingParts();
  parts["word/styles.xml"] =
      std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:styles ") + kW +
      "><w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii=\"Liberation Serif\" "
      "w:hAnsi=\"Liberation Serif\"/><w:sz w:val=\"24\"/></w:rPr></w:rPrDefault><w:pPrDefault>"
      "<w:pPr><w:spacing w:after=\"0\" w:line=\"240\" w:lineRule=\"auto\"/></w:pPr>"
      "</w:pPrDefault></w:docDefaults><w:style w:type=\"paragraph\" w:default=\"1\" "
      "w:styleId=\"Normal\"><w:name w:val=\"Normal\"/></w:style></w:styles>";
  parts["word/settings.xml"] =
      std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:settings ") + kW +
      "><w:defaultTabStop w:val=\"708\"/></w:settings>";
  parts["word/numbering.xml"] = NumberingXml();
  std::string& rels = parts["word/_rels/document.xml.rels"];
  rels.insert(rels.find("</Relationships>"),
              "<Relationship Id=\"rIdNum\" Type=\"http://schemas.openxmlformats.org/"
              "officeDocument/2006/relationships/numbering\" Target=\"numbering.xml\"/>");
  return parts;
}

std::string Item(int numId, int level, const std::string& text, const std::string& pPr = "") {
  return "<w:p><w:pPr><w:numPr><w:ilvl w:val=\"" + std::to_string(level) + "\"/><w:numId w:val=\"" +
         std::to_string(numId) + "\"/></w:numPr>" + pPr +
         "</w:pPr><w:r><w:t xml:space=\"preserve\">" + text + "</w:t></w:r></w:p>";
}

std::string Plain(const std::string& text, const std::string& pPr = "") {
  return "<w:p><w:pPr>" + pPr + "</w:pPr><w:r><w:t xml:space=\"preserve\">" + text +
         "</w:t></w:r></w:p>";
}

std::string DecimalStop(const std::string& text) {
  return Plain(text, "<w:tabs><w:tab w:val=\"decimal\" w:pos=\"2268\"/></w:tabs>");
}

std::string ListBody() {
  const std::string words =
      "Этикетки печатают листами, и каждая строка списка переносится под текст, а не под "
      "номер, как висячий отступ велит";
  return Item(1, 0, "Первый") + Item(1, 1, "вложенный") + Item(1, 1, "второй вложенный") +
         Item(1, 2, "римский") + Item(1, 0, words) + Item(2, 0, "продолжает") +
         Item(3, 0, "заново") + Item(4, 0, "маркер") +
         Plain(
             "Отступ первой строки у этого абзаца положительный, а справа поля шире, так что "
             "строки короче обычных и переносятся раньше.",
             "<w:ind w:left=\"720\" w:right=\"1440\" w:firstLine=\"567\"/>") +
         Plain("Имя\tФамилия\tГород", "<w:tabs><w:tab w:val=\"left\" w:pos=\"2835\"/></w:tabs>") +
         Plain("a\tb\tc") +
         Plain("ИНН\tсередина\tгород",
               "<w:tabs><w:tab w:val=\"center\" w:pos=\"1701\"/><w:tab w:val=\"right\" "
               "w:pos=\"3402\"/></w:tabs>") +
         DecimalStop("Цена\t12.5") + DecimalStop("Итого\t1234.75 руб.") + DecimalStop("Без\t7") +
         std::string(kA4Section);
}

TEST(Lists, NumbersWrittenInEachFormat) {
  EXPECT_EQ(FormatListNumber(4, "upperRoman"), "IV");
  EXPECT_EQ(FormatListNumber(1994, "lowerRoman"), "mcmxciv");
  EXPECT_EQ(FormatListNumber(28, "lowerLetter"), "bb");
  EXPECT_EQ(FormatListNumber(3, "decimalZero"), "03");
  EXPECT_EQ(FormatListNumber(10, "russianLower"), "к");  // й is not a list letter
  EXPECT_EQ(FormatListNumber(29, "russianUpper"), "АА");
  EXPECT_EQ(FormatListNumber(7, "ordinalText"), "7");
  EXPECT_EQ(FormatListNumber(5, "none"), "");
  EXPECT_EQ(BulletText("\xEF\x82\xB7", "Symbol"), "•");
  EXPECT_EQ(BulletText("\xEF\x82\xA7", "Wingdings"), "▪");
  EXPECT_EQ(BulletText("o", "Courier New"), "o");
}

TEST(Lists, LabelsCountedAcrossListsAndLevels) {
  const auto doc = ReadBytes(PackageWithBody(ListBody(), ListParts()));
  const auto& p = doc->paragraphs;
  ASSERT_GE(p.size(), 12u);
  const std::vector<std::string> labels = {"1.", "1.a)", "1.b)", "I.", "2.", "3.", "5.", "•"};
  for (std::size_t k = 0; k < labels.size(); ++k) EXPECT_EQ(p[k].list.label, labels[k]) << k;
  EXPECT_EQ(p[3].list.suffix, 's');
  // The level's indents stand where the paragraph gives none; a symbol bullet is drawn in the
  // paragraph's own font.
  EXPECT_FLOAT_EQ(p[1].indents.left, 72);
  EXPECT_FLOAT_EQ(p[1].indents.firstLine, -18);
  EXPECT_EQ(p[7].list.format.fontFamily, "Liberation Serif");
  EXPECT_FLOAT_EQ(p[8].indents.firstLine, 28.35f);
  EXPECT_FLOAT_EQ(p[8].indents.right, 72);
  ASSERT_EQ(p[9].tabs.stops.size(), 1u);
  EXPECT_FLOAT_EQ(p[9].tabs.stops[0].position, 141.75f);
  EXPECT_FLOAT_EQ(p[10].tabs.interval, 35.4f);
  ASSERT_EQ(p[11].tabs.stops.size(), 2u);
  EXPECT_EQ(p[11].tabs.stops[0].align, TabAlign::Center);
  EXPECT_EQ(p[11].tabs.stops[1].align, TabAlign::Right);
}

TEST(Lists, KeptThroughWritingAndReading) {
  const auto doc = ReadBytes(PackageWithBody(ListBody(), ListParts()));
  const auto bytes = WritePackageToMemory(*doc, false);
  const std::string written(bytes.begin(), bytes.end());
  const auto back = ReadBytes(written);
  ASSERT_EQ(back->paragraphs.size(), doc->paragraphs.size());
  for (std::size_t k = 0; k < doc->paragraphs.size(); ++k) {
    const Paragraph &a = doc->paragraphs[k], &b = back->paragraphs[k];
    EXPECT_EQ(b.list.label, a.list.label) << k;
    EXPECT_EQ(b.indents, a.indents) << k;
    EXPECT_EQ(b.tabs, a.tabs) << k;
  }
  ASSERT_TRUE(back->numbering);
  // The picture bullet's picture is not kept, so neither is the reference to it.
  EXPECT_EQ(back->numbering->part.find("PicBullet"), std::string::npos);
  EXPECT_EQ(back->numbering->definitions, doc->numbering->definitions);
}

// A new item between others renumbers those after it.
TEST(Lists, NumberedAnewAfterAnInsertedItem) {
  auto doc = ReadBytes(PackageWithBody(ListBody(), ListParts()));
  Layout layout(*doc, EstimatedText());
  Editor editor(*doc, layout);
  Paragraph inserted = doc->paragraphs[0];
  inserted.id = doc->newParagraphId();
  editor.replaceParagraphs(0, 1, {doc->paragraphs[0], inserted});
  EXPECT_EQ(doc->paragraphs[1].list.label, "2.");
  EXPECT_EQ(doc->paragraphs[2].list.label, "2.a)");
  EXPECT_EQ(doc->paragraphs[5].list.label, "3.");
}

// Every word of there at the start of a line has a word of here at its place.
void ExpectSamePlaces(const std::vector<PdfWord>& here, const std::vector<PdfWord>& there) {
  ASSERT_GT(there.size(), 40u);
  int compared = 0;
  for (const PdfWord& word : there) {
    // Advances of the two programs' fonts differ by a fraction of a point a word: the left
    // part of each line is where indents, labels and tab stops show.
    if (word.x > 240) continue;
    ++compared;
    const bool found = std::any_of(here.begin(), here.end(), [&](const PdfWord& w) {
      return std::fabs(w.x - word.x) < 2.5 && std::fabs(w.y - word.y) < 3;
    });
    std::string line;
    for (const PdfWord& w : here)
      if (std::fabs(w.y - word.y) < 3) line += w.text + "@" + std::to_string(int(w.x)) + " ";
    EXPECT_TRUE(found) << word.text << " at " << word.x << ", " << word.y << "; ours: " << line;
  }
  EXPECT_GT(compared, 25);
}

// Labels, the text after them, hanging and first-line indents, and tab stops stand where
// LibreOffice sets them, here and in LibreOffice's layout of our copy.
TEST(Lists, PlacedAsLibreOfficePlacesThem) {
  if (!HaveProgram("soffice") || !HaveProgram("pdftotext"))
    GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
  om_test::EnsureGui();
  TempDir dir;
  const std::string file = dir / "lists.docx";
  WriteFile(file, PackageWithBody(ListBody(), ListParts()));
  const std::string theirs = ConvertWithLibreOffice(file, "pdf", dir / "pdf");
  ASSERT_FALSE(theirs.empty());
  const auto doc = LoadDocumentFile(file);
  Layout layout(*doc, FontMeasurer());
  const std::string ours = dir / "ours.pdf";
  WritePdf(*doc, layout, ours);
  // Our copy of the file, as LibreOffice lays it out, is compared the same way.
  const std::string copy = dir / "copy.docx";
  const auto bytes = WritePackageToMemory(*doc, false);
  WriteFile(copy, std::string(bytes.begin(), bytes.end()));
  const std::string theirsOfCopy = ConvertWithLibreOffice(copy, "pdf", dir / "copy");
  ASSERT_FALSE(theirsOfCopy.empty());
  ExpectSamePlaces(PdfWords(ours, 1), PdfWords(theirs, 1));
  ExpectSamePlaces(PdfWords(theirsOfCopy, 1), PdfWords(theirs, 1));
}

}  // namespace
