// What every test program of the project shares: one scratch folder per program run, into
// which the temporary folder, the runtime folder, the home and configuration folders and the
// settings file all point, so that no test ever touches the user's own; file helpers; child
// processes that may hang or crash; and small disks that fill up.
#pragma once

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace test_support {

// The program's scratch folder, without a trailing separator; made before the first test and
// removed after the last.
const std::string& ScratchFolder();
// A fresh folder under the scratch folder, unique per call, without a trailing separator.
std::string NewFolder(const std::string& stem);

// Writes the file whole, creating its folders.
void WriteFile(const std::string& path, const std::string& bytes);
// The whole file; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// The names in the folder, sorted; empty when it cannot be listed.
std::vector<std::string> FilesIn(const std::string& folder);

struct CommandResult {
  int code = -1;  // the exit code; -1 when the command did not end normally
  std::string out, err;
};
// The text as one word of a shell command, whatever it holds.
std::string ShellQuote(const std::string& text);

// Runs the shell command with its standard error going to errFile, which is read back.
CommandResult RunCommand(const std::string& command, const std::string& errFile);

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

// The exit code of body run in a child process; an alarm ends the child after the given
// seconds, so that a hang fails the test instead of stopping the run. kChildKilled when the
// child did not exit normally.
template <typename Body>
int ExitCodeOfChild(Body body, unsigned seconds = 120) {
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

// Mounts a file system of the given size at the folder, for the calling process alone: in a
// mount namespace of its own (as root, else in a user namespace). Meant for a child process.
bool MountSmallDisk(const std::string& folder, std::size_t bytes);

// Runs body(folder) in a child process whose folder is a file system of the given size, so
// that writing more fills the disk; the exit code of body, or kNoSmallDisk when no such file
// system can be mounted here.
template <typename Body>
int WithSmallDisk(std::size_t bytes, Body body) {
  std::string folder = NewFolder("disk");
  return ExitCodeOfChild([&] {
    if (!MountSmallDisk(folder, bytes)) return kNoSmallDisk;
    return body(folder);
  });
}

}  // namespace test_support
