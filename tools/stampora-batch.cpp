// stampora-batch: the program's work without its windows, for scripts and checks.
#include <QGuiApplication>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "app/uCommon.h"
#include "app/uStartup.h"
#include "platform/Files.h"
#include "tools/BatchArgs.h"
#include "tools/BatchCatalogue.h"
#include "tools/BatchClone.h"
#include "tools/BatchGlyphTypes.h"
#include "tools/BatchInfo.h"
#include "tools/BatchProducts.h"
#include "tools/BatchRender.h"
#include "tools/BatchSamples.h"
#include "wordproc/Container.h"
#include "wordproc/Render.h"
#include "wordproc/WordProcessor.h"
#include "wordproc/core/Ooxml.h"

namespace {

const char* kUsage =
    "Использование:\n"
    "  stampora-batch glyph-types [--file INI]\n"
    "  stampora-batch info FILE\n"
    "  stampora-batch render FILE [--page N] [--width PX] --out PNG\n"
    "  stampora-batch make-samples [DIR]\n"
    "      без DIR — папка данных программы, если её ещё нет\n"
    "  stampora-batch clone --data DIR --category NAME --paper NAME --sets N\n"
    "      --glyph FILE[:COUNT] [--glyph FILE[:COUNT]]... --out FILE [--pdf FILE]\n"
    "      [--start N] [--offset X,Y] [--data-file CSV|XLSX|ODS]... [--skip-bad-records]\n"
    "      с --data-file этикетки заполняются записями файла, --sets можно не указывать\n"
    "  stampora-batch count --data DIR --category NAME --paper NAME\n"
    "  stampora-batch templates --data DIR --category NAME\n"
    "  stampora-batch print FILE [--pdf OUT] [--offset X,Y]\n"
    "  stampora-batch products [--search TEXT]\n"
    "  stampora-batch make-template --data DIR --category NAME [--paper NAME] [--replace]\n"
    "      (--product ID | --sheet WxH --label WxH --grid CxR --origin XxY --pitch XxY\n"
    "       [--shape rect|round|oval] [--radius R])\n"
    "      размеры в миллиметрах\n"
    "  stampora-batch scan [--data DIR] [--sheets] [--category NAME] [--filter NAME] "
    "[--thumbnails]\n"
    "  stampora-batch cache [--data DIR]\n"
    "  stampora-batch convert IN OUT\n"
    "      через текстовый процессор: .docx/.dotx пакетом, .doc/.dot в формате IN,\n"
    "      .pdf напечатанными страницами\n";

const std::map<std::string, std::set<std::string>> kCommands = {
    {"glyph-types", {"file"}},
    {"info", {}},
    {"render", {"page", "width", "out"}},
    {"make-samples", {}},
    {"clone",
     {"data", "category", "paper", "sets", "glyph", "out", "pdf", "start", "offset", "data-file",
      "skip-bad-records?"}},
    {"count", {"data", "category", "paper"}},
    {"templates", {"data", "category"}},
    {"print", {"pdf", "offset"}},
    {"products", {"search"}},
    {"make-template",
     {"data", "category", "paper", "replace?", "product", "sheet", "label", "grid", "origin",
      "pitch", "shape", "radius"}},
    {"scan", {"data", "kind", "sheets?", "category", "filter", "thumbnails?"}},
    {"cache", {"data"}},
    {"convert", {}},
};

// Qt warns on every start without a runtime folder (cron, ssh, containers); the program's own
// private temporary folder is one, owned by the user with mode 0700.
void EnsureRuntimeFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return;
  try {
    std::string folder = platform::PrivateTempFolder();
    folder.pop_back();
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
  } catch (const platform::FileError&) {
    // Without a folder of its own the tool still works; Qt then says so itself.
  }
}

// Documents are laid out and drawn with Qt's fonts, which need a GUI application; without a
// display the offscreen platform serves.
std::unique_ptr<QGuiApplication> StartGui(int& argc, char** argv) {
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  EnsureRuntimeFolder();
  return std::make_unique<QGuiApplication>(argc, argv);
}

const std::string& OnePositional(const batch::ParsedArgs& args) {
  if (args.positional.size() != 1)
    throw batch::UsageError("команде " + args.command + " нужен ровно один файл");
  return args.positional[0];
}

std::string DataOption(const batch::ParsedArgs& args) {
  return batch::DataFolderArg(args.required("data"));
}

int MakeSamples(const batch::ParsedArgs& args) {
  if (args.positional.size() > 1) throw batch::UsageError("команде make-samples нужна одна папка");
  if (args.positional.empty()) return batch::BatchSeedDefaultDataFolder(std::cout, std::cerr);
  return batch::BatchMakeSamples(args.positional[0], std::cout, std::cerr);
}

int Run(const batch::ParsedArgs& args, int& argc, char** argv) {
  if (args.command == "glyph-types") {
    std::string file = args.option("file").value_or(
        app::ShippedFile(app::GlyphTypesFileName, app::ProgramFolder()));
    batch::PrintGlyphTypes(app::LoadGlyphTypes(file), std::cout);
    return 0;
  }
  if (args.command == "cache") return batch::BatchCache(args, std::cout, std::cerr);
  if (args.command == "scan" && !args.option("thumbnails"))
    return batch::BatchScan(args, std::cout, std::cerr);
  if (args.command == "products")
    return batch::BatchProducts(args.option("search"), std::cout, std::cerr);
  if (args.command == "templates")
    return batch::BatchTemplates(DataOption(args), args.required("category"), std::cout);
  auto gui = StartGui(argc, argv);
  wordproc::RegisterWordProcessor();
  wordproc::RegisterDocumentContainer();
  // Without a printer the pages go to a PDF file; the path is what the run produced.
  wordproc::SetPdfFallbackHandler([](const std::string& pdf) { std::cout << pdf << "\n"; });
  if (args.command == "scan") return batch::BatchScan(args, std::cout, std::cerr);
  if (args.command == "convert") {
    if (args.positional.size() != 2) throw batch::UsageError("команде convert нужны IN и OUT");
    return batch::BatchConvert(args.positional[0], args.positional[1], std::cerr);
  }
  if (args.command == "info") return batch::BatchInfo(OnePositional(args), std::cout, std::cerr);
  if (args.command == "make-samples") return MakeSamples(args);
  if (args.command == "clone")
    return batch::BatchClone(batch::CloneRequestFrom(args), std::cout, std::cerr);
  if (args.command == "count")
    return batch::BatchCount(DataOption(args), args.required("category"), args.required("paper"),
                             std::cout, std::cerr);
  if (args.command == "print")
    return batch::BatchPrint(OnePositional(args), args.option("pdf").value_or(""),
                             batch::OffsetOption(args), std::cout, std::cerr);
  if (args.command == "make-template")
    return batch::BatchMakeTemplate(batch::TemplateRequestFrom(args), std::cout, std::cerr);
  auto out = args.option("out");
  if (!out) throw batch::UsageError("для команды render нужен параметр --out");
  return batch::BatchRender(OnePositional(args), args.intOption("page", 1, 1, 1000000),
                            args.intOption("width", 216, 1, 20000), *out, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> list(argv + 1, argv + argc);
  try {
    return Run(batch::ParseArgs(list, kCommands), argc, argv);
  } catch (const batch::UsageError& e) {
    std::cerr << "stampora-batch: " << e.what() << "\n" << kUsage;
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "stampora-batch: " << e.what() << "\n";
    return 1;
  }
}
