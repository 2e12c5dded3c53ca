// The products of several folders: paper sizes, equivs across files, later folders overriding
// earlier ones, the built-in set, search, and one message for each file with problems.
#include <gtest/gtest.h>

#include <filesystem>

#include "LabelsSupport.h"
#include "labels/ProductDatabase.h"
#include "labels/SheetGeometry.h"

namespace {

using labels_test::NewFolder;
using labels_test::TemplatesFile;
using labels_test::WriteText;

const char* kRound =
    R"(<Label-round radius="10mm"><Layout nx="2" ny="2" x0="10mm" y0="10mm" dx="30mm" dy="30mm"/></Label-round>)";

std::string Template(const std::string& attributes, const std::string& body = kRound) {
  return "<Template " + attributes + ">" + body + "</Template>";
}

class Database : public ::testing::Test {
 protected:
  std::string system = NewFolder(), user = NewFolder();
  labels::ProductDatabase Load(bool builtins = false) {
    return labels::ProductDatabase::Load({system, user}, builtins);
  }
};

TEST_F(Database, EquivsTakeTheirGeometryFromAnotherFileAndChainsResolve) {
  WriteText(system + "/a.xml",
            TemplatesFile(Template(R"(brand="X" part="1" size="Q" _description="Base")")));
  WriteText(system + "/b.xml", TemplatesFile(R"(<Template brand="X" part="2" equiv="1"/>
      <Template brand="X" part="3" equiv="2" _description="Own words"/>
      <Template brand="X" part="4" equiv="9"/>
      <Template brand="X" part="5" equiv="6"/><Template brand="X" part="6" equiv="5"/>)"));
  WriteText(
      system + "/paper-sizes.xml",
      R"(<Glabels-paper-sizes><Paper-size id="Q" _name="Quarto" width="8in" height="10in"/></Glabels-paper-sizes>)");
  const auto db = Load();
  ASSERT_EQ(db.Products().size(), 3u);
  const labels::Product* three = db.Find("x 3");
  ASSERT_NE(three, nullptr) << "found ignoring case";
  EXPECT_EQ(three->description, "Own words");
  EXPECT_EQ(db.Find("X 2")->description, "Base");
  EXPECT_EQ(three->paper, "Quarto");
  EXPECT_DOUBLE_EQ(three->pageWidth, 576);
  EXPECT_EQ(three->LabelCount(), 4);
  EXPECT_EQ(three->source, system + "/b.xml");
  ASSERT_EQ(db.Problems().size(), 1u) << "one message for the file";
  const std::string& problem = db.Problems()[0];
  EXPECT_NE(problem.find("«" + system + "/b.xml»"), std::string::npos) << problem;
  EXPECT_NE(problem.find("X 4: ссылается (equiv) на неизвестный образец X 9"), std::string::npos);
  EXPECT_NE(problem.find("X 5: цепочка ссылок equiv замкнута на себя"), std::string::npos);
}

TEST_F(Database, TheUsersFolderOverridesTheSystemsAndBrokenFilesAreNamedOnce) {
  WriteText(system + "/a.xml",
            TemplatesFile(Template(R"(brand="X" part="1" size="A4" _description="System")")));
  WriteText(user + "/mine.template",
            TemplatesFile(Template(R"(brand="x" part="1" size="A4" _description="Mine")")));
  WriteText(user + "/broken.xml", "<Glabels-templates><Template brand=");
  WriteText(user + "/unknown-paper.xml",
            TemplatesFile(Template(R"(brand="X" part="2" size="Z9")")));
  WriteText(user + "/notes.txt", "not read");
  std::filesystem::create_directory(user + "/folder.xml");
  const auto db = Load();
  ASSERT_EQ(db.Products().size(), 1u);
  EXPECT_EQ(db.Products()[0].description, "Mine");
  ASSERT_EQ(db.Problems().size(), 2u);
  EXPECT_NE(db.Problems()[0].find("«" + user + "/broken.xml» пропущен: это не XML"),
            std::string::npos)
      << db.Problems()[0];
  EXPECT_NE(db.Problems()[1].find("X 2: неизвестный формат бумаги «Z9»"), std::string::npos);
}

TEST_F(Database, BuiltInProductsWorkWithoutFilesAndFilesReplaceThem) {
  const auto alone = labels::ProductDatabase::Load({}, true);
  const labels::Product* l7160 = alone.Find("Avery L7160");
  ASSERT_NE(l7160, nullptr);
  EXPECT_EQ(l7160->LabelCount(), 21);
  EXPECT_EQ(labels::LabelSizeText(*l7160), "63.5x38.1");
  EXPECT_EQ(labels::PaperText(*l7160), "A4");
  EXPECT_TRUE(l7160->source.empty());
  for (const labels::Product& p : alone.Products())
    EXPECT_EQ(labels::GeometryProblem(p), "") << p.Id();

  WriteText(system + "/a.xml", TemplatesFile(Template(R"(brand="Avery" part="L7160" size="A4")")));
  const auto both = Load(true);
  EXPECT_EQ(both.Products().size(), alone.Products().size());
  EXPECT_EQ(both.Find("Avery L7160")->LabelCount(), 4);
}

TEST_F(Database, SearchNeedsEveryWordAnywhere) {
  WriteText(
      system + "/a.xml",
      TemplatesFile(
          Template(R"(brand="Acme" part="A-1" size="A4" _description="Round stickers")") +
          Template(
              R"(brand="Acme" part="B-2" size="Other" width="100mm" height="50mm" _description="Tags")",
              R"(<Label-rectangle width="63.5mm" height="38.1mm"><Layout nx="1" ny="1"/></Label-rectangle>)")));
  const auto db = Load();
  auto ids = [&](const std::string& text) {
    std::string all;
    for (const labels::Product* p : db.Search(text)) all += p->Id() + ";";
    return all;
  };
  EXPECT_EQ(ids(""), "Acme A-1;Acme B-2;");
  EXPECT_EQ(ids("acme round"), "Acme A-1;");
  EXPECT_EQ(ids("63,5x38.1"), "Acme B-2;") << "the size, with a comma for the point";
  EXPECT_EQ(ids("100x50"), "Acme B-2;") << "a paper of its own shows its size";
  EXPECT_EQ(ids("a4 tags"), "");
}

TEST(ProductFolders, StandardOnesAndTheOverride) {
  setenv("XDG_DATA_DIRS", "/one:/two", 1);
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  setenv("HOME", "/home/u", 1);
  unsetenv("VSP_LABEL_TEMPLATE_DIRS");
  EXPECT_EQ(labels::ProductDatabase::StandardFolders(),
            (std::vector<std::string>{"/two/libglabels-3.0/templates",
                                      "/one/libglabels-3.0/templates", "/cfg/libglabels/templates",
                                      "/home/u/.glabels", "/cfg/varnel-stampora/templates"}));
  setenv("VSP_LABEL_TEMPLATE_DIRS", "/a:/b", 1);
  EXPECT_EQ(labels::ProductDatabase::StandardFolders(), (std::vector<std::string>{"/a", "/b"}));
  unsetenv("VSP_LABEL_TEMPLATE_DIRS");
}

}  // namespace
