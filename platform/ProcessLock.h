// A named, process-wide marker standing in for a named mutex: an advisory lock on a file of
// that name in the user's runtime folder, released by the system when the process ends.
#pragma once

#include <string>

namespace platform {

class NamedLock {
 public:
  // Creates or opens the marker. alreadyExisted() tells whether another holder has it (another
  // process, or another NamedLock of this process). When no marker can be made at all, it is
  // false, as for a named mutex whose creation failed. A "/" in the name becomes "_".
  explicit NamedLock(const std::string& name);
  ~NamedLock();
  NamedLock(const NamedLock&) = delete;
  NamedLock& operator=(const NamedLock&) = delete;

  bool alreadyExisted() const { return alreadyExisted_; }
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  bool alreadyExisted_ = false;
  std::string path_;
};

// $XDG_RUNTIME_DIR when it is a writable folder, otherwise the private temporary folder; ends
// with the separator. Throws FileError when neither is usable.
std::string RuntimeFolder();

}  // namespace platform
