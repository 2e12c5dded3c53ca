// Geometries as DrawingML writes them: a:custGeom and the preset definitions read into a
// ShapeGeometry, and a ShapeGeometry written back as the inside of a:custGeom.
#pragma once

#include <string>

#include <pugixml.hpp>
#include "wordproc/core/Geometry.h"

namespace wordproc::geometry {

// The avLst, gdLst, rect, cxnLst and pathLst under node, by local name; what is beyond the
// limits of a sane shape is left out.
ShapeGeometry ReadGeometry(pugi::xml_node node);
// The children of a:custGeom for the geometry, with the a: prefix.
std::string GeometryXml(const ShapeGeometry& geometry);
// a:avLst of a preset's own adjust values.
std::string AdjustListXml(const Adjusts& adjusts);

}  // namespace wordproc::geometry
