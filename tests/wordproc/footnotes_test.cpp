// Footnotes: read from their part, which is written back as it came, numbered where the text
// refers to them, and set at the foot of the page their reference stands on as LibreOffice
// sets them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <numeric>
#include <regex>
#include <set>
#include <tuple>

#include "om_support.h"
#include "ooxml_test_support.h"
#include "wordproc/Render.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace ooxml_test;

namespace {

// Notes 2, 3 (of a custom mark) and 4 after the separators, referred to in that order.
const std::string kFootnotesXml = [] {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:footnotes xmlns:w=\"http://schemas."
      "openxmlformats.org/wordprocessingml/2006/main\"><w:footnote w:type=\"separator\" w:id=\"0\">"
      "<w:p><w:r><w:separator/></w:r></w:p></w:footnote>";
  for (const char* id : {"2", "3", "4"})
    xml += std::string("<w:footnote w:id=\"") + id +
           "\"><w:p><w:r><w:footnoteRef/></w:r><w:r><w:t>Текст</w:t></w:r></w:p></w:footnote>";
  return xml + "</w:footnotes>";
}();

std::string NotesPackage(const std::string& footnotePr) {
  const std::string rels =
      "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/"
      "2006/relationships\"><Relationship Id=\"rIdN\" Type=\"http://schemas.openxmlformats.org/"
      "officeDocument/2006/relationships/footnotes\" Target=\"footnotes.xml\"/></Relationships>";
  const std::string body =
      "<w:p><w:r><w:t>Один</w:t><w:footnoteReference w:id=\"2\"/></w:r></w:p><w:p><w:r>"
      "<w:footnoteReference w:customMarkFollows=\"1\" w:id=\"3\"/><w:t>*</w:t></w:r></w:p><w:p>"
      "<w:r><w:footnoteReference w:id=\"4\"/></w:r></w:p><w:sectPr>" +
      footnotePr + "</w:sectPr>";
  return PackageWithBody(
      body, {{"word/_rels/document.xml.rels", rels}, {"word/footnotes.xml", kFootnotesXml}});
}

// The body's references (id:mark) in order, then each note's own mark.
std::vector<std::string> Marks(const Document& doc) {
  std::vector<std::string> marks;
  for (const Paragraph& p : doc.paragraphs)
    for (const Run& run : p.runs)
      if (run.note) marks.push_back(std::to_string(run.note->id) + ":" + run.note->text);
  for (const auto& [id, note] : *doc.footnotes)
    marks.push_back("note " + note.paragraphs.at(0).runs.at(0).note->text);
  return marks;
}

TEST(Footnotes, AreNumberedWhereTheTextRefersToThemAndTheirPartIsKept) {
  const auto doc = ReadBytes(NotesPackage(""));
  ASSERT_TRUE(doc->footnotes);
  EXPECT_EQ(Marks(*doc),
            (std::vector<std::string>{"2:1", "3:", "4:2", "note 1", "note ", "note 2"}));
  EXPECT_EQ(doc->paragraphs[1].text(), "*");

  const auto bytes = WritePackageToMemory(*doc, false);
  auto zip = package::ZipReader::OpenMemory(bytes.data(), bytes.size(), "out.docx", {});
  EXPECT_EQ(zip->Read("word/footnotes.xml"), kFootnotesXml);
  EXPECT_EQ(Marks(*ReadBytes(std::string(bytes.begin(), bytes.end()))), Marks(*doc));

  const auto roman = ReadBytes(NotesPackage(
      "<w:footnotePr><w:numFmt w:val=\"lowerRoman\"/><w:numStart w:val=\"3\"/></w:footnotePr>"));
  EXPECT_EQ(Marks(*roman)[2], "4:iv");
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
                        std::make_shared<NoteMark>(NoteMark{7, "1", false, false, {}})});
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
  const PageSetup setup;
  const double bottom = setup.pageHeight - setup.bottomMargin;

  auto doc = Lines(120, 5, 3);
  Layout layout(*doc, EstimatedText());
  const int fit = int((bottom - setup.topMargin - kNoteSeparator - 3 * line) / line + 1e-3);
  EXPECT_EQ(int(layout.firstParagraphOfPage(2)), fit);
  const PageNotes notes = layout.notesOnPage(1);
  ASSERT_EQ(notes.notes.size(), 1u);
  EXPECT_NEAR(notes.notes[0].top + 3 * line, bottom, 1e-3);
  EXPECT_NEAR(notes.rule.width, TextColumnWidth(setup) * kNoteRuleShare, 1e-3);
  // An edit above the reference lays the notes out again with the text.
  doc->paragraphs.erase(doc->paragraphs.begin() + 2, doc->paragraphs.begin() + 7);
  layout.invalidateFrom(2);
  EXPECT_TRUE(layout.notesOnPage(1).notes.empty());
  EXPECT_EQ(layout.firstParagraphOfPage(2), std::size_t(perPage));

  // Referred to on the page's last line: the line goes on to the next page with its note.
  const auto late = Lines(120, perPage - 1, 3);
  Layout moved(*late, EstimatedText());
  EXPECT_EQ(moved.pageOfParagraph(std::size_t(perPage - 1)), 2);
  EXPECT_EQ(moved.notesOnPage(2).notes.size(), 1u);
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
  // The rule above the notes of page 1, drawn two pixels a point.
  const RectF rule = layout.notesOnPage(1).rule;
  const QImage image = RenderPage(*doc, layout, 1, 1191);
  EXPECT_LT(qGray(image.pixel(int(rule.x + rule.width / 2) * 2, int(rule.y * 2))), 128);
  EXPECT_GT(qGray(image.pixel(int(rule.x + rule.width + 10) * 2, int(rule.y * 2))), 128);
}

