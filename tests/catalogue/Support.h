// A scratch data folder per test, with helpers to lay out catalogue trees and give files
// exact modification times.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <string>
#include <vector>

#include "catalogue/uBitmap.h"
#include "tests/support/Scratch.h"

namespace catalogue_test {

// A fresh empty folder ending with the separator.
std::string NewDataFolder();
// The private temporary folder of this test program, as the program chooses it (TMPDIR and
// XDG_RUNTIME_DIR point into the scratch folder).
std::string TempFolder();

using test_support::ReadFile;
using test_support::WriteFile;
void SetMTime(const std::string& path, std::time_t seconds);
// Names in the folder that begin with prefix, sorted.
std::vector<std::string> FilesStartingWith(const std::string& folder, const std::string& prefix);

// A bitmap whose every pixel differs, so that a row or channel mix-up shows.
catalogue::TBitmap Pattern(int width, int height);

// Little-endian bytes for hand-written files.
std::string LE16(int v);
std::string LE32(std::uint32_t v);
std::string LEDouble(double v);

using test_support::kChildKilled;
using test_support::ScopedEnv;

// The exit code of body run in a child process that an alarm ends after the given seconds.
template <typename Body>
int ExitCodeWithin(unsigned seconds, Body body) {
  return test_support::ExitCodeOfChild(body, seconds);
}

}  // namespace catalogue_test
