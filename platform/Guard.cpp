#include "platform/Guard.h"

#include <cstdio>
#include <new>
#include <stdexcept>

#include "platform/UserInteraction.h"

namespace platform {

std::string FailureText(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::bad_alloc&) {
    return "Недостаточно памяти для выполнения команды";
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
  }
  return "Внутренняя ошибка программы";
}

void ReportFailure(const std::string& text) noexcept {
  try {
    UI().messageBox(text, kAppTitle, MsgIcon::Error, MsgButtons::Ok);
  } catch (...) {
    std::fprintf(stderr, "%s: %s\n", kAppTitle, text.c_str());
  }
}

}  // namespace platform
