// New glyphs, glyphs extracted from sheets and the group print wizard arrive with their own
// commands; until then these commands leave everything as it is.
#include "ui/ufmMain.h"

namespace ui {

void TfmMain::aGlyphNewExecute(QObject* sender) {}

void TfmMain::aExtractGlyphExecute() {}

void TfmMain::aGlyphSendToGroupExecute() {}

}  // namespace ui
