#include <new>

#include "wordproc/core/Ooxml.h"
#include "wordproc/core/OoxmlInternal.h"
#include "wordproc/core/OoxmlReadContext.h"
#include "wordproc/core/Package.h"

namespace wordproc {

namespace {

// A file breaking the format fails through ZipReader::Fail as a FormatError. Anything else the
// reader throws is a fault of its own: saying the file is damaged would blame a sound file and
// hide the fault, from the fuzzers too.
std::unique_ptr<Document> ReadFrom(package::ZipReader& zip, const ooxml::PartHook& onPart) {
  try {
    return ooxml::reader::ReadContext(zip, onPart).Read();
  } catch (const DocumentError&) {
    throw;
  } catch (const std::bad_alloc&) {
    zip.Fail("недостаточно памяти");
  } catch (const std::exception& e) {
    throw InternalReadError(ooxml::InternalReadMessage(zip.DisplayName(), e.what()));
  }
}

}  // namespace

namespace ooxml {

std::unique_ptr<Document> ReadPackageNamed(const std::string& path, const std::string& displayName,
                                           const PackageLimits& limits) {
  auto zip = package::ZipReader::OpenFile(path, displayName, limits);
  return ReadFrom(*zip, PartHook());
}

std::unique_ptr<Document> ReadZip(package::ZipReader& zip, const PartHook& onPart) {
  return ReadFrom(zip, onPart);
}

bool IsOpenDocument(const package::ZipReader& zip) {
  return zip.Has("mimetype") && !zip.Has("[Content_Types].xml");
}

}  // namespace ooxml

std::unique_ptr<Document> ReadPackage(const std::string& path, const PackageLimits& limits) {
  return ooxml::ReadPackageNamed(path, path, limits);
}

std::unique_ptr<Document> ReadPackageFromMemory(const void* data, std::size_t size,
                                                const std::string& nameForErrors,
                                                const PackageLimits& limits) {
  auto zip = package::ZipReader::OpenMemory(data, size, nameForErrors, limits);
  return ReadFrom(*zip, ooxml::PartHook());
}

bool LooksLikePackage(const std::string& path) {
  std::string reason;
  const package::FileDescriptor file(package::OpenRegularForReading(path, reason));
  return file.get() >= 0 && package::StartsLikeZip(file.get());
}

}  // namespace wordproc
