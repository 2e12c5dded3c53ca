// Whole cloning runs on real files, checked by reading the filled sheet back through the
// automation interface.
#include <sys/stat.h>

#include <filesystem>

#include "CloneSupport.h"
#include "clone/uPlacing.h"
#include "platform/Files.h"

using namespace cloning;
using namespace clone_test;
namespace fs = std::filesystem;

namespace {

const TPaperSize kA4{"A4", "A4"};

class CloneGlyphsTest : public CloneTest {
 protected:
  std::string Glyph(const std::string& tag) {
    std::string path = GlyphPath("Визитки", tag + ".doc");
    MakeGlyph(Word(), path, tag);
    return path;
  }
  wordlink::TExtAppDocument* Clone(TCloneParams& glyphs, int sets) {
    return CloneGlyphs(*host, glyphs, sets, "Визитки", kA4);
  }
  std::vector<std::string> Tags(const std::vector<Variant>& copies) {
    std::vector<std::string> tags;
    for (const Variant& c : copies) tags.push_back(GlyphTag(c));
    return tags;
  }
};

TEST_F(CloneGlyphsTest, TwoGlyphsTwoSetsFillTwoPagesInPlacingOrder) {
  std::vector<Rect> positions = Column(5);
  positions[4].width = 180;  // one position of another size
  const std::vector<Line> lines = {
      {20, 30, 500, 30, 0.25f, 4}, {300, 20, 300, 800, 1.5f, 2}, {20, 820, 500, 820, 0.75f, 1}};
  MakeTemplate(Word(), TemplatePath("Визитки", "A4"), positions, lines);
  fs::create_directories(data + "Листы/Визитки");
  TCloneParams glyphs = {{Glyph("A"), 2}, {Glyph("B"), 1}};

  wordlink::TExtAppDocument* sheet = Clone(glyphs, 2);

  ASSERT_NE(sheet, nullptr);
  EXPECT_TRUE(ui.messages.empty());
  const Variant doc = sheet->Document;
  EXPECT_EQ(Pages(doc), 2);
  const auto copies = ShapesNamed(doc, "VSP_CLONED_");
  ASSERT_EQ(copies.size(), 6u);
  EXPECT_EQ(Tags(copies), (std::vector<std::string>{"A", "A", "B", "A", "A", "B"}));
  for (int n = 1; n <= 6; ++n) {
    SCOPED_TRACE(n);
    const Variant& copy = copies[std::size_t(n - 1)];
    const Rect& pos = positions[std::size_t((n - 1) % 5)];
    EXPECT_EQ(copy.get("Name").toString(), "VSP_CLONED_" + std::to_string(n));
    EXPECT_EQ(PageOf(copy), n <= 5 ? 1 : 2);
    EXPECT_TRUE(copy.get("Visible").toBool());
    EXPECT_FLOAT_EQ(copy.get("Left").toFloat(), pos.left);
    EXPECT_FLOAT_EQ(copy.get("Top").toFloat(), pos.top);
    EXPECT_FLOAT_EQ(copy.get("Width").toFloat(), pos.width);
    EXPECT_FLOAT_EQ(copy.get("Height").toFloat(), pos.height);
  }
  const auto guides = ShapesNamed(doc, "VSP_NONPRINTABLE_");
  ASSERT_EQ(guides.size(), 6u);
  for (int n = 1; n <= 6; ++n) {
    SCOPED_TRACE(n);
    const Variant& guide = guides[std::size_t(n - 1)];
    const Line& line = lines[std::size_t((n - 1) % 3)];
    EXPECT_EQ(guide.get("Name").toString(), "VSP_NONPRINTABLE_L" + std::to_string(n));
    EXPECT_EQ(PageOf(guide), n <= 3 ? 1 : 2);
    EXPECT_FLOAT_EQ(guide.get("Line").get("Weight").toFloat(), line.weight);
    EXPECT_EQ(guide.get("Line").get("DashStyle").toInt(), line.dash);
    EXPECT_FLOAT_EQ(guide.get("Left").toFloat(), line.x1);
    EXPECT_FLOAT_EQ(guide.get("Top").toFloat(), line.y1);
  }
  EXPECT_EQ(doc.get("Shapes").get("Count").toInt(), 12) << "the masters are gone";

  EXPECT_EQ(host->progressText, "Размножение оттисков..");
  EXPECT_EQ(host->progressMax, 4);
  EXPECT_EQ(host->steps, 4);
  EXPECT_EQ(host->ended, 1);
  ASSERT_EQ(host->edited.size(), 1u);
  const std::string dot = host->edited[0];
  EXPECT_EQ(dot.substr(dot.size() - 4), ".dot");
  ASSERT_EQ(host->list.Count(), 1);
  EXPECT_EQ(host->list.Items(0)->Kind, catalogue::kSheetKind);
  EXPECT_TRUE(sheet->AppRef().get("Visible").toBool());
  EXPECT_TRUE(platform::DirectoryExists(data + "Листы/Визитки/Мои листы"));
  EXPECT_EQ(FilesIn(data + "Оттиски/Визитки/Мои оттиски"),
            (std::vector<std::string>{"A.doc", "B.doc"}))
      << "no working copies beside the glyphs";
  EXPECT_TRUE(TemporaryLitter().empty());
}

TEST_F(CloneGlyphsTest, TwelveSetsOnTenPositionsMakeTwoPages) {
  std::vector<Rect> ten;
  for (int k = 0; k < 10; ++k)
    ten.push_back({k % 2 ? 300.0f : 40.0f, 40.0f + 150 * float(k / 2), 200, 90});
  MakeTemplate(Word(), TemplatePath("Визитки", "A4"), ten);
  TCloneParams glyphs = {{Glyph("A"), 1}};

  wordlink::TExtAppDocument* sheet = Clone(glyphs, 12);

  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(Pages(sheet->Document), 2);
  const auto copies = ShapesNamed(sheet->Document, "VSP_CLONED_");
  ASSERT_EQ(copies.size(), 12u);
  EXPECT_EQ(PageOf(copies[9]), 1);
  EXPECT_EQ(PageOf(copies[10]), 2);
  EXPECT_FLOAT_EQ(copies[11].get("Left").toFloat(), ten[1].left);
  EXPECT_FLOAT_EQ(copies[11].get("Top").toFloat(), ten[1].top);
  EXPECT_EQ(CountLabelPositions(host->Controller(), data, "Визитки", "A4"), 10);
}

TEST_F(CloneGlyphsTest, NoSetsGiveASheetWithoutCopies) {
  MakeTemplate(Word(), TemplatePath("Визитки", "A4"), Column(3), {{20, 30, 500, 30, 1, 1}});
  TCloneParams glyphs = {{Glyph("A"), 1}};

  wordlink::TExtAppDocument* sheet = Clone(glyphs, 0);

  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->Document.get("Shapes").get("Count").toInt(), 0)
      << "the template's content is cleared";
  EXPECT_EQ(Pages(sheet->Document), 1);
  EXPECT_EQ(host->steps, 0);
}

