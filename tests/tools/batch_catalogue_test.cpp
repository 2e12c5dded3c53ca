// stampora-batch scan and cache over catalogues that used to stop them: a cache that cannot be
// written, names that break lines, pipes under documents' names, a page too tall to outline.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "catalogue/uPreviewList.h"
#include "tests/support/Scratch.h"
#include "tools/BatchArgs.h"
#include "tools/BatchCatalogue.h"
#include "wordproc/core/Ooxml.h"

namespace fs = std::filesystem;

namespace {

const std::string kSource = "Оттиски/Визитки/Мои оттиски/";

using test_support::ShellQuote;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

using Result = test_support::CommandResult;

class BatchCatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vsp-batch-catalogue-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    scratch = std::string(pattern) + "/";
    data = scratch + "data/";
    for (const char* folder : {"data", "tmp", "run"}) fs::create_directories(scratch + folder);
    chmod((scratch + "run").c_str(), 0700);
    fs::create_directories(data + kSource);
    std::ofstream(data + kSource + "a.doc") << "x";
  }
  void TearDown() override { fs::remove_all(scratch); }

  // The program as a user runs it, in its own temporary folders; a run that hangs is ended
  // by the time limit and shows as exit code 124.
  // withoutRuntime: as cron, ssh and containers start it, with no XDG_RUNTIME_DIR.
  Result Batch(const std::vector<std::string>& args, bool withoutRuntime = false) const {
    std::string command =
        "env -u XDG_RUNTIME_DIR TMPDIR=" + ShellQuote(scratch + "tmp") +
        (withoutRuntime ? "" : " XDG_RUNTIME_DIR=" + ShellQuote(scratch + "run")) +
        " VSP_REGISTRY_FILE=" + ShellQuote(scratch + "registry") + " timeout 120 " +
        ShellQuote(std::string(VSP_BIN_DIR) + "/stampora-batch");
    for (const std::string& a : args) command += " " + ShellQuote(a);
    return test_support::RunCommand(command, scratch + "stderr");
  }
  Result Scan(std::vector<std::string> extra = {}) const {
    std::vector<std::string> args = {"scan", "--data", data};
    args.insert(args.end(), extra.begin(), extra.end());
    const std::map<std::string, std::set<std::string>> table = {
        {"scan", {"data", "sheets?", "category", "filter", "kind", "thumbnails?"}}};
    std::ostringstream out, err;
    Result r;
    r.code = batch::BatchScan(batch::ParseArgs(args, table), out, err);
    r.out = out.str(), r.err = err.str();
    return r;
  }

  std::string scratch, data;
};

}  // namespace

TEST_F(BatchCatalogueTest, ScanListsTheEntriesWhenTheCacheCannotBeWrittenAndWarnsOnce) {
  fs::create_directories(data + "cache.dat/keep");
  Result r = Scan();
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(Lines(r.out).size(), 1u);
  EXPECT_EQ(r.out.rfind("0\t" + kSource + "a.doc\t", 0), 0u) << r.out;
  ASSERT_EQ(Lines(r.err).size(), 1u) << r.err;
  EXPECT_NE(r.err.find("«" + data + "cache.dat»"), std::string::npos) << r.err;
}

TEST_F(BatchCatalogueTest, ScanAndCacheEscapeNamesThatWouldBreakTheirLines) {
  for (const char* name : {"line\nbreak.doc", "tab\there.doc", "back\\slash.doc", "cr\r.doc"})
    std::ofstream(data + kSource + name) << "x";
  Result scan = Scan();
  EXPECT_EQ(scan.code, 0) << scan.err;
  std::vector<std::string> paths;
  for (const std::string& line : Lines(scan.out))
    paths.push_back(line.substr(2, line.find('\t', 2) - 2));
  EXPECT_EQ(paths, (std::vector<std::string>{kSource + "a.doc", kSource + "back\\\\slash.doc",
                                             kSource + "cr\\r.doc", kSource + "line\\nbreak.doc",
                                             kSource + "tab\\there.doc"}));

  catalogue::TPreviewList list(data);
  list.FindOrAdd(kSource + "tab\there.doc", 0, 0)->Thumbnail =
      std::make_shared<catalogue::TBitmap>(4, 4);
  list.SaveCache();
  std::ostringstream out, err;
  auto args = batch::ParseArgs({"cache", "--data", data}, {{"cache", {"data"}}});
  EXPECT_EQ(batch::BatchCache(args, out, err), 0) << err.str();
  EXPECT_EQ(out.str().rfind("0\t2\t" + kSource + "tab\\there.doc\t", 0), 0u) << out.str();
  EXPECT_EQ(Lines(out.str()).size(), 1u);
}

