// Documents and PDF files are replaced whole or not at all.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>

#include "tests/wordproc/bounded_support.h"
#include "tests/wordproc/ooxml_test_support.h"
#include "tests/wordproc/render_support.h"
#include "wordproc/Render.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using ooxml_test::ReadFile;

namespace {

std::size_t EntriesIn(const std::string& folder) {
  const std::filesystem::directory_iterator entries(folder);
  return std::size_t(std::distance(begin(entries), end(entries)));
}

// A page for each paragraph of random letters, which compress to little less than they are.
std::unique_ptr<Document> Pages(int pages, int letters) {
  auto doc = std::make_unique<Document>();
  doc->paragraphs.clear();
  std::mt19937 random(7);
  for (int i = 0; i < pages; ++i) {
    std::string text;
    for (int k = 0; k < letters; ++k) text += k % 7 ? char('a' + random() % 26) : ' ';
    doc->paragraphs.push_back(render_test::TextParagraph(*doc, text));
    doc->paragraphs.back().spaceAfter = 800;
  }
  return doc;
}

std::string PdfError(const Document& doc, const std::string& path) {
  Layout layout(doc, FontMeasurer());
  try {
    WritePdf(doc, layout, path);
  } catch (const DocumentError& error) {
    return error.what();
  }
  return {};
}

TEST(AtomicSave, PdfReplacesItsTargetWholeAndRefusesFoldersAndReadOnlyFiles) {
  render_test::EnsureApplication();
  ooxml_test::TempDir dir;
  const std::string pdf = dir / "sheet.pdf";
  EXPECT_EQ("", PdfError(*Pages(1, 10), pdf));
  EXPECT_EQ("", PdfError(*Pages(3, 10), pdf));
  const std::string written = ReadFile(pdf);
  EXPECT_NE(std::string::npos, written.find("%%EOF", written.size() - 8));
  EXPECT_EQ(1u, EntriesIn(dir.path())) << "nothing is left beside it";
  ::chmod(pdf.c_str(), 0444);
  EXPECT_NE(PdfError(*Pages(1, 10), pdf).find("«" + pdf + "»: файл доступен только для чтения"),
            std::string::npos);
  EXPECT_TRUE(written == ReadFile(pdf)) << "the read-only PDF was replaced";
  EXPECT_NE(PdfError(*Pages(1, 10), dir.path()).find("по этому пути находится папка"),
            std::string::npos);
}

// The child mounts a disk of 48 KB and saves a PDF and a document each larger than that.
TEST(AtomicSave, AFullDiskIsReportedAsSuchAndLeavesThePreviousFiles) {
  ooxml_test::TempDir dir;
  const std::string disk = dir / "disk";
  ::mkdir(disk.c_str(), 0700);
  if (!bounded_test::SmallDiskPossible(disk)) GTEST_SKIP() << "no small file system can be mounted";
  bounded_test::UseFreshChildren();
  auto fill = [&] {
    if (!test_support::MountSmallDisk(disk, 49152)) return std::string("no disk");
    render_test::EnsureApplication();
    const std::string pdf = disk + "/sheet.pdf", docx = disk + "/sheet.docx";
    std::string outcome = PdfError(*Pages(1, 10), pdf);
    WritePackage(*Pages(1, 10), docx);
    const std::string pdfBefore = ReadFile(pdf), docxBefore = ReadFile(docx);
    outcome += PdfError(*Pages(150, 500), pdf) + " | ";
    try {
      WritePackage(*Pages(150, 500), docx);
    } catch (const DocumentError& error) {
      outcome += error.what();
    }
    return outcome + " | kept " + std::to_string(ReadFile(pdf) == pdfBefore) +
           std::to_string(ReadFile(docx) == docxBefore) + " files " +
           std::to_string(EntriesIn(disk));
  };
  EXPECT_EXIT(bounded_test::RunBounded(512, 60, fill), testing::ExitedWithCode(0),
              "Не удалось записать PDF-файл «[^»]*sheet.pdf»: на диске недостаточно места \\| "
              "Не удалось сохранить документ \"[^\"]*sheet.docx\": на диске недостаточно места \\| "
              "kept 11 files 2");
}

}  // namespace
