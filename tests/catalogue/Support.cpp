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
std::string NewDataFolder() {
  return test_support::NewFolder("data") + "/";
}

std::string TempFolder() {
  return platform::PrivateTempFolder();
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
