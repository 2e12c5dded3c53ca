#include <gtest/gtest.h>
#include <unistd.h>
#include <algorithm>

#include <filesystem>

#include "Support.h"
#include "catalogue/uPreviewList.h"

using namespace catalogue;
using namespace catalogue_test;

namespace {

std::vector<std::string> Paths(const TPreviewList& list) {
  std::vector<std::string> paths;
  for (const auto& e : list.Entries()) paths.push_back(e->Path);
  return paths;
}

std::time_t LocalTime(int y, int mo, int d, int h, int mi, int s) {
  std::tm t{};
  t.tm_year = y - 1900, t.tm_mon = mo - 1, t.tm_mday = d;
  t.tm_hour = h, t.tm_min = mi, t.tm_sec = s, t.tm_isdst = -1;
  return std::mktime(&t);
}

const std::string kSource = "Оттиски/Визитки/Мои оттиски/";

}  // namespace

TEST(PreviewListTest, FileDatesAreLocalDaysAtTwoSecondResolution) {
  std::string data = NewDataFolder();
  WriteFile(data + "a.doc", "x");
  SetMTime(data + "a.doc", LocalTime(2008, 3, 5, 14, 22, 11));
  double date = FileDateOf(data + "a.doc");
  EXPECT_EQ(date, 39512 + (14 * 3600 + 22 * 60 + 10) * 1000.0 / 86400000.0);
  EXPECT_EQ(DateTimeToIso(date), "2008-03-05T14:22:10");
  EXPECT_EQ(DateTimeFromUnix(LocalTime(2008, 3, 5, 14, 22, 10)), date) << "same two seconds";
  EXPECT_EQ(DateTimeToIso(0), "1899-12-30T00:00:00");
}

TEST(PreviewListTest, FindOrAddKeepsOrderFindsExistingAndRedatesOnlyOnChange) {
  TPreviewList list(NewDataFolder());
  TPreviewItem* b = list.FindOrAdd("b.doc", kGlyphKind, 5);
  list.FindOrAdd("c.doc", kGlyphKind, 5);
  list.FindOrAdd("a.doc", kSheetKind, 5);
  list.FindOrAdd("bb.doc", kGlyphKind, 5);
  EXPECT_EQ(Paths(list), (std::vector<std::string>{"a.doc", "b.doc", "bb.doc", "c.doc"}));
  EXPECT_TRUE(list.Modified);
  EXPECT_EQ(b->Reserved, 2);
  EXPECT_EQ(b->Owner, &list);

  b->Thumbnail = std::make_shared<TBitmap>(4, 4);
  list.Modified = false;
  EXPECT_EQ(list.FindOrAdd("b.doc", kSheetKind, 5), b);
  EXPECT_EQ(b->Kind, kGlyphKind) << "a found entry keeps its kind";
  EXPECT_TRUE(b->Thumbnail);
  EXPECT_FALSE(list.Modified);
  list.FindOrAdd("b.doc", kGlyphKind, 6);
  EXPECT_FALSE(b->Thumbnail);
  EXPECT_EQ(b->FileDate, 6);
  EXPECT_TRUE(list.Modified);
  EXPECT_EQ(Paths(list).size(), 4u);
}

TEST(PreviewListTest, DotEntriesResolveToRealFiles) {
  std::string data = NewDataFolder();
  TPreviewList list(data);
  WriteFile(data + kSource + "t.dot", "template");
  SetMTime(data + kSource + "t.dot", LocalTime(2010, 1, 2, 3, 4, 6));
  TPreviewItem* dot = list.FindOrAdd(kSource + "t.dot", kGlyphKind, 0);
  EXPECT_EQ(dot->TwinPath, kSource + "t.doc");
  EXPECT_EQ(dot->FullPath(), data + kSource + "t.dot");
  EXPECT_EQ(DateTimeToIso(dot->FileDate), "2010-01-02T03:04:06");
  EXPECT_EQ(dot->RenderSource(), data + kSource + "t.dot") << "no twin on disk";
  WriteFile(data + kSource + "t.doc", "twin");
  EXPECT_EQ(dot->RenderSource(), data + kSource + "t.doc");

  EXPECT_EQ(list.FindOrAdd("/elsewhere/s.dot", kSheetKind, 1)->FullPath(), "/elsewhere/s.dot");
  EXPECT_EQ(list.FindOrAdd("x.DOT", kSheetKind, 1)->TwinPath, "") << "exact comparison";
  EXPECT_EQ(list.FindOrAdd("x.dotx", kSheetKind, 1)->TwinPath, "");
  EXPECT_THROW(list.FindOrAdd("gone.doc", kGlyphKind, 0), std::exception);
  EXPECT_EQ(list.Count(), 4) << "an undatable file leaves no entry";
}

