// stampora-batch products, make-template and cloning onto a partly used sheet with a printer
// offset, run as a user runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <set>
#include <sstream>

#include "platform/Registry.h"
#include "tests/common/PdfWords.h"
#include "tests/support/Scratch.h"

namespace fs = std::filesystem;

namespace {

constexpr double kMm = 72 / 25.4;
const std::string kPackageFolder = "/usr/share/libglabels-3.0/templates";

using test_support::ShellQuote;

std::vector<std::vector<std::string>> Rows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
    rows.push_back(fields);
  }
  return rows;
}

using Result = test_support::CommandResult;

class BatchProducts : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vsp-batch-products-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    scratch = std::string(pattern) + "/";
    data = scratch + "data/";
    for (const char* folder : {"tmp", "run", "home", "products", "data/Оттиски/Этикетки"})
      fs::create_directories(scratch + folder);
    fs::permissions(scratch + "run", fs::perms::owner_all);
  }
  void TearDown() override { fs::remove_all(scratch); }

  // The program in folders of its own: no settings, product files or printer of the user's.
  Result Batch(const std::vector<std::string>& args, const std::string& productDirs) const {
    std::string command =
        "env TMPDIR=" + ShellQuote(scratch + "tmp") +
        " XDG_RUNTIME_DIR=" + ShellQuote(scratch + "run") +
        " HOME=" + ShellQuote(scratch + "home") +
        " XDG_CONFIG_HOME=" + ShellQuote(scratch + "home") +
        " XDG_DATA_DIRS=/usr/share VSP_REGISTRY_FILE=" + ShellQuote(scratch + "registry") +
        " VSP_LABEL_TEMPLATE_DIRS=" + ShellQuote(productDirs) + " timeout 120 " +
        ShellQuote(std::string(VSP_BIN_DIR) + "/stampora-batch");
    for (const std::string& a : args) command += " " + ShellQuote(a);
    return test_support::RunCommand(command, scratch + "stderr");
  }
  Result Builtin(const std::vector<std::string>& args) const {
    return Batch(args, scratch + "none");
  }
  bool Exists(const std::string& paper) const {
    return fs::exists(data + "Оттиски/Этикетки/Шаблон_" + paper + ".doc");
  }

  std::string scratch, data;
};

TEST_F(BatchProducts, ProductsAreTabSeparatedLinesAndBrokenFilesAreNamed) {
  std::ofstream(scratch + "products/mine.xml") << R"(<Glabels-templates>
    <Template brand="Моя" part="M1" size="A4" _description="Наклейки	круглые">
      <Label-round radius="20mm"><Layout nx="4" ny="6" x0="5mm" y0="5mm" dx="50mm" dy="48mm"/></Label-round>
    </Template></Glabels-templates>)";
  std::ofstream(scratch + "products/broken.xml") << "<Glabels-templates><Template";
  const Result all = Batch({"products"}, scratch + "products");
  ASSERT_EQ(all.code, 0) << all.err;
  const auto rows = Rows(all.out);
  ASSERT_GT(rows.size(), 10u) << "the built-in products too";
  for (const auto& row : rows) EXPECT_EQ(row.size(), 5u) << row[0];
  const auto mine =
      std::find_if(rows.begin(), rows.end(), [](auto& r) { return r[0] == "Моя M1"; });
  ASSERT_NE(mine, rows.end());
  EXPECT_EQ(*mine, (std::vector<std::string>{"Моя M1", "Наклейки круглые", "A4", "24", "40x40"}));
  EXPECT_NE(all.err.find("«" + scratch + "products/broken.xml» пропущен"), std::string::npos);

  const Result found = Batch({"products", "--search", "L7160"}, scratch + "products");
  EXPECT_EQ(Rows(found.out),
            (std::vector<std::vector<std::string>>{
                {"Avery L7160", "Address labels, 21 per sheet", "A4", "21", "63.5x38.1"}}));
}

