// Legacy binary documents through the one LibreOffice the converter keeps running: made by
// LibreOffice from packages we write. Skipped where LibreOffice is missing.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "ooxml_test_support.h"
#include "wordproc/core/Converter.h"
#include "wordproc/core/KeptPackage.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace ooxml_test;

namespace {

#define REQUIRE_LIBREOFFICE() \
  if (!HaveProgram("soffice")) GTEST_SKIP() << "LibreOffice is not installed"

std::unique_ptr<Document> Glyph(const std::string& text) {
  auto doc = std::make_unique<Document>();
  doc->paragraphs[0].runs.push_back({"Оттиск", RunFormat{}});
  auto shape = std::make_unique<Shape>();
  shape->kind = ShapeKind::TextBox;
  shape->name = "Label Text 1";
  shape->left = 40;
  shape->top = 60;
  shape->width = 200;
  shape->height = 50;
  Paragraph p;
  p.runs.push_back({text, RunFormat{}});
  shape->text.push_back(p);
  shape->id = doc->newShapeId();
  doc->shapes.push_back({std::move(shape), doc->paragraphs[0].id});
  return doc;
}

void CollectRuns(Shape& shape, std::vector<Run*>& runs) {
  for (auto& p : shape.text) {
    for (auto& run : p.runs) runs.push_back(&run);
  }
  for (auto& child : shape.children) CollectRuns(*child, runs);
}

std::vector<Run*> ShapeRuns(Document& doc) {
  std::vector<Run*> runs;
  for (auto& anchored : doc.shapes) CollectRuns(*anchored.shape, runs);
  return runs;
}

std::string ShapeText(Document& doc) {
  std::string text;
  for (const Run* run : ShapeRuns(doc)) text += run->text;
  return text;
}

// Binary files as LibreOffice writes them, named glyph-<i>.doc.
std::vector<std::string> MakeBinaryGlyphs(const TempDir& dir, int count) {
  std::vector<std::string> files;
  for (int i = 0; i < count; ++i) {
    WritePackage(*Glyph("Текст " + std::to_string(i)),
                 dir / ("glyph-" + std::to_string(i) + ".docx"));
  }
  std::string command = "cd " + Quote(dir.path()) + " && soffice -env:UserInstallation=file://" +
                        dir.path() + "/lo-profile --headless --convert-to doc";
  for (int i = 0; i < count; ++i) command += " glyph-" + std::to_string(i) + ".docx";
  command += " >/dev/null 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0);
  for (int i = 0; i < count; ++i) {
    files.push_back(dir / ("glyph-" + std::to_string(i) + ".doc"));
    std::filesystem::remove(dir / ("glyph-" + std::to_string(i) + ".docx"));
  }
  return files;
}

bool IsCompoundFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char head[8] = {};
  in.read(reinterpret_cast<char*>(head), 8);
  const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  return in.gcount() == 8 && std::equal(head, head + 8, signature);
}

class ConverterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveProgram("soffice")) GTEST_SKIP() << "LibreOffice is not installed";
    // A cache of this test's own: tests run side by side.
    setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
    Converter::Instance().Shutdown();
  }
  void TearDown() override { Converter::Instance().SetAfterRequestHook(nullptr); }
  Converter& converter() { return Converter::Instance(); }
  TempDir dir;
};

TEST_F(ConverterTest, ManyFilesShareOneLibreOfficeAndConvertOnceEach) {
  const auto files = MakeBinaryGlyphs(dir, 4);
  const int starts = converter().Starts();
  const int conversions = converter().Conversions();
  for (std::size_t i = 0; i < files.size(); ++i) {
    const auto doc = LoadDocumentFile(files[i]);
    EXPECT_EQ(doc->sourceFormat, SourceFormat::Word97);
    EXPECT_EQ(ShapeText(*doc), "Текст " + std::to_string(i));
  }
  EXPECT_EQ(converter().Starts() - starts, 1);
  EXPECT_EQ(converter().Conversions() - conversions, 4);

  // Opened again, the files come from the cache, even after LibreOffice has gone.
  converter().Shutdown();
  for (std::size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(ShapeText(*LoadDocumentFile(files[i])), "Текст " + std::to_string(i));
  }
  EXPECT_EQ(converter().Conversions() - conversions, 4);
  EXPECT_EQ(converter().Starts() - starts, 1);
}

TEST_F(ConverterTest, AChangedFileIsConvertedAgainAndReplacesItsCacheEntry) {
  const auto files = MakeBinaryGlyphs(dir, 2);
  LoadDocumentFile(files[0]);
  const int conversions = converter().Conversions();
  // Same name, other content: the second glyph copied over the first.
  std::filesystem::copy_file(files[1], files[0], std::filesystem::copy_options::overwrite_existing);
  EXPECT_EQ(ShapeText(*LoadDocumentFile(files[0])), "Текст 1");
  EXPECT_EQ(converter().Conversions() - conversions, 1);
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(ConversionCacheFolder())) {
    entries += entry.path().filename().string().find(".docx") != std::string::npos;
  }
  EXPECT_EQ(entries, 1) << "the stale entry stayed";
}

