// The lengths the word processor converts between. The model keeps points (1/72 inch); files
// keep twips and EMU; people type millimetres.
#pragma once

#include "platform/Units.h"

namespace wordproc {

using platform::kPointsPerInch;
using platform::kPointsPerMillimetre;
inline constexpr double kEmuPerPt = 12700.0;
inline constexpr double kTwipsPerPt = 20.0;

}  // namespace wordproc
