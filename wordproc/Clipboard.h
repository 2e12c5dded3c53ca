// What Copy leaves for Paste, shared by every instance of the word processor in the process and
// by its windows, so that shapes travel between documents with their names and formats.
#pragma once

#include <string>

#include "wordproc/core/Editor.h"

namespace wordproc {

// Keeps the fragment; its text also goes to the system clipboard, for other programs.
void SetClipboard(Fragment fragment, const std::string& text);
// What was copied last, or null.
const Fragment* ClipboardFragment();

}  // namespace wordproc
