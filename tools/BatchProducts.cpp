#include "tools/BatchProducts.h"

#include <cmath>
#include <stdexcept>

#include "clone/SheetTemplateMaker.h"
#include "clone/uClone.h"
#include "labels/ProductDatabase.h"
#include "labels/SheetGeometry.h"
#include "platform/Files.h"
#include "tools/BatchClone.h"
#include "wordlink/uExtAppController.h"

namespace batch {

namespace {

const char* const kSizeOptions[] = {"sheet", "label", "grid", "origin", "pitch"};

labels::ParameterShape ShapeOption(const ParsedArgs& args) {
  const std::string shape = args.option("shape").value_or("rect");
  if (shape == "rect") return labels::ParameterShape::Rectangle;
  if (shape == "round") return labels::ParameterShape::RoundedRectangle;
  if (shape == "oval") return labels::ParameterShape::Oval;
  throw UsageError("--shape: ожидается rect, round или oval, получено \"" + shape + "\"");
}

int Count(const std::string& option, double value) {
  if (value != std::floor(value) || value < 1 || value > labels::kMaxLabels)
    throw UsageError("--" + option + ": ожидаются целые числа от 1 до 10000");
  return int(value);
}

labels::SheetParameters ParametersFrom(const ParsedArgs& args) {
  labels::SheetParameters p;
  std::tie(p.sheetWidth, p.sheetHeight) = ParsePair("sheet", args.required("sheet"));
  std::tie(p.labelWidth, p.labelHeight) = ParsePair("label", args.required("label"));
  const auto [columns, rows] = ParsePair("grid", args.required("grid"));
  p.columns = Count("grid", columns);
  p.rows = Count("grid", rows);
  std::tie(p.originX, p.originY) = ParsePair("origin", args.required("origin"));
  std::tie(p.pitchX, p.pitchY) = ParsePair("pitch", args.required("pitch"));
  p.shape = ShapeOption(args);
  if (auto radius = args.option("radius")) {
    if (p.shape != labels::ParameterShape::RoundedRectangle)
      throw UsageError("--radius задаётся только для --shape round");
    const auto value = labels::ParseNumber(*radius);
    if (!value)
      throw UsageError("--radius: ожидается число миллиметров, получено \"" + *radius + "\"");
    p.radius = *value;
  }
  if (std::string problem = labels::ParametersProblem(p); !problem.empty())
    throw std::runtime_error("шаблон с такими размерами не сделать: " + problem);
  return p;
}

std::string DefaultPaperName(const labels::SheetParameters& p) {
  auto mm = [](double v) { return labels::FormatMm(labels::MmToPoints(v)); };
  return mm(p.labelWidth) + "x" + mm(p.labelHeight) + " " + std::to_string(p.columns) + "x" +
         std::to_string(p.rows);
}

labels::Product KnownProduct(const std::string& id) {
  const labels::ProductDatabase db = labels::ProductDatabase::LoadStandard();
  const labels::Product* product = db.Find(id);
  if (!product)
    throw std::runtime_error("нет продукта " + platform::Quoted(id) + " (см. команду products)");
  if (std::string problem = labels::GeometryProblem(*product); !problem.empty())
    throw std::runtime_error("по продукту " + platform::Quoted(id) +
                             " шаблон не сделать: " + problem);
  return *product;
}

}  // namespace

int BatchProducts(const std::optional<std::string>& search, std::ostream& out, std::ostream& err) {
  const labels::ProductDatabase db = labels::ProductDatabase::LoadStandard();
  for (const std::string& problem : db.Problems()) err << "stampora-batch: " << problem << "\n";
  for (const labels::Product* p : db.Search(search.value_or(""))) {
    std::string description = p->description;
    for (char& c : description)
      if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    out << p->Id() << "\t" << description << "\t" << labels::PaperText(*p) << "\t"
        << p->LabelCount() << "\t" << labels::LabelSizeText(*p) << "\n";
  }
  return 0;
}

std::pair<double, double> ParsePair(const std::string& option, const std::string& text) {
  std::string normal = text;
  for (const char* times : {"×", "X"})
    for (auto at = normal.find(times); at != std::string::npos; at = normal.find(times))
      normal.replace(at, std::string(times).size(), "x");
  const auto x = normal.find('x');
  const auto first = labels::ParseNumber(normal.substr(0, x));
  const auto second =
      x == std::string::npos ? std::nullopt : labels::ParseNumber(normal.substr(x + 1));
  if (!first || !second)
    throw UsageError("--" + option + ": ожидается ШИРИНАxВЫСОТА, получено \"" + text + "\"");
  return {*first, *second};
}

TemplateRequest TemplateRequestFrom(const ParsedArgs& args) {
  TemplateRequest request;
  request.dataFolder = DataFolderArg(args.required("data"));
  request.category = args.required("category");
  request.replace = args.option("replace").has_value();
  bool sizes = false;
  for (const char* option : kSizeOptions) sizes = sizes || args.option(option).has_value();
  if (auto id = args.option("product")) {
    if (sizes || args.option("shape") || args.option("radius"))
      throw UsageError("--product не сочетается с размерами листа");
    request.product = KnownProduct(*id);
    request.paper = args.option("paper").value_or(cloning::PaperNameFor(*id));
  } else {
    if (!sizes) throw UsageError("для команды make-template нужен --product или размеры листа");
    const labels::SheetParameters parameters = ParametersFrom(args);
    request.product = labels::ProductFromParameters(parameters);
    request.paper = args.option("paper").value_or(DefaultPaperName(parameters));
  }
  if (std::string problem = cloning::PaperNameProblem(request.paper); !problem.empty())
    throw UsageError(problem);
  return request;
}

int BatchMakeTemplate(const TemplateRequest& request, std::ostream& out, std::ostream& err) {
  const std::string path =
      cloning::SheetTemplatePath(request.dataFolder, request.category, request.paper);
  if (platform::FileExists(path) && !request.replace) {
    err << "stampora-batch: шаблон " << platform::Quoted(path)
        << " уже есть; чтобы заменить его, добавьте --replace\n";
    return 1;
  }
  wordlink::TExtAppController controller;
  if (!controller.Connect(wordlink::kKindDefault, false, true))
    throw std::runtime_error("текстовый процессор «Word.Application» недоступен");
  out << cloning::MakeSheetTemplate(controller, request.dataFolder, request.category, request.paper,
                                    labels::LayOut(request.product))
      << "\n";
  return 0;
}

}  // namespace batch
