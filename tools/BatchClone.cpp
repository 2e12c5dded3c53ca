#include "tools/BatchClone.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "clone/uPlacing.h"
#include "datasource/DataSource.h"
#include "labels/SheetGeometry.h"
#include "platform/Files.h"
#include "wordlink/uExtAppDocument.h"

namespace batch {

namespace fs = std::filesystem;
using platform::Quoted;
using wordlink::Variant;

namespace {

std::string AbsolutePath(const std::string& path) {
  std::error_code ignored;
  fs::path absolute = fs::absolute(path, ignored);
  return absolute.empty() ? path : absolute.lexically_normal().string();
}

void StartWorker(wordlink::TExtAppController& controller) {
  if (!controller.Connect(wordlink::kKindDefault, false, true))
    throw std::runtime_error("текстовый процессор «Word.Application» недоступен");
}

// The quick print of the program, with its errors reported instead of swallowed.
void QuickPrint(wordlink::TExtAppController& controller, const Variant& doc, const std::string& pdf,
                const std::optional<app::TPrinterOffset>& offset) {
  const Variant skip = Variant::missing();
  app::ApplyPrinterOffsets(doc.get("Application"), offset);
  wordlink::PrintingFromProgram = true;
  controller.SetNonPrintableVisible(doc, false);
  try {
    if (pdf.empty())
      doc.call("PrintOut", false);
    else
      doc.call("PrintOut", false, skip, skip, pdf, skip, skip, skip, skip, skip, skip, true);
  } catch (...) {
    wordlink::PrintingFromProgram = false;
    controller.SetNonPrintableVisible(doc, true);
    throw;
  }
  wordlink::PrintingFromProgram = false;
  controller.SetNonPrintableVisible(doc, true);
}

}  // namespace

BatchHost::BatchHost(std::string dataFolder)
    : dataFolder_(std::move(dataFolder)),
      controller_(std::make_unique<wordlink::TExtAppController>()),
      list_(dataFolder_) {
  StartWorker(*controller_);
}

// Whatever is left open was the run's own work, already saved where it was asked for. The
// program cleans its temporary files when its window closes; a batch run has no window, so it
// removes the published sheet (".dot", and a ".doc" the run may have left) itself.
BatchHost::~BatchHost() {
  controller_->CloseAllDocuments(wordlink::kDoNotSaveChanges);
  if (sheetFile_.empty()) return;
  const fs::path sheet(sheetFile_);
  std::error_code ignored;
  for (const char* ext : {".dot", ".doc"})
    fs::remove(fs::path(sheet).replace_extension(ext), ignored);
}

// Headless nobody edits the sheet, so it is not opened again: its file is the result.
wordlink::TExtAppDocument* BatchHost::EditItem(catalogue::TPreviewItem& entry) {
  sheetFile_ = entry.FullPath();
  return nullptr;
}

void BatchHost::SheetFilled(wordlink::TExtAppDocument& sheet) {
  if (!PdfFile.empty()) QuickPrint(*controller_, sheet.Document, PdfFile, Offset);
}

cloning::TCloneParam ParseGlyphArg(const std::string& text) {
  const auto colon = text.find_last_of(':');
  if (colon != std::string::npos && colon + 1 < text.size() && colon > 0) {
    const std::string count = text.substr(colon + 1);
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(count.c_str(), &end, 10);
    if (*end == '\0' && errno != ERANGE && value >= -1000000 && value <= 1000000)
      return {text.substr(0, colon), int(value)};
  }
  return {text, 1};
}

std::string DataFolderArg(const std::string& text) {
  if (!platform::DirectoryExists(text)) throw UsageError("нет папки данных " + Quoted(text));
  std::string folder = AbsolutePath(text);
  if (folder.back() != platform::kPathSep) folder += platform::kPathSep;
  return folder;
}

// One data file fills every glyph; as many as there are glyphs go to them in order. The files
// are read here, so that a file that cannot be read ends the run before the word processor
// starts.
void AttachDataFiles(const ParsedArgs& args, CloneRequest& request) {
  const std::vector<std::string> files = args.optionValues("data-file");
  if (files.empty()) return;
  if (files.size() != 1 && files.size() != request.glyphs.size())
    throw UsageError(
        "--data-file: нужен один файл данных для всех оттисков или по одному на "
        "каждый --glyph, а указано " +
        std::to_string(files.size()) + " при " + std::to_string(request.glyphs.size()) +
        " оттисках");
  std::vector<std::shared_ptr<const datasource::TDataSource>> read;
  for (const std::string& file : files)
    read.push_back(std::make_shared<const datasource::TDataSource>(
        datasource::ReadDataFile(AbsolutePath(file))));
  for (std::size_t i = 0; i < request.glyphs.size(); ++i)
    request.glyphs[i].Data = read[read.size() == 1 ? 0 : i];
}

CloneRequest CloneRequestFrom(const ParsedArgs& args) {
  CloneRequest request;
  request.dataFolder = DataFolderArg(args.required("data"));
  request.category = args.required("category");
  request.paper = args.required("paper");
  const bool withData = !args.optionValues("data-file").empty();
  if (!withData) args.required("sets");
  request.sets = args.intOption("sets", withData ? 1 : 0, 0, 10000000);
  request.skipBadRecords = args.option("skip-bad-records").has_value();
  request.start = args.intOption("start", 1, 1, int(labels::kMaxLabels));
  request.offset = OffsetOption(args);
  request.out = AbsolutePath(args.required("out"));
  if (auto pdf = args.option("pdf")) request.pdf = AbsolutePath(*pdf);
  for (const std::string& value : args.optionValues("glyph")) {
    cloning::TCloneParam glyph = ParseGlyphArg(value);
    glyph.FileName = AbsolutePath(glyph.FileName);
    if (!platform::FileExists(glyph.FileName))
      throw UsageError("нет файла оттиска " + Quoted(glyph.FileName));
    request.glyphs.push_back(glyph);
  }
  if (request.glyphs.empty()) throw UsageError("для команды clone нужен хотя бы один --glyph");
  AttachDataFiles(args, request);
  return request;
}

std::optional<app::TPrinterOffset> OffsetOption(const ParsedArgs& args) {
  const auto text = args.option("offset");
  if (!text) return std::nullopt;
  const auto offset = app::ParseOffset(*text);
  if (!offset)
    throw UsageError("--offset: ожидается X,Y в миллиметрах (не больше 50 по модулю), получено \"" +
                     *text + "\"");
  return offset;
}

int BatchClone(const CloneRequest& request, std::ostream& out, std::ostream& err) {
  BatchHost host(request.dataFolder);
  host.PdfFile = request.pdf;
  host.Offset = request.offset;
  cloning::TCloneParams glyphs = request.glyphs;
  const cloning::TPaperSize paper{request.paper, request.paper};
  cloning::CloneGlyphs(host, glyphs, request.sets, request.category, paper, request.start,
                       request.skipBadRecords);
  if (host.SheetFile().empty()) {
    err << "stampora-batch: лист не создан\n";
    return 1;
  }
  platform::CopyFileAtomically(host.SheetFile(), request.out);
  out << request.out << "\n";
  if (!request.pdf.empty()) out << request.pdf << "\n";
  return 0;
}

int BatchCount(const std::string& dataFolder, const std::string& category, const std::string& paper,
               std::ostream& out, std::ostream& err) {
  const std::string path = cloning::SheetTemplatePath(dataFolder, category, paper);
  if (!platform::FileExists(path)) {
    err << "stampora-batch: нет шаблона " << Quoted(path) << "\n";
    return 1;
  }
  BatchHost host(dataFolder);
  out << cloning::CountLabelPositions(host.Controller(), dataFolder, category, paper) << "\n";
  return 0;
}

int BatchTemplates(const std::string& dataFolder, const std::string& category, std::ostream& out) {
  for (const cloning::TPaperSize& size : cloning::LoadCloneTemplates(dataFolder, category))
    out << size.Caption << "\n";
  return 0;
}

int BatchPrint(const std::string& file, const std::string& pdf,
               const std::optional<app::TPrinterOffset>& offset, std::ostream& out,
               std::ostream& err) {
  const std::string path = AbsolutePath(file);
  if (!platform::FileExists(path)) {
    err << "stampora-batch: нет файла " << Quoted(path) << "\n";
    return 1;
  }
  wordlink::TExtAppController controller;
  StartWorker(controller);
  wordlink::TExtAppDocument* doc = controller.OpenDocument(path, false, true);
  if (!doc) throw std::runtime_error("не удалось открыть " + Quoted(path));
  QuickPrint(controller, doc->Document, pdf.empty() ? pdf : AbsolutePath(pdf), offset);
  if (!pdf.empty()) out << AbsolutePath(pdf) << "\n";
  controller.CloseAllDocuments(wordlink::kDoNotSaveChanges);
  return 0;
}

namespace {

constexpr int kFormatXmlTemplate = 14;
constexpr int kFormatDocumentDefault = 16;

std::string LowerExtension(const std::string& path) {
  std::string extension = fs::path(path).extension().string();
  for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

}  // namespace

int BatchConvert(const std::string& in, const std::string& out, std::ostream& err) {
  const std::string from = AbsolutePath(in), to = AbsolutePath(out);
  const std::string extension = LowerExtension(to);
  const bool known = extension == ".docx" || extension == ".dotx" || extension == ".doc" ||
                     extension == ".dot" || extension == ".pdf";
  if (!known) {
    err << "stampora-batch: не знаю, в каком формате записать " << Quoted(to)
        << ": укажите расширение .docx, .dotx, .doc, .dot или .pdf\n";
    return 1;
  }
  if (!platform::FileExists(from)) {
    err << "stampora-batch: нет файла " << Quoted(from) << "\n";
    return 1;
  }
  wordlink::TExtAppController controller;
  StartWorker(controller);
  wordlink::TExtAppDocument* doc = controller.OpenDocument(from, false, true);
  if (!doc) throw std::runtime_error("не удалось открыть " + Quoted(from));
  // PDF holds the pages as they are printed, guides hidden; .doc and .dot keep the format the
  // document came in, .docx and .dotx are packages.
  if (extension == ".pdf") {
    QuickPrint(controller, doc->Document, to, std::nullopt);
  } else if (extension == ".docx" || extension == ".dotx") {
    const int format = extension == ".dotx" ? kFormatXmlTemplate : kFormatDocumentDefault;
    doc->Document.call("SaveAs", to, format, false, std::string(), false);
  } else {
    doc->Document.call("SaveAs", to, Variant::missing(), false, std::string(), false);
  }
  controller.CloseAllDocuments(wordlink::kDoNotSaveChanges);
  return 0;
}

}  // namespace batch
