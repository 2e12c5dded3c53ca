#include "Scratch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

namespace platform_test {
namespace {

std::string scratch;

class ScratchEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    char pattern[] = "/tmp/vsp-platform-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    scratch = pattern;
    setenv("TMPDIR", NewFolder("tmp").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", NewFolder("run").c_str(), 1);
    setenv("HOME", NewFolder("home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", NewFolder("config").c_str(), 1);
    setenv("VSP_REGISTRY_FILE", (scratch + "/registry").c_str(), 1);
    unsetenv("XDG_DOCUMENTS_DIR");
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
  }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new ScratchEnvironment);

}  // namespace

std::string NewFolder(const std::string& stem) {
  static int counter = 0;
  std::string folder = scratch + "/" + stem + std::to_string(++counter);
  mkdir(folder.c_str(), 0755);
  return folder;
}

}  // namespace platform_test
