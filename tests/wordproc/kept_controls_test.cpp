// Content controls around tables, rows and cells, inside cells and with nothing in them come back
// where they stood, and go with their content when it is deleted.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "ooxml_test_support.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace ooxml_test;

namespace {

std::string P(const char* text) {
  return std::string("<w:p><w:r><w:t>") + text + "</w:t></w:r></w:p>";
}

std::string Control(const char* alias, const std::string& content) {
  return std::string("<w:sdt><w:sdtPr><w:alias w:val=\"") + alias + "\"/></w:sdtPr><w:sdtContent>" +
         content + "</w:sdtContent></w:sdt>";
}

std::string Cell(const char* text) {
  return "<w:tc><w:tcPr><w:tcW w:w=\"2000\" w:type=\"dxa\"/></w:tcPr>" + P(text) + "</w:tc>";
}

std::string ControlsBody() {
  const std::string table =
      "<w:tbl><w:tblGrid><w:gridCol w:w=\"2000\"/><w:gridCol w:w=\"2000\"/></w:tblGrid>" +
      Control("строки", "<w:tr>" + Cell("A1") + Cell("A2") + "</w:tr><w:tr>" + Cell("B1") +
                            Cell("B2") + "</w:tr>") +
      "<w:tr>" + Control("ячейка", Cell("C1")) +
      "<w:tc><w:tcPr><w:tcW w:w=\"2000\" w:type=\"dxa\"/></w:tcPr>" + Control("внутри", P("C2")) +
      "</w:tc></w:tr></w:tbl>";
  return P("до") + Control("таблица", table) +
         "<w:sdt><w:sdtPr><w:alias w:val=\"пусто\"/></w:sdtPr><w:sdtContent/></w:sdt>" +
         P("после") + kA4Section;
}

std::unique_ptr<pugi::xml_document> Written(const Document& doc) {
  const auto bytes = WritePackageToMemory(doc, false);
  auto zip = package::ZipReader::OpenMemory(bytes.data(), bytes.size(), "out.docx", {});
  const std::string xml = zip->Read("word/document.xml");
  auto parsed = std::make_unique<pugi::xml_document>();
  EXPECT_TRUE(parsed->load_string(xml.c_str())) << xml;
  return parsed;
}

// The text of each node the path selects.
std::string Texts(const pugi::xml_document& xml, const std::string& path) {
  std::string joined;
  for (pugi::xpath_node n : xml.select_nodes(path.c_str())) {
    for (pugi::xpath_node t : n.node().select_nodes(".//w:t")) joined += t.node().text().get();
    joined += "|";
  }
  return joined;
}

const std::string kTable = "/w:document/w:body/w:sdt[w:sdtPr/w:alias/@w:val='таблица']";

TEST(KeptControls, AroundTablesRowsAndCellsAndEmpty) {
  auto doc = ReadBytes(PackageWithBody(ControlsBody()));
  ASSERT_EQ(doc->paragraphs.size(), 8u);
  auto out = Written(*doc);
  const std::string tbl = kTable + "/w:sdtContent/w:tbl";
  EXPECT_EQ(Texts(*out, tbl + "/w:sdt[w:sdtPr/w:alias/@w:val='строки']/w:sdtContent/w:tr"),
            "A1A2|B1B2|");
  EXPECT_EQ(Texts(*out, tbl + "/w:tr/w:sdt[w:sdtPr/w:alias/@w:val='ячейка']/w:sdtContent/w:tc"),
            "C1|");
  EXPECT_EQ(Texts(*out, tbl + "/w:tr/w:tc/w:sdt[w:sdtPr/w:alias/@w:val='внутри']/w:sdtContent/w:p"),
            "C2|");
  EXPECT_EQ(Texts(*out,
                  "/w:document/w:body/w:sdt[w:sdtPr/w:alias/@w:val='пусто']"
                  "[w:sdtContent[not(*)]]/following-sibling::w:p[1]"),
            "после|");
  EXPECT_EQ(Texts(*out, "/w:document/w:body/w:p"), "до|после|");

  // Read again, the same.
  const auto bytes = WritePackageToMemory(*doc, false);
  auto again = ReadPackageFromMemory(bytes.data(), bytes.size(), "again.docx");
  std::ostringstream first, second;
  out->save(first);
  Written(*again)->save(second);
  EXPECT_EQ(second.str(), first.str());
}

// Erasing the rows a control holds takes the control; the others stay. A control around rows
// opens at its first row, so it goes with that row, as a control around paragraphs goes with its
// first paragraph; the control around the whole table stays with the table.
TEST(KeptControls, GoWithTheirContent) {
  auto doc = ReadBytes(PackageWithBody(ControlsBody()));
  const TablePtr old = doc->paragraphs[1].cells[0].table;
  auto table = std::make_shared<Table>(*old);
  table->rows.erase(table->rows.begin());
  std::erase_if(doc->paragraphs,
                [&](const Paragraph& p) { return !p.cells.empty() && p.cells[0].row == 0; });
  for (Paragraph& p : doc->paragraphs) {
    if (p.cells.empty()) continue;
    p.cells[0].table = table;
    --p.cells[0].row;
  }
  auto out = Written(*doc);
  EXPECT_FALSE(out->select_node("//w:sdt[w:sdtPr/w:alias/@w:val='строки']"));
  EXPECT_EQ(Texts(*out, kTable + "/w:sdtContent/w:tbl/w:tr"), "B1B2|C1C2|");
  EXPECT_TRUE(out->select_node("//w:sdt[w:sdtPr/w:alias/@w:val='ячейка']/w:sdtContent/w:tc"));

  // Without the table the control around it goes, the empty one stays.
  std::erase_if(doc->paragraphs, [](const Paragraph& p) { return !p.cells.empty(); });
  out = Written(*doc);
  EXPECT_FALSE(out->select_node(kTable.c_str()));
  EXPECT_FALSE(out->select_node("//w:tbl"));
  EXPECT_TRUE(out->select_node("//w:sdt[w:sdtPr/w:alias/@w:val='пусто']"));
  EXPECT_EQ(Texts(*out, "/w:document/w:body/w:p"), "до|после|");
}

TEST(KeptControls, LibreOfficeReadsTheTable) {
  if (!HaveProgram("soffice") || !HaveProgram("pdftotext"))
    GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
  TempDir dir;
  auto doc = ReadBytes(PackageWithBody(ControlsBody()));
  WritePackage(*doc, dir / "controls.docx");
  const std::string pdf = ConvertWithLibreOffice(dir / "controls.docx", "pdf", dir.path());
  ASSERT_FALSE(pdf.empty());
  std::string text = PdfPageText(pdf, 1);
  std::erase_if(text, [](char c) { return c == ' ' || c == '\n' || c == '\f'; });
  for (const char* cell : {"A1", "A2", "B1", "B2", "C1", "C2", "после"})
    EXPECT_NE(text.find(cell), std::string::npos) << cell << " in " << text;
}

}  // namespace

