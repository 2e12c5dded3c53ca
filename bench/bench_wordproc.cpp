// The embedded word processor driven through automation as the cloning run drives it: the page
// loop that makes each page exist, and saving and reopening a large filled sheet.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/Registry.h"
#include "wordlink/Automation.h"
#include "wordproc/WordProcessor.h"

namespace {

using wordlink::Variant;

Variant NewWord() {
  wordproc::RegisterWordProcessor();
  return wordlink::CreateOleObject("Word.Application");
}

// Types paragraphs at the end until the end reaches the next page, once per page.
void PageLoop(const Variant& word, int pages) {
  Variant selection = word.get("Selection");
  for (int page = 1; page <= pages; ++page) {
    selection.call("EndKey", 6);
    int typed = 0;
    do {
      selection.call("TypeParagraph");
    } while (selection.call("Information", 3).toInt() <= page && ++typed <= 100001);
  }
}

void BM_PageLoop(benchmark::State& state) {
  const int pages = int(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    Variant word = NewWord();
    Variant doc = word.get("Documents").call("Add");
    state.ResumeTiming();
    PageLoop(word, pages);
    state.PauseTiming();
    if (doc.get("Content").call("Information", 4).toInt() != pages + 1)
      state.SkipWithError("wrong page count");
    word.call("Quit", 0);
    state.ResumeTiming();
  }
  state.SetComplexityN(pages);
}
BENCHMARK(BM_PageLoop)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond)->Complexity();

struct LargeSheet {
  std::string folder;
  std::string path;
  Variant word;
  Variant doc;

  LargeSheet() {
    folder = std::filesystem::temp_directory_path().string() + "/vsp-bench-XXXXXX";
    if (!::mkdtemp(folder.data())) std::abort();
    platform::Registry::Instance().setFilePath(folder + "/registry");
    path = folder + "/sheet.docx";
    word = NewWord();
    doc = word.get("Documents").call("Add");
    PageLoop(word, 1000);
    Variant shapes = doc.get("Shapes");
    for (int page = 1; page <= 1000; ++page) {
      Variant anchor = doc.call("GoTo", 1, 1, page);
      for (int k = 0; k < 10; ++k) {
        Variant shape =
            shapes.call("AddShape", 1 + 4 * (k % 3), 20.0f, 20.0f + 70 * k, 150.0f, 60.0f, anchor);
        shape.put("Name", "VSP_CLONED_" + std::to_string(page * 10 + k));
      }
    }
  }
  ~LargeSheet() {
    word.call("Quit", 0);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
};

LargeSheet& Sheet() {
  static LargeSheet sheet;
  return sheet;
}

void BM_SaveLargeSheet(benchmark::State& state) {
  LargeSheet& sheet = Sheet();
  for (auto _ : state) {
    sheet.doc.call("SaveAs", sheet.path, Variant::missing(), Variant::missing(), Variant::missing(),
                   false);
  }
  state.counters["bytes"] = double(std::filesystem::file_size(sheet.path));
}
BENCHMARK(BM_SaveLargeSheet)->Unit(benchmark::kMillisecond);

void BM_ReopenLargeSheet(benchmark::State& state) {
  LargeSheet& sheet = Sheet();
  sheet.doc.call("SaveAs", sheet.path, Variant::missing(), Variant::missing(), Variant::missing(),
                 false);
  Variant word = NewWord();
  const Variant skip = Variant::missing();
  for (auto _ : state) {
    Variant doc = word.get("Documents")
                      .call("OpenNoRepairDialog", sheet.path, skip, true, false, skip, skip, skip,
                            skip, skip, skip, skip, false);
    int pages = doc.get("Content").call("Information", 4).toInt();
    int shapes = doc.get("Shapes").get("Count").toInt();
    if (pages != 1001 || shapes != 10000) state.SkipWithError("the sheet came back different");
    doc.call("Close", 0);
  }
  word.call("Quit", 0);
}
BENCHMARK(BM_ReopenLargeSheet)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
