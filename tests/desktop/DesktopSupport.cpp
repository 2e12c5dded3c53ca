#include "DesktopSupport.h"

#include <sys/wait.h>
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <thread>

namespace desktop_test {

bool WaitUntil(const std::function<bool()>& condition) {
  using Clock = std::chrono::steady_clock;
  const auto limit = Clock::now() + std::chrono::seconds(60);
  while (Clock::now() < limit) {
    ui_test::Settle();
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ui_test::Settle();
  return condition();
}

std::string Shell(const std::string& command, int* status) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    if (status) *status = -1;
    return out;
  }
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
  const int result = pclose(pipe);
  if (status) *status = WIFEXITED(result) ? WEXITSTATUS(result) : 128 + WTERMSIG(result);
  return out;
}

std::string Describe(const QRect& r) {
  return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) +
         "x" + std::to_string(r.height());
}

void DesktopTest::SetUp() {
  if (const std::string reason = Prepare(); !reason.empty()) {
    skipped_ = true;
    GTEST_SKIP() << reason;
  }
  UiTest::SetUp();
}

void DesktopTest::TearDown() {
  if (!skipped_) UiTest::TearDown();
}

}  // namespace desktop_test
