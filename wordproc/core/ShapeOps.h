// Rules about shapes that the object model and the document windows must apply alike: names
// and formats of new shapes, resizing groups, grouping and ungrouping.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "wordproc/core/Layout.h"
#include "wordproc/core/Model.h"

namespace wordproc {

// Shapes named with the program's non-printing mark (wordlink::kNonPrintablePrefix) are guides
// for the person designing a label: shown on screen, never meant for paper.
bool IsGuideShape(const Shape& shape);

// "Rectangle", "5-Point Star", "Text Box", "Straight Connector", ...: the names the word processor
// gives shapes of each kind, "<kind> <id>", whether they are made, read from a file without a name
// or written to one.
std::string ShapeKindName(const Shape& shape);
// The name of an autoshape of that preset ("star5": "5-Point Star"); "AutoShape" for a preset
// the object model has no number for.
std::string PresetShapeName(std::string_view preset);
// A shape with the formats the word processor gives new shapes of the kind.
std::unique_ptr<Shape> NewShapeOf(ShapeKind kind, AutoShapeType type = AutoShapeType::Rectangle);
// Gives the shape a fresh id from the document and the name that goes with it.
void NameNewShape(Document& doc, Shape& shape);

// The DrawingML preset an autoshape or text box is drawn with: its own, or its AutoShapeType's.
std::string PresetOf(const Shape& shape);
// The geometry the outline of an autoshape or text box comes from (its custom geometry, its
// preset, or the rectangle when the preset is not known) and its adjust values.
const geometry::ShapeGeometry& GeometryOf(const Shape& shape);
geometry::Adjusts AdjustsOf(const Shape& shape);
// The outline at the shape's size, from its top-left corner, not yet rotated or flipped.
geometry::Outline OutlineOf(const Shape& shape);
// The same at another size. Preset outlines are kept for the sizes and adjust values last
// asked for, so that copies of a shape on many pages are evaluated once.
std::shared_ptr<const geometry::Outline> OutlineOf(const Shape& shape, double width, double height);
// Whether the shape needs the geometry engine: the three old presets have drawing of their own.
bool HasGeneralGeometry(const Shape& shape);
// The object model's AutoShapeType number (msoShapeNotPrimitive for a freeform); setting one
// that names no preset here fails with false.
int MsoAutoShapeTypeOf(const Shape& shape);
// The object model's Type (MsoShapeType): the kind, or msoSmartArt or msoChart for those.
int MsoShapeTypeOf(const Shape& shape);
bool SetMsoAutoShapeType(Shape& shape, int number);

// Group members keep their places relative to the group while it is resized.
void ScaleChildren(Shape& group, float fx, float fy);
void SetShapeSize(Shape& shape, float width, float height);

// The group of the body shapes given in z-order, back to front: it takes the lowest member's
// references and covers them all; the members are moved in unchanged apart from positions.
// id 0 leaves the group unnamed for the caller.
std::unique_ptr<Shape> GroupOf(Layout& layout, const std::vector<const AnchoredShape*>& members,
                               std::uint32_t id);
// The members of a body group as body shapes anchored where the group is, placed in its
// references where they stand on the page.
std::vector<std::unique_ptr<Shape>> MembersOfGroup(const Shape& group);

}  // namespace wordproc