// Headers are written from the model as the body is: their controls, around paragraphs, empty or
// within a line, come back too, and the body's controls stay where they were.
TEST(KeptControls, InHeadersToo) {
  const std::string header =
      std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:hdr") + kNamespaces + ">" +
      Control("шапка", P("Организация")) +
      "<w:sdt><w:sdtPr><w:alias w:val=\"пусто\"/></w:sdtPr><w:sdtContent/></w:sdt>" +
      "<w:p><w:r><w:t>Лист </w:t></w:r><w:sdt><w:sdtPr><w:alias w:val=\"номер\"/></w:sdtPr>"
      "<w:sdtContent><w:r><w:t>7</w:t></w:r></w:sdtContent></w:sdt></w:p></w:hdr>";
  const std::string body =
      "<w:p><w:pPr><w:sectPr><w:headerReference w:type=\"default\" r:id=\"rIdH\"/>"
      "</w:sectPr></w:pPr>" +
      std::string("<w:r><w:t>Один</w:t></w:r></w:p>") + Control("текст", P("Два")) + "<w:sectPr/>";
  auto doc = ReadBytes(PackageWithBody(
      body, {{"word/_rels/document.xml.rels", kHeaderRels}, {"word/header1.xml", header}}));
  const auto bytes = WritePackageToMemory(*doc, false);
  auto zip = package::ZipReader::OpenMemory(bytes.data(), bytes.size(), "out.docx", {});
  const std::string headerPart = zip->Read("word/header1.xml");
  pugi::xml_document out;
  ASSERT_TRUE(out.load_string(headerPart.c_str())) << headerPart;
  EXPECT_EQ(Texts(out, "/w:hdr/w:sdt[w:sdtPr/w:alias/@w:val='шапка']/w:sdtContent/w:p"),
            "Организация|");
  EXPECT_TRUE(
      out.select_node("/w:hdr/w:sdt[w:sdtPr/w:alias/@w:val='пусто'][w:sdtContent[not(*)]]"));
  EXPECT_EQ(Texts(out, "/w:hdr/w:p/w:sdt[w:sdtPr/w:alias/@w:val='номер']"), "7|");
  EXPECT_EQ(Texts(*Written(*doc), "/w:document/w:body/w:sdt[w:sdtPr/w:alias/@w:val='текст']"),
            "Два|");
  // The header's controls wait for no paragraph of the body.
  EXPECT_EQ(Texts(*Written(*doc), "/w:document/w:body/w:p"), "Один|");
}
