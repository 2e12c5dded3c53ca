#include "platform/Registry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>

#include "Scratch.h"

using namespace platform;
using namespace platform_test;

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

TEST(Registry, DamagedLinesAreSkippedAndTheRestStillReads) {
  Registry damaged(NewFolder("damaged") + "/registry");
  WriteText(damaged.filePath(),
            "garbage\n[HKLM\\Good]\r\nText=str:kept\r\nBadType=blob:1\nBadNumber=num:12x\n"
            "BadEscape=str:a\\q\nBadPercent%G1=str:x\n"
            "[HKXX\\Unknown root]\nOrphan=str:must not join Good\n");
  EXPECT_EQ(damaged.valueNames(kLM, "Good"), std::vector<std::string>{"Text"});
  damaged.write(kLM, "Good", "New", Number(1));
  EXPECT_EQ(damaged.read(kLM, "Good", "Text")->text, "kept");
}

TEST_F(RegistryTest, WriteFailureNamesTheFile) {
  std::string blocker = NewFolder("blocked") + "/file";
  WriteText(blocker, "not a folder");
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
  WriteText(config + "/user-dirs.dirs",
            "# XDG_DOCUMENTS_DIR=\"/wrong\"\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
            "XDG_DOCUMENTS_DIR=\"$HOME/Мои \\\"документы\\\"\"\n");
  EXPECT_EQ(XdgDocumentsFolder(), "/home/anna/Мои \"документы\"");
  WriteText(config + "/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"/data/docs\"\n");
  EXPECT_EQ(XdgDocumentsFolder(), "/data/docs");
  WriteText(config + "/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"relative/docs\"\n");
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
