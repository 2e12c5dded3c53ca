// Endnotes: read from their part, which is written back as it came, numbered lower-case roman
// unless the document says otherwise, and set after the last paragraph under a rule, going on
// to further pages when they do not fit.
#include <gtest/gtest.h>

#include "ooxml_test_support.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace ooxml_test;

namespace {

const char* kMainNs = "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";

// Notes 1.. count after the separator, each "Концевая сноска N." (N its id) and more words.
std::string EndnotesXml(int count, int words = 0) {
  std::string xml = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:endnotes ") +
                    kMainNs +
                    "><w:endnote w:type=\"separator\" w:id=\"-1\"><w:p><w:r><w:separator/>"
                    "</w:r></w:p></w:endnote>";
  for (int id = 1; id <= count; ++id) {
    std::string text = "Концевая сноска " + std::to_string(id) + ".";
    for (int k = 0; k < words; ++k) text += " продолжение";
    xml += "<w:endnote w:id=\"" + std::to_string(id) +
           "\"><w:p><w:r><w:endnoteRef/></w:r><w:r><w:t xml:space=\"preserve\"> " + text +
           "</w:t></w:r></w:p></w:endnote>";
  }
  return xml + "</w:endnotes>";
}

// A body of paragraphs that refer to the notes in the order given, with settings whose
// endnotePr (and the section's) are given.
std::string EndnotesPackage(const std::vector<int>& refs, const std::string& notes,
                            const std::string& settingsPr = "", const std::string& sectPr = "") {
  const std::string rels =
      "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/"
      "2006/relationships\"><Relationship Id=\"rIdE\" Type=\"http://schemas.openxmlformats.org/"
      "officeDocument/2006/relationships/endnotes\" Target=\"endnotes.xml\"/><Relationship "
      "Id=\"rIdS\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
      "settings\" Target=\"settings.xml\"/></Relationships>";
  std::string body;
  for (int id : refs)
    body += "<w:p><w:r><w:t>Абзац</w:t></w:r><w:r><w:endnoteReference w:id=\"" +
            std::to_string(id) + "\"/></w:r></w:p>";
  body += "<w:sectPr>" + sectPr +
          "<w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgMar w:top=\"1440\" "
          "w:right=\"1440\" w:bottom=\"1440\" w:left=\"1440\"/></w:sectPr>";
  const std::string settings = std::string("<?xml version=\"1.0\"?><w:settings ") + kMainNs + ">" +
                               settingsPr + "</w:settings>";
  return PackageWithBody(body, {{"word/_rels/document.xml.rels", rels},
                                {"word/endnotes.xml", notes},
                                {"word/settings.xml", settings}});
}

// The body's references (id:mark) in order, then each note's own mark.
std::vector<std::string> Marks(const Document& doc) {
  std::vector<std::string> marks;
  for (const Paragraph& p : doc.paragraphs)
    for (const Run& run : p.runs)
      if (run.note && run.note->endnote)
        marks.push_back(std::to_string(run.note->id) + ":" + run.note->text);
  for (const auto& [id, note] : *doc.endnotes)
    marks.push_back("note " + note.paragraphs.at(0).runs.at(0).note->text);
  return marks;
}

TEST(Endnotes, AreNumberedRomanByDefaultAsTheDocumentSaysAndTheirPartIsKept) {
  const std::string notes = EndnotesXml(3);
  const auto doc = ReadBytes(EndnotesPackage({2, 1, 3}, notes));
  ASSERT_TRUE(doc->endnotes);
  EXPECT_FALSE(doc->footnotes);
  EXPECT_EQ(Marks(*doc),
            (std::vector<std::string>{"2:i", "1:ii", "3:iii", "note ii", "note i", "note iii"}));
  const auto bytes = WritePackageToMemory(*doc, false);
  auto zip = package::ZipReader::OpenMemory(bytes.data(), bytes.size(), "out.docx", {});
  EXPECT_EQ(zip->Read("word/endnotes.xml"), notes);
  EXPECT_EQ(Marks(*ReadBytes(std::string(bytes.begin(), bytes.end()))), Marks(*doc));

  // The settings' format and start, the section's format over them.
  const std::string decimal = "<w:endnotePr><w:numFmt w:val=\"decimal\"/></w:endnotePr>";
  const auto set = ReadBytes(
      EndnotesPackage({1, 2}, notes,
                      "<w:endnotePr><w:numFmt w:val=\"upperLetter\"/><w:numStart w:val=\"4\"/>"
                      "</w:endnotePr>"));
  EXPECT_EQ(Marks(*set)[1], "2:E");
  EXPECT_EQ(Marks(*ReadBytes(EndnotesPackage({1, 2}, notes, "", decimal)))[1], "2:2");
}

}  // namespace
