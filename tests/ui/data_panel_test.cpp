// The "Данные…" row of the print boxes: choosing a list, what it shows, the page count from its
// records, clearing it, and in the group print wizard a list per glyph.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidgetItem>
#include <memory>

#include "UiSupport.h"
#include "tests/support/Scratch.h"
#include "ui/DataFilePanel.h"
#include "ui/DistributePrintBox.h"
#include "ui/ufmGroupPrintWizard.h"

namespace ui_test {
namespace {

class DataPanel : public UiTest {
 protected:
  static ui::TDataFilePanel& PanelOf(QGroupBox* box) {
    return *static_cast<ui::TDistributePrintBox*>(box)->DataPanel;
  }
  // A list of labels records, each record filling `each` labels.
  std::string List(const std::string& name, int records, int each) {
    std::string text = "Имя;Цена;Количество\n";
    for (int i = 1; i <= records; ++i)
      text += "Товар " + std::to_string(i) + ";" + std::to_string(i * 10) + ";" +
              std::to_string(each) + "\n";
    test_support::WriteFile(data + name, text);
    return data + name;
  }
  void Choose(ui::TDataFilePanel& panel, const std::string& file) {
    answers.push_back([file](QDialog& dialog) {
      EXPECT_EQ(dialog.windowTitle(), "Данные для этикеток");
      ChooseFile(file)(dialog);
    });
    panel.btData->click();
    Settle();
  }
  void Send(const std::string& fileName) {
    SelectFile(window->sgMyGlyphs, fileName);
    window->aGlyphSendToGroup->trigger();
    Settle();
  }
};

TEST_F(DataPanel, ChosenListShowsItsFirstRecordAndCountsThePages) {
  ui::TfmMain& w = Open();
  SelectFile(w.sgMyGlyphs, "a.doc");
  ui::TDataFilePanel& panel = PanelOf(w.pDistributePrint);
  EXPECT_FALSE(panel.btClearData->isEnabled());
  w.edNumberToPrint->setText("1");
  EXPECT_EQ(w.lbPages->text(), "1");

  Choose(panel, List("goods.csv", 10, 3));
  ASSERT_TRUE(panel.Data());
  EXPECT_EQ(panel.lbData->text().toStdString(),
            "goods.csv — 10 записей (30 этикеток)\nИмя: Товар 1; Цена: 10; Количество: 3");
  EXPECT_EQ(w.lbPages->text(), "3") << "30 labels on 12 positions, the number of sets ignored";

  panel.btClearData->click();
  EXPECT_FALSE(panel.Data());
  EXPECT_EQ(w.lbPages->text(), "1");
  EXPECT_EQ(Messages(), "");
}

TEST_F(DataPanel, AListThatCannotBeReadIsReportedAndChangesNothing) {
  ui::TfmMain& w = Open();
  SelectFile(w.sgMyGlyphs, "a.doc");
  ui::TDataFilePanel& panel = PanelOf(w.pDistributePrint);
  Choose(panel, List("good.csv", 1, 1));
  test_support::WriteFile(data + "bad.csv", "Имя;Количество\nИван;много\n");
  Choose(panel, data + "bad.csv");
  EXPECT_NE(Messages().find("bad.csv», строка 2"), std::string::npos) << Messages();
  ASSERT_TRUE(panel.Data());
  EXPECT_EQ(panel.Data()->FileName, data + "good.csv");
  answers.push_back([](QDialog& dialog) { dialog.reject(); });
  panel.btData->click();
  Settle();
  EXPECT_EQ(panel.Data()->FileName, data + "good.csv") << "a cancelled choice keeps the list";
}

TEST_F(DataPanel, EachGlyphOfTheGroupHasItsOwnList) {
  ui::TfmMain& w = Open();
  auto wizard = std::make_unique<ui::TfmGroupPrintWizard>(w);
  w.GroupPrintWizard = wizard.get();
  Send("a.doc");
  Send("b.doc");
  ui::TfmGroupPrintWizard& wz = *wizard;
  ui::TDataFilePanel& panel = PanelOf(wz.pDistributePrint);
  wz.edNumberToPrint->setText("2");
  EXPECT_EQ(wz.lbPages->text(), "1");

  Choose(panel, List("b.csv", 20, 1));  // for b, the row sent last
  EXPECT_EQ(wz.lbPages->text(), "2") << "20 records of b and 2 sets of a: 22 labels";
  wz.sg->SetRow(0);
  wz.sgSelectCell(0);
  EXPECT_FALSE(panel.Data()) << "a has no list of its own";
  wz.sg->SetRow(1);
  wz.sgSelectCell(1);
  ASSERT_TRUE(panel.Data());
  EXPECT_EQ(panel.Data()->FileName, data + "b.csv");
  const cloning::TCloneParams glyphs = wz.Glyphs();
  ASSERT_EQ(glyphs.size(), 2u);
  EXPECT_FALSE(glyphs[0].Data);
  EXPECT_TRUE(glyphs[1].Data);
  wz.aDelFromGridExecute();
  EXPECT_EQ(wz.GlyphCount, 1);
  EXPECT_FALSE(wz.Glyphs()[0].Data) << "the list went with its glyph";
  w.GroupPrintWizard = nullptr;
}

}  // namespace
}  // namespace ui_test
