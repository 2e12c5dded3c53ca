// The general error report, and the one guard through which every handler of a window runs:
// whatever fails inside a handler reaches the user as a message and the program goes on.
#pragma once

#include <exception>
#include <string>

namespace platform {

inline constexpr const char* kAppTitle = "Varnel Stampora";

// Shows the failure's text in a message box captioned with the application title. Never
// throws: a report that itself fails is written to stderr.
void ReportFailure(const std::string& text) noexcept;

// The text of the exception being handled, for the report.
std::string FailureText(std::exception_ptr failure);

// Runs the handler; a failure of any kind goes to the general error report. True when the
// handler finished.
template <typename Handler>
bool Guarded(Handler&& handler) noexcept {
  try {
    handler();
    return true;
  } catch (...) {
    ReportFailure(FailureText(std::current_exception()));
  }
  return false;
}

}  // namespace platform
