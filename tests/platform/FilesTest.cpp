#include "platform/Files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <regex>
#include <set>

#include "tests/support/Scratch.h"

using namespace platform;
using namespace test_support;

namespace {

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(PrivateTempFolder, IsMadePrivateAndATakenNameLeadsToAUniqueFolder) {
  std::string base = NewFolder("tmpdir"), elsewhere = NewFolder("elsewhere");
  std::string own = base + "/varnel-stampora-" + std::to_string(geteuid());
  ScopedEnv tmpdir("TMPDIR", base + "/"), noRuntime("XDG_RUNTIME_DIR", std::nullopt);
  mkdir(own.c_str(), 0755);
  EXPECT_EQ(PrivateTempFolder(), own + "/");
  EXPECT_EQ(ModeOf(own), 0700u);

  // Another local user who takes the name first must not block the program.
  rmdir(own.c_str());
  ASSERT_EQ(symlink(elsewhere.c_str(), own.c_str()), 0);
  std::string unique = PrivateTempFolder();
  EXPECT_EQ(unique.rfind(own + "-", 0), 0u) << unique;
  EXPECT_EQ(ModeOf(unique), 0700u);
  EXPECT_EQ(ModeOf(elsewhere), 0755u);
  EXPECT_EQ(PrivateTempFolder(), unique) << "one folder for the whole process";

  ScopedEnv missing("TMPDIR", base + "/missing/deeper");
  try {
    PrivateTempFolder();
    FAIL() << "no exception";
  } catch (const FileError& e) {
    EXPECT_NE(std::string(e.what()).find("Не удалось создать временную папку"), std::string::npos);
  }
}

TEST(PrivateTempFolder, PrefersAPrivateRuntimeFolderOnly) {
  std::string runtime = NewFolder("runtime"), base = NewFolder("tmpdir");
  ScopedEnv tmpdir("TMPDIR", base);
  ScopedEnv xdg("XDG_RUNTIME_DIR", runtime);
  chmod(runtime.c_str(), 0755);
  EXPECT_EQ(PrivateTempFolder().rfind(base + "/", 0), 0u) << "a runtime folder others may enter";
  std::string own = NewFolder("runtime");
  chmod(own.c_str(), 0700);
  ScopedEnv ownXdg("XDG_RUNTIME_DIR", own);
  EXPECT_EQ(PrivateTempFolder(), own + "/varnel-stampora/");
  // Scratch files are told from the user's by the folder, not by a prefix of its name.
  EXPECT_TRUE(platform::InPrivateTempFolder(own + "/varnel-stampora/vsp1.doc"));
  EXPECT_FALSE(platform::InPrivateTempFolder(own + "/varnel-stampora"));
  EXPECT_FALSE(platform::InPrivateTempFolder(own + "/varnel-stampora2/vsp1.doc"));
  EXPECT_FALSE(platform::InPrivateTempFolder(runtime + "/varnel-stampora/vsp1.doc"));
}

TEST(CreateTempFile, CreatesDistinctPrivateEmptyFilesWithTheShortPrefix) {
  std::string folder = NewFolder("temp");
  std::set<std::string> paths;
  for (int i = 0; i < 200; ++i) {
    std::string path = CreateTempFile(i % 2 ? folder : folder + "/", "vspx");
    EXPECT_TRUE(std::regex_match(path, std::regex(folder + R"(/vsp[0-9A-F]+\.tmp)"))) << path;
    EXPECT_TRUE(FileExists(path) && ModeOf(path) == 0600u) << path;
    paths.insert(path);
  }
  EXPECT_EQ(paths.size(), 200u);
  EXPECT_EQ(CreateTempFile("", "vsp").rfind(PrivateTempFolder(), 0), 0u);
  EXPECT_TRUE(std::regex_match(CreateTempFile(folder, "vsp", ".doc"),
                               std::regex(folder + R"(/vsp[0-9A-F]+\.doc)")));
}

TEST(ScopedTempFile, RemovesItsFileOnEveryWayOut) {
  std::string kept;
  std::string path;
  try {
    auto temp = ScopedTempFile::Create("vsp", ".doc");
    path = temp.path();
    auto other = ScopedTempFile::Create("vsp", ".doc");
    kept = other.release();
    EXPECT_TRUE(FileExists(path));
    throw std::runtime_error("leaving");
  } catch (const std::runtime_error&) {
  }
  EXPECT_FALSE(FileExists(path));
  EXPECT_TRUE(FileExists(kept));
  unlink(kept.c_str());
}

TEST(CreateTempFile, MissingFolderThrowsNamingIt) {
  std::string missing = NewFolder("gone") + "/missing";
  try {
    CreateTempFile(missing, "vsp");
    FAIL() << "no exception";
  } catch (const FileError& error) {
    EXPECT_NE(std::string(error.what()).find(missing), std::string::npos);
  }
}

TEST(FileAttributes, ReadOnlyNormalAndHidden) {
  std::string file = NewFolder("attr") + "/f.doc";
  WriteFile(file, "x");
  chmod(file.c_str(), 0664);
  EXPECT_FALSE(IsReadOnly(file));
  EXPECT_TRUE(SetReadOnly(file));
  EXPECT_EQ(ModeOf(file), 0444u);
  EXPECT_TRUE(IsReadOnly(file));
  EXPECT_TRUE(SetNormal(file));
  EXPECT_EQ(ModeOf(file), 0644u);
  EXPECT_FALSE(SetNormal(file + ".missing") || SetReadOnly(file + ".missing"));

  EXPECT_TRUE(IsHiddenName(".thumbs") && IsHiddenName("/data/.thumbs"));
  EXPECT_FALSE(IsHiddenName("/data/.cache/glyph.doc") || IsHiddenName("") || IsHiddenName("a.doc"));
}

TEST(ForceDirectories, CreatesMissingParentsAndFailsOnAFile) {
  std::string folder = NewFolder("force");
  EXPECT_TRUE(ForceDirectories(folder + "/a/b/c/"));
  EXPECT_TRUE(DirectoryExists(folder + "/a/b/c") && !FileExists(folder + "/a/b/c"));
  EXPECT_TRUE(ForceDirectories(folder + "/a/b"));
  WriteFile(folder + "/file", "");
  EXPECT_FALSE(ForceDirectories(folder + "/file/sub"));
  EXPECT_FALSE(ForceDirectories(""));
}

TEST(FileModificationTime, KeepsTheSubSecondPart) {
  std::string file = NewFolder("time") + "/f";
  WriteFile(file, "");
  timespec times[2] = {{1700000000, 0}, {1700000000, 250000000}};
  ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  EXPECT_DOUBLE_EQ(FileModificationTime(file), 1700000000.25);
  EXPECT_THROW(FileModificationTime(file + ".missing"), FileError);
}

}  // namespace
