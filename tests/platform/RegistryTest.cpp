#include "platform/Registry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/stat.h>

#include <climits>
#include <fstream>
#include <sstream>

#include "platform/UserInteraction.h"
#include "tests/support/Scratch.h"

using namespace platform;
using namespace test_support;

namespace {

const char* const kSettings = "Software\\Varnel\\Stampora";
constexpr RegRoot kLM = RegRoot::LocalMachine, kCU = RegRoot::CurrentUser;

RegValue Text(const std::string& text, RegType type = RegType::String) {
  return {type, text, 0};
}
RegValue Number(std::int64_t number) {
  return {RegType::Number, "", number};
}

class RegistryTest : public ::testing::Test {
 protected:
  std::string file = NewFolder("registry") + "/sub/registry";
  Registry registry{file};
};

TEST_F(RegistryTest, TypedValuesWithAwkwardTextSurviveAnotherReader) {
  const std::string awkward = std::string("a=b\\c\nline2\r[x]#;%20 ") + '\0' + "after NUL";
  registry.write(kLM, kSettings, "Path", Text("%HOME%\\x", RegType::ExpandString));
  registry.write(kLM, kSettings, "Awkward", Text(awkward));
  registry.write(kLM, kSettings, "Min", Number(LLONG_MIN));
  registry.write(kCU, "K[1]", "name=with%odd]#chars", Number(7));

  Registry other(file);
  std::optional<RegValue> path = other.read(kLM, kSettings, "Path");
  EXPECT_EQ(path->type, RegType::ExpandString);
  EXPECT_EQ(path->text, "%HOME%\\x");
  EXPECT_EQ(other.read(kLM, kSettings, "Awkward")->text, awkward);
  EXPECT_EQ(other.read(kLM, kSettings, "Min")->number, LLONG_MIN);
  EXPECT_EQ(other.read(kCU, "K[1]", "name=with%odd]#chars")->number, 7);
  EXPECT_EQ(other.valueNames(kLM, kSettings), (std::vector<std::string>{"Path", "Awkward", "Min"}));
}

TEST_F(RegistryTest, KeysAndNamesIgnoreCaseAndStraySeparatorsButRootsDiffer) {
  EXPECT_FALSE(registry.keyExists(kLM, kSettings));
  registry.write(kLM, kSettings, "PaperSize", Text("A4"));
  registry.write(kLM, "\\SOFTWARE\\varnel\\\\STAMPORA\\", "papersize", Text("A5"));

  EXPECT_EQ(registry.valueNames(kLM, kSettings), std::vector<std::string>{"PaperSize"});
  EXPECT_EQ(registry.read(kLM, kSettings, "PAPERSIZE")->text, "A5");
  EXPECT_FALSE(registry.read(kCU, kSettings, "PaperSize"));
  EXPECT_TRUE(registry.keyExists(kLM, "software\\varnel"));
  EXPECT_FALSE(registry.keyExists(kLM, "Software\\Varn"));
  EXPECT_FALSE(registry.keyExists(kCU, kSettings));

  EXPECT_TRUE(registry.deleteValue(kLM, "software\\varnel\\stampora", "PAPERSIZE"));
  EXPECT_FALSE(registry.deleteValue(kLM, kSettings, "PaperSize"));
  EXPECT_FALSE(Registry(file).read(kLM, kSettings, "PaperSize"));
}

TEST_F(RegistryTest, SubkeysAreTheDirectChildrenOnceEachInTheirRoot) {
  const std::string printers = std::string(kSettings) + "\\Printers";
  registry.write(kLM, printers + "\\PDF", "OffsetX", Text("1.5"));
  registry.write(kLM, printers + "\\Цех%1", "OffsetX", Text("0"));
  registry.write(kLM, printers + "\\pdf", "OffsetY", Text("2"));
  registry.write(kLM, printers + "\\Цех%1\\Лоток", "Side", Text("2"));
  registry.write(kCU, printers + "\\Другой", "OffsetX", Text("0"));
  registry.write(kLM, printers + "X\\Сосед", "OffsetX", Text("0"));
  EXPECT_EQ(Registry(file).subKeyNames(kLM, "software\\varnel\\stampora\\printers"),
            (std::vector<std::string>{"PDF", "Цех%1"}));
  EXPECT_TRUE(registry.subKeyNames(kLM, printers + "\\PDF").empty());
}

TEST(Registry, DamagedLinesAreSkippedAndTheRestStillReads) {
  Registry damaged(NewFolder("damaged") + "/registry");
  WriteFile(damaged.filePath(),
            "garbage\n[HKLM\\Good]\r\nText=str:kept\r\nBadType=blob:1\nBadNumber=num:12x\n"
            "BadEscape=str:a\\q\nBadPercent%G1=str:x\n"
            "[HKXX\\Unknown root]\nOrphan=str:must not join Good\n");
  EXPECT_EQ(damaged.valueNames(kLM, "Good"), std::vector<std::string>{"Text"});
  damaged.write(kLM, "Good", "New", Number(1));
  EXPECT_EQ(damaged.read(kLM, "Good", "Text")->text, "kept");
  EXPECT_EQ(ReadFile(damaged.filePath()),
            "garbage\n[HKLM\\Good]\r\nText=str:kept\r\nBadType=blob:1\nBadNumber=num:12x\n"
            "BadEscape=str:a\\q\nBadPercent%G1=str:x\nNew=num:1\n"
            "[HKXX\\Unknown root]\nOrphan=str:must not join Good\n")
      << "lines it does not understand are another version's business: kept as they are";
}

TEST(Registry, WritesKeepCommentsAndTheLayoutOfTheFile) {
  Registry registry(NewFolder("kept") + "/registry");
  const std::string before =
      "# settings of the label program\n[HKLM\\Software\\Varnel\\Stampora]\n"
      "; the data folder\nDataDir=str:/srv/labels\nPaperSize=str:A4\n\n"
      "[HKCU\\Other]\nX=num:1\n";
  WriteFile(registry.filePath(), before);
  registry.write(kLM, kSettings, "papersize", Text("A5"));
  registry.write(kLM, kSettings, "Printer", Text("PDF"));
  registry.write(kCU, "New", "Y", Number(2));
  EXPECT_EQ(ReadFile(registry.filePath()),
            "# settings of the label program\n[HKLM\\Software\\Varnel\\Stampora]\n"
            "; the data folder\nDataDir=str:/srv/labels\nPaperSize=str:A5\nPrinter=str:PDF\n\n"
            "[HKCU\\Other]\nX=num:1\n\n[HKCU\\New]\nY=num:2\n");
  EXPECT_TRUE(registry.deleteValue(kLM, kSettings, "DataDir"));
  EXPECT_EQ(ReadFile(registry.filePath()).find("DataDir"), std::string::npos);
  EXPECT_NE(ReadFile(registry.filePath()).find("; the data folder\nPaperSize"), std::string::npos);
}

// A settings file the program cannot read must never be replaced by one holding only what
// this run happened to write: it would lose the data folder and everything else.
TEST(Registry, AFileThatCannotBeReadIsReportedOnceAndNeverWrittenOver) {
  ScriptedInteraction ui;
  ScopedUI scoped(&ui);
  std::string folder = NewFolder("unreadable");
  Registry registry(folder + "/registry");
  ASSERT_EQ(mkdir(registry.filePath().c_str(), 0700), 0) << "a folder where the file should be";

  EXPECT_FALSE(registry.read(kLM, kSettings, "DataDir"));
  registry.write(kLM, kSettings, "PaperSize", Text("A5"));
  EXPECT_EQ(registry.read(kLM, kSettings, "PaperSize")->text, "A5") << "kept for this run";
  EXPECT_TRUE(registry.deleteValue(kLM, kSettings, "PaperSize"));
  EXPECT_FALSE(registry.read(kLM, kSettings, "PaperSize"));

  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].text.find(registry.filePath()), std::string::npos);
  struct stat st {};
  ASSERT_EQ(stat(registry.filePath().c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));

  if (geteuid() == 0) return;  // permissions do not stop root
  Registry locked(folder + "/locked");
  WriteFile(locked.filePath(), "[HKLM\\Software\\Varnel\\Stampora]\nDataDir=str:/srv\n");
  chmod(locked.filePath().c_str(), 0);
  locked.write(kLM, kSettings, "PaperSize", Text("A5"));
  chmod(locked.filePath().c_str(), 0600);
  EXPECT_EQ(Registry(locked.filePath()).read(kLM, kSettings, "DataDir")->text, "/srv");
}

