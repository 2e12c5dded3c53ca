// What a package holds beyond the model survives opening and saving: parts the writer does not
// make, the relationships leading to them under their own ids, and their content types.
#include <gtest/gtest.h>

#include <pugixml.hpp>
#include <set>

#include "ooxml_test_support.h"
#include "wordproc/core/Editor.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace ooxml_test;

namespace {

const char* kRelBase = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::string Rels(const std::string& entries) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" +
         entries + "</Relationships>";
}

std::string Rel(const std::string& id, const std::string& type, const std::string& target,
                bool external = false) {
  return "<Relationship Id=\"" + id + "\" Type=\"" + kRelBase + type + "\" Target=\"" + target +
         "\"" + (external ? " TargetMode=\"External\"" : "") + "/>";
}

// The parts of a written package by name.
std::map<std::string, std::string> Unzip(const std::vector<std::uint8_t>& bytes) {
  auto zip = package::ZipReader::OpenMemory(bytes.data(), bytes.size(), "out.docx", {});
  std::map<std::string, std::string> parts;
  for (const std::string& name : zip->Names()) parts[name] = zip->Read(name);
  return parts;
}

// Id -> (type, target) of a relationships part; ids must be unique.
std::map<std::string, std::pair<std::string, std::string>> RelsOf(const std::string& xml) {
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_string(xml.c_str()));
  std::map<std::string, std::pair<std::string, std::string>> rels;
  for (pugi::xml_node r : doc.document_element().children("Relationship")) {
    std::string type = r.attribute("Type").value();
    type = type.substr(type.rfind('/') + 1);
    EXPECT_TRUE(rels.emplace(r.attribute("Id").value(),
                             std::make_pair(type, std::string(r.attribute("Target").value())))
                    .second)
        << "id twice: " << r.attribute("Id").value();
  }
  return rels;
}

// The content type the package gives a part.
std::string TypeOf(const std::string& typesXml, const std::string& part) {
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_string(typesXml.c_str()));
  for (pugi::xml_node o : doc.document_element().children("Override"))
    if (o.attribute("PartName").value() == "/" + part) return o.attribute("ContentType").value();
  const std::string extension = part.substr(part.rfind('.') + 1);
  for (pugi::xml_node d : doc.document_element().children("Default"))
    if (d.attribute("Extension").value() == extension) return d.attribute("ContentType").value();
  return {};
}

const char* kCoreType = "application/vnd.openxmlformats-package.core-properties+xml";
const char* kFootnotesType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.footnotes+xml";

