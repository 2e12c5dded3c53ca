#pragma once

#include <ostream>
#include <string>

namespace batch {

// The glyph types that go with the sample categories, as lines of glyph_types.ini.
extern const char* const kSampleGlyphTypes;

// Fills a data folder with a small sample catalogue made through the word processor by member
// name: the categories "Визитки", "Этикетки" and "Печати", each with an A4 sheet template
// ("Визитки" also with an A5 one), read-only collection glyphs and the user's own glyphs; the
// same categories under "Листы"; and a glyph_types.ini for them. Existing files are left
// alone. Returns 0, or 1 with a message.
int BatchMakeSamples(const std::string& dataFolder, std::ostream& out, std::ostream& err);

// The program's own data folder, filled only when it does not exist yet.
int BatchSeedDefaultDataFolder(std::ostream& out, std::ostream& err);

}  // namespace batch
