// Tables: read with their grid, rows and cells, written back, laid out row by row over pages,
// and paginated as LibreOffice paginates them.
#include <gtest/gtest.h>

#include <QImage>

#include <fstream>
#include <map>
#include <regex>
#include <set>

#include <pugixml.hpp>

#include "om_support.h"
#include "ooxml_test_support.h"
#include "wordproc/Render.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Editor.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace ooxml_test;

namespace {

std::string P(const std::string& text, const std::string& pPr = "") {
  return "<w:p>" + (pPr.empty() ? "" : "<w:pPr>" + pPr + "</w:pPr>") +
         (text.empty() ? "" : "<w:r><w:t>" + text + "</w:t></w:r>") + "</w:p>";
}

std::string Tc(const std::string& tcPr, const std::string& content) {
  return "<w:tc><w:tcPr>" + tcPr + "</w:tcPr>" + content + "</w:tc>";
}

std::string Tr(const std::string& trPr, const std::string& cells) {
  return "<w:tr>" + (trPr.empty() ? "" : "<w:trPr>" + trPr + "</w:trPr>") + cells + "</w:tr>";
}

std::string Tbl(const std::string& tblPr, const std::vector<int>& grid, const std::string& rows) {
  std::string out = "<w:tbl><w:tblPr>" + tblPr + "</w:tblPr><w:tblGrid>";
  for (int w : grid) out += "<w:gridCol w:w=\"" + std::to_string(w) + "\"/>";
  return out + "</w:tblGrid>" + rows + "</w:tbl>";
}

// Spanned header, merged and shaded cells, a nested table, and text after the table.
std::string MixedBody() {
  const std::string nested = Tbl("<w:tblStyle w:val=\"TableGrid\"/>", {1000, 1000},
                                 Tr("", Tc("", P("Внутри1")) + Tc("", P("Внутри2"))));
  const std::string rows =
      Tr("<w:tblHeader/><w:trHeight w:val=\"400\" w:hRule=\"exact\"/>",
         Tc("<w:gridSpan w:val=\"2\"/>", P("Шапка")) + Tc("", P("Правая"))) +
      Tr("<w:cantSplit/>", Tc("<w:vMerge w:val=\"restart\"/><w:shd w:val=\"clear\" "
                              "w:fill=\"FFCC00\"/>",
                              P("Слитая") + P("вторая") + P("третья") + P("четвёртая")) +
                               Tc("", P("Б")) + Tc("", P("В"))) +
      Tr("<w:trHeight w:val=\"300\"/>",
         Tc("<w:vMerge/>", P("")) + Tc("", nested + P("")) + Tc("", P("Г")));
  return P("До") +
         Tbl("<w:tblStyle w:val=\"TableGrid\"/><w:tblW w:w=\"0\" w:type=\"auto\"/>",
             {2000, 3000, 2000}, rows) +
         P("После") + kA4Section;
}

std::size_t Find(const Document& doc, const std::string& text) {
  for (std::size_t i = 0; i < doc.paragraphs.size(); ++i)
    if (doc.paragraphs[i].text() == text) return i;
  ADD_FAILURE() << "no paragraph " << text;
  return 0;
}

TEST(Tables, AreReadWithGridRowsCellsAndTheirStyle) {
  const auto doc = ReadBytes(PackageWithBody(MixedBody(), WordDefaultStyles()));
  const Paragraph& header = doc->paragraphs[Find(*doc, "Шапка")];
  ASSERT_EQ(header.cells.size(), 1u);
  const Table& table = *header.cells[0].table;
  EXPECT_EQ(table.grid, (std::vector<float>{100, 150, 100}));
  ASSERT_EQ(table.rows.size(), 3u);
  EXPECT_TRUE(table.rows[0].header);
  EXPECT_EQ(table.rows[0].heightRule, RowHeightRule::Exact);
  EXPECT_FLOAT_EQ(table.rows[0].height, 20);
  EXPECT_EQ(table.rows[0].cells[0].gridSpan, 2);
  EXPECT_TRUE(table.rows[1].cantSplit);
  EXPECT_EQ(table.rows[1].cells[0].vMerge, VerticalMerge::Restart);
  EXPECT_EQ(table.rows[1].cells[0].shading, Rgb(0xFFCC00));
  EXPECT_EQ(table.rows[2].cells[0].vMerge, VerticalMerge::Continue);
  // A height without a rule is a least height.
  EXPECT_EQ(table.rows[2].heightRule, RowHeightRule::AtLeast);
  EXPECT_FLOAT_EQ(table.cellMargins.left, 5.4f);
  ASSERT_TRUE(table.insideH && table.borders.top);
  EXPECT_TRUE(table.insideH->visible);

  const Paragraph& inner = doc->paragraphs[Find(*doc, "Внутри2")];
  ASSERT_EQ(inner.cells.size(), 2u);
  EXPECT_EQ(inner.cells[0].table, header.cells[0].table);
  EXPECT_EQ(inner.cells[0].row, 2u);
  EXPECT_EQ(inner.cells[0].cell, 1u);
  EXPECT_EQ(inner.cells[1].cell, 1u);
  // The table style's spacing stands over the document's defaults in cells only.
  EXPECT_EQ(header.spaceAfter, 0);
  EXPECT_EQ(header.line, 1.0f);
  const Paragraph& after = doc->paragraphs[Find(*doc, "После")];
  EXPECT_TRUE(after.cells.empty());
  EXPECT_FLOAT_EQ(after.spaceAfter, 8);
}

TEST(Tables, AreWrittenAndReadBackAsTheyWere) {
  const auto doc = ReadBytes(PackageWithBody(MixedBody(), WordDefaultStyles()));
  const auto bytes = WritePackageToMemory(*doc, false);
  const auto back = ReadBytes(std::string(bytes.begin(), bytes.end()));
  ASSERT_EQ(back->paragraphs.size(), doc->paragraphs.size());
  for (std::size_t i = 0; i < doc->paragraphs.size(); ++i) {
    const Paragraph& a = doc->paragraphs[i];
    const Paragraph& b = back->paragraphs[i];
    SCOPED_TRACE(a.text());
    EXPECT_EQ(a.text(), b.text());
    ASSERT_EQ(a.cells.size(), b.cells.size());
    for (std::size_t d = 0; d < a.cells.size(); ++d) {
      EXPECT_EQ(*a.cells[d].table, *b.cells[d].table);
      EXPECT_EQ(a.cells[d].row, b.cells[d].row);
      EXPECT_EQ(a.cells[d].cell, b.cells[d].cell);
    }
    EXPECT_EQ(a.spaceAfter, b.spaceAfter);
  }
}

// What the model does not read of a table, a row or a cell comes back in its place among what
// the writer makes: a floating table's position, spacing between cells, vertical text.
TEST(Tables, PropertiesTheModelDoesNotReadAreKept) {
  const std::string body =
      Tbl("<w:tblpPr w:leftFromText=\"180\" w:vertAnchor=\"page\" w:tblpY=\"2000\"/>"
          "<w:tblW w:w=\"0\" w:type=\"auto\"/><w:tblCellSpacing w:w=\"20\" w:type=\"dxa\"/>"
          "<w:shd w:val=\"clear\" w:color=\"auto\" w:fill=\"EEEEEE\"/><w:tblCaption "
          "w:val=\"Цены\"/>",
          {3000},
          Tr("<w:tblCellSpacing w:w=\"20\" w:type=\"dxa\"/><w:cantSplit/>",
             Tc("<w:tcW w:w=\"3000\" w:type=\"dxa\"/><w:noWrap/><w:textDirection w:val=\"btLr\"/>"
                "<w:vAlign w:val=\"center\"/>",
                P("Ячейка")))) +
      P("После") + kA4Section;
  const auto doc = ReadBytes(PackageWithBody(body, WordDefaultStyles()));
  const auto bytes = WritePackageToMemory(*doc, false);
  pugi::xml_document xml;
  ASSERT_TRUE(
      xml.load_string(package::ZipReader::OpenMemory(bytes.data(), bytes.size(), "t.docx", {})
                          ->Read("word/document.xml")
                          .c_str()));
  auto children = [&](const char* path) {
    std::string names;
    for (pugi::xml_node c : xml.select_node(path).node().children())
      names += c.name() + std::string(" ");
    return names;
  };
  EXPECT_EQ(children("//w:tblPr"),
            "w:tblpPr w:tblW w:tblCellSpacing w:tblInd w:shd w:tblLayout w:tblCellMar "
            "w:tblCaption ");
  EXPECT_EQ(children("//w:trPr"), "w:cantSplit w:tblCellSpacing ");
  EXPECT_EQ(children("//w:tcPr"), "w:tcW w:noWrap w:textDirection w:vAlign ");
  EXPECT_STREQ(xml.select_node("//w:tblpPr").node().attribute("w:tblpY").value(), "2000");
  // Read back, the table is the same.
  const auto back = ReadBytes(std::string(bytes.begin(), bytes.end()));
  EXPECT_EQ(*back->paragraphs[Find(*back, "Ячейка")].cells[0].table,
            *doc->paragraphs[Find(*doc, "Ячейка")].cells[0].table);
}

// Cells merged across the older way (w:hMerge) make one wide cell, which is written as one:
// what a continuing cell holds goes on in it, its empty paragraph does not.
TEST(Tables, CellsMergedAcrossTheOlderWayAreOneCell) {
  const std::string width = "<w:tcW w:w=\"2000\" w:type=\"dxa\"/>";
  const std::string body =
      Tbl("<w:tblStyle w:val=\"TableGrid\"/>", {2000, 2000, 2000, 2000},
          Tr("", Tc(width + "<w:hMerge w:val=\"restart\"/>", P("Слитая")) +
                     Tc(width + "<w:hMerge/>", P("")) +
                     Tc(width + "<w:hMerge w:val=\"continue\"/>", P("Дописано")) +
                     Tc(width, P("Правая"))) +
              Tr("",
                 Tc(width, P("1")) + Tc(width, P("2")) + Tc(width, P("3")) + Tc(width, P("4")))) +
      P("После") + kA4Section;
  const auto doc = ReadBytes(PackageWithBody(body, WordDefaultStyles()));
  const std::size_t merged = Find(*doc, "Слитая");
  const Table& table = *doc->paragraphs[merged].cells[0].table;
  ASSERT_EQ(table.rows[0].cells.size(), 2u);
  EXPECT_EQ(table.rows[0].cells[0].gridSpan, 3);
  EXPECT_FLOAT_EQ(table.rows[0].cells[0].width, 300);
  EXPECT_EQ(doc->paragraphs[merged + 1].text(), "Дописано");
  EXPECT_EQ(doc->paragraphs[merged + 1].cells[0].cell, 0u);
  EXPECT_EQ(doc->paragraphs[merged + 2].text(), "Правая");
  EXPECT_EQ(doc->paragraphs[merged + 2].cells[0].cell, 1u);

  Layout layout(*doc, EstimatedText());
  EXPECT_NEAR(layout.paragraphLeft(merged + 2) - layout.paragraphLeft(merged), 300, 0.5);

  const auto bytes = WritePackageToMemory(*doc, false);
  const std::string xml(bytes.begin(), bytes.end());
  const auto back = ReadBytes(xml);
  EXPECT_EQ(*back->paragraphs[Find(*back, "Слитая")].cells[0].table, table);
  const std::string main = package::ZipReader::OpenMemory(bytes.data(), bytes.size(), "t.docx", {})
                               ->Read("word/document.xml");
  EXPECT_EQ(main.find("hMerge"), std::string::npos);
  EXPECT_NE(main.find("<w:gridSpan w:val=\"3\"/>"), std::string::npos);
}

// A table asking for a width of its own is that wide whatever its grid adds up to, in points or
// as a share of the room, its columns in their proportions, as LibreOffice sets it.
TEST(Tables, APreferredWidthScalesTheGrid) {
  struct Case {
    std::string tblPr;
    std::vector<int> grid;
    double share;  // of the room, for the first column; below zero: points
  };
  const Case cases[] = {
      {"<w:tblW w:w=\"5000\" w:type=\"pct\"/>", {1000, 1000}, 0.5},
      {"<w:tblW w:w=\"6000\" w:type=\"dxa\"/>", {1000, 1000}, -150},
      {"<w:tblW w:w=\"100%\" w:type=\"pct\"/><w:tblLayout w:type=\"fixed\"/>", {1000, 3000}, 0.25},
      {"<w:tblW w:w=\"2000\" w:type=\"dxa\"/>", {3000, 3000}, -50},
      {"<w:tblW w:w=\"2500\" w:type=\"pct\"/>", {1000, 3000}, 0.125},
      {"<w:tblW w:w=\"0\" w:type=\"auto\"/>", {1000, 3000}, -50}};
  std::string body;
  for (std::size_t k = 0; k < std::size(cases); ++k) {
    const std::string n = std::to_string(k);
    body +=
        Tbl(cases[k].tblPr, cases[k].grid, Tr("", Tc("", P("Л" + n)) + Tc("", P("П" + n)))) + P("");
  }
  TempDir dir;
  const std::string file = dir / "widths.docx";
  WriteFile(file, PackageWithBody(body + kA4Section, WordDefaultStyles()));
  const auto doc = LoadDocumentFile(file);
  Layout layout(*doc, EstimatedText());
  const double room = TextColumnWidth(doc->pageSetup);
  for (std::size_t k = 0; k < std::size(cases); ++k) {
    SCOPED_TRACE(cases[k].tblPr);
    const std::string n = std::to_string(k);
    const double first = cases[k].share < 0 ? -cases[k].share : room * cases[k].share;
    EXPECT_NEAR(
        layout.paragraphLeft(Find(*doc, "П" + n)) - layout.paragraphLeft(Find(*doc, "Л" + n)),
        first, 0.5);
  }
  if (!HaveProgram("soffice") || !HaveProgram("pdftotext")) return;
  om_test::EnsureGui();
  const std::string theirs = ConvertWithLibreOffice(file, "pdf", dir / "pdf");
  ASSERT_FALSE(theirs.empty());
  std::map<std::string, double> at;
  for (const PdfWord& word : PdfWords(theirs, 1)) at[word.text] = word.x;
  for (std::size_t k = 0; k < std::size(cases); ++k) {
    const std::string left = "Л" + std::to_string(k), right = "П" + std::to_string(k);
    ASSERT_TRUE(at.count(left) && at.count(right)) << right;
    EXPECT_NEAR(layout.paragraphLeft(Find(*doc, right)) - layout.paragraphLeft(Find(*doc, left)),
                at[right] - at[left], 1.0)
        << cases[k].tblPr;
  }
}

TEST(Tables, CellsStandSideBySideAndTheTextAfterGoesBelow) {
  const auto doc = ReadBytes(PackageWithBody(MixedBody(), WordDefaultStyles()));
  Layout layout(*doc, EstimatedText());
  const std::size_t header = Find(*doc, "Шапка"), right = Find(*doc, "Правая");
  const std::size_t merged = Find(*doc, "Слитая"), b = Find(*doc, "Б");
  EXPECT_EQ(layout.paragraphTop(header), layout.paragraphTop(right));
  const float left = doc->pageSetup.leftMargin;
  EXPECT_FLOAT_EQ(layout.paragraphLeft(header), left + 5.4f);
  EXPECT_FLOAT_EQ(layout.paragraphLeft(right), left + 250 + 5.4f);
  EXPECT_FLOAT_EQ(layout.paragraphWidth(right), 100 - 10.8f);
  // The exact header row is 20 points whatever its text; the table's top border stands above
  // its text.
  EXPECT_FLOAT_EQ(layout.paragraphTop(merged), layout.paragraphTop(header) - 0.5f + 20);
  EXPECT_EQ(layout.paragraphTop(b), layout.paragraphTop(merged));
  // The merged cell's four lines reach below both of its rows: the last row grows.
  const float mergedBottom = layout.paragraphTop(Find(*doc, "четвёртая")) +
                             layout.paragraphHeight(Find(*doc, "четвёртая"));
  const float nested = layout.paragraphTop(Find(*doc, "Внутри1"));
  EXPECT_GT(nested, layout.paragraphTop(b));
  EXPECT_EQ(layout.paragraphTop(Find(*doc, "Внутри2")), nested);
  EXPECT_GT(layout.paragraphLeft(Find(*doc, "Внутри2")),
            layout.paragraphLeft(Find(*doc, "Внутри1")));
  const float afterTop = layout.paragraphTop(Find(*doc, "После"));
  EXPECT_GE(afterTop + 1e-3f, mergedBottom);
  EXPECT_GE(afterTop, nested + 15);
  // Boxes: the spanned header, its neighbour, the merged cell over two rows, and the rest.
  const auto boxes = layout.cellBoxesOnPage(1);
  ASSERT_GE(boxes.size(), 8u);
  bool mergedBox = false;
  for (const PageCellBox& box : boxes) {
    if (box.shading == Rgb(0xFFCC00)) {
      mergedBox = true;
      EXPECT_NEAR(box.rect.y + box.rect.height, afterTop, 1e-3);
    }
  }
  EXPECT_TRUE(mergedBox);
}

// A table of one header row and many rows: each page it goes on to begins with the header.
std::string LongTable(int rows, const std::string& bigRowPr, int bigParagraphs) {
  std::string body = Tr("<w:tblHeader/>", Tc("", P("Заголовок")) + Tc("", P("Столбец")));
  for (int r = 0; r < rows; ++r) {
    std::string second = P("Часть " + std::to_string(r));
    const bool big = r == rows / 2;
    if (big)
      for (int k = 1; k < bigParagraphs; ++k)
        second += P("Часть " + std::to_string(r) + "." + std::to_string(k));
    body += Tr(big ? bigRowPr : "", Tc("", P("Ряд " + std::to_string(r))) + Tc("", second));
  }
  return P("Начало") + Tbl("<w:tblStyle w:val=\"TableGrid\"/>", {3000, 6000}, body) + P("Конец") +
         kA4Section;
}

TEST(Tables, RowsGoOnToNewPagesUnderTheirHeader) {
  const auto doc = ReadBytes(PackageWithBody(LongTable(120, "", 1), WordDefaultStyles()));
  Layout layout(*doc, EstimatedText());
  ASSERT_GE(layout.pageCount(), 3);
  const double bottom = doc->pageSetup.pageHeight - doc->pageSetup.bottomMargin;
  for (std::size_t i = 0; i < doc->paragraphs.size(); ++i)
    EXPECT_LE(layout.paragraphTop(i) + layout.paragraphHeight(i), bottom + 1e-3) << i;
  for (int page = 2; page <= layout.pageCount(); ++page) {
    SCOPED_TRACE(page);
    const auto repeated = layout.repeatedOnPage(page);
    ASSERT_EQ(repeated.size(), 2u);
    EXPECT_EQ(doc->paragraphs[repeated[0].paragraph].text(), "Заголовок");
    EXPECT_FLOAT_EQ(repeated[0].y, doc->pageSetup.topMargin + 0.5f);  // under the top border
    const std::size_t first = layout.firstParagraphOfPage(page);
    EXPECT_GT(layout.paragraphTop(first), repeated[0].y + 10);
    EXPECT_FALSE(layout.cellBoxesOnPage(page).empty());
  }
  EXPECT_TRUE(layout.repeatedOnPage(1).empty());
}

TEST(Tables, ALongRowSplitsBetweenParagraphsUnlessItMustStayWhole) {
  // 60 paragraphs in one cell: more than a page.
  const auto splitting = ReadBytes(PackageWithBody(LongTable(30, "", 60), WordDefaultStyles()));
  Layout layout(*splitting, EstimatedText());
  const std::size_t first = Find(*splitting, "Часть 15"), last = Find(*splitting, "Часть 15.59");
  EXPECT_EQ(layout.pageOfParagraph(first), 1);
  EXPECT_EQ(layout.pageOfParagraph(last), 2);
  // The row's own label stays with the first part of the row.
  EXPECT_EQ(layout.pageOfParagraph(Find(*splitting, "Ряд 15")), 1);

  const auto whole =
      ReadBytes(PackageWithBody(LongTable(30, "<w:cantSplit/>", 40), WordDefaultStyles()));
  Layout kept(*whole, EstimatedText());
  const std::size_t label = Find(*whole, "Ряд 15");
  const int page = kept.pageOfParagraph(label);
  EXPECT_EQ(kept.pageOfParagraph(Find(*whole, "Часть 15.39")), page);
  EXPECT_EQ(kept.pageOfParagraph(Find(*whole, "Ряд 14")), page - 1);
}

// A paragraph of many lines in a cell is divided between the pages like one in the body.
TEST(Tables, ALongParagraphInACellGoesOnAtItsLines) {
  std::string words;
  for (int k = 0; k < 800; ++k) words += "слово ";
  const std::string body = P("Начало") +
                           Tbl("<w:tblStyle w:val=\"TableGrid\"/>", {3000, 6000},
                               Tr("", Tc("", P("Метка")) + Tc("", P(words)))) +
                           P("Конец") + kA4Section;
  const auto doc = ReadBytes(PackageWithBody(body, WordDefaultStyles()));
  Layout layout(*doc, EstimatedText());
  const std::size_t long_ = Find(*doc, words.substr(0, words.size()));
  const auto pieces = layout.piecesOf(long_);
  ASSERT_GE(pieces.size(), 2u);
  EXPECT_EQ(pieces[0].page, 1);
  EXPECT_EQ(pieces[1].page, 2);
  EXPECT_FLOAT_EQ(pieces[1].offset, pieces[0].height);
  EXPECT_EQ(layout.lastPageOfParagraph(long_), pieces.back().page);
  EXPECT_EQ(layout.pageOfParagraph(Find(*doc, "Конец")), pieces.back().page);
}

// What follows a divided paragraph in its cell comes right after its last lines, and the PDF
// carries each of its words once: the lines set on one page are not drawn, hidden, on the other.
TEST(Tables, TextAfterADividedParagraphFollowsItsLastLines) {
  om_test::EnsureGui();
  std::string words;
  for (int k = 0; k < 900; ++k) words += "w" + std::to_string(k) + " ";
  const std::string cell = P(words) + P("Хвост");
  const std::string body =
      P("Начало") +
      Tbl("<w:tblStyle w:val=\"TableGrid\"/>", {3000, 6000},
          Tr("", Tc("", P("Метка")) + Tc("", cell)) + Tr("", Tc("", P("Ниже")) + Tc("", P("")))) +
      kA4Section;
  const auto doc = ReadBytes(PackageWithBody(body, WordDefaultStyles()));
  Layout layout(*doc, FontMeasurer());
  const auto pieces = layout.piecesOf(Find(*doc, words));
  ASSERT_GE(pieces.size(), 2u);
  const std::size_t tail = Find(*doc, "Хвост");
  EXPECT_EQ(layout.pageOfParagraph(tail), pieces.back().page);
  EXPECT_NEAR(layout.paragraphTop(tail), pieces.back().top + pieces.back().height, 0.5);
  EXPECT_NEAR(layout.paragraphTop(Find(*doc, "Ниже")),
              layout.paragraphTop(tail) + layout.paragraphHeight(tail), 3);

  TempDir dir;
  WritePdf(*doc, layout, dir / "out.pdf");
  std::map<std::string, int> seen;
  for (const PdfWord& word : PdfWords(dir / "out.pdf")) ++seen[word.text];
  for (int k = 0; k < 900; k += 7) EXPECT_EQ(seen["w" + std::to_string(k)], 1) << k;
}

// A cell ends with a paragraph even after a table nested at its end. Left empty, it takes no
// room there (as LibreOffice sets it); with text it is a line of its own.
TEST(Tables, AnEmptyParagraphClosingANestedTableTakesNoRoom) {
  auto bodyWith = [](const std::string& closing) {
    const std::string nested =
        Tbl("<w:tblStyle w:val=\"TableGrid\"/>", {2000}, Tr("", Tc("", P("Внутри"))));
    return Tbl("<w:tblStyle w:val=\"TableGrid\"/>", {4000},
               Tr("", Tc("", nested + closing)) + Tr("", Tc("", P("Следующая")))) +
           kA4Section;
  };
  const auto empty = ReadBytes(PackageWithBody(bodyWith(P("")), WordDefaultStyles()));
  const auto text = ReadBytes(PackageWithBody(bodyWith(P("Строка")), WordDefaultStyles()));
  Layout a(*empty, EstimatedText()), b(*text, EstimatedText());
  const std::size_t inner = Find(*empty, "Внутри");
  const float nestedBottom = a.paragraphTop(inner) + a.paragraphHeight(inner);
  EXPECT_NEAR(a.paragraphTop(Find(*empty, "Следующая")), nestedBottom, 2.0);
  const std::size_t line = Find(*text, "Строка");
  EXPECT_GT(b.paragraphHeight(line), 10);
  EXPECT_NEAR(b.paragraphTop(Find(*text, "Следующая")),
              b.paragraphTop(line) + b.paragraphHeight(line), 2.0);
}

// Labels made with the word processor's label feature centre their text in cells of fixed
// height; the alignment is kept when written back.
TEST(Tables, CellTextStandsWhereTheCellAlignsIt) {
  const std::string row = Tr("<w:trHeight w:val=\"2000\" w:hRule=\"exact\"/>",
                             Tc("", P("Верх")) + Tc("<w:vAlign w:val=\"center\"/>", P("Середина")) +
                                 Tc("<w:vAlign w:val=\"bottom\"/>", P("Низ")));
  const std::string body =
      Tbl("<w:tblStyle w:val=\"TableGrid\"/>", {2000, 2000, 2000}, row) + kA4Section;
  const auto doc = ReadBytes(PackageWithBody(body, WordDefaultStyles()));
  Layout layout(*doc, EstimatedText());
  const std::size_t top = Find(*doc, "Верх"), middle = Find(*doc, "Середина"),
                    bottom = Find(*doc, "Низ");
  const float h = layout.paragraphHeight(top), rowTop = layout.paragraphTop(top);
  EXPECT_NEAR(layout.paragraphTop(middle), rowTop + (100 - h) / 2, 1.0);
  EXPECT_NEAR(layout.paragraphTop(bottom) + h, rowTop + 100, 1.5);

  const auto bytes = WritePackageToMemory(*doc, false);
  const auto back = ReadBytes(std::string(bytes.begin(), bytes.end()));
  const Table& table = *back->paragraphs[middle].cells[0].table;
  EXPECT_EQ(table.rows[0].cells[0].align, CellAlign::Top);
  EXPECT_EQ(table.rows[0].cells[1].align, CellAlign::Center);
  EXPECT_EQ(table.rows[0].cells[2].align, CellAlign::Bottom);
}

// A paragraph split in a cell, as typing Enter there does, stays in the cell: the table stays
// one table, and is written back whole.
TEST(Tables, SplittingAParagraphInACellKeepsItInTheCell) {
  auto doc = ReadBytes(PackageWithBody(LongTable(4, "", 1), WordDefaultStyles()));
  Layout layout(*doc, EstimatedText());
  Editor editor(*doc, layout);
  const std::size_t cell = Find(*doc, "Часть 2");
  editor.splitParagraph(editor.paragraphStart(cell) + 3);
  EXPECT_EQ(doc->paragraphs[cell + 1].text(), "ть 2");
  EXPECT_EQ(doc->paragraphs[cell + 1].cells, doc->paragraphs[cell].cells);
  EXPECT_EQ(TableEnd(doc->paragraphs, 1, 0), Find(*doc, "Конец"));
  const auto bytes = WritePackageToMemory(*doc, false);
  const auto back = ReadBytes(std::string(bytes.begin(), bytes.end()));
  EXPECT_EQ(back->paragraphs[cell + 1].cells.size(), 1u);
  EXPECT_EQ(back->paragraphs[cell + 1].cells[0].row, doc->paragraphs[cell].cells[0].row);
}

TEST(Tables, EditingACellLaysTheTableOutAgain) {
  auto doc = ReadBytes(PackageWithBody(LongTable(10, "", 1), WordDefaultStyles()));
  Layout layout(*doc, EstimatedText());
  const std::size_t after = Find(*doc, "Конец");
  const float before = layout.paragraphTop(after);
  const std::size_t cell = Find(*doc, "Часть 3");
  Paragraph extra = doc->paragraphs[cell];
  extra.id = doc->newParagraphId();
  doc->paragraphs.insert(doc->paragraphs.begin() + std::ptrdiff_t(cell) + 1, extra);
  layout.invalidateFrom(cell + 1);
  EXPECT_GT(layout.paragraphTop(after + 1), before + 10);
  EXPECT_EQ(layout.paragraphTop(cell + 1),
            layout.paragraphTop(cell) + layout.paragraphHeight(cell));
}

// Every "Ряд"/"Часть" label of the page, here and in LibreOffice's PDF.
std::set<std::string> LabelsOf(const std::string& text) {
  static const std::regex label("(Ряд|Часть) [0-9.]+");
  std::set<std::string> labels;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), label);
       it != std::sregex_iterator(); ++it)
    labels.insert(it->str());
  return labels;
}

