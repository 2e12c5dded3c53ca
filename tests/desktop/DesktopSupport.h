// What the tests of the program on a real desktop share.
#pragma once

#include <QRect>
#include <functional>
#include <string>

#include "tests/ui/UiSupport.h"

namespace desktop_test {

// Lets the application's events run until the condition holds or a generous limit passes;
// returns the condition's last answer. Nothing is timed: only the limit is a time.
bool WaitUntil(const std::function<bool()>& condition);

// Runs a shell command; its standard output, and its exit status in `status`.
std::string Shell(const std::string& command, int* status = nullptr);

// "x,y wxh" for messages.
std::string Describe(const QRect& r);

// A panel test that skips, with the reason, when what it needs cannot start.
class DesktopTest : public ui_test::UiTest {
 protected:
  // Why the test cannot run here, or empty; asked before the application starts.
  virtual std::string Prepare() = 0;
  void SetUp() override;
  void TearDown() override;

 private:
  bool skipped_ = false;
};

}  // namespace desktop_test
