// stampora-batch scan and cache: the catalogue as the glyph and sheet tabs see it, and the
// records of the thumbnail cache file.
#pragma once

#include <ostream>

#include "tools/BatchArgs.h"

namespace batch {

// scan --data DIR [--kind glyphs|sheets] [--sheets 1] [--category NAME] [--filter NAME]
//      [--thumbnails 1]
// Fills the tab as the main window does and prints one line per shown entry, tab-separated:
// kind (0 glyph, 1 sheet), path, date (local, ISO 8601), thumbnail WxH or "-". With thumbnails
// the missing ones are rendered first, which needs the word processor and its container
// registered. Returns 0, or 1 after writing the reason to err.
int BatchScan(const ParsedArgs& args, std::ostream& out, std::ostream& err);

// cache --data DIR: one line per record of cache.dat, tab-separated: kind, reserved, path,
// date, bitmap WxHxBITS; or why the file cannot be read.
int BatchCache(const ParsedArgs& args, std::ostream& out, std::ostream& err);

}  // namespace batch