// What only one side has: "+label" here only, "-label" there only.
std::string Difference(const std::set<std::string>& here, const std::set<std::string>& there) {
  std::string out;
  for (const auto& label : here)
    if (!there.count(label)) out += " +" + label;
  for (const auto& label : there)
    if (!here.count(label)) out += " -" + label;
  return out;
}

// Four one-line rows per table, every edge of each table in one border style and width.
const std::vector<std::pair<std::string, int>> kBorderCases = {
    {"double", 6}, {"double", 24}, {"outset", 6}, {"outset", 24}, {"thinThickSmallGap", 12},
    {"dashed", 12}};

std::string BorderedTables() {
  std::string body = P("До");
  int label = 0;
  for (const auto& [style, eighths] : kBorderCases) {
    const std::string line = "w:val=\"" + style + "\" w:sz=\"" + std::to_string(eighths) +
                             "\" w:space=\"0\" w:color=\"auto\"";
    std::string edges;
    for (const char* edge : {"top", "left", "bottom", "right", "insideH", "insideV"})
      edges += std::string("<w:") + edge + " " + line + "/>";
    std::string rows;
    for (int r = 0; r < 4; ++r)
      rows +=
          Tr("", Tc("<w:tcW w:w=\"4000\" w:type=\"dxa\"/>", P("Ряд" + std::to_string(label++))));
    body += Tbl("<w:tblBorders>" + edges + "</w:tblBorders>", {4000}, rows) + P("");
  }
  return body + kA4Section;
}

