// A scratch data folder per test, with helpers to lay out catalogue trees and give files
// exact modification times.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <string>
#include <vector>

#include "catalogue/uBitmap.h"
#include "tests/platform/Scratch.h"

namespace catalogue_test {

// A fresh empty folder ending with the separator.
std::string NewDataFolder();
// The private temporary folder of this test program, as the program chooses it (TMPDIR and
// XDG_RUNTIME_DIR point into the scratch folder).
std::string TempFolder();

// Writes the file, creating its folders.
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
void SetMTime(const std::string& path, std::time_t seconds);
// Names in the folder that begin with prefix, sorted.
std::vector<std::string> FilesStartingWith(const std::string& folder, const std::string& prefix);

// A bitmap whose every pixel differs, so that a row or channel mix-up shows.
catalogue::TBitmap Pattern(int width, int height);

// Little-endian bytes for hand-written files.
std::string LE16(int v);
std::string LE32(std::uint32_t v);
std::string LEDouble(double v);

using platform_test::ScopedEnv;

inline constexpr int kChildKilled = -1;

// The exit code of body run in a child process that the alarm ends after the given seconds,
// so that a hang fails the test instead of stopping the run; kChildKilled when it did not exit.
template <typename Body>
int ExitCodeWithin(unsigned seconds, Body body) {
  pid_t pid = fork();
  if (pid == 0) {
    alarm(seconds);
    _exit(body());
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return kChildKilled;
  return WEXITSTATUS(status);
}

}  // namespace catalogue_test
