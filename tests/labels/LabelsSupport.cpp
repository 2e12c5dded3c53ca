#include "LabelsSupport.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>

namespace labels_test {

std::string NewFolder() {
  static std::atomic<int> counter{0};
  const auto folder = std::filesystem::temp_directory_path() /
                      ("vsp-labels-" + std::to_string(getpid()) + "-" + std::to_string(++counter));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder.string();
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string TemplatesFile(const std::string& templates) {
  return "<?xml version=\"1.0\"?>\n<Glabels-templates xmlns=\"http://glabels.org/xmlns/3.0/\">\n" +
         templates + "\n</Glabels-templates>\n";
}

}  // namespace labels_test
