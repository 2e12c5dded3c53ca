#include "app/uGlyphCommands.h"

#include "catalogue/uCatalogueViews.h"
#include "platform/Files.h"
#include "platform/UserInteraction.h"

namespace app {

using wordlink::TExtAppDocument;
using wordlink::Variant;

namespace {

Variant AddOutline(const Variant& doc, const TGlyphType& type, float margin) {
  Variant shapes = doc.get("Shapes");
  double width = type.Width * PointsPerMm, height = type.Height * PointsPerMm;
  if (type.Oval) return shapes.call("AddShape", 9, margin, margin, width, height);
  return shapes.call("AddTextbox", 1, margin, margin, width, height);
}

void SetUpGlyphPage(const Variant& doc, const TGlyphType& type) {
  WriteDebugLog(
      std::to_string(doc.get("Application").get("Options").get("MeasurementUnit").toInt()));
  const float m = float(GlyphMargin) * PointsPerMm;
  Variant setup = doc.get("PageSetup");
  for (const char* margin : {"TopMargin", "BottomMargin", "LeftMargin", "RightMargin"})
    setup.put(margin, m);
  setup.put("PageWidth", 2.0 * m + type.Width * double(PointsPerMm));
  setup.put("PageHeight", 2.0 * m + type.Height * double(PointsPerMm));
  Variant outline = AddOutline(doc, type, m);
  outline.put("RelativeHorizontalPosition", 1);
  outline.put("RelativeVerticalPosition", 1);
  if (!type.Oval) outline.get("Line").get("ForeColor").put("RGB", 16777215);
  outline.put("Name", std::string(wordlink::kNonPrintablePrefix) + "1");
  outline.call("Select");
}

// Selects and copies the first cloned glyph of the sheet; false when there is none.
bool CopyFirstClonedShape(const Variant& sheet) {
  Variant shapes = sheet.get("Shapes");
  std::int32_t n = shapes.get("Count").toInt();
  for (std::int32_t i = 1; i <= n; ++i) {
    Variant shape = shapes.call("Item", i);
    if (shape.get("Name").toString().rfind(kClonedPrefix, 0) != 0) continue;
    shape.call("Select");
    sheet.get("Application").get("Selection").call("Copy");
    return true;
  }
  return false;
}

std::string SaveExtracted(wordlink::TExtAppController& controller, const std::string& name,
                          const std::string& dataFolder) {
  TExtAppDocument* glyph = controller.NewDocument(true);
  if (!glyph) return {};
  Variant selection = glyph->AppRef().get("Selection");
  selection.call("Paste");
  glyph->SaveAsDocument(name);
  selection.call("HomeKey", 6);
  selection.call("EndKey", 6, 1);
  selection.call("Copy");
  std::string fullName = glyph->Document.get("FullName").toString();
  return fullName.size() > dataFolder.size() ? fullName.substr(dataFolder.size()) : std::string();
}

// glyph_types.ini is outside data: its category becomes a folder name only when it is one, never
// a way out of the data folder ("..", separators, an absolute path).
bool CheckTypeCategory(const TGlyphType& type) {
  if (type.Category.empty()) return true;
  const std::string problem = catalogue::CategoryNameProblem(type.Category);
  if (problem.empty()) return true;
  platform::UI().messageBox(problem + "\nИсправьте категорию типа оттиска «" + type.Name +
                                "» в файле " + GlyphTypesFileName + ".",
                            "Внимание!", platform::MsgIcon::Warning, platform::MsgButtons::Ok);
  return false;
}

}  // namespace

TExtAppDocument* NewGlyphDocument(wordlink::TExtAppController& controller, const TGlyphType* type,
                                  const std::string& dataFolder) {
  if (type && !CheckTypeCategory(*type)) return nullptr;
  TExtAppDocument* doc = controller.NewDocument(true);
  if (!doc || !type) return doc;
  SetUpGlyphPage(doc->Document, *type);
  std::string folder = dataFolder + "Оттиски/" + type->Category + "/Мои оттиски";
  platform::ForceDirectories(folder);
  doc->AppRef().call("ChangeFileOpenDirectory", folder);
  return doc;
}

std::string ExtractGlyph(wordlink::TExtAppController& controller, const std::string& sheetPath,
                         const std::string& dataFolder) {
  TExtAppDocument* sheet = controller.OpenDocument(sheetPath, false, true);
  if (!sheet) return {};
  bool hidden = !sheet->AppRef().get("Visible").toBool();
  std::string result;
  try {
    if (CopyFirstClonedShape(sheet->Document)) {
      std::string folder = dataFolder + "Оттиски/Другие/Мои оттиски/";
      platform::ForceDirectories(folder);
      std::string name = MakeUniqueFileName(folder + kExtractedGlyphName);
      if (name.empty())
        platform::UI().messageBox(kNoFreeNameMessage + folder, "Внимание!",
                                  platform::MsgIcon::Warning, platform::MsgButtons::Ok);
      else
        result = SaveExtracted(controller, name, dataFolder);
    }
  } catch (...) {
    if (hidden) sheet->CloseDocument(wordlink::kPromptToSaveChanges);
    throw;
  }
  if (hidden) sheet->CloseDocument(wordlink::kPromptToSaveChanges);
  return result;
}

}  // namespace app
