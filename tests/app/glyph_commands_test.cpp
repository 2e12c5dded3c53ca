// New and extracted glyphs, on the embedded word processor.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <filesystem>
#include <fstream>

#include "app/uGlyphCommands.h"
#include "platform/Registry.h"
#include "platform/UserInteraction.h"
#include "tests/support/Gui.h"
#include "tests/support/Scratch.h"
#include "wordproc/Dialogs.h"
#include "wordproc/WordProcessor.h"

namespace fs = std::filesystem;
using wordlink::Variant;

namespace {

class GlyphCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    test_support::EnsureApplication();
    dir = test_support::NewFolder("glyphs");
    fs::create_directories(dir / "data");
    data = (dir / "data").string() + "/";
    previousRegistry = platform::Registry::Instance().filePath();
    platform::Registry::Instance().setFilePath((dir / "registry").string());
    app::AppFolder = dir.string() + "/";
    wordproc::SetDialogResponder([](wordproc::DialogKind, const std::string&) {
      return wordproc::DialogReply{wordproc::kDialogNo, {}};
    });
    c.Connect(wordlink::kKindDefault, false, true);
  }
  void TearDown() override {
    c.CloseAllDocuments(wordlink::kDoNotSaveChanges);
    wordproc::SetDialogResponder(nullptr);
    platform::Registry::Instance().setFilePath(previousRegistry);
    fs::remove_all(dir);
  }
  int LogLines() {
    std::ifstream in(dir / "debug.log");
    int n = 0;
    for (std::string line; std::getline(in, line);) ++n;
    return n;
  }
  // A sheet whose shapes carry the given names and widths (points).
  std::string MakeSheet(const std::vector<std::pair<std::string, float>>& shapes) {
    Variant doc = c.Instance(0)->Application.get("Documents").call("Add");
    for (auto& [name, width] : shapes) {
      Variant s = doc.get("Shapes").call("AddShape", 1, 10.0f, 10.0f, width, 30.0f);
      s.put("Name", name);
    }
    std::string path = data + "sheet.doc";
    doc.call("SaveAs", path);
    doc.call("Close", 0);
    return path;
  }

  fs::path dir;
  std::string data, previousRegistry;
  wordlink::TExtAppController c;
};

TEST_F(GlyphCommands, StandardTypeGivesAnA4PageWithAWhiteNonPrintingFrame) {
  app::TGlyphType standard{"Стандартный", 210, 297, false, "0"};
  auto* doc = app::NewGlyphDocument(c, &standard, data);
  ASSERT_NE(doc, nullptr);
  EXPECT_TRUE(doc->Visible);
  Variant setup = doc->Document.get("PageSetup");
  EXPECT_NEAR(setup.get("PageWidth").toDouble(), 595.35, 0.01);
  EXPECT_NEAR(setup.get("PageHeight").toDouble(), 841.995, 0.01);
  for (const char* m : {"TopMargin", "BottomMargin", "LeftMargin", "RightMargin"})
    EXPECT_EQ(setup.get(m).toDouble(), 0.0) << m;
  Variant shapes = doc->Document.get("Shapes");
  ASSERT_EQ(shapes.get("Count").toInt(), 1);
  Variant frame = shapes.call("Item", 1);
  EXPECT_EQ(frame.get("Name").toString(), "VSP_NONPRINTABLE_1");
  EXPECT_EQ(frame.get("Type").toInt(), 17);
  EXPECT_EQ(frame.get("Line").get("ForeColor").get("RGB").toInt(), 16777215);
  EXPECT_EQ(frame.get("RelativeHorizontalPosition").toInt(), 1);
  EXPECT_NEAR(frame.get("Left").toDouble(), 0, 0.01);
  EXPECT_NEAR(frame.get("Width").toDouble(), 595.35, 0.01);
  EXPECT_TRUE(fs::is_directory(data + "Оттиски/0/Мои оттиски"));
  EXPECT_EQ(LogLines(), 1);
}

