// The names autoshapes are given after their preset, as the word processor's shape gallery
// calls them: most follow from the preset's own words ("rightArrow" is "Right Arrow"), the rest
// are listed.
#include <algorithm>
#include <cctype>
#include <iterator>

#include "wordproc/core/Geometry.h"
#include "wordproc/core/ShapeOps.h"

namespace wordproc {

namespace {

struct Named {
  const char* preset;
  const char* name;
};

// Presets whose gallery name is not their own words.
constexpr Named kNames[] = {
    {"rect", "Rectangle"},
    {"roundRect", "Rounded Rectangle"},
    {"ellipse", "Oval"},
    {"triangle", "Isosceles Triangle"},
    {"rtTriangle", "Right Triangle"},
    {"plus", "Cross"},
    {"pentagon", "Regular Pentagon"},
    {"noSmoking", "\"No\" Symbol"},
    {"bracketPair", "Double Bracket"},
    {"bracePair", "Double Brace"},
    {"leftRightArrow", "Left-Right Arrow"},
    {"upDownArrow", "Up-Down Arrow"},
    {"leftRightUpArrow", "Left-Right-Up Arrow"},
    {"uturnArrow", "U-Turn Arrow"},
    {"leftUpArrow", "Left-Up Arrow"},
    {"bentUpArrow", "Bent-Up Arrow"},
    {"leftRightArrowCallout", "Left-Right Arrow Callout"},
    {"upDownArrowCallout", "Up-Down Arrow Callout"},
    {"leftRightRibbon", "Left-Right Ribbon"},
    {"leftCircularArrow", "Left Circular Arrow"},
    {"leftRightCircularArrow", "Left-Right Circular Arrow"},
    {"homePlate", "Pentagon"},
    {"flowChartInputOutput", "Flowchart: Data"},
    {"flowChartOffpageConnector", "Flowchart: Off-page Connector"},
    {"flowChartPunchedCard", "Flowchart: Card"},
    {"flowChartOnlineStorage", "Flowchart: Stored Data"},
    {"flowChartOfflineStorage", "Flowchart: Stored Data"},
    {"flowChartMagneticTape", "Flowchart: Sequential Access Storage"},
    {"flowChartMagneticDrum", "Flowchart: Direct Access Storage"},
    {"irregularSeal1", "Explosion 1"},
    {"irregularSeal2", "Explosion 2"},
    {"ribbon2", "Up Ribbon"},
    {"ribbon", "Down Ribbon"},
    {"ellipseRibbon2", "Curved Up Ribbon"},
    {"ellipseRibbon", "Curved Down Ribbon"},
    {"wedgeRectCallout", "Rectangular Callout"},
    {"wedgeRoundRectCallout", "Rounded Rectangular Callout"},
    {"wedgeEllipseCallout", "Oval Callout"},
    {"borderCallout1", "Line Callout 1"},
    {"borderCallout2", "Line Callout 2"},
    {"borderCallout3", "Line Callout 3"},
    {"accentCallout1", "Line Callout 1 (Accent Bar)"},
    {"accentCallout2", "Line Callout 2 (Accent Bar)"},
    {"accentCallout3", "Line Callout 3 (Accent Bar)"},
    {"callout1", "Line Callout 1 (No Border)"},
    {"callout2", "Line Callout 2 (No Border)"},
    {"callout3", "Line Callout 3 (No Border)"},
    {"accentBorderCallout1", "Line Callout 1 (Border and Accent Bar)"},
    {"accentBorderCallout2", "Line Callout 2 (Border and Accent Bar)"},
    {"accentBorderCallout3", "Line Callout 3 (Border and Accent Bar)"},
    {"actionButtonBlank", "Action Button: Custom"},
    {"actionButtonBackPrevious", "Action Button: Back or Previous"},
    {"actionButtonForwardNext", "Action Button: Forward or Next"},
    {"nonIsoscelesTrapezoid", "Trapezoid"},
    {"round1Rect", "Round Single Corner Rectangle"},
    {"round2SameRect", "Round Same Side Corner Rectangle"},
    {"round2DiagRect", "Round Diagonal Corner Rectangle"},
    {"snipRoundRect", "Snip and Round Single Corner Rectangle"},
    {"snip1Rect", "Snip Single Corner Rectangle"},
    {"snip2SameRect", "Snip Same Side Corner Rectangle"},
    {"snip2DiagRect", "Snip Diagonal Corner Rectangle"},
    {"corner", "L-Shape"},
    {"mathPlus", "Plus"},
    {"mathMinus", "Minus"},
    {"mathMultiply", "Multiply"},
    {"mathDivide", "Division"},
    {"mathEqual", "Equal"},
    {"mathNotEqual", "Not Equal"},
    {"gear6", "Gear 6"},
    {"gear9", "Gear 9"},
    {"lineInv", "Line Inverse"},
};

// "curvedRightArrow" as "Curved Right Arrow"; digits stay with the word before them.
std::string Words(std::string_view preset) {
  std::string name;
  for (std::size_t k = 0; k < preset.size(); ++k) {
    const char c = preset[k];
    const bool upper = std::isupper(static_cast<unsigned char>(c)) != 0;
    if (upper && k > 0) name += ' ';
    name += k == 0 || upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
  }
  return name;
}

std::string FromWords(std::string_view preset) {
  if (preset.substr(0, 4) == "star" && preset.size() > 4) {
    return std::string(preset.substr(4)) + "-Point Star";
  }
  if (preset.substr(0, 9) == "flowChart") return "Flowchart: " + Words(preset.substr(9));
  if (preset.substr(0, 12) == "actionButton") return "Action Button: " + Words(preset.substr(12));
  return Words(preset);
}

}  // namespace

std::string PresetShapeName(std::string_view preset) {
  const auto* named = std::find_if(std::begin(kNames), std::end(kNames),
                                   [&](const Named& n) { return preset == n.preset; });
  if (named != std::end(kNames)) return named->name;
  if (geometry::MsoNumberOfPreset(preset) == 0) return "AutoShape";
  return FromWords(preset);
}

}  // namespace wordproc
