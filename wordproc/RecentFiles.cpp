#include "wordproc/RecentFiles.h"

#include <algorithm>
#include <cstdlib>
#include <map>

#include "platform/Files.h"
#include "platform/Registry.h"

namespace wordproc {

namespace {

constexpr auto kRoot = platform::RegRoot::CurrentUser;

std::string ItemName(int n) {
  return "Item " + std::to_string(n);
}

// The number of an "Item N" value name, or 0 for any other name.
int ItemNumber(const std::string& name) {
  if (name.size() < 6 || name.compare(0, 5, "Item ") != 0) return 0;
  char* end = nullptr;
  long n = std::strtol(name.c_str() + 5, &end, 10);
  return (*end == '\0' && n > 0 && n < 100000) ? int(n) : 0;
}

// Items by number; the list may have gaps where an entry was removed.
std::map<int, std::string> Items() {
  std::map<int, std::string> items;
  auto& registry = platform::Registry::Instance();
  for (const std::string& name : registry.valueNames(kRoot, kRecentFilesKey)) {
    int n = ItemNumber(name);
    if (n == 0) continue;
    if (auto value = registry.read(kRoot, kRecentFilesKey, name)) items[n] = value->text;
  }
  return items;
}

}  // namespace

std::vector<std::string> RecentFiles() {
  std::vector<std::string> files;
  for (auto& [n, file] : Items()) files.push_back(file);
  return files;
}

namespace {

// The program's working copies live in its private temporary folder and go when their run
// ends: listing them would fill the list with dead entries, at a settings write each.
bool IsWorkingCopy(const std::string& fullName) {
  return platform::InPrivateTempFolder(fullName);
}

}  // namespace

void AddRecentFile(const std::string& fullName) {
  if (IsWorkingCopy(fullName)) return;
  try {
    auto items = Items();
    auto& registry = platform::Registry::Instance();
    platform::RegValue newest;
    newest.text = fullName;
    const bool listed = std::any_of(items.begin(), items.end(),
                                    [&](const auto& item) { return item.second == fullName; });
    // A removed newest entry leaves room at the top: nothing needs to shift.
    if (!items.count(1) && !listed)
      return registry.write(kRoot, kRecentFilesKey, ItemName(1), newest);
    std::vector<std::string> files{fullName};
    for (auto& [n, file] : items)
      if (file != fullName) files.push_back(file);
    if (files.size() > std::size_t(kMaxRecentFiles)) files.resize(kMaxRecentFiles);
    for (auto& [n, file] : items)
      if (n > int(files.size())) registry.deleteValue(kRoot, kRecentFilesKey, ItemName(n));
    for (std::size_t k = 0; k < files.size(); ++k) {
      platform::RegValue value;
      value.text = files[k];
      registry.write(kRoot, kRecentFilesKey, ItemName(int(k) + 1), value);
    }
  } catch (const platform::RegistryError&) {
  }
}

}  // namespace wordproc
