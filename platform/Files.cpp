#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

namespace platform {
namespace {

std::string ErrorText(int error) {
  return std::strerror(error);
}

std::string SystemTempFolder() {
  const char* env = std::getenv("TMPDIR");
  std::string base = (env && *env) ? env : "/tmp";
  while (base.size() > 1 && base.back() == kPathSep) base.pop_back();
  return base;
}

std::string WithSeparator(std::string folder) {
  if (folder.empty() || folder.back() != kPathSep) folder += kPathSep;
  return folder;
}

// Opening without following links and checking the open descriptor leaves no window in which
// another user could swap the folder for a link between the check and the chmod.
void MakePrivate(const std::string& folder) {
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    throw FileError("the temporary folder " + folder +
                    " is not a private folder: " + ErrorText(errno));
  }
  struct stat st {};
  bool ok = fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
            ((st.st_mode & 07777) == 0700 || fchmod(fd, 0700) == 0);
  close(fd);
  if (!ok) throw FileError("the temporary folder " + folder + " cannot be made private");
}

// A process-local generator is enough: O_EXCL settles any collision with another process.
std::string RandomHex() {
  thread_local std::mt19937 generator{std::random_device{}()};
  char digits[16];
  std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(generator()));
  return digits;
}

bool StatPath(const std::string& path, struct stat& st) {
  return stat(path.c_str(), &st) == 0;
}

bool ChangeMode(const std::string& path, mode_t add, mode_t remove) {
  struct stat st {};
  if (!StatPath(path, st)) return false;
  return chmod(path.c_str(), ((st.st_mode & 07777) | add) & ~remove) == 0;
}

}  // namespace

std::string PrivateTempFolder() {
  std::string folder = SystemTempFolder() + "/varnel-stampora-" + std::to_string(geteuid());
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    throw FileError("cannot create the temporary folder " + folder + ": " + ErrorText(errno));
  }
  MakePrivate(folder);
  return folder + kPathSep;
}

std::string CreateTempFile(const std::string& folder, const std::string& prefix) {
  std::string dir = WithSeparator(folder.empty() ? PrivateTempFolder() : folder);
  std::string base = dir + prefix.substr(0, 3);
  constexpr int kAttempts = 1000;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::string path = base + RandomHex() + ".tmp";
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      close(fd);
      return path;
    }
    if (errno != EEXIST) {
      throw FileError("cannot create a temporary file in " + dir + ": " + ErrorText(errno));
    }
  }
  throw FileError("no free temporary file name in " + dir);
}

bool IsReadOnly(const std::string& path) {
  struct stat st {};
  return StatPath(path, st) && (st.st_mode & S_IWUSR) == 0;
}

bool IsHiddenName(const std::string& fileName) {
  std::string::size_type slash = fileName.find_last_of(kPathSep);
  std::string::size_type start = slash == std::string::npos ? 0 : slash + 1;
  return start < fileName.size() && fileName[start] == '.';
}

bool SetNormal(const std::string& path) {
  return ChangeMode(path, S_IWUSR, 0);
}

bool SetReadOnly(const std::string& path) {
  return ChangeMode(path, 0, S_IWUSR | S_IWGRP | S_IWOTH);
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return StatPath(path, st) && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return StatPath(path, st) && S_ISDIR(st.st_mode);
}

bool ForceDirectories(const std::string& path) {
  if (path.empty()) return false;
  for (std::string::size_type pos = path.find(kPathSep, 1); pos != std::string::npos;
       pos = path.find(kPathSep, pos + 1)) {
    std::string parent = path.substr(0, pos);
    if (!DirectoryExists(parent)) mkdir(parent.c_str(), 0777);
  }
  if (!DirectoryExists(path)) mkdir(path.c_str(), 0777);
  return DirectoryExists(path);
}

double FileModificationTime(const std::string& path) {
  struct stat st {};
  if (!StatPath(path, st)) {
    throw FileError("cannot read the time of " + path + ": " + ErrorText(errno));
  }
  return static_cast<double>(st.st_mtim.tv_sec) + st.st_mtim.tv_nsec / 1e9;
}

}  // namespace platform
