#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "app/uCommon.h"

namespace batch {

// One line per glyph type, tab-separated: position, name, width, height, oval (0/1), category.
void PrintGlyphTypes(const std::vector<app::TGlyphType>& types, std::ostream& out);

}  // namespace batch
