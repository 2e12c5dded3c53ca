// A file the reader cannot read is the file's fault and says it is damaged; a fault of the reader
// itself must say so instead, or a bug would pass for a damaged file, in the fuzzers too.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>

#include "ooxml_test_support.h"
#include "wordproc/core/Ooxml.h"
#include "wordproc/core/OoxmlInternal.h"

using namespace wordproc;
using namespace ooxml_test;

namespace {

const std::string kName = "faulty.docx";

struct Outcome {
  std::string kind;  // "internal", "format", "other" or "none"
  std::string message;
};

// How reading the bytes ends, with the hook run on each parsed part.
Outcome Reading(const std::string& bytes, const ooxml::PartHook& hook = {}) {
  try {
    auto zip = package::ZipReader::OpenMemory(bytes.data(), bytes.size(), kName, {});
    ooxml::ReadZip(*zip, hook);
  } catch (const InternalReadError& error) {
    return {"internal", error.what()};
  } catch (const FormatError& error) {
    return {"format", error.what()};
  } catch (const DocumentError& error) {
    return {"other", error.what()};
  }
  return {"none", ""};
}

ooxml::PartHook FailOn(const std::string& part, std::function<void()> fault) {
  return [part, fault](const std::string& name) {
    if (name == part) fault();
  };
}

std::string Sound() {
  return PackageWithBody("<w:p><w:r><w:t>ok</w:t></w:r></w:p>");
}

}  // namespace

TEST(OoxmlFaults, ReaderFaultsAreInternalErrorsNamingTheFileAndTheFault) {
  const Outcome logic = Reading(
      Sound(), FailOn("word/document.xml", [] { throw std::logic_error("нарушен инвариант"); }));
  EXPECT_EQ("internal", logic.kind);
  EXPECT_EQ(0u, logic.message.find("Внутренняя ошибка при чтении файла «faulty.docx»: "))
      << logic.message;
  EXPECT_NE(std::string::npos, logic.message.find("нарушен инвариант")) << logic.message;
  EXPECT_EQ(std::string::npos, logic.message.find("повреж")) << logic.message;

  // An index past the end, as a bug in reading the content types would make one.
  const Outcome range =
      Reading(Sound(),
              FailOn("[Content_Types].xml", [] { [[maybe_unused]] char c = std::string().at(1); }));
  EXPECT_EQ("internal", range.kind) << range.message;
}

TEST(OoxmlFaults, DamagedFilesAreFormatErrorsNotInternalOnes) {
  const Outcome malformedXml = Reading(PackageWithBody("<w:p><w:r><w:t>unclosed</w:r></w:p>"));
  EXPECT_EQ("format", malformedXml.kind);
  EXPECT_NE(std::string::npos, malformedXml.message.find("повреждена")) << malformedXml.message;
  EXPECT_NE(std::string::npos, malformedXml.message.find(kName)) << malformedXml.message;

  const Outcome notAZip = Reading("PK\x03\x04 not really a zip");
  EXPECT_EQ("format", notAZip.kind);
  EXPECT_NE(std::string::npos, notAZip.message.find("повреждён")) << notAZip.message;

  const Outcome noMainPart = Reading(Zip({{"[Content_Types].xml", "<Types/>"}}));
  EXPECT_EQ("format", noMainPart.kind);
  EXPECT_NE(std::string::npos, noMainPart.message.find("нет основной части")) << noMainPart.message;

  // The same file read without a fault injected is read.
  EXPECT_EQ("none", Reading(Sound()).kind);
}

TEST(OoxmlFaults, RunningOutOfMemoryIsNeitherDamageNorAFault) {
  const Outcome outcome =
      Reading(Sound(), FailOn("word/document.xml", [] { throw std::bad_alloc(); }));
  EXPECT_NE("internal", outcome.kind);
  EXPECT_NE(std::string::npos, outcome.message.find("недостаточно памяти")) << outcome.message;
}
