// The embedded word processor driven through automation as the cloning run drives it: the page
// loop that makes each page exist, and saving and reopening a large filled sheet.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <QGuiApplication>

#include "platform/Registry.h"
#include "wordlink/Automation.h"
#include "wordproc/RenderText.h"
#include "wordproc/WordProcessor.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Ooxml.h"
#include "wordproc/core/Package.h"

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

// A report of 50 sections, each six paragraphs of text and a bordered table of 28 rows with a
// header row: about 100 pages.
std::string ReportWithTables() {
  const std::string border = "w:val=\"single\" w:sz=\"4\" w:space=\"0\" w:color=\"000000\"";
  std::string body;
  const std::string words =
      "Отгрузка этикеток по заказу покупателя выполнена в срок, остатки на складе сверены. ";
  for (int t = 0; t < 50; ++t) {
    for (int p = 0; p < 6; ++p) {
      std::string text;
      for (int k = 0; k < 5; ++k) text += words;
      body += "<w:p><w:r><w:t>" + text + "</w:t></w:r></w:p>";
    }
    body += "<w:tbl><w:tblPr><w:tblW w:w=\"0\" w:type=\"auto\"/><w:tblBorders><w:top " + border +
            "/><w:left " + border + "/><w:bottom " + border + "/><w:right " + border +
            "/><w:insideH " + border + "/><w:insideV " + border +
            "/></w:tblBorders></w:tblPr><w:tblGrid><w:gridCol w:w=\"2000\"/>"
            "<w:gridCol w:w=\"2500\"/><w:gridCol w:w=\"2000\"/><w:gridCol w:w=\"2500\"/>"
            "</w:tblGrid>";
    for (int r = 0; r < 28; ++r) {
      body += r == 0 ? "<w:tr><w:trPr><w:tblHeader/></w:trPr>" : "<w:tr>";
      for (int c = 0; c < 4; ++c) {
        body += "<w:tc><w:p><w:r><w:t>Позиция " + std::to_string(r) + "." + std::to_string(c) +
                (c % 2 ? " с пояснением в две строки для ширины столбца" : "") +
                "</w:t></w:r></w:p></w:tc>";
      }
      body += "</w:tr>";
    }
    body += "</w:tbl>";
  }
  body +=
      "<w:p/><w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgMar w:top=\"1440\" "
      "w:right=\"1440\" w:bottom=\"1440\" w:left=\"1440\"/></w:sectPr>";
  wordproc::package::ZipWriter zip;
  zip.Add("[Content_Types].xml",
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types xmlns=\"http://schemas."
          "openxmlformats.org/package/2006/content-types\"><Default Extension=\"rels\" "
          "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
          "<Default Extension=\"xml\" ContentType=\"application/xml\"/><Override "
          "PartName=\"/word/document.xml\" ContentType=\"application/vnd.openxmlformats-"
          "officedocument.wordprocessingml.document.main+xml\"/></Types>",
          true);
  zip.Add("_rels/.rels",
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"http://schemas."
          "openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rId1\" "
          "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
          "officeDocument\" Target=\"word/document.xml\"/></Relationships>",
          true);
  zip.Add("word/document.xml",
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:document xmlns:w=\"http://schemas."
          "openxmlformats.org/wordprocessingml/2006/main\"><w:body>" +
              body + "</w:body></w:document>",
          true);
  const auto bytes = zip.Finish();
  return std::string(bytes.begin(), bytes.end());
}

// Reading the report and laying out every page with the fonts' own measures.
void BM_ReadAndLayOutTables(benchmark::State& state) {
  static int argc = 1;
  static char name[] = "bench_wordproc";
  static char* argv[] = {name, nullptr};
  if (!QGuiApplication::instance()) new QGuiApplication(argc, argv);
  const std::string bytes = ReportWithTables();
  int pages = 0;
  for (auto _ : state) {
    auto doc = wordproc::ReadPackageFromMemory(bytes.data(), bytes.size(), "report.docx", {});
    wordproc::Layout layout(*doc, wordproc::FontMeasurer());
    pages = layout.pageCount();
    benchmark::DoNotOptimize(pages);
  }
  state.counters["pages"] = pages;
}
BENCHMARK(BM_ReadAndLayOutTables)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
