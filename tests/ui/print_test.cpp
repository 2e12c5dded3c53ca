// The cloning and printing group: page counts, the number field, cloning one glyph into a sheet
// beside the panel, and printing what is not yet open.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <filesystem>
#include <memory>

#include "UiSupport.h"
#include "app/uCommon.h"
#include "ui/ModalDialogs.h"
#include "wordlink/AutoImpl.h"
#include "wordlink/uExtAppDocument.h"
#include "wordproc/Dialogs.h"

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

TEST_F(Print, QuickPrintWithoutAPrinterSaysWhereThePdfWentAndOpensIt) {
  unsetenv("VSP_PRINT_TO_PDF_DIR");  // and CUPS, in the tests, knows no printer
  std::vector<std::string> opened;
  ui::SetShellOpener([&](const std::string& target) { opened.push_back(target); });
  ui::TfmMain& w = Open();
  SelectFile(w.sgMyGlyphs, "a.doc");
  std::string told;
  answers.push_back([&](QDialog& dialog) {
    auto& box = dynamic_cast<QMessageBox&>(dialog);
    EXPECT_EQ(box.windowTitle(), "Varnel Stampora");
    told = box.text().toStdString();
    ASSERT_NE(box.button(QMessageBox::Open), nullptr);
    box.button(QMessageBox::Open)->click();
  });
  w.aQuickPrint->trigger();
  ASSERT_EQ(opened.size(), 1u) << Messages();
  const fs::path pdf = opened[0];
  EXPECT_EQ(pdf.extension(), ".pdf");
  EXPECT_EQ(pdf.parent_path().string() + "/", tempFolder) << "the private temporary folder";
  EXPECT_TRUE(fs::is_regular_file(pdf));
  EXPECT_NE(told.find("Принтер не найден"), std::string::npos) << told;
  EXPECT_NE(told.find(pdf.string()), std::string::npos) << told;

  answers.push_back([](QDialog& dialog) {
    dynamic_cast<QMessageBox&>(dialog).button(QMessageBox::Close)->click();
  });
  w.aQuickPrint->trigger();
  EXPECT_EQ(opened.size(), 1u) << "closing the message opens nothing";
  EXPECT_EQ(Messages(), "");
}

TEST_F(Print, TheWordProcessorsOwnPrintOfASheetWithGuidesIsRefusedBeforeItsDialog) {
  // The responder outlives the test body: the documents close in TearDown.
  auto printDialogs = std::make_shared<int>(0);
  wordproc::SetDialogResponder([printDialogs](wordproc::DialogKind kind, const std::string&) {
    if (kind != wordproc::DialogKind::Print) return wordproc::DialogReply(wordproc::kDialogNo);
    ++*printDialogs;
    return wordproc::DialogReply(wordproc::kDialogOk);
  });
  ui::TfmMain& w = Open();
  w.PageControl->setCurrentWidget(w.tsMySheets);
  SelectFile(w.sgMySheets, "s1.doc");
  w.aEditSheet->trigger();
  wordlink::TExtAppDocument* doc =
      app::AppController->FindDocument(w.sgOpenDocs->Object(0)->FullPath());
  ASSERT_NE(doc, nullptr);
  Variant guide = doc->Document.get("Shapes").call("AddLine", 10.0f, 10.0f, 10.0f, 400.0f);
  guide.put("Name", "VSP_NONPRINTABLE_L1");
  QWidget* word = WordWindow();
  ASSERT_NE(word, nullptr);
  auto* print = word->findChild<QAction*>("actionPrint");
  ASSERT_NE(print, nullptr);

  print->trigger();
  EXPECT_EQ(Messages(), std::string("Varnel Stampora\t") + wordlink::kNonPrintableMessage + "\n");
  EXPECT_EQ(*printDialogs, 0) << "the print dialog came before the refusal";
  EXPECT_EQ(FilesIn(dir + "pdf"), 0);

  guide.put("Name", "Направляющая");
  print->trigger();
  EXPECT_EQ(*printDialogs, 1);
  EXPECT_EQ(FilesIn(dir + "pdf"), 1) << "without guides the sheet prints";
}

}  // namespace
}  // namespace ui_test