// Paragraphs of several lines; the one at refers to note 2, of lines paragraphs of two lines
// or so ("Сноска строка N: ..."), the one after it to the short note 3.
std::string LongNotePackage(int at, int lines) {
  std::string notes = kFootnotesXml.substr(0, kFootnotesXml.find("<w:footnote w:id="));
  notes += "<w:footnote w:id=\"2\">";
  for (int k = 0; k < lines; ++k) {
    notes += "<w:p>" + std::string(k == 0 ? "<w:r><w:footnoteRef/></w:r>" : "") +
             "<w:r><w:t xml:space=\"preserve\"> Сноска строка " + std::to_string(k) + ":";
    for (int w = 0; w < 8; ++w) notes += " примечание длинное";
    notes += "</w:t></w:r></w:p>";
  }
  notes +=
      "</w:footnote><w:footnote w:id=\"3\"><w:p><w:r><w:footnoteRef/></w:r><w:r><w:t>"
      "Вторая сноска.</w:t></w:r></w:p></w:footnote></w:footnotes>";
  std::string body;
  for (int k = 0; k < 40; ++k) {
    body += "<w:p><w:r><w:t>Абзац " + std::to_string(k) + ".";
    for (int w = 0; w < 8; ++w) body += " текст этикетки наклеивается ровно";
    body += "</w:t></w:r>";
    if (k == at || k == at + 1)
      body += "<w:r><w:footnoteReference w:id=\"" + std::to_string(k == at ? 2 : 3) + "\"/></w:r>";
    body += "</w:p>";
  }
  const std::string rels =
      "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/"
      "2006/relationships\"><Relationship Id=\"rIdN\" Type=\"http://schemas.openxmlformats.org/"
      "officeDocument/2006/relationships/footnotes\" Target=\"footnotes.xml\"/></Relationships>";
  return PackageWithBody(body + kA4Section,
                         {{"word/_rels/document.xml.rels", rels}, {"word/footnotes.xml", notes}});
}

// The numbers of the note's lines ("Сноска строка N") in a page's text.
std::vector<int> NoteLinesIn(const std::string& text) {
  std::vector<int> found;
  static const std::regex line("Сноска строка ([0-9]+)");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), line); it != std::sregex_iterator();
       ++it)
    found.push_back(std::stoi((*it)[1].str()));
  return found;
}

