#pragma once

#include <ostream>
#include <string>

namespace batch {

// Fills a data folder with a small sample catalogue: glyph categories with sheet templates and
// collection glyphs, and a sheet category with a ready sheet. Documents are made through the
// word processor by member name. Existing files are left alone. Returns 0, or 1 with a message.
int BatchMakeSamples(const std::string& dataFolder, std::ostream& out, std::ostream& err);

}  // namespace batch
