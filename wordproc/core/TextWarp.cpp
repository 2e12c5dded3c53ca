#include "wordproc/core/TextWarp.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace wordproc {

namespace {

constexpr double kUnitsPerDegree = 60000;

struct NamedWarp {
  int number;
  std::string_view preset;
};

// MsoPresetTextEffectShape in its own order; the numbers run from 1.
constexpr std::string_view kEffectShapes[] = {
    "textPlain",          "textStop",
    "textTriangle",       "textTriangleInverted",
    "textChevron",        "textChevronInverted",
    "textRingInside",     "textRingOutside",
    "textArchUp",         "textArchDown",
    "textCircle",         "textButton",
    "textArchUpPour",     "textArchDownPour",
    "textCirclePour",     "textButtonPour",
    "textCurveUp",        "textCurveDown",
    "textCanUp",          "textCanDown",
    "textWave1",          "textWave2",
    "textDoubleWave1",    "textWave4",
    "textInflate",        "textDeflate",
    "textInflateBottom",  "textDeflateBottom",
    "textInflateTop",     "textDeflateTop",
    "textDeflateInflate", "textDeflateInflateDeflate",
    "textFadeRight",      "textFadeLeft",
    "textFadeUp",         "textFadeDown",
    "textSlantUp",        "textSlantDown",
    "textCascadeUp",      "textCascadeDown",
};

constexpr NamedWarp kVmlWarps[] = {
    {136, "textPlain"},  {144, "textArchUp"}, {145, "textArchDown"},
    {146, "textCircle"}, {147, "textButton"},
};

// The standard's default of each arc warp's "adj", in degrees.
double DefaultAngle(std::string_view preset) {
  return preset == "textArchDown" ? 0 : 180;
}

double Modulo360(double degrees) {
  const double r = std::fmod(degrees, 360.0);
  return r < 0 ? r + 360 : r;
}

// The angle the warp's "adj" gives, pinned to [0, 360) as the standard's formulas pin it.
double AdjustAngle(const TextWarp& warp) {
  for (const geometry::Adjust& adjust : warp.adjusts) {
    if (adjust.name == "adj" && !std::isnan(adjust.value))
      return std::clamp(adjust.value, 0.0, 21599999.0) / kUnitsPerDegree;
  }
  return DefaultAngle(warp.preset);
}

// A sweep of nothing is the whole way round, as the standard's formulas make it.
double WholeWhenEmpty(double sweep) {
  return sweep <= 1e-9 ? 360 : sweep;
}

}  // namespace

std::optional<WarpArc> ArcOfWarp(const TextWarp& warp) {
  const std::string_view p = warp.preset;
  if (p != "textArchUp" && p != "textArchDown" && p != "textCircle" && p != "textButton")
    return std::nullopt;
  const double a = AdjustAngle(warp);
  WarpArc arc;
  if (p == "textArchDown") {
    arc.middle = 90;
    arc.below = true;
    arc.sweep = WholeWhenEmpty(Modulo360(180 - 2 * a));
  } else if (p == "textCircle") {
    // Twice the way from the start round to the left or the right, whichever comes first.
    arc.sweep = a > 180 ? 2 * (360 - a) : a < 180 ? 2 * (180 - a) : 360;
    // A ring of text, as seals carry, reads from its top; a part of one from its own middle.
    arc.middle = arc.sweep >= 360 ? 270 : Modulo360(a + arc.sweep / 2);
  } else {
    arc.sweep = WholeWhenEmpty(Modulo360(540 - 2 * a));
  }
  return arc;
}

bool IsPlainWarp(const TextWarp& warp) {
  return warp.preset == "textPlain";
}

bool HasTextWarp(const Shape& shape) {
  return !shape.text.empty() && (IsPlainWarp(shape.warp) || ArcOfWarp(shape.warp));
}

std::string_view WarpOfVmlType(int spt) {
  const auto* found = std::find_if(std::begin(kVmlWarps), std::end(kVmlWarps),
                                   [&](const NamedWarp& w) { return w.number == spt; });
  return found == std::end(kVmlWarps) ? std::string_view() : found->preset;
}

int VmlTypeOfWarp(std::string_view preset) {
  const auto* found = std::find_if(std::begin(kVmlWarps), std::end(kVmlWarps),
                                   [&](const NamedWarp& w) { return w.preset == preset; });
  return found == std::end(kVmlWarps) ? 0 : found->number;
}

geometry::Adjusts WarpAdjustsOfVml(std::string_view preset, double vmlAdj) {
  if (!ArcOfWarp(TextWarp{std::string(preset), {}}) || !std::isfinite(vmlAdj)) return {};
  const double degrees = Modulo360(360 - vmlAdj / 65536);
  return {{"adj", std::round(degrees * kUnitsPerDegree)}};
}

std::optional<long long> VmlAdjOfWarp(const TextWarp& warp) {
  if (!ArcOfWarp(warp)) return std::nullopt;
  return std::llround(Modulo360(360 - AdjustAngle(warp)) * 65536);
}

std::string_view WarpOfTextEffectShape(int number) {
  if (number < 1 || number > int(std::size(kEffectShapes))) return {};
  return kEffectShapes[number - 1];
}

int TextEffectShapeOfWarp(std::string_view preset) {
  const auto* found = std::find(std::begin(kEffectShapes), std::end(kEffectShapes), preset);
  return found == std::end(kEffectShapes) ? 0 : int(found - std::begin(kEffectShapes)) + 1;
}

}  // namespace wordproc
