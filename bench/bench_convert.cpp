// Opening binary Word 97 glyphs: cold (the first opening starts LibreOffice, then each file is
// converted by it) and warm (the converted copies come from the cache). Prints per-file medians.
// Usage: bench_convert [N]   (30 glyphs unless given; needs soffice and python3-uno)
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Files.h"
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

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
  if (std::system("command -v soffice >/dev/null 2>&1") != 0) {
    std::puts("soffice is not installed: nothing measured");
    return 0;
  }
  const std::string dir = platform::PrivateTempFolder() + "bench-convert";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir + "/cache");
  // A cache of its own, so that cold means cold.
  setenv("XDG_CACHE_HOME", (dir + "/cache").c_str(), 1);
  std::vector<std::string> files;
  std::string command = "cd " + dir + " && soffice -env:UserInstallation=file://" + dir +
                        "/profile --headless --convert-to doc";
  for (int i = 0; i < n; ++i) {
    const std::string name = "glyph-" + std::to_string(i);
    wordproc::WritePackage(*Glyph(i), dir + "/" + name + ".docx");
    command += " " + name + ".docx";
    files.push_back(dir + "/" + name + ".doc");
  }
  command += " >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) {
    std::puts("LibreOffice could not make the binary glyphs");
    return 1;
  }
  const std::vector<double> cold = OpenAll(files);
  const std::vector<double> warm = OpenAll(files);
  const auto& converter = wordproc::Converter::Instance();
  std::printf("binary glyphs: %d, LibreOffice starts: %d\n", n, converter.Starts());
  std::printf("cold: first file %.0f ms (start included), median %.0f ms/file, total %.1f s\n",
              cold.front(), Median(cold), [&] {
                double sum = 0;
                for (double v : cold) sum += v;
                return sum / 1000;
              }());
  std::printf("warm (cache): median %.1f ms/file\n", Median(warm));
  wordproc::Converter::Instance().Shutdown();
  std::filesystem::remove_all(dir);
  return 0;
}