TEST_F(BatchProducts, WithThePackageInstalledEveryProductItDescribesIsListed) {
  if (!fs::is_directory(kPackageFolder)) GTEST_SKIP() << "glabels-data is not installed";
  std::set<std::string> described;
  for (const auto& entry : fs::directory_iterator(kPackageFolder)) {
    pugi::xml_document doc;
    if (!doc.load_file(entry.path().c_str())) continue;
    for (const auto& node : doc.document_element().children("Template"))
      described.insert(std::string(node.attribute("brand").as_string()) + " " +
                       node.attribute("part").as_string());
  }
  const Result listed = Batch({"products"}, "");
  ASSERT_EQ(listed.code, 0);
  EXPECT_EQ(listed.err, "");
  std::set<std::string> ids;
  for (const auto& row : Rows(listed.out)) ids.insert(row[0]);
  for (const std::string& id : described) EXPECT_TRUE(ids.count(id)) << id;
}

TEST_F(BatchProducts, TemplatesFromAProductOrFromSizes) {
  const Result product = Builtin(
      {"make-template", "--data", data, "--category", "Этикетки", "--product", "avery l7160"});
  ASSERT_EQ(product.code, 0) << product.err;
  EXPECT_EQ(product.out, data + "Оттиски/Этикетки/Шаблон_avery l7160.doc\n");
  EXPECT_EQ(
      Builtin({"count", "--data", data, "--category", "Этикетки", "--paper", "avery l7160"}).out,
      "21\n");
  const std::vector<std::string> sizes = {
      "make-template", "--data",  data,     "--category", "Этикетки", "--sheet", "210x297",
      "--label",       "70X37",   "--grid", "3x8",        "--origin", "0x0,5",   "--pitch",
      "70x37",         "--shape", "round",  "--radius",   "2"};
  ASSERT_EQ(Builtin(sizes).code, 0);
  ASSERT_TRUE(Exists("70x37 3x8"));
  EXPECT_EQ(
      Builtin({"count", "--data", data, "--category", "Этикетки", "--paper", "70x37 3x8"}).out,
      "24\n");
  const Result again = Builtin(sizes);
  EXPECT_EQ(again.code, 1);
  EXPECT_NE(again.err.find("уже есть; чтобы заменить его, добавьте --replace"), std::string::npos);
  std::vector<std::string> replace = sizes;
  replace.push_back("--replace");
  EXPECT_EQ(Builtin(replace).code, 0);
}

TEST_F(BatchProducts, ImpossibleSheetsAreRefusedAndNothingIsWritten) {
  auto make = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = {"make-template", "--data",  data, "--category",
                                     "Этикетки",      "--paper", "X"};
    args.insert(args.end(), extra.begin(), extra.end());
    return Builtin(args);
  };
  auto sheet = [](const char* label, const char* grid) {
    return std::vector<std::string>{"--sheet", "210x297",  "--label", label,     "--grid",
                                    grid,      "--origin", "0x0",     "--pitch", "70x37"};
  };
  const Result off = make(sheet("70x37", "4x8"));
  EXPECT_EQ(off.code, 1);
  EXPECT_NE(off.err.find("этикетки выходят за край листа на 70 мм"), std::string::npos) << off.err;
  EXPECT_NE(make(sheet("0x37", "3x8")).err.find("стороны этикетки"), std::string::npos);
  EXPECT_NE(make(sheet("0.01x0.01", "101x100")).err.find("больше допустимых 10 000"),
            std::string::npos);
  EXPECT_EQ(make({"--product", "Нет такого"}).code, 1);
  auto withRadius = sheet("70x37", "3x8");
  withRadius.insert(withRadius.end(), {"--radius", "2"});
  EXPECT_EQ(make(withRadius).code, 2) << "a radius needs the rounded shape";
  EXPECT_EQ(make({"--product", "Avery L7160", "--label", "1x1"}).code, 2);
  EXPECT_EQ(make({"--sheet", "210"}).code, 2);
  EXPECT_EQ(
      Builtin({"make-template", "--data", data, "--category", "Нет", "--product", "Avery L7160"})
          .code,
      1);
  EXPECT_FALSE(Exists("X"));
  EXPECT_TRUE(fs::is_empty(data + "Оттиски/Этикетки"));
}