TEST_F(ConverterTest, SavedBinaryFilesStayBinaryAndKeepTheirShapes) {
  const auto files = MakeBinaryGlyphs(dir, 1);
  auto doc = LoadDocumentFile(files[0]);
  // One text box, however LibreOffice splits it on the way.
  ASSERT_EQ(doc->shapes.size(), 1u);
  const auto runs = ShapeRuns(*doc);
  ASSERT_EQ(runs.size(), 1u);
  runs[0]->text = "Изменённый";
  WriteDocumentFile(*doc, files[0], doc->sourceFormat);
  EXPECT_TRUE(IsCompoundFile(files[0]));
  const auto reopened = LoadDocumentFile(files[0]);
  EXPECT_EQ(reopened->sourceFormat, SourceFormat::Word97);
  std::set<std::string> names;
  for (const auto& anchored : reopened->shapes) names.insert(anchored.shape->name);
  for (const auto& anchored : doc->shapes)
    EXPECT_TRUE(names.count(anchored.shape->name)) << anchored.shape->name;
  EXPECT_EQ(ShapeText(*reopened), "Изменённый");
  // Saved again, nothing is added.
  WriteDocumentFile(*reopened, files[0], reopened->sourceFormat);
  EXPECT_EQ(LoadDocumentFile(files[0])->shapes.size(), 1u);

  // A package stays a package under any name.
  WriteDocumentFile(*Glyph("x"), dir / "package.doc", SourceFormat::Package);
  EXPECT_TRUE(LooksLikePackage(dir / "package.doc"));
  EXPECT_EQ(LoadDocumentFile(dir / "package.doc")->sourceFormat, SourceFormat::Package);
}

// Ovals are what LibreOffice's Word 97 writer lost when they reached it as DrawingML presets.
TEST_F(ConverterTest, ShapesSavedBinaryKeepTheirGeometryHereAndInLibreOffice) {
  auto doc = Glyph("Печать");
  const std::pair<AutoShapeType, ShapeKind> kinds[] = {
      {AutoShapeType::Oval, ShapeKind::AutoShape},
      {AutoShapeType::RoundedRectangle, ShapeKind::AutoShape},
      {AutoShapeType::Rectangle, ShapeKind::Line}};
  float top = 150;
  for (const auto& [type, kind] : kinds) {
    auto shape = std::make_unique<Shape>();
    shape->kind = kind;
    shape->autoShapeType = type;
    shape->left = 40, shape->top = top, shape->width = 120, shape->height = 60;
    shape->id = doc->newShapeId();
    doc->shapes.push_back({std::move(shape), doc->paragraphs[0].id});
    top += 80;
  }
  const std::string file = dir / "seal.doc";
  WriteDocumentFile(*doc, file, SourceFormat::Word97);
  ASSERT_TRUE(IsCompoundFile(file));

  const auto reopened = LoadDocumentFile(file);
  ASSERT_EQ(reopened->shapes.size(), 4u);
  EXPECT_EQ(ShapeText(*reopened), "Печать");
  for (std::size_t i = 0; i < 3; ++i) {
    const Shape& shape = *reopened->shapes[i + 1].shape;
    EXPECT_EQ(shape.kind, kinds[i].second) << i;
    if (shape.kind == ShapeKind::AutoShape) {
      EXPECT_EQ(shape.autoShapeType, kinds[i].first) << i;
    }
    EXPECT_NEAR(shape.top, 150 + 80 * float(i), 0.5f) << i;
  }
  const std::string odt = ConvertWithLibreOffice(file, "odt", dir / "lo");
  ASSERT_FALSE(odt.empty());
  EXPECT_NE(RunAndCapture("unzip -p " + Quote(odt) + " content.xml").find("draw:type=\"ellipse\""),
            std::string::npos)
      << "LibreOffice reads the oval back as an ellipse";
}

const Shape* Find(const Shape& shape, ShapeKind kind) {
  if (shape.kind == kind) return &shape;
  for (const auto& child : shape.children) {
    if (const Shape* found = Find(*child, kind)) return found;
  }
  return nullptr;
}

const Shape* Find(const Document& doc, ShapeKind kind) {
  for (const auto& anchored : doc.shapes) {
    if (const Shape* found = Find(*anchored.shape, kind)) return found;
  }
  return nullptr;
}