// A Word-like package: a picture the body shows, footnotes with a picture of their own, a
// theme, custom XML, document properties, a hyperlink and a part nothing refers to. The kept
// relationships take the ids the writer would give its own parts.
std::string RichPackage() {
  const std::string picture =
      "<w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"381000\" cy=\"285750\"/>"
      "<wp:docPr id=\"1\" name=\"P\"/><a:graphic><a:graphicData "
      "uri=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"><pic:pic><pic:blipFill>"
      "<a:blip r:embed=\"rId10\"/></pic:blipFill></pic:pic></a:graphicData></a:graphic>"
      "</wp:inline></w:drawing></w:r></w:p>";
  const std::vector<std::uint8_t> blue = MakePng(4, 3, 0x3366CC), red = MakePng(2, 2, 0xCC0000);
  return PackageWithBody(
      "<w:p><w:r><w:t>Текст</w:t></w:r></w:p>" + picture + kA4Section,
      {{"[Content_Types].xml",
        std::string("<?xml version=\"1.0\"?><Types "
                    "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                    "<Default Extension=\"rels\" "
                    "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                    "<Default Extension=\"png\" ContentType=\"image/png\"/>"
                    "<Default Extension=\"bin\" ContentType=\"application/x-vsp-test\"/>"
                    "<Override PartName=\"/word/document.xml\" ContentType=\"application/"
                    "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>"
                    "<Override PartName=\"/word/footnotes.xml\" ContentType=\"") +
            kFootnotesType + "\"/><Override PartName=\"/docProps/core.xml\" ContentType=\"" +
            kCoreType + "\"/></Types>"},
       {"_rels/.rels",
        Rels("<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/package/2006/"
             "relationships/metadata/core-properties\" Target=\"docProps/core.xml\"/>" +
             Rel("rId1", "officeDocument", "word/document.xml"))},
       {"word/_rels/document.xml.rels",
        Rels(Rel("rId1", "footnotes", "footnotes.xml") + Rel("rId2", "theme", "theme/theme1.xml") +
             Rel("rId10", "image", "media/image1.png") +
             Rel("rId11", "hyperlink", "https://example.org/", true) +
             Rel("rIdStory1", "customXml", "../customXml/item1.xml"))},
       {"word/footnotes.xml",
        "<w:footnotes xmlns:w=\"urn:x\"><w:footnote w:id=\"1\"/>"
        "</w:footnotes>"},
       {"word/_rels/footnotes.xml.rels", Rels(Rel("rId1", "image", "media/image2.png"))},
       {"word/theme/theme1.xml", "<a:theme xmlns:a=\"urn:y\" name=\"T\"/>"},
       {"word/media/image1.png", std::string(blue.begin(), blue.end())},
       {"word/media/image2.png", std::string(red.begin(), red.end())},
       {"customXml/item1.xml", "<root>данные</root>"},
       {"customXml/_rels/item1.xml.rels", Rels(Rel("rId1", "customXmlProps", "itemProps1.xml"))},
       {"customXml/itemProps1.xml", "<ds:datastoreItem xmlns:ds=\"urn:z\"/>"},
       {"docProps/core.xml", "<cp:coreProperties xmlns:cp=\"urn:c\"/>"},
       {"extra/orphan.bin", std::string("\0\1\2", 3)}});
}

TEST(KeptPackage, PartsRelationshipsAndTypesComeBackAsTheyWere) {
  const std::string input = RichPackage();
  const auto in = Unzip(std::vector<std::uint8_t>(input.begin(), input.end()));
  auto doc = ReadBytes(input);
  ASSERT_TRUE(doc->kept);
  ASSERT_EQ(doc->paragraphs[1].inlinePictures.size(), 1u);
  const auto out = Unzip(WritePackageToMemory(*doc, false));

  for (const char* name :
       {"word/footnotes.xml", "word/_rels/footnotes.xml.rels", "word/theme/theme1.xml",
        "word/media/image1.png", "word/media/image2.png", "customXml/item1.xml",
        "customXml/_rels/item1.xml.rels", "customXml/itemProps1.xml", "docProps/core.xml",
        "extra/orphan.bin"}) {
    ASSERT_TRUE(out.count(name)) << name;
    EXPECT_EQ(out.at(name), in.at(name)) << name;
  }
  // The picture the body shows is its kept part under its own relationship, not a copy.
  EXPECT_EQ(out.size(), in.size() + 2) << "only word/settings.xml and styles.xml are new";
  EXPECT_NE(out.at("word/document.xml").find("r:embed=\"rId10\""), std::string::npos);

  const auto rels = RelsOf(out.at("word/_rels/document.xml.rels"));
  EXPECT_EQ(rels.at("rId1"),
            std::make_pair(std::string("footnotes"), std::string("footnotes.xml")));
  EXPECT_EQ(rels.at("rId2").first, "theme");
  EXPECT_EQ(rels.at("rId10").second, "media/image1.png");
  EXPECT_EQ(rels.at("rId11").second, "https://example.org/");
  EXPECT_EQ(rels.at("rIdStory1").second, "../customXml/item1.xml");
  std::set<std::string> types;
  for (const auto& [id, rel] : rels) types.insert(rel.first);
  EXPECT_TRUE(types.count("styles") && types.count("settings"));
  const auto root = RelsOf(out.at("_rels/.rels"));
  EXPECT_EQ(root.at("rId2").second, "docProps/core.xml");
  EXPECT_EQ(root.at("rId1").first, "officeDocument");

  const std::string& types_xml = out.at("[Content_Types].xml");
  EXPECT_EQ(TypeOf(types_xml, "docProps/core.xml"), kCoreType);
  EXPECT_EQ(TypeOf(types_xml, "word/footnotes.xml"), kFootnotesType);
  EXPECT_EQ(TypeOf(types_xml, "extra/orphan.bin"), "application/x-vsp-test");
  EXPECT_EQ(TypeOf(types_xml, "word/media/image2.png"), "image/png");

  // Read again and saved again, the package stays the same.
  const auto bytes = WritePackageToMemory(*doc, false);
  const auto again = Unzip(
      WritePackageToMemory(*ReadPackageFromMemory(bytes.data(), bytes.size(), "out.docx"), false));
  EXPECT_EQ(again, out);
}

