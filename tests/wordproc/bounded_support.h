// Work that hostile input could blow up, run in a child process with a ceiling on its address
// space and a watchdog: memory growing with what a file claims ends in a failed allocation, an
// endless loop in SIGALRM, and either kills the child instead of letting it exit normally. Use
// with EXPECT_EXIT(..., testing::ExitedWithCode(0), "what the child reports"). The child may
// also get a disk of its own with little room.
#pragma once

#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "tests/support/Scratch.h"

namespace bounded_test {

// AddressSanitizer keeps freed memory in quarantine and its own tables beside every allocation,
// so a ceiling measured for a plain build says nothing there: sanitized builds check the work's
// results and leave the memory bound to the plain build, with more time for the slower code.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kMemoryCeiling = false;
inline constexpr unsigned kSlowdown = 5;
#else
inline constexpr bool kMemoryCeiling = true;
inline constexpr unsigned kSlowdown = 1;
#endif

// Limits the address space to what the process holds plus headroomMb and the time to `seconds`,
// runs body and exits with 0 after writing what it returns to the standard error.
inline void RunBounded(std::size_t headroomMb, unsigned seconds,
                       const std::function<std::string()>& body) {
  // Threads the work starts (Qt converts large images on several) would each reserve a malloc
  // arena of 64 MB of address space; with one arena the ceiling is about memory used.
  mallopt(M_ARENA_MAX, 1);
  std::ifstream status("/proc/self/status");
  std::string key;
  rlim_t kb = 0;
  while (status >> key && key != "VmSize:") {
  }
  status >> kb;
  const rlim_t limit = (kb << 10) + (rlim_t(headroomMb) << 20);
  const rlimit ceiling{limit, limit};
  if (kMemoryCeiling && setrlimit(RLIMIT_AS, &ceiling) != 0) std::_Exit(90);
  alarm(seconds * kSlowdown);
  std::fputs(body().c_str(), stderr);
  std::fflush(stderr);
  std::_Exit(0);
}

// The child runs the test again from its start in a new process, so that no thread of Qt's is
// copied half-way into it.
inline void UseFreshChildren() {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
}

// Whether test_support::MountSmallDisk works here, tried in a child that makes nothing but system
// calls.
inline bool SmallDiskPossible(const std::string& folder) {
  const pid_t pid = fork();
  if (pid == 0) _exit(test_support::MountSmallDisk(folder, 65536) ? 0 : 1);
  int status = 0;
  return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

}  // namespace bounded_test