TEST_F(CloneGlyphsTest, TemplateWithoutPositionsEndsWithAMessageAndNoSheet) {
  MakeTemplate(Word(), TemplatePath("Визитки", "A4"), {}, {{20, 30, 500, 30, 1, 1}});
  TCloneParams glyphs = {{Glyph("A"), 1}};

  EXPECT_EQ(Clone(glyphs, 3), nullptr);

  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].text.find(TemplatePath("Визитки", "A4")), std::string::npos);
  EXPECT_EQ(ui.messages[0].caption, "Внимание");
  EXPECT_TRUE(host->edited.empty());
  EXPECT_EQ(host->ended, 1);
  EXPECT_EQ(host->controller->CountOwnDocuments(), 0) << "the working sheet is closed";
  EXPECT_TRUE(TemporaryLitter().empty());

  ui.messages.clear();
  EXPECT_NE(Clone(glyphs, 0), nullptr) << "no sets need no positions";
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CloneGlyphsTest, GlyphWithoutGraphicsStopsAndStaysOpen) {
  MakeTemplate(Word(), TemplatePath("Визитки", "A4"), Column(3));
  const std::string empty = GlyphPath("Визитки", "Пустой.doc");
  MakeGlyph(Word(), empty, "");
  TCloneParams glyphs = {{Glyph("A"), 1}, {empty, 1}};

  wordlink::TExtAppDocument* stopped = Clone(glyphs, 1);

  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text,
            "Оттиск не содержит графических объектов (даже надписей), клонирование не будет "
            "выполнено");
  EXPECT_EQ(ui.messages[0].caption, "Внимание");
  EXPECT_EQ(ui.messages[0].buttons, platform::MsgButtons::Ok);
  ASSERT_NE(stopped, nullptr);
  EXPECT_EQ(stopped->Document.get("FullName").toString().rfind(platform::PrivateTempFolder(), 0),
            0u)
      << "the user is shown the working copy, never the glyph itself";
  EXPECT_EQ(FilesIn(data + "Оттиски/Визитки/Мои оттиски"),
            (std::vector<std::string>{"A.doc", "Пустой.doc"}));
  EXPECT_TRUE(TemporaryLitter().empty()) << "its file goes; the document stays open in memory";
  EXPECT_FALSE(fs::exists(data + "Листы")) << "the template stage never ran";
  EXPECT_TRUE(host->edited.empty());
}

