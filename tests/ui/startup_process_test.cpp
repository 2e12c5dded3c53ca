// Runs the real program as separate processes: the single-instance rule and the start-up
// without a word processor.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "catalogue/uPreviewList.h"

namespace fs = std::filesystem;

namespace {

class StartupProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("vsp-startup-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "runtime");
    fs::permissions(dir / "runtime", fs::perms::owner_all);
    fs::create_directories(dir / "docs");
  }
  void TearDown() override { fs::remove_all(dir); }

  pid_t Start(bool withoutWordProcessor = false, const char* errors = nullptr) {
    pid_t pid = fork();
    if (pid == 0) {
      if (errors) {
        int fd = open(errors, O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 2);
        setenv("VSP_QUIT_AFTER_THUMBNAILS", "1", 1);
      }
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
      setenv("VSP_MESSAGE_LOG", (dir / "messages.log").c_str(), 1);
      setenv("VSP_REGISTRY_FILE", (dir / "registry").c_str(), 1);
      setenv("XDG_RUNTIME_DIR", (dir / "runtime").c_str(), 1);
      setenv("XDG_DOCUMENTS_DIR", (dir / "docs").c_str(), 1);
      setenv("TMPDIR", dir.c_str(), 1);
      if (withoutWordProcessor) setenv("VSP_NO_WORD_PROCESSOR", "1", 1);
      execl(VSP_BIN_DIR "/stampora", "stampora", nullptr);
      _exit(127);
    }
    return pid;
  }

  int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  // True once some process holds the single-instance lock.
  bool LockHeld() {
    int fd = open((dir / "runtime" / "VarnelStampora_App.lock").c_str(), O_RDWR);
    if (fd < 0) return false;
    bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
    if (!held) flock(fd, LOCK_UN);
    close(fd);
    return held;
  }

  std::string Messages() {
    std::ifstream in(dir / "messages.log");
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  fs::path dir;
};

TEST_F(StartupProcess, SecondCopyIsRefusedWithItsMessage) {
  pid_t first = Start();
  // The first copy takes the lock after connecting to the word processor; wait for that
  // state rather than for a time.
  int status = 0;
  while (!LockHeld()) {
    ASSERT_EQ(waitpid(first, &status, WNOHANG), 0) << "the first copy ended early: " << Messages();
    usleep(20000);
  }
  EXPECT_EQ(Wait(Start()), 0);
  EXPECT_EQ(Messages(), "Внимание!\tПрограмма уже запущена!\n");
  kill(first, SIGTERM);
  Wait(first);
}

TEST_F(StartupProcess, WithoutAWordProcessorTheProgramSaysSoAndEnds) {
  EXPECT_EQ(Wait(Start(true)), 0);
  EXPECT_EQ(Messages(), "Внимание!\tДля запуска программы необходим Microsoft Word 97 или выше!\n");
  EXPECT_TRUE(fs::is_directory(dir / "docs" / "Varnel")) << "the data folder is still prepared";
}

// The start-up benchmark waits for this line; without it the benchmark would hang or time out.
TEST_F(StartupProcess, TimingHookSaysWhenCachedThumbnailsArePaintedAndEnds) {
  const std::string data = (dir / "docs" / "Varnel").string() + "/";
  fs::create_directories(data + "Оттиски/Визитки/Мои оттиски");
  std::ofstream(data + "Оттиски/Визитки/Мои оттиски/a.doc") << "never opened";
  catalogue::TPreviewList list(data);
  list.FindOrAdd("Оттиски/Визитки/Мои оттиски/a.doc", catalogue::kGlyphKind, 0)->Thumbnail =
      std::make_shared<catalogue::TBitmap>(216, 120);
  list.SaveCache();

  const std::string errors = (dir / "errors.log").string();
  EXPECT_EQ(Wait(Start(false, errors.c_str())), 0);
  std::ifstream in(errors);
  std::stringstream ss;
  ss << in.rdbuf();
  EXPECT_NE(ss.str().find("stampora: thumbnails painted\n"), std::string::npos) << ss.str();
  EXPECT_EQ(Messages(), "") << "nothing asked the user";
}

}  // namespace
