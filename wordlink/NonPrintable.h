// The name marking shapes that must never print: guide lines, a new glyph's frame. The program
// hides them before it prints; the word processor draws them as guides in its windows. Both
// read the mark from here.
#pragma once

#include <string_view>

namespace wordlink {

// Matched exactly, case included, at the start of a shape's name.
inline constexpr std::string_view kNonPrintablePrefix = "VSP_NONPRINTABLE_";

inline bool HasNonPrintablePrefix(std::string_view name) {
  return name.substr(0, kNonPrintablePrefix.size()) == kNonPrintablePrefix;
}

}  // namespace wordlink
