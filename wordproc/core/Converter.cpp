#include "wordproc/core/Converter.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
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
#include "wordproc/core/OoxmlInternal.h"
#include "wordproc/core/Package.h"

namespace wordproc {

namespace {

using Clock = std::chrono::steady_clock;

// A first start of LibreOffice with a fresh profile takes a while on a slow machine; so may a
// large document.
constexpr std::chrono::seconds kTimeLimit{120};

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

bool IsExecutable(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// python3-uno is built for the system's interpreter; one earlier on PATH (a virtual environment,
// pyenv) usually lacks it.
std::string FindPython() {
  if (IsExecutable("/usr/bin/python3")) return "/usr/bin/python3";
  return FindOnPath("python3");
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

std::string ProgramFolder() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "./";
  const std::string exe(buf, std::size_t(n));
  return exe.substr(0, exe.find_last_of('/') + 1);
}

// Beside the program, or in the shared folder of an installation (and of the build folder,
// which is laid out the same way).
std::string DefaultHelper() {
  const std::string folder = ProgramFolder();
  const std::string beside = folder + "lo-convert.py";
  if (::access(beside.c_str(), R_OK) == 0) return beside;
  return std::filesystem::path(folder + "../share/varnel-stampora/lo-convert.py")
      .lexically_normal()
      .string();
}

std::string MakeScratchFolder(const char* prefix) {
  std::string path = platform::PrivateTempFolder() + prefix + "-XXXXXX";
  if (!::mkdtemp(path.data())) throw platform::FileError("mkdtemp");
  return path;
}

void RemoveTree(const std::string& path) {
  std::error_code ignored;
  if (!path.empty()) std::filesystem::remove_all(path, ignored);
}

// Ends the process group and reaps its leader; the group holds LibreOffice's launcher and
// soffice.bin too.
void KillGroup(pid_t pid) {
  if (pid <= 0) return;
  ::kill(-pid, SIGKILL);
  ::kill(pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

// Starts the program in its own process group, so that it can be ended together with all it
// starts. Standard input and output go to `io` when it is given, /dev/null otherwise.
pid_t Spawn(const std::vector<std::string>& arguments, int io) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setpgid(0, 0);
    if (devNull >= 0) {
      ::dup2(io >= 0 ? io : devNull, 0);
      ::dup2(io >= 0 ? io : devNull, 1);
      ::dup2(devNull, 2);
    }
    ::close_range(3, UINT_MAX, 0);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  if (devNull >= 0) ::close(devNull);
  if (pid > 0) ::setpgid(pid, pid);
  return pid;
}

enum class RunResult { Finished, Failed, TimedOut, NotStarted };

RunResult RunWithTimeLimit(const std::vector<std::string>& arguments) {
  const pid_t pid = Spawn(arguments, -1);
  if (pid < 0) return RunResult::NotStarted;
  const auto deadline = Clock::now() + kTimeLimit;
  int status = 0;
  while (true) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) return RunResult::Failed;
    if (Clock::now() >= deadline) {
      KillGroup(pid);
      return RunResult::TimedOut;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return RunResult::Finished;
  return WIFEXITED(status) && WEXITSTATUS(status) == 127 ? RunResult::NotStarted
                                                         : RunResult::Failed;
}

const char* FilterName(ConvertTo format) {
  switch (format) {
    case ConvertTo::Package:
      return "MS Word 2007 XML";
    case ConvertTo::Word97:
      return "MS Word 97";
    case ConvertTo::Word97Template:
      return "MS Word 97 Vorlage";
  }
  return "";
}

const char* Extension(ConvertTo format) {
  switch (format) {
    case ConvertTo::Package:
      return "docx";
    case ConvertTo::Word97:
      return "doc";
    case ConvertTo::Word97Template:
      return "dot";
  }
  return "";
}

std::string Message(ConvertTo format, const std::string& file, const std::string& reason) {
  return format == ConvertTo::Package ? ooxml::OpenErrorMessage(file, reason)
                                      : ooxml::SaveErrorMessage(file, reason);
}

std::string MissingReason() {
  return std::string(
             "LibreOffice не установлен, а без него файлы Word 97, RTF и OpenDocument "
             "не читаются и не пишутся; установите пакет ") +
         kOfficePackage;
}

std::string FirstFileIn(const std::string& folder) {
  std::string found;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (dirent* entry = ::readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      found = folder + "/" + entry->d_name;
      break;
    }
    ::closedir(dir);
  }
  return found;
}

// One cold LibreOffice for this file alone, where the helper cannot run.
void ConvertOneShot(const std::string& office, const std::string& source, const std::string& target,
                    ConvertTo format, const std::string& name) {
  std::string scratch;
  try {
    scratch = MakeScratchFolder("lo-convert");
  } catch (const platform::FileError&) {
    throw DocumentError(Message(format, name, "не удалось создать временную папку"));
  }
  struct Cleanup {
    std::string path;
    ~Cleanup() { RemoveTree(path); }
  } cleanup{scratch};
  const std::string profile = scratch + "/profile";
  const std::string output = scratch + "/out";
  ::mkdir(profile.c_str(), 0700);
  ::mkdir(output.c_str(), 0700);
  const RunResult result = RunWithTimeLimit(
      {office, "-env:UserInstallation=" + FileUrl(profile), "--headless", "--norestore",
       "--nolockcheck", "--convert-to", std::string(Extension(format)) + ":" + FilterName(format),
       "--outdir", output, source});
  if (result == RunResult::TimedOut) {
    throw DocumentError(Message(format, name,
                                "LibreOffice не завершил преобразование за " +
                                    std::to_string(kTimeLimit.count()) + " секунд"));
  }
  if (result == RunResult::NotStarted) {
    throw DocumentError(Message(format, name, "не удалось запустить LibreOffice"));
  }
  const std::string converted = FirstFileIn(output);
  if (result != RunResult::Finished || converted.empty() ||
      ::rename(converted.c_str(), target.c_str()) != 0) {
    throw DocumentError(Message(format, name, "LibreOffice не смог преобразовать файл"));
  }
}

}  // namespace

std::string FindOffice() {
  std::string office = FindOnPath("soffice");
  if (office.empty()) office = FindOnPath("libreoffice");
  return office;
}

Converter& Converter::Instance() {
  static Converter converter;
  return converter;
}

Converter::~Converter() {
  Shutdown();
}

void Converter::SetHelperPath(std::string path) {
  std::lock_guard lock(mutex_);
  helper_ = std::move(path);
}

int Converter::Starts() const {
  std::lock_guard lock(mutex_);
  return starts_;
}

int Converter::Conversions() const {
  std::lock_guard lock(mutex_);
  return conversions_;
}

pid_t Converter::ProcessGroup() const {
  std::lock_guard lock(mutex_);
  return pid_;
}

void Converter::SetAfterRequestHook(std::function<void(pid_t)> hook) {
  std::lock_guard lock(mutex_);
  afterRequest_ = std::move(hook);
}

void Converter::Shutdown() {
  std::lock_guard lock(mutex_);
  StopLocked();
}

void Converter::StopLocked() {
  if (socket_ >= 0) ::close(socket_);
  socket_ = -1;
  pending_.clear();
  if (pid_ > 0) {
    // The helper ends LibreOffice itself when its input ends, leaving the profile whole; what
    // is still running after a moment is ended by force.
    const auto deadline = Clock::now() + std::chrono::seconds(3);
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0 && Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(-pid_, SIGKILL);
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, WNOHANG);
  }
  pid_ = 0;
  RemoveTree(profile_);
  profile_.clear();
}

// Reads one line from the helper, or Died when it ends or does not answer in time.
Converter::Reply Converter::RequestLocked(const std::string& line, std::string& reason) {
  for (std::size_t sent = 0; sent < line.size();) {
    const ssize_t n = ::send(socket_, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Reply::Died;
    sent += std::size_t(n);
  }
  if (afterRequest_ && !line.empty()) afterRequest_(pid_);
  const auto deadline = Clock::now() + kTimeLimit;
  while (true) {
    const std::size_t end = pending_.find('\n');
    if (end != std::string::npos) {
      std::string answer = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      if (answer == "ok" || answer == "ready") return Reply::Ok;
      reason = answer.rfind("error ", 0) == 0 ? answer.substr(6) : answer;
      return Reply::Failed;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return Reply::Died;
    pollfd fd{socket_, POLLIN, 0};
    const int ready = ::poll(&fd, 1, int(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return Reply::Died;
    char buffer[4096];
    const ssize_t n = ::recv(socket_, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Reply::Died;
    pending_.append(buffer, std::size_t(n));
  }
}

bool Converter::StartLocked() {
  const std::string office = FindOffice();
  const std::string python = FindPython();
  if (helper_.empty()) helper_ = DefaultHelper();
  if (python.empty() || ::access(helper_.c_str(), R_OK) != 0) return false;
  int pair[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return false;
  try {
    profile_ = MakeScratchFolder("lo-profile");
  } catch (const platform::FileError&) {
    ::close(pair[0]);
    ::close(pair[1]);
    return false;
  }
  pid_ = Spawn({python, helper_, office, profile_}, pair[1]);
  ::close(pair[1]);
  socket_ = pair[0];
  ++starts_;
  if (pid_ < 0) {
    pid_ = 0;
    StopLocked();
    return false;
  }
  std::string reason;
  const Reply reply = RequestLocked(std::string(), reason);
  if (reply == Reply::Ok) return true;
  // No python3-uno, or LibreOffice would not serve the helper: trying again for every file would
  // add a failed start to each.
  oneShot_ = true;
  StopLocked();
  return false;
}

void Converter::Convert(const std::string& source, const std::string& target, ConvertTo format,
                        const std::string& nameForErrors) {
  const std::string office = FindOffice();
  if (office.empty()) throw OfficeMissingError(Message(format, nameForErrors, MissingReason()));
  std::lock_guard lock(mutex_);
  const std::string request =
      std::string(FilterName(format)) + "\t" + source + "\t" + target + "\n";
  // Names with line breaks or tabs cannot travel in a request line; the program's own scratch
  // names never have them.
  const bool lineSafe = source.find_first_of("\t\n") == std::string::npos &&
                        target.find_first_of("\t\n") == std::string::npos;
  for (int attempt = 0; attempt < 2 && lineSafe && !oneShot_; ++attempt) {
    if (pid_ == 0 && !StartLocked()) break;
    std::string reason;
    const Reply reply = RequestLocked(request, reason);
    if (reply == Reply::Ok) {
      ++conversions_;
      return;
    }
    if (reply == Reply::Failed) {
      throw DocumentError(Message(format, nameForErrors,
                                  "LibreOffice не смог преобразовать файл (" + reason + ")"));
    }
    StopLocked();
    if (attempt == 1) {
      throw DocumentError(
          Message(format, nameForErrors, "LibreOffice завершился, преобразуя этот файл"));
    }
  }
  ConvertOneShot(office, source, target, format, nameForErrors);
  ++conversions_;
}

}  // namespace wordproc