TEST_F(CloneGlyphsTest, MissingTemplateIsNamedInTheCaption) {
  TCloneParams glyphs = {{Glyph("A"), 1}};

  EXPECT_EQ(Clone(glyphs, 1), nullptr);

  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "");
  EXPECT_EQ(ui.messages[0].caption,
            "Не найден шаблон для клонирования: " + TemplatePath("Визитки", "A4"));
  EXPECT_EQ(ui.messages[0].icon, platform::MsgIcon::Error);
  EXPECT_TRUE(platform::DirectoryExists(data + "Листы/Другие/Мои листы"));
  EXPECT_TRUE(TemporaryLitter().empty());
  EXPECT_EQ(host->ended, 1);
}

TEST_F(CloneGlyphsTest, EmptyListDoesNothing) {
  TCloneParams none;
  EXPECT_EQ(Clone(none, 5), nullptr);
  EXPECT_EQ(host->progressMax, -1);
  EXPECT_TRUE(ui.log.empty());
}

// Renames the glyph's oval while it is open in Word, as a user's unsaved edit.
wordlink::TExtAppDocument* EditOpenGlyph(TestHost& host, const std::string& path,
                                         const std::string& newTag) {
  wordlink::TExtAppDocument* open = host.Controller().OpenDocument(path, true, false);
  open->Document.get("Shapes").call("Item", 1).put("Name", newTag + " oval");
  return open;
}

TEST_F(CloneGlyphsTest, OpenWritableGlyphIsSavedBeforeCopying) {
  MakeTemplate(Word(), TemplatePath("Визитки", "A4"), Column(2));
  TCloneParams glyphs = {{Glyph("A"), 1}};
  EditOpenGlyph(*host, glyphs[0].FileName, "Edited");

  wordlink::TExtAppDocument* sheet = Clone(glyphs, 1);

  ASSERT_NE(sheet, nullptr);
  EXPECT_TRUE(ui.log.empty()) << "no question for a writable file";
  EXPECT_EQ(Tags(ShapesNamed(sheet->Document, "VSP_CLONED_")),
            (std::vector<std::string>{"Edited"}));
  EXPECT_EQ(host->Controller().FindDocument(glyphs[0].FileName), nullptr) << "closed";
}

TEST_F(CloneGlyphsTest, ReadOnlyOpenGlyphSavedUnderTheNameChosen) {
  MakeTemplate(Word(), TemplatePath("Визитки", "A4"), Column(2));
  const std::string collection = Glyph("A");
  const std::string chosen = GlyphPath("Визитки", "Моя копия.doc");
  platform::SetReadOnly(collection);
  const std::string before = ReadFile(collection);
  EditOpenGlyph(*host, collection, "Mine");
  ui.overwriteAnswers.push_back({2, chosen});
  TCloneParams glyphs = {{collection, 1}};

  wordlink::TExtAppDocument* sheet = Clone(glyphs, 1);

  ASSERT_EQ(ui.log, (std::vector<std::string>{"overwrite: " + collection}));
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(glyphs[0].FileName, chosen);
  EXPECT_EQ(Tags(ShapesNamed(sheet->Document, "VSP_CLONED_")), (std::vector<std::string>{"Mine"}));
  EXPECT_EQ(ReadFile(collection), before) << "the collection file is left as it was";
  EXPECT_TRUE(platform::IsReadOnly(collection));
  EXPECT_TRUE(TemporaryLitter().empty());
}