TEST_F(GlyphCommands, OvalTypeKeepsTheDefaultOutline) {
  app::TGlyphType round{"Круг", 40, 40, true, "Печати"};
  auto* doc = app::NewGlyphDocument(c, &round, data);
  ASSERT_NE(doc, nullptr);
  EXPECT_NEAR(doc->Document.get("PageSetup").get("PageWidth").toDouble(), 113.4, 0.01);
  Variant oval = doc->Document.get("Shapes").call("Item", 1);
  EXPECT_EQ(oval.get("Type").toInt(), 1);
  EXPECT_NE(oval.get("Line").get("ForeColor").get("RGB").toInt(), 16777215);
  EXPECT_NEAR(oval.get("Height").toDouble(), 113.4, 0.01);
}

TEST_F(GlyphCommands, ACategoryThatIsNoFolderNameIsRefusedAndNothingIsCreated) {
  platform::ScriptedInteraction ui;
  platform::ScopedUI scoped(&ui);
  const std::string outside = (dir / "outside").string();
  for (const std::string& category : {std::string(".."), std::string("a/../../x"), outside}) {
    app::TGlyphType type{"Чужой", 50, 50, false, category};
    EXPECT_EQ(app::NewGlyphDocument(c, &type, data), nullptr) << category;
  }
  ASSERT_EQ(ui.messages.size(), 3u);
  EXPECT_NE(ui.messages[0].text.find("glyph_types.ini"), std::string::npos);
  EXPECT_EQ(c.CountOwnDocuments(), 0);
  EXPECT_FALSE(fs::exists(dir / "outside"));
  EXPECT_FALSE(fs::exists(data + "x"));
  EXPECT_FALSE(fs::exists(data + "Мои оттиски"));
}

TEST_F(GlyphCommands, ShortcutLeavesABlankDocumentOnly) {
  auto* doc = app::NewGlyphDocument(c, nullptr, data);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->Document.get("Shapes").get("Count").toInt(), 0);
  EXPECT_EQ(LogLines(), 0);
}

TEST_F(GlyphCommands, ExtractionCopiesTheFirstClonedShapeUnderFreshNames) {
  std::string sheet =
      MakeSheet({{"A", 20}, {"B", 20}, {"VSP_CLONED_3", 50}, {"X", 20}, {"VSP_CLONED_5", 80}});
  std::string first = app::ExtractGlyph(c, sheet, data);
  EXPECT_EQ(first, "Оттиски/Другие/Мои оттиски/Извлеченный_оттиск.doc");
  ASSERT_TRUE(fs::exists(data + first));
  EXPECT_EQ(c.FindDocument(sheet), nullptr) << "the hidden sheet is closed again";
  auto* glyph = c.FindDocument(data + first);
  ASSERT_NE(glyph, nullptr);
  Variant shapes = glyph->Document.get("Shapes");
  ASSERT_EQ(shapes.get("Count").toInt(), 1);
  EXPECT_NEAR(shapes.call("Item", 1).get("Width").toDouble(), 50, 0.01);
  EXPECT_EQ(app::ExtractGlyph(c, sheet, data),
            "Оттиски/Другие/Мои оттиски/Извлеченный_оттиск1.doc");
}

TEST_F(GlyphCommands, SheetsWithoutClonesGiveNothingAndOpenSheetsStayOpen) {
  std::string sheet = MakeSheet({{"VSP_NONPRINTABLE_L1", 20}, {"vsp_cloned_1", 20}});
  EXPECT_EQ(app::ExtractGlyph(c, sheet, data), "");
  EXPECT_FALSE(fs::exists(data + "Оттиски/Другие/Мои оттиски/Извлеченный_оттиск.doc"));
  std::string cloned = MakeSheet({{"VSP_CLONED_1", 20}});
  auto* shown = c.OpenDocument(cloned, true, false);
  ASSERT_NE(shown, nullptr);
  EXPECT_FALSE(app::ExtractGlyph(c, cloned, data).empty());
  EXPECT_FALSE(shown->Document.isEmpty()) << "a visible sheet stays open";
}

}  // namespace
