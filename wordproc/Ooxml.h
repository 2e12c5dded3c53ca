// Reading and writing WordprocessingML packages (.docx/.dotx, and .doc/.dot files whose content
// is such a package), and importing legacy binary documents through LibreOffice.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "wordproc/Model.h"

namespace wordproc {

// What failed and on which file, in words a user can act on.
class DocumentError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Limits that keep hostile packages from exhausting memory.
struct PackageLimits {
  // Large enough for the sheets cloning writes (about 90 KB of XML a page of ten cards, so a
  // few thousand pages), small enough that a hostile package cannot exhaust memory.
  std::uint64_t maxPartSize = 256ull << 20;     // uncompressed size of one part
  std::uint64_t maxTotalSize = 512ull << 20;    // all parts read
  std::uint32_t maxEntries = 10000;
  std::uint32_t maxXmlDepth = 256;
  // Markup items ('<') in one XML part; the parsed tree costs far more than its text.
  std::uint64_t maxXmlNodes = 32000000;
};

// Reads a package from a file or from memory. Throws DocumentError naming the file and the
// reason for anything that is not a readable package.
std::unique_ptr<Document> ReadPackage(const std::string& path,
                                      const PackageLimits& limits = PackageLimits());
std::unique_ptr<Document> ReadPackageFromMemory(const void* data, std::size_t size,
                                                const std::string& nameForErrors,
                                                const PackageLimits& limits = PackageLimits());

// Writes the document as a package. The main part's content type follows the extension:
// template for .dotx and .dot, document otherwise. Writes to a temporary file beside the
// target and renames it, so a failed save never destroys the previous file. Throws
// DocumentError naming the file.
void WritePackage(const Document& doc, const std::string& path);
// The package bytes WritePackage would write, with the template or document content type.
std::vector<std::uint8_t> WritePackageToMemory(const Document& doc, bool templateType);

// True when the file starts like a zip package.
bool LooksLikePackage(const std::string& path);

// Opens any supported file: a package directly; a legacy binary document or RTF through
// LibreOffice (soffice --headless --convert-to docx into the private temporary folder) when it
// is installed. Throws DocumentError naming the file and the reason otherwise.
std::unique_ptr<Document> LoadDocumentFile(const std::string& path);

}  // namespace wordproc
