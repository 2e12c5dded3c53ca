// Footnotes: read from their part, which is written back as it came, numbered where the text
// refers to them, and set at the foot of the page their reference stands on, taking room from
// the body's text there as LibreOffice sets them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <regex>
#include <set>

#include "om_support.h"
#include "ooxml_test_support.h"
#include "wordproc/Render.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace ooxml_test;

namespace {

std::string Reference(const std::string& id, bool custom = false) {
  return "<w:r><w:rPr><w:vertAlign w:val=\"superscript\"/></w:rPr><w:footnoteReference w:id=\"" +
         id + "\"" + (custom ? " w:customMarkFollows=\"1\"" : "") + "/>" +
         (custom ? "<w:t>*</w:t>" : "") + "</w:r>";
}

std::string NoteXml(const std::string& id, const std::string& text, const char* type = nullptr) {
  return std::string("<w:footnote w:id=\"") + id + "\"" +
         (type ? std::string(" w:type=\"") + type + "\"" : std::string()) +
         "><w:p><w:r><w:footnoteRef/></w:r><w:r><w:t xml:space=\"preserve\"> " + text +
         "</w:t></w:r></w:p></w:footnote>";
}

const std::string kFootnotesXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:footnotes xmlns:w=\"http://schemas."
    "openxmlformats.org/wordprocessingml/2006/main\"><w:footnote w:type=\"separator\" "
    "w:id=\"0\"><w:p><w:r><w:separator/></w:r></w:p></w:footnote>" +
    NoteXml("1", "", "continuationSeparator") + NoteXml("2", "Первое") + NoteXml("3", "Своё") +
    NoteXml("4", "Второе") + "</w:footnotes>";

// Three references, the second with a mark of its own; the section numbers them as given.
std::string NotesPackage(const std::string& footnotePr) {
  const std::string rels =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"http://"
      "schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rIdN\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/footnotes\" "
      "Target=\"footnotes.xml\"/></Relationships>";
  const std::string body = "<w:p><w:r><w:t>Один</w:t></w:r>" + Reference("2") +
                           "<w:r><w:t xml:space=\"preserve\"> два</w:t></w:r></w:p><w:p>" +
                           Reference("3", true) + "</w:p><w:p>" + Reference("4") +
                           "</w:p><w:sectPr>" + footnotePr + "</w:sectPr>";
  return PackageWithBody(
      body, {{"word/_rels/document.xml.rels", rels}, {"word/footnotes.xml", kFootnotesXml}});
}

// The marks of the body's references in order, and of each note's own mark by id.
std::vector<std::string> BodyMarks(const Document& doc) {
  std::vector<std::string> marks;
  for (const Paragraph& p : doc.paragraphs)
    for (const Run& run : p.runs)
      if (run.note) marks.push_back(std::to_string(run.note->id) + ":" + run.note->text);
  return marks;
}

std::map<int, std::string> NoteMarks(const Document& doc) {
  std::map<int, std::string> marks;
  for (const auto& [id, note] : *doc.footnotes)
    marks[id] = note.paragraphs.at(0).runs.at(0).note->text + "|" + note.paragraphs[0].text();
  return marks;
}

TEST(Footnotes, AreNumberedWhereTheTextRefersToThemAndTheirPartIsKept) {
  const auto doc = ReadBytes(NotesPackage(""));
  ASSERT_TRUE(doc->footnotes);
  EXPECT_EQ(BodyMarks(*doc), (std::vector<std::string>{"2:1", "3:", "4:2"}));
  EXPECT_EQ(NoteMarks(*doc),
            (std::map<int, std::string>{{2, "1| Первое"}, {3, "| Своё"}, {4, "2| Второе"}}));
  EXPECT_EQ(doc->paragraphs[1].text(), "*");  // the custom mark is the reference's own text

  const auto bytes = WritePackageToMemory(*doc, false);
  auto zip = package::ZipReader::OpenMemory(bytes.data(), bytes.size(), "out.docx", {});
  EXPECT_EQ(zip->Read("word/footnotes.xml"), kFootnotesXml);
  const auto back = ReadBytes(std::string(bytes.begin(), bytes.end()));
  EXPECT_EQ(BodyMarks(*back), BodyMarks(*doc));

  const auto roman = ReadBytes(NotesPackage(
      "<w:footnotePr><w:numFmt w:val=\"lowerRoman\"/><w:numStart w:val=\"3\"/></w:footnotePr>"));
  EXPECT_EQ(BodyMarks(*roman), (std::vector<std::string>{"2:iii", "3:", "4:iv"}));
}

// Paragraphs of one line each; the one at refers to a note of noteLines lines.
std::unique_ptr<Document> Lines(int count, int at, int noteLines) {
  auto doc = std::make_unique<Document>();
  doc->paragraphs.clear();
  for (int k = 0; k < count; ++k) {
    Paragraph p;
    p.id = doc->newParagraphId();
    p.runs.push_back({"Строка " + std::to_string(k), RunFormat{}});
    if (k == at)
      p.runs.push_back({std::string(), RunFormat{}, nullptr, RawNesting::None,
                        std::make_shared<NoteMark>(NoteMark{7, "1", false})});
    doc->paragraphs.push_back(p);
  }
  auto notes = std::make_shared<std::map<int, Note>>();
  for (int k = 0; k < noteLines; ++k) (*notes)[7].paragraphs.push_back(doc->paragraphs[0]);
  doc->footnotes = notes;
  return doc;
}

TEST(Footnotes, TakeRoomAtTheFootOfThePageTheirLineStandsOn) {
  const auto plain = Lines(120, -1, 0);
  Layout free(*plain, EstimatedText());
  const int perPage = int(free.firstParagraphOfPage(2));
  const double line = EstimatedText().singleLineHeight(RunFormat{});
  const PageSetup& setup = plain->pageSetup;
  const double bottom = setup.pageHeight - setup.bottomMargin;

  // Referred to well above the foot: the page ends above the note and its rule.
  const auto early = Lines(120, 5, 3);
  Layout layout(*early, EstimatedText());
  const int fit = int((bottom - setup.topMargin - kNoteSeparator - 3 * line) / line + 1e-3);
  EXPECT_EQ(int(layout.firstParagraphOfPage(2)), fit);
  EXPECT_LT(fit, perPage);
  const PageNotes notes = layout.notesOnPage(1);
  ASSERT_EQ(notes.notes.size(), 1u);
  EXPECT_EQ(notes.notes[0].id, 7);
  EXPECT_NEAR(notes.notes[0].top + 3 * line, bottom, 1e-3);
  EXPECT_NEAR(notes.rule.width, TextColumnWidth(setup) * kNoteRuleShare, 1e-3);
  EXPECT_EQ(notes.rule.x, setup.leftMargin);
  EXPECT_TRUE(layout.notesOnPage(2).notes.empty());

  // Referred to on the page's last line: the line goes on to the next page with its note.
  const auto late = Lines(120, perPage - 1, 3);
  Layout moved(*late, EstimatedText());
  EXPECT_EQ(moved.pageOfParagraph(std::size_t(perPage - 1)), 2);
  EXPECT_TRUE(moved.notesOnPage(1).notes.empty());
  ASSERT_EQ(moved.notesOnPage(2).notes.size(), 1u);

  // An edit above the reference lays the notes out again with the text.
  auto edited = Lines(120, 5, 3);
  Layout again(*edited, EstimatedText());
  ASSERT_EQ(again.notesOnPage(1).notes.size(), 1u);
  edited->paragraphs.erase(edited->paragraphs.begin() + 2, edited->paragraphs.begin() + 7);
  again.invalidateFrom(2);
  EXPECT_TRUE(again.notesOnPage(1).notes.empty());
  EXPECT_EQ(again.firstParagraphOfPage(2), std::size_t(perPage));
}

TEST(Footnotes, AreDrawnUnderTheirRule) {
  om_test::EnsureGui();
  const auto doc = Lines(10, 0, 2);
  Layout layout(*doc, FontMeasurer());
  const PageNotes notes = layout.notesOnPage(1);
  ASSERT_EQ(notes.notes.size(), 1u);
  const QImage page = RenderPage(*doc, layout, 1, 1191);  // two pixels a point
  auto dark = [&](double x, double y) { return qGray(page.pixel(int(x * 2), int(y * 2))) < 128; };
  EXPECT_TRUE(dark(notes.rule.x + notes.rule.width / 2, notes.rule.y));
  EXPECT_FALSE(dark(notes.rule.x + notes.rule.width + 20, notes.rule.y));
  bool inked = false;
  for (double x = notes.notes[0].left; x < notes.notes[0].left + 60; x += 0.5)
    for (double y = notes.notes[0].top; y < notes.notes[0].top + 12; y += 0.5)
      inked = inked || dark(x, y);
  EXPECT_TRUE(inked);
}

int PdfPages(const std::string& pdf) {
  const std::string info = RunAndCapture("pdfinfo " + Quote(pdf) + " 2>/dev/null");
  const std::size_t at = info.find("Pages:");
  return at == std::string::npos ? 0 : std::atoi(info.c_str() + at + 6);
}

// The notes of each page, by the number they begin with ("Примечание 9."), in text as pdftotext
// reads a page.
std::set<std::string> NotesIn(const std::string& text) {
  std::set<std::string> found;
  static const std::regex note("Примечание [0-9]+\\.");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), note); it != std::sregex_iterator();
       ++it)
    found.insert(it->str());
  return found;
}

