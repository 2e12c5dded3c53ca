// Label products: reading the whole installed package of product files, and making a sheet
// template of 100 labels through the word processor, saved as the program saves it.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <cstdlib>
#include <filesystem>

#include "clone/SheetTemplateMaker.h"
#include "labels/ProductDatabase.h"
#include "labels/SheetGeometry.h"
#include "platform/Registry.h"
#include "wordlink/uExtAppController.h"
#include "wordproc/WordProcessor.h"

namespace {

namespace fs = std::filesystem;

void BM_LoadInstalledProducts(benchmark::State& state) {
  const std::vector<std::string> folders = labels::ProductDatabase::StandardFolders();
  std::size_t products = 0;
  for (auto _ : state) {
    const auto db = labels::ProductDatabase::Load(folders);
    products = db.Products().size();
    benchmark::DoNotOptimize(products);
  }
  if (products < 1000) state.SkipWithError("the product files (glabels-data) are not installed");
  state.counters["products"] = double(products);
}
BENCHMARK(BM_LoadInstalledProducts)->Unit(benchmark::kMillisecond);

// Ten by ten labels of 20 x 28 mm that touch: 100 shapes and 18 cut lines.
labels::SheetLayout HundredLabels() {
  labels::SheetParameters p;
  p.labelWidth = 20, p.labelHeight = 28;
  p.columns = p.rows = 10;
  p.originX = 5, p.originY = 8.5;
  p.pitchX = 20, p.pitchY = 28;
  return labels::LayOut(labels::ProductFromParameters(p));
}

void BM_MakeHundredLabelTemplate(benchmark::State& state) {
  const std::string data = fs::temp_directory_path().string() + "/vsp-bench-labels/";
  fs::create_directories(data + "Оттиски/Этикетки");
  const labels::SheetLayout sheet = HundredLabels();
  wordlink::TExtAppController controller;
  if (!controller.Connect(wordlink::kKindDefault, false, true))
    state.SkipWithError("no word processor");
  for (auto _ : state) cloning::MakeSheetTemplate(controller, data, "Этикетки", "100", sheet);
  controller.CloseAllDocuments(0);
  fs::remove_all(data);
}
BENCHMARK(BM_MakeHundredLabelTemplate)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication gui(argc, argv);  // fonts need it
  platform::Registry::Instance().setFilePath(fs::temp_directory_path().string() +
                                             "/vsp-bench-labels-registry");
  wordproc::RegisterWordProcessor();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
