// Word-written documents of other projects (tests/data/word-corpus): read here, paginated here
// and by LibreOffice. Where we still lay a document out differently, the reason is listed; a
// document that comes to agree must leave the list. Skipped where LibreOffice is missing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "om_support.h"
#include "ooxml_test_support.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace ooxml_test;

namespace {

namespace fs = std::filesystem;

// What is not built yet, or where LibreOffice sets a document otherwise than the word processor
// it imitates, by document.
const std::map<std::string, std::string> kKnownDifferences = {
    // Set here, page 4 ends 1 point too low for the last of the empty paragraphs after the
    // last table (Perpetua 12, not installed, measured in its stand-in), which makes a page 5.
    // LibreOffice sets the lines of spaces and tabs (Times New Roman 11 and 12 here) at the
    // height of the paragraph style's font, whose stand-in is smaller: its pages come out 2 to
    // 3 points shorter and the empty paragraphs all fit. The word processor, whose page count
    // the file keeps (4), measures a line by all of its runs, spaces included; the point is
    // in the metrics of the missing fonts.
    {"IllustrativeCases.docx", "lines of spaces only"},
    // The word processor's own page breaks (kept in the file) put the "H" row and the
    // "INSTRUCTIONS" box at the heads of pages 2 and 3. Here the "H" row ends at 711.7 points,
    // above the footnote (from 719.6); LibreOffice moves it on only because it puts an empty
    // paragraph before the first table (whose first cell refers to the footnote): 12 points,
    // and its rows are 4 points taller by then. Neither explains the third page: with the "H"
    // row on page 2 the box would still end there at 731 of 737 points.
    {"form_footnotes.docx", "tables"},
    // LibreOffice begins a page of their own for endnotes; the word processor sets them after
    // the last paragraph, as here: these files' own page count (docProps/app.xml) is 1.
    {"endnotes.docx", "endnotes"},
    {"Bug54849.docx", "endnotes"},
};

std::vector<fs::path> CorpusFiles() {
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(VSP_TEST_DATA "/word-corpus")) {
    if (entry.path().extension() == ".docx") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

int PdfPages(const std::string& pdf) {
  const std::string info = RunAndCapture("pdfinfo " + Quote(pdf) + " 2>/dev/null");
  const std::size_t at = info.find("Pages:");
  return at == std::string::npos ? 0 : std::atoi(info.c_str() + at + 6);
}

TEST(WordCorpus, EveryDocumentIsReadAndPaginatedAsLibreOfficeDoes) {
  if (!HaveProgram("soffice") || !HaveProgram("pdfinfo"))
    GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
  om_test::EnsureGui();
  TempDir dir;
  const auto files = CorpusFiles();
  ASSERT_GT(files.size(), 100u);
  std::string command = "cd " + Quote(dir.path()) +
                        " && timeout -k 10 900 soffice -env:UserInstallation=file://" + dir.path() +
                        "/profile --headless --convert-to pdf";
  for (const auto& file : files) command += " " + Quote(file.string());
  EXPECT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0);

  int agree = 0;
  for (const auto& file : files) {
    const std::string name = file.filename().string();
    SCOPED_TRACE(name);
    std::unique_ptr<Document> doc;
    try {
      doc = LoadDocumentFile(file.string());
    } catch (const DocumentError& e) {
      ADD_FAILURE() << e.what();
      continue;
    }
    Layout layout(*doc, FontMeasurer());
    const int theirs = PdfPages(dir / (file.stem().string() + ".pdf"));
    ASSERT_GT(theirs, 0) << "LibreOffice did not convert the file";
    const bool known = kKnownDifferences.count(name) != 0;
    agree += layout.pageCount() == theirs;
    if (known) {
      EXPECT_NE(layout.pageCount(), theirs) << "agrees now: take it off the list";
    } else {
      EXPECT_EQ(layout.pageCount(), theirs);
    }
  }
  std::printf("%d of %zu documents have LibreOffice's page count\n", agree, files.size());
}

}  // namespace
