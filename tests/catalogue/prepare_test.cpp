// Thumbnails of documents the word processor converts first (binary Word 97 files made by
// LibreOffice here), prepared in one pass. Skipped where LibreOffice is missing.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <cstdlib>

#include "Support.h"
#include "catalogue/uPreviewList.h"
#include "wordlink/Automation.h"
#include "wordlink/uExtAppController.h"
#include "wordproc/Container.h"
#include "wordproc/WordProcessor.h"
#include "wordproc/core/Converter.h"

using namespace catalogue;
using namespace catalogue_test;

namespace {

void Gui() {
  static int argc = 1;
  static char name[] = "test_catalogue";
  static char* argv[] = {name, nullptr};
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  (void)app;
}

bool HaveLibreOffice() {
  return !wordproc::FindOffice().empty();
}

class PrepareTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Gui();
    wordproc::RegisterWordProcessor();
    wordproc::RegisterDocumentContainer();
  }
  void TearDown() override { wordlink::UnregisterProgId("Word.Application"); }

  // A glyph saved through the word processor; binary Word 97 when asked, as LibreOffice
  // writes it.
  std::string Glyph(const std::string& name, const std::string& text, bool binary) {
    const std::string path = "Оттиски/Визитки/Мои оттиски/" + name;
    WriteFile(data + path, "");
    wordlink::Variant app = wordlink::CreateOleObject("Word.Application");
    wordlink::Variant doc = app.get("Documents").call("Add");
    doc.get("Content").call("InsertAfter", text);
    doc.call("SaveAs", data + path, binary ? 0 : 16);
    doc.call("Close", 0);
    app.call("Quit", 0);
    return path;
  }

  void AddBinaryGlyphs(int count) {
    for (int i = 0; i < count; ++i)
      list.FindOrAdd(Glyph("b" + std::to_string(i) + ".doc", "Оттиск " + std::to_string(i), true),
                     kGlyphKind, 0);
  }

  std::string data = NewDataFolder();
  TPreviewList list{data};
  ScopedEnv cache{"XDG_CACHE_HOME", data + "cache"};
};

TEST_F(PrepareTest, ConvertedDocumentsAreMadeInOnePassEachConvertedOnce) {
  if (!HaveLibreOffice()) GTEST_SKIP() << "LibreOffice is not installed";
  AddBinaryGlyphs(3);
  list.FindOrAdd(Glyph("p.doc", "Пакет", false), kGlyphKind, 0);
  const std::vector<TPreviewItemPtr> rows = list.Entries();
  const auto waiting = AwaitingConversion(rows);
  ASSERT_EQ(waiting.size(), 3u) << "the package is drawn when painted";

  wordlink::TExtAppController controller;
  auto& converter = wordproc::Converter::Instance();
  const int before = converter.Conversions();
  std::vector<std::string> steps;
  EXPECT_EQ(PrepareThumbnails(waiting, controller,
                              [&](int done, int total) {
                                steps.push_back(PreparingText(done, total));
                                return true;
                              }),
            3);
  EXPECT_EQ(steps,
            (std::vector<std::string>{"Подготовка эскизов: 0 из 3", "Подготовка эскизов: 1 из 3",
                                      "Подготовка эскизов: 2 из 3", "Подготовка эскизов: 3 из 3"}));
  for (const auto& entry : waiting) EXPECT_EQ(entry->Thumbnail->Width(), kThumbnailWidth);
  EXPECT_EQ(converter.Conversions() - before, 3) << "one conversion a document, not one a step";
  EXPECT_TRUE(AwaitingConversion(rows).empty());

  // Thumbnails made again from the same files: the converted copies are reused.
  for (const auto& entry : waiting) entry->DropThumbnail();
  const int warm = converter.Conversions();
  PrepareThumbnails(waiting, controller, [](int, int) { return true; });
  EXPECT_EQ(converter.Conversions(), warm);
  for (const auto& entry : waiting) EXPECT_EQ(entry->Thumbnail->Width(), kThumbnailWidth);
}

TEST_F(PrepareTest, AStoppedPassLeavesTheRestWaiting) {
  if (!HaveLibreOffice()) GTEST_SKIP() << "LibreOffice is not installed";
  AddBinaryGlyphs(3);
  const std::vector<TPreviewItemPtr> rows = list.Entries();
  wordlink::TExtAppController controller;
  EXPECT_EQ(PrepareThumbnails(rows, controller, [](int done, int) { return done < 1; }), 1);
  EXPECT_EQ(AwaitingConversion(rows).size(), 2u);
}

TEST_F(PrepareTest, WithoutLibreOfficeThePackageToInstallIsToldOnce) {
  if (!HaveLibreOffice()) GTEST_SKIP() << "LibreOffice is not installed";
  AddBinaryGlyphs(3);
  const std::vector<TPreviewItemPtr> rows = list.Entries();
  std::vector<std::string> reports;
  list.Report = [&](const std::string& text) { reports.push_back(text); };
  wordproc::Converter::Instance().Shutdown();
  {
    ScopedEnv path{"PATH", "/nonexistent"};
    wordlink::TExtAppController controller;
    PrepareThumbnails(rows, controller, [](int, int) { return true; });
  }
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("libreoffice-writer-nogui"), std::string::npos) << reports[0];
  EXPECT_NE(reports[0].find("b0.doc"), std::string::npos) << reports[0];
}

}  // namespace
