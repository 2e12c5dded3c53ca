#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
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

constexpr const char* kCopyEntryPrefix = "copy-";

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

// The program's own scratch copies (those thumbnails are made from) get a new name each time,
// so they are known by their contents: two independent 64-bit hashes and the size. Empty when
// the file cannot be read through.
std::string ContentEntry(int fd, std::uint64_t size) {
  std::uint64_t fnv = 14695981039346656037ull;
  std::uint64_t mixed = 0x9e3779b97f4a7c15ull;
  std::vector<char> buffer(256 * 1024);
  std::uint64_t at = 0;
  while (at < size) {
    const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), off_t(at));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return std::string();
    const std::string_view chunk(buffer.data(), std::size_t(got));
    for (unsigned char c : chunk) fnv = (fnv ^ c) * 1099511628211ull;
    mixed = (mixed ^ std::hash<std::string_view>{}(chunk)) * 0xff51afd7ed558ccdull;
    at += std::uint64_t(got);
  }
  return kCopyEntryPrefix + Hex(fnv) + Hex(mixed) + "-" + std::to_string(size) + ".docx";
}

// Entries of copies have no file to go stale with: one unused for a month goes.
void RemoveUnusedCopyEntries(const std::string& folder) {
  static std::once_flag once;
  std::call_once(once, [&folder] {
    const auto now = std::filesystem::file_time_type::clock::now();
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
      if (entry.path().filename().string().rfind(kCopyEntryPrefix, 0) != 0) continue;
      const auto written = std::filesystem::last_write_time(entry.path(), error);
      if (!error && now - written > std::chrono::hours(24 * 30))
        std::filesystem::remove(entry.path(), error);
    }
  });
}

void RemoveOtherEntries(const std::string& folder, const std::string& prefix,
                        const std::string& keep) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0 && name != keep) std::filesystem::remove(entry.path(), error);
  }
}

bool HasText(const Shape& shape) {
  for (const auto& p : shape.text) {
    for (const auto& run : p.runs) {
      if (!run.text.empty()) return true;
    }
  }
  return false;
}

bool SamePlace(const Shape& a, const Shape& b) {
  const auto near = [](float x, float y) { return std::fabs(x - y) < 0.1f; };
  return a.relH == b.relH && a.relV == b.relV && near(a.left, b.left) && near(a.top, b.top) &&
         near(a.width, b.width) && near(a.height, b.height);
}

// LibreOffice reads a binary file's text box as a drawing with a linked text frame and writes
// the two into the package one after the other: the drawing empty, the frame with the text over
// it. Read as they stand, every saving through LibreOffice would add a text box. They are joined
// back: the drawing keeps its name, outline and fill and takes the frame's text.
void JoinSplitTextBoxes(Document& doc) {
  auto& shapes = doc.shapes;
  for (std::size_t i = 0; i + 1 < shapes.size(); ++i) {
    Shape& box = *shapes[i].shape;
    const Shape& frame = *shapes[i + 1].shape;
    if (box.kind != ShapeKind::TextBox || frame.kind != ShapeKind::TextBox || HasText(box) ||
        shapes[i].anchorParagraph != shapes[i + 1].anchorParagraph || !SamePlace(box, frame)) {
      continue;
    }
    box.text = frame.text;
    shapes.erase(shapes.begin() + std::ptrdiff_t(i) + 1);
  }
}

std::unique_ptr<Document> ReadConverted(const std::string& converted, const std::string& path) {
  auto doc = ooxml::ReadPackageNamed(converted, path, PackageLimits());
  JoinSplitTextBoxes(*doc);
  doc->isTemplate = HasTemplateExtension(path);
  return doc;
}

// The cache entry for the file: by path, size and time for the user's files, by contents for
// the program's own copies. Empty: not cached.
std::string CacheEntry(const std::string& path, int fd, const struct stat& st) {
  if (platform::InPrivateTempFolder(path)) return ContentEntry(fd, std::uint64_t(st.st_size));
  return CachePrefix(path) + std::to_string(st.st_size) + "-" +
         std::to_string(std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec) +
         ".docx";
}

std::unique_ptr<Document> ReadCacheEntry(const std::string& file, const std::string& path) {
  if (::access(file.c_str(), R_OK) != 0) return nullptr;
  try {
    auto doc = ReadConverted(file, path);
    // A copy's entry lives as long as it is used.
    if (platform::InPrivateTempFolder(path)) ::utimensat(AT_FDCWD, file.c_str(), nullptr, 0);
    return doc;
  } catch (const DocumentError&) {
    return nullptr;  // a damaged entry is converted again and replaced
  }
}

// The cache only saves time: a full disk or a read-only cache folder costs a conversion next
// time, not this opening.
void KeepInCache(const std::string& converted, const std::string& folder, const std::string& entry,
                 const std::string& path) {
  try {
    platform::CopyFileAtomically(converted, folder + entry);
  } catch (const platform::FileError&) {
    return;
  }
  if (entry.rfind(kCopyEntryPrefix, 0) == 0)
    RemoveUnusedCopyEntries(folder);
  else
    RemoveOtherEntries(folder, CachePrefix(path), entry);
}

std::string ImportFolder(const std::string& path) {
  std::string scratchPath;
  try {
    scratchPath = platform::PrivateTempFolder() + "lo-import-XXXXXX";
  } catch (const platform::FileError&) {
    scratchPath.clear();
  }
  if (scratchPath.empty() || !::mkdtemp(scratchPath.data()))
    throw DocumentError(OpenErrorMessage(path, "не удалось создать временную папку для импорта"));
  return scratchPath;
}

// LibreOffice converts each file once: the package it made is kept in the cache and read from
// there while the file is unchanged.
std::unique_ptr<Document> ImportThroughLibreOffice(const std::string& path, int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0)
    throw DocumentError(OpenErrorMessage(path, "файл не удаётся прочитать"));
  const std::string entry = CacheEntry(path, fd, st);
  const std::string folder = entry.empty() ? std::string() : ConversionCacheFolder();
  if (!folder.empty()) {
    if (auto doc = ReadCacheEntry(folder + entry, path)) return doc;
  }
  ScratchFolder scratch(ImportFolder(path));
  const std::string copy = scratch.Path() + "/" + BaseName(path);
  const std::string converted = scratch.Path() + "/converted.docx";
  CopyForImport(fd, path, copy);
  Converter::Instance().Convert(copy, converted, ConvertTo::Package, path);
  auto doc = ReadConverted(converted, path);
  if (!folder.empty()) KeepInCache(converted, folder, entry, path);
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
  try {
    package::ReplaceFile(package, WritePackageForConversion(doc, isTemplate));
  } catch (const DocumentError&) {
    throw;
  } catch (const std::exception& e) {
    throw DocumentError(ooxml::SaveErrorMessage(path, e.what()));
  }
  Converter::Instance().Convert(package, binary,
                                isTemplate ? ConvertTo::Word97Template : ConvertTo::Word97, path);
  try {
    platform::CopyFileAtomically(binary, path);
  } catch (const platform::FileError& e) {
    throw DocumentError(ooxml::SaveErrorMessage(path, e.what()));
  }
}

}  // namespace wordproc
