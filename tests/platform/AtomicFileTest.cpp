#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "Scratch.h"
#include "platform/Files.h"

using namespace platform;
using namespace platform_test;

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

std::size_t EntriesIn(const std::string& folder) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& item : std::filesystem::directory_iterator(folder)) ++n;
  return n;
}

TEST(AtomicFile, ReplacesKeepingModeAndLinkAndLeavesNothingElse) {
  std::string folder = NewFolder("atomic");
  std::string file = folder + "/cache.dat";
  WriteText(file, "old");
  chmod(file.c_str(), 0664);
  WriteFileAtomically(file, "new", 3);
  EXPECT_EQ(ReadText(file), "new");
  EXPECT_EQ(ModeOf(file), 0664u) << "other users of a shared folder keep their access";

  std::string link = folder + "/link.dat";
  ASSERT_EQ(symlink("cache.dat", link.c_str()), 0);
  WriteFileAtomically(link, "via link", 8);
  struct stat st {};
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadText(file), "via link");

  mode_t mask = umask(022);
  WriteFileAtomically(folder + "/fresh", "x", 1);
  umask(mask);
  EXPECT_EQ(ModeOf(folder + "/fresh"), 0644u);
  EXPECT_EQ(EntriesIn(folder), 3u);
}

TEST(AtomicFile, UncommittedOrFailedWritesLeaveThePreviousFile) {
  std::string folder = NewFolder("atomic");
  std::string file = folder + "/sheet.doc";
  WriteText(file, "previous");
  {
    AtomicFile out(file);
    out.Write("partial", 7);
  }
  EXPECT_EQ(ReadText(file), "previous");
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
    WriteText(file, "previous");
    std::string big(1 << 20, 'x');
    try {
      WriteFileAtomically(file, big.data(), big.size());
      return 1;
    } catch (const FileError& e) {
      if (std::string(e.what()).find("недостаточно места") == std::string::npos) return 2;
    }
    if (ReadText(file) != "previous") return 3;
    return EntriesIn(disk) == 1 ? 0 : 4;
  });
  if (code == kNoSmallDisk) GTEST_SKIP() << "no size-limited file system can be mounted here";
  EXPECT_EQ(code, 0);
}

TEST(CopyFileAtomically, CopiesAndRefusesWhatIsNotARegularFile) {
  std::string folder = NewFolder("copy");
  WriteText(folder + "/a", std::string(300000, 'a'));
  CopyFileAtomically(folder + "/a", folder + "/b");
  EXPECT_EQ(ReadText(folder + "/b"), std::string(300000, 'a'));

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
