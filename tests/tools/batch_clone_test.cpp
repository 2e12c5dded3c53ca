#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tools/BatchArgs.h"
#include "tools/BatchClone.h"

namespace fs = std::filesystem;

namespace {

const std::map<std::string, std::set<std::string>> kClone = {
    {"clone", {"data", "category", "paper", "sets", "glyph", "out", "pdf"}}};

TEST(BatchCloneArgs, GlyphsRepeatWithOptionalCounts) {
  auto a = batch::ParseArgs({"clone", "--glyph", "a.doc", "--glyph=b.doc:3", "--glyph", "c:d.doc"},
                            kClone);
  EXPECT_EQ(a.optionValues("glyph"), (std::vector<std::string>{"a.doc", "b.doc:3", "c:d.doc"}));
  EXPECT_EQ(*a.option("glyph"), "c:d.doc") << "a single-value option keeps the last";
  EXPECT_TRUE(a.optionValues("pdf").empty());

  auto glyph = [](const std::string& text) {
    auto g = batch::ParseGlyphArg(text);
    return std::make_pair(g.FileName, g.Count);
  };
  EXPECT_EQ(glyph("a.doc"), std::make_pair(std::string("a.doc"), 1));
  EXPECT_EQ(glyph("b.doc:3"), std::make_pair(std::string("b.doc"), 3));
  EXPECT_EQ(glyph("b.doc:0"), std::make_pair(std::string("b.doc"), 0));
  EXPECT_EQ(glyph("c:d.doc"), std::make_pair(std::string("c:d.doc"), 1));
  EXPECT_EQ(glyph("e.doc:"), std::make_pair(std::string("e.doc:"), 1));
  EXPECT_EQ(glyph("f.doc:99999999999"), std::make_pair(std::string("f.doc:99999999999"), 1));
}

TEST(BatchCloneArgs, RequestNeedsAnExistingFolderGlyphsAndSets) {
  fs::path data = fs::temp_directory_path() / ("vsp-batch-clone-" + std::to_string(getpid()));
  fs::create_directories(data);
  std::ofstream(data / "g.doc") << "x";
  const std::string folder = data.string(), glyph = (data / "g.doc").string();
  auto request = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = {"clone", "--category", "Визитки",          "--paper",
                                     "A4",    "--out",      folder + "/out.doc"};
    args.insert(args.end(), extra.begin(), extra.end());
    return batch::CloneRequestFrom(batch::ParseArgs(args, kClone));
  };
  auto ok = request({"--data", folder, "--sets", "7", "--glyph", glyph + ":2", "--glyph", glyph});
  EXPECT_EQ(ok.dataFolder, folder + "/");
  EXPECT_EQ(ok.sets, 7);
  ASSERT_EQ(ok.glyphs.size(), 2u);
  EXPECT_EQ(ok.glyphs[0].Count, 2);
  EXPECT_EQ(ok.glyphs[1].FileName, glyph);

  EXPECT_THROW(request({"--data", folder, "--sets", "7"}), batch::UsageError);
  EXPECT_THROW(request({"--data", folder, "--glyph", glyph}), batch::UsageError);
  EXPECT_THROW(request({"--data", folder, "--sets", "-1", "--glyph", glyph}), batch::UsageError);
  EXPECT_THROW(request({"--data", folder + "/nope", "--sets", "1", "--glyph", glyph}),
               batch::UsageError);
  EXPECT_THROW(request({"--data", folder, "--sets", "1", "--glyph", folder + "/nope.doc"}),
               batch::UsageError);
  fs::remove_all(data);
}

}  // namespace