TEST(KeptPackage, NewPartsTakeNamesAndIdsTheKeptOnesLeaveFree) {
  const std::string input = RichPackage();
  auto doc = ReadBytes(input);
  // A second picture and a header: names a kept part or relationship could have.
  InlinePicture added = doc->paragraphs[1].inlinePictures[0];
  added.image = MakeImage(0x00AA00);
  doc->paragraphs[0].inlinePictures.push_back(added);
  auto header = std::make_shared<HeaderFooter>();
  header->paragraphs.push_back(doc->paragraphs[0]);
  doc->lastStories.headers[int(HeaderKind::Default)] = header;
  const auto out = Unzip(WritePackageToMemory(*doc, false));

  const auto rels = RelsOf(out.at("word/_rels/document.xml.rels"));
  std::set<std::string> images;
  for (const auto& [id, rel] : rels)
    if (rel.first == "image") images.insert(rel.second);
  ASSERT_EQ(images.size(), 2u);
  for (const std::string& target : images) {
    ASSERT_TRUE(out.count("word/" + target)) << target;
    EXPECT_NE(target, "media/image2.png") << "the footnotes' picture was replaced";
  }
  EXPECT_EQ(
      out.at("word/media/image2.png"),
      Unzip(std::vector<std::uint8_t>(input.begin(), input.end())).at("word/media/image2.png"));
  // The header finds both pictures through relationships of its own.
  const auto headerRels = RelsOf(out.at("word/_rels/header1.xml.rels"));
  EXPECT_EQ(headerRels.size(), 2u);
  for (const auto& [id, rel] : headerRels) EXPECT_TRUE(images.count(rel.second)) << id;
}

// A main part outside word/ is written as word/document.xml: its kept relationships must still
// reach their parts.
TEST(KeptPackage, MainPartElsewhereKeepsItsTargets) {
  std::map<std::string, std::string> parts = {
      {"[Content_Types].xml",
       "<?xml version=\"1.0\"?><Types "
       "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
       "<Default Extension=\"rels\" "
       "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
       "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
       "<Override PartName=\"/doc/main.xml\" ContentType=\"application/"
       "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>"},
      {"_rels/.rels", Rels(Rel("rId1", "officeDocument", "doc/main.xml"))},
      {"doc/main.xml", std::string("<w:document") + kNamespaces +
                           "><w:body><w:p><w:r><w:t>x</w:t></w:r></w:p></w:body></w:document>"},
      {"doc/_rels/main.xml.rels", Rels(Rel("rId5", "footnotes", "notes.xml"))},
      {"doc/notes.xml", "<w:footnotes xmlns:w=\"urn:x\"/>"}};
  const auto out = Unzip(WritePackageToMemory(*ReadBytes(Zip(parts)), false));
  EXPECT_EQ(RelsOf(out.at("word/_rels/document.xml.rels")).at("rId5").second, "/doc/notes.xml");
  EXPECT_EQ(out.at("doc/notes.xml"), parts.at("doc/notes.xml"));
  EXPECT_EQ(out.count("doc/main.xml"), 0u);
}