// A double border is two lines and a gap as wide, a raised one twice its width: rows stand as
// far apart as in LibreOffice, and the styles survive saving.
TEST(Tables, BorderStylesTakeTheirRoomAndAreKept) {
  const std::string file = PackageWithBody(BorderedTables(), WordDefaultStyles());
  const auto doc = ReadBytes(file);
  const auto bytes = WritePackageToMemory(*doc, false);
  const std::string saved(bytes.begin(), bytes.end());
  const auto back = ReadBytes(saved);
  for (std::size_t i = 0; i < doc->paragraphs.size(); ++i) {
    if (doc->paragraphs[i].cells.empty()) continue;
    EXPECT_EQ(*doc->paragraphs[i].cells[0].table, *back->paragraphs[i].cells[0].table);
  }
  EXPECT_EQ(doc->paragraphs[1].cells[0].table->borders.top->style, "double");
  if (!HaveProgram("soffice") || !HaveProgram("pdftotext"))
    GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
  om_test::EnsureGui();
  TempDir dir;
  Layout layout(*doc, FontMeasurer());
  for (const auto& [name, bytes] : {std::pair{"file", file}, std::pair{"ours", saved}}) {
    SCOPED_TRACE(name);
    const std::string path = dir / (std::string(name) + ".docx");
    std::ofstream(path, std::ios::binary) << bytes;
    const std::string pdf = ConvertWithLibreOffice(path, "pdf", dir / "pdf");
    ASSERT_FALSE(pdf.empty());
    std::map<std::string, double> there;
    for (const PdfWord& word : PdfWords(pdf)) there[word.text] = word.y;
    for (int label = 1; label < int(kBorderCases.size()) * 4; ++label) {
      if (label % 4 == 0) continue;
      const std::string above = "Ряд" + std::to_string(label - 1),
                        row = "Ряд" + std::to_string(label);
      ASSERT_TRUE(there.count(above) && there.count(row)) << row;
      const double ours =
          layout.paragraphTop(Find(*doc, row)) - layout.paragraphTop(Find(*doc, above));
      EXPECT_NEAR(ours, there[row] - there[above], 0.3) << row;
    }
  }
}