// Pages of paragraphs written in LibreOffice Writer, some with notes of several lines near the
// foot of a page (tests/data/lo-footnotes.py): the same pages, each note on the same page.
TEST(Footnotes, StandOnTheSamePagesAsInLibreOffice) {
  if (!HaveProgram("soffice") || !HaveProgram("pdftotext"))
    GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
  om_test::EnsureGui();
  TempDir dir;
  const std::string python =
      access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : std::string("python3");
  const int written =
      std::system(("timeout -k 10 300 " + Quote(python) + " " +
                   Quote(std::string(VSP_TEST_DATA) + "/lo-footnotes.py") + " soffice " +
                   Quote(dir / "maker") + " " + Quote(dir / "notes.docx") + " >/dev/null 2>&1")
                      .c_str());
  if (WIFEXITED(written) && WEXITSTATUS(written) == 3) GTEST_SKIP() << "no python3-uno";
  ASSERT_EQ(written, 0);
  const std::string theirs = ConvertWithLibreOffice(dir / "notes.docx", "pdf", dir / "lo");
  ASSERT_FALSE(theirs.empty());

  const auto doc = LoadDocumentFile(dir / "notes.docx");
  Layout layout(*doc, FontMeasurer());
  WritePdf(*doc, layout, dir / "ours.pdf");
  const int pages = layout.pageCount();
  EXPECT_EQ(pages, PdfPages(theirs));
  std::size_t notes = 0;
  for (int page = 1; page <= pages; ++page) {
    const std::set<std::string> expected = NotesIn(PdfPageText(theirs, page));
    EXPECT_EQ(NotesIn(PdfPageText(dir / "ours.pdf", page)), expected) << "page " << page;
    notes += expected.size();
  }
  EXPECT_EQ(notes, doc->footnotes->size());
}

}  // namespace
