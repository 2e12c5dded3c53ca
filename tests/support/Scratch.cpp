#include "tests/support/Scratch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace test_support {
namespace {

namespace fs = std::filesystem;

std::string scratch;

class ScratchEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    char pattern[] = "/tmp/vsp-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    scratch = pattern;
    setenv("TMPDIR", NewFolder("tmp").c_str(), 1);
    // A runtime folder as the desktop makes it: private to the user.
    const std::string runtime = NewFolder("run");
    chmod(runtime.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("HOME", NewFolder("home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", NewFolder("config").c_str(), 1);
    setenv("VSP_REGISTRY_FILE", (scratch + "/registry").c_str(), 1);
    unsetenv("XDG_DOCUMENTS_DIR");
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
  }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new ScratchEnvironment);

}  // namespace

const std::string& ScratchFolder() {
  return scratch;
}

std::string NewFolder(const std::string& stem) {
  static std::atomic<int> counter{0};
  std::string folder = scratch + "/" + stem + std::to_string(++counter);
  fs::create_directories(folder);
  return folder;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::error_code ignored;
  fs::create_directories(fs::path(path).parent_path(), ignored);
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

CommandResult RunCommand(const std::string& command, const std::string& errFile) {
  CommandResult r;
  const std::string withErr = command + " 2>'" + errFile + "'";
  if (FILE* p = popen(withErr.c_str(), "r")) {
    char buf[4096];
    while (std::size_t n = fread(buf, 1, sizeof buf, p)) r.out.append(buf, n);
    const int status = pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  r.err = ReadFile(errFile);
  return r;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

bool MountSmallDisk(const std::string& folder, std::size_t bytes) {
  if (unshare(CLONE_NEWNS) != 0 && unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
  mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
  const std::string options = "size=" + std::to_string(bytes);
  return mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

}  // namespace test_support
