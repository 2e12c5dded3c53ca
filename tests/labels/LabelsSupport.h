// Product files for the tests, written in the format's own words into scratch folders.
#pragma once

#include <string>

namespace labels_test {

// A new empty folder of its own under the system's temporary folder, ending without separator.
std::string NewFolder();
void WriteText(const std::string& path, const std::string& text);
// A product file holding the given <Template> elements.
std::string TemplatesFile(const std::string& templates);

}  // namespace labels_test