// The settings the model does not hold (the version whose layout the file asks for, document
// variables, zoom) stay; what the model changes is patched in where the schema puts it.
TEST(KeptPackage, SettingsStayWithTheModelsChangesPatchedIn) {
  const std::string settings =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<w:settings "
      "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:zoom "
      "w:percent=\"120\"/><w:defaultTabStop w:val=\"708\"/><w:characterSpacingControl "
      "w:val=\"doNotCompress\"/><w:compat><w:compatSetting w:name=\"compatibilityMode\" "
      "w:uri=\"http://schemas.microsoft.com/office/word\" w:val=\"14\"/></w:compat><w:docVars>"
      "<w:docVar w:name=\"Партия\" w:val=\"42\"/></w:docVars></w:settings>";
  auto parts = WordDefaultStyles();
  parts["word/settings.xml"] = settings;
  auto doc = ReadBytes(PackageWithBody("<w:p><w:r><w:t>x</w:t></w:r></w:p>", parts));
  EXPECT_EQ(Unzip(WritePackageToMemory(*doc, false)).at("word/settings.xml"), settings);

  doc->evenAndOddHeaders = true;
  for (Paragraph& p : doc->paragraphs) p.tabs.interval = 36;
  pugi::xml_document changed;
  ASSERT_TRUE(changed.load_string(
      Unzip(WritePackageToMemory(*doc, false)).at("word/settings.xml").c_str()));
  std::vector<std::string> order;
  for (pugi::xml_node c : changed.document_element().children()) order.push_back(c.name());
  EXPECT_EQ(order,
            (std::vector<std::string>{"w:zoom", "w:defaultTabStop", "w:evenAndOddHeaders",
                                      "w:characterSpacingControl", "w:compat", "w:docVars"}));
  const pugi::xml_node root = changed.document_element();
  EXPECT_STREQ(root.child("w:defaultTabStop").attribute("w:val").value(), "720");
  EXPECT_STREQ(root.child("w:zoom").attribute("w:percent").value(), "120");
  EXPECT_STREQ(root.select_node("//w:docVar").node().attribute("w:val").value(), "42");
  const auto bytes = WritePackageToMemory(*doc, false);
  EXPECT_TRUE(ReadPackageFromMemory(bytes.data(), bytes.size(), "out.docx")->evenAndOddHeaders);

  doc->evenAndOddHeaders = false;
  const std::string off = Unzip(WritePackageToMemory(*doc, false)).at("word/settings.xml");
  EXPECT_EQ(off.find("evenAndOddHeaders"), std::string::npos);
  EXPECT_NE(off.find("compatibilityMode\" w:uri=\"http://schemas.microsoft.com/office/word\" "
                     "w:val=\"14\""),
            std::string::npos);
}

// Pictures only a header shows still need their type in the package.
TEST(KeptPackage, HeaderPicturesHaveTheirContentType) {
  Document doc;
  auto header = std::make_shared<HeaderFooter>();
  Paragraph p;
  p.runs.push_back({"x", {}});
  InlinePicture picture;
  picture.width = picture.height = 10;
  picture.image = MakeImage();
  p.inlinePictures.push_back(picture);
  header->paragraphs.push_back(p);
  doc.lastStories.headers[int(HeaderKind::Default)] = header;
  const auto out = Unzip(WritePackageToMemory(doc, false));
  EXPECT_EQ(TypeOf(out.at("[Content_Types].xml"), "word/media/image1.png"), "image/png");
}

// Element names of the main part in document order, those of the kinds kept raw.
std::vector<std::string> KeptOrder(const std::string& xml) {
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_string(xml.c_str()));
  std::vector<std::string> names;
  const std::set<std::string> kinds = {"w:bookmarkStart",
                                       "w:bookmarkEnd",
                                       "w:footnoteReference",
                                       "w:commentRangeStart",
                                       "w:commentRangeEnd",
                                       "w:commentReference",
                                       "w:sym",
                                       "c:chart",
                                       "m:oMath",
                                       "w:t"};
  for (pugi::xpath_node n : doc.select_nodes("//*"))
    if (kinds.count(n.node().name())) names.push_back(n.node().name());
  return names;
}

