// The zip container under an OOXML package: reading parts within PackageLimits, writing a
// package in memory, and replacing a file without ever leaving it half written.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <pugixml.hpp>

#include "wordproc/core/Ooxml.h"

struct zip;
struct zip_source;

namespace wordproc::package {

// Opens a file for reading only when it is a regular file: a pipe or a device carrying the name
// would block the reading forever or read without end. Returns the descriptor, or -1 with the
// reason in Russian ("файл не найден", "это канал, а не файл", ...).
int OpenRegularForReading(const std::string& path, std::string& reason);

// A descriptor closed with the object.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor();
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Whether the open file starts like a zip package; its offset stays where it was.
bool StartsLikeZip(int fd);

// Part names are kept without the leading slash, with forward slashes; lookups ignore case as
// OPC part names do.
class ZipReader {
 public:
  // displayName is the file name the errors mention.
  // Only a regular file is opened, as OpenRegularForReading opens it.
  static std::unique_ptr<ZipReader> OpenFile(const std::string& path,
                                             const std::string& displayName,
                                             const PackageLimits& limits);
  // Reads the package from a file already open, which it closes.
  static std::unique_ptr<ZipReader> OpenDescriptor(int fd, const std::string& displayName,
                                                   const PackageLimits& limits);
  static std::unique_ptr<ZipReader> OpenMemory(const void* data, std::size_t size,
                                               const std::string& displayName,
                                               const PackageLimits& limits);
  ~ZipReader();
  ZipReader(const ZipReader&) = delete;
  ZipReader& operator=(const ZipReader&) = delete;

  bool Has(const std::string& partName) const;
  // The names of the parts in the order of the central directory, as the package spells them;
  // folders are left out.
  const std::vector<std::string>& Names() const { return names_; }
  // The whole part, read in chunks so that a lying header cannot make it exceed the limits.
  std::string Read(const std::string& partName);

  const std::string& DisplayName() const { return displayName_; }
  const PackageLimits& Limits() const { return limits_; }
  // Throws FormatError: the file named and the reason it cannot be read as a package.
  [[noreturn]] void Fail(const std::string& reason) const;

  // Counts memory the reading takes against limits.maxMemory; fails when it would exceed it.
  void Charge(std::uint64_t bytes);
  std::uint64_t MemoryLeft() const { return limits_.maxMemory - charged_; }
  [[noreturn]] void FailTooLarge() const;

 private:
  ZipReader(const std::string& displayName, const PackageLimits& limits)
      : displayName_(displayName), limits_(limits) {}
  void Index();

  std::string displayName_;
  PackageLimits limits_;
  struct zip* zip_ = nullptr;
  std::unordered_map<std::string, std::uint64_t> entries_;  // lower-case name -> zip index
  std::vector<std::string> names_;
  std::uint64_t totalRead_ = 0;
  std::uint64_t charged_ = 0;
};

// A parsed XML part; the document points into the buffer, so both live together.
struct XmlPart {
  std::string text;
  pugi::xml_document doc;
};

// Parses a part read from the package: no DTD, at most limits.maxXmlDepth levels and
// limits.maxXmlNodes markup items, and a tree that fits in the reader's memory budget, which it
// is charged to. Failures go through reader.Fail naming the part.
void ParseXml(ZipReader& reader, const std::string& partName, XmlPart& part);

class ZipWriter {
 public:
  void Add(std::string name, std::string data, bool compress);
  std::vector<std::uint8_t> Finish();  // throws std::runtime_error with a Russian reason

 private:
  std::vector<std::pair<std::string, std::string>> parts_;
  std::vector<bool> compress_;
};

// Throws std::runtime_error with the reason in Russian when the file is a folder or may not be
// written: saving renames a new file over the old one, which a read-only file would not stop.
void RefuseUnwritableTarget(const std::string& path);

// The reason a platform::FileError about writing the file gives, without the words naming it.
std::string FileErrorReason(const std::exception& error, const std::string& path);

// Writes the bytes through platform::AtomicFile: beside the target, flushed to the disk and
// renamed over it, so the previous file stays whole until the new one is. A link keeps leading
// to the file it names. Throws std::runtime_error with the reason in Russian.
void ReplaceFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

// Lower-cases ASCII letters.
std::string AsciiLower(std::string text);

}  // namespace wordproc::package
