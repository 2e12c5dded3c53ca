// The preset patterns of pattern fills (DrawingML a:pattFill prst): 8x8 cells of foreground and
// background, a row a byte with the leftmost pixel in the high bit.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace wordproc {

using PatternBits = std::array<std::uint8_t, 8>;

// The cell of a preset; nullopt for a name that is none.
std::optional<PatternBits> PatternOf(std::string_view preset);
// Every preset's name, in the order the format lists them.
const std::vector<std::string_view>& PatternNames();

}  // namespace wordproc
