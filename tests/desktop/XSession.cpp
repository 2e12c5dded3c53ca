#include "XSession.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace desktop_test {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Generous: a loaded machine starts these slowly; nothing here measures time.
constexpr auto kStartLimit = std::chrono::seconds(60);

struct Session {
  pid_t server = -1;
  pid_t windowManager = -1;
  std::string display;  // ":N"
  std::string failure;  // why the server is not there
  fs::path scratch;

  // The server and the window manager end with the process (Spawn): ended any earlier, the
  // application, never destroyed, would lose its display while the process still runs.
  ~Session() {
    std::error_code ignored;
    if (!scratch.empty()) fs::remove_all(scratch, ignored);
  }
};

Session& TheSession() {
  static Session session;
  return session;
}

bool WaitFor(const std::function<bool()>& condition) {
  const auto limit = Clock::now() + kStartLimit;
  while (Clock::now() < limit) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return condition();
}

pid_t Spawn(const std::vector<std::string>& command, int keepFd = -1) {
  const pid_t parent = getpid();
  pid_t pid = fork();
  if (pid != 0) return pid;
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != parent) _exit(0);
  int null = open("/dev/null", O_RDWR);
  dup2(null, STDIN_FILENO);
  dup2(null, STDOUT_FILENO);
  dup2(null, STDERR_FILENO);
  for (int fd = 3; fd < 256; ++fd)
    if (fd != keepFd) close(fd);
  std::vector<char*> argv;
  for (const std::string& part : command) argv.push_back(const_cast<char*>(part.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

bool Exited(pid_t pid) {
  return waitpid(pid, nullptr, WNOHANG) == pid;
}

// The display number Xvfb writes once it listens, or empty.
std::string ReadDisplayNumber(int fd, pid_t server) {
  std::string number;
  const auto limit = Clock::now() + kStartLimit;
  while (Clock::now() < limit && !Exited(server)) {
    pollfd wait{fd, POLLIN, 0};
    if (poll(&wait, 1, 100) <= 0) continue;
    char c = 0;
    if (read(fd, &c, 1) != 1) break;
    if (c == '\n') return number;
    number += c;
  }
  return {};
}

struct Connection {
  xcb_connection_t* c = nullptr;
  xcb_window_t root = 0;

  Connection() {
    int screen = 0;
    c = xcb_connect(TheSession().display.c_str(), &screen);
    if (xcb_connection_has_error(c)) return;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screen; ++i) xcb_screen_next(&it);
    root = it.data->root;
  }
  ~Connection() { xcb_disconnect(c); }
  bool ok() const { return !xcb_connection_has_error(c); }

  xcb_atom_t Atom(const char* name) {
    auto* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
  }

  // The property's bytes, empty when it is not set.
  std::string Property(xcb_window_t window, const char* name) {
    auto cookie = xcb_get_property(c, 0, window, Atom(name), XCB_GET_PROPERTY_TYPE_ANY, 0, 4096);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(c, cookie, nullptr), &std::free);
    if (!reply) return {};
    const auto* data = static_cast<const char*>(xcb_get_property_value(reply.get()));
    // The length xcb gives is in bytes already, whatever the property's format.
    return std::string(data, std::size_t(xcb_get_property_value_length(reply.get())));
  }
};

fs::path Scratch() {
  Session& session = TheSession();
  if (session.scratch.empty()) {
    char pattern[] = "/tmp/vsp-xsession-XXXXXX";
    if (mkdtemp(pattern)) session.scratch = pattern;
  }
  return session.scratch;
}

// Openbox with its default theme, and a strip at the top of the screen kept free of windows.
fs::path WriteOpenboxConfig() {
  const fs::path file = Scratch() / "rc.xml";
  std::ofstream(file) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                         "<openbox_config xmlns=\"http://openbox.org/3.4/rc\">\n"
                         "  <margins><top>"
                      << kReservedTop
                      << "</top><bottom>0</bottom><left>0</left><right>0</right></margins>\n"
                         "</openbox_config>\n";
  return file;
}

}  // namespace

std::string StartXServer() {
  Session& session = TheSession();
  if (!session.display.empty() || !session.failure.empty()) return session.failure;
  int pipe_[2];
  if (pipe(pipe_) != 0) return session.failure = "no pipe for Xvfb";
  session.server =
      Spawn({"Xvfb", "-displayfd", std::to_string(pipe_[1]), "-screen", "0",
             std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight) + "x24",
             "-nolisten", "tcp", "-noreset"},
            pipe_[1]);
  close(pipe_[1]);
  const std::string number = ReadDisplayNumber(pipe_[0], session.server);
  close(pipe_[0]);
  if (number.empty()) {
    session.server = -1;
    return session.failure = "Xvfb did not start (package xvfb)";
  }
  session.display = ":" + number;
  setenv("DISPLAY", session.display.c_str(), 1);
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  unsetenv("WAYLAND_DISPLAY");
  return {};
}

std::string StartWindowManager() {
  Session& session = TheSession();
  if (const std::string failure = StartXServer(); !failure.empty()) return failure;
  if (session.windowManager > 0) return {};
  session.windowManager =
      Spawn({"openbox", "--config-file", WriteOpenboxConfig().string(), "--sm-disable"});
  const QRect wanted(0, kReservedTop, kScreenWidth, kScreenHeight - kReservedTop);
  if (!WaitFor([&] { return AnnouncedWorkArea() == wanted || Exited(session.windowManager); }) ||
      AnnouncedWorkArea() != wanted) {
    StopWindowManager();
    return "openbox did not take over the screen (package openbox)";
  }
  return {};
}

void StopWindowManager() {
  Session& session = TheSession();
  if (session.windowManager <= 0) return;
  kill(session.windowManager, SIGTERM);
  waitpid(session.windowManager, nullptr, 0);
  session.windowManager = -1;
  // A window manager that is gone leaves its check window behind it gone too.
  WaitFor([] {
    Connection x;
    const std::string check = x.Property(x.root, "_NET_SUPPORTING_WM_CHECK");
    if (check.size() < 4) return true;
    xcb_window_t window = 0;
    std::memcpy(&window, check.data(), 4);
    auto* reply =
        xcb_get_window_attributes_reply(x.c, xcb_get_window_attributes(x.c, window), nullptr);
    std::free(reply);
    return reply == nullptr;
  });
}

QRect AnnouncedWorkArea() {
  Connection x;
  if (!x.ok()) return {};
  const std::string area = x.Property(x.root, "_NET_WORKAREA");
  if (area.size() < 16) return {};
  std::uint32_t v[4];
  std::memcpy(v, area.data(), sizeof v);
  return QRect(int(v[0]), int(v[1]), int(v[2]), int(v[3]));
}

std::string WindowSystemTitle(unsigned long windowId) {
  Connection x;
  return x.ok() ? x.Property(xcb_window_t(windowId), "_NET_WM_NAME") : std::string();
}

}  // namespace desktop_test
