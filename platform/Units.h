// The lengths every part of the program converts between: points (1/72 inch), which the word
// processor and the label sheets keep, and the millimetres people type and read. The one
// definition, in the lowest layer, so the core folders and the word processor agree to the last
// digit.
#pragma once

namespace platform {

inline constexpr double kPointsPerInch = 72.0;
inline constexpr double kPointsPerMillimetre = kPointsPerInch / 25.4;

}  // namespace platform
