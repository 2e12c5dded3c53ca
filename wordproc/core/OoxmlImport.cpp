#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "wordproc/core/Converter.h"
#include "wordproc/core/Ooxml.h"
#include "wordproc/core/OoxmlInternal.h"
#include "wordproc/core/Package.h"

namespace wordproc {

namespace {

using ooxml::OpenErrorMessage;

class ScratchFolder {
 public:
  explicit ScratchFolder(std::string path) : path_(std::move(path)) {}
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

bool HasTemplateExtension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  const std::size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  const std::string extension = package::AsciiLower(path.substr(dot + 1));
  return extension == "dot" || extension == "dotx" || extension == "dotm";
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// LibreOffice converts a private copy made from the file already open: it never opens the name,
// which could by then lead to a pipe.
void CopyForImport(int fd, const std::string& path, const std::string& copy) {
  struct stat st {};
  const std::uint64_t most = PackageLimits().maxTotalSize;
  if (::fstat(fd, &st) == 0 && std::uint64_t(st.st_size) > most) {
    throw DocumentError(OpenErrorMessage(path, "файл больше " + std::to_string(most >> 20) +
                                                   " МБ, такой документ не импортируется"));
  }
  const int out = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  const package::FileDescriptor closer(out);
  std::vector<char> buffer(256 * 1024);
  off_t at = 0;
  for (ssize_t got; out >= 0 && (got = ::pread(fd, buffer.data(), buffer.size(), at)) != 0;) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 || ::write(out, buffer.data(), std::size_t(got)) != got) break;
    at += got;
  }
  if (out < 0 || at != st.st_size) {
    throw DocumentError(OpenErrorMessage(path, "не удалось скопировать файл для импорта"));
  }
}

bool StartsLikeCompoundFile(int fd) {
  static const unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  unsigned char head[8] = {};
  return ::pread(fd, head, sizeof head, 0) == ssize_t(sizeof head) &&
         std::equal(head, head + 8, kSignature);
}

std::string Hex(std::uint64_t value) {
  static const char kHex[] = "0123456789abcdef";
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i, value >>= 4) text[std::size_t(i)] = kHex[value & 15];
  return text;
}

// The cache names a file by a hash of its absolute path, so a changed file finds and replaces
// the entry of its previous content; size and time tell the contents apart.
std::string CachePrefix(const std::string& path) {
  std::error_code error;
  std::string absolute = std::filesystem::absolute(path, error).lexically_normal().string();
  if (error) absolute = path;
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : absolute) hash = (hash ^ c) * 1099511628211ull;
  return Hex(hash) + "-";
}

void RemoveOtherEntries(const std::string& folder, const std::string& prefix,
                        const std::string& keep) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0 && name != keep) std::filesystem::remove(entry.path(), error);
  }
}

std::unique_ptr<Document> ReadConverted(const std::string& converted, const std::string& path) {
  auto doc = ooxml::ReadPackageNamed(converted, path, PackageLimits());
  doc->isTemplate = HasTemplateExtension(path);
  return doc;
}

