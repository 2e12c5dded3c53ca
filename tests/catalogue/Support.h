// A scratch data folder per test, with helpers to lay out catalogue trees and give files
// exact modification times.
#pragma once

#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/uBitmap.h"

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

// Sets or (given nothing) unsets an environment variable for a scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? setenv(name, value->c_str(), 1) : unsetenv(name);
  }
  ~ScopedEnv() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

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

inline constexpr int kNoSmallDisk = 77;

// Runs body(folder) in a child process whose folder is a file system of the given size, so
// that writing more fills the disk; the exit code of body, or kNoSmallDisk when no such file
// system can be mounted here (neither as root nor in a user namespace).
template <typename Body>
int WithSmallDisk(std::size_t bytes, Body body) {
  std::string folder = NewDataFolder();
  return ExitCodeWithin(120, [&] {
    if (unshare(CLONE_NEWNS) != 0 && unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return kNoSmallDisk;
    mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
    std::string options = "size=" + std::to_string(bytes);
    if (mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) return kNoSmallDisk;
    return body(folder);
  });
}

}  // namespace catalogue_test
