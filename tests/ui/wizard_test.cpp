// The group print wizard: page counts over the group, the one-category rule, emptying the
// group, and printing only what is already open.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <filesystem>

#include "UiSupport.h"
#include "app/uCommon.h"
#include "ui/ufmGroupPrintWizard.h"
#include "wordlink/uExtAppDocument.h"

namespace ui_test {
namespace {

namespace fs = std::filesystem;

class Wizard : public UiTest {
 protected:
  ui::TfmGroupPrintWizard& OpenWithWizard() {
    ui::TfmMain& w = Open();
    wizard = std::make_unique<ui::TfmGroupPrintWizard>(w);
    w.GroupPrintWizard = wizard.get();
    return *wizard;
  }
  void Send(const std::string& fileName, const char* category = "Визитки") {
    QComboBox* box = window->cbGlyphCategory;
    const int index = box->findText(category);
    if (index != box->currentIndex()) {
      box->setCurrentIndex(index);
      emit box->activated(index);
      Settle();
    }
    SelectFile(window->sgMyGlyphs, fileName);
    window->aGlyphSendToGroup->trigger();
    Settle();
  }
  void TearDown() override {
    wizard.reset();
    UiTest::TearDown();
  }
  std::unique_ptr<ui::TfmGroupPrintWizard> wizard;
};

TEST_F(Wizard, PagesCountEveryGlyphOfEverySet) {
  ui::TfmGroupPrintWizard& wz = OpenWithWizard();
  EXPECT_TRUE(wz.isHidden());
  Send("a.doc");
  Send("b.doc");
  ASSERT_TRUE(wz.isVisible());
  ASSERT_EQ(wz.GlyphCount, 2);
  EXPECT_EQ(wz.Category, "Визитки");
  EXPECT_EQ(wz.sg->Row(), 1) << "the glyph sent last is current";
  EXPECT_TRUE(wz.aGlyphClone->isEnabled());
  wz.sg->item(0, ui::TfmGroupPrintWizard::kCountColumn)->setText("2");
  wz.edNumberToPrint->setText("2");
  EXPECT_EQ(wz.lbPages->text(), "1") << "(3 x 2 - 1) div 12 + 1";
  wz.edNumberToPrint->setText("5");
  EXPECT_EQ(wz.lbPages->text(), "2") << "(3 x 5 - 1) div 12 + 1";
  wz.sg->item(1, ui::TfmGroupPrintWizard::kCountColumn)->setText("10");
  EXPECT_EQ(wz.lbPages->text(), "5") << "an edited count counts at once";
  wz.sg->item(0, ui::TfmGroupPrintWizard::kCountColumn)->setText("x");
  wz.sg->item(1, ui::TfmGroupPrintWizard::kCountColumn)->setText("0");
  EXPECT_EQ(wz.lbPages->text(), "1") << "with nothing to place a set still starts a sheet";
  wz.edNumberToPrint->setText("");
  EXPECT_EQ(wz.lbPages->text(), "0");
  EXPECT_EQ(Messages(), "") << "wrong numbers count as 0 without a word";
}

TEST_F(Wizard, AGlyphOfAnotherCategoryIsRefused) {
  ui::TfmGroupPrintWizard& wz = OpenWithWizard();
  Send("a.doc");
  Send("c.doc", "Этикетки");
  EXPECT_EQ(wz.GlyphCount, 1);
  EXPECT_EQ(wz.Category, "Визитки");
  EXPECT_EQ(wz.sg->Object(0)->Path.find("c.doc"), std::string::npos);
  EXPECT_EQ(Messages(),
            "\tВы не можете добавлять оттиски из разных категорий!\n"
            "Выбранная категория: \"Визитки\"\n"
            "Чтобы добавить этот оттиск, вам необходимо закрыть Мастер групповой печати.\n");
}

TEST_F(Wizard, RemovingTheLastGlyphEmptiesTheGroup) {
  ui::TfmGroupPrintWizard& wz = OpenWithWizard();
  Send("a.doc");
  Send("a.doc");
  EXPECT_EQ(wz.GlyphCount, 2) << "the same glyph may be sent twice";
  wz.aDelFromGrid->trigger();
  EXPECT_EQ(wz.GlyphCount, 1);
  EXPECT_TRUE(wz.isVisible());
  wz.aDelFromGrid->trigger();
  EXPECT_EQ(wz.GlyphCount, 0);
  EXPECT_TRUE(wz.isHidden());
  EXPECT_EQ(wz.Category, "");
  Send("c.doc", "Этикетки");
  EXPECT_EQ(wz.GlyphCount, 1) << "a new group takes any category";
  EXPECT_EQ(wz.Category, "Этикетки");
  EXPECT_FALSE(wz.aGlyphClone->isEnabled()) << "that category has no template";
  EXPECT_EQ(Messages(), "");
}

TEST_F(Wizard, CloningFillsEverySetOfTheGroup) {
  ui::TfmGroupPrintWizard& wz = OpenWithWizard();
  Send("a.doc");
  Send("b.doc");
  wz.sg->item(0, ui::TfmGroupPrintWizard::kCountColumn)->setText("2");
  wz.edNumberToPrint->setText("2");
  wz.aGlyphClone->trigger();
  Settle();
  EXPECT_EQ(Messages(), "");
  ASSERT_EQ(window->sgOpenDocs->Tag, 1);
  const catalogue::TPreviewItemPtr sheet = window->sgOpenDocs->Object(0);
  wordlink::TExtAppDocument* doc = app::AppController->FindDocument(sheet->FullPath());
  ASSERT_NE(doc, nullptr);
  int copies = 0;
  const Variant shapes = doc->Document.get("Shapes");
  for (int i = 1; i <= shapes.get("Count").toInt(); ++i)
    copies += shapes.call("Item", i).get("Name").toString().rfind("VSP_CLONED_", 0) == 0;
  EXPECT_EQ(copies, 6) << "(2 + 1) glyphs in each of 2 sets";
}

TEST_F(Wizard, QuickPrintLeavesAGlyphThatIsNotOpenAlone) {
  ui::TfmGroupPrintWizard& wz = OpenWithWizard();
  Send("a.doc");
  wz.aQuickPrint->trigger();
  wz.aPrint->trigger();
  Settle();
  const fs::path prints = dir + "pdf";
  EXPECT_TRUE(!fs::exists(prints) || fs::is_empty(prints));
  EXPECT_EQ(window->sgOpenDocs->Tag, 0) << "nothing is opened for printing";
}

}  // namespace
}  // namespace ui_test
