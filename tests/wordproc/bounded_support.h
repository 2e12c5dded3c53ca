// Running work that hostile input could blow up inside a child process with a ceiling on its
// address space and a watchdog: memory growing with what a file claims ends in a failed
// allocation, an endless loop in SIGALRM, and either makes the child die instead of exiting
// normally. Use with EXPECT_EXIT(..., testing::ExitedWithCode(0), "what the child reports").
// The child may also get a disk of its own with little room.
#pragma once

#include <gtest/gtest.h>
#include <malloc.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

namespace bounded_test {

// The process's address space now, in bytes, as the kernel counts it for RLIMIT_AS.
inline std::size_t AddressSpaceBytes() {
  std::ifstream status("/proc/self/status");
  std::string key;
  std::size_t kb = 0;
  while (status >> key) {
    if (key == "VmSize:") {
      status >> kb;
      break;
    }
  }
  return kb * 1024;
}

// Runs body with the address space limited to what the process holds plus headroomMb, and at
// most `seconds` to finish; writes what body returns to the standard error and exits with 0.
// Only ever called in the death-test child.
inline void RunBounded(std::size_t headroomMb, unsigned seconds,
                       const std::function<std::string()>& body) {
  // Threads started by the work (Qt converts large images on several) would each reserve a
  // malloc arena of 64 MB of address space; with one arena the ceiling is about memory used.
  mallopt(M_ARENA_MAX, 1);
  const rlim_t limit = AddressSpaceBytes() + (rlim_t(headroomMb) << 20);
  rlimit ceiling{limit, limit};
  if (setrlimit(RLIMIT_AS, &ceiling) != 0) std::_Exit(90);
  alarm(seconds);
  const std::string outcome = body();
  std::fputs(outcome.c_str(), stderr);
  std::fflush(stderr);
  std::_Exit(0);
}

// Mounts a file system with those options (its size) over the folder, seen by this process alone:
// as root, or in a user namespace of its own where the system allows them. Only for a child
// process.
inline bool MountSmallDisk(const char* folder, const char* options) {
  if (unshare(CLONE_NEWNS) != 0 && unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
  mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
  return mount("tmpfs", folder, "tmpfs", 0, options) == 0;
}

// Whether MountSmallDisk works here, tried in a child that makes nothing but system calls.
inline bool SmallDiskPossible(const std::string& folder) {
  const pid_t pid = fork();
  if (pid == 0) _exit(MountSmallDisk(folder.c_str(), "size=65536") ? 0 : 1);
  int status = 0;
  return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

// The child runs the test again from its start in a fresh process, so neither Qt's threads nor
// anything else of this process is copied half-way into it.
inline void UseFreshChildren() {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
}

}  // namespace bounded_test