TEST(PreviewListTest, CategoryComesFromTheSecondPathPart) {
  TPreviewList list("/d/");
  auto category = [&](const std::string& path) {
    return list.FindOrAdd(path, kGlyphKind, 1)->CategoryOf();
  };
  EXPECT_EQ(category("Оттиски/Визитки/Мои оттиски/a.doc"), "Визитки");
  EXPECT_EQ(category("Листы/А4/x.doc"), "А4");
  EXPECT_EQ(category("Листы/x.doc"), "x.doc");
  EXPECT_EQ(category("ОттискиX/Визитки/a.doc"), "");
  EXPECT_EQ(category("Другое/Визитки/a.doc"), "");
}

TEST(PreviewListTest, ScanFindsDocumentsAtAnyDepthAndSkipsTheRest) {
  std::string data = NewDataFolder();
  std::string src = data + kSource;
  for (const char* name :
       {"a.doc", "Report.DOC", "report.rtf", ".hidden.doc", "t.dotx", "x.dot", "n.docx", "doc",
        "d1/d2/d3/d4/deep.doc", ".folder/in.doc", "folder.doc/in.doc"})
    WriteFile(src + name, "x");
  mkfifo((src + "pipe.doc").c_str(), 0600);
  symlink("..", (src + "d1/loop").c_str());
  TPreviewList list(data);
  list.ScanFolder(kSource, kGlyphKind);
  std::vector<std::string> expected;
  for (const char* name : {"Report.DOC", "a.doc", "d1/d2/d3/d4/deep.doc", "folder.doc/in.doc",
                           "n.docx", "t.dotx", "x.dot"})
    expected.push_back(kSource + name);
  EXPECT_EQ(Paths(list), expected) << "a link back to a parent folder is not followed";
  for (const auto& e : list.Entries()) EXPECT_EQ(e->Present, 1);
}

TEST(PreviewListTest, LockFilesAndTemporariesOfWordProcessorsAreNoEntries) {
  std::string data = NewDataFolder();
  std::string src = data + kSource;
  for (const char* name :
       {"Визитка.doc", "~$зитка.doc", "~$A.DOCX", ".~lock.Визитка.doc#", "~WRL0001.doc",
        "Визитка.doc~", "Копия.doc.tmp", "Копия.tmp.doc", "Старая.BAK.doc", "~Тильда в начале.doc"})
    WriteFile(src + name, "x");
  TPreviewList list(data);
  list.ScanFolder(kSource, kGlyphKind);
  EXPECT_EQ(Paths(list),
            (std::vector<std::string>{kSource + "~Тильда в начале.doc", kSource + "Визитка.doc",
                                      kSource + "Копия.tmp.doc", kSource + "Старая.BAK.doc"}));
}

TEST(PreviewListTest, ScanMergesNewEntriesAmongOthersAndRescanChangesNothing) {
  std::string data = NewDataFolder();
  for (const char* name : {"b.doc", "d.doc", "sub/e.doc"}) WriteFile(data + kSource + name, "x");
  TPreviewList list(data);
  list.FindOrAdd("Листы/x.doc", kSheetKind, 1);
  list.FindOrAdd(kSource + "c.doc", kGlyphKind, 1);
  list.FindOrAdd("Оттиски/Я/z.doc", kGlyphKind, 1);
  list.ScanFolder(kSource, kGlyphKind);
  std::vector<std::string> expected = {"Листы/x.doc",     kSource + "b.doc",     kSource + "c.doc",
                                       kSource + "d.doc", kSource + "sub/e.doc", "Оттиски/Я/z.doc"};
  EXPECT_EQ(Paths(list), expected);
  TPreviewItem* d = list.FindOrAdd(kSource + "d.doc", kGlyphKind, list.Items(3)->FileDate);
  EXPECT_EQ(d, list.Items(3));
  d->Thumbnail = std::make_shared<TBitmap>(4, 4);
  list.Modified = false;
  list.ScanFolder(kSource, kGlyphKind);
  EXPECT_EQ(Paths(list), expected);
  EXPECT_FALSE(list.Modified);
  EXPECT_TRUE(d->Thumbnail);
}

// Folder names that sort differently from their paths ("a b/", "a-x/" and "a/" around "a.doc")
// must still come out in path order, or later look-ups would miss and add duplicates.
TEST(PreviewListTest, ScanKeepsPathOrderWhereFolderNamesAndFileNamesInterleave) {
  std::string data = NewDataFolder();
  for (const char* name : {"a/z.doc", "a b/y.doc", "a-x/w.doc", "a.doc", "a0.doc"})
    WriteFile(data + kSource + name, "x");
  TPreviewList list(data);
  list.FindOrAdd(kSource + "a-x/v.doc", kGlyphKind, 1);
  list.ScanFolder(kSource, kGlyphKind);
  std::vector<std::string> paths = Paths(list);
  EXPECT_TRUE(std::is_sorted(paths.begin(), paths.end()));
  EXPECT_EQ(paths.size(), 6u);
  for (const std::string& path : paths) list.FindOrAdd(path, kGlyphKind, 1);
  EXPECT_EQ(list.Count(), 6);
}

