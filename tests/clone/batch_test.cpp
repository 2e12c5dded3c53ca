// stampora-batch as a user runs it: a sample catalogue, its templates and label counts, a
// cloned sheet with its PDF, and the same sheet read by LibreOffice.
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

#include "CloneSupport.h"
#include "platform/Files.h"
#include "tests/support/Scratch.h"

using namespace clone_test;
namespace fs = std::filesystem;

namespace {

const std::string kA4 = "A4 (210 x 297 mm)";

using test_support::ShellQuote;

struct Result {
  int code = -1;
  std::string out;
};

Result Shell(const std::string& command) {
  Result r;
  if (FILE* p = popen((command + " 2>/dev/null").c_str(), "r")) {
    char buf[4096];
    while (std::size_t n = fread(buf, 1, sizeof buf, p)) r.out.append(buf, n);
    int status = pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  return r;
}

Result Batch(const std::vector<std::string>& args) {
  std::string command = ShellQuote(std::string(VSP_BIN_DIR) + "/stampora-batch");
  for (const std::string& a : args) command += " " + ShellQuote(a);
  return Shell(command);
}

bool Have(const std::string& program) {
  return Shell("command -v " + program).code == 0;
}

// How many labels each page of a PDF shows, by the names printed on the two sample cards.
std::vector<int> LabelsPerPage(const std::string& pdf) {
  std::vector<int> pages;
  const Result text = Shell("pdftotext " + ShellQuote(pdf) + " -");
  std::size_t start = 0;
  while (start <= text.out.size()) {
    std::size_t end = text.out.find('\f', start);
    if (end == std::string::npos) break;
    const std::string page = text.out.substr(start, end - start);
    int n = 0;
    for (const char* name : {"Иван Петров", "Мария Соколова"})
      for (std::size_t at = page.find(name); at != std::string::npos; at = page.find(name, at + 1))
        ++n;
    pages.push_back(n);
    start = end + 1;
  }
  return pages;
}

class BatchCloneTest : public CloneTest {};

TEST_F(BatchCloneTest, SamplesCloneToASheetThatLibreOfficeReadsAlike) {
  ASSERT_EQ(Batch({"make-samples", data}).code, 0);
  const std::string collection =
      data + "Оттиски/Визитки/Коллекция оттисков/Визитка классическая.doc";
  const std::string mine = data + "Оттиски/Визитки/Мои оттиски/Моя визитка.doc";
  ASSERT_TRUE(platform::IsReadOnly(collection));
  EXPECT_FALSE(platform::IsReadOnly(mine));
  EXPECT_EQ(ReadFile(data + "glyph_types.ini"),
            "Стандартный,210,297,0,Другие\nВизитка,90,50,0,Визитки\nЭтикетка,70,37,0,Этикетки\n"
            "Печать,40,40,0,Печати\n");
  for (const char* category : {"Визитки", "Этикетки", "Печати", "Другие"})
    EXPECT_TRUE(fs::is_directory(data + "Листы/" + category + "/Мои листы")) << category;

  const Result templates = Batch({"templates", "--data", data, "--category", "Визитки"});
  EXPECT_NE(templates.out.find(kA4 + "\n"), std::string::npos);
  EXPECT_NE(templates.out.find("A5 (148 x 210 mm)\n"), std::string::npos);
  EXPECT_EQ(Batch({"count", "--data", data, "--category", "Визитки", "--paper", kA4}).out, "10\n");
  EXPECT_EQ(Batch({"count", "--data", data, "--category", "Этикетки", "--paper", kA4}).out, "24\n");
  EXPECT_EQ(Batch({"count", "--data", data, "--category", "Печати", "--paper", kA4}).out, "24\n");
  EXPECT_NE(Batch({"count", "--data", data, "--category", "Печати", "--paper", "A3"}).code, 0);

  const std::string before = ReadFile(collection);
  const std::string sheet = data + "лист.doc", pdf = data + "лист.pdf";
  const Result clone =
      Batch({"clone", "--data", data, "--category", "Визитки", "--paper", kA4, "--sets", "12",
             "--glyph", collection, "--glyph", mine + ":1", "--out", sheet, "--pdf", pdf});
  ASSERT_EQ(clone.code, 0);
  EXPECT_EQ(ReadFile(collection), before);
  EXPECT_FALSE(fs::exists(collection + ".tmp"));

  Variant doc = OpenHidden(sheet);
  EXPECT_EQ(Pages(doc), 3);
  EXPECT_EQ(ShapesNamed(doc, "VSP_CLONED_").size(), 24u);
  EXPECT_EQ(ShapesNamed(doc, "VSP_NONPRINTABLE_L").size(), 3u * 5);
  if (!Have("pdftotext")) GTEST_SKIP() << "pdftotext is not installed";
  EXPECT_EQ(LabelsPerPage(pdf), (std::vector<int>{10, 10, 4}));
  const std::string printed = data + "печать.pdf";
  ASSERT_EQ(Batch({"print", sheet, "--pdf", printed}).code, 0);
  EXPECT_EQ(LabelsPerPage(printed), (std::vector<int>{10, 10, 4}));

  if (!Have("soffice")) GTEST_SKIP() << "LibreOffice is not installed";
  const std::string lo = data + "lo";
  const Result converted =
      Shell("timeout 240 soffice -env:UserInstallation=file://" + lo + "/profile --headless " +
            "--norestore --convert-to pdf --outdir " + ShellQuote(lo) + " " + ShellQuote(sheet));
  ASSERT_EQ(converted.code, 0);
  std::vector<int> pages = LabelsPerPage(lo + "/лист.pdf");
  // LibreOffice sets the empty paragraphs with taller lines than the embedded word processor,
  // so the last page's run over onto blank pages; the labels must still sit on their pages.
  while (pages.size() > 3 && pages.back() == 0) pages.pop_back();
  EXPECT_EQ(pages, (std::vector<int>{10, 10, 4}));
}

TEST_F(BatchCloneTest, MistakesEndWithAnErrorAndNoSheet) {
  ASSERT_EQ(Batch({"make-samples", data}).code, 0);
  const std::string glyph = data + "Оттиски/Печати/Мои оттиски/Моя печать.doc";
  const std::string sheet = data + "лист.doc";
  auto clone = [&](const std::string& paper, const std::string& file) {
    return Batch({"clone", "--data", data, "--category", "Печати", "--paper", paper, "--sets", "2",
                  "--glyph", file, "--out", sheet});
  };
  EXPECT_EQ(clone("A3", glyph).code, 1) << "no such template";
  EXPECT_EQ(clone(kA4, data + "нет.doc").code, 2);
  EXPECT_FALSE(fs::exists(sheet));
  EXPECT_EQ(clone(kA4, glyph).code, 0);
  EXPECT_TRUE(fs::exists(sheet));
}

}  // namespace