// Rows joined from another table keep its borders (w:tblPrEx): each such row has its top and
// bottom edge, and a wide top under a row without a bottom line takes its own room.
TEST(Tables, RowsOfTheirOwnBordersTakeThemAtTheirEdges) {
  const std::string thick = "w:val=\"single\" w:sz=\"24\" w:space=\"0\" w:color=\"auto\"";
  std::string box;
  for (const char* edge : {"top", "left", "bottom", "right"})
    box += std::string("<w:") + edge + " " + thick + "/>";
  const std::string own =
      "<w:tblPrEx><w:tblBorders>" + box + "<w:insideH " + kSingle + "/></w:tblBorders></w:tblPrEx>";
  const std::string margins =
      "<w:tblPrEx><w:tblCellMar><w:top w:w=\"200\" w:type=\"dxa\"/></w:tblCellMar></w:tblPrEx>";
  const std::string exceptions[] = {"", own, own, own, "", margins};
  std::string rows;
  for (int r = 0; r < 6; ++r)
    rows += "<w:tr>" + exceptions[r] +
            Tc("<w:tcW w:w=\"4000\" w:type=\"dxa\"/>", P("Ряд" + std::to_string(r))) + "</w:tr>";
  const std::string edges = std::string("<w:tblBorders><w:top ") + kSingle + "/><w:bottom " +
                            kSingle + "/></w:tblBorders>";
  const std::string file = PackageWithBody(
      P("До") + Tbl(edges, {4000}, rows) + P("После") + kA4Section, WordDefaultStyles());
  const auto doc = ReadBytes(file);
  const Table& table = *doc->paragraphs[Find(*doc, "Ряд1")].cells[0].table;
  ASSERT_TRUE(table.rows[1].exceptions && table.rows[5].exceptions);
  EXPECT_FLOAT_EQ(table.rows[5].exceptions->cellMargins.top, 10);
  const auto bytes = WritePackageToMemory(*doc, false);
  EXPECT_EQ(table, *ReadBytes(std::string(bytes.begin(), bytes.end()))
                        ->paragraphs[Find(*doc, "Ряд1")]
                        .cells[0]
                        .table);
  Layout layout(*doc, FontMeasurer());
  auto top = [&](int r) { return layout.paragraphTop(Find(*doc, "Ряд" + std::to_string(r))); };
  // The row's own margin: LibreOffice takes the table's for every row.
  EXPECT_NEAR(top(5) - top(4), top(1) - top(0) - 3 + 10, 0.01);
  if (!HaveProgram("soffice") || !HaveProgram("pdftotext"))
    GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
  om_test::EnsureGui();
  TempDir dir;
  const std::string path = dir / "rows.docx";
  std::ofstream(path, std::ios::binary) << file;
  const std::string pdf = ConvertWithLibreOffice(path, "pdf", dir / "pdf");
  ASSERT_FALSE(pdf.empty());
  std::map<std::string, double> there;
  for (const PdfWord& word : PdfWords(pdf)) there[word.text] = word.y;
  for (int r = 1; r < 5; ++r) {
    const std::string row = "Ряд" + std::to_string(r), above = "Ряд" + std::to_string(r - 1);
    EXPECT_NEAR(top(r) - top(r - 1), there[row] - there[above], 0.3) << row;
  }
}

