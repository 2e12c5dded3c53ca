#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/BatchArgs.h"
#include "tools/BatchCatalogue.h"
#include "tools/BatchGlyphTypes.h"

namespace fs = std::filesystem;

namespace {

const std::map<std::string, std::set<std::string>> kTable = {{"render", {"page", "out"}},
                                                             {"scan", {"data", "sheets?"}}};

TEST(BatchArgs, OptionsFlagsAndPositionals) {
  auto a = batch::ParseArgs({"render", "f.docx", "--page=3", "--out", "x.png"}, kTable);
  EXPECT_EQ(a.positional, std::vector<std::string>{"f.docx"});
  EXPECT_EQ(a.intOption("page", 1, 1, 10), 3);
  EXPECT_EQ(*a.option("out"), "x.png");
  auto s = batch::ParseArgs({"scan", "--sheets", "--data", "/d"}, kTable);
  EXPECT_EQ(*s.option("sheets"), "1");
  EXPECT_EQ(*s.option("data"), "/d");
}

TEST(BatchArgs, MistakesAreUsageErrors) {
  EXPECT_THROW(batch::ParseArgs({}, kTable), batch::UsageError);
  EXPECT_THROW(batch::ParseArgs({"nope"}, kTable), batch::UsageError);
  EXPECT_THROW(batch::ParseArgs({"render", "--color", "red"}, kTable), batch::UsageError);
  EXPECT_THROW(batch::ParseArgs({"render", "--out"}, kTable), batch::UsageError);
  auto a = batch::ParseArgs({"render", "--page", "0"}, kTable);
  EXPECT_THROW(a.intOption("page", 1, 1, 10), batch::UsageError);
  auto b = batch::ParseArgs({"render", "--page", "2x"}, kTable);
  EXPECT_THROW(b.intOption("page", 1, 1, 10), batch::UsageError);
}

TEST(BatchGlyphTypes, OneTabSeparatedLinePerType) {
  std::ostringstream out;
  batch::PrintGlyphTypes({{"Визитка", 90, 50, false, "Визитки"}, {"Круг", 40, 40, true, "1"}}, out);
  EXPECT_EQ(out.str(), "0\tВизитка\t90\t50\t0\tВизитки\n1\tКруг\t40\t40\t1\t1\n");
}

TEST(BatchCatalogue, ScanListsDocumentsAndCacheReportsItsAbsence) {
  fs::path data = fs::temp_directory_path() / ("vsp-batch-" + std::to_string(getpid()));
  fs::remove_all(data);
  fs::create_directories(data / "Оттиски" / "Визитки" / "Мои оттиски");
  std::ofstream(data / "Оттиски" / "Визитки" / "Мои оттиски" / "a.doc") << "x";
  std::ofstream(data / "Оттиски" / "Визитки" / "loose.doc") << "x";
  std::ostringstream out, err;
  auto args = batch::ParseArgs({"scan", "--data", data.string()},
                               {{"scan", {"data", "sheets?", "category", "filter", "kind"}}});
  EXPECT_EQ(batch::BatchScan(args, out, err), 0) << err.str();
  EXPECT_NE(out.str().find("Оттиски/Визитки/Мои оттиски/a.doc\t"), std::string::npos) << out.str();
  EXPECT_EQ(out.str().find("loose.doc"), std::string::npos);

  std::ostringstream cacheOut, cacheErr;
  fs::remove(data / "cache.dat");
  auto cacheArgs = batch::ParseArgs({"cache", "--data", data.string()}, {{"cache", {"data"}}});
  EXPECT_EQ(batch::BatchCache(cacheArgs, cacheOut, cacheErr), 1);
  EXPECT_FALSE(cacheErr.str().empty());
  fs::remove_all(data);
}

}  // namespace