const char* kKeptBody =
    "<w:bookmarkStart w:id=\"0\" w:name=\"top\"/>"
    "<w:p><w:commentRangeStart w:id=\"1\"/><w:proofErr w:type=\"spellStart\"/>"
    "<w:r><w:t>до</w:t></w:r><w:r><w:rPr><w:rStyle w:val=\"FootnoteReference\"/></w:rPr>"
    "<w:footnoteReference w:id=\"1\"/></w:r><w:r><w:t>после</w:t><w:sym w:font=\"Wingdings\" "
    "w:char=\"F04A\"/><w:t>конец</w:t></w:r><w:commentRangeEnd w:id=\"1\"/>"
    "<w:r><w:commentReference w:id=\"1\"/></w:r>"
    "<m:oMath><m:r><m:t>x</m:t></m:r></m:oMath></w:p>"
    "<w:bookmarkEnd w:id=\"0\"/>"
    "<w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"914400\" cy=\"914400\"/>"
    "<wp:docPr id=\"5\" name=\"Диаграмма\"/><a:graphic><a:graphicData "
    "uri=\"http://schemas.openxmlformats.org/drawingml/2006/chart\"><c:chart w15:x=\"1\" "
    "r:id=\"rId9\"/></a:graphicData></a:graphic></wp:inline></w:drawing></w:r></w:p>";