// A cloned sheet of a binary template: every glyph a group, here of a filled oval, a text box and
// a picture, and the template's dashed lines. LibreOffice's Word 97 writer dropped the oval of a
// DrawingML group, and its VML reader drew dashes named in camel case solid.
TEST_F(ConverterTest, SheetsSavedBinaryKeepOvalsInGroupsAndDashesOfLines) {
  auto doc = Glyph("Сыр козий");
  auto text = std::move(doc->shapes[0].shape);
  doc->shapes.clear();
  text->left = 40, text->top = 40, text->width = 120, text->height = 30;
  text->fill.visible = false;
  auto oval = std::make_unique<Shape>();
  oval->kind = ShapeKind::AutoShape;
  oval->autoShapeType = AutoShapeType::Oval;
  oval->width = 200, oval->height = 120;
  oval->fill.color = 0xFFF2CC;
  oval->id = doc->newShapeId();
  auto group = std::make_unique<Shape>();
  group->kind = ShapeKind::Group;
  group->name = "VSP_CLONED_1";
  group->left = 30, group->top = 40, group->width = 200, group->height = 120;
  auto picture = std::make_unique<Shape>();
  picture->kind = ShapeKind::Picture;
  picture->left = 150, picture->top = 80, picture->width = 40, picture->height = 30;
  picture->image = MakeImage();
  picture->id = doc->newShapeId();
  group->children.push_back(std::move(oval));
  group->children.push_back(std::move(text));
  group->children.push_back(std::move(picture));
  group->id = doc->newShapeId();
  doc->shapes.push_back({std::move(group), doc->paragraphs[0].id});
  const DashStyle dashes[] = {DashStyle::Dash,           DashStyle::LongDash,
                              DashStyle::DashDot,        DashStyle::LongDashDot,
                              DashStyle::LongDashDotDot, DashStyle::DashDotDot};
  for (std::size_t i = 0; i < std::size(dashes); ++i) {
    auto line = std::make_unique<Shape>();
    line->kind = ShapeKind::Line;
    line->left = 20, line->top = 200 + 20 * float(i), line->width = 300, line->height = 0;
    line->line.dash = dashes[i];
    line->id = doc->newShapeId();
    doc->shapes.push_back({std::move(line), doc->paragraphs[0].id});
  }
  const std::string file = dir / "sheet.doc";
  WriteDocumentFile(*doc, file, SourceFormat::Word97);
  ASSERT_TRUE(IsCompoundFile(file));

  const auto reopened = LoadDocumentFile(file);
  const Shape* kept = Find(*reopened, ShapeKind::AutoShape);
  ASSERT_TRUE(kept) << "the oval is kept";
  EXPECT_EQ(kept->autoShapeType, AutoShapeType::Oval);
  EXPECT_TRUE(kept->fill.visible);
  EXPECT_EQ(kept->fill.color, 0xFFF2CCu);
  const Shape* image = Find(*reopened, ShapeKind::Picture);
  ASSERT_TRUE(image) << "the picture is kept";
  EXPECT_TRUE(image->image);
  EXPECT_EQ(ShapeText(*reopened), "Сыр козий");
  std::vector<DashStyle> lines;
  for (const auto& anchored : reopened->shapes) {
    if (anchored.shape->kind == ShapeKind::Line) lines.push_back(anchored.shape->line.dash);
  }
  EXPECT_EQ(lines, std::vector<DashStyle>(std::begin(dashes), std::end(dashes)));
}

TEST_F(ConverterTest, AFileWhoseConversionKillsLibreOfficeIsRetriedOnce) {
  const auto files = MakeBinaryGlyphs(dir, 3);
  const int starts = converter().Starts();
  int requests = 0;
  // The first try of the second file loses LibreOffice; its second try succeeds.
  converter().SetAfterRequestHook([&](pid_t group) {
    if (++requests == 2) ::kill(-group, SIGKILL);
  });
  for (std::size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(ShapeText(*LoadDocumentFile(files[i])), "Текст " + std::to_string(i));
  }
  EXPECT_EQ(converter().Starts() - starts, 2);
  EXPECT_EQ(requests, 4);
}

TEST_F(ConverterTest, AFileThatKillsLibreOfficeTwiceIsReportedAndLaterFilesConvert) {
  const auto files = MakeBinaryGlyphs(dir, 2);
  int requests = 0;
  converter().SetAfterRequestHook([&](pid_t group) {
    if (++requests <= 2) ::kill(-group, SIGKILL);
  });
  try {
    LoadDocumentFile(files[0]);
    ADD_FAILURE() << "no error";
  } catch (const DocumentError& e) {
    EXPECT_NE(std::string(e.what()).find(files[0]), std::string::npos) << e.what();
  }
  EXPECT_EQ(ShapeText(*LoadDocumentFile(files[1])), "Текст 1");
}

TEST(Converter, WithoutLibreOfficeTheErrorNamesTheFileAndThePackage) {
  TempDir dir;
  {
    std::ofstream out(dir / "legacy.doc", std::ios::binary);
    out << "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 not really";
  }
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", "/nonexistent", 1);
  try {
    LoadDocumentFile(dir / "legacy.doc");
    ADD_FAILURE() << "no error";
  } catch (const OfficeMissingError& e) {
    EXPECT_NE(std::string(e.what()).find("legacy.doc"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("libreoffice-writer-nogui"), std::string::npos)
        << e.what();
  }
  setenv("PATH", path.c_str(), 1);
}

}  // namespace
