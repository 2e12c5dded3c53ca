// Reading and writing WordprocessingML packages (.docx/.dotx, and .doc/.dot files whose content
// is such a package), and importing legacy binary documents through LibreOffice.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "wordproc/core/Model.h"

namespace wordproc {

// What failed and on which file, in words a user can act on.
class DocumentError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The file is no readable package: malformed zip or XML, a required part missing, a value
// beyond what the format or the reader's limits allow. The message says the file is damaged or
// too large.
class FormatError : public DocumentError {
 public:
  using DocumentError::DocumentError;
};

// Reading failed through a fault of the reader, not of the file; the message says so and gives
// the fault. The fuzzers treat it as a finding.
class InternalReadError : public DocumentError {
 public:
  using DocumentError::DocumentError;
};

// Limits that keep hostile packages from exhausting memory.
struct PackageLimits {
  // Large enough for the sheets cloning writes (about 90 KB of XML a page of ten cards, so a
  // few thousand pages), small enough that a hostile package cannot exhaust memory.
  std::uint64_t maxPartSize = 256ull << 20;   // uncompressed size of one part
  std::uint64_t maxTotalSize = 512ull << 20;  // all parts read
  std::uint32_t maxEntries = 10000;
  std::uint32_t maxXmlDepth = 256;
  // Markup items ('<') in one XML part; the parsed tree costs far more than its text.
  std::uint64_t maxXmlNodes = 32000000;
  // Memory reading one package may take: the text of its parts, their parsed trees (about 64
  // bytes an element, 40 an attribute) and the document made of them, counted as they grow and
  // refused before they exceed it. The largest sheet cloning is meant for, 20,000 business cards
  // on 2,000 pages, needs about 820 MB of it.
  std::uint64_t maxMemory = 1ull << 30;
  // Paragraphs of the body and of text boxes together. Each costs some 200 bytes in the document
  // and its layout while "<w:p/>" takes six bytes of a part that compresses a thousandfold; the
  // cloned sheets above hold about 140 a page, so a million is several times the largest.
  std::uint32_t maxParagraphs = 1000000;
  // Bytes of text (UTF-8) in all runs; every line break and drawing works through them. Those
  // sheets hold about 4 MB.
  std::uint64_t maxTextBytes = 64ull << 20;
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
// The package LibreOffice turns into a binary Word 97 file: shapes written the way its Word 97
// writer keeps them.
std::vector<std::uint8_t> WritePackageForConversion(const Document& doc, bool templateType);

// The run of a chart or SmartArt kept from the text (InlinePicture::raw) made floating as the
// shape taken out of the text stands, in front of the text; null when it is no such run. The
// package is the one whose parts the run names.
std::shared_ptr<const KeptDrawing> FloatingDrawing(const std::string& inlineRun, const Shape& shape,
                                                   KeptPackagePtr package);

// True when the file starts like a zip package.
bool LooksLikePackage(const std::string& path);

// Opens any supported file: a package directly; a legacy binary document, RTF or OpenDocument
// through LibreOffice (Converter), once per content of the file: the package made is cached in
// ConversionCacheFolder(). Sets the document's sourceFormat. Throws DocumentError naming the
// file and the reason otherwise.
std::unique_ptr<Document> LoadDocumentFile(const std::string& path);

// varnel-stampora/converted/ in the user's cache folder ($XDG_CACHE_HOME or ~/.cache), made
// when missing, ending with a slash; empty when there is none to be had.
std::string ConversionCacheFolder();

// Writes the document in the given format: a package directly (WritePackage), binary Word 97
// through LibreOffice. The target is replaced only by a complete file. Throws DocumentError
// naming the file.
void WriteDocumentFile(const Document& doc, const std::string& path, SourceFormat format);

}  // namespace wordproc
