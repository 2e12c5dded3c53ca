#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "Support.h"
#include "catalogue/uCatalogueViews.h"
#include "platform/UserInteraction.h"

using namespace catalogue;
using namespace catalogue_test;

namespace {

using Names = std::vector<std::string>;

class ViewsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name :
         {"Визитки/Шаблон_A4.doc", "Визитки/Мои оттиски/a.doc",
          "Визитки/Мои оттиски/s/1/2/3/deep.doc", "Визитки/Коллекция оттисков/c.doc",
          "бланки/мои оттиски/b.doc", ".скрытая/Мои оттиски/h.doc"})
      WriteFile(data + "Оттиски/" + name, "x");
    for (const char* name : {"Есть", "Ёлки", "Жуки", "Пустая"})
      std::filesystem::create_directories(data + "Оттиски/" + name);
    WriteFile(data + "Листы/А4/Мои листы/s.doc", "x");
  }
  Names RowNames(const TCatalogueTab& t) const {
    Names names;
    for (const auto& e : t.Rows) names.push_back(e->Path.substr(e->Path.rfind('/') + 1));
    return names;
  }
  void Choose(TComboState& box, const std::string& text) {
    ASSERT_TRUE(box.SelectText(text)) << text;
  }

  std::string data = NewDataFolder();
  std::unique_ptr<TPreviewList> list;
  TCatalogue catalogue{data, list};
  TCatalogueTab glyphs{kGlyphKind};
  platform::ScriptedInteraction ui;
  platform::ScopedUI scope{&ui};
};

}  // namespace

TEST_F(ViewsTest, BoxesListFoldersAlphabeticallyAndTheGridShowsSourceDocuments) {
  int loading = 0;
  catalogue.OnLoading = [&](TCatalogueTab&) { ++loading; };
  catalogue.FillCategoryBox(glyphs);
  EXPECT_EQ(glyphs.Category.Items, (Names{"Все", "бланки", "Визитки", "Есть", "Ёлки", "Жуки",
                                          "Пустая", "Добавить новую категорию..."}));
  EXPECT_EQ(glyphs.Category.ItemIndex, 0);
  EXPECT_EQ(glyphs.Filter.Items,
            (Names{"Все", "Коллекция оттисков", "Мои оттиски", "Недавние оттиски"}))
      << "a source folder in two categories is listed once";
  EXPECT_EQ(glyphs.Filter.ItemIndex, 0);
  EXPECT_EQ(RowNames(glyphs), (Names{"c.doc", "a.doc", "deep.doc", "b.doc"}));
  EXPECT_EQ(loading, 1);
  EXPECT_TRUE(std::filesystem::exists(data + "cache.dat")) << "no cache at load: written";

  Choose(glyphs.Filter, "Мои оттиски");
  catalogue.FillGrid(glyphs);
  EXPECT_EQ(RowNames(glyphs), (Names{"a.doc", "deep.doc", "b.doc"})) << "in every category";
  Choose(glyphs.Filter, "Недавние оттиски");
  catalogue.FillGrid(glyphs);
  EXPECT_EQ(RowNames(glyphs), (Names{"c.doc", "a.doc", "deep.doc", "b.doc"}));

  Choose(glyphs.Filter, "Мои оттиски");
  Choose(glyphs.Category, "ВИЗИТКИ");
  catalogue.cbGlyphCategoryChange(glyphs, "Varnel Stampora");
  EXPECT_EQ(glyphs.Filter.Text(), "Мои оттиски") << "the filter survives where it exists";
  EXPECT_EQ(RowNames(glyphs), (Names{"a.doc", "deep.doc"}));
  Choose(glyphs.Category, "Пустая");
  catalogue.cbGlyphCategoryChange(glyphs, "Varnel Stampora");
  EXPECT_EQ(glyphs.Filter.Items, (Names{"Все", "Недавние оттиски"}));
  EXPECT_EQ(glyphs.Filter.ItemIndex, 0);
  EXPECT_TRUE(glyphs.Rows.empty());
}

TEST_F(ViewsTest, SheetTabSharesTheListButShowsOnlySheets) {
  TCatalogueTab sheets(kSheetKind);
  catalogue.FillCategoryBox(glyphs);
  catalogue.FillCategoryBox(sheets);
  EXPECT_EQ(sheets.Filter.Items, (Names{"Все", "Мои листы", "Недавние листы"}));
  EXPECT_EQ(RowNames(sheets), (Names{"s.doc"}));
  EXPECT_EQ(list->Count(), 5);
  catalogue.FillGrid(glyphs);
  EXPECT_EQ(RowNames(glyphs).size(), 4u);
}

