// Every test of this program runs inside one scratch folder: temporary files, the registry,
// the runtime folder and the home folder all point there, so no test touches the user's own.
#pragma once

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

namespace platform_test {

// A fresh folder under the scratch folder, unique per call.
std::string NewFolder(const std::string& stem);

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

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

// The exit code of body run in a child process; -1 when the child did not exit normally.
template <typename Body>
int ExitCodeOfChild(Body body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

inline constexpr int kNoSmallDisk = 77;

// Runs body(folder) in a child process whose folder is a file system of the given size, so
// that writing more fills the disk; the exit code of body, or kNoSmallDisk when no such file
// system can be mounted here (neither as root nor in a user namespace).
template <typename Body>
int WithSmallDisk(std::size_t bytes, Body body) {
  std::string folder = NewFolder("disk");
  return ExitCodeOfChild([&] {
    if (unshare(CLONE_NEWNS) != 0 && unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return kNoSmallDisk;
    mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
    std::string options = "size=" + std::to_string(bytes);
    if (mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) return kNoSmallDisk;
    return body(folder);
  });
}

}  // namespace platform_test