// A row's widest bottom border takes its room under every cell of the row: a cell that leaves
// its own edge open, taller than the others, still ends above the line.
TEST(Tables, ARowsWidestBottomBorderTakesRoomUnderEveryCell) {
  const std::string thick = "w:val=\"single\" w:sz=\"24\" w:space=\"0\" w:color=\"auto\"";
  const std::string rows =
      Tr("", Tc("<w:tcW w:w=\"3000\" w:type=\"dxa\"/><w:tcBorders><w:bottom " + thick +
                    "/></w:tcBorders>",
                P("Верх")) +
                 Tc("<w:tcW w:w=\"3000\" w:type=\"dxa\"/><w:tcBorders><w:bottom w:val=\"nil\"/>"
                    "</w:tcBorders>",
                    P("Первая") + P("Вторая"))) +
      Tr("", Tc("<w:tcW w:w=\"3000\" w:type=\"dxa\"/>", P("Низ")) +
                 Tc("<w:tcW w:w=\"3000\" w:type=\"dxa\"/>", P("")));
  const std::string file =
      PackageWithBody(Tbl("", {3000, 3000}, rows) + P("После") + kA4Section, WordDefaultStyles());
  const auto doc = ReadBytes(file);
  Layout layout(*doc, FontMeasurer());
  auto top = [&](const char* text) { return layout.paragraphTop(Find(*doc, text)); };
  const float line = top("Вторая") - top("Первая");
  EXPECT_NEAR(top("Низ") - top("Первая"), 2 * line + 3, 0.01);
  if (!HaveProgram("soffice") || !HaveProgram("pdftotext"))
    GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
  om_test::EnsureGui();
  TempDir dir;
  const std::string path = dir / "edges.docx";
  std::ofstream(path, std::ios::binary) << file;
  const std::string pdf = ConvertWithLibreOffice(path, "pdf", dir / "pdf");
  ASSERT_FALSE(pdf.empty());
  std::map<std::string, double> there;
  for (const PdfWord& word : PdfWords(pdf)) there[word.text] = word.y;
  EXPECT_NEAR(top("Низ") - top("Верх"), there["Низ"] - there["Верх"], 0.3);
}

