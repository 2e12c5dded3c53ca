#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Files.h"
#include "tests/support/Scratch.h"

using namespace platform;
using namespace test_support;

namespace {

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

std::size_t EntriesIn(const std::string& folder) {
  return FilesIn(folder).size();
}

TEST(AtomicFile, ReplacesKeepingModeAndLinkAndLeavesNothingElse) {
  std::string folder = NewFolder("atomic");
  std::string file = folder + "/cache.dat";
  WriteFile(file, "old");
  chmod(file.c_str(), 0664);
  WriteFileAtomically(file, "new", 3);
  EXPECT_EQ(ReadFile(file), "new");
  EXPECT_EQ(ModeOf(file), 0664u) << "other users of a shared folder keep their access";

  std::string link = folder + "/link.dat";
  ASSERT_EQ(symlink("cache.dat", link.c_str()), 0);
  WriteFileAtomically(link, "via link", 8);
  struct stat st {};
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadFile(file), "via link");

  mode_t mask = umask(022);
  WriteFileAtomically(folder + "/fresh", "x", 1);
  umask(mask);
  EXPECT_EQ(ModeOf(folder + "/fresh"), 0644u);
  EXPECT_EQ(EntriesIn(folder), 3u);
}

TEST(AtomicFile, UncommittedOrFailedWritesLeaveThePreviousFile) {
  std::string folder = NewFolder("atomic");
  std::string file = folder + "/sheet.doc";
  WriteFile(file, "previous");
  {
    AtomicFile out(file);
    out.Write("partial", 7);
  }
  EXPECT_EQ(ReadFile(file), "previous");
  EXPECT_EQ(EntriesIn(folder), 1u);

  ASSERT_EQ(mkdir((folder + "/dir").c_str(), 0755), 0);
  try {
    WriteFileAtomically(folder + "/dir", "x", 1);
    FAIL() << "a folder was overwritten";
  } catch (const FileError& e) {
    EXPECT_NE(std::string(e.what()).find(folder + "/dir"), std::string::npos) << e.what();
  }
  EXPECT_THROW(WriteFileAtomically(folder + "/missing/f", "x", 1), FileError);
}

TEST(AtomicFile, AFullDiskIsReportedAsSuchAndKeepsTheOldFile) {
  int code = WithSmallDisk(64 * 1024, [](const std::string& disk) {
    std::string file = disk + "/cache.dat";
    WriteFile(file, "previous");
    std::string big(1 << 20, 'x');
    try {
      WriteFileAtomically(file, big.data(), big.size());
      return 1;
    } catch (const FileError& e) {
      if (std::string(e.what()).find("недостаточно места") == std::string::npos) return 2;
    }
    if (ReadFile(file) != "previous") return 3;
    return EntriesIn(disk) == 1 ? 0 : 4;
  });
  if (code == kNoSmallDisk) GTEST_SKIP() << "no size-limited file system can be mounted here";
  EXPECT_EQ(code, 0);
}

TEST(CopyFileAtomically, CopiesAndRefusesWhatIsNotARegularFile) {
  std::string folder = NewFolder("copy");
  WriteFile(folder + "/a", std::string(300000, 'a'));
  CopyFileAtomically(folder + "/a", folder + "/b");
  EXPECT_EQ(ReadFile(folder + "/b"), std::string(300000, 'a'));

  std::string fifo = folder + "/pipe.doc";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_THROW(CopyFileAtomically(fifo, folder + "/c"), FileError) << "a pipe must not block";
  EXPECT_THROW(OpenRegularFile(folder), FileError);
  EXPECT_THROW(OpenRegularFile("/dev/null"), FileError);
  int fd = OpenRegularFile(folder + "/a");
  EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
  close(fd);
  EXPECT_FALSE(FileExists(folder + "/c"));
}

}  // namespace