// LibreOffice converts each file once: the package it made is kept in the cache and read from
// there while the file keeps its size and modification time.
std::unique_ptr<Document> ImportThroughLibreOffice(const std::string& path, int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0)
    throw DocumentError(OpenErrorMessage(path, "файл не удаётся прочитать"));
  // The program's own scratch copies (those thumbnails are made from) get a new name each time:
  // cached, they would only fill the cache.
  const std::string folder =
      platform::InPrivateTempFolder(path) ? std::string() : ConversionCacheFolder();
  const std::string prefix = CachePrefix(path);
  const std::string entry =
      prefix + std::to_string(st.st_size) + "-" +
      std::to_string(std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec) + ".docx";
  if (!folder.empty() && ::access((folder + entry).c_str(), R_OK) == 0) {
    try {
      return ReadConverted(folder + entry, path);
    } catch (const DocumentError&) {
      // A damaged entry is converted again below and replaced.
    }
  }

  std::string scratchPath;
  try {
    scratchPath = platform::PrivateTempFolder() + "lo-import-XXXXXX";
  } catch (const platform::FileError&) {
    throw DocumentError(OpenErrorMessage(path, "не удалось создать временную папку для импорта"));
  }
  if (!::mkdtemp(scratchPath.data())) {
    throw DocumentError(OpenErrorMessage(path, "не удалось создать временную папку для импорта"));
  }
  ScratchFolder scratch(scratchPath);
  const std::string copy = scratch.Path() + "/" + BaseName(path);
  const std::string converted = scratch.Path() + "/converted.docx";
  CopyForImport(fd, path, copy);
  Converter::Instance().Convert(copy, converted, ConvertTo::Package, path);
  auto doc = ReadConverted(converted, path);
  if (!folder.empty()) {
    // The cache only saves time: a full disk or a read-only cache folder costs a conversion
    // next time, not this opening.
    try {
      platform::CopyFileAtomically(converted, folder + entry);
      RemoveOtherEntries(folder, prefix, entry);
    } catch (const platform::FileError&) {
    }
  }
  return doc;
}

}  // namespace

std::string ConversionCacheFolder() {
  std::string base;
  const char* cache = std::getenv("XDG_CACHE_HOME");
  if (cache && cache[0] == '/') {
    base = cache;
  } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
    base = std::string(home) + "/.cache";
  } else {
    return std::string();
  }
  const std::string folder = base + "/varnel-stampora/converted/";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  return error ? std::string() : folder;
}

std::unique_ptr<Document> LoadDocumentFile(const std::string& path) {
  std::string reason;
  const package::FileDescriptor file(package::OpenRegularForReading(path, reason));
  if (file.get() < 0) throw DocumentError(OpenErrorMessage(path, reason));
  if (package::StartsLikeZip(file.get())) {
    const int own = ::fcntl(file.get(), F_DUPFD_CLOEXEC, 0);
    if (own < 0) throw DocumentError(OpenErrorMessage(path, "файл не удаётся прочитать"));
    auto zip = package::ZipReader::OpenDescriptor(own, path, PackageLimits());
    // OpenDocument files are zips too, but only LibreOffice reads them.
    if (!ooxml::IsOpenDocument(*zip)) return ooxml::ReadZip(*zip);
  }
  auto doc = ImportThroughLibreOffice(path, file.get());
  doc->sourceFormat =
      StartsLikeCompoundFile(file.get()) ? SourceFormat::Word97 : SourceFormat::Other;
  return doc;
}

void WriteDocumentFile(const Document& doc, const std::string& path, SourceFormat format) {
  if (format != SourceFormat::Word97) return WritePackage(doc, path);
  std::string scratchPath;
  try {
    scratchPath = platform::PrivateTempFolder() + "lo-export-XXXXXX";
  } catch (const platform::FileError& e) {
    throw DocumentError(ooxml::SaveErrorMessage(path, e.what()));
  }
  if (!::mkdtemp(scratchPath.data())) {
    throw DocumentError(ooxml::SaveErrorMessage(path, "не удалось создать временную папку"));
  }
  ScratchFolder scratch(scratchPath);
  const bool isTemplate = HasTemplateExtension(path);
  const std::string package = scratch.Path() + (isTemplate ? "/out.dotx" : "/out.docx");
  const std::string binary = scratch.Path() + (isTemplate ? "/out.dot" : "/out.doc");
  WritePackage(doc, package);
  Converter::Instance().Convert(package, binary,
                                isTemplate ? ConvertTo::Word97Template : ConvertTo::Word97, path);
  try {
    platform::CopyFileAtomically(binary, path);
  } catch (const platform::FileError& e) {
    throw DocumentError(ooxml::SaveErrorMessage(path, e.what()));
  }
}

}  // namespace wordproc