TEST(Tables, PaginateAsInLibreOffice) {
  if (!HaveProgram("soffice") || !HaveProgram("pdftotext"))
    GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
  om_test::EnsureGui();
  TempDir dir;
  // A least height of 400 points is more than the room left where the long row begins: it may
  // split, yet goes on whole.
  const std::string cases[][2] = {{"split", ""},
                                  {"whole", "<w:cantSplit/>"},
                                  {"least", "<w:trHeight w:val=\"8000\" w:hRule=\"atLeast\"/>"}};
  for (const auto& [name, rowPr] : cases) {
    const std::string file = dir / (name + ".docx");
    std::ofstream(file, std::ios::binary)
        << PackageWithBody(LongTable(90, rowPr, 30), WordDefaultStyles());
    const auto doc = LoadDocumentFile(file);
    Layout ownLayout(*doc, FontMeasurer());
    const bool movedWhole = ownLayout.pageOfParagraph(Find(*doc, "Ряд 45")) >
                            ownLayout.pageOfParagraph(Find(*doc, "Ряд 44"));
    EXPECT_EQ(movedWhole, name != "split") << name;
    const std::string ours = dir / (name + "-ours.docx");
    WritePackage(*doc, ours);
    for (const std::string& path : {file, ours}) {
      SCOPED_TRACE(path);
      Layout layout(*doc, FontMeasurer());
      const std::string pdf = ConvertWithLibreOffice(path, "pdf", dir / "pdf");
      ASSERT_FALSE(pdf.empty());
      const std::string info = RunAndCapture("pdfinfo " + Quote(pdf));
      EXPECT_NE(info.find("Pages:           " + std::to_string(layout.pageCount())),
                std::string::npos)
          << info << " here: " << layout.pageCount();
      for (int page = 1; page <= layout.pageCount(); ++page) {
        std::string here;
        for (std::size_t i = 0; i < doc->paragraphs.size(); ++i)
          if (layout.pageOfParagraph(i) == page) here += doc->paragraphs[i].text() + "\n";
        const std::string there = PdfPageText(pdf, page);
        EXPECT_EQ(Difference(LabelsOf(here), LabelsOf(there)), "") << "page " << page;
      }
    }
  }
}

