// Editing: entries opened in the word processor and listed on the open-documents tab, the word
// processor's window beside the panel, documents closed elsewhere, ending the editing and the
// exit dialog.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <filesystem>

#include "UiSupport.h"
#include "app/uCommon.h"
#include "ui/ufmSaveDocs.h"
#include "wordlink/uExtAppDocument.h"

namespace ui_test {
namespace {

using Edit = UiTest;

wordlink::TExtAppDocument* Found(const catalogue::TPreviewItemPtr& entry) {
  return app::AppController->FindDocument(entry->FullPath());
}

TEST_F(Edit, EditingAListedEntryAgainSelectsItsRow) {
  ui::TfmMain& w = Open();
  for (const char* name : {"a.doc", "b.doc", "a.doc"}) {
    w.PageControl->setCurrentWidget(w.tsMyGlyphs);
    SelectFile(w.sgMyGlyphs, name);
    w.aEditGlyph->trigger();
  }
  EXPECT_EQ(w.PageControl->currentWidget(), w.tsOpenDocs);
  ASSERT_EQ(w.sgOpenDocs->Tag, 2);
  EXPECT_EQ(w.sgOpenDocs->Row(), 0);
  EXPECT_EQ(w.sgOpenDocs->Object(0)->Path, "Оттиски/Визитки/Мои оттиски/a.doc");
  wordlink::TExtAppDocument* doc = Found(w.sgOpenDocs->Object(0));
  ASSERT_NE(doc, nullptr);
  EXPECT_TRUE(doc->Visible);
  for (QAction* on : {w.aSave, w.aSaveAs, w.aEndEdit}) EXPECT_TRUE(on->isEnabled());
}

TEST_F(Edit, DoubleClickEditsTheEntryAndSavingIsNoticed) {
  ui::TfmMain& w = Open();
  w.PageControl->setCurrentWidget(w.tsMySheets);
  const int row = SelectFile(w.sgMySheets, "s3.doc");
  const QPoint at = w.sgMySheets->CellRect(1, row).center();
  QMouseEvent click(QEvent::MouseButtonDblClick, at, w.sgMySheets->viewport()->mapToGlobal(at),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w.sgMySheets->viewport(), &click);
  ASSERT_EQ(w.sgOpenDocs->Tag, 1);
  const std::string file = data + "Листы/Визитки/Коллекция листов/s3.doc";
  EXPECT_EQ(w.sgOpenDocs->Object(0)->FullPath(), file);

  const auto before = std::filesystem::file_size(file);
  Found(w.sgOpenDocs->Object(0))->Document.get("Content").put("Text", "Новый текст листа");
  w.aSave->trigger();
  EXPECT_NE(std::filesystem::file_size(file), before);
  EXPECT_TRUE(app::DocumentsSaved) << "the word processor announced the save";
}

TEST_F(Edit, TemplateEntryOpensANewDocumentEachTimeListedUnderItsName) {
  ui::TfmMain& w = Open();
  for (int i = 0; i < 2; ++i) {
    w.PageControl->setCurrentWidget(w.tsMySheets);
    SelectFile(w.sgMySheets, "t.dot");
    w.aEditSheet->trigger();
  }
  ASSERT_EQ(w.sgOpenDocs->Tag, 2);
  const auto& first = w.sgOpenDocs->Object(0);
  const auto& second = w.sgOpenDocs->Object(1);
  EXPECT_NE(first->Path, second->Path);
  for (const auto& entry : {first, second}) {
    ASSERT_NE(Found(entry), nullptr) << entry->Path;
    EXPECT_EQ(Found(entry)->Document.get("Name").toString(), entry->Path);
    EXPECT_EQ(entry->Kind, catalogue::kSheetKind);
  }
}

TEST_F(Edit, WordWindowStartsAtThePanelsRightEdgeAndFillsTheWorkArea) {
  ui::TfmMain& w = Open();
  SelectFile(w.sgMyGlyphs, "a.doc");
  w.aEditGlyph->trigger();
  Settle();
  QWidget* word = WordWindow();
  ASSERT_NE(word, nullptr);
  const QRect area = w.screen()->availableGeometry();
  EXPECT_EQ(word->frameGeometry().left(), w.frameGeometry().right() + 1);
  EXPECT_EQ(word->frameGeometry().top(), area.top());
  // Width and Height are the outer bounds: the frame ends at the work area's edges.
  EXPECT_EQ(word->frameGeometry().right(), area.right());
  EXPECT_EQ(word->frameGeometry().bottom(), area.bottom());
  EXPECT_FALSE(word->isMaximized());
  const Variant window = Found(w.sgOpenDocs->Object(0))->Document.get("ActiveWindow");
  EXPECT_EQ(window.get("View").get("Type").toInt(), 3);
  EXPECT_EQ(window.get("Left").toInt(), (w.frameGeometry().right() + 1) * 3 / 4);
}

TEST_F(Edit, MinimiseOptionMaximisesTheWordProcessorInstead) {
  ui::TfmMain& w = Open();
  w.ckOnWordMinimize->trigger();
  SelectFile(w.sgMyGlyphs, "a.doc");
  w.aEditGlyph->trigger();
  Settle();
  QWidget* word = WordWindow();
  ASSERT_NE(word, nullptr);
  EXPECT_TRUE(word->isMaximized());
  EXPECT_TRUE(w.isMinimized());
}

TEST_F(Edit, DocumentClosedInTheWordProcessorLeavesAtTheNextActivation) {
  ui::TfmMain& w = Open();
  w.PageControl->setCurrentWidget(w.tsMySheets);
  SelectFile(w.sgMySheets, "s1.doc");
  w.aEditSheet->trigger();
  ASSERT_EQ(w.sgOpenDocs->Tag, 1);
  Found(w.sgOpenDocs->Object(0))->Document.call("Close", 0);
  EXPECT_EQ(w.sgOpenDocs->Tag, 1) << "nothing happens before the program is activated";
  w.ApplicationEvents1Activate();
  EXPECT_EQ(w.sgOpenDocs->Tag, 0);
  EXPECT_TRUE(w.sgOpenDocs->isHidden());
  EXPECT_EQ(w.PageControl->currentWidget(), w.tsMySheets) << "the tab of the document's kind";
}

TEST_F(Edit, EndingTheEditingClosesTheDocumentAndDropsItsRow) {
  ui::TfmMain& w = Open();
  for (const char* name : {"a.doc", "b.doc"}) {
    w.PageControl->setCurrentWidget(w.tsMyGlyphs);
    SelectFile(w.sgMyGlyphs, name);
    w.aEditGlyph->trigger();
  }
  const catalogue::TPreviewItemPtr second = w.sgOpenDocs->Object(1);
  wordlink::TExtAppDocument* doc = Found(second);
  w.aEndEdit->trigger();
  EXPECT_TRUE(doc->Document.isEmpty());
  ASSERT_EQ(w.sgOpenDocs->Tag, 1);
  EXPECT_EQ(w.sgOpenDocs->Row(), 0);

  // A document already closed in the word processor keeps its row: there is nothing to end.
  Found(w.sgOpenDocs->Object(0))->Document.call("Close", 0);
  w.aEndEdit->trigger();
  EXPECT_EQ(w.sgOpenDocs->Tag, 1);
}

TEST_F(Edit, EndingTheLastEditingShowsTheTabOfItsKind) {
  ui::TfmMain& w = Open();
  w.PageControl->setCurrentWidget(w.tsMySheets);
  SelectFile(w.sgMySheets, "s2.doc");
  w.aEditSheet->trigger();
  w.aEndEdit->trigger();
  EXPECT_EQ(w.sgOpenDocs->Tag, 0);
  EXPECT_EQ(w.PageControl->currentWidget(), w.tsMySheets);
}

TEST_F(Edit, ExitWithoutDocumentsOfOursAsksNothing) {
  ui::TfmMain& w = Open();
  SelectFile(w.sgMyGlyphs, "a.doc");
  w.aEditGlyph->trigger();
  Found(w.sgOpenDocs->Object(0))->Document.call("Close", 0);
  // A document the user opened is found, but it is not the program's to count.
  Variant worker = app::AppController->Instance(0)->Application;
  worker.get("Documents").call("Open", data + "Оттиски/Визитки/Коллекция оттисков/b.doc");
  ASSERT_NE(app::AppController->FindDocument(data + "Оттиски/Визитки/Коллекция оттисков/b.doc"),
            nullptr);
  w.aExit->trigger();
  EXPECT_FALSE(w.isVisible());
}

TEST_F(Edit, ExitDialogDecidesAboutTheDocumentsWeOpened) {
  ui::TfmMain& w = Open();
  SelectFile(w.sgMyGlyphs, "a.doc");
  w.aEditGlyph->trigger();
  wordlink::TExtAppDocument* doc = Found(w.sgOpenDocs->Object(0));
  answers.push_back([](QDialog& dialog) {
    auto& exit = dynamic_cast<ui::TfmSaveDocs&>(dialog);
    EXPECT_EQ(exit.Label1->text(),
              "Из программы было открыто 1 документов. \nВыберите ваши действия:");
    EXPECT_TRUE(exit.Button3->isDefault());
    exit.Button4->click();
  });
  w.aExit->trigger();
  EXPECT_TRUE(w.isVisible()) << "exit cancelled";
  answers.push_back(Cancel());
  w.aExit->trigger();
  EXPECT_TRUE(w.isVisible()) << "closing the dialog cancels the exit too";
  answers.push_back(Press("Button1"));
  w.aExit->trigger();
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(doc->Document.isEmpty()) << "closed without saving";
}

TEST_F(Edit, KeepingTheDocumentsLeavesThemOpenAndNoLongerOurs) {
  ui::TfmMain& w = Open();
  SelectFile(w.sgMyGlyphs, "a.doc");
  w.aEditGlyph->trigger();
  wordlink::TExtAppDocument* doc = Found(w.sgOpenDocs->Object(0));
  answers.push_back(Press("Button3"));
  w.aExit->trigger();
  EXPECT_FALSE(w.isVisible());
  EXPECT_FALSE(doc->Document.isEmpty());
  EXPECT_TRUE(doc->NotOwned);
}

}  // namespace
}  // namespace ui_test
