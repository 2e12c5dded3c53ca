// Byte streams of the thumbnail cache: buffered files, memory, and the zlib streams that the
// cache body goes through.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Files.h"

namespace catalogue {

// Damaged or unreadable data; the text is meant for the user.
class CatalogueError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TByteReader {
 public:
  virtual ~TByteReader() = default;
  // Up to n bytes; fewer only at the end of the data. Throws CatalogueError on damage.
  virtual std::size_t Read(void* buffer, std::size_t n) = 0;
  // Exactly n bytes, or CatalogueError saying what was cut short.
  void ReadExact(void* buffer, std::size_t n, const char* what);
  void Skip(std::size_t n, const char* what);
};

class TByteWriter {
 public:
  virtual ~TByteWriter() = default;
  virtual void Write(const void* data, std::size_t n) = 0;
};

// Counts what is read through it.
class TCountingReader : public TByteReader {
 public:
  explicit TCountingReader(TByteReader& source) : source_(source) {}
  std::size_t Read(void* buffer, std::size_t n) override;
  std::uint64_t Count() const { return count_; }

 private:
  TByteReader& source_;
  std::uint64_t count_ = 0;
};

class TMemoryReader : public TByteReader {
 public:
  TMemoryReader(const void* data, std::size_t size)
      : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}
  std::size_t Read(void* buffer, std::size_t n) override;

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

class TMemoryWriter : public TByteWriter {
 public:
  void Write(const void* data, std::size_t n) override;
  std::vector<std::uint8_t> Bytes;
};

inline constexpr std::size_t kStreamBufferSize = 64 * 1024;

// A regular file read through a 64 KB buffer; a pipe or a device under the name is refused
// without waiting on it. Opening a missing file throws CatalogueError.
class TFileReader : public TByteReader {
 public:
  explicit TFileReader(const std::string& fileName);
  ~TFileReader() override;
  TFileReader(const TFileReader&) = delete;
  TFileReader& operator=(const TFileReader&) = delete;
  std::size_t Read(void* buffer, std::size_t n) override;

 private:
  std::string name_;
  int fd_ = -1;
  std::vector<std::uint8_t> buffer_;
  std::size_t pos_ = 0, end_ = 0;
};

// A whole file written through a 64 KB buffer into platform::AtomicFile: until Commit the
// previous file stays as it was, and a writer destroyed without Commit leaves nothing behind.
// Failures, a full disk included, throw platform::FileError naming the file.
class TFileWriter : public TByteWriter {
 public:
  explicit TFileWriter(const std::string& fileName);
  ~TFileWriter() override;
  TFileWriter(const TFileWriter&) = delete;
  TFileWriter& operator=(const TFileWriter&) = delete;
  void Write(const void* data, std::size_t n) override;
  void Commit();

 private:
  void Flush();
  platform::AtomicFile file_;
  std::vector<std::uint8_t> buffer_;
  std::size_t used_ = 0;
};

// Inflates one zlib stream from the source. Its size query answers 2^31 - 1, because the
// bitmap reader of the original asked its stream for the remaining size; here nothing relies
// on it, the bitmap reader takes every length from the headers.
class TMyDecompressionStream : public TByteReader {
 public:
  explicit TMyDecompressionStream(TByteReader& source);
  ~TMyDecompressionStream() override;
  TMyDecompressionStream(const TMyDecompressionStream&) = delete;
  TMyDecompressionStream& operator=(const TMyDecompressionStream&) = delete;
  std::size_t Read(void* buffer, std::size_t n) override;
  std::int64_t Size() const { return 2147483647; }

 private:
  void Refill();
  // Bytes of the zlib framing: first from what inflate left unread, then from the source.
  void TakeFraming(std::uint8_t* out, std::size_t n);
  void ReadHeader();
  void CheckTrailer();

  TByteReader& source_;
  z_stream z_{};
  std::vector<std::uint8_t> input_;
  bool headerRead_ = false;
  bool ended_ = false;
  std::uint32_t adler_ = 1;
};

// The Adler-32 checksum of zlib streams, continued from adler over n more bytes (start with 1).
std::uint32_t Adler32(std::uint32_t adler, const std::uint8_t* data, std::size_t n);

// Deflates everything written into one zlib stream at the given level; input is gathered into
// 64 KB pieces and output leaves in 64 KB pieces. Finish writes the pending data and the trailer.
class TCompressionStream : public TByteWriter {
 public:
  TCompressionStream(TByteWriter& dest, int level);
  ~TCompressionStream() override;
  TCompressionStream(const TCompressionStream&) = delete;
  TCompressionStream& operator=(const TCompressionStream&) = delete;
  void Write(const void* data, std::size_t n) override;
  void Finish();

 private:
  void Deflate(const std::uint8_t* data, std::size_t n, int flush);
  TByteWriter& dest_;
  z_stream z_{};
  std::vector<std::uint8_t> input_, output_;
  std::size_t used_ = 0;
  bool finished_ = false;
};

}  // namespace catalogue
