#include "platform/ProcessLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/Files.h"

namespace platform {
namespace {

// A name is one file in the runtime folder, never a path.
std::string FileNameFor(std::string name) {
  for (char& c : name) {
    if (c == kPathSep) c = '_';
  }
  return name + ".lock";
}

}  // namespace

// The lock file is never removed: unlinking it would let a later process lock a fresh file
// while an earlier one still holds the old, unlinked one.
NamedLock::NamedLock(const std::string& name) {
  try {
    path_ = RuntimeFolder() + FileNameFor(name);
  } catch (const FileError&) {
    return;
  }
  fd_ = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) return;
  int result;
  do {
    result = flock(fd_, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  alreadyExisted_ = result != 0 && errno == EWOULDBLOCK;
}

NamedLock::~NamedLock() {
  if (fd_ >= 0) close(fd_);
}

std::string RuntimeFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime == kPathSep && DirectoryExists(runtime) &&
      access(runtime, W_OK | X_OK) == 0) {
    std::string folder = runtime;
    if (folder.back() != kPathSep) folder += kPathSep;
    return folder;
  }
  return PrivateTempFolder();
}

}  // namespace platform
