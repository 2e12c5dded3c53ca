#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <string_view>
#include <vector>

namespace platform {
namespace {

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

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.find_last_of(kPathSep);
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  std::size_t slash = path.find_last_of(kPathSep);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Opening without following links and checking the open descriptor leaves no window in which
// another user could swap the folder for a link between the check and the chmod.
bool MakePrivate(const std::string& folder) {
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
            ((st.st_mode & 07777) == 0700 || fchmod(fd, 0700) == 0);
  close(fd);
  return ok;
}

// The folder exists afterwards as a private folder of this user, or the answer is false.
bool Claim(const std::string& folder, int& error) {
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    error = errno;
    return false;
  }
  if (MakePrivate(folder)) return true;
  error = EACCES;
  return false;
}

// The user's runtime folder counts only when it is what the desktop promises: an absolute
// folder of this user that nobody else may enter.
bool IsPrivateRuntimeFolder(const char* runtime) {
  if (!runtime || *runtime != kPathSep) return false;
  struct stat st {};
  return stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
         (st.st_mode & 077) == 0;
}

// A process-local generator is enough: O_EXCL settles any collision with another process.
std::string RandomHex() {
  thread_local std::mt19937 generator{std::random_device{}()};
  char digits[16];
  std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(generator()));
  return digits;
}

// A hidden name beside the target for its new version: "." + name + "." + suffix, the name cut
// (at a character boundary) so that long file names still leave room.
std::string HiddenNameBeside(const std::string& target, const std::string& suffix) {
  constexpr std::size_t kNameMax = 255;
  std::string name = NameOf(target);
  const std::size_t room = kNameMax - 2 - suffix.size();
  if (name.size() > room) {
    name.resize(room);
    while (!name.empty() && (static_cast<unsigned char>(name.back()) & 0xC0) == 0x80)
      name.pop_back();
    if (!name.empty() && static_cast<unsigned char>(name.back()) >= 0xC0) name.pop_back();
  }
  return FolderOf(target) + kPathSep + "." + name + "." + suffix;
}

bool StatPath(const std::string& path, struct stat& st) {
  return stat(path.c_str(), &st) == 0;
}

bool ChangeMode(const std::string& path, mode_t add, mode_t remove) {
  struct stat st {};
  if (!StatPath(path, st)) return false;
  return chmod(path.c_str(), ((st.st_mode & 07777) | add) & ~remove) == 0;
}

// Folders made under unique names belong to this process alone and go with it.
struct UniqueFolders {
  std::vector<std::string> folders;
  ~UniqueFolders() {
    for (const std::string& folder : folders) {
      if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* item = readdir(dir)) {
          if (std::strcmp(item->d_name, ".") != 0 && std::strcmp(item->d_name, "..") != 0)
            unlink((folder + kPathSep + item->d_name).c_str());
        }
        closedir(dir);
      }
      rmdir(folder.c_str());
    }
  }
};

struct TempFolderChoice {
  std::mutex mutex;
  std::string key;     // the environment the folder was chosen in
  std::string folder;  // with the separator
  UniqueFolders unique;
};

TempFolderChoice& Choice() {
  static TempFolderChoice choice;
  return choice;
}

std::string ChooseTempFolder(TempFolderChoice& choice) {
  int error = 0;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (IsPrivateRuntimeFolder(runtime)) {
    std::string folder = std::string(runtime) + "/varnel-stampora";
    if (Claim(folder, error)) return folder;
  }
  const std::string base = SystemTempFolder();
  std::string folder = base + "/varnel-stampora-" + std::to_string(geteuid());
  if (Claim(folder, error)) return folder;
  std::string pattern = folder + "-XXXXXX";
  if (mkdtemp(pattern.data())) {
    choice.unique.folders.push_back(pattern);
    return pattern;
  }
  throw FileError("Не удалось создать временную папку программы в " + Quoted(base) + ": " +
                  ErrorReason(errno ? errno : error));
}

bool WriteAll(int fd, const void* data, std::size_t n, int& error) {
  const auto* p = static_cast<const char*>(data);
  while (n > 0) {
    ssize_t put = ::write(fd, p, n);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      error = put < 0 ? errno : ENOSPC;
      return false;
    }
    p += put;
    n -= std::size_t(put);
  }
  return true;
}

