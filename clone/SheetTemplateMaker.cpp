#include "clone/SheetTemplateMaker.h"

#include <algorithm>
#include <stdexcept>

#include "catalogue/uCatalogueViews.h"
#include "clone/uClone.h"
#include "clone/uPlacing.h"
#include "platform/Files.h"
#include "wordlink/uExtAppDocument.h"

namespace cloning {

using wordlink::Variant;

namespace {

constexpr int kRelativeToPage = 1;
constexpr float kOutlineWeight = 0.5f;
constexpr float kCutWeight = 0.5f;
constexpr int kDashed = 4;

int ShapeType(labels::Outline outline) {
  switch (outline) {
    case labels::Outline::RoundedRectangle:
      return kRoundedRectangleShape;
    case labels::Outline::Oval:
      return kOvalShape;
    case labels::Outline::Rectangle:
      break;
  }
  return kRectangleShape;
}

void PlaceOnPage(const Variant& shape, float left, float top) {
  shape.put("RelativeHorizontalPosition", kRelativeToPage);
  shape.put("RelativeVerticalPosition", kRelativeToPage);
  shape.put("Left", left);
  shape.put("Top", top);
}

void SetUpPage(const Variant& doc, const labels::SheetLayout& sheet) {
  Variant setup = doc.get("PageSetup");
  for (const char* margin : {"TopMargin", "BottomMargin", "LeftMargin", "RightMargin"})
    setup.put(margin, 0.0f);
  setup.put("PageWidth", float(sheet.pageWidth));
  setup.put("PageHeight", float(sheet.pageHeight));
}

void DrawLabel(const Variant& shapes, const labels::PlacedLabel& label) {
  const float left = float(label.left), top = float(label.top);
  Variant shape = shapes.call("AddShape", ShapeType(label.outline), left, top, float(label.width),
                              float(label.height));
  PlaceOnPage(shape, left, top);
  shape.get("Fill").put("Visible", 0);
  shape.get("Line").put("Weight", kOutlineWeight);
  if (label.outline == labels::Outline::RoundedRectangle) {
    wordlink::Args corner{1, float(label.cornerRadius / std::min(label.width, label.height))};
    shape.get("Adjustments").invoke("Item", wordlink::InvokeKind::PropertyPut, corner);
  }
}

// A line with zero width or height: the template reading takes it for a cut line.
void DrawCut(const Variant& shapes, const labels::CutLine& cut) {
  Variant line = shapes.call("AddLine", float(cut.x1), float(cut.y1), float(cut.x2), float(cut.y2));
  PlaceOnPage(line, float(std::min(cut.x1, cut.x2)), float(std::min(cut.y1, cut.y2)));
  line.get("Line").put("Weight", kCutWeight);
  line.get("Line").put("DashStyle", kDashed);
}

void CheckNames(const std::string& dataFolder, const std::string& category,
                const std::string& paperName) {
  if (std::string problem = catalogue::CategoryNameProblem(category); !problem.empty())
    throw std::runtime_error(problem);
  if (std::string problem = PaperNameProblem(paperName); !problem.empty())
    throw std::runtime_error(problem);
  const std::string folder = GlyphCategoryFolder(dataFolder, category);
  if (!platform::DirectoryExists(folder))
    throw std::runtime_error("Нет категории оттисков " + platform::Quoted(category) + ": папки " +
                             platform::Quoted(folder) + " не существует");
}

}  // namespace

std::string PaperNameFor(const std::string& productId) {
  std::string name = productId;
  for (char& c : name)
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) c = '-';
  name.erase(0, name.find_first_not_of(". "));
  return name;
}

std::string PaperNameProblem(const std::string& paperName) {
  if (paperName.empty() || paperName.find_first_not_of(' ') == std::string::npos)
    return "Не задано название формата бумаги для шаблона";
  if (PaperNameFor(paperName) != paperName)
    return "Название формата бумаги " + platform::Quoted(paperName) +
           " не может начинаться с точки или пробела и содержать знаки «/», «\\» и управляющие "
           "символы";
  return {};
}

void DrawSheetTemplate(const Variant& doc, const labels::SheetLayout& sheet) {
  SetUpPage(doc, sheet);
  const Variant shapes = doc.get("Shapes");
  for (const labels::PlacedLabel& label : sheet.labels) DrawLabel(shapes, label);
  for (const labels::CutLine& cut : sheet.cuts) DrawCut(shapes, cut);
}

std::string MakeSheetTemplate(wordlink::TExtAppController& controller,
                              const std::string& dataFolder, const std::string& category,
                              const std::string& paperName, const labels::SheetLayout& sheet) {
  CheckNames(dataFolder, category, paperName);
  const std::string path = SheetTemplatePath(dataFolder, category, paperName);
  wordlink::TExtAppDocument* doc = controller.NewDocument(false);
  if (!doc)
    throw std::runtime_error("Текстовый процессор недоступен: шаблон " + platform::Quoted(path) +
                             " не создан");
  try {
    DrawSheetTemplate(doc->Document, sheet);
    doc->Document.call("SaveAs", path);
  } catch (const std::exception& e) {
    doc->CloseDocument(wordlink::kDoNotSaveChanges);
    throw std::runtime_error("Не удалось создать шаблон " + platform::Quoted(path) + ": " +
                             e.what());
  }
  doc->CloseDocument(wordlink::kDoNotSaveChanges);
  ResetLabelCountCache();
  return path;
}

}  // namespace cloning
