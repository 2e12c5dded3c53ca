// Documents and PDF files are replaced whole or not at all.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>

#include "tests/wordproc/bounded_support.h"
#include "tests/wordproc/ooxml_test_support.h"
#include "tests/wordproc/render_support.h"
#include "wordproc/Layout.h"
#include "wordproc/Ooxml.h"
#include "wordproc/Render.h"

using namespace wordproc;
using namespace bounded_test;
using ooxml_test::ReadFile;
using ooxml_test::TempDir;

namespace {

std::size_t EntriesIn(const std::string& folder) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++n;
  return n;
}

std::unique_ptr<Document> PagesOfText(int pages) {
  auto doc = std::make_unique<Document>();
  doc->paragraphs.clear();
  for (int i = 0; i < pages; ++i) {
    Paragraph paragraph = render_test::TextParagraph(*doc, "Страница " + std::to_string(i));
    paragraph.spaceAfter = 800;  // a page each
    doc->paragraphs.push_back(paragraph);
  }
  return doc;
}

std::string WritePdfError(const Document& doc, const std::string& path) {
  Layout layout(doc);
  try {
    WritePdf(doc, layout, path);
  } catch (const DocumentError& error) {
    return error.what();
  }
  return {};
}

TEST(AtomicSave, PdfReplacesItsTargetWholeAndRefusesFoldersAndReadOnlyFiles) {
  render_test::EnsureApplication();
  TempDir dir;
  const std::string pdf = dir / "sheet.pdf";
  EXPECT_EQ("", WritePdfError(*PagesOfText(1), pdf));
  EXPECT_EQ("", WritePdfError(*PagesOfText(3), pdf));
  const std::string written = ReadFile(pdf);
  EXPECT_EQ(0u, written.rfind("%PDF", 0));
  EXPECT_NE(std::string::npos, written.find("%%EOF", written.size() - 8));
  EXPECT_EQ(1u, EntriesIn(dir.path())) << "nothing is left beside it";

  ::chmod(pdf.c_str(), 0444);
  EXPECT_NE(
      WritePdfError(*PagesOfText(1), pdf).find("«" + pdf + "»: файл доступен только для чтения"),
      std::string::npos);
  EXPECT_TRUE(written == ReadFile(pdf)) << "the read-only PDF was replaced";
  EXPECT_NE(WritePdfError(*PagesOfText(1), dir.path()).find("по этому пути находится папка"),
            std::string::npos);
}

// The child mounts a disk of 48 KB and fills it with a PDF and a document each larger than that.
TEST(AtomicSave, AFullDiskIsReportedAsSuchAndLeavesThePreviousFiles) {
  TempDir dir;
  const std::string disk = dir / "disk";
  ::mkdir(disk.c_str(), 0700);
  if (!SmallDiskPossible(disk)) GTEST_SKIP() << "no size-limited file system can be mounted here";
  UseFreshChildren();
  auto fill = [&] {
    if (!MountSmallDisk(disk.c_str(), "size=49152")) return std::string("no small disk");
    render_test::EnsureApplication();
    const std::string pdf = disk + "/sheet.pdf", docx = disk + "/sheet.docx";
    const std::string made = WritePdfError(*PagesOfText(1), pdf);
    WritePackage(*PagesOfText(1), docx);
    const std::string pdfBefore = ReadFile(pdf), docxBefore = ReadFile(docx);
    // Letters at random compress to little less than they are.
    auto big = PagesOfText(150);
    std::mt19937 random(7);
    for (Paragraph& p : big->paragraphs)
      for (int i = 0; i < 500; ++i) p.runs[0].text += i % 7 ? char('a' + random() % 26) : ' ';
    const std::string pdfError = WritePdfError(*big, pdf);
    std::string docxError;
    try {
      WritePackage(*big, docx);
    } catch (const DocumentError& error) {
      docxError = error.what();
    }
    return made + pdfError + " | " + docxError + " | kept " +
           std::to_string(ReadFile(pdf) == pdfBefore) +
           std::to_string(ReadFile(docx) == docxBefore) + " files " +
           std::to_string(EntriesIn(disk));
  };
  EXPECT_EXIT(RunBounded(512, 60, fill), testing::ExitedWithCode(0),
              "PDF-файл «[^»]*sheet.pdf»: на диске недостаточно места \\| "
              "Не удалось сохранить документ \"[^\"]*sheet.docx\": на диске недостаточно места \\| "
              "kept 11 files 2");
}

}  // namespace
