// The new-glyph menu and the extraction command, driven through the panel.
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <filesystem>

#include "UiSupport.h"
#include "app/uCommon.h"
#include "wordproc/Dialogs.h"

namespace fs = std::filesystem;

namespace ui_test {
namespace {

class GlyphCommandsUi : public UiTest {};

TEST_F(GlyphCommandsUi, MenuItemMakesAGlyphOfItsTypeAndTheCommandABlankDocument) {
  ui::TfmMain& w = Open();
  const std::size_t before = app::AppController->CountOwnDocuments();
  ASSERT_FALSE(w.mnuNewGlyph->actions().isEmpty());
  w.mnuNewGlyph->actions().first()->trigger();
  ASSERT_EQ(std::size_t(app::AppController->CountOwnDocuments()), before + 1);
  wordlink::TExtAppDocument* glyph = nullptr;
  for (int i = 0; i < app::AppController->Count(); ++i)
    for (auto* d : app::AppController->Instance(i)->Documents)
      if (!d->NotOwned && d->Visible) glyph = d;
  ASSERT_NE(glyph, nullptr);
  Variant shapes = glyph->Document.get("Shapes");
  ASSERT_EQ(shapes.get("Count").toInt(), 1);
  EXPECT_EQ(shapes.call("Item", 1).get("Name").toString(), "VSP_NONPRINTABLE_1");
  EXPECT_NE(WordWindow(), nullptr);

  w.aGlyphNew->trigger();
  EXPECT_EQ(std::size_t(app::AppController->CountOwnDocuments()), before + 2);
}

TEST_F(GlyphCommandsUi, ExtractionFromTheSelectedSheetOpensTheNewGlyph) {
  ui::TfmMain& w = Open();
  w.PageControl->setCurrentWidget(w.tsMySheets);
  SelectFile(w.sgMySheets, "s1.doc");
  w.aExtractGlyph->setEnabled(true);
  w.aExtractGlyph->trigger();
  EXPECT_TRUE(fs::exists(data + "Оттиски/Другие/Мои оттиски/Извлеченный_оттиск.doc"));
  EXPECT_EQ(w.PageControl->currentWidget(), w.tsOpenDocs) << Messages();
}

QAction* WordAction(QWidget* word, const char* name) {
  return word ? word->findChild<QAction*>(name) : nullptr;
}

// The road a user takes: a new business card from the menu, drawn on and saved from the word
// processor's window into the catalogue, cloned onto its sheet and printed.
TEST_F(GlyphCommandsUi, ANewGlyphIsSavedClonedAndPrinted) {
  ui::TfmMain& w = Open();
  w.mnuNewGlyph->actions().at(1)->trigger();  // Визитка (90x50)
  wordlink::TExtAppDocument* glyph = nullptr;
  for (auto* d : app::AppController->Instance(1)->Documents)
    if (!d->NotOwned) glyph = d;
  ASSERT_NE(glyph, nullptr);
  glyph->Document.get("Shapes").call("AddShape", 1, 20.0f, 20.0f, 200.0f, 100.0f);
  const std::string file = data + "Оттиски/Визитки/Мои оттиски/card.doc";
  wordproc::SetDialogResponder([file](wordproc::DialogKind kind, const std::string&) {
    if (kind == wordproc::DialogKind::SaveAs)
      return wordproc::DialogReply{wordproc::kDialogOk, file};
    if (kind == wordproc::DialogKind::SaveChanges)
      return wordproc::DialogReply(wordproc::kDialogNo);
    return wordproc::DialogReply(wordproc::kDialogOk);
  });
  ASSERT_NE(WordAction(WordWindow(), "actionSave"), nullptr);
  WordAction(WordWindow(), "actionSave")->trigger();
  ASSERT_TRUE(fs::exists(file));
  EXPECT_TRUE(app::DocumentsSaved);

  w.ApplicationEvents1Activate();
  w.PageControl->setCurrentWidget(w.tsMyGlyphs);
  SelectFile(w.sgMyGlyphs, "card.doc");
  w.edNumberToPrint->setText("12");
  w.aGlyphClone->trigger();
  Settle();
  EXPECT_EQ(Messages(), "");
  ASSERT_EQ(w.PageControl->currentWidget(), w.tsOpenDocs);
  const int before = int(std::distance(fs::directory_iterator(dir + "pdf"), {}));
  w.aPrint->trigger();
  EXPECT_EQ(int(std::distance(fs::directory_iterator(dir + "pdf"), {})), before + 1);
}

}  // namespace
}  // namespace ui_test