TEST(Footnotes, LongerThanTheRoomLeftGoOnAtTheFootOfTheNextPage) {
  if (!HaveProgram("pdftotext")) GTEST_SKIP() << "poppler-utils is not installed";
  om_test::EnsureGui();
  const auto doc = ReadBytes(LongNotePackage(14, 12));
  Layout layout(*doc, FontMeasurer());
  const int page = layout.lastPageOfParagraph(14);
  TempDir dir;
  WritePdf(*doc, layout, dir / "ours.pdf");
  // Every line of the note once, its beginning with the reference, the rest on the next page.
  const std::vector<int> here = NoteLinesIn(PdfPageText(dir / "ours.pdf", page));
  const std::vector<int> next = NoteLinesIn(PdfPageText(dir / "ours.pdf", page + 1));
  ASSERT_FALSE(here.empty());
  ASSERT_FALSE(next.empty());
  EXPECT_EQ(here.front(), 0);
  std::vector<int> all = here;
  all.insert(all.end(), next.begin(), next.end());
  std::vector<int> expected(12);
  std::iota(expected.begin(), expected.end(), 0);
  EXPECT_EQ(all, expected);
  for (int other = 1; other <= layout.pageCount(); ++other) {
    if (other == page || other == page + 1) continue;
    EXPECT_TRUE(NoteLinesIn(PdfPageText(dir / "ours.pdf", other)).empty()) << other;
  }

  // The text after the reference goes on on the next page, whose own note follows the rest of
  // the long one under a rule across the text.
  EXPECT_EQ(layout.pageOfParagraph(15), page + 1);
  const PageNotes first = layout.notesOnPage(page), second = layout.notesOnPage(page + 1);
  ASSERT_EQ(first.notes.size(), 1u);
  ASSERT_EQ(second.notes.size(), 2u);
  EXPECT_EQ(second.notes[0].offset, first.notes[0].height);
  EXPECT_EQ(second.notes[1].id, 3);
  EXPECT_NEAR(second.notes[1].top, second.notes[0].top + second.notes[0].height, 1e-3);
  const float width = TextColumnWidth(layout.pageSetupOfPage(page));
  EXPECT_NEAR(first.rule.width, width * kNoteRuleShare, 1e-3);
  EXPECT_NEAR(second.rule.width, width, 1e-3);
}

// The note's parts on the pages, page by page: (page, offset, height).
std::vector<std::tuple<int, float, float>> NoteParts(Layout& layout) {
  std::vector<std::tuple<int, float, float>> parts;
  for (int page = 1; page <= layout.pageCount(); ++page)
    for (const PageNote& note : layout.notesOnPage(page).notes)
      parts.emplace_back(page, note.offset, note.height);
  return parts;
}

TEST(Footnotes, TallerThanAPageGoOnOverPagesAndLoseNothing) {
  const double line = EstimatedText().singleLineHeight(RunFormat{});
  const PageSetup setup;
  // Referred to early in the text, and by its last paragraph: then on pages of their own.
  for (const int at : {5, 59}) {
    auto doc = Lines(60, at, 200);
    Layout layout(*doc, EstimatedText());
    const auto parts = NoteParts(layout);
    ASSERT_GE(parts.size(), 4u) << at;
    EXPECT_EQ(std::get<0>(parts.front()), layout.pageOfParagraph(std::size_t(at))) << at;
    double shown = 0;
    int page = std::get<0>(parts.front()) - 1;
    for (const auto& [onPage, offset, height] : parts) {
      EXPECT_EQ(onPage, ++page) << at;
      EXPECT_NEAR(offset, shown, 1e-2) << at;
      EXPECT_GT(height, 0) << at;
      shown += height;
      const PageNotes notes = layout.notesOnPage(onPage);
      EXPECT_GE(notes.rule.y, layout.textTopOfPage(onPage)) << at << " page " << onPage;
      EXPECT_LE(notes.notes.back().top + notes.notes.back().height,
                setup.pageHeight - setup.bottomMargin + 1e-3);
    }
    EXPECT_NEAR(shown, 200 * line, 1e-2) << at;
    // Laid out again after an edit, from the reference on or after it: the same pages.
    for (const std::size_t from : {std::size_t(at), std::size_t(at + 1), std::size_t(0)}) {
      layout.invalidateFrom(from);
      EXPECT_EQ(NoteParts(layout), parts) << at << " from " << from;
    }
  }
  // Kept with the next paragraph, which the note leaves no room for, the reference goes on to
  // the next page and its note begins again there.
  auto doc = Lines(60, 5, 200);
  doc->paragraphs[5].keepNext = true;
  Layout kept(*doc, EstimatedText());
  const auto parts = NoteParts(kept);
  ASSERT_FALSE(parts.empty());
  EXPECT_EQ(kept.pageOfParagraph(5), 2);
  EXPECT_EQ(parts.front(), std::make_tuple(2, 0.0f, std::get<2>(parts.front())));
  double shown = 0;
  for (const auto& part : parts) shown += std::get<2>(part);
  EXPECT_NEAR(shown, 200 * line, 1e-2);
}

}  // namespace
