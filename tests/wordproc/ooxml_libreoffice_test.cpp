// LibreOffice as an independent reader and writer of our files. Skipped where it is missing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "om_support.h"
#include "ooxml_test_support.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace ooxml_test;

namespace {

#define REQUIRE_LIBREOFFICE() \
  if (!HaveProgram("soffice")) GTEST_SKIP() << "LibreOffice is not installed"

std::unique_ptr<Shape> Box(ShapeKind kind, const std::string& name, float left, float top,
                           float width, float height, const std::string& text = {}) {
  auto shape = std::make_unique<Shape>();
  shape->kind = kind;
  shape->name = name;
  shape->left = left;
  shape->top = top;
  shape->width = width;
  shape->height = height;
  if (!text.empty()) {
    Paragraph p;
    p.runs.push_back({text, RunFormat{}});
    shape->text.push_back(p);
  }
  return shape;
}

// A5 with two pages of body text, visible and hidden text boxes, a hidden group holding text,
// a picture, a line and an oval relative to the margin.
std::unique_ptr<Document> Sample() {
  auto doc = std::make_unique<Document>();
  doc->pageSetup = {419.55f, 595.3f, 42.5f, 42.5f, 56.7f, 28.35f};
  doc->paragraphs[0].runs.push_back({"Body text\fSecond page", RunFormat{}});
  const std::uint64_t anchor = doc->paragraphs[0].id;
  auto add = [&](std::unique_ptr<Shape> shape) -> Shape& {
    shape->id = doc->newShapeId();
    for (auto& child : shape->children) child->id = doc->newShapeId();
    Shape& added = *shape;
    doc->shapes.push_back({std::move(shape), anchor});
    return added;
  };
  add(Box(ShapeKind::TextBox, "Label Text 1", 100.5f, 120.25f, 200, 50, "Hello label"));
  add(Box(ShapeKind::TextBox, "Secret Box", 100, 200, 200, 50, "SECRETTEXT")).visible = false;
  auto group = Box(ShapeKind::Group, "Group 3", 50, 300, 200, 100);
  group->visible = false;
  group->children.push_back(Box(ShapeKind::TextBox, "GroupChild A", 0, 0, 120, 40, "GROUPSECRET"));
  group->children.push_back(Box(ShapeKind::AutoShape, "GroupChild B", 120, 40, 80, 60));
  add(std::move(group));
  Shape& picture = add(Box(ShapeKind::Picture, "Picture 4", 250, 20, 60, 45));
  picture.image = MakeImage();
  picture.line.visible = false;
  Shape& line = add(Box(ShapeKind::Line, "Line 5", 20, 450, 150, 40));
  line.flipV = true;
  line.line = ooxml_test::PlainLine(true, 2, DashStyle::DashDot, 0xFF0000);
  Shape& oval = add(Box(ShapeKind::AutoShape, "Oval 6", 10, 15, 40, 30));
  oval.autoShapeType = AutoShapeType::Oval;
  oval.relH = RelH::Margin;
  oval.relV = RelV::Margin;
  oval.fill.color = 0x00AA00;
  return doc;
}

TEST(OoxmlLibreOffice, OurFilesOpenWithTheirPagesTextAndHiddenShapes) {
  REQUIRE_LIBREOFFICE();
  TempDir dir;
  const auto doc = Sample();
  for (const std::string name : {"sample.docx", "sample-template.dotx", "sample-named.doc"}) {
    SCOPED_TRACE(name);
    WritePackage(*doc, dir / name);
    const std::string pdf = ConvertWithLibreOffice(dir / name, "pdf", dir.path());
    ASSERT_FALSE(pdf.empty()) << "LibreOffice did not convert the file";
    const std::string info = RunAndCapture("pdfinfo " + Quote(pdf));
    EXPECT_NE(info.find("Pages:           2"), std::string::npos) << info;
    EXPECT_NE(info.find("Page size:       419.5"), std::string::npos) << info;
    const std::string text = RunAndCapture("pdftotext " + Quote(pdf) + " -");
    EXPECT_NE(text.find("Body text"), std::string::npos) << text;
    EXPECT_NE(text.find("Second page"), std::string::npos) << text;
    EXPECT_NE(text.find("Hello label"), std::string::npos) << text;
    EXPECT_EQ(text.find("SECRETTEXT"), std::string::npos) << text;
    EXPECT_EQ(text.find("GROUPSECRET"), std::string::npos) << text;
  }
}

// Lines set as LibreOffice sets them: single spacing from the font file, the line rules of
// paragraphs, styles and document defaults, spacing between paragraphs overlapping. Each page
// begins with the same paragraph here and there.
TEST(OoxmlLibreOffice, PagesBreakWhereLibreOfficeBreaksThem) {
  REQUIRE_LIBREOFFICE();
  om_test::EnsureGui();
  TempDir dir;
  std::string body;
  const char* styles[] = {"", "<w:pPr><w:pStyle w:val=\"Tight\"/></w:pPr>",
                          "<w:pPr><w:spacing w:line=\"400\" w:lineRule=\"atLeast\"/></w:pPr>",
                          "<w:pPr><w:spacing w:before=\"90\" w:line=\"300\" "
                          "w:lineRule=\"auto\"/></w:pPr>"};
  for (int i = 0; i < 160; ++i) {
    body += std::string("<w:p>") + styles[i % 4] + "<w:r><w:t>Строка" + std::to_string(i) +
            "</w:t></w:r></w:p>";
  }
  body += kA4Section;
  const std::string file = dir / "spaced.docx";
  {
    const std::string bytes = PackageWithBody(body, SpacingParts());
    std::ofstream(file, std::ios::binary) << bytes;
  }
  for (const std::string& name : {file, std::string(dir / "ours.docx")}) {
    SCOPED_TRACE(name);
    const auto doc = LoadDocumentFile(file);
    if (name != file) WritePackage(*doc, name);  // and as we write it back
    Layout layout(*doc, FontMeasurer());
    const std::string pdf = ConvertWithLibreOffice(name, "pdf", dir / "pdf");
    ASSERT_FALSE(pdf.empty());
    const std::string info = RunAndCapture("pdfinfo " + Quote(pdf));
    ASSERT_NE(info.find("Pages:           " + std::to_string(layout.pageCount())),
              std::string::npos)
        << info << " here: " << layout.pageCount();
    for (int page = 2; page <= layout.pageCount(); ++page) {
      const std::string first = doc->paragraphs[layout.firstParagraphOfPage(page)].text();
      const std::string text = PdfPageText(pdf, page);
      EXPECT_EQ(text.rfind(first + "\n", 0), 0u)
          << "page " << page << " here begins with " << first << ", there: " << text.substr(0, 40);
    }
  }
}

// The text our page begins with: the paragraph's, or the part of it a page break carried over.
std::string FirstTextOfPage(const Document& doc, Layout& layout, int page) {
  const std::size_t index = layout.firstParagraphOfPage(page);
  const Paragraph& paragraph = doc.paragraphs[index];
  const auto parts = PageBreakParts(paragraph);
  if (parts.empty()) return paragraph.text();
  return parts[std::size_t(page - layout.pageOfParagraph(index))].text();
}

// Page breaks in the middle and at the end of a paragraph, a paragraph holding only a break,
// "page break before", and the hint of where a page last ended, which means nothing.
TEST(OoxmlLibreOffice, BreaksStartPagesWhereLibreOfficeStartsThem) {
  REQUIRE_LIBREOFFICE();
  om_test::EnsureGui();
  TempDir dir;
  std::string body;
  auto paragraph = [&](const std::string& inner, const std::string& pPr = {}) {
    body += "<w:p>" + (pPr.empty() ? "" : "<w:pPr>" + pPr + "</w:pPr>") + inner + "</w:p>";
  };
  auto text = [](const std::string& t) { return "<w:r><w:t>" + t + "</w:t></w:r>"; };
  const std::string pageBreak = "<w:r><w:br w:type=\"page\"/></w:r>";
  paragraph(text("Первая"));
  paragraph(text("Середина") + pageBreak + text("Вторая"));
  paragraph(text("Конец") + pageBreak);
  paragraph(text("Третья"));
  paragraph(pageBreak);
  paragraph(text("Четвёртая"));
  paragraph(text("Пятая"), "<w:pageBreakBefore/>");
  paragraph("<w:r><w:lastRenderedPageBreak/><w:t>Подсказка</w:t></w:r>");
  for (int i = 0; i < 60; ++i) paragraph(text("Строка" + std::to_string(i)));
  body += kA4Section;
  const std::string file = dir / "breaks.docx";
  std::ofstream(file, std::ios::binary) << PackageWithBody(body, SpacingParts());
  const auto doc = LoadDocumentFile(file);
  WritePackage(*doc, dir / "ours.docx");
  for (const std::string& name : {file, std::string(dir / "ours.docx")}) {
    SCOPED_TRACE(name);
    Layout layout(*doc, FontMeasurer());
    EXPECT_EQ(layout.pageCount(), 7);
    const std::string pdf = ConvertWithLibreOffice(name, "pdf", dir / "pdf");
    ASSERT_FALSE(pdf.empty());
    const std::string info = RunAndCapture("pdfinfo " + Quote(pdf));
    EXPECT_NE(info.find("Pages:           " + std::to_string(layout.pageCount())),
              std::string::npos)
        << info << " here: " << layout.pageCount();
    for (int page = 2; page <= layout.pageCount(); ++page) {
      const std::string first = FirstTextOfPage(*doc, layout, page);
      const std::string there = PdfPageText(pdf, page);
      EXPECT_EQ(there.rfind(first, 0), 0u)
          << "page " << page << " here begins with " << first << ", there: " << there.substr(0, 40);
    }
  }
}

// Lines of the long paragraph on page 1 of LibreOffice's PDF.
int LinesOnFirstPage(const std::string& pdf) {
  const std::string words = RunAndCapture("pdftotext -f 1 -l 1 -bbox " + Quote(pdf) + " -");
  std::set<std::string> tops;
  for (std::size_t at = 0; (at = words.find("<word ", at)) != std::string::npos; ++at) {
    const std::size_t end = words.find("</word>", at);
    const std::string word = words.substr(at, end - at);
    if (word.find(">w") == std::string::npos && word.find(">START") == std::string::npos) continue;
    const std::size_t y = word.find("yMin=\"");
    tops.insert(word.substr(y + 6, word.find('"', y + 6) - y - 6));
  }
  return int(tops.size());
}

// A long paragraph at the foot of a page, under a heading kept with it: divided at the same line
// as LibreOffice divides it, with and without widow control, and moved whole with its heading
// where one line would be left.
TEST(OoxmlLibreOffice, ParagraphsDivideBetweenPagesAtTheSameLine) {
  REQUIRE_LIBREOFFICE();
  om_test::EnsureGui();
  TempDir dir;
  std::string words;
  for (int i = 0; i < 130; ++i) words += " w" + std::to_string(i);
  const std::pair<int, const char*> cases[] = {
      {44, ""}, {44, "<w:widowControl w:val=\"0\"/>"}, {47, ""}, {49, ""}, {20, ""}};
  for (const auto& [fill, pPr] : cases) {
    SCOPED_TRACE(std::to_string(fill) + pPr);
    std::string body;
    for (int i = 0; i < fill; ++i)
      body += "<w:p><w:pPr><w:pStyle w:val=\"Tight\"/></w:pPr><w:r><w:t>L</w:t></w:r></w:p>";
    body += "<w:p><w:pPr><w:pStyle w:val=\"Tight\"/><w:keepNext/></w:pPr><w:r><w:t>HEAD" +
            std::string("</w:t></w:r></w:p>");
    body += std::string("<w:p><w:pPr><w:pStyle w:val=\"Tight\"/>") + pPr +
            "</w:pPr><w:r><w:t xml:space=\"preserve\">START" + words + "</w:t></w:r></w:p>";
    body += kA4Section;
    const std::string file = dir / ("lines" + std::to_string(fill) + ".docx");
    std::ofstream(file, std::ios::binary) << PackageWithBody(body, SpacingParts());
    const auto doc = LoadDocumentFile(file);
    Layout layout(*doc, FontMeasurer());
    const std::size_t last = doc->paragraphs.size() - 1;
    const auto pieces = layout.piecesOf(last);
    const int here = !pieces.empty() ? pieces[0].lines
                     : layout.pageOfParagraph(last) == 1
                         ? CountLines(doc->paragraphs[last], layout.paragraphWidth(last))
                         : 0;
    const std::string pdf = ConvertWithLibreOffice(file, "pdf", dir / "pdf");
    ASSERT_FALSE(pdf.empty());
    EXPECT_EQ(here, LinesOnFirstPage(pdf));
    // The heading kept with it goes where its first lines go.
    const bool headingThere = PdfPageText(pdf, 1).find("HEAD") != std::string::npos;
    EXPECT_EQ(layout.pageOfParagraph(last - 1) == 1, headingThere);
  }
}

// Sections in both orientations: the same pages, of the same sizes, in LibreOffice.
TEST(OoxmlLibreOffice, SectionsHaveTheirPagesThereToo) {
  REQUIRE_LIBREOFFICE();
  om_test::EnsureGui();
  TempDir dir;
  Document doc;
  doc.paragraphs.clear();
  for (int i = 0; i < 9; ++i) {
    Paragraph p;
    p.id = doc.newParagraphId();
    p.runs.push_back({"Раздел " + std::to_string(i), RunFormat{}});
    doc.paragraphs.push_back(p);
  }
  PageSetup landscape;
  std::swap(landscape.pageWidth, landscape.pageHeight);
  doc.paragraphs[2].sectionEnd = Section{PageSetup{}, SectionStart::NextPage, {}};
  doc.paragraphs[5].sectionEnd = Section{landscape, SectionStart::NextPage, {}};
  doc.pageSetup = PageSetup{};
  doc.lastSectionStart = SectionStart::NextPage;
  WritePackage(doc, dir / "sections.docx");
  Layout layout(doc, FontMeasurer());
  ASSERT_EQ(layout.pageCount(), 3);
  const std::string pdf = ConvertWithLibreOffice(dir / "sections.docx", "pdf", dir / "pdf");
  ASSERT_FALSE(pdf.empty());
  const std::string info = RunAndCapture("pdfinfo -f 1 -l 9 " + Quote(pdf));
  EXPECT_NE(info.find("Pages:           3"), std::string::npos) << info;
  for (int page = 1; page <= 3; ++page) {
    const std::string label = "Page    " + std::to_string(page) + " size:";
    const std::size_t at = info.find(label);
    ASSERT_NE(at, std::string::npos) << info;
    const double width = std::atof(info.c_str() + at + label.size());
    EXPECT_NEAR(width, layout.pageSetupOfPage(page).pageWidth, 0.5) << "page " << page;
  }
}

TEST(OoxmlLibreOffice, FilesWrittenByLibreOfficeAreRead) {
  REQUIRE_LIBREOFFICE();
  TempDir dir;
  const auto doc = Sample();
  WritePackage(*doc, dir / "ours.docx");
  const std::string outDir = dir / "lo";
  std::filesystem::create_directories(outDir);
  const std::string theirs = ConvertWithLibreOffice(dir / "ours.docx", "docx", outDir);
  ASSERT_FALSE(theirs.empty());
  const auto back = ReadPackage(theirs);

  const PageSetup& page = back->pageSetup;
  EXPECT_NEAR(doc->pageSetup.pageWidth, page.pageWidth, 0.5);
  EXPECT_NEAR(doc->pageSetup.pageHeight, page.pageHeight, 0.5);
  EXPECT_NEAR(doc->pageSetup.topMargin, page.topMargin, 0.5);
  EXPECT_NEAR(doc->pageSetup.leftMargin, page.leftMargin, 0.5);
  EXPECT_NEAR(doc->pageSetup.rightMargin, page.rightMargin, 0.5);
  EXPECT_NEAR(doc->pageSetup.bottomMargin, page.bottomMargin, 0.5);

  ASSERT_EQ(doc->shapes.size(), back->shapes.size());
  for (const AnchoredShape& expected : doc->shapes) {
    const Shape& want = *expected.shape;
    SCOPED_TRACE(want.name);
    const Shape* got = nullptr;
    for (const AnchoredShape& candidate : back->shapes) {
      if (candidate.shape->name == want.name) got = candidate.shape.get();
    }
    ASSERT_TRUE(got) << "name lost";
    EXPECT_EQ(want.kind, got->kind);
    EXPECT_EQ(want.visible, got->visible);
    EXPECT_EQ(want.relH, got->relH);
    EXPECT_EQ(want.relV, got->relV);
    EXPECT_NEAR(want.left, got->left, 0.5);
    EXPECT_NEAR(want.top, got->top, 0.5);
    EXPECT_NEAR(want.width, got->width, 0.5);
    EXPECT_NEAR(want.height, got->height, 0.5);
    ASSERT_EQ(want.children.size(), got->children.size());
    for (std::size_t i = 0; i < want.children.size(); ++i) {
      // LibreOffice drops member names from the drawing; they come back from its VML copy.
      EXPECT_EQ(want.children[i]->name, got->children[i]->name);
      EXPECT_NEAR(want.children[i]->left, got->children[i]->left, 0.5);
      EXPECT_NEAR(want.children[i]->top, got->children[i]->top, 0.5);
      EXPECT_NEAR(want.children[i]->width, got->children[i]->width, 0.5);
    }
    if (want.kind == ShapeKind::Line) {
      EXPECT_EQ(want.flipV, got->flipV);
      EXPECT_EQ(DashStyle::DashDot, got->line.dash);
      EXPECT_EQ(0xFF0000u, got->line.color);
      EXPECT_NEAR(2, got->line.weight, 0.05);
    }
    if (want.kind == ShapeKind::TextBox && want.visible) {
      ASSERT_FALSE(got->text.empty());
      EXPECT_EQ("Hello label", got->text[0].text());
    }
    if (want.kind == ShapeKind::Picture) {
      ASSERT_TRUE(got->image);
    }
  }
}

TEST(OoxmlLibreOffice, LegacyFormatsAreImported) {
  REQUIRE_LIBREOFFICE();
  TempDir dir;
  const std::string rtf = dir / "hand made.rtf";
  WriteFile(rtf,
            "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\paperw11906\\paperh16838"
            "\\f0\\fs24 Hello from RTF \\u1055?\\u1088?\\u1080?\\u1074?\\u1077?\\u1090?\\par"
            "\\qc\\b Second\\b0\\par}");
  const auto fromRtf = LoadDocumentFile(rtf);
  ASSERT_GE(fromRtf->paragraphs.size(), 2u);
  EXPECT_EQ("Hello from RTF Привет", fromRtf->paragraphs[0].text());
  EXPECT_EQ("Second", fromRtf->paragraphs[1].text());
  EXPECT_EQ(Alignment::Center, fromRtf->paragraphs[1].alignment);
  EXPECT_NEAR(595.3, fromRtf->pageSetup.pageWidth, 0.5);

  // A binary document and an OpenDocument file, both made by LibreOffice from ours. The binary
  // filter turns text boxes into frames, so a line is what keeps its name on every path.
  WritePackage(*Sample(), dir / "source.docx");
  for (const std::string format : {"doc:MS Word 97", "odt"}) {
    SCOPED_TRACE(format);
    const std::string legacy = ConvertWithLibreOffice(dir / "source.docx", format, dir.path());
    ASSERT_FALSE(legacy.empty());
    const auto imported = LoadDocumentFile(legacy);
    EXPECT_EQ("Body text", imported->paragraphs[0].text().substr(0, 9));
    bool found = false;
    for (const AnchoredShape& anchored : imported->shapes) {
      if (anchored.shape->name == "Line 5") found = anchored.shape->kind == ShapeKind::Line;
    }
    EXPECT_TRUE(found);
  }
}

TEST(OoxmlLibreOffice, WithoutLibreOfficeLegacyFilesAreRefusedClearly) {
  TempDir dir;
  const std::string rtf = dir / "letter.rtf";
  WriteFile(rtf, "{\\rtf1\\ansi Hello\\par}");
  const char* oldPath = std::getenv("PATH");
  const std::string saved = oldPath ? oldPath : "";
  ::setenv("PATH", dir.path().c_str(), 1);
  std::string message;
  try {
    LoadDocumentFile(rtf);
  } catch (const DocumentError& error) {
    message = error.what();
  }
  ::setenv("PATH", saved.c_str(), 1);
  EXPECT_NE(message.find("Не удалось открыть документ \"" + rtf + "\""), std::string::npos)
      << message;
  EXPECT_NE(message.find("LibreOffice"), std::string::npos) << message;
}

}  // namespace