TEST(PreviewListTest, RefreshDropsVanishedEntriesAndRedatesChangedOnes) {
  std::string data = NewDataFolder();
  for (const char* name : {"a.doc", "b.doc", "c.doc"}) WriteFile(data + kSource + name, "x");
  TPreviewList list(data);
  list.ScanFolder(kSource, kGlyphKind);
  list.FindOrAdd(data + kSource + "a.doc", kSheetKind, 0);  // absolute: leaves at the refresh
  TPreviewItemPtr a = list.Shared(1), b = list.Shared(2);
  b->Thumbnail = std::make_shared<TBitmap>(4, 4);
  a->Thumbnail = std::make_shared<TBitmap>(4, 4);
  std::filesystem::remove(data + kSource + "c.doc");
  SetMTime(data + kSource + "b.doc", LocalTime(2001, 1, 1, 0, 0, 0));
  list.Modified = false;
  list.Refresh();
  EXPECT_EQ(Paths(list), (std::vector<std::string>{kSource + "a.doc", kSource + "b.doc"}));
  EXPECT_TRUE(list.Modified);
  EXPECT_TRUE(a->Thumbnail);
  EXPECT_FALSE(b->Thumbnail);
  EXPECT_EQ(DateTimeToIso(b->FileDate), "2001-01-01T00:00:00");

  list.ClearPresent(kSheetKind);
  EXPECT_EQ(a->Present, 1);
  list.ClearPresent(kAnyKind);
  EXPECT_EQ(a->Present, 0);
}

// Links that lead back up, into the kernel's own file systems or twice into the same folder
// would keep the scan going for ever; the child process fails the test instead of hanging.
TEST(PreviewListTest, ScanListsEachRealFolderOnceAndKeepsOutOfKernelFileSystems) {
  std::string data = NewDataFolder();
  std::string src = data + kSource;
  WriteFile(src + "a.doc", "x");
  WriteFile(data + "cwd/seen.doc", "x");
  symlink("/proc/self", (src + "process").c_str());
  symlink("/sys/kernel", (src + "kernel").c_str());
  symlink("/dev", (src + "devices").c_str());
  symlink("..", (src + "up").c_str());
  // Two links a level, 24 levels deep: 16 million paths to one document.
  std::filesystem::create_directories(data + "store/g24");
  WriteFile(data + "store/g24/leaf.doc", "x");
  symlink((data + "store/g1").c_str(), (src + "g0").c_str());
  for (int level = 1; level < 24; ++level) {
    std::string folder = data + "store/g" + std::to_string(level) + "/";
    std::filesystem::create_directories(folder);
    for (const char* name : {"a", "b"})
      symlink((data + "store/g" + std::to_string(level + 1)).c_str(), (folder + name).c_str());
  }
  std::string leaf = kSource + "g0/";
  for (int level = 1; level < 24; ++level) leaf += "a/";
  const std::vector<std::string> expected = {kSource + "a.doc", leaf + "leaf.doc"};
  int code = ExitCodeWithin(60, [&] {
    if (chdir((data + "cwd").c_str()) != 0) return 2;
    TPreviewList list(data);
    list.ScanFolder(kSource, kGlyphKind);
    return Paths(list) == expected ? 0 : 1;
  });
  EXPECT_EQ(code, 0) << "1: other entries than " << expected[0] << " and " << expected[1] << "; "
                     << kChildKilled << ": the scan did not end";
}

TEST(PreviewListTest, LinkedDocumentsCountOnlyInsideTheDataFolder) {
  std::string data = NewDataFolder();
  std::string src = data + kSource;
  WriteFile(data + "store/real.doc", "x");
  std::string outside = NewDataFolder() + "private.doc";
  WriteFile(outside, "x");
  std::filesystem::create_directories(src);
  symlink((data + "store/real.doc").c_str(), (src + "absolute.doc").c_str());
  symlink("../../../store/real.doc", (src + "relative.doc").c_str());
  symlink(outside.c_str(), (src + "outside.doc").c_str());
  const std::string climbing = "../../../../" +
                               std::filesystem::path(outside).parent_path().filename().string() +
                               "/private.doc";
  symlink(climbing.c_str(), (src + "climbing.doc").c_str());
  TPreviewList list(data);
  list.FindOrAdd(kSource + "outside.doc", kGlyphKind, 1);  // from an older cache
  list.Refresh();
  list.ScanFolder(kSource, kGlyphKind);
  EXPECT_EQ(Paths(list),
            (std::vector<std::string>{kSource + "absolute.doc", kSource + "relative.doc"}));
}
