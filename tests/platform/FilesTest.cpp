#include "platform/Files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <regex>
#include <set>

#include "Scratch.h"

using namespace platform;
using namespace platform_test;

namespace {

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(PrivateTempFolder, IsMadePrivateButNeverThroughALinkOrAnotherOwnersFolder) {
  std::string base = NewFolder("tmpdir"), elsewhere = NewFolder("elsewhere");
  std::string own = base + "/varnel-stampora-" + std::to_string(geteuid());
  ScopedEnv tmpdir("TMPDIR", base + "/");
  mkdir(own.c_str(), 0755);
  EXPECT_EQ(PrivateTempFolder(), own + "/");
  EXPECT_EQ(ModeOf(own), 0700u);

  rmdir(own.c_str());
  ASSERT_EQ(symlink(elsewhere.c_str(), own.c_str()), 0);
  EXPECT_THROW(PrivateTempFolder(), FileError);
  EXPECT_EQ(ModeOf(elsewhere), 0755u);

  if (geteuid() != 0) GTEST_SKIP() << "handing a folder to another owner needs root";
  unlink(own.c_str());
  ASSERT_EQ(mkdir(own.c_str(), 0700), 0);
  ASSERT_EQ(chown(own.c_str(), 65534, 65534), 0);
  EXPECT_THROW(PrivateTempFolder(), FileError);
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
  WriteText(file, "x");
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
  WriteText(folder + "/file", "");
  EXPECT_FALSE(ForceDirectories(folder + "/file/sub"));
  EXPECT_FALSE(ForceDirectories(""));
}

TEST(FileModificationTime, KeepsTheSubSecondPart) {
  std::string file = NewFolder("time") + "/f";
  WriteText(file, "");
  timespec times[2] = {{1700000000, 0}, {1700000000, 250000000}};
  ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  EXPECT_DOUBLE_EQ(FileModificationTime(file), 1700000000.25);
  EXPECT_THROW(FileModificationTime(file + ".missing"), FileError);
}

}  // namespace
