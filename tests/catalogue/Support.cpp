#include "Support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Files.h"

namespace catalogue_test {
namespace {

std::string scratch;

class ScratchEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    char pattern[] = "/tmp/vsp-catalogue-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    scratch = pattern;
    std::filesystem::create_directories(scratch + "/tmp");
    std::filesystem::create_directories(scratch + "/run");
    chmod((scratch + "/run").c_str(), 0700);
    setenv("TMPDIR", (scratch + "/tmp").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (scratch + "/run").c_str(), 1);
    setenv("VSP_REGISTRY_FILE", (scratch + "/registry").c_str(), 1);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
  }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new ScratchEnvironment);

}  // namespace

std::string NewDataFolder() {
  static int counter = 0;
  std::string folder = scratch + "/data" + std::to_string(++counter) + "/";
  std::filesystem::create_directories(folder);
  return folder;
}

std::string TempFolder() {
  return platform::PrivateTempFolder();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void SetMTime(const std::string& path, std::time_t seconds) {
  timespec times[2] = {{seconds, 0}, {seconds, 0}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

std::vector<std::string> FilesStartingWith(const std::string& folder, const std::string& prefix) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
    std::string name = e.path().filename().string();
    if (name.rfind(prefix, 0) == 0) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

catalogue::TBitmap Pattern(int width, int height) {
  catalogue::TBitmap b(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) b.SetPixel(x, y, catalogue::RGBColor(x * 7, y * 13, x + y));
  return b;
}

std::string LE16(int v) {
  return {char(v & 0xFF), char(v >> 8 & 0xFF)};
}

std::string LE32(std::uint32_t v) {
  return {char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24 & 0xFF)};
}

std::string LEDouble(double v) {
  auto bits = std::bit_cast<std::uint64_t>(v);
  return LE32(std::uint32_t(bits)) + LE32(std::uint32_t(bits >> 32));
}

}  // namespace catalogue_test