TEST_F(BatchCatalogueTest, InfoAndRenderRefuseAPipeWithoutWaitingForIt) {
  const std::string pipe = data + kSource + "pipe.doc";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"info", pipe},
        std::vector<std::string>{"render", pipe, "--out", scratch + "page.png"}}) {
    Result r = Batch(args);
    EXPECT_EQ(r.code, 1) << args[0] << " (124: it waited on the pipe)";
    EXPECT_NE(r.err.find("«" + pipe + "»"), std::string::npos) << r.err;
  }
}

// The word processor refuses the page-sized outline of a page taller than it allows shapes;
// that document keeps its placeholder, the others are drawn, and the next run is quiet.
TEST_F(BatchCatalogueTest, ThumbnailScanGivesADocumentItCannotDrawItsPlaceholderAndGoesOn) {
  wordproc::Document tall, card;
  tall.pageSetup.pageHeight = 4800;
  card.pageSetup.pageWidth = 255, card.pageSetup.pageHeight = 142;
  wordproc::WritePackage(tall, data + kSource + "tall.docx");
  wordproc::WritePackage(card, data + kSource + "card.docx");
  fs::remove(data + kSource + "a.doc");
  ASSERT_EQ(mkfifo((data + kSource + "pipe.doc").c_str(), 0600), 0);

  Result first = Batch({"scan", "--data", data, "--thumbnails"});
  EXPECT_EQ(first.code, 0) << first.err;
  std::vector<std::string> lines = Lines(first.out);
  ASSERT_EQ(lines.size(), 2u) << first.out;
  EXPECT_EQ(lines[0].substr(0, lines[0].find('\t', 2)), "0\t" + kSource + "card.docx");
  EXPECT_EQ(lines[0].substr(lines[0].rfind('\t')), "\t216x120");
  EXPECT_EQ(lines[1].substr(0, lines[1].find('\t', 2)), "0\t" + kSource + "tall.docx");
  EXPECT_EQ(lines[1].substr(lines[1].rfind('\t')), "\t4x4");
  ASSERT_EQ(Lines(first.err).size(), 1u) << first.err;
  EXPECT_NE(first.err.find("«" + data + kSource + "tall.docx»"), std::string::npos) << first.err;
  std::vector<std::string> left;
  for (const auto& e : fs::recursive_directory_iterator(scratch + "run"))
    if (e.is_regular_file()) left.push_back(e.path().string());
  EXPECT_TRUE(left.empty()) << left.size() << " files left, the first " << left[0];

  Result second = Batch({"scan", "--data", data, "--thumbnails"});
  EXPECT_EQ(second.code, 0);
  EXPECT_EQ(second.out, first.out);
  EXPECT_EQ(second.err, "") << "the placeholder was cached";
}

TEST_F(BatchCatalogueTest, WithoutARuntimeFolderOnlyTheToolsOwnWordsReachStandardError) {
  const std::string samples = scratch + "samples/";
  Result made = Batch({"make-samples", samples}, true);
  ASSERT_EQ(made.code, 0) << made.err;
  EXPECT_EQ(made.err, "");
  std::string glyph;
  for (const auto& entry : fs::recursive_directory_iterator(samples + "Оттиски"))
    if (entry.path().extension() == ".doc" && glyph.empty()) glyph = entry.path().string();
  ASSERT_FALSE(glyph.empty());
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"info", glyph}, {"render", glyph, "--out", scratch + "page.png"}, {"glyph-types"}}) {
    Result r = Batch(args, true);
    EXPECT_EQ(r.code, 0) << args[0] << ": " << r.err;
    EXPECT_EQ(r.err, "") << args[0];
  }
  for (const auto& entry : fs::directory_iterator(scratch + "tmp"))
    EXPECT_NE(entry.path().filename().string().rfind("runtime-", 0), 0u)
        << "Qt made a runtime folder of its own: " << entry.path();
}
