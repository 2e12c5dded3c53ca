// Cloned sheets are printed and opened elsewhere: LibreOffice must find as many pages as we
// made and every label on the page we put it on, for the sample catalogue and for a template and
// a glyph that LibreOffice itself wrote. Skipped where LibreOffice is missing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "tests/support/Scratch.h"

namespace fs = std::filesystem;

namespace {

using test_support::ShellQuote;

int Occurrences(const std::string& text, const std::string& word) {
  int n = 0;
  for (std::size_t at = 0; (at = text.find(word, at)) != std::string::npos; at += word.size()) ++n;
  return n;
}

class ClonedPagination : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v soffice >/dev/null 2>&1") != 0 ||
        std::system("command -v pdftotext >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    scratch = test_support::NewFolder("pagination") + "/";
    for (const char* folder : {"tmp", "run", "lo"}) fs::create_directories(scratch + folder);
    fs::permissions(scratch + "run", fs::perms::owner_all);
    ASSERT_EQ(Batch({"make-samples", scratch + "data"}).code, 0) << Run().err;
  }
  void TearDown() override {
    if (!scratch.empty()) fs::remove_all(scratch);
  }

  test_support::CommandResult Batch(const std::vector<std::string>& args) {
    std::string command = "env TMPDIR=" + ShellQuote(scratch + "tmp") +
                          " XDG_RUNTIME_DIR=" + ShellQuote(scratch + "run") +
                          " VSP_REGISTRY_FILE=" + ShellQuote(scratch + "registry") +
                          " timeout 300 " +
                          ShellQuote(std::string(VSP_BIN_DIR) + "/stampora-batch");
    for (const std::string& a : args) command += " " + ShellQuote(a);
    last_ = test_support::RunCommand(command, scratch + "stderr");
    return last_;
  }
  const test_support::CommandResult& Run() const { return last_; }

  // Clones and compares the labels per page here and in LibreOffice with those expected of a
  // template with the given number of positions.
  void ExpectSamePages(const std::string& category, const std::string& paper,
                       const std::string& glyph, const std::string& word, int sets, int positions) {
    SCOPED_TRACE(glyph + ", " + std::to_string(sets) + " sets");
    const std::string sheet = scratch + "sheet-" + std::to_string(++sheets_) + ".doc";
    ASSERT_EQ(Batch({"clone", "--data", scratch + "data", "--category", category, "--paper", paper,
                     "--sets", std::to_string(sets), "--glyph", glyph, "--out", sheet})
                  .code,
              0)
        << Run().err;
    std::map<int, int> expected;
    for (int left = sets, page = 1; left > 0; left -= positions)
      expected[page++] = std::min(left, positions);
    int ours = 0, theirs = 0;
    const auto here = OurPages(sheet, ours);
    const auto there = TheirPages(sheet, word, theirs);
    EXPECT_EQ(ours, int(expected.size()));
    EXPECT_EQ(here, expected);
    EXPECT_EQ(theirs, ours);
    EXPECT_EQ(there, here);
  }

  // Labels per page of the sheet as we lay it out.
  std::map<int, int> OurPages(const std::string& sheet, int& pages) {
    EXPECT_EQ(Batch({"info", sheet}).code, 0) << Run().err;
    std::map<int, int> labels;
    std::istringstream in(Run().out);
    pages = 0;
    for (std::string line; std::getline(in, line);) {
      std::istringstream fields(line);
      std::string first, name, type, page;
      std::getline(fields, first, '\t');
      if (first == "pages") {
        std::getline(fields, page);
        pages = std::stoi(page);
        continue;
      }
      std::getline(fields, name, '\t');
      std::getline(fields, type, '\t');
      std::getline(fields, page, '\t');
      if (name.rfind("VSP_CLONED_", 0) == 0) ++labels[std::stoi(page)];
    }
    return labels;
  }

