// The general error report, and the one guard through which every handler of a window runs:
// whatever fails inside a handler reaches the user as a message and the program goes on.
#pragma once

#include <cstddef>
#include <exception>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

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

namespace detail {

template <typename Handler, typename Tuple, std::size_t... I>
constexpr bool TakesLeading(std::index_sequence<I...>) {
  return std::is_invocable_v<Handler&, std::tuple_element_t<I, Tuple>...>;
}

template <std::size_t N, typename Handler, typename Tuple>
void CallFirst(Handler& handler, Tuple& args) {
  if constexpr (TakesLeading<Handler, Tuple>(std::make_index_sequence<N>{})) {
    [&]<std::size_t... I>(std::index_sequence<I...>) {
      handler(std::get<I>(args)...);
    }
    (std::make_index_sequence<N>{});
  } else {
    static_assert(N > 0, "the handler takes none of the signal's arguments");
    if constexpr (N > 0) CallFirst<N - 1>(handler, args);
  }
}

}  // namespace detail

// Calls the handler with as many of the leading arguments as it takes, the way a signal feeds
// a slot that wants fewer arguments than the signal carries.
template <typename Handler, typename... Args>
void CallWithLeading(Handler& handler, Args&&... args) {
  auto all = std::forward_as_tuple(std::forward<Args>(args)...);
  detail::CallFirst<sizeof...(Args)>(handler, all);
}

// A handler of a window's signal: called with the leading arguments it takes, under the guard.
template <typename Handler, typename... Args>
void GuardedCall(Handler& handler, Args&&... args) noexcept {
  Guarded([&] { CallWithLeading(handler, std::forward<Args>(args)...); });
}

}  // namespace platform
