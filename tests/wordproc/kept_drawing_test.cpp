// Charts and SmartArt of a Word-written file, floating or in the text, go back into the saved
// file as they came, and moved or resized through the object model, with their new place and
// size patched in.
#include <gtest/gtest.h>

#include <fstream>
#include <pugixml.hpp>
#include <set>

#include "tests/wordproc/om_support.h"
#include "tests/wordproc/ooxml_test_support.h"
#include "wordproc/core/Chart.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace ooxml_test;
using wordlink::Variant;

namespace {

const char* kDiagramFile = VSP_TEST_DATA "/word-corpus/python-docx/shp-inline-shape-access.docx";
constexpr double kEmu = 12700;

std::map<std::string, std::string> Unzip(const std::string& bytes) {
  auto zip = package::ZipReader::OpenMemory(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                            bytes.size(), "in.docx", {});
  std::map<std::string, std::string> parts;
  for (const std::string& name : zip->Names()) parts[name] = zip->Read(name);
  return parts;
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The inline drawing named so made floating at (x, y) points from the page's corner, stacked
// at relativeHeight.
void Float(std::string& xml, const std::string& name, int x, int y, int relativeHeight) {
  const std::size_t docPr = xml.find("name=\"" + name + "\"");
  ASSERT_NE(docPr, std::string::npos) << name;
  const std::size_t start = xml.rfind("<wp:inline", docPr);
  const std::size_t open = xml.find('>', start) + 1;
  const std::size_t end = xml.find("</wp:inline>", docPr);
  xml.replace(end, 12, "</wp:anchor>");
  xml.insert(xml.rfind("<wp:docPr", docPr), "<wp:wrapNone/>");
  const std::string position =
      "<wp:simplePos x=\"0\" y=\"0\"/><wp:positionH relativeFrom=\"page\"><wp:posOffset>" +
      std::to_string(x * 12700) + "</wp:posOffset></wp:positionH><wp:positionV " +
      "relativeFrom=\"page\"><wp:posOffset>" + std::to_string(y * 12700) +
      "</wp:posOffset></wp:positionV>";
  xml.insert(open, position);
  const std::string attributes = xml.substr(start + 10, open - 1 - start - 10);
  xml.replace(start, open - start,
              "<wp:anchor simplePos=\"0\" relativeHeight=\"" + std::to_string(relativeHeight) +
                  "\" behindDoc=\"0\" locked=\"0\" layoutInCell=\"1\" allowOverlap=\"1\"" +
                  attributes + ">");
}

// The corpus file with its SmartArt and chart floating: the SmartArt behind the chart.
std::string FloatingPackage() {
  auto parts = Unzip(FileBytes(kDiagramFile));
  std::string& main = parts.at("word/document.xml");
  Float(main, "Diagram 3", 72, 100, 251670000);
  Float(main, "Chart 5", 300, 400, 251680000);
  return Zip(parts);
}

const Shape* Find(const Document& doc, GraphicType graphic) {
  for (const AnchoredShape& anchored : doc.shapes)
    if (anchored.shape->graphic == graphic) return anchored.shape.get();
  return nullptr;
}

std::string MainPart(const std::string& path) {
  return Unzip(FileBytes(path)).at("word/document.xml");
}

// The drawing runs of the main part whose docPr is named so.
pugi::xml_node DrawingNamed(const pugi::xml_document& doc, const std::string& name) {
  return doc.select_node(("//wp:docPr[@name='" + name + "']/..").c_str()).node();
}

TEST(KeptDrawings, FloatingChartsAndSmartArtGoBackAsTheFileHadThem) {
  const std::string input = FloatingPackage();
  const auto doc = ReadBytes(input);
  ASSERT_EQ(doc->shapes.size(), 2u);
  const Shape* chart = Find(*doc, GraphicType::Chart);
  const Shape* diagram = Find(*doc, GraphicType::SmartArt);
  ASSERT_TRUE(chart && chart->raw && diagram && diagram->raw);
  EXPECT_FLOAT_EQ(chart->left, 300);
  EXPECT_EQ(doc->shapes[0].shape.get(), diagram) << "stacked as the file says";

  const auto bytes = WritePackageToMemory(*doc, false);
  const auto out = Unzip(std::string(bytes.begin(), bytes.end()));
  const std::string& main = out.at("word/document.xml");
  EXPECT_NE(main.find(chart->raw->xml), std::string::npos) << "the chart's run, unchanged";
  EXPECT_NE(main.find(diagram->raw->xml), std::string::npos);
  const auto in = Unzip(input);
  for (const char* part : {"word/charts/chart1.xml", "word/diagrams/data1.xml"})
    EXPECT_EQ(out.at(part), in.at(part)) << part;

  // Read back, both are what they were, and saving again changes nothing.
  const auto back = ReadPackageFromMemory(bytes.data(), bytes.size(), "back.docx");
  const Shape* again = Find(*back, GraphicType::Chart);
  ASSERT_TRUE(again && again->chart);
  EXPECT_EQ(again->chart->series.size(), 3u);
  EXPECT_FLOAT_EQ(again->top, 400);
  ASSERT_TRUE(Find(*back, GraphicType::SmartArt));
  EXPECT_EQ(Find(*back, GraphicType::SmartArt)->children.size(), 5u);
  const auto twice = WritePackageToMemory(*back, false);
  EXPECT_EQ(Unzip(std::string(twice.begin(), twice.end())).at("word/document.xml"), main);

  // Hidden and renamed, it says so; the id it shared with another shape is its own again.
  Shape& hidden = *back->shapes[1].shape;
  hidden.visible = false;
  hidden.name = "Продажи";
  hidden.id = back->shapes[0].shape->id;
  const auto third = WritePackageToMemory(*back, false);
  pugi::xml_document xml;
  ASSERT_TRUE(xml.load_string(
      Unzip(std::string(third.begin(), third.end())).at("word/document.xml").c_str()));
  const pugi::xml_node docPr = xml.select_node("//wp:docPr[@name='Продажи']").node();
  EXPECT_TRUE(docPr.attribute("hidden").as_bool());
  const pugi::xml_node other = xml.select_node("//wp:docPr[@name='Diagram 3']").node();
  EXPECT_FALSE(other.attribute("hidden"));
  EXPECT_NE(docPr.attribute("id").as_int(), other.attribute("id").as_int());
}

class KeptDrawingsOm : public om_test::OmTest {
 protected:
  void SetUp() override {
    OmTest::SetUp();
    om_test::EnsureGui();
    word = om_test::NewWord();
    std::ofstream(scratch_ / "floating.docx", std::ios::binary) << FloatingPackage();
  }
  void TearDown() override {
    word.call("Quit", 0);
    OmTest::TearDown();
  }

  Variant Open(const std::string& path) { return word.get("Documents").call("Open", path); }

  Variant word;
};

TEST_F(KeptDrawingsOm, MovedAndResizedOnesTakeTheirNewPlaceAndSize) {
  Variant doc = Open(scratch_ / "floating.docx");
  Variant chart = doc.get("Shapes").call("Item", 2);
  ASSERT_EQ(chart.get("Type").toInt(), 3) << "a chart";
  chart.put("Left", 150);
  chart.put("Width", 250);
  chart.put("Height", 120);
  doc.get("Shapes").call("Item", 1).put("Top", 50);
  Variant wrap = doc.get("Shapes").call("Item", 1).get("WrapFormat");
  wrap.put("Type", 4);  // top and bottom
  wrap.put("DistanceTop", 6);
  doc.call("SaveAs", scratch_ / "moved.docx");
  doc.call("Close", 0);

  pugi::xml_document xml;
  ASSERT_TRUE(xml.load_string(MainPart(scratch_ / "moved.docx").c_str()));
  const pugi::xml_node anchor = DrawingNamed(xml, "Chart 5");
  EXPECT_STREQ(anchor.name(), "wp:anchor");
  EXPECT_EQ(anchor.select_node("wp:positionH/wp:posOffset").node().text().as_llong(), 150 * kEmu);
  EXPECT_EQ(anchor.select_node("wp:positionV/wp:posOffset").node().text().as_llong(), 400 * kEmu);
  EXPECT_EQ(anchor.child("wp:extent").attribute("cx").as_llong(), 250 * kEmu);
  EXPECT_EQ(anchor.child("wp:extent").attribute("cy").as_llong(), 120 * kEmu);
  EXPECT_TRUE(anchor.select_node(".//c:chart[@r:id='rId14']"));
  EXPECT_TRUE(anchor.child("wp:wrapNone")) << "what was not changed stays";
  const pugi::xml_node diagram = DrawingNamed(xml, "Diagram 3");
  EXPECT_EQ(diagram.select_node("wp:positionV/wp:posOffset").node().text().as_llong(), 50 * kEmu);
  EXPECT_TRUE(diagram.select_node(".//dgm:relIds[@r:dm='rId9']"));
  EXPECT_TRUE(diagram.child("wp:wrapTopAndBottom"));
  EXPECT_FALSE(diagram.child("wp:wrapNone"));
  EXPECT_EQ(diagram.attribute("distT").as_llong(), 6 * kEmu);
  EXPECT_EQ(std::string(diagram.child("wp:wrapTopAndBottom").next_sibling().name()), "wp:docPr");

  // Another word processor finds the chart where we put it.
  if (!HaveProgram("soffice")) GTEST_SKIP() << "LibreOffice is not installed";
  std::filesystem::create_directories(scratch_ / "lo");
  const std::string converted =
      ConvertWithLibreOffice(scratch_ / "moved.docx", "docx:MS Word 2007 XML", scratch_ / "lo");
  ASSERT_FALSE(converted.empty());
  const auto theirs = ReadPackage(converted);
  const Shape* seen = Find(*theirs, GraphicType::Chart);
  ASSERT_TRUE(seen && seen->chart);
  EXPECT_EQ(seen->chart->series.size(), 3u);
  EXPECT_NEAR(seen->width, 250, 1);
  EXPECT_NEAR(seen->height, 120, 1);
  EXPECT_EQ(seen->relH, RelH::Page);
  EXPECT_NEAR(seen->left, 150, 1);
}

TEST_F(KeptDrawingsOm, CopiesAndNewShapesAroundThemStayInOrder) {
  Variant doc = Open(scratch_ / "floating.docx");
  Variant shapes = doc.get("Shapes");
  shapes.call("Item", 2).call("Duplicate");
  shapes.call("AddShape", 1, 10, 10, 40, 40);
  std::vector<std::string> names;
  for (int i = 1; i <= shapes.get("Count").toInt(); ++i)
    names.push_back(shapes.call("Item", i).get("Name").toString());
  doc.call("SaveAs", scratch_ / "more.docx");
  doc.call("Close", 0);

  const std::string main = MainPart(scratch_ / "more.docx");
  std::size_t references = 0;
  for (std::size_t at = main.find("r:id=\"rId14\""); at != std::string::npos;
       at = main.find("r:id=\"rId14\"", at + 1))
    ++references;
  EXPECT_EQ(references, 1u) << "the copy does not name the original's chart part";
  const auto back = ReadPackage(scratch_ / "more.docx");
  std::vector<std::string> read;
  for (const AnchoredShape& anchored : back->shapes) read.push_back(anchored.shape->name);
  EXPECT_EQ(read, names) << "the kept ones stacked among the shapes written anew";
  EXPECT_EQ(names[2].substr(0, 6), "Chart ") << "the copy is named after its kind";
}

}  // namespace

namespace {

// The part a main-part relationship of the package leads to.
std::string PartOf(const std::map<std::string, std::string>& parts, const std::string& id) {
  pugi::xml_document rels;
  rels.load_string(parts.at("word/_rels/document.xml.rels").c_str());
  const std::string query = "//*[@Id='" + id + "']";
  return "word/" + std::string(rels.select_node(query.c_str()).node().attribute("Target").value());
}

std::vector<std::string> Values(const pugi::xml_document& xml, const char* query) {
  std::vector<std::string> values;
  for (const pugi::xpath_node& found : xml.select_nodes(query))
    values.push_back(found.attribute().value());
  return values;
}

// A copy of a chart edits its own data in the other word processors: it names a chart part of
// its own, with its own workbook, and a SmartArt's copy its own data, drawing and definitions.
TEST_F(KeptDrawingsOm, CopiesOfChartsAndSmartArtTakePartsOfTheirOwn) {
  Variant doc = Open(scratch_ / "floating.docx");
  Variant shapes = doc.get("Shapes");
  shapes.call("Item", 2).call("Duplicate");
  shapes.call("Item", 2).call("Duplicate");
  shapes.call("Item", 1).call("Duplicate");
  doc.call("SaveAs", scratch_ / "copies.docx");
  doc.call("Close", 0);

  const auto parts = Unzip(FileBytes(scratch_ / "copies.docx"));
  pugi::xml_document xml;
  ASSERT_TRUE(xml.load_string(parts.at("word/document.xml").c_str()));
  std::set<std::string> charts, workbooks;
  for (const std::string& id : Values(xml, "//c:chart/@r:id")) {
    const std::string chart = PartOf(parts, id);
    ASSERT_TRUE(parts.count(chart)) << chart;
    charts.insert(chart);
    const std::string rels = "word/charts/_rels/" + chart.substr(12) + ".rels";
    ASSERT_TRUE(parts.count(rels)) << rels;
    pugi::xml_document chartRels;
    chartRels.load_string(parts.at(rels).c_str());
    const std::string target = chartRels.select_node("//@Target").attribute().value();
    ASSERT_EQ(target.substr(0, 3), "../");
    const std::string workbook = "word/" + target.substr(3);
    ASSERT_TRUE(parts.count(workbook)) << workbook;
    workbooks.insert(workbook);
    EXPECT_EQ(parts.at(workbook), parts.at("word/embeddings/Microsoft_Excel_Sheet1.xlsx"));
  }
  EXPECT_EQ(charts.size(), 3u);
  EXPECT_EQ(workbooks.size(), 3u);
  EXPECT_NE(parts.at("[Content_Types].xml").find("/word/charts/chart2.xml"), std::string::npos);

  std::set<std::string> data, drawings;
  for (const std::string& id : Values(xml, "//dgm:relIds/@r:dm")) {
    data.insert(PartOf(parts, id));
    const std::string& bytes = parts.at(PartOf(parts, id));
    const std::size_t at = bytes.find("relId=\"") + 7;
    drawings.insert(PartOf(parts, bytes.substr(at, bytes.find('"', at) - at)));
  }
  EXPECT_EQ(data.size(), 2u);
  EXPECT_EQ(drawings.size(), 2u) << "each data names its own drawing";
  EXPECT_EQ(Values(xml, "//dgm:relIds/@r:lo").size(), 2u);
  const auto anchorIds = Values(xml, "//@wp14:anchorId");
  EXPECT_EQ(std::set<std::string>(anchorIds.begin(), anchorIds.end()).size(), anchorIds.size());

  const auto back = ReadPackage(scratch_ / "copies.docx");
  int readCharts = 0, readDiagrams = 0;
  for (const AnchoredShape& anchored : back->shapes) {
    readCharts += anchored.shape->chart && anchored.shape->chart->series.size() == 3;
    readDiagrams += anchored.shape->graphic == GraphicType::SmartArt;
  }
  EXPECT_EQ(readCharts, 3);
  EXPECT_EQ(readDiagrams, 2);

  if (!HaveProgram("soffice")) GTEST_SKIP() << "LibreOffice is not installed";
  std::filesystem::create_directories(scratch_ / "lo");
  const std::string converted =
      ConvertWithLibreOffice(scratch_ / "copies.docx", "docx:MS Word 2007 XML", scratch_ / "lo");
  ASSERT_FALSE(converted.empty());
  int theirs = 0;
  const auto seen = ReadPackage(converted);
  for (const AnchoredShape& anchored : seen->shapes)
    theirs += anchored.shape->chart && anchored.shape->chart->series.size() == 3;
  EXPECT_EQ(theirs, 3) << "LibreOffice reads every copy as a chart";
}

// Pasted into another document, a chart brings its parts along.
TEST_F(KeptDrawingsOm, ChartsPastedIntoAnotherDocumentBringTheirParts) {
  Variant doc = Open(scratch_ / "floating.docx");
  doc.get("Shapes").call("Item", 2).call("Select");
  word.get("Selection").call("Copy");
  Variant other = word.get("Documents").call("Add");
  word.get("Selection").call("Paste");
  ASSERT_EQ(other.get("Shapes").get("Count").toInt(), 1);
  other.call("SaveAs", scratch_ / "pasted.docx");
  other.call("Close", 0);
  doc.call("Close", 0);

  const auto parts = Unzip(FileBytes(scratch_ / "pasted.docx"));
  pugi::xml_document xml;
  ASSERT_TRUE(xml.load_string(parts.at("word/document.xml").c_str()));
  const auto ids = Values(xml, "//c:chart/@r:id");
  ASSERT_EQ(ids.size(), 1u);
  EXPECT_TRUE(parts.count(PartOf(parts, ids[0])));
  const auto back = ReadPackage(scratch_ / "pasted.docx");
  ASSERT_EQ(back->shapes.size(), 1u);
  ASSERT_TRUE(back->shapes[0].shape->chart);
  EXPECT_EQ(back->shapes[0].shape->chart->series.size(), 3u);
}

// Text copied with its chart and SmartArt brings copies of them, each with parts of its own,
// in the text or taken out of it.
TEST_F(KeptDrawingsOm, ChartsInCopiedTextStayCharts) {
  Variant doc = Open(kDiagramFile);
  const int before = doc.get("InlineShapes").get("Count").toInt();
  Variant all = doc.call("Range");
  all.call("Copy");
  const int end = all.get("End").toInt();
  doc.call("Range", end - 1, end - 1).call("Paste");
  ASSERT_EQ(doc.get("InlineShapes").get("Count").toInt(), 2 * before);
  // The second copy of the chart floats; the first stays in the text.
  Variant copy = doc.get("InlineShapes").call("Item", before + 5);
  ASSERT_EQ(copy.get("Type").toInt(), 12);
  copy.call("ConvertToShape");
  doc.call("SaveAs", scratch_ / "twice.docx");
  doc.call("Close", 0);

  const auto parts = Unzip(FileBytes(scratch_ / "twice.docx"));
  pugi::xml_document xml;
  ASSERT_TRUE(xml.load_string(parts.at("word/document.xml").c_str()));
  std::set<std::string> charts, data;
  for (const std::string& id : Values(xml, "//c:chart/@r:id")) charts.insert(PartOf(parts, id));
  for (const std::string& id : Values(xml, "//dgm:relIds/@r:dm")) data.insert(PartOf(parts, id));
  EXPECT_EQ(charts.size(), 2u);
  EXPECT_EQ(data.size(), 2u);
  for (const std::string& part : charts) EXPECT_TRUE(parts.count(part)) << part;
  int read = 0;
  const auto back = ReadPackage(scratch_ / "twice.docx");
  for (const Paragraph& p : back->paragraphs)
    for (const InlinePicture& picture : p.inlinePictures)
      read += picture.drawing && picture.drawing->chart && picture.raw;
  const Shape* floating = Find(*back, GraphicType::Chart);
  EXPECT_EQ(read, 1);
  EXPECT_TRUE(floating && floating->raw);
}

TEST_F(KeptDrawingsOm, ResizedChartsInTheTextKeepTheirNewSize) {
  const auto read = LoadDocumentFile(kDiagramFile);
  std::shared_ptr<const KeptDrawing> diagramRun;
  for (const Paragraph& p : read->paragraphs)
    for (const InlinePicture& picture : p.inlinePictures)
      if (picture.name == "Diagram 3") diagramRun = picture.raw;
  ASSERT_TRUE(diagramRun);

  Variant doc = Open(kDiagramFile);
  Variant chart = doc.get("InlineShapes").call("Item", 5);
  ASSERT_EQ(chart.get("Type").toInt(), 12);
  chart.put("Width", 300);
  chart.put("Height", 150);
  doc.call("SaveAs", scratch_ / "inline.docx");
  doc.call("Close", 0);

  const std::string main = MainPart(scratch_ / "inline.docx");
  EXPECT_NE(main.find(diagramRun->xml), std::string::npos) << "the SmartArt was not changed";
  pugi::xml_document xml;
  ASSERT_TRUE(xml.load_string(main.c_str()));
  const pugi::xml_node frame = DrawingNamed(xml, "Chart 5");
  EXPECT_STREQ(frame.name(), "wp:inline");
  EXPECT_EQ(frame.child("wp:extent").attribute("cx").as_llong(), 300 * kEmu);
  EXPECT_EQ(frame.child("wp:extent").attribute("cy").as_llong(), 150 * kEmu);
  EXPECT_TRUE(frame.select_node(".//c:chart[@r:id='rId14']"));
  const auto back = ReadPackage(scratch_ / "inline.docx");
  float width = 0;
  for (const Paragraph& p : back->paragraphs)
    for (const InlinePicture& picture : p.inlinePictures)
      if (picture.drawing && picture.drawing->chart) width = picture.width;
  EXPECT_FLOAT_EQ(width, 300);
}

// Taken out of the text, a chart floats where its line stood and is saved as a chart still.
TEST_F(KeptDrawingsOm, ChartsTakenOutOfTheTextStayCharts) {
  Variant doc = Open(kDiagramFile);
  Variant chart = doc.get("InlineShapes").call("Item", 5).call("ConvertToShape");
  chart.put("Width", 200);
  doc.call("SaveAs", scratch_ / "converted.docx");
  doc.call("Close", 0);

  pugi::xml_document xml;
  ASSERT_TRUE(xml.load_string(MainPart(scratch_ / "converted.docx").c_str()));
  const pugi::xml_node anchor = DrawingNamed(xml, "Chart 5");
  EXPECT_STREQ(anchor.name(), "wp:anchor");
  EXPECT_EQ(anchor.child("wp:extent").attribute("cx").as_llong(), 200 * kEmu);
  EXPECT_TRUE(anchor.select_node(".//c:chart[@r:id='rId14']"));
  const auto back = ReadPackage(scratch_ / "converted.docx");
  const Shape* read = Find(*back, GraphicType::Chart);
  ASSERT_TRUE(read && read->chart);
  EXPECT_EQ(read->chart->series.size(), 3u);
  EXPECT_FLOAT_EQ(read->width, 200);
  EXPECT_EQ(read->relH, RelH::Column);
  EXPECT_EQ(read->relV, RelV::Paragraph);
}

// The corpus file with its chart and SmartArt moved into the header, which names their parts
// through relationships of its own.
std::string HeaderPackage() {
  auto parts = Unzip(FileBytes(kDiagramFile));
  std::string& main = parts.at("word/document.xml");
  std::string header;
  for (const char* name : {"Chart 5", "Diagram 3"}) {
    const std::size_t docPr = main.find(std::string("name=\"") + name + "\"");
    const std::size_t start = main.rfind("<w:p ", docPr);
    const std::size_t end = main.find("</w:p>", docPr) + 6;
    header += main.substr(start, end - start);
    main.erase(start, end - start);
  }
  const std::size_t root = main.find("<w:document") + 11;
  const std::string namespaces = main.substr(root, main.find('>', root) - root);
  main.insert(main.find('>', main.find("<w:sectPr")) + 1,
              "<w:headerReference w:type=\"default\" r:id=\"rIdHeader\"/>");
  parts["word/header1.xml"] =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:hdr" + namespaces + ">" + header + "</w:hdr>";
  // The drawings' relationships go from the main part to the header's.
  std::string& rels = parts.at("word/_rels/document.xml.rels");
  std::string moved;
  for (const char* id : {"rId9", "rId10", "rId11", "rId12", "rId13", "rId14"}) {
    const std::size_t start = rels.find(std::string("<Relationship Id=\"") + id + "\"");
    const std::size_t end = rels.find("/>", start) + 2;
    moved += rels.substr(start, end - start);
    rels.erase(start, end - start);
  }
  rels.insert(rels.find("</Relationships>"),
              "<Relationship Id=\"rIdHeader\" Type=\"http://schemas.openxmlformats.org/"
              "officeDocument/2006/relationships/header\" Target=\"header1.xml\"/>");
  parts["word/_rels/header1.xml.rels"] =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"http://"
      "schemas.openxmlformats.org/package/2006/relationships\">" +
      moved + "</Relationships>";
  std::string& types = parts.at("[Content_Types].xml");
  types.insert(types.find("</Types>"),
               "<Override PartName=\"/word/header1.xml\" ContentType=\"application/"
               "vnd.openxmlformats-officedocument.wordprocessingml.header+xml\"/>");
  return Zip(parts);
}

// The part an id of the part whose relationships are given names.
std::string TargetOf(const std::string& relsXml, const std::string& id) {
  pugi::xml_document rels;
  rels.load_string(relsXml.c_str());
  const std::string query = "//*[@Id='" + id + "']";
  const pugi::xml_node found = rels.select_node(query.c_str()).node();
  return found ? "word/" + std::string(found.attribute("Target").value()) : std::string();
}

int ChartsOfThreeSeries(const std::vector<Paragraph>& paragraphs) {
  int charts = 0;
  for (const Paragraph& p : paragraphs)
    for (const InlinePicture& picture : p.inlinePictures)
      charts += picture.raw && picture.drawing && picture.drawing->chart &&
                picture.drawing->chart->series.size() == 3;
  return charts;
}

// A header's chart and SmartArt go back into the header part written for it, with its
// relationships to their parts; a copy of the chart put into the body names a chart of its own.
TEST(KeptDrawings, ThoseOfHeadersKeepTheirPartsAndCopiesTakeTheirOwn) {
  const std::string input = HeaderPackage();
  auto doc = ReadBytes(input);
  ASSERT_TRUE(doc->lastStories.headers[0]);
  const HeaderFooter& header = *doc->lastStories.headers[0];
  ASSERT_EQ(ChartsOfThreeSeries(header.paragraphs), 1);
  for (const Paragraph& p : header.paragraphs)
    for (const InlinePicture& picture : p.inlinePictures)
      if (picture.drawing && picture.drawing->chart) {
        InlinePicture copy = picture;
        copy.afterRun = 0;
        doc->paragraphs[0].inlinePictures.push_back(copy);
      }
  const auto bytes = WritePackageToMemory(*doc, false);
  const auto parts = Unzip(std::string(bytes.begin(), bytes.end()));
  pugi::xml_document main;
  ASSERT_TRUE(main.load_string(parts.at("word/document.xml").c_str()));
  const std::string headerName =
      TargetOf(parts.at("word/_rels/document.xml.rels"),
               main.select_node("//w:headerReference/@r:id").attribute().value());
  ASSERT_TRUE(parts.count(headerName)) << headerName;
  const std::string headerRels = parts.at("word/_rels/" + headerName.substr(5) + ".rels");
  pugi::xml_document written;
  ASSERT_TRUE(written.load_string(parts.at(headerName).c_str()));
  const auto in = Unzip(input);
  const auto ids = Values(written, "//c:chart/@r:id");
  ASSERT_EQ(ids.size(), 1u);
  EXPECT_EQ(TargetOf(headerRels, ids[0]), "word/charts/chart1.xml");
  EXPECT_EQ(parts.at("word/charts/chart1.xml"), in.at("word/charts/chart1.xml"));
  for (const char* query :
       {"//dgm:relIds/@r:dm", "//dgm:relIds/@r:lo", "//dgm:relIds/@r:qs", "//dgm:relIds/@r:cs"}) {
    const auto diagram = Values(written, query);
    ASSERT_EQ(diagram.size(), 1u) << query;
    EXPECT_TRUE(parts.count(TargetOf(headerRels, diagram[0]))) << query;
  }
  const auto copied = Values(main, "//c:chart/@r:id");
  ASSERT_EQ(copied.size(), 1u);
  const std::string copy = TargetOf(parts.at("word/_rels/document.xml.rels"), copied[0]);
  EXPECT_NE(copy, "word/charts/chart1.xml");
  EXPECT_TRUE(parts.count(copy)) << copy;

  const auto back = ReadPackageFromMemory(bytes.data(), bytes.size(), "back.docx");
  ASSERT_TRUE(back->lastStories.headers[0]);
  EXPECT_EQ(ChartsOfThreeSeries(back->lastStories.headers[0]->paragraphs), 1);
  EXPECT_EQ(ChartsOfThreeSeries(back->paragraphs), 1);
  if (!HaveProgram("soffice") || !HaveProgram("pdftotext")) return;
  om_test::EnsureGui();
  TempDir dir;
  const std::string path = dir / "header.docx";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  const std::string pdf = ConvertWithLibreOffice(path, "pdf", dir / "lo");
  ASSERT_FALSE(pdf.empty());
  const std::string text = PdfPageText(pdf, 1);
  EXPECT_NE(text.find("foo"), std::string::npos) << "LibreOffice shows the header's SmartArt";
  std::size_t series = 0;
  for (std::size_t at = text.find("Series 1"); at != std::string::npos;
       at = text.find("Series 1", at + 1))
    ++series;
  EXPECT_EQ(series, 2u) << "and both charts";
}

}  // namespace
