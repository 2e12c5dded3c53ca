#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/Files.h"
#include "wordproc/core/Ooxml.h"
#include "wordproc/core/OoxmlInternal.h"
#include "wordproc/core/Package.h"

namespace wordproc {

namespace {

using ooxml::OpenErrorMessage;

// A first start of LibreOffice with a fresh profile takes a while on a slow machine.
constexpr std::chrono::seconds kImportTimeLimit{120};

std::string FindOnPath(const char* program) {
  const char* path = std::getenv("PATH");
  if (!path) return std::string();
  std::string_view rest(path);
  while (true) {
    const std::size_t colon = rest.find(':');
    std::string folder(rest.substr(0, colon));
    if (folder.empty()) folder = ".";
    const std::string candidate = folder + "/" + program;
    struct stat st {};
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return std::string();
}

std::string FileUrl(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (unsigned char c : path) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '/' ||
        c == '.' || c == '-' || c == '_' || c == '~') {
      url += static_cast<char>(c);
    } else {
      url += '%';
      url += kHex[c >> 4];
      url += kHex[c & 15];
    }
  }
  return url;
}

class ScratchFolder {
 public:
  explicit ScratchFolder(std::string path) : path_(std::move(path)) {}
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

enum class RunResult { Finished, Failed, TimedOut, NotStarted };

// Runs the program in its own process group, so that a hung conversion can be ended together
// with the processes LibreOffice's launcher starts.
RunResult RunWithTimeLimit(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  const pid_t pid = ::fork();
  if (pid < 0) {
    if (devNull >= 0) ::close(devNull);
    return RunResult::NotStarted;
  }
  if (pid == 0) {
    ::setpgid(0, 0);
    if (devNull >= 0) {
      ::dup2(devNull, 0);
      ::dup2(devNull, 1);
      ::dup2(devNull, 2);
    }
    ::close_range(3, UINT_MAX, 0);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  if (devNull >= 0) ::close(devNull);
  ::setpgid(pid, pid);
  const auto deadline = std::chrono::steady_clock::now() + kImportTimeLimit;
  int status = 0;
  while (true) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) return RunResult::Failed;
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(-pid, SIGKILL);
      ::kill(pid, SIGKILL);
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      return RunResult::TimedOut;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return RunResult::Finished;
  return WIFEXITED(status) && WEXITSTATUS(status) == 127 ? RunResult::NotStarted
                                                         : RunResult::Failed;
}

std::string FindConverted(const std::string& folder) {
  std::string found;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.size() > 5 && package::AsciiLower(name.substr(name.size() - 5)) == ".docx") {
        found = folder + "/" + name;
        break;
      }
    }
    ::closedir(dir);
  }
  return found;
}

bool HasTemplateExtension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  const std::size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  const std::string extension = package::AsciiLower(path.substr(dot + 1));
  return extension == "dot" || extension == "dotx" || extension == "dotm";
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// LibreOffice converts a private copy made from the file already open: it never opens the name,
// which could by then lead to a pipe.
void CopyForImport(int fd, const std::string& path, const std::string& copy) {
  struct stat st {};
  const std::uint64_t most = PackageLimits().maxTotalSize;
  if (::fstat(fd, &st) == 0 && std::uint64_t(st.st_size) > most) {
    throw DocumentError(OpenErrorMessage(path, "файл больше " + std::to_string(most >> 20) +
                                                   " МБ, такой документ не импортируется"));
  }
  const int out = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  const package::FileDescriptor closer(out);
  std::vector<char> buffer(256 * 1024);
  off_t at = 0;
  for (ssize_t got; out >= 0 && (got = ::pread(fd, buffer.data(), buffer.size(), at)) != 0;) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 || ::write(out, buffer.data(), std::size_t(got)) != got) break;
    at += got;
  }
  if (out < 0 || at != st.st_size) {
    throw DocumentError(OpenErrorMessage(path, "не удалось скопировать файл для импорта"));
  }
}

std::unique_ptr<Document> ImportThroughLibreOffice(const std::string& path, int fd) {
  std::string office = FindOnPath("soffice");
  if (office.empty()) office = FindOnPath("libreoffice");
  if (office.empty()) {
    throw DocumentError(OpenErrorMessage(
        path, "формат файла не поддерживается, а LibreOffice для импорта не установлен"));
  }

  std::string scratchPath;
  try {
    scratchPath = platform::PrivateTempFolder() + "lo-import-XXXXXX";
  } catch (const platform::FileError&) {
    throw DocumentError(OpenErrorMessage(path, "не удалось создать временную папку для импорта"));
  }
  if (!::mkdtemp(scratchPath.data())) {
    throw DocumentError(OpenErrorMessage(path, "не удалось создать временную папку для импорта"));
  }
  ScratchFolder scratch(scratchPath);
  const std::string profile = scratch.Path() + "/profile";
  const std::string output = scratch.Path() + "/out";
  const std::string input = scratch.Path() + "/in";
  ::mkdir(profile.c_str(), 0700);
  ::mkdir(output.c_str(), 0700);
  ::mkdir(input.c_str(), 0700);
  const std::string copy = input + "/" + BaseName(path);
  CopyForImport(fd, path, copy);

  const RunResult result = RunWithTimeLimit({office, "-env:UserInstallation=" + FileUrl(profile),
                                             "--headless", "--norestore", "--nolockcheck",
                                             "--convert-to", "docx", "--outdir", output, copy});
  if (result == RunResult::TimedOut) {
    throw DocumentError(OpenErrorMessage(path, "LibreOffice не завершил импорт за " +
                                                   std::to_string(kImportTimeLimit.count()) +
                                                   " секунд"));
  }
  if (result == RunResult::NotStarted) {
    throw DocumentError(OpenErrorMessage(path, "не удалось запустить LibreOffice для импорта"));
  }
  const std::string converted = FindConverted(output);
  if (result != RunResult::Finished || converted.empty()) {
    throw DocumentError(OpenErrorMessage(
        path, "формат файла не поддерживается: LibreOffice не смог его преобразовать"));
  }
  auto doc = ooxml::ReadPackageNamed(converted, path, PackageLimits());
  doc->isTemplate = HasTemplateExtension(path);
  return doc;
}

}  // namespace

std::unique_ptr<Document> LoadDocumentFile(const std::string& path) {
  std::string reason;
  const package::FileDescriptor file(package::OpenRegularForReading(path, reason));
  if (file.get() < 0) throw DocumentError(OpenErrorMessage(path, reason));
  if (package::StartsLikeZip(file.get())) {
    const int own = ::fcntl(file.get(), F_DUPFD_CLOEXEC, 0);
    if (own < 0) throw DocumentError(OpenErrorMessage(path, "файл не удаётся прочитать"));
    auto zip = package::ZipReader::OpenDescriptor(own, path, PackageLimits());
    // OpenDocument files are zips too, but only LibreOffice reads them.
    if (!ooxml::IsOpenDocument(*zip)) return ooxml::ReadZip(*zip);
  }
  return ImportThroughLibreOffice(path, file.get());
}

}  // namespace wordproc
