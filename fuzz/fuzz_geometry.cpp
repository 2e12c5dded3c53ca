// The geometry engine on hostile input: the bytes as a custom geometry (a:custGeom) evaluated at
// a few sizes, as a guide formula and as a VML path. Whatever comes out must be finite numbers:
// a NaN or an infinity would reach the painter and the files we write.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <pugixml.hpp>
#include "wordproc/core/Geometry.h"
#include "wordproc/core/GeometryXml.h"

namespace {

using namespace wordproc::geometry;

void Check(double v) {
  if (!std::isfinite(v)) std::abort();
}

void CheckOutline(const Outline& outline) {
  for (const SubPath& path : outline.paths) {
    for (const Segment& s : path.segments) {
      for (Point p : {s.to, s.c1, s.c2}) {
        Check(p.x);
        Check(p.y);
      }
    }
  }
  Check(outline.text.left + outline.text.top + outline.text.right + outline.text.bottom);
}

ShapeGeometry RoundTrip(const ShapeGeometry& geometry) {
  const std::string written = "<a:custGeom xmlns:a='a'>" + GeometryXml(geometry) + "</a:custGeom>";
  pugi::xml_document doc;
  if (!doc.load_string(written.c_str())) std::abort();
  return ReadGeometry(doc.document_element());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  pugi::xml_document doc;
  if (doc.load_buffer(text.data(), text.size())) {
    const ShapeGeometry geometry = ReadGeometry(doc.document_element());
    for (double side : {0.0, 1.0, 333.3, 1e7}) CheckOutline(Evaluate(geometry, side, side / 2));
    Adjusts adjusts;
    for (const Guide& gd : geometry.adjust) adjusts.push_back({gd.name, -1e9});
    CheckOutline(Evaluate(geometry, 100, 100, adjusts));
    // Writing may tidy what it cannot write (control characters, missing points); what it
    // wrote must then read back as it was.
    const ShapeGeometry tidied = RoundTrip(geometry);
    if (!(RoundTrip(tidied) == tidied)) std::abort();
  }
  GuideValues guides(100, 50);
  Check(guides.Evaluate(text));
  if (auto path = GeometryOfVmlPath(text, 1000, 1000)) {
    const Outline outline = Evaluate(*path, 50, 50);
    CheckOutline(outline);
    VmlPath(outline, 100);
  }
  return 0;
}
