// WordArt text warps: the arcs text follows in the warps drawn along one, and the warps' numbers
// in VML (o:spt) and in the object model (MsoPresetTextEffectShape).
#pragma once

#include <optional>
#include <string_view>

#include "wordproc/core/Model.h"

namespace wordproc {

// The arc of the shape's ellipse a warp sets its text along, in degrees clockwise from the right
// (the page's y axis points down): the text is centred on `middle` and may take up `sweep`.
// Text below the centre (arch down) reads anticlockwise with its tops towards the centre.
struct WarpArc {
  double middle = 270;
  double sweep = 180;
  bool below = false;
};

// Whether the warp sets its text along an arc; which arc, from its adjust value or the
// standard's default for it.
std::optional<WarpArc> ArcOfWarp(const TextWarp& warp);
// textPlain: the text stretched to fill the shape.
bool IsPlainWarp(const TextWarp& warp);
// Whether the shape's text is set by a warp rather than as in a text box.
bool HasTextWarp(const Shape& shape);

// VML shape types of WordArt (136 plain text, 144 to 147 the curves): the warp, "" when the type
// is no warp drawn here; and back, 0 when the warp has no such type.
std::string_view WarpOfVmlType(int spt);
int VmlTypeOfWarp(std::string_view preset);
// VML's adjust of the arc warps is an angle in 1/65536 degree measured anticlockwise; ours is
// DrawingML's, 60000ths of a degree clockwise.
geometry::Adjusts WarpAdjustsOfVml(std::string_view preset, double vmlAdj);
std::optional<long long> VmlAdjOfWarp(const TextWarp& warp);

// MsoPresetTextEffectShape numbers: the warp of one, "" when not known; and back, 0 when none.
std::string_view WarpOfTextEffectShape(int number);
int TextEffectShapeOfWarp(std::string_view preset);

}  // namespace wordproc
