// The word processor work of the two commands that make glyph documents: a new glyph for a
// glyph type, and a glyph extracted from a cloned sheet. The main window wires them to its
// menus and hands the results to its editing operations.
#pragma once

#include <string>

#include "app/uCommon.h"

namespace app {

inline constexpr const char* kClonedPrefix = "VSP_CLONED_";
inline constexpr const char* kExtractedGlyphName = "Извлеченный_оттиск.doc";
inline constexpr const char* kNoFreeNameMessage =
    "Не удалось подобрать свободное имя для извлеченного оттиска в папке ";

// A new visible blank document. With a glyph type it becomes that type's glyph: page size and
// margins, the non-printing outline shape selected, the word processor's open folder set to
// the category's "Мои оттиски" folder. Without one (the command's shortcut) the blank
// document stays as it is. nullptr when no word processor is available, and when the type's
// category is no usable folder name (a message says so and nothing is created).
wordlink::TExtAppDocument* NewGlyphDocument(wordlink::TExtAppController& controller,
                                            const TGlyphType* type, const std::string& dataFolder);

// Copies the first "VSP_CLONED_" shape of the sheet into a new visible document saved as a
// fresh "Извлеченный_оттиск*.doc" in the "Другие/Мои оттиски" glyph folder, and returns its
// path relative to the data folder; empty when the sheet holds no such shape, cannot be opened,
// or no free name exists (then a message has been shown). A sheet that had to be opened hidden
// is closed again whatever happens.
std::string ExtractGlyph(wordlink::TExtAppController& controller, const std::string& sheetPath,
                         const std::string& dataFolder);

}  // namespace app