namespace {

// Where the word processor's versions stand a table whose indent is 0: older ones (and any
// file that names no version) set the first cell's text at the margin, the table's edge out in
// the margin; current ones set the edge at the margin. A table within a table stands at the
// text of its cell in both.
TEST(Tables, OlderFilesSetTheFirstCellsTextAtTheIndent) {
  const std::string nested = Tbl("<w:tblStyle w:val=\"TableGrid\"/>", {1500, 1500},
                                 Tr("", Tc("", P("Вложенная")) + Tc("", P("Соседняя"))));
  const std::string body = P("До") +
                           Tbl("<w:tblStyle w:val=\"TableGrid\"/>", {4000, 3000},
                               Tr("", Tc("", P("Левая") + nested + P("")) + Tc("", P("Правая")))) +
                           P("После") + kA4Section;
  const std::string older =
      std::regex_replace(std::string(kCurrentSettings), std::regex("w:val=\"15\""), "w:val=\"14\"");
  struct Case {
    const char* name;
    std::string settings;
    float outset;  // of the outer table's edge from its text
  } cases[] = {{"none", "", 0}, {"older", older, 0}, {"current", kCurrentSettings, 5.4f}};
  TempDir dir;
  for (const Case& c : cases) {
    auto parts = WordDefaultStyles();
    if (c.settings.empty())
      parts.erase("word/settings.xml");
    else
      parts["word/settings.xml"] = c.settings;
    const std::string file = PackageWithBody(body, parts);
    const auto doc = ReadBytes(file);
    Layout layout(*doc, FontMeasurer());
    const float left = doc->pageSetup.leftMargin;
    const float outer = layout.paragraphLeft(Find(*doc, "Левая"));
    EXPECT_FLOAT_EQ(outer, left + c.outset) << c.name;
    const float inner = layout.paragraphLeft(Find(*doc, "Вложенная"));
    EXPECT_FLOAT_EQ(inner, outer + 5.4f) << c.name;
    if (c.settings.empty() || !HaveProgram("soffice") || !HaveProgram("pdftotext")) continue;
    om_test::EnsureGui();
    const std::string path = dir / (std::string(c.name) + ".docx");
    std::ofstream(path, std::ios::binary) << file;
    const std::string pdf = ConvertWithLibreOffice(path, "pdf", dir / c.name);
    ASSERT_FALSE(pdf.empty());
    std::map<std::string, double> there;
    for (const PdfWord& word : PdfWords(pdf)) there[word.text] = word.x;
    EXPECT_NEAR(there["Левая"], outer, 0.5) << c.name;
    EXPECT_NEAR(there["Вложенная"], inner, 0.7) << c.name;
  }
}

}  // namespace

// A table style with conditional formats over those of its base: a dark header row with white
// bold text, a red first column in italics, a green last column, shaded odd bands, a double line
// over the last row and blue text in the top left corner.
std::map<std::string, std::string> ConditionalStyles() {
  auto parts = WordDefaultStyles();
  std::string& styles = parts["word/styles.xml"];
  auto shading = [](const char* fill) {
    return std::string("<w:tcPr><w:shd w:val=\"clear\" w:color=\"auto\" w:fill=\"") + fill +
           "\"/></w:tcPr>";
  };
  auto format = [](const char* type, const std::string& content) {
    return std::string("<w:tblStylePr w:type=\"") + type + "\">" + content + "</w:tblStylePr>";
  };
  const std::string style =
      "<w:style w:type=\"table\" w:styleId=\"Banded\"><w:name w:val=\"Banded\"/>"
      "<w:basedOn w:val=\"TableGrid\"/><w:tblPr><w:tblStyleRowBandSize w:val=\"1\"/></w:tblPr>" +
      format("firstRow",
             "<w:rPr><w:b/><w:color w:val=\"FFFFFF\"/></w:rPr><w:tcPr><w:tcBorders>"
             "<w:insideV w:val=\"nil\"/></w:tcBorders><w:shd w:val=\"clear\" w:color=\"auto\" "
             "w:fill=\"000000\"/></w:tcPr>") +
      format("lastRow",
             "<w:tcPr><w:tcBorders><w:top w:val=\"double\" w:sz=\"4\" w:space=\"0\" "
             "w:color=\"000000\"/></w:tcBorders></w:tcPr>") +
      format("firstCol", "<w:rPr><w:i/></w:rPr>" + shading("FF0000")) +
      format("lastCol", shading("00FF00")) + format("band1Horz", shading("CCCCCC")) +
      format("nwCell", "<w:rPr><w:color w:val=\"0000FF\"/></w:rPr>") + "</w:style>";
  styles.insert(styles.find("</w:styles>"), style);
  return parts;
}

