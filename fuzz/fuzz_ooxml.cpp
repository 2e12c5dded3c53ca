// The package reader on hostile bytes. Mutating a zip rarely gets past its checksums, so half of
// the inputs are taken apart into parts and packed into a valid zip here: that way the XML
// readers see the mutations too. Whatever is read must also write and read back. A fault of the
// reader itself (InternalReadError) escapes and aborts: only the file's faults are expected.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "wordproc/core/Ooxml.h"
#include "wordproc/core/Package.h"

namespace {

constexpr std::string_view kSeparator = "\n--part--\n";

const char* const kPartNames[] = {"word/document.xml",
                                  "word/_rels/document.xml.rels",
                                  "word/styles.xml",
                                  "word/theme/theme1.xml",
                                  "word/media/image1.png",
                                  "[Content_Types].xml",
                                  "_rels/.rels"};

const char* const kContentTypes =
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Override PartName=\"/word/document.xml\" ContentType=\"application/"
    "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>";

const char* const kRootRels =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
    "relationships/officeDocument\" Target=\"word/document.xml\"/></Relationships>";

std::string PackParts(std::string_view input) {
  wordproc::package::ZipWriter zip;
  bool typesGiven = false, relsGiven = false;
  for (std::size_t index = 0; index < std::size(kPartNames) && !input.empty(); ++index) {
    const std::size_t end = input.find(kSeparator);
    const std::string_view part = input.substr(0, end);
    input =
        end == std::string_view::npos ? std::string_view() : input.substr(end + kSeparator.size());
    if (index == 5) typesGiven = true;
    if (index == 6) relsGiven = true;
    zip.Add(kPartNames[index], std::string(part), false);
  }
  if (!typesGiven) zip.Add("[Content_Types].xml", kContentTypes, false);
  if (!relsGiven) zip.Add("_rels/.rels", kRootRels, false);
  const auto bytes = zip.Finish();
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  wordproc::PackageLimits limits;
  limits.maxPartSize = 1 << 20;
  limits.maxTotalSize = 4 << 20;
  limits.maxEntries = 64;
  limits.maxXmlDepth = 64;
  limits.maxXmlNodes = 100000;
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string bytes = (data[0] & 1) ? PackParts(input) : std::string(input);
  std::unique_ptr<wordproc::Document> doc;
  try {
    doc = wordproc::ReadPackageFromMemory(bytes.data(), bytes.size(), "fuzz.docx", limits);
  } catch (const wordproc::InternalReadError&) {
    throw;
  } catch (const wordproc::DocumentError&) {
    return 0;
  }
  const auto written = wordproc::WritePackageToMemory(*doc, false);
  // Our own output must always read back; an exception here is a finding.
  wordproc::ReadPackageFromMemory(written.data(), written.size(), "fuzz-again.docx");
  return 0;
}
