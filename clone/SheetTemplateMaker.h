// Sheet templates made from label products: an ordinary "Шаблон_<paper>.doc" in a glyph
// category's folder with one shape per label position (rectangle, rounded rectangle or oval)
// and zero-width or zero-height lines where neighbouring labels touch, which cloning redraws as
// non-printing cut guides. Everything is drawn through the word processor's automation.
#pragma once

#include <string>

#include "labels/SheetGeometry.h"
#include "wordlink/Automation.h"
#include "wordlink/uExtAppController.h"

namespace cloning {

// MsoAutoShapeType numbers of the label outlines.
inline constexpr int kRectangleShape = 1;
inline constexpr int kRoundedRectangleShape = 5;
inline constexpr int kOvalShape = 9;

// The name a product's template is saved under: its Id, with the characters a file name cannot
// hold ("/", "\", control characters) replaced by "-" and no leading dot.
std::string PaperNameFor(const std::string& productId);
// Why a paper name cannot name a template file, in Russian; empty when it can.
std::string PaperNameProblem(const std::string& paperName);

// Sets the document's page to the sheet and draws the labels and cut lines on it.
void DrawSheetTemplate(const wordlink::Variant& doc, const labels::SheetLayout& sheet);

// Writes the template of paperName into the category's folder of glyphs (which must exist) in
// a hidden document of the controller's worker instance, replacing a template of that name.
// Returns the file's path. Throws std::runtime_error naming the category or the file; nothing
// is written then.
std::string MakeSheetTemplate(wordlink::TExtAppController& controller,
                              const std::string& dataFolder, const std::string& category,
                              const std::string& paperName, const labels::SheetLayout& sheet);

}  // namespace cloning
