// The cloning and printing group: page counts, the number field, cloning one glyph into a sheet
// beside the panel, and printing what is not yet open.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTabWidget>
#include <filesystem>

#include "UiSupport.h"
#include "app/uCommon.h"
#include "wordlink/uExtAppDocument.h"

namespace ui_test {
namespace {

namespace fs = std::filesystem;
using Print = UiTest;

int FilesIn(const std::string& folder) {
  int count = 0;
  for (const auto& file : fs::directory_iterator(folder)) count += file.is_regular_file();
  return count;
}

TEST_F(Print, PagesFollowTheNumberAndTheTemplatesLabelCount) {
  ui::TfmMain& w = Open();
  SelectFile(w.sgMyGlyphs, "a.doc");
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"25", "3"}, {"24", "2"}, {"12", "1"}, {"13", "2"}, {"0", "0"}};
  for (const auto& [number, pages] : cases) {
    w.edNumberToPrint->setText(number);
    EXPECT_EQ(w.lbPages->text(), pages) << number;
  }
  EXPECT_EQ(Messages(), "");
}

TEST_F(Print, OnlyDigitsAreAcceptedAndTheFieldIsEmptied) {
  ui::TfmMain& w = Open();
  SelectFile(w.sgMyGlyphs, "a.doc");
  w.edNumberToPrint->setText("1x");
  EXPECT_EQ(w.edNumberToPrint->text(), "");
  EXPECT_EQ(Messages(), "Varnel Stampora\tПри указании числа оттисков допустимы только цифры\n")
      << "shown once, not again for the emptied field";
  w.edNumberToPrint->setText("5");
  w.edNumberToPrint->setText("");
  EXPECT_EQ(Messages().size(), 2 * std::string("Varnel Stampora\tПри указании числа оттисков "
                                               "допустимы только цифры\n")
                                       .size())
      << "clearing the field counts as a wrong number";
}

TEST_F(Print, ArrowsStepTheNumber) {
  ui::TfmMain& w = Open();
  SelectFile(w.sgMyGlyphs, "a.doc");
  w.edNumberToPrint->setText("24");
  w.udNumberToPrint->Click(+1);
  EXPECT_EQ(w.edNumberToPrint->text(), "25");
  EXPECT_EQ(w.lbPages->text(), "3");
}

TEST_F(Print, CloningPutsTheSheetBesideThePanel) {
  ui::TfmMain& w = Open();
  SelectFile(w.sgMyGlyphs, "a.doc");
  const QString info = w.laGlyphInfo->text();
  w.edNumberToPrint->setText("3");
  w.aGlyphClone->trigger();
  Settle();
  EXPECT_EQ(Messages(), "");
  ASSERT_EQ(w.sgOpenDocs->Tag, 1);
  const catalogue::TPreviewItemPtr sheet = w.sgOpenDocs->Object(0);
  EXPECT_EQ(sheet->Kind, catalogue::kSheetKind);
  wordlink::TExtAppDocument* doc = app::AppController->FindDocument(sheet->FullPath());
  ASSERT_NE(doc, nullptr);
  int copies = 0;
  const Variant shapes = doc->Document.get("Shapes");
  for (int i = 1; i <= shapes.get("Count").toInt(); ++i)
    copies += shapes.call("Item", i).get("Name").toString().rfind("VSP_CLONED_", 0) == 0;
  EXPECT_EQ(copies, 3);
  EXPECT_TRUE(w.pbar->isHidden());
  EXPECT_EQ(w.laGlyphInfo->text(), info);
  QWidget* word = WordWindow();
  ASSERT_NE(word, nullptr);
  EXPECT_EQ(word->frameGeometry().left(), w.frameGeometry().right() + 1);
}

TEST_F(Print, PrintingAnEntryThatIsNotOpenOpensItFirst) {
  ui::TfmMain& w = Open();
  SelectFile(w.sgMyGlyphs, "a.doc");
  w.aPrint->trigger();
  EXPECT_EQ(w.sgOpenDocs->Tag, 1);
  EXPECT_EQ(w.PageControl->currentWidget(), w.tsOpenDocs);
  EXPECT_EQ(FilesIn(dir + "pdf"), 1);
  w.aQuickPrint->trigger();
  EXPECT_EQ(w.sgOpenDocs->Tag, 1) << "an open document is printed as it is";
  EXPECT_EQ(FilesIn(dir + "pdf"), 2);
}

}  // namespace
}  // namespace ui_test