// Words of a printed sheet per page, each page's words in reading order.
std::vector<pdf_test::PdfWord> Words(const std::string& pdf, const std::string& text) {
  std::vector<pdf_test::PdfWord> found;
  for (const auto& word : pdf_test::PdfWords(pdf))
    if (word.text == text) found.push_back(word);
  return found;
}

TEST_F(BatchProducts, ClonedFromPositionFiveWithAnOffsetEveryWordMovesExactly) {
  if (!pdf_test::HavePdfToText()) GTEST_SKIP() << "pdftotext is not installed";
  ASSERT_EQ(Builtin({"make-samples", data}).code, 0);
  ASSERT_EQ(Builtin({"make-template", "--data", data, "--category", "Этикетки", "--product",
                     "Avery L7160"})
                .code,
            0);
  const std::string glyph = data + "Оттиски/Этикетки/Мои оттиски/Этикетка для специй.doc";
  auto clone = [&](const std::string& offset, const std::string& name) {
    const Result r =
        Builtin({"clone", "--data", data, "--category", "Этикетки", "--paper", "Avery L7160",
                 "--sets", "20", "--glyph", glyph, "--start", "5", "--out", scratch + name + ".doc",
                 "--pdf", scratch + name + ".pdf", "--offset", offset});
    EXPECT_EQ(r.code, 0) << r.err;
    return Words(scratch + name + ".pdf", "Паприка");
  };
  const auto plain = clone("0,0", "plain");
  const auto moved = clone("1.5,1.5", "moved");
  ASSERT_EQ(plain.size(), 20u);
  EXPECT_EQ(std::count_if(plain.begin(), plain.end(), [](auto& w) { return w.page == 1; }), 17)
      << "positions 1 to 4 of the first sheet stay empty";
  // Label 5 is the second of the second row: 7.2 + 66 mm from the left, 15.1 + 38.1 from the top.
  EXPECT_GT(plain[0].xMin, (7.2 + 66) * kMm);
  EXPECT_LT(plain[0].xMin, (7.2 + 66 + 63.5) * kMm);
  EXPECT_GT(plain[0].yMin, (15.1 + 38.1) * kMm);
  EXPECT_LT(plain[0].yMin, (15.1 + 2 * 38.1) * kMm);
  ASSERT_EQ(moved.size(), plain.size());
  for (std::size_t k = 0; k < plain.size(); ++k) {
    EXPECT_EQ(moved[k].page, plain[k].page);
    EXPECT_NEAR(moved[k].xMin - plain[k].xMin, 1.5 * kMm, 0.02) << k;
    EXPECT_NEAR(moved[k].yMin - plain[k].yMin, 1.5 * kMm, 0.02) << k;
  }

  // Without --offset the stored calibration of PDF output applies.
  platform::Registry(scratch + "registry")
      .write(platform::RegRoot::LocalMachine, "Software\\Varnel\\Stampora\\Printers\\PDF",
             "OffsetX", {platform::RegType::String, "-1", 0});
  platform::Registry(scratch + "registry")
      .write(platform::RegRoot::LocalMachine, "Software\\Varnel\\Stampora\\Printers\\PDF",
             "OffsetY", {platform::RegType::String, "0.5", 0});
  ASSERT_EQ(Builtin({"print", scratch + "plain.doc", "--pdf", scratch + "stored.pdf"}).code, 0);
  const auto stored = Words(scratch + "stored.pdf", "Паприка");
  ASSERT_EQ(stored.size(), plain.size());
  EXPECT_NEAR(stored[0].xMin - plain[0].xMin, -kMm, 0.02);
  EXPECT_NEAR(stored[0].yMin - plain[0].yMin, 0.5 * kMm, 0.02);
}

}  // namespace