TEST(Registry, ManyKeysAreFoundAndAChangedFileIsReadAgain) {
  std::string file = NewFolder("many") + "/registry";
  std::string text;
  for (int k = 0; k < 20000; ++k)
    text += "[HKCU\\Key" + std::to_string(k) + "\\Sub]\nValue=num:" + std::to_string(k) + "\n";
  WriteFile(file, text);
  Registry registry(file);
  EXPECT_EQ(registry.read(kCU, "key19999\\SUB", "value")->number, 19999);
  EXPECT_TRUE(registry.keyExists(kCU, "Key123"));
  EXPECT_FALSE(registry.keyExists(kCU, "Key123\\Sub\\Deeper"));
  EXPECT_FALSE(registry.read(kCU, "Key20000\\Sub", "Value"));

  Registry(file).write(kCU, "Key7\\Sub", "Value", Number(-7));
  EXPECT_EQ(registry.read(kCU, "Key7\\Sub", "Value")->number, -7) << "written by another";
}

TEST_F(RegistryTest, WriteFailureNamesTheFile) {
  std::string blocker = NewFolder("blocked") + "/file";
  WriteFile(blocker, "not a folder");
  try {
    Registry(blocker + "/registry").write(kLM, kSettings, "x", Text("1"));
    FAIL() << "no exception";
  } catch (const RegistryError& error) {
    EXPECT_NE(std::string(error.what()).find(blocker + "/registry"), std::string::npos);
  }
}

