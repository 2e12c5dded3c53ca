#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdlib>
#include <optional>
#include <regex>

#include "tests/wordproc/render_support.h"
#include "wordproc/Render.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace render_test;

namespace {

class RenderOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApplication();
    if (CommandOutput("command -v pdfinfo >/dev/null && command -v pdftotext").empty())
      GTEST_SKIP() << "poppler-utils are not installed";
    if (const char* old = std::getenv(kFolderVariable)) old_ = old;
    folder_ = dir_.path().toStdString();
    setenv(kFolderVariable, folder_.c_str(), 1);
  }
  void TearDown() override {
    if (folder_.empty()) return;
    old_ ? setenv(kFolderVariable, old_->c_str(), 1) : unsetenv(kFolderVariable);
  }

  static std::string PdfInfo(const std::string& pdf, const char* pattern) {
    std::smatch match;
    std::string info = CommandOutput("pdfinfo '" + pdf + "'");
    return std::regex_search(info, match, std::regex(pattern)) ? match[1].str() : "";
  }

  static constexpr const char* kFolderVariable = "VSP_PRINT_TO_PDF_DIR";
  QTemporaryDir dir_;
  std::string folder_;
  std::optional<std::string> old_;
};

// Three pages of body text, a visible and a hidden text box on page 1.
std::unique_ptr<Document> LabelDocument() {
  auto doc = std::make_unique<Document>();
  doc->paragraphs.clear();
  for (int i = 0; i < 120; ++i) doc->paragraphs.push_back(TextParagraph(*doc, "Строка"));
  for (auto [text, visible] : {std::pair{"ВИДИМЫЙ", true}, std::pair{"СКРЫТЫЙ", false}}) {
    Shape& box = Place(*doc, NewShape(ShapeKind::TextBox, 100, visible ? 100 : 300, 300, 60));
    box.text.push_back(TextParagraph(*doc, text, 14));
    box.visible = visible;
  }
  return doc;
}

TEST_F(RenderOutputTest, PrintingIntoTheTestFolderWritesEveryPageWithoutHiddenShapes) {
  auto doc = LabelDocument();
  Layout layout(*doc, FontMeasurer());
  ASSERT_EQ(layout.pageCount(), 3);
  std::string pdf = PrintPages(*doc, layout, "/data/Этикетка.docx");
  EXPECT_EQ(pdf, folder_ + "/Этикетка-1.pdf");
  EXPECT_EQ(PdfInfo(pdf, "Pages:\\s+(\\d+)"), "3");
  std::string text = CommandOutput("pdftotext -enc UTF-8 '" + pdf + "' -");
  EXPECT_NE(text.find("ВИДИМЫЙ"), std::string::npos) << text;
  EXPECT_NE(text.find("Строка"), std::string::npos);
  EXPECT_EQ(text.find("СКРЫТЫЙ"), std::string::npos);
}

TEST_F(RenderOutputTest, EveryPrintGetsANewSafelyNamedFile) {
  Document doc;
  Layout layout(doc, FontMeasurer());
  auto printed = [&](const std::string& name) {
    return QFileInfo(QString::fromStdString(PrintPages(doc, layout, name))).fileName();
  };
  EXPECT_EQ(printed("Document1"), QStringLiteral("Document1-1.pdf"));
  EXPECT_EQ(printed("Document1"), QStringLiteral("Document1-2.pdf"));
  EXPECT_EQ(printed("a/b:c*?.docx"), QStringLiteral("b_c__-1.pdf"));
  EXPECT_EQ(printed(""), QStringLiteral("document-1.pdf"));
  EXPECT_EQ(printed(".."), QStringLiteral("document-2.pdf"));
}

