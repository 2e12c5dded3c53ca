// The work cloning does inside documents: a glyph reduced to one floating shape, the label
// positions and lines read from a sheet template, page after page filled with named glyph
// copies, and the label count of a template for the page counts.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "clone/uClone.h"
#include "wordlink/Automation.h"
#include "wordlink/NonPrintable.h"

namespace cloning {

inline constexpr const char* kClonedPrefix = "VSP_CLONED_";
// The cutting lines of a sheet never print: they carry the non-printing mark.
inline const std::string kTemplateLinePrefix = std::string(wordlink::kNonPrintablePrefix) + "L";
inline constexpr int kNoGraphics = -1;

// Right and Bottom are inclusive, as the template's shapes were read.
struct TLabelPosition {
  float Left = 0, Top = 0, Right = 0, Bottom = 0;
  float Width() const { return Right - Left + 1; }
  float Height() const { return Bottom - Top + 1; }
};

struct TTemplateLine {
  TLabelPosition Box;
  float Weight = 0;
  std::int32_t DashStyle = 0;
};

struct TSheetTemplate {
  std::vector<TLabelPosition> Positions;
  std::vector<TTemplateLine> Lines;
};

// Reduces a glyph's working copy to one floating shape spanning its page, anchored in the only
// paragraph left. kNoGraphics when the glyph has no shape of its own.
int PrepareGlyphDocument(const wordlink::Variant& doc);

// Reads the positions (shapes with area) and lines (shapes without) of the template's working
// document, then clears its content; the page set-up stays.
TSheetTemplate ReadSheetTemplate(const wordlink::Variant& doc);

// How a filling run treats records it cannot merge: they stop it (TMergeError), or they are
// left out and their messages listed in Skipped.
struct TMergeOptions {
  bool SkipBadRecords = false;
  std::vector<std::string>* Skipped = nullptr;
};

// Fills the cleared sheet with the glyphs' working copies (one per glyph, in order), page after
// page, and trims the page left empty after the last one, the labels in the order of
// TLabelSequence; a glyph with data has each copy merged with its record. step runs once per
// glyph's set or record placed. Nothing is filled when there are no labels, or when the
// template has no label position. The first page's positions before firstPosition (from 1)
// stay empty: a sheet already partly used.
void FillSheet(const wordlink::Variant& doc, const TSheetTemplate& sheet,
               const TCloneParams& glyphs, const std::vector<std::string>& workingCopies, int sets,
               const std::function<void()>& step, int firstPosition = 1,
               const TMergeOptions& merge = {});

// Label positions of a template; 0 when it does not exist. The last answer is kept until
// another category or paper size is asked for.
int CountLabelPositions(wordlink::TExtAppController& controller, const std::string& dataFolder,
                        const std::string& category, const std::string& paperName);
// Forgets the kept answer.
void ResetLabelCountCache();

}  // namespace cloning