// A link keeps leading where it led: the file at its end is the one replaced.
std::string ReplacedFile(const std::string& path) {
  if (char* resolved = realpath(path.c_str(), nullptr)) {
    std::string target = resolved;
    std::free(resolved);
    return target;
  }
  char link[4096];
  ssize_t length = readlink(path.c_str(), link, sizeof link);
  if (length <= 0 || length == sizeof link) return path;
  std::string target(link, std::size_t(length));
  return target[0] == kPathSep ? target : FolderOf(path) + kPathSep + target;
}

void SyncFolder(const std::string& folder) {
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

mode_t DefaultFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

std::string ErrorReason(int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
      return "на диске недостаточно места";
    case EACCES:
    case EPERM:
      return "нет прав доступа";
    case EROFS:
      return "диск доступен только для чтения";
    case ENOENT:
      return "файл или папка не существует";
    case EISDIR:
      return "по этому пути находится папка";
    case ENOTDIR:
      return "часть пути не является папкой";
    case ENAMETOOLONG:
      return "слишком длинное имя файла";
    case EIO:
      return "ошибка ввода-вывода";
    case EFBIG:
      return "файл слишком велик";
    default:
      return std::strerror(error);
  }
}

std::string PrivateTempFolder() {
  TempFolderChoice& choice = Choice();
  std::lock_guard<std::mutex> lock(choice.mutex);
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string key = std::string(runtime ? runtime : "") + '\n' + SystemTempFolder();
  if (choice.key != key || !MakePrivate(choice.folder)) {
    choice.folder = ChooseTempFolder(choice);
    choice.key = key;
  }
  return choice.folder + kPathSep;
}

bool InPrivateTempFolder(const std::string& path) {
  TempFolderChoice& choice = Choice();
  std::lock_guard<std::mutex> lock(choice.mutex);
  if (choice.folder.empty()) return false;
  const std::string folder = WithSeparator(choice.folder);
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0;
}

std::string CreateTempFile(const std::string& folder, const std::string& prefix,
                           const std::string& extension) {
  std::string dir = WithSeparator(folder.empty() ? PrivateTempFolder() : folder);
  std::string base = dir + prefix.substr(0, 3);
  constexpr int kAttempts = 1000;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::string path = base + RandomHex() + extension;
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      close(fd);
      return path;
    }
    if (errno != EEXIST) {
      throw FileError("Не удалось создать временный файл в папке " + Quoted(dir) + ": " +
                      ErrorReason(errno));
    }
  }
  throw FileError("В папке " + Quoted(dir) + " нет свободного имени для временного файла");
}

ScopedTempFile ScopedTempFile::Create(const std::string& prefix, const std::string& extension) {
  return ScopedTempFile(CreateTempFile("", prefix, extension));
}

ScopedTempFile::~ScopedTempFile() {
  if (!path_.empty()) unlink(path_.c_str());
}

ScopedTempFile& ScopedTempFile::operator=(ScopedTempFile&& other) noexcept {
  if (this != &other) {
    if (!path_.empty()) unlink(path_.c_str());
    path_ = std::move(other.path_);
    other.path_.clear();
  }
  return *this;
}

std::string ScopedTempFile::release() {
  std::string path = std::move(path_);
  path_.clear();
  return path;
}