  // Labels per page of LibreOffice's PDF of the sheet, counted by the glyph's text.
  std::map<int, int> TheirPages(const std::string& sheet, const std::string& word, int& pages) {
    const std::string command = "cd " + ShellQuote(scratch + "lo") +
                                " && timeout -k 10 600 soffice -env:UserInstallation=file://" +
                                scratch + "lo/profile --headless --convert-to pdf " +
                                ShellQuote(sheet) + " >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    const std::string pdf = scratch + "lo/" + fs::path(sheet).stem().string() + ".pdf";
    const auto info = test_support::RunCommand("pdfinfo " + ShellQuote(pdf), scratch + "stderr");
    const std::size_t at = info.out.find("Pages:");
    pages = at == std::string::npos ? 0 : std::stoi(info.out.substr(at + 6));
    std::map<int, int> labels;
    for (int page = 1; page <= pages; ++page) {
      const auto text =
          test_support::RunCommand("pdftotext -f " + std::to_string(page) + " -l " +
                                       std::to_string(page) + " " + ShellQuote(pdf) + " -",
                                   scratch + "stderr");
      if (const int n = Occurrences(text.out, word)) labels[page] = n;
    }
    return labels;
  }

  std::string scratch;
  test_support::CommandResult last_;
  int sheets_ = 0;
};

TEST_F(ClonedPagination, SheetsOfTheSampleCatalogueHaveTheSamePagesInLibreOffice) {
  const std::string glyph =
      scratch + "data/Оттиски/Визитки/Коллекция оттисков/Визитка классическая.doc";
  for (const int sets : {12, 200}) {
    SCOPED_TRACE(sets);
    const std::string sheet = scratch + "sheet-" + std::to_string(sets) + ".doc";
    ASSERT_EQ(Batch({"clone", "--data", scratch + "data", "--category", "Визитки", "--paper",
                     "A4 (210 x 297 mm)", "--sets", std::to_string(sets), "--glyph", glyph, "--out",
                     sheet})
                  .code,
              0)
        << Run().err;
    int ours = 0, theirs = 0;
    const auto here = OurPages(sheet, ours);
    const auto there = TheirPages(sheet, "Иван Петров", theirs);
    EXPECT_EQ(theirs, ours);
    EXPECT_EQ(there, here);
  }
}

// A person making a template and a glyph in LibreOffice Writer: label rectangles and dashed cut
// lines on A4, an oval, a text box, a frame and a guide outline on a label-sized page; written
// by tests/data/lo-label-documents.py through python3-uno, as Word 2007 packages and as Word 97.
TEST_F(ClonedPagination, SheetsFromATemplateAndAGlyphLibreOfficeWroteHaveTheSamePagesThere) {
  // python3-uno is built for the system's interpreter, whatever else is first on PATH.
  const std::string python =
      access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : std::string("python3");
  const std::string made = scratch + "lo-made/";
  fs::create_directories(made);
  const auto written = test_support::RunCommand(
      "timeout -k 10 300 " + ShellQuote(python) + " " +
          ShellQuote(std::string(VSP_TEST_DATA) + "/lo-label-documents.py") + " soffice " +
          ShellQuote(scratch + "lo/maker-profile") + " " + ShellQuote(made),
      scratch + "stderr");
  // 3: the helper found no python3-uno; 127: there is no python3 at all.
  if (written.code == 3 || written.code == 127) GTEST_SKIP() << "python3-uno is not installed";
  ASSERT_EQ(written.code, 0) << written.err;

  const std::string labels = scratch + "data/Оттиски/Этикетки/";
  const std::string glyph = labels + "Мои оттиски/Сыр козий.docx";
  fs::copy_file(made + "template.docx", labels + "Шаблон_A4 LibreOffice.doc");
  fs::copy_file(made + "template.doc", labels + "Шаблон_A4 Word 97.doc");
  fs::copy_file(made + "glyph.docx", glyph);
  fs::copy_file(made + "glyph.doc", labels + "Мои оттиски/Сыр козий.doc");

  // Rectangles are label positions, lines without width or height are not.
  for (const std::string paper : {"A4 LibreOffice", "A4 Word 97"}) {
    EXPECT_EQ(
        Batch({"count", "--data", scratch + "data", "--category", "Этикетки", "--paper", paper})
            .out,
        "21\n")
        << paper;
  }
  for (const int sets : {12, 200})
    ExpectSamePages("Этикетки", "A4 LibreOffice", glyph, "Сыр козий", sets, 21);
  ExpectSamePages("Этикетки", "A4 LibreOffice", labels + "Коллекция оттисков/Этикетка «Мёд».doc",
                  "Мёд липовый", 30, 21);
  ExpectSamePages("Этикетки", "A4 Word 97", labels + "Мои оттиски/Сыр козий.doc", "Сыр козий", 30,
                  21);
}

}  // namespace
