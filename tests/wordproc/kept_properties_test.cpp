// Paragraph and run properties the model does not read come back where the file had them, in
// schema order among those we write, from direct formatting, styles and the document defaults.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "ooxml_test_support.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace ooxml_test;

namespace {

const char* kW14 = "http://schemas.microsoft.com/office/word/2010/wordml";

std::map<std::string, std::string> Unzip(const std::vector<std::uint8_t>& bytes) {
  auto zip = package::ZipReader::OpenMemory(bytes.data(), bytes.size(), "out.docx", {});
  std::map<std::string, std::string> parts;
  for (const std::string& name : zip->Names()) parts[name] = zip->Read(name);
  return parts;
}

// A package whose main part also declares w14 (bound as given) and w15.
std::string PackageWith(const std::string& body, const std::string& w14 = kW14,
                        std::map<std::string, std::string> extra = {}) {
  const std::string bytes = PackageWithBody(body + kA4Section, std::move(extra));
  auto parts = Unzip(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  std::string& main = parts["word/document.xml"];
  main.replace(main.find("<w:document") + 11, 0,
               " xmlns:w14=\"" + w14 +
                   "\" xmlns:w15=\"http://schemas.microsoft.com/office/word/2012/wordml\""
                   " mc:Ignorable=\"w14 w15\"");
  return Zip(parts);
}

std::string Saved(const Document& doc, const char* part = "word/document.xml") {
  return Unzip(WritePackageToMemory(doc, false)).at(part);
}

// The names of the children of each element the path selects, joined.
std::string Children(const std::string& xml, const char* path) {
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_string(xml.c_str())) << xml;
  std::string names;
  for (pugi::xpath_node n : doc.select_nodes(path)) {
    for (pugi::xml_node c : n.node().children()) names += std::string(c.name()) + " ";
    names += "| ";
  }
  return names;
}

const char* kGlow = "<w14:glow w14:rad=\"63500\"><w14:srgbClr w14:val=\"FF0000\"/></w14:glow>";

std::string DirectBody() {
  return std::string(
             "<w:p><w:pPr><w:keepNext/><w:pBdr><w:bottom w:val=\"single\" w:sz=\"4\" "
             "w:space=\"1\" w:color=\"auto\"/></w:pBdr><w:kinsoku w:val=\"0\"/>"
             "<w:snapToGrid w:val=\"0\"/><w:spacing w:after=\"120\"/><w:jc w:val=\"center\"/>"
             "<w:textAlignment w:val=\"top\"/><w:rPr><w:u w:val=\"single\"/><w:vanish/></w:rPr>"
             "</w:pPr><w:r><w:rPr><w:b/><w:u w:val=\"double\"/><w:em w:val=\"dot\"/>") +
         kGlow +
         "<w15:foo/></w:rPr><w:t>Текст</w:t></w:r>"
         "<w:r><w:rPr><w:u w:val=\"double\"/><w:b/><w:em w:val=\"dot\"/>" +
         kGlow +
         "</w:rPr><w:t xml:space=\"preserve\"> дальше</w:t></w:r>"
         "<w:r><w:rPr><w:b/></w:rPr><w:t xml:space=\"preserve\"> без</w:t></w:r></w:p>";
}

TEST(KeptProperties, ComeBackInSchemaOrderAmongOurs) {
  auto doc = ReadBytes(PackageWith(DirectBody()));
  const Paragraph& p = doc->paragraphs[0];
  // Runs alike in all but the order of their properties are one run.
  ASSERT_EQ(p.runs.size(), 2u);
  EXPECT_EQ(p.runs[0].text, "Текст дальше");
  EXPECT_TRUE(p.hiddenMark);

  const std::string main = Saved(*doc);
  EXPECT_EQ(Children(main, "//w:p/w:pPr"),
            "w:keepNext w:pBdr w:kinsoku w:snapToGrid w:spacing w:jc w:textAlignment w:rPr | ");
  EXPECT_EQ(Children(main, "//w:p/w:pPr/w:rPr"), "w:rFonts w:vanish w:color w:sz w:szCs w:u | ");
  EXPECT_EQ(Children(main, "//w:r/w:rPr"),
            "w:rFonts w:b w:bCs w:color w:sz w:szCs w:u w:em w14:glow | "
            "w:rFonts w:b w:bCs w:color w:sz w:szCs | ");
  EXPECT_NE(main.find(kGlow), std::string::npos);
  EXPECT_EQ(main.find("w15:foo"), std::string::npos) << "a prefix our parts do not declare";

  // Read again, nothing changes.
  const auto bytes = WritePackageToMemory(*doc, false);
  EXPECT_EQ(Saved(*ReadPackageFromMemory(bytes.data(), bytes.size(), "again.docx")), main);

  // Formats changed through the model keep the properties they do not contradict.
  doc->paragraphs[0].runs[0].format.bold = false;
  doc->paragraphs[0].runs[0].format.italic = true;
  doc->paragraphs[0].alignment = Alignment::Right;
  const std::string changed = Saved(*doc);
  EXPECT_EQ(Children(changed, "//w:p/w:pPr"),
            "w:keepNext w:pBdr w:kinsoku w:snapToGrid w:spacing w:jc w:textAlignment w:rPr | ");
  EXPECT_NE(changed.find("<w:jc w:val=\"right\"/>"), std::string::npos);
  EXPECT_EQ(Children(changed, "//w:r[1]/w:rPr"),
            "w:rFonts w:i w:iCs w:color w:sz w:szCs w:u w:em w14:glow | ");
}

TEST(KeptProperties, OnlyUnderTheNamespacesWeWrite) {
  auto doc = ReadBytes(PackageWith(DirectBody(), "urn:not-word"));
  const std::string main = Saved(*doc);
  EXPECT_EQ(main.find("glow"), std::string::npos);
  EXPECT_NE(main.find("<w:em w:val=\"dot\"/>"), std::string::npos);
}

std::string PropertyStyles() {
  return std::string(
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:styles xmlns:w=\"http://"
             "schemas.openxmlformats.org/wordprocessingml/2006/main\" xmlns:w14=\"") +
         kW14 +
         "\"><w:docDefaults><w:rPrDefault><w:rPr><w:sz w:val=\"22\"/><w:lang w:val=\"de-DE\"/>"
         "</w:rPr></w:rPrDefault><w:pPrDefault><w:pPr><w:spacing w:after=\"0\"/>"
         "<w:textAlignment w:val=\"baseline\"/></w:pPr></w:pPrDefault></w:docDefaults>"
         "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\">"
         "<w:name w:val=\"Normal\"/></w:style>"
         "<w:style w:type=\"paragraph\" w:styleId=\"Note\"><w:name w:val=\"Note\"/>"
         "<w:basedOn w:val=\"Normal\"/><w:pPr><w:textAlignment w:val=\"center\"/>"
         "<w:outlineLvl w:val=\"1\"/></w:pPr><w:rPr><w:caps/><w:u w:val=\"wave\"/></w:rPr>"
         "</w:style><w:style w:type=\"character\" w:styleId=\"Em\"><w:name w:val=\"Em\"/>"
         "<w:rPr><w:smallCaps/><w:u w:val=\"dotted\"/></w:rPr></w:style></w:styles>";
}

// The file's styles come back as they were, and its paragraphs and runs keep their style; the text
// carries what its styles give as direct formatting too, unread properties included, so that the
// styles change nothing of how it looks.
TEST(KeptProperties, StylesGiveTheirsAndDefaultsStayDefaults) {
  auto parts = SpacingParts();
  parts["word/styles.xml"] = PropertyStyles();
  auto doc =
      ReadBytes(PackageWith("<w:p><w:pPr><w:pStyle w:val=\"Note\"/></w:pPr><w:r><w:t>a</w:t></w:r>"
                            "<w:r><w:rPr><w:rStyle w:val=\"Em\"/></w:rPr><w:t>b</w:t></w:r>"
                            "<w:r><w:rPr><w:u w:val=\"none\"/></w:rPr><w:t>c</w:t></w:r></w:p>"
                            "<w:p><w:r><w:t>plain</w:t></w:r></w:p>",
                            kW14, parts));
  const std::string main = Saved(*doc);
  pugi::xml_document xml;
  ASSERT_TRUE(xml.load_string(main.c_str()));
  auto value = [&](const char* path) {
    return std::string(xml.select_node(path).node().attribute("w:val").value());
  };
  EXPECT_EQ(value("//w:p[1]/w:pPr/w:textAlignment"), "center");
  EXPECT_EQ(value("//w:p[1]/w:pPr/w:outlineLvl"), "1");
  EXPECT_EQ(value("//w:p[1]/w:r[1]/w:rPr/w:u"), "wave");
  EXPECT_EQ(value("//w:p[1]/w:r[2]/w:rPr/w:u"), "dotted");
  EXPECT_TRUE(xml.select_node("//w:p[1]/w:r[2]/w:rPr/w:caps"));
  EXPECT_TRUE(xml.select_node("//w:p[1]/w:r[2]/w:rPr/w:smallCaps"));
  EXPECT_EQ(value("//w:p[1]/w:r[3]/w:rPr/w:u"), "none");
  EXPECT_EQ(value("//w:p[1]/w:pPr/w:pStyle"), "Note");
  // The character style leads its run's properties; a run without one names none.
  EXPECT_EQ(value("//w:p[1]/w:r[2]/w:rPr/*[1][self::w:rStyle]"), "Em");
  EXPECT_FALSE(xml.select_node("//w:p[1]/w:r[1]/w:rPr/w:rStyle"));
  EXPECT_FALSE(xml.select_node("//w:p[2]/w:pPr/w:pStyle"));
  // What the model has off is said off, so that no style turns it on.
  EXPECT_EQ(value("//w:p[2]/w:r/w:rPr/w:b"), "0");
  EXPECT_EQ(value("//w:p[2]/w:pPr/w:keepNext"), "0");
  EXPECT_EQ(Saved(*doc, "word/styles.xml"), PropertyStyles());
}

// LibreOffice reads the properties we wrote back: the underline, the emphasis mark and the
// bottom border of the paragraph.
TEST(KeptProperties, LibreOfficeReadsThem) {
  if (!HaveProgram("soffice")) GTEST_SKIP() << "LibreOffice is not installed";
  TempDir dir;
  auto doc = ReadBytes(PackageWith(DirectBody()));
  WritePackage(*doc, dir / "kept.docx");
  const std::string flat = ConvertWithLibreOffice(dir / "kept.docx", "fodt", dir.path());
  ASSERT_FALSE(flat.empty());
  const std::string text = ReadFile(flat);
  EXPECT_NE(text.find("Текст дальше"), std::string::npos);
  EXPECT_NE(text.find("style:text-underline-type=\"double\""), std::string::npos);
  EXPECT_NE(text.find("style:text-emphasize=\"dot"), std::string::npos);
  EXPECT_NE(text.find("fo:border-bottom=\""), std::string::npos);
}

}  // namespace