std::string KeptElementsPackage() {
  std::string body = kKeptBody;
  body += kA4Section;
  std::string bytes = PackageWithBody(body);
  // The root declares the prefixes the kept elements use.
  auto parts = Unzip(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  std::string& main = parts["word/document.xml"];
  main.replace(main.find("<w:document") + 11, 0,
               " xmlns:m=\"http://schemas.openxmlformats.org/officeDocument/2006/math\""
               " xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\""
               " xmlns:w15=\"http://schemas.microsoft.com/office/word/2012/wordml\""
               " mc:Ignorable=\"w15\"");
  return Zip(parts);
}

TEST(KeptElements, StayInPlaceAndLeaveTheTextAsItWas) {
  const std::string input = KeptElementsPackage();
  auto doc = ReadBytes(input);
  ASSERT_EQ(doc->paragraphs.size(), 2u);
  EXPECT_EQ(doc->paragraphs[0].text(), "допослеконец");
  EXPECT_EQ(doc->paragraphs[1].text(), "");
  const auto out = Unzip(WritePackageToMemory(*doc, false));
  const std::string& main = out.at("word/document.xml");
  const auto in = Unzip(std::vector<std::uint8_t>(input.begin(), input.end()));
  // The body-level bookmark starts the next paragraph and ends the one before; the marker of a
  // spelling error goes.
  EXPECT_EQ(KeptOrder(main), KeptOrder(in.at("word/document.xml")));
  EXPECT_EQ(main.find("proofErr"), std::string::npos);
  EXPECT_NE(main.find("<w:rStyle w:val=\"FootnoteReference\"/></w:rPr><w:footnoteReference"),
            std::string::npos);
  pugi::xml_document parsed;
  ASSERT_TRUE(parsed.load_string(main.c_str()));
  const pugi::xml_node root = parsed.document_element();
  EXPECT_STREQ(root.attribute("xmlns:c").value(),
               "http://schemas.openxmlformats.org/drawingml/2006/chart");
  EXPECT_TRUE(root.attribute("xmlns:m"));
  EXPECT_NE(std::string(root.attribute("mc:Ignorable").value()).find("w15"), std::string::npos);
  // Read again, the document is the same.
  const auto bytes = WritePackageToMemory(*doc, false);
  EXPECT_EQ(Unzip(WritePackageToMemory(
                      *ReadPackageFromMemory(bytes.data(), bytes.size(), "again.docx"), false))
                .at("word/document.xml"),
            main);
}

TEST(KeptElements, MoveWithTheirTextStayOutOfCopiesAndTakeNoRoom) {
  auto doc = ReadBytes(KeptElementsPackage());
  Paragraph& p = doc->paragraphs[0];
  Paragraph tail = SplitOff(p, 2);  // after "до"
  auto has = [](const Paragraph& para, const char* element) {
    return std::any_of(para.runs.begin(), para.runs.end(), [&](const wordproc::Run& r) {
      return r.raw && r.raw->find(element) != std::string::npos;
    });
  };
  EXPECT_TRUE(has(p, "bookmarkStart") && has(p, "commentRangeStart"));
  EXPECT_TRUE(has(tail, "footnoteReference") && has(tail, "commentReference"));
  EXPECT_FALSE(has(p, "footnoteReference"));

  // Text brought into another document leaves them behind, the pictures where they stood.
  auto other = ReadBytes(KeptElementsPackage());
  InlinePicture picture;
  picture.image = MakeImage();
  picture.afterRun = 4;  // after "до" and the note's reference
  other->paragraphs[0].inlinePictures.push_back(picture);
  const Fragment fragment = FragmentOfDocument(*other);
  ASSERT_EQ(fragment.paragraphs.size(), 1u) << "the chart's paragraph is empty now";
  const Paragraph& copied = fragment.paragraphs[0];
  for (const wordproc::Run& run : copied.runs) EXPECT_FALSE(run.raw);
  // The symbol, which is drawn, comes along as the character it stands for.
  EXPECT_EQ(copied.text(), "допосле☺конец");
  ASSERT_EQ(copied.inlinePictures.size(), 1u);
  EXPECT_EQ(copied.runs[copied.inlinePictures[0].afterRun - 1].text, "до");

  // A paragraph with a hidden mark and only a bookmark is as empty as without it.
  Paragraph marker;
  marker.hiddenMark = true;
  marker.runs.push_back(p.runs.front());
  ASSERT_TRUE(marker.runs.front().raw);
  EXPECT_TRUE(TakesNoRoom(marker));
}

TEST(KeptElements, WrappersComeBackAroundTheirTextAndOnlyWhole) {
  auto doc = ReadBytes(PackageWithBody(
      "<w:p><w:r><w:t>A</w:t></w:r><w:hyperlink r:id=\"rId3\" w:history=\"1\"><w:r><w:t>B</w:t>"
      "</w:r></w:hyperlink><w:sdt><w:sdtPr><w:alias w:val=\"поле\"/></w:sdtPr><w:sdtContent>"
      "<w:r><w:t>C</w:t></w:r></w:sdtContent></w:sdt></w:p>"));
  ASSERT_EQ(doc->paragraphs[0].text(), "ABC");
  auto written = [&] {
    const std::string xml = Unzip(WritePackageToMemory(*doc, false)).at("word/document.xml");
    auto parsed = std::make_unique<pugi::xml_document>();
    EXPECT_TRUE(parsed->load_string(xml.c_str())) << xml;
    return parsed;
  };
  auto out = written();
  EXPECT_STREQ(out->select_node("//w:hyperlink[@r:id='rId3']/w:r/w:t").node().text().get(), "B");
  EXPECT_STREQ(out->select_node("//w:sdt/w:sdtPr/w:alias").node().attribute("w:val").value(),
               "поле");
  EXPECT_STREQ(out->select_node("//w:sdt/w:sdtContent/w:r/w:t").node().text().get(), "C");

  // Erasing "B" takes the hyperlink's start with it: its end alone is not written.
  EraseText(doc->paragraphs[0], 1, 2);
  EXPECT_EQ(doc->paragraphs[0].text(), "AC");
  out = written();
  EXPECT_FALSE(out->select_node("//w:hyperlink"));
  EXPECT_TRUE(out->select_node("//w:sdt/w:sdtContent/w:r/w:t"));
}

// Content controls around whole paragraphs go back around the same paragraphs, nested as they
// were; editing that takes a control's first or last paragraph away loses the control, not the
// text. One holding a table goes back around the table.
TEST(KeptElements, ContentControlsAroundParagraphsStayAroundThem) {
  auto p = [](const char* text) {
    return std::string("<w:p><w:r><w:t>") + text + "</w:t></w:r></w:p>";
  };
  auto doc = ReadBytes(PackageWithBody(
      p("до") +
      "<w:sdt><w:sdtPr><w:alias w:val=\"адрес\"/><w:id w:val=\"7\"/></w:sdtPr><w:sdtEndPr/>"
      "<w:sdtContent>" +
      p("A") + "<w:sdt><w:sdtPr><w:id w:val=\"8\"/></w:sdtPr><w:sdtContent>" + p("B") +
      "</w:sdtContent></w:sdt>" + p("C") + "</w:sdtContent></w:sdt>" + p("после") +
      "<w:sdt><w:sdtPr><w:id w:val=\"9\"/></w:sdtPr><w:sdtContent><w:tbl><w:tr><w:tc>" + p("T") +
      "</w:tc></w:tr></w:tbl></w:sdtContent></w:sdt>" + p("конец")));
  std::vector<std::string> texts;
  for (const Paragraph& para : doc->paragraphs) texts.push_back(para.text());
  EXPECT_EQ(texts, (std::vector<std::string>{"до", "A", "B", "C", "после", "T", "конец"}));
  auto written = [&] {
    const std::string xml = Unzip(WritePackageToMemory(*doc, false)).at("word/document.xml");
    auto parsed = std::make_unique<pugi::xml_document>();
    EXPECT_TRUE(parsed->load_string(xml.c_str())) << xml;
    return parsed;
  };
  // The text of each paragraph the path selects.
  auto texts_of = [](const pugi::xml_document& xml, const std::string& path) {
    std::string joined;
    for (pugi::xpath_node para : xml.select_nodes(path.c_str())) {
      for (pugi::xpath_node t : para.node().select_nodes(".//w:t")) joined += t.node().text().get();
      joined += "|";
    }
    return joined;
  };
  const char* outer = "/w:document/w:body/w:sdt[w:sdtPr/w:alias/@w:val='адрес']";
  auto out = written();
  EXPECT_EQ(texts_of(*out, "/w:document/w:body/w:p"), "до|после|конец|");
  EXPECT_EQ(texts_of(*out, std::string(outer) + "/w:sdtContent/w:p"), "A|C|");
  EXPECT_TRUE(out->select_node((std::string(outer) + "/w:sdtEndPr").c_str()));
  EXPECT_EQ(texts_of(*out, std::string(outer) +
                               "/w:sdtContent/w:sdt[w:sdtPr/w:id/@w:val='8']/w:sdtContent/w:p"),
            "B|");
  EXPECT_EQ(texts_of(*out, "/w:document/w:body/w:sdt[w:sdtPr/w:id/@w:val='9']/w:sdtContent/w:tbl"),
            "T|");

  // Splitting the last paragraph keeps both halves inside; joining them again too.
  Paragraph tail = SplitOff(doc->paragraphs[3], 1);
  tail.runs.push_back({"2", RunFormat{}});
  doc->paragraphs.insert(doc->paragraphs.begin() + 4, tail);
  out = written();
  EXPECT_EQ(texts_of(*out, std::string(outer) + "/w:sdtContent/w:p"), "A|C|2|");
  AppendParagraph(doc->paragraphs[3], doc->paragraphs[4]);
  doc->paragraphs.erase(doc->paragraphs.begin() + 4);
  out = written();
  EXPECT_EQ(texts_of(*out, std::string(outer) + "/w:sdtContent/w:p"), "A|C2|");

  // Without its first paragraph the outer control goes; the inner one stays whole.
  doc->paragraphs.erase(doc->paragraphs.begin() + 1);
  out = written();
  EXPECT_FALSE(out->select_node(outer));
  EXPECT_EQ(texts_of(*out, "/w:document/w:body/w:sdt/w:sdtContent/w:p"), "B|");
  EXPECT_EQ(texts_of(*out, "/w:document/w:body/w:p"), "до|C2|после|конец|");
}

}  // namespace