std::string ConditionalBody(const std::string& look) {
  std::string rows;
  for (int r = 0; r < 3; ++r) {
    std::string cells;
    for (int c = 0; c < 3; ++c) cells += Tc("", P("я" + std::to_string(r) + std::to_string(c)));
    rows += Tr("", cells);
  }
  return Tbl("<w:tblStyle w:val=\"Banded\"/>" + look, {2500, 2500, 2500}, rows) + P("") +
         kA4Section;
}

struct Expected {
  const char* text;
  std::optional<Rgb> shading;
  bool bold, italic;
  Rgb color;
};

void ExpectCells(const Document& doc, const std::vector<Expected>& cells, const char* name) {
  for (const Expected& e : cells) {
    const Paragraph& p = doc.paragraphs[Find(doc, e.text)];
    const CellRef& at = p.cells.back();
    EXPECT_EQ(at.table->rows[at.row].cells[at.cell].shading, e.shading) << name << ' ' << e.text;
    ASSERT_FALSE(p.runs.empty());
    const RunFormat& f = p.runs[0].format;
    EXPECT_EQ(f.bold, e.bold) << name << ' ' << e.text;
    EXPECT_EQ(f.italic, e.italic) << name << ' ' << e.text;
    EXPECT_EQ(f.color, e.color) << name << ' ' << e.text;
  }
}

// Which cells a style's conditional formats reach follows the table's w:tblLook: its named flags,
// else its number, else the word processor's own choice (header row, first column, row bands).
// Rows stand over columns, corners over both. Saved with the file's styles, the table names its
// style and look again, and LibreOffice shades the cells as before.
TEST(Tables, StyleConditionalFormatsReachTheCellsTheTableTakes) {
  const std::vector<Expected> all = {
      {"я00", 0x000000, true, true, 0x0000FF},  {"я01", 0x000000, true, false, 0xFFFFFF},
      {"я02", 0x000000, true, false, 0xFFFFFF}, {"я10", 0xFF0000, false, true, 0},
      {"я11", 0xCCCCCC, false, false, 0},       {"я12", 0x00FF00, false, false, 0},
      {"я21", std::nullopt, false, false, 0}};
  const std::vector<Expected> usual = {{"я00", 0x000000, true, true, 0x0000FF},
                                       {"я02", 0x000000, true, false, 0xFFFFFF},
                                       {"я12", 0xCCCCCC, false, false, 0},
                                       {"я20", 0xFF0000, false, true, 0},
                                       {"я22", std::nullopt, false, false, 0}};
  const std::string named =
      "<w:tblLook w:val=\"0000\" w:firstRow=\"1\" w:lastRow=\"1\" w:firstColumn=\"1\" "
      "w:lastColumn=\"1\" w:noHBand=\"0\" w:noVBand=\"1\"/>";
  struct Case {
    const char* name;
    std::string look;
    const std::vector<Expected>& cells;
  } cases[] = {
      {"named", named, all}, {"number", "<w:tblLook w:val=\"04A0\"/>", usual}, {"none", "", usual}};
  for (const Case& c : cases) {
    const auto doc = ReadBytes(PackageWithBody(ConditionalBody(c.look), ConditionalStyles()));
    ExpectCells(*doc, c.cells, c.name);
    const auto bytes = WritePackageToMemory(*doc, false);
    const auto back = ReadBytes(std::string(bytes.begin(), bytes.end()));
    ExpectCells(*back, c.cells, c.name);
  }
  // LibreOffice reads the number alone, so the file it is shown names both alike.
  const std::string both = std::regex_replace(named, std::regex("0000"), "05E0");
  const auto doc = ReadBytes(PackageWithBody(ConditionalBody(both), ConditionalStyles()));
  const Paragraph& middle = doc->paragraphs[Find(*doc, "я01")];
  const TableCell& header = middle.cells[0].table->rows[0].cells[1];
  ASSERT_TRUE(header.borders.left && header.borders.right);
  EXPECT_FALSE(header.borders.left->visible);  // inside the header row
  EXPECT_FALSE(header.borders.top);
  const TableCell& last = middle.cells[0].table->rows[2].cells[0];
  ASSERT_TRUE(last.borders.top);
  EXPECT_EQ(last.borders.top->style, "double");
  EXPECT_FALSE(last.borders.left);

  const auto bytes = WritePackageToMemory(*doc, false);
  const std::string saved = std::string(bytes.begin(), bytes.end());
  const std::string main = package::ZipReader::OpenMemory(bytes.data(), bytes.size(), "t.docx", {})
                               ->Read("word/document.xml");
  EXPECT_NE(main.find("<w:tblStyle w:val=\"Banded\"/>"), std::string::npos);
  EXPECT_NE(main.find("<w:tblLook w:val=\"05E0\" w:firstRow=\"1\" w:lastRow=\"1\" "
                      "w:firstColumn=\"1\" w:lastColumn=\"1\" w:noHBand=\"0\" w:noVBand=\"1\"/>"),
            std::string::npos);
  if (!HaveProgram("soffice") || !HaveProgram("pdftoppm") || !HaveProgram("pdftotext")) return;
  om_test::EnsureGui();
  TempDir dir;
  const std::string original = dir / "original.docx", written = dir / "written.docx";
  std::ofstream(original, std::ios::binary)
      << PackageWithBody(ConditionalBody(both), ConditionalStyles());
  std::ofstream(written, std::ios::binary) << saved;
  for (const std::string& file : {original, written}) {
    const std::string pdf = ConvertWithLibreOffice(file, "pdf", dir / "lo");
    ASSERT_FALSE(pdf.empty());
    const std::string stem = dir / "page";
    RunAndCapture("pdftoppm -png -r 72 -f 1 -l 1 " + Quote(pdf) + " " + Quote(stem));
    const QImage page(QString::fromStdString(stem + "-1.png"));
    ASSERT_FALSE(page.isNull());
    for (const PdfWord& word : PdfWords(pdf)) {
      const auto e = std::find_if(all.begin(), all.end(),
                                  [&](const Expected& x) { return word.text == x.text; });
      if (e == all.end()) continue;
      // The shading just left of the text, within the cell's margin.
      const QRgb there = page.pixel(int(word.x - 3), int(word.y + 4));
      EXPECT_EQ(there & 0xFFFFFF, e->shading.value_or(0xFFFFFF)) << file << ' ' << e->text;
    }
  }
}

}  // namespace
