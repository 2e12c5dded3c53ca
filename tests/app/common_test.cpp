#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/uCommon.h"
#include "app/uStartup.h"
#include "platform/Files.h"
#include "platform/Registry.h"

namespace fs = std::filesystem;
using app::TGlyphType;

namespace {

TGlyphType Line(const std::string& text) {
  return app::ParseGlyphTypeLine(text);
}

TEST(GlyphTypeLine, FieldsAreCutAtCommasFromTheLeft) {
  EXPECT_EQ(Line("A,90,50,0,B"), (TGlyphType{"A", 90, 50, false, "B"}));
  EXPECT_EQ(Line("A,90,50,1,B"), (TGlyphType{"A", 90, 50, false, "B"})) << "remainder 1,B";
  EXPECT_EQ(Line("A,40,40,1"), (TGlyphType{"A", 40, 40, true, "1"}));
  EXPECT_EQ(Line("A,x,50,0,B"), (TGlyphType{"A", 210, 50, false, "B"}));
  EXPECT_EQ(Line("A,90"), (TGlyphType{"A", 210, 297, false, "90"}));
  EXPECT_EQ(Line(""), (TGlyphType{"", 210, 297, false, ""}));
  EXPECT_EQ(Line("A,90,50,0"), (TGlyphType{"A", 90, 50, false, "0"}));
  EXPECT_EQ(Line("A,90,50,0,B,C"), (TGlyphType{"A", 90, 50, false, "B,C"}));
  EXPECT_EQ(Line("A,-5,99999999999,0,B").Height, 297) << "out of range is no integer";
}

TEST(GlyphTypeFile, EveryLineCountsInOrder) {
  std::string text;
  for (int i = 0; i < 10; ++i)
    text += "T" + std::to_string(i) + "," + std::to_string(i) + ",1,0,c\r\n";
  auto types = app::ParseGlyphTypes(text);
  ASSERT_EQ(types.size(), 10u);
  EXPECT_EQ(types[0].Name, "T0");
  EXPECT_EQ(types[9].Width, 9);
  EXPECT_EQ(app::ParseGlyphTypes("A\n\nB").size(), 3u);
  EXPECT_EQ(app::ParseGlyphTypes("A\rB\r\nC\n").size(), 3u);
}

TEST(GlyphTypeFile, NoLinesGiveTheStandardType) {
  TGlyphType standard{"Стандартный", 210, 297, false, "0"};
  EXPECT_EQ(app::ParseGlyphTypes(""), std::vector<TGlyphType>{standard});
  EXPECT_EQ(app::ParseGlyphTypes(std::string("\0A,1,2,0,x", 10)),
            std::vector<TGlyphType>{standard});
  EXPECT_EQ(app::LoadGlyphTypes("/nonexistent/glyph_types.ini"), std::vector<TGlyphType>{standard});
}

TEST(GlyphTypeFile, NulEndsTheTextAndWindows1251IsRecognised) {
  auto types = app::ParseGlyphTypes(std::string("A,1,2,0,x\nB\0C,3,4,0,y", 19));
  ASSERT_EQ(types.size(), 2u);
  EXPECT_EQ(types[1].Name, "");
  EXPECT_EQ(types[1].Category, "B");
  // "Визитка,90,50,0,Визитки" in Windows-1251.
  std::string cp1251 = "\xC2\xE8\xE7\xE8\xF2\xEA\xE0,90,50,0,\xC2\xE8\xE7\xE8\xF2\xEA\xE8";
  auto ru = app::ParseGlyphTypes(cp1251);
  ASSERT_EQ(ru.size(), 1u);
  EXPECT_EQ(ru[0].Name, "Визитка");
  EXPECT_EQ(ru[0].Category, "Визитки");
  EXPECT_EQ(app::ParseGlyphTypes("Визитка,90,50,0,Визитки")[0].Name, "Визитка");
}

// Text that only looks like UTF-8 (an overlong form) is Windows-1251 like any other.
TEST(GlyphTypeFile, OverlongFormsAreNotTakenForUtf8) {
  // "\xE0\x80\xAF" is an overlong "/" in UTF-8 and "аЂЇ" in Windows-1251.
  auto types = app::ParseGlyphTypes("\xE0\x80\xAF,90,50,0,X");
  ASSERT_EQ(types.size(), 1u);
  EXPECT_EQ(types[0].Name, "\xD0\xB0\xD0\x82\xD0\x87");
}

TEST(ShortDate, TrailingFourDigitYearBecomesTwoDigits) {
  EXPECT_EQ(app::AdjustShortDateFormat("dd.MM.yyyy"), "dd.MM.yy");
  EXPECT_EQ(app::AdjustShortDateFormat("M/d/yyyy"), "M/d/yy");
  EXPECT_EQ(app::AdjustShortDateFormat("dd.MM.yy"), "dd.MM.yy");
  EXPECT_EQ(app::AdjustShortDateFormat("yyyy-MM-dd"), "yyyy-MM-dd");
}

TEST(SelectComboText, MatchesIgnoringCaseElseFirstElseNone) {
  std::vector<std::string> items{"A4 (210 x 297 mm)", "Визитки", "Letter"};
  EXPECT_EQ(app::SelectComboText(items, "letter"), 2);
  EXPECT_EQ(app::SelectComboText(items, "ВИЗИТКИ"), 1);
  EXPECT_EQ(app::SelectComboText(items, "A5"), 0);
  EXPECT_EQ(app::SelectComboText({}, "A5"), -1);
}

class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("vsp-app-test-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    registryFile = (dir / "registry").string();
    platform::Registry::Instance().setFilePath(registryFile);
  }
  void TearDown() override {
    platform::Registry::Instance().setFilePath(platform::Registry::DefaultFilePath());
    fs::remove_all(dir);
  }
  void Touch(const fs::path& p) { std::ofstream(p) << "x"; }
  fs::path dir;
  std::string registryFile;
};

