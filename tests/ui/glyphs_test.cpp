// The new-glyph menu and the extraction command, driven through the panel.
#include <QAction>
#include <QMenu>
#include <filesystem>

#include "UiSupport.h"
#include "app/uCommon.h"

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

}  // namespace
}  // namespace ui_test