AtomicFile::AtomicFile(const std::string& path) : path_(path), target_(ReplacedFile(path)) {
  struct stat st {};
  if (stat(target_.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) Fail(EISDIR);
  const std::string folder = FolderOf(target_);
#ifdef O_TMPFILE
  fd_ = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  nameless_ = fd_ >= 0;
#endif
  if (fd_ < 0) {
    temp_ = HiddenNameBeside(target_, "XXXXXX");
    fd_ = mkostemp(temp_.data(), O_CLOEXEC);
    if (fd_ < 0) {
      temp_.clear();
      Fail(errno);
    }
  }
}

AtomicFile::~AtomicFile() {
  if (fd_ >= 0) close(fd_);
  if (!temp_.empty()) unlink(temp_.c_str());
}

void AtomicFile::Fail(int error) {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
  throw FileError("Не удалось записать файл " + Quoted(path_) + ": " + ErrorReason(error));
}

void AtomicFile::Write(const void* data, std::size_t n) {
  if (fd_ < 0) Fail(EBADF);
  int error = 0;
  if (!WriteAll(fd_, data, n, error)) Fail(error);
}

// A nameless file gets a hidden name beside the target just before the rename; through the
// descriptor's entry in /proc no privilege is needed for that.
void AtomicFile::LinkIntoFolder() {
  const std::string own = "/proc/self/fd/" + std::to_string(fd_);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = HiddenNameBeside(target_, RandomHex());
    if (linkat(AT_FDCWD, own.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
        linkat(fd_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) {
      temp_ = name;
      return;
    }
    if (errno != EEXIST) Fail(errno);
  }
  Fail(EEXIST);
}

void AtomicFile::Commit() {
  if (fd_ < 0) Fail(EBADF);
  struct stat old {};
  const mode_t mode = stat(target_.c_str(), &old) == 0 ? old.st_mode & 07777 : DefaultFileMode();
  fchmod(fd_, mode);
  // The program's scratch files go with the run: a crash loses nothing worth a flush.
  const bool durable = !InPrivateTempFolder(target_);
  if (durable && fsync(fd_) != 0 && errno != EINVAL) Fail(errno);
  if (nameless_) LinkIntoFolder();
  if (close(fd_) != 0) {
    fd_ = -1;
    Fail(errno);
  }
  fd_ = -1;
  if (rename(temp_.c_str(), target_.c_str()) != 0) Fail(errno);
  temp_.clear();
  if (durable) SyncFolder(FolderOf(target_));
}

void WriteFileAtomically(const std::string& path, const void* data, std::size_t n) {
  AtomicFile file(path);
  file.Write(data, n);
  file.Commit();
}

namespace {

struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) close(fd);
  }
};

template <typename Sink>
void CopyFrom(const std::string& source, Sink&& sink) {
  Descriptor in{OpenRegularFile(source)};
  std::vector<char> buffer(256 * 1024);
  for (;;) {
    ssize_t got = read(in.fd, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      throw FileError("Не удалось прочитать файл " + Quoted(source) + ": " + ErrorReason(errno));
    }
    if (got == 0) break;
    sink(buffer.data(), std::size_t(got));
  }
}

}  // namespace

void CopyFileAtomically(const std::string& source, const std::string& target) {
  AtomicFile out(target);
  CopyFrom(source, [&](const char* data, std::size_t n) { out.Write(data, n); });
  out.Commit();
}

void CopyFileContents(const std::string& source, const std::string& target) {
  Descriptor out{open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600)};
  auto fail = [&](int error) {
    throw FileError("Не удалось записать файл " + Quoted(target) + ": " + ErrorReason(error));
  };
  if (out.fd < 0) fail(errno);
  CopyFrom(source, [&](const char* data, std::size_t n) {
    int error = 0;
    if (!WriteAll(out.fd, data, n, error)) fail(error);
  });
  if (close(out.fd) != 0) {
    out.fd = -1;
    fail(errno);
  }
  out.fd = -1;
}

// A device is never opened at all (opening some has effects of its own); the check on the open
// descriptor catches a file swapped in between.
int OpenRegularFile(const std::string& path) {
  struct stat before {};
  if (stat(path.c_str(), &before) == 0 && !S_ISREG(before.st_mode))
    throw FileError("Не удалось открыть файл " + Quoted(path) + ": это не обычный файл");
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    throw FileError("Не удалось открыть файл " + Quoted(path) + ": " + ErrorReason(errno));
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    throw FileError("Не удалось открыть файл " + Quoted(path) + ": это не обычный файл");
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
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

bool IsWordProcessorTempName(const std::string& fileName) {
  const std::string::size_type slash = fileName.find_last_of(kPathSep);
  std::string name = fileName.substr(slash == std::string::npos ? 0 : slash + 1);
  for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
  auto begins = [&](std::string_view head) { return name.rfind(head, 0) == 0; };
  auto ends = [&](std::string_view tail) {
    return name.size() >= tail.size() &&
           name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
  };
  if (begins("~$") || begins("~wr") || begins(".~lock.")) return true;
  for (std::string_view tail : {"~", "#", ".tmp", ".bak", ".wbk", ".asd"})
    if (ends(tail)) return true;
  return false;
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
    throw FileError("Не удалось прочитать дату файла " + Quoted(path) + ": " + ErrorReason(errno));
  }
  return static_cast<double>(st.st_mtim.tv_sec) + st.st_mtim.tv_nsec / 1e9;
}

}  // namespace platform