TEST_F(ScratchTest, UniqueFileNameTakesTheFirstFreeNumber) {
  Touch(dir / "a.doc");
  Touch(dir / "a1.doc");
  EXPECT_EQ(app::MakeUniqueFileName((dir / "a.doc").string()), (dir / "a2.doc").string());
  EXPECT_EQ(app::MakeUniqueFileName((dir / "b.doc").string()), (dir / "b.doc").string());
  Touch(dir / "noext");
  EXPECT_EQ(app::MakeUniqueFileName((dir / "noext").string()), (dir / "noext1").string());
  fs::create_directories(dir / "x.y");
  Touch(dir / "x.y" / "name");
  EXPECT_EQ(app::MakeUniqueFileName((dir / "x.y" / "name").string()),
            (dir / "x.y" / "name1").string())
      << "a dot in a folder name is no extension";
}

TEST_F(ScratchTest, SettingsAreTypedStrings) {
  app::WriteSetting("PaperSize", "A4 (210 x 297 mm)");
  EXPECT_EQ(app::ReadSetting("PaperSize"), "A4 (210 x 297 mm)");
  EXPECT_EQ(app::ReadSetting("Missing"), "");
  platform::RegValue number{platform::RegType::Number, "", 7};
  platform::Registry::Instance().write(platform::RegRoot::LocalMachine, app::SettingsKey, "DataDir",
                                       number);
  EXPECT_THROW(app::ReadSetting("DataDir"), platform::RegistryError);
  std::string dataFolder = app::ResolveDataFolder();
  EXPECT_FALSE(dataFolder.empty()) << "a number is taken as no setting at start-up";
  EXPECT_EQ(dataFolder.back(), '/');
}

TEST_F(ScratchTest, DataFolderFromTheSettingIsCreatedWithItsParents) {
  for (std::string suffix : {"", "/"}) {
    std::string wanted = (dir / "deep" / "Labels").string() + suffix;
    app::WriteSetting("DataDir", wanted);
    std::string got = app::ResolveDataFolder();
    EXPECT_EQ(got, (dir / "deep" / "Labels").string() + "/");
    EXPECT_TRUE(fs::is_directory(got));
  }
}

TEST_F(ScratchTest, DefaultDataFolderIsVarnelInTheDocumentsFolder) {
  platform::RegValue docs{platform::RegType::String, (dir / "Docs").string(), 0};
  platform::Registry::Instance().write(platform::RegRoot::CurrentUser, platform::kShellFoldersKey,
                                       "Personal", docs);
  EXPECT_EQ(app::ResolveDataFolder(), (dir / "Docs" / "Varnel").string() + "/");
}

TEST_F(ScratchTest, TemporaryNamesAreNewFilesInThePrivateFolder) {
  setenv("TMPDIR", dir.c_str(), 1);
  std::string folder = app::GetTempFolder();
  std::string a = app::MakeTempFileName("vsp", "");
  std::string b = app::MakeTempFileName("vsp", folder);
  EXPECT_NE(a, b);
  EXPECT_EQ(a.rfind(folder + "vsp", 0), 0u) << a;
  EXPECT_TRUE(fs::is_regular_file(a));
  EXPECT_EQ(fs::file_size(a), 0u);
  unsetenv("TMPDIR");
}

TEST_F(ScratchTest, DebugLogAppendsDatedLines) {
  app::AppFolder = (dir / "").string();
  app::ShortDateFormat = "dd.MM.yy";
  app::WriteDebugLog("first");
  app::WriteDebugLog("second");
  std::ifstream in(dir / "debug.log");
  std::string l1, l2;
  std::getline(in, l1);
  std::getline(in, l2);
  EXPECT_NE(l1.find(": first"), std::string::npos) << l1;
  EXPECT_EQ(l1[2], '.') << l1;
  EXPECT_NE(l2.find(": second"), std::string::npos);
  app::AppFolder = "/nonexistent-folder/";
  EXPECT_NO_THROW(app::WriteDebugLog("lost"));
}

}  // namespace
