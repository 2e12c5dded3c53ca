// Which templates a category offers, the paper-size box, label counts and page counts.
#include <filesystem>

#include "CloneSupport.h"
#include "clone/uPlacing.h"

using namespace cloning;
using namespace clone_test;

namespace {

std::vector<std::string> Names(const std::vector<TPaperSize>& sizes) {
  std::vector<std::string> names;
  for (const TPaperSize& s : sizes) {
    EXPECT_EQ(s.Caption, s.Name);
    names.push_back(s.Name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(LoadCloneTemplates, TakesOnlyDocFilesWithTheExactPrefix) {
  const std::string data = NewDataFolder();
  const std::string folder = data + "Оттиски/Визитки/";
  for (const char* name :
       {"Шаблон_A4.doc", "Шаблон_A5 (148 x 210 mm).DOC", "шаблон_A3.doc", "ШАБЛОН_B4.doc",
        "Шаблон_B5.docx", ".Шаблон_C4.doc", "Визитка.doc", "Шаблон_.doc"})
    WriteFile(folder + name, "x");
  std::filesystem::create_directories(folder + "Шаблон_D.doc");

  const auto& sizes = LoadCloneTemplates(data, "Визитки");
  EXPECT_EQ(&sizes, &PaperSizes);
  EXPECT_EQ(Names(sizes), (std::vector<std::string>{"", "A4", "A5 (148 x 210 mm)"}));

  LoadCloneTemplates(data, "Нет такой категории");
  EXPECT_TRUE(PaperSizes.empty()) << "the list is rebuilt, not added to";
}

TEST(LoadCloneTemplates, OffersPaperSizesInNaturalOrderIgnoringCase) {
  const std::string data = NewDataFolder();
  const std::string folder = data + "Оттиски/Визитки/";
  for (const char* name :
       {"Шаблон_A10.doc", "Шаблон_a4.doc", "Шаблон_Б5.doc", "Шаблон_A3.doc", "Шаблон_а5.doc",
        "Шаблон_A4 (210 x 297 mm).doc", "Шаблон_A04.doc", "Шаблон_B4.doc"})
    WriteFile(folder + name, "x");
  std::vector<std::string> order;
  for (const TPaperSize& size : LoadCloneTemplates(data, "Визитки")) order.push_back(size.Name);
  EXPECT_EQ(order, (std::vector<std::string>{"A3", "A04", "a4", "A4 (210 x 297 mm)", "A10", "B4",
                                             "а5", "Б5"}));
}

TEST(FillPaperSizeCombo, PlaceholderWhenNoTemplates) {
  TPaperSizeCombo combo;
  combo.Items = {{"A4", 0}};
  combo.ItemIndex = 0;
  EXPECT_FALSE(FillPaperSizeCombo(combo, {}));
  ASSERT_EQ(combo.Items.size(), 1u);
  EXPECT_EQ(combo.Items[0].Text, "<нет шаблонов для категории>");
  EXPECT_EQ(combo.Items[0].Value, -5);
  EXPECT_EQ(combo.ItemIndex, 0);
  EXPECT_EQ(combo.SelectedValue(), -5);
}

TEST(FillPaperSizeCombo, KeepsTheChosenTextIgnoringCaseElseTakesTheFirst) {
  const std::vector<TPaperSize> sizes = {{"A4", "A4"}, {"A5 мини", "A5 мини"}};
  TPaperSizeCombo combo;
  combo.Items = {{"a5 МИНИ", 7}};
  combo.ItemIndex = 0;
  EXPECT_TRUE(FillPaperSizeCombo(combo, sizes));
  ASSERT_EQ(combo.Items.size(), 2u);
  EXPECT_EQ(combo.Items[1].Value, 1);
  EXPECT_EQ(combo.ItemIndex, 1);
  EXPECT_EQ(combo.Text(), "A5 мини");

  combo.ItemIndex = -1;
  FillPaperSizeCombo(combo, sizes);
  EXPECT_EQ(combo.ItemIndex, 0);
  EXPECT_EQ(combo.SelectedValue(), 0);
}

TEST(PageCount, SheetsForTheLabelsAsked) {
  EXPECT_EQ(PageCount(1, 25, 12), 3);
  EXPECT_EQ(PageCount(1, 24, 12), 2);
  EXPECT_EQ(PageCount(1, 0, 12), 0);
  EXPECT_EQ(PageCount(1, 5, 0), 0) << "no template";
  // The wizard: counts 2 and 1, two sets, five positions.
  EXPECT_EQ(PageCount(3, 2, 5), 2);
  // All counts 0: one page, none when the sheet has a single position.
  EXPECT_EQ(PageCount(0, 4, 12), 1);
  EXPECT_EQ(PageCount(0, 4, 1), 0);
  EXPECT_EQ(PageCount(1000, 3000000, 10), 300000000) << "no overflow";
}

TEST(MySheetsFolder, CategoryUnderSheetsElseOthers) {
  const std::string data = NewDataFolder();
  EXPECT_EQ(MySheetsFolder(data, "Визитки"), data + "Листы/Другие/Мои листы");
  std::filesystem::create_directories(data + "Листы/Визитки");
  EXPECT_EQ(MySheetsFolder(data, "Визитки"), data + "Листы/Визитки/Мои листы");
}

class LabelCount : public CloneTest {};

TEST_F(LabelCount, CountsShapesWithAreaDiagonalsIncludedAndKeepsTheAnswer) {
  MakeTemplate(Word(), TemplatePath("Этикетки", "A4"), Column(3),
               {{20, 30, 500, 30, 0.5f, 4}, {300, 20, 300, 800, 0.5f, 1}, {10, 10, 80, 90, 1, 1}});
  auto& controller = host->Controller();
  EXPECT_EQ(CountLabelPositions(controller, data, "Этикетки", "A4"), 4);
  EXPECT_EQ(controller.CountOwnDocuments(), 0) << "the template is closed again";

  MakeTemplate(Word(), TemplatePath("Этикетки", "A4"), Column(5));
  EXPECT_EQ(CountLabelPositions(controller, data, "Этикетки", "A4"), 4) << "kept until asked anew";
  EXPECT_EQ(CountLabelPositions(controller, data, "Этикетки", "A5"), 0);
  EXPECT_EQ(CountLabelPositions(controller, data, "Этикетки", "A4"), 5);
}

// A template whose extension is written in capitals is found under its real name everywhere.
TEST_F(LabelCount, TemplateNamesKeepTheirOwnLetterCase) {
  const std::string upper = data + "Оттиски/Этикетки/Шаблон_UP.DOC";
  MakeTemplate(Word(), upper, Column(3));
  LoadCloneTemplates(data, "Этикетки");
  ASSERT_EQ(Names(PaperSizes), (std::vector<std::string>{"UP"}));
  EXPECT_EQ(SheetTemplatePath(data, "Этикетки", "UP"), upper);
  EXPECT_EQ(CountLabelPositions(host->Controller(), data, "Этикетки", "UP"), 3);
  EXPECT_EQ(SheetTemplatePath(data, "Этикетки", "A4"), data + "Оттиски/Этикетки/Шаблон_A4.doc")
      << "a template that does not exist keeps the name it would have";
}

// The user may be editing the template: a count must leave that document open, edits and all.
TEST_F(LabelCount, CountingNeverTouchesTheUsersOpenTemplate) {
  const std::string path = TemplatePath("Этикетки", "A4");
  MakeTemplate(Word(), path, Column(3));
  auto& controller = host->Controller();
  wordlink::TExtAppDocument* open = controller.OpenDocument(path, true, false);
  ASSERT_NE(open, nullptr);
  open->Document.get("Shapes").call("AddShape", 1, 10.0f, 10.0f, 50.0f, 50.0f);

  EXPECT_EQ(CountLabelPositions(controller, data, "Этикетки", "A4"), 3) << "the saved file counts";

  ASSERT_EQ(controller.FindDocument(path), open);
  EXPECT_FALSE(open->Document.isEmpty());
  EXPECT_EQ(open->Document.get("Shapes").get("Count").toInt(), 4) << "the user's edit is kept";
  EXPECT_TRUE(TemporaryLitter().empty());
}

}  // namespace