TEST_F(RegistryTest, WritingThroughALinkKeepsTheLink) {
  std::string folder = NewFolder("linked");
  ASSERT_EQ(symlink("real", (folder + "/link").c_str()), 0);
  Registry(folder + "/link").write(kLM, kSettings, "x", Text("1"));
  Registry(folder + "/link").write(kLM, kSettings, "y", Text("2"));
  EXPECT_EQ(Registry(folder + "/real").valueNames(kLM, kSettings).size(), 2u);
}

TEST_F(RegistryTest, ConcurrentWritersFromSeveralProcessesLoseNothing) {
  constexpr int kProcesses = 4, kValues = 15;
  for (int p = 0; p < kProcesses; ++p) {
    if (fork() == 0) {
      for (int v = 0; v < kValues; ++v) {
        Registry(file).write(kCU, "Shared", std::to_string(p) + "-" + std::to_string(v), Number(v));
      }
      _exit(0);
    }
  }
  while (wait(nullptr) > 0) {
  }
  EXPECT_EQ(registry.valueNames(kCU, "Shared").size(), std::size_t{kProcesses * kValues});
}

TEST_F(RegistryTest, PersonalFallsBackToTheDocumentsFolderUnlessStored) {
  ScopedEnv documents("XDG_DOCUMENTS_DIR", "/srv/docs/");
  EXPECT_EQ(registry.read(kCU, kShellFoldersKey, "personal")->text, "/srv/docs");
  EXPECT_FALSE(registry.read(kLM, kShellFoldersKey, "Personal"));
  registry.write(kCU, kShellFoldersKey, "Personal", Text("/stored"));
  EXPECT_EQ(registry.read(kCU, kShellFoldersKey, "Personal")->text, "/stored");

  ScopedEnv noDocuments("XDG_DOCUMENTS_DIR", std::nullopt), noHome("HOME", std::nullopt),
      noConfig("XDG_CONFIG_HOME", std::nullopt);
  EXPECT_EQ(XdgDocumentsFolder(), "");
  EXPECT_FALSE(Registry(file + "2").read(kCU, kShellFoldersKey, "Personal"));
}

TEST(XdgDocumentsFolder, UserDirsFileThenHomeDocuments) {
  std::string config = NewFolder("xdg");
  ScopedEnv configHome("XDG_CONFIG_HOME", config), home("HOME", "/home/anna");
  EXPECT_EQ(XdgDocumentsFolder(), "/home/anna/Documents");
  WriteFile(config + "/user-dirs.dirs",
            "# XDG_DOCUMENTS_DIR=\"/wrong\"\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
            "XDG_DOCUMENTS_DIR=\"$HOME/Мои \\\"документы\\\"\"\n");
  EXPECT_EQ(XdgDocumentsFolder(), "/home/anna/Мои \"документы\"");
  WriteFile(config + "/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"/data/docs\"\n");
  EXPECT_EQ(XdgDocumentsFolder(), "/data/docs");
  WriteFile(config + "/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"relative/docs\"\n");
  EXPECT_EQ(XdgDocumentsFolder(), "/home/anna/Documents");
}

TEST(RegistryDefaultFile, EnvironmentOverrideThenXdgConfigThenHome) {
  ScopedEnv file("VSP_REGISTRY_FILE", "/x/reg");
  EXPECT_EQ(Registry::DefaultFilePath(), "/x/reg");
  ScopedEnv noFile("VSP_REGISTRY_FILE", std::nullopt), config("XDG_CONFIG_HOME", "/cfg");
  EXPECT_EQ(Registry::DefaultFilePath(), "/cfg/varnel-stampora/registry");
  ScopedEnv noConfig("XDG_CONFIG_HOME", std::nullopt), home("HOME", "/home/anna");
  EXPECT_EQ(Registry::DefaultFilePath(), "/home/anna/.config/varnel-stampora/registry");
}

}  // namespace