namespace {

// The children of every sectPr of a document, by name, in the file's order.
std::vector<std::string> SectionChildren(const std::string& main) {
  pugi::xml_document parsed;
  EXPECT_TRUE(parsed.load_string(main.c_str()));
  std::vector<std::string> names;
  for (pugi::xpath_node found : parsed.select_nodes("//w:sectPr")) {
    for (pugi::xml_node c : found.node().children()) names.push_back(c.name());
    names.push_back("|");
  }
  return names;
}

}  // namespace

// Page borders, line numbers, the grid and the page numbers' format are not modelled: each
// section keeps its own, in the schema's order among the elements written from the model,
// through a change of the page set-up. Printer settings name a part that is not kept: they go.
TEST(KeptElements, SectionPropertiesComeBackInTheirPlaces) {
  const std::string borders =
      "<w:pgBorders w:offsetFrom=\"page\"><w:top w:val=\"double\" w:sz=\"4\" w:space=\"24\" "
      "w:color=\"auto\"/></w:pgBorders>";
  const std::string first =
      "<w:sectPr><w:footnotePr><w:numFmt w:val=\"lowerRoman\"/></w:footnotePr>"
      "<w:type w:val=\"nextPage\"/><w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgMar w:top=\"1134\" "
      "w:right=\"850\" w:bottom=\"1134\" w:left=\"1701\" w:header=\"708\" w:footer=\"708\" "
      "w:gutter=\"0\"/>" +
      borders +
      "<w:lnNumType w:countBy=\"5\"/><w:pgNumType w:fmt=\"upperRoman\" w:start=\"3\"/>"
      "<w:cols w:space=\"708\"/><w:vAlign w:val=\"center\"/><w:docGrid w:linePitch=\"360\"/>"
      "<w:printerSettings r:id=\"rId99\"/></w:sectPr>";
  const std::string body = "<w:p><w:pPr>" + first + "</w:pPr><w:r><w:t>Первый</w:t></w:r></w:p>" +
                           "<w:p><w:r><w:t>Второй</w:t></w:r></w:p>" + kA4Section;
  auto doc = ReadBytes(PackageWithBody(body));
  ASSERT_TRUE(doc->paragraphs[0].sectionEnd);
  doc->paragraphs[0].sectionEnd->setup.leftMargin = 60;
  const std::string main = Unzip(WritePackageToMemory(*doc, false)).at("word/document.xml");
  const std::vector<std::string> expected = {
      "w:footnotePr", "w:pgSz",    "w:pgMar", "w:pgBorders", "w:lnNumType", "w:pgNumType", "w:cols",
      "w:vAlign",     "w:docGrid", "|",       "w:pgSz",      "w:pgMar",     "w:cols",      "|"};
  EXPECT_EQ(SectionChildren(main), expected);
  EXPECT_NE(main.find(borders), std::string::npos);
  EXPECT_NE(main.find("<w:pgNumType w:start=\"3\" w:fmt=\"upperRoman\"/>"), std::string::npos);
  EXPECT_NE(main.find("w:left=\"1200\""), std::string::npos);
  EXPECT_EQ(main.find("rId99"), std::string::npos);
}

