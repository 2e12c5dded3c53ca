#include "tests/support/Gui.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "tests/support/Scratch.h"
#include "wordproc/Container.h"
#include "wordproc/WordProcessor.h"

namespace test_support {

using wordlink::Variant;

void EnsureApplication() {
  if (QCoreApplication::instance()) return;
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "vsp-test";
  static char* argv[] = {name, nullptr};
  // Never destroyed: tearing the application down at exit races Qt's own static clean-up.
  new QApplication(argc, argv);
  wordproc::RegisterWordProcessor();
  wordproc::RegisterDocumentContainer();
}

Variant NewPage(const Variant& word, float width, float height) {
  Variant doc = word.get("Documents").call("Add");
  Variant setup = doc.get("PageSetup");
  for (const char* margin : {"TopMargin", "BottomMargin", "LeftMargin", "RightMargin"})
    setup.put(margin, 0.0f);
  setup.put("PageWidth", width);
  setup.put("PageHeight", height);
  return doc;
}

void PageRelative(const Variant& shape) {
  shape.put("RelativeHorizontalPosition", 1);
  shape.put("RelativeVerticalPosition", 1);
}

void SaveClosed(const Variant& doc, const std::string& path) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  doc.call("SaveAs", path);
  doc.call("Close", 0);
}

std::string PdfText(const std::string& pdf) {
  const std::string command = "pdftotext '" + pdf + "' - 2>/dev/null";
  std::string text;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
    pclose(pipe);
  }
  return text;
}

std::vector<std::string> PdfsIn(const std::string& folder) {
  std::vector<std::string> pdfs;
  for (const std::string& name : FilesIn(folder))
    if (std::filesystem::path(name).extension() == ".pdf") pdfs.push_back(folder + "/" + name);
  return pdfs;
}

}  // namespace test_support
