// Failures inside the windows' handlers: reported through the general error report, after
// which the program goes on; and the user's open documents are never lost on the way.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <filesystem>
#include <fstream>

#include "UiSupport.h"
#include "app/uCommon.h"
#include "ui/ufmGroupPrintWizard.h"
#include "wordlink/uExtAppDocument.h"
#include "wordproc/Dialogs.h"

namespace ui_test {
namespace {

namespace fs = std::filesystem;

class Faults : public UiTest {
 protected:
  // A second paper size whose template is damaged: counting its labels fails.
  void AddDamagedTemplate() {
    std::ofstream(data + "Оттиски/Визитки/Шаблон_Bad.doc") << "PK\x03\x04 a damaged package";
  }
  static void Choose(QComboBox* box, const char* text) {
    const int index = box->findText(text);
    ASSERT_GE(index, 0) << text;
    box->setCurrentIndex(index);
    emit box->activated(index);
    Settle();
  }
  int Reports() const {
    const std::string log = Messages();
    int n = 0;
    for (std::size_t at = log.find("Шаблон_Bad.doc"); at != std::string::npos;
         at = log.find("Шаблон_Bad.doc", at + 1))
      ++n;
    return n;
  }
  void TearDown() override {
    wizard.reset();
    UiTest::TearDown();
  }
  std::unique_ptr<ui::TfmGroupPrintWizard> wizard;
};

TEST_F(Faults, AFailingCountInThePanelIsReportedAndThePanelGoesOn) {
  AddDamagedTemplate();
  ui::TfmMain& w = Open();
  SelectFile(w.sgMyGlyphs, "a.doc");
  Choose(w.cbPaperSize, "A4");
  const int before = Reports();
  Choose(w.cbPaperSize, "Bad");
  EXPECT_EQ(Reports(), before + 1);
  w.edNumberToPrint->setText("7");
  EXPECT_EQ(Reports(), before + 2) << "the number field's handler fails the same way";
  Choose(w.cbPaperSize, "A4");
  w.edNumberToPrint->setText("25");
  EXPECT_EQ(w.lbPages->text(), "3") << "and the panel still counts";
}

TEST_F(Faults, AFailingCountInTheWizardIsReportedAndTheWizardGoesOn) {
  AddDamagedTemplate();
  ui::TfmMain& w = Open();
  wizard = std::make_unique<ui::TfmGroupPrintWizard>(w);
  w.GroupPrintWizard = wizard.get();
  SelectFile(w.sgMyGlyphs, "a.doc");
  Choose(w.cbPaperSize, "A4");
  w.aGlyphSendToGroup->trigger();
  Settle();
  ui::TfmGroupPrintWizard& wz = *wizard;
  ASSERT_EQ(wz.GlyphCount, 1);
  const int before = Reports();

  wz.cbPaperSize->setCurrentIndex(wz.cbPaperSize->findText("Bad"));
  EXPECT_EQ(Reports(), before + 1) << "the paper box";
  wz.edNumberToPrint->setText("3");
  EXPECT_EQ(Reports(), before + 2) << "the number field";
  wz.sg->item(0, ui::TfmGroupPrintWizard::kCountColumn)->setText("2");
  EXPECT_EQ(Reports(), before + 3) << "the count cell";

  wz.cbPaperSize->setCurrentIndex(wz.cbPaperSize->findText("A4"));
  EXPECT_EQ(wz.lbPages->text(), "1") << "(2 x 3 - 1) div 12 + 1";
  EXPECT_TRUE(wz.isVisible());
}

TEST_F(Faults, AFailingHandlerOfTheWordProcessorsWindowIsReported) {
  ui::TfmMain& w = Open();
  SelectFile(w.sgMyGlyphs, "a.doc");
  w.aEditGlyph->trigger();
  Settle();
  auto* word = qobject_cast<QMainWindow*>(WordWindow());
  ASSERT_NE(word, nullptr);
  wordproc::SetDialogResponder([](wordproc::DialogKind kind, const std::string&) {
    if (kind == wordproc::DialogKind::PageSetup)
      throw std::runtime_error("диалог параметров страницы недоступен");
    return wordproc::DialogReply(wordproc::kDialogNo);
  });
  auto* pageSetup = word->findChild<QAction*>("actionPageSetup");
  ASSERT_NE(pageSetup, nullptr);
  pageSetup->trigger();
  Settle();
  EXPECT_NE(Messages().find("диалог параметров страницы недоступен"), std::string::npos)
      << Messages();
  EXPECT_TRUE(word->isVisible()) << "the window and its document stay";
  EXPECT_NE(app::AppController->FindDocument(data + "Оттиски/Визитки/Мои оттиски/a.doc"), nullptr);
}

// The user edits the sheet template itself; counting its labels for the page count must not
// find that document, let alone close it without saving.
TEST_F(Faults, CountingLabelsLeavesTheUsersOpenTemplateAndItsEdits) {
  ui::TfmMain& w = Open();
  const std::string path = data + "Оттиски/Визитки/Шаблон_A4.doc";
  answers.push_back(ChooseFile(path));
  w.aGlyphOpen->trigger();
  Settle();
  wordlink::TExtAppDocument* open = app::AppController->FindDocument(path);
  ASSERT_NE(open, nullptr);
  open->Document.get("Shapes").call("AddShape", 1, 10.0f, 10.0f, 40.0f, 40.0f);

  SelectFile(w.sgMyGlyphs, "a.doc");
  w.edNumberToPrint->setText("13");
  EXPECT_EQ(w.lbPages->text(), "2") << "the saved template has 12 positions";

  ASSERT_EQ(app::AppController->FindDocument(path), open);
  EXPECT_FALSE(open->Document.isEmpty());
  EXPECT_EQ(open->Document.get("Shapes").get("Count").toInt(), 13) << "the edit is still there";
  EXPECT_NE(WordWindow(), nullptr);
}

TEST_F(Faults, AFailedPrintIsToldToTheUser) {
  ui::TfmMain& w = Open();
  wizard = std::make_unique<ui::TfmGroupPrintWizard>(w);
  w.GroupPrintWizard = wizard.get();
  SelectFile(w.sgMyGlyphs, "a.doc");
  w.aEditGlyph->trigger();
  w.aGlyphSendToGroup->trigger();
  Settle();
  std::ofstream(dir + "blocker") << "x";
  setenv("VSP_PRINT_TO_PDF_DIR", (dir + "blocker/sub").c_str(), 1);

  wizard->aQuickPrint->trigger();
  Settle();
  EXPECT_NE(Messages().find("Не удалось напечатать документ"), std::string::npos) << Messages();
  EXPECT_NE(Messages().find("a.doc"), std::string::npos);

  const std::size_t before = Messages().size();
  SelectFile(w.sgMyGlyphs, "a.doc");
  w.aQuickPrint->trigger();
  Settle();
  EXPECT_NE(Messages().find("Не удалось напечатать документ", before), std::string::npos)
      << "the panel's own print says so too";
}

}  // namespace
}  // namespace ui_test