// The page colour is read and written back with the element's own fill; a fill naming a
// picture part that is not kept keeps only its colour.
TEST(KeptElements, PageBackgroundComesBack) {
  const std::string body = "<w:p><w:r><w:t>Текст</w:t></w:r></w:p>" + std::string(kA4Section);
  for (const std::string& background :
       {std::string("<w:background w:color=\"FFFFCC\"/>"),
        std::string("<w:background w:color=\"FFFFCC\"><v:background id=\"b\" "
                    "o:bwmode=\"white\"><v:fill r:id=\"rId77\" type=\"tile\"/></v:background>"
                    "</w:background>")}) {
    auto doc = ReadBytes(PackageWithBody(body));
    std::map<std::string, std::string> parts = Unzip(WritePackageToMemory(*doc, false));
    std::string& main = parts.at("word/document.xml");
    main.insert(main.find("<w:body>"), background);
    doc = ReadBytes(Zip(parts));
    ASSERT_TRUE(doc->pageColor);
    EXPECT_EQ(*doc->pageColor, 0xFFFFCCu);
    const std::string saved = Unzip(WritePackageToMemory(*doc, false)).at("word/document.xml");
    const bool picture = background.find("r:id") != std::string::npos;
    EXPECT_NE(saved.find(picture ? "<w:background w:color=\"FFFFCC\"/><w:body>"
                                 : background + "<w:body>"),
              std::string::npos)
        << saved.substr(0, 2000);
  }
}