TEST_F(RenderOutputTest, PdfPagesHaveTheDocumentsSizeAndOrientation) {
  for (auto [w, h] :
       {std::pair{595.3f, 841.9f}, std::pair{841.9f, 595.3f}, std::pair{283.5f, 141.7f}}) {
    Document doc;
    doc.pageSetup.pageWidth = w;
    doc.pageSetup.pageHeight = h;
    Layout layout(doc, FontMeasurer());
    std::string pdf = dir_.filePath("size.pdf").toStdString();
    WritePdf(doc, layout, pdf);
    EXPECT_NEAR(std::stod("0" + PdfInfo(pdf, "Page size:\\s+([\\d.]+) x")), w, 0.5);
    EXPECT_NEAR(std::stod("0" + PdfInfo(pdf, "Page size:\\s+[\\d.]+ x ([\\d.]+)")), h, 0.5);
  }
}

// A blurred shadow goes into a PDF as a picture; copies of a shape on every page share one, so a
// sheet of copies holds it as often however many pages it has (in the first page and in the
// drawing the others show).
TEST_F(RenderOutputTest, CopiesOfAShadowAreWrittenOnce) {
  auto images = [&](int pages) {
    Document doc;
    doc.paragraphs.clear();
    for (int page = 0; page < pages; ++page) {
      doc.paragraphs.push_back(TextParagraph(doc, "Лист"));
      doc.paragraphs.back().pageBreakBefore = page > 0;
      Shape& oval = Place(doc, NewShape(ShapeKind::AutoShape, 100, 40, 120, 80), page);
      oval.autoShapeType = AutoShapeType::Oval;
      oval.relV = RelV::Paragraph;
      oval.shadow.visible = true;
      oval.shadow.distance = 4;
      oval.shadow.blur = 6;
    }
    Layout layout(doc, FontMeasurer());
    EXPECT_EQ(layout.pageCount(), pages);
    const std::string pdf = dir_.filePath("shadows.pdf").toStdString();
    WritePdf(doc, layout, pdf);
    QFile file(QString::fromStdString(pdf));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll().count("/Subtype /Image");
  };
  const auto two = images(2);
  EXPECT_GE(two, 1);
  EXPECT_EQ(images(8), two);
}

// A portrait first section before a landscape last one: each page has its own paper, and the
// first page's text stands at its own margins, not stretched to the last section's paper.
TEST_F(RenderOutputTest, EachSectionPrintsOnItsOwnPaper) {
  Document doc;
  doc.paragraphs.clear();
  doc.paragraphs.push_back(TextParagraph(doc, "Первая"));
  doc.paragraphs.push_back(TextParagraph(doc, "Вторая"));
  doc.paragraphs[0].sectionEnd = Section{{300, 400, 60, 60, 60, 60}, SectionStart::NextPage, {}};
  doc.pageSetup = {400, 300, 40, 40, 40, 40};
  Layout layout(doc, FontMeasurer());
  ASSERT_EQ(layout.pageCount(), 2);
  const std::string pdf = PrintPages(doc, layout, "sections");
  const std::string sizes = CommandOutput("pdfinfo -f 1 -l 2 '" + pdf + "'");
  EXPECT_NE(sizes.find("Page    1 size:  300 x 400"), std::string::npos) << sizes;
  EXPECT_NE(sizes.find("Page    2 size:  400 x 300"), std::string::npos) << sizes;
  const std::string words = CommandOutput("pdftotext -bbox -f 1 -l 1 '" + pdf + "' -");
  std::smatch match;
  ASSERT_TRUE(std::regex_search(words, match,
                                std::regex("xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\"[^>]*>Первая")))
      << words;
  EXPECT_NEAR(std::stod(match[1].str()), 60, 1.5);
  EXPECT_NEAR(std::stod(match[2].str()), 60, 4);
}

TEST_F(RenderOutputTest, PdfThatCannotBeWrittenNamesTheFile) {
  Document doc;
  Layout layout(doc, FontMeasurer());
  const std::string path = "/nonexistent-folder/out.pdf";
  try {
    WritePdf(doc, layout, path);
    FAIL() << "no error";
  } catch (const DocumentError& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
  }
}

}  // namespace
