// The word processor's list of recently used files, kept where the program expects it: the
// values "Item 1" (newest), "Item 2", … under the current user's File MRU key.
#pragma once

#include <string>
#include <vector>

namespace wordproc {

inline constexpr const char* kRecentFilesKey = "Software\\Microsoft\\Office\\16.0\\Word\\File MRU";
inline constexpr int kMaxRecentFiles = 50;

// Puts the file first, shifting the others down; an earlier entry for the same file goes.
// Registry failures are ignored: a document opens even when the list cannot be written.
void AddRecentFile(const std::string& fullName);
std::vector<std::string> RecentFiles();

}  // namespace wordproc
