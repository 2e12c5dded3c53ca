// Binary Word 97 glyphs, opened and made into thumbnails: cold (the first conversion starts
// LibreOffice, then each file is converted by it) and warm (the converted copies come from the
// cache), with OOXML glyphs of the same content for comparison. Prints per-file medians.
// Usage: bench_convert [N]   (30 glyphs unless given; needs soffice and python3-uno)
#include <sys/stat.h>
#include <unistd.h>

#include <QGuiApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/uPreviewList.h"
#include "platform/Files.h"
#include "wordlink/uExtAppController.h"
#include "wordproc/Container.h"
#include "wordproc/WordProcessor.h"
#include "wordproc/core/Converter.h"
#include "wordproc/core/Ooxml.h"

namespace {

using Clock = std::chrono::steady_clock;

std::unique_ptr<wordproc::Document> Glyph(int i) {
  auto doc = std::make_unique<wordproc::Document>();
  doc->paragraphs[0].runs.push_back({"Оттиск " + std::to_string(i), wordproc::RunFormat{}});
  auto shape = std::make_unique<wordproc::Shape>();
  shape->kind = wordproc::ShapeKind::TextBox;
  shape->name = "Label Text 1";
  shape->left = 40;
  shape->top = 60;
  shape->width = 200;
  shape->height = 50;
  wordproc::Paragraph p;
  p.runs.push_back({"Текст " + std::to_string(i), wordproc::RunFormat{}});
  shape->text.push_back(p);
  shape->id = doc->newShapeId();
  doc->shapes.push_back({std::move(shape), doc->paragraphs[0].id});
  return doc;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

std::vector<double> OpenAll(const std::vector<std::string>& files) {
  std::vector<double> ms;
  for (const auto& file : files) {
    const auto start = Clock::now();
    wordproc::LoadDocumentFile(file);
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return ms;
}

// Thumbnails from nothing: the catalogue's preparation pass over every entry.
std::vector<double> ThumbnailsOf(catalogue::TPreviewList& list) {
  wordlink::TExtAppController controller;
  std::vector<catalogue::TPreviewItemPtr> entries = list.Entries();
  for (const auto& entry : entries) entry->DropThumbnail();
  std::vector<double> ms;
  auto last = Clock::now();
  catalogue::PrepareThumbnails(entries, controller, [&](int done, int) {
    const auto now = Clock::now();
    if (done > 0) ms.push_back(std::chrono::duration<double, std::milli>(now - last).count());
    last = now;
    return true;
  });
  return ms;
}

double Sum(const std::vector<double>& ms) {
  double sum = 0;
  for (double v : ms) sum += v;
  return sum / 1000;
}

void Print(const char* what, const std::vector<double>& ms) {
  std::printf("%-34s first %6.0f ms, median %6.1f ms/file, total %6.1f s\n", what, ms.front(),
              Median(ms), Sum(ms));
}

catalogue::TPreviewList& ListOf(const std::string& folder, const std::string& extension, int n) {
  static std::vector<std::unique_ptr<catalogue::TPreviewList>> lists;
  lists.push_back(std::make_unique<catalogue::TPreviewList>(folder + "/"));
  for (int i = 0; i < n; ++i)
    lists.back()->FindOrAdd("glyph-" + std::to_string(i) + extension, 0, 0);
  return *lists.back();
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
  if (std::system("command -v soffice >/dev/null 2>&1") != 0) {
    std::puts("soffice is not installed: nothing measured");
    return 0;
  }
  if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication gui(argc, argv);
  wordproc::RegisterWordProcessor();
  wordproc::RegisterDocumentContainer();
  // Not the program's private folder: files there are cached by contents, the user's by path.
  std::string dir = std::filesystem::temp_directory_path().string() + "/vsp-bench-convert-XXXXXX";
  if (!::mkdtemp(dir.data())) {
    std::puts("no scratch folder");
    return 1;
  }
  std::filesystem::create_directories(dir + "/cache");
  std::filesystem::create_directories(dir + "/ooxml");
  // A cache of its own, so that cold means cold.
  setenv("XDG_CACHE_HOME", (dir + "/cache").c_str(), 1);
  std::vector<std::string> files;
  for (int i = 0; i < n; ++i) {
    const std::string name = "glyph-" + std::to_string(i);
    wordproc::WritePackage(*Glyph(i), dir + "/ooxml/" + name + ".docx");
    files.push_back(dir + "/" + name + ".doc");
    wordproc::WriteDocumentFile(*Glyph(i), files.back(), wordproc::SourceFormat::Word97);
  }
  // Cold means LibreOffice starts again and nothing is cached.
  wordproc::Converter::Instance().Shutdown();
  std::filesystem::remove_all(dir + "/cache");
  const int starts = wordproc::Converter::Instance().Starts();
  const auto& converter = wordproc::Converter::Instance();
  std::printf("binary glyphs: %d\n", n);
  auto& binary = ListOf(dir, ".doc", n);
  const int before = converter.Conversions();
  Print("thumbnails, cold:", ThumbnailsOf(binary));
  const int conversions = converter.Conversions() - before;
  Print("thumbnails, conversion cache warm:", ThumbnailsOf(binary));
  Print("thumbnails of OOXML glyphs:", ThumbnailsOf(ListOf(dir + "/ooxml", ".docx", n)));
  std::printf("conversions: %d cold, %d warm; LibreOffice starts: %d\n", conversions,
              converter.Conversions() - before - conversions, converter.Starts() - starts);
  // Openings of the user's files themselves, cached by path.
  Print("openings, cold:", OpenAll(files));
  Print("openings, warm:", OpenAll(files));
  wordproc::Converter::Instance().Shutdown();
  std::filesystem::remove_all(dir);
  return 0;
}