TEST_F(ViewsTest, ChangedDocumentsAreRedatedAndRenamedOnesReplacedInTheCache) {
  catalogue.FillCategoryBox(glyphs);
  for (const auto& e : glyphs.Rows) e->Thumbnail = std::make_shared<TBitmap>(4, 4);
  list->SaveCache();
  std::string mine = data + "Оттиски/Визитки/Мои оттиски/";
  SetMTime(mine + "a.doc", 1000000000);
  std::filesystem::rename(data + "Оттиски/Визитки/Коллекция оттисков/c.doc",
                          data + "Оттиски/Визитки/Коллекция оттисков/c2.doc");
  TPreviewItemPtr a = glyphs.Rows[1];
  catalogue.FillGrid(glyphs);
  EXPECT_EQ(RowNames(glyphs), (Names{"c2.doc", "a.doc", "deep.doc", "b.doc"}));
  EXPECT_EQ(glyphs.Rows[1], a) << "the changed document keeps its entry";
  EXPECT_FALSE(a->Thumbnail);
  EXPECT_EQ(a->FileDate, DateTimeFromUnix(1000000000));

  TFileReader in(data + "cache.dat");
  TCacheReader reader(in);
  TCacheRecord record;
  Names cached;
  while (reader.Next(record)) cached.push_back(record.Path.substr(record.Path.rfind('/') + 1));
  EXPECT_EQ(cached, (Names{"deep.doc", "b.doc"})) << "rewritten without the stale thumbnails";
}

// What was read before the damage stays; the next run finds a sound cache and says nothing.
TEST_F(ViewsTest, DamagedCacheIsReportedOnceWhileTheFillGoesOnAndIsRewritten) {
  const std::string path = "Оттиски/Визитки/Мои оттиски/a.doc";
  TPreviewList before(data);
  before.FindOrAdd(path, kGlyphKind, 0)->Thumbnail = std::make_shared<TBitmap>(Pattern(5, 3));
  before.FindOrAdd("Оттиски/Я/z.doc", kGlyphKind, 1)->Thumbnail = std::make_shared<TBitmap>(4, 4);
  TMemoryWriter good;
  before.SaveCacheTo(good);
  std::string file(good.Bytes.begin(), good.Bytes.end());
  file.resize(file.size() - 3);
  WriteFile(data + "cache.dat", file);

  catalogue.FillCategoryBox(glyphs);
  EXPECT_EQ(glyphs.Rows.size(), 4u);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].text.find(data + "cache.dat"), std::string::npos);
  EXPECT_NE(ui.messages[0].text.find("повреждён"), std::string::npos);
  catalogue.FillGrid(glyphs);
  EXPECT_EQ(ui.messages.size(), 1u) << "the same damage is not reported again";

  std::unique_ptr<TPreviewList> nextRun;
  TCatalogue next(data, nextRun);
  TCatalogueTab tab(kGlyphKind);
  next.FillCategoryBox(tab);
  EXPECT_EQ(ui.messages.size(), 1u);
  ASSERT_EQ(tab.Rows.size(), 4u);
  EXPECT_EQ(tab.Rows[1]->Path, path);
  ASSERT_TRUE(tab.Rows[1]->Thumbnail) << "kept from before the damage";
  EXPECT_EQ(*tab.Rows[1]->Thumbnail, Pattern(5, 3));
}

// A folder in the cache file's place stands for every write that fails, a read-only data
// folder and a full disk among them, which root would not see.
TEST_F(ViewsTest, CacheThatCannotBeWrittenIsReportedOnceARunAndTheEntriesAreShown) {
  std::filesystem::create_directories(data + "cache.dat/keep");
  catalogue.FillCategoryBox(glyphs);
  EXPECT_EQ(RowNames(glyphs), (Names{"c.doc", "a.doc", "deep.doc", "b.doc"}));
  TCatalogueTab sheets(kSheetKind);
  catalogue.FillCategoryBox(sheets);
  EXPECT_EQ(RowNames(sheets), (Names{"s.doc"}));
  catalogue.FillGrid(glyphs);
  list->SaveCacheOrReport();  // as the closing of the window does
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].text.find("«" + data + "cache.dat»"), std::string::npos);
  EXPECT_NE(ui.messages[0].text.find("папка"), std::string::npos) << ui.messages[0].text;
  EXPECT_TRUE(std::filesystem::exists(data + "cache.dat/keep"));
}

TEST_F(ViewsTest, NewCategoriesAreMadeInTheRootOnlyFromPlainNames) {
  catalogue.FillCategoryBox(glyphs);
  auto addCategory = [&](std::optional<std::string> answer) {
    ui.inputAnswers.push_back(answer);
    glyphs.Category.ItemIndex = glyphs.Category.LastIndex();
    catalogue.cbGlyphCategoryChange(glyphs, "Varnel Stampora");
  };
  addCategory(std::nullopt);
  EXPECT_EQ(glyphs.Category.ItemIndex, 0);
  EXPECT_EQ(ui.log.back(), "input: Введите название новой категории оттисков:");
  addCategory("Аптека");
  EXPECT_EQ(glyphs.Category.Items[1], "Аптека");
  EXPECT_EQ(glyphs.Category.ItemIndex, 0);
  EXPECT_TRUE(std::filesystem::is_directory(data + "Оттиски/Аптека"));
  for (const char* bad : {"../Вне", "a/b", "..", ".", ".скрытая2", "c:\\x"}) addCategory(bad);
  EXPECT_EQ(ui.messages.size(), 6u);
  EXPECT_FALSE(std::filesystem::exists(data + "Вне"));
  EXPECT_EQ(glyphs.Category.Items.size(), 9u);
  std::filesystem::remove_all(data + "Листы");
  EXPECT_FALSE(catalogue.AddCategory(kSheetKind, "Новая")) << "not made recursively";
  EXPECT_EQ(ui.messages.size(), 6u) << "and silently";
}
