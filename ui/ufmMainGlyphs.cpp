// New glyphs, glyphs extracted from sheets, and glyphs sent to the group print wizard.
#include <QAction>

#include "app/uGlyphCommands.h"
#include "ui/ufmGroupPrintWizard.h"
#include "ui/ufmMain.h"

namespace ui {

void TfmMain::aGlyphNewExecute(QObject* sender) {
  // Only the glyph-type menu items carry a type; the command itself (Ctrl+N) makes a blank
  // document and nothing more.
  const app::TGlyphType* type = nullptr;
  auto* item = qobject_cast<QAction*>(sender);
  if (item && item != aGlyphNew && item->data().isValid()) {
    int tag = item->data().toInt();
    if (tag >= 0 && tag < int(app::GlyphTypes.size())) type = &app::GlyphTypes[std::size_t(tag)];
  }
  wordlink::TExtAppDocument* doc =
      app::NewGlyphDocument(*app::AppController, type, app::DataFolder);
  if (doc && type) ArrangeWordWindow(doc);
}

void TfmMain::aExtractGlyphExecute() {
  catalogue::TPreviewItem* sheet = EntryAtRow(-1);
  if (!sheet || sheet->Kind != 1) return;
  std::string path = app::ExtractGlyph(*app::AppController, sheet->FullPath(), app::DataFolder);
  if (path.empty()) return;
  catalogue::TPreviewItem* glyph = PreviewList().FindOrAdd(path, 0, 0);
  if (glyph) EditItem(*glyph);
}

void TfmMain::aGlyphSendToGroupExecute() {
  auto* wizard = qobject_cast<TfmGroupPrintWizard*>(GroupPrintWizard.data());
  TStringGrid* grid = ActiveGrid();
  if (!wizard || !grid || !EntryAtRow(-1)) return;
  const catalogue::TPreviewItemPtr entry = grid->Object(grid->Row());
  if (entry && !entry->CategoryOf().empty()) wizard->SendGlyph(entry);
}

}  // namespace ui