TEST_F(CloneGlyphsTest, ReadOnlyOpenGlyphWithoutChoiceStopsOnIt) {
  MakeTemplate(Word(), TemplatePath("Визитки", "A4"), Column(2));
  const std::string collection = Glyph("A");
  platform::SetReadOnly(collection);
  wordlink::TExtAppDocument* open = EditOpenGlyph(*host, collection, "Mine");
  TCloneParams glyphs = {{collection, 1}};

  EXPECT_EQ(Clone(glyphs, 1), open);

  EXPECT_EQ(ui.log.size(), 1u);
  EXPECT_FALSE(open->Document.isEmpty()) << "still open, with the user's edit";
  EXPECT_TRUE(host->edited.empty());
  EXPECT_FALSE(fs::exists(data + "Листы"));
}

TEST_F(CloneGlyphsTest, InlinePictureGlyphBecomesAFloatingCopy) {
  MakeTemplate(Word(), TemplatePath("Визитки", "A4"), Column(2));
  const std::string picture = GlyphPath("Визитки", "Логотип.doc");
  MakeInlinePictureGlyph(picture, 60, 30);
  TCloneParams glyphs = {{picture, 2}};

  wordlink::TExtAppDocument* sheet = Clone(glyphs, 1);

  ASSERT_NE(sheet, nullptr);
  const auto copies = ShapesNamed(sheet->Document, "VSP_CLONED_");
  ASSERT_EQ(copies.size(), 2u);
  EXPECT_EQ(copies[1].get("Type").toInt(), 6) << "the picture grouped with the page frame";
  EXPECT_EQ(copies[1].get("GroupItems").call("Item", "Logo").get("Type").toInt(), 13);
  EXPECT_FLOAT_EQ(copies[1].get("Width").toFloat(), 200);
  EXPECT_EQ(sheet->Document.get("InlineShapes").get("Count").toInt(), 0);
}

// Working copies live in the private temporary folder under names of their own, so neither
// the glyph's folder nor the length of its name matters, and a failing run leaves nothing.
TEST_F(CloneGlyphsTest, WorkingCopiesDoNotDependOnTheGlyphsFolderOrName) {
  MakeTemplate(Word(), TemplatePath("Визитки", "A4"), Column(2));
  const std::string longName = GlyphPath("Визитки", std::string(250, 'g') + ".doc");
  fs::rename(Glyph("Long"), longName);
  const std::string folder = data + "Оттиски/Визитки/Коллекция оттисков/";
  fs::create_directories(folder);
  MakeGlyph(Word(), folder + "R.doc", "R");
  chmod(folder.c_str(), 0555);
  TCloneParams glyphs = {{longName, 1}, {folder + "R.doc", 1}};

  wordlink::TExtAppDocument* sheet = Clone(glyphs, 1);

  chmod(folder.c_str(), 0755);
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(Tags(ShapesNamed(sheet->Document, "VSP_CLONED_")),
            (std::vector<std::string>{"Long", "R"}));
  EXPECT_EQ(FilesIn(folder), (std::vector<std::string>{"R.doc"}));
  EXPECT_TRUE(TemporaryLitter().empty());
}

TEST_F(CloneGlyphsTest, ARunThatFailsLeavesNoWorkingCopies) {
  MakeTemplate(Word(), TemplatePath("Визитки", "A4"), Column(2));
  TCloneParams glyphs = {{Glyph("A"), 1}, {GlyphPath("Визитки", "B.doc"), 1}};
  ASSERT_EQ(mkfifo(glyphs[1].FileName.c_str(), 0600), 0) << "a glyph that cannot be copied";

  EXPECT_THROW(Clone(glyphs, 1), platform::FileError);

  EXPECT_EQ(host->ended, 1);
  EXPECT_TRUE(TemporaryLitter().empty());
  EXPECT_EQ(FilesIn(data + "Оттиски/Визитки/Мои оттиски"),
            (std::vector<std::string>{"A.doc", "B.doc"}));
}

}  // namespace
