// Crash consistency: every file the program writes is written beside and renamed, so killing the
// writer at any moment, or filling its disk, leaves the previous version whole under the name.
// The writer (tests/crash/crash_writer.cpp) rewrites one file again and again; these tests kill
// it at random moments many times, and let it run out of room on a small file system.
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QGuiApplication>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "catalogue/uPreviewList.h"
#include "catalogue/uStreams.h"
#include "platform/Registry.h"
#include "tests/crash/crash_picture.h"
#include "tests/support/Gui.h"
#include "tests/support/Scratch.h"
#include "tools/BatchClone.h"
#include "tools/BatchSamples.h"
#include "wordlink/Automation.h"
#include "wordproc/WordProcessor.h"

namespace fs = std::filesystem;
using wordlink::Variant;

namespace {

using test_support::kNoSmallDisk;
const std::string kSettingsKey = "Software\\Varnel\\Stampora";

// A version the writer makes: "v<i>:" + filler + ":<length of what comes before>".
bool IsWholeVersion(const std::string& value) {
  const auto colon = value.rfind(':');
  if (value.rfind("v", 0) != 0 || colon == std::string::npos) return false;
  return value.substr(colon + 1) == std::to_string(colon);
}

// Visible names in the folder that are not in the expected set (hidden temporary names of an
// interrupted write are no harm: they never stand under a real name).
std::vector<std::string> Strangers(const std::string& folder, std::set<std::string> expected) {
  std::vector<std::string> strangers;
  for (const auto& item : fs::directory_iterator(folder)) {
    const std::string name = item.path().filename().string();
    if (name[0] != '.' && !expected.count(name)) strangers.push_back(name);
  }
  return strangers;
}

pid_t StartWriter(const std::vector<std::string>& args, const std::string& errors) {
  pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv{const_cast<char*>(VSP_CRASH_WRITER)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    freopen(errors.c_str(), "w", stderr);
    freopen("/dev/null", "w", stdout);
    alarm(120);  // a writer that never stops fails the test instead of holding CI
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

int WaitFor(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class Crash : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { test_support::EnsureApplication(); }
  void SetUp() override { dir = test_support::NewFolder("crash") + "/"; }

  // Kills a fresh writer at a random moment, `rounds` times, and checks the file each time.
  template <typename Check>
  void KillRepeatedly(const std::vector<std::string>& args, int rounds, int maxDelayMs,
                      Check check) {
    std::mt19937 random(std::random_device{}());
    for (int round = 0; round < rounds; ++round) {
      pid_t pid = StartWriter(args, dir + "errors");
      std::this_thread::sleep_for(std::chrono::microseconds(
          std::uniform_int_distribution<int>(0, maxDelayMs * 1000)(random)));
      kill(pid, SIGKILL);
      WaitFor(pid);
      SCOPED_TRACE("round " + std::to_string(round) + ": " +
                   test_support::ReadFile(dir + "errors"));
      check();
      if (HasFatalFailure() || HasNonfatalFailure()) return;
    }
  }

  // Runs the writer on a file system of `bytes` mounted at `folder`, after `prepare` put the
  // previous version there, and keeps a copy of what is left as `kept` for the checks. The
  // writer's exit code, or kNoSmallDisk when no such file system can be mounted here.
  int FillDisk(const std::string& folder, std::size_t bytes, const std::vector<std::string>& args,
               const std::string& name, const std::string& kept) {
    fs::create_directories(folder);
    fs::create_directories(dir + "prepared");
    fs::create_directories(fs::path(kept).parent_path());
    for (const auto& item : fs::directory_iterator(folder))
      fs::rename(item.path(), dir + "prepared/" + item.path().filename().string());
    pid_t child = fork();
    if (child == 0) {
      if (!test_support::MountSmallDisk(folder, bytes)) _exit(kNoSmallDisk);
      for (const auto& item : fs::directory_iterator(dir + "prepared"))
        fs::copy(item.path(), folder + "/" + item.path().filename().string());
      const int code = WaitFor(StartWriter(args, dir + "errors"));
      std::error_code ignored;
      fs::copy(folder + "/" + name, kept, ignored);
      std::ofstream(dir + "left") << Strangers(folder, {name, name + ".lock"}).size() << " "
                                  << std::count_if(fs::directory_iterator(folder),
                                                   fs::directory_iterator(),
                                                   [](auto&) { return true; });
      _exit(code);
    }
    return WaitFor(child);
  }

  std::string dir;
};

std::string SettingsValue(const std::string& file) {
  auto value =
      platform::Registry(file).read(platform::RegRoot::LocalMachine, kSettingsKey, "Value");
  return value ? value->text : "";
}

void CheckSettings(const std::string& file) {
  const std::string text = test_support::ReadFile(file);
  EXPECT_EQ(text.rfind("# kept comment\n", 0), 0u) << "the file's own lines survive";
  EXPECT_TRUE(IsWholeVersion(SettingsValue(file))) << text.substr(0, 80);
}

TEST_F(Crash, SettingsSurviveAKillAtAnyMoment) {
  const std::string file = dir + "registry";
  std::ofstream(file) << "# kept comment\n";
  platform::Registry(file).write(platform::RegRoot::LocalMachine, kSettingsKey, "Value",
                                 {platform::RegType::String, "v0:x:4", 0});
  KillRepeatedly({"settings", file, "300000"}, 25, 120, [&] {
    CheckSettings(file);
    EXPECT_EQ(Strangers(dir, {"registry", "registry.lock", "errors"}), std::vector<std::string>{});
  });
}

// Every record of the cache reads back whole: the version its date gives, and the pixels of
// that version.
void CheckCache(const std::string& data) {
  catalogue::TFileReader in(data + "cache.dat");
  catalogue::TCacheReader reader(in);
  ASSERT_EQ(reader.Header(), catalogue::TCacheReader::THeader::Cache);
  catalogue::TCacheRecord record;
  int records = 0;
  double date = -1;
  while (reader.Next(record)) {
    ++records;
    if (date < 0) date = record.FileDate;
    EXPECT_EQ(record.FileDate, date);
    const catalogue::TBitmap expected =
        crash::CachePicture(long(record.FileDate - 45000.0), record.Thumbnail.Height());
    for (int y = 0; y < record.Thumbnail.Height(); ++y)
      ASSERT_EQ(std::memcmp(record.Thumbnail.ScanLine(y), expected.ScanLine(y),
                            3 * std::size_t(expected.Width())),
                0);
  }
  EXPECT_GE(records, 1);
  EXPECT_LE(records, 5);
}

void SaveFirstCache(const std::string& data) {
  catalogue::TPreviewList list(data);
  auto* entry = list.FindOrAdd("Оттиски/К/Мои оттиски/g0.doc", 0, 45000.0);
  entry->Thumbnail = std::make_shared<catalogue::TBitmap>(crash::CachePicture(0, 10));
  list.SaveCache();
}

TEST_F(Crash, TheThumbnailCacheSurvivesAKillAtAnyMoment) {
  SaveFirstCache(dir);
  KillRepeatedly({"cache", dir, "2000000"}, 25, 150, [&] {
    ASSERT_NO_THROW(CheckCache(dir));
    EXPECT_EQ(Strangers(dir, {"cache.dat", "errors"}), std::vector<std::string>{});
  });
}

void MakeTextDocument(const std::string& path) {
  Variant word = wordlink::CreateOleObject("Word.Application");
  Variant doc = word.get("Documents").call("Add");
  Variant box = doc.get("Shapes").call("AddTextbox", 1, 10.0f, 10.0f, 200.0f, 100.0f);
  box.get("TextFrame").get("TextRange").put("Text", "v0:x:4");
  doc.call("SaveAs", path);
  word.call("Quit", 0);
}

std::string DocumentText(const std::string& path) {
  Variant word = wordlink::CreateOleObject("Word.Application");
  std::string text;
  try {
    Variant doc = word.get("Documents").call("Open", path);
    text =
        doc.get("Shapes").call("Item", 1).get("TextFrame").get("TextRange").get("Text").toString();
  } catch (const std::exception& e) {
    text = std::string("cannot open: ") + e.what();
  }
  word.call("Quit", 0);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  return text;
}

TEST_F(Crash, ASavedDocumentSurvivesAKillAtAnyMoment) {
  const std::string file = dir + "glyph.docx";
  MakeTextDocument(file);
  KillRepeatedly({"document", file, "100000"}, 25, 250, [&] {
    const std::string text = DocumentText(file);
    EXPECT_TRUE(IsWholeVersion(text)) << text.substr(0, 300) << " … " << text.size();
    EXPECT_EQ(Strangers(dir, {"glyph.docx", "errors"}), std::vector<std::string>{});
  });
}

class CloneCrash : public Crash {
 protected:
  void SetUp() override {
    Crash::SetUp();
    data = dir + "data/";
    std::ostringstream quiet;
    ASSERT_EQ(batch::BatchMakeSamples(data, quiet, quiet), 0);
    glyph = data + "Оттиски/Визитки/Мои оттиски/Моя визитка.doc";
    out = dir + "sheet.doc";
    batch::CloneRequest request;
    request.dataFolder = data;
    request.category = "Визитки";
    request.paper = "A4 (210 x 297 mm)";
    request.sets = 1;
    request.glyphs = {{glyph, 1}};
    request.out = out;
    ASSERT_EQ(batch::BatchClone(request, quiet, quiet), 0);
  }
  // A sheet that opens, with the copies of some whole run.
  void CheckSheet(int maxSets) {
    Variant word = wordlink::CreateOleObject("Word.Application");
    try {
      Variant doc = word.get("Documents").call("Open", out);
      Variant shapes = doc.get("Shapes");
      int copies = 0;
      for (int i = 1, n = shapes.get("Count").toInt(); i <= n; ++i)
        copies += shapes.call("Item", i).get("Name").toString().rfind("VSP_CLONED_", 0) == 0;
      EXPECT_GE(copies, 1);
      EXPECT_LE(copies, maxSets);
    } catch (const std::exception& e) {
      ADD_FAILURE() << "the sheet does not open: " << e.what();
    }
    word.call("Quit", 0);
  }
  std::string data, glyph, out;
};

TEST_F(CloneCrash, TheClonedSheetSurvivesAKillAtAnyMoment) {
  KillRepeatedly({"clone", data, glyph, out, "30"}, 20, 600, [&] {
    CheckSheet(30);
    EXPECT_EQ(Strangers(dir, {"data", "sheet.doc", "errors", "prepared"}),
              std::vector<std::string>{});
  });
}

// On a full disk each writer fails with "no room" and leaves the previous version.
TEST_F(Crash, AFullDiskKeepsThePreviousSettings) {
  const std::string disk = dir + "disk";
  fs::create_directories(disk);
  std::ofstream(disk + "/registry") << "# kept comment\n";
  platform::Registry(disk + "/registry")
      .write(platform::RegRoot::LocalMachine, kSettingsKey, "Value",
             {platform::RegType::String, "v0:x:4", 0});
  const int code = FillDisk(disk, 256 * 1024, {"settings", disk + "/registry", "400000"},
                            "registry", dir + "kept");
  if (code == kNoSmallDisk) GTEST_SKIP() << "no small file system can be mounted here";
  EXPECT_EQ(code, 1);
  EXPECT_NE(test_support::ReadFile(dir + "errors").find("недостаточно места"), std::string::npos)
      << test_support::ReadFile(dir + "errors");
  CheckSettings(dir + "kept");
  EXPECT_EQ(SettingsValue(dir + "kept"), "v0:x:4");
  EXPECT_EQ(test_support::ReadFile(dir + "left"), "0 2") << "the file and its lock, nothing else";
}

TEST_F(Crash, AFullDiskKeepsThePreviousCache) {
  const std::string disk = dir + "disk";
  fs::create_directories(disk);
  SaveFirstCache(disk + "/");
  const int code = FillDisk(disk, 512 * 1024, {"cache", disk + "/", "2000000"}, "cache.dat",
                            dir + "kept/cache.dat");
  if (code == kNoSmallDisk) GTEST_SKIP() << "no small file system can be mounted here";
  EXPECT_EQ(code, 1);
  EXPECT_NE(test_support::ReadFile(dir + "errors").find("недостаточно места"), std::string::npos)
      << test_support::ReadFile(dir + "errors");
  ASSERT_NO_THROW(CheckCache(dir + "kept/"));
  EXPECT_EQ(test_support::ReadFile(dir + "left"), "0 1");
}

TEST_F(Crash, AFullDiskKeepsThePreviousDocument) {
  const std::string disk = dir + "disk";
  fs::create_directories(disk);
  MakeTextDocument(disk + "/glyph.docx");
  const int code = FillDisk(disk, 256 * 1024, {"document", disk + "/glyph.docx", "3000000"},
                            "glyph.docx", dir + "kept.docx");
  if (code == kNoSmallDisk) GTEST_SKIP() << "no small file system can be mounted here";
  EXPECT_EQ(code, 1);
  EXPECT_NE(test_support::ReadFile(dir + "errors").find("недостаточно места"), std::string::npos)
      << test_support::ReadFile(dir + "errors");
  EXPECT_EQ(DocumentText(dir + "kept.docx"), "v0:x:4");
  EXPECT_EQ(test_support::ReadFile(dir + "left"), "0 1");
}

TEST_F(CloneCrash, AFullDiskKeepsThePreviousSheet) {
  const std::string disk = dir + "disk";
  fs::create_directories(disk);
  fs::rename(out, disk + "/sheet.doc");
  const auto size = fs::file_size(disk + "/sheet.doc");
  const int code = FillDisk(disk, std::size_t(size) + 8 * 1024,
                            {"clone", data, glyph, disk + "/sheet.doc", "2000"}, "sheet.doc", out);
  if (code == kNoSmallDisk) GTEST_SKIP() << "no small file system can be mounted here";
  EXPECT_EQ(code, 1);
  EXPECT_NE(test_support::ReadFile(dir + "errors").find("недостаточно места"), std::string::npos)
      << test_support::ReadFile(dir + "errors");
  CheckSheet(1);
  EXPECT_EQ(test_support::ReadFile(dir + "left"), "0 1");
}

}  // namespace
