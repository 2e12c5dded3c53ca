// Lengths of label products. Inside the program every length is in points (1/72 inch), the
// unit the word processor takes; millimetres are what people type and read.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Units.h"

namespace labels {

using platform::kPointsPerInch;
using platform::kPointsPerMillimetre;

inline double MmToPoints(double mm) {
  return mm * kPointsPerMillimetre;
}
inline double PointsToMm(double points) {
  return points / kPointsPerMillimetre;
}

// A finite decimal number written with a point ("63.5", "-2", "1e2"); a comma counts as the
// point, as Russian users type it. Nothing when the whole text is not one number.
std::optional<double> ParseNumber(std::string_view text);

// A length as label product files write it: a number with an optional unit "pt", "in", "mm",
// "cm" or "pc" (points without one), in points. An empty text or a unit without a number is 0,
// as those files mean it.
// Nothing when the text is no length.
std::optional<double> ParseLength(std::string_view text);

// Millimetres for people: at most two decimals, no trailing zeros ("63.5", "38.1", "210").
std::string FormatMm(double points);

}  // namespace labels
