#include "catalogue/uStreams.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace catalogue {

void TByteReader::ReadExact(void* buffer, std::size_t n, const char* what) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < n) {
    std::size_t got = Read(out + done, n - done);
    if (got == 0) throw CatalogueError(std::string("данные обрываются: ") + what);
    done += got;
  }
}

void TByteReader::Skip(std::size_t n, const char* what) {
  std::uint8_t scratch[4096];
  while (n > 0) {
    std::size_t piece = std::min(n, sizeof scratch);
    ReadExact(scratch, piece, what);
    n -= piece;
  }
}

std::size_t TCountingReader::Read(void* buffer, std::size_t n) {
  std::size_t got = source_.Read(buffer, n);
  count_ += got;
  return got;
}

std::size_t TMemoryReader::Read(void* buffer, std::size_t n) {
  std::size_t piece = std::min(n, size_ - pos_);
  if (piece) std::memcpy(buffer, data_ + pos_, piece);
  pos_ += piece;
  return piece;
}

void TMemoryWriter::Write(const void* data, std::size_t n) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  Bytes.insert(Bytes.end(), p, p + n);
}

TFileReader::TFileReader(const std::string& fileName) : name_(fileName) {
  try {
    fd_ = platform::OpenRegularFile(fileName);
  } catch (const platform::FileError& e) {
    throw CatalogueError(e.what());
  }
  buffer_.resize(kStreamBufferSize);
}

TFileReader::~TFileReader() {
  if (fd_ >= 0) close(fd_);
}

std::size_t TFileReader::Read(void* buffer, std::size_t n) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < n) {
    if (pos_ == end_) {
      // Large requests bypass the buffer.
      if (n - done >= buffer_.size()) {
        ssize_t got = ::read(fd_, out + done, n - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0)
          throw CatalogueError("Ошибка чтения файла " + platform::Quoted(name_) + ": " +
                               platform::ErrorReason(errno));
        if (got == 0) break;
        done += std::size_t(got);
        continue;
      }
      ssize_t got = ::read(fd_, buffer_.data(), buffer_.size());
      if (got < 0 && errno == EINTR) continue;
      if (got < 0)
        throw CatalogueError("Ошибка чтения файла " + platform::Quoted(name_) + ": " +
                             platform::ErrorReason(errno));
      if (got == 0) break;
      pos_ = 0;
      end_ = std::size_t(got);
    }
    std::size_t piece = std::min(n - done, end_ - pos_);
    std::memcpy(out + done, buffer_.data() + pos_, piece);
    pos_ += piece;
    done += piece;
  }
  return done;
}

TFileWriter::TFileWriter(const std::string& fileName) : file_(fileName) {
  buffer_.resize(kStreamBufferSize);
}

TFileWriter::~TFileWriter() = default;

void TFileWriter::Flush() {
  file_.Write(buffer_.data(), used_);
  used_ = 0;
}

void TFileWriter::Write(const void* data, std::size_t n) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  while (n > 0) {
    std::size_t piece = std::min(n, buffer_.size() - used_);
    std::memcpy(buffer_.data() + used_, p, piece);
    used_ += piece;
    p += piece;
    n -= piece;
    if (used_ == buffer_.size()) Flush();
  }
}

void TFileWriter::Commit() {
  Flush();
  file_.Commit();
}

// zlib's checksum is scalar and takes about as long as inflating itself; the cache holds
// hundreds of megabytes of pixels, so the loader checks the stream with its own.
std::uint32_t Adler32(std::uint32_t adler, const std::uint8_t* data, std::size_t n) {
#if defined(__SSE2__)
  constexpr std::uint32_t kBase = 65521;
  // The longest run whose sums cannot overflow before they are reduced, in whole 16-byte chunks.
  constexpr std::size_t kBlock = 5552 / 16 * 16;
  std::uint32_t a = adler & 0xFFFF, b = adler >> 16;
  const __m128i zero = _mm_setzero_si128();
  const __m128i firstWeights = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
  const __m128i lastWeights = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
  auto sum = [](__m128i v) {
    alignas(16) std::uint32_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), v);
    return std::uint64_t(lanes[0]) + lanes[1] + lanes[2] + lanes[3];
  };
  while (n >= 16) {
    const std::size_t block = std::min(n, kBlock) / 16 * 16;
    // Per chunk: its byte sum, the sum of the chunks before it in the block, and its bytes
    // weighted by their distance from the chunk's end; together they give both sums.
    __m128i chunkSums = zero, earlierSums = zero, weighted = zero;
    for (std::size_t at = 0; at < block; at += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
      earlierSums = _mm_add_epi32(earlierSums, chunkSums);
      chunkSums = _mm_add_epi32(chunkSums, _mm_sad_epu8(v, zero));
      weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpacklo_epi8(v, zero), firstWeights));
      weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpackhi_epi8(v, zero), lastWeights));
    }
    b = std::uint32_t((b + block * std::uint64_t(a) + 16 * sum(earlierSums) + sum(weighted)) %
                      kBase);
    a = std::uint32_t((a + sum(chunkSums)) % kBase);
    data += block;
    n -= block;
  }
  for (; n > 0; --n) {
    a += *data++;
    b += a;
  }
  return (b % kBase) << 16 | (a % kBase);
#else
  return std::uint32_t(adler32(adler, data, uInt(n)));
#endif
}

// The stream's two-byte header and four-byte checksum are handled here and only the deflate
// data between them goes to zlib, so that zlib does not checksum the output a second time.
TMyDecompressionStream::TMyDecompressionStream(TByteReader& source) : source_(source) {
  if (inflateInit2(&z_, -MAX_WBITS) != Z_OK)
    throw CatalogueError("не удалось начать распаковку данных");
  input_.resize(kStreamBufferSize);
}

TMyDecompressionStream::~TMyDecompressionStream() {
  inflateEnd(&z_);
}

void TMyDecompressionStream::Refill() {
  std::size_t got = source_.Read(input_.data(), input_.size());
  if (got == 0) throw CatalogueError("сжатые данные обрываются");
  z_.next_in = input_.data();
  z_.avail_in = uInt(got);
}

void TMyDecompressionStream::TakeFraming(std::uint8_t* out, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (z_.avail_in == 0) Refill();
    out[i] = *z_.next_in++;
    --z_.avail_in;
  }
}

void TMyDecompressionStream::ReadHeader() {
  std::uint8_t h[2];
  TakeFraming(h, 2);
  const bool deflate = (h[0] & 0x0F) == Z_DEFLATED && (h[0] >> 4) <= 7;
  if (!deflate || (h[0] << 8 | h[1]) % 31 != 0 || (h[1] & 0x20) != 0)
    throw CatalogueError("сжатые данные повреждены (неверный заголовок потока)");
  headerRead_ = true;
}

void TMyDecompressionStream::CheckTrailer() {
  std::uint8_t t[4];
  TakeFraming(t, 4);
  const std::uint32_t stored =
      std::uint32_t(t[0]) << 24 | std::uint32_t(t[1]) << 16 | std::uint32_t(t[2]) << 8 | t[3];
  if (stored != adler_)
    throw CatalogueError("сжатые данные повреждены (не сходится контрольная сумма)");
}

std::size_t TMyDecompressionStream::Read(void* buffer, std::size_t n) {
  if (ended_ || n == 0) return 0;
  if (!headerRead_) ReadHeader();
  auto* out = static_cast<Bytef*>(buffer);
  std::size_t done = 0;
  while (done < n) {
    z_.next_out = out + done;
    if (z_.avail_in == 0) Refill();
    // Pieces of the buffer size keep the output in the cache while it is checksummed.
    uInt want = uInt(std::min<std::size_t>(n - done, kStreamBufferSize));
    z_.avail_out = want;
    int rc = inflate(&z_, Z_NO_FLUSH);
    const std::size_t produced = want - z_.avail_out;
    adler_ = Adler32(adler_, out + done, produced);
    done += produced;
    if (rc == Z_STREAM_END) {
      CheckTrailer();
      ended_ = true;
      break;
    }
    if (rc != Z_OK && rc != Z_BUF_ERROR)
      throw CatalogueError(std::string("сжатые данные повреждены") +
                           (z_.msg ? std::string(" (") + z_.msg + ")" : std::string()));
  }
  return done;
}

TCompressionStream::TCompressionStream(TByteWriter& dest, int level) : dest_(dest) {
  if (deflateInit(&z_, level) != Z_OK) throw CatalogueError("не удалось начать сжатие данных");
  input_.resize(kStreamBufferSize);
  output_.resize(kStreamBufferSize);
}

TCompressionStream::~TCompressionStream() {
  deflateEnd(&z_);
}

void TCompressionStream::Deflate(const std::uint8_t* data, std::size_t n, int flush) {
  z_.next_in = const_cast<Bytef*>(data);
  z_.avail_in = uInt(n);
  for (;;) {
    z_.next_out = output_.data();
    z_.avail_out = uInt(output_.size());
    int rc = deflate(&z_, flush);
    if (rc == Z_STREAM_ERROR) throw CatalogueError("ошибка сжатия данных");
    std::size_t produced = output_.size() - z_.avail_out;
    if (produced) dest_.Write(output_.data(), produced);
    if (flush == Z_FINISH ? rc == Z_STREAM_END : z_.avail_in == 0 && z_.avail_out != 0) break;
  }
}

void TCompressionStream::Write(const void* data, std::size_t n) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  while (n > 0) {
    std::size_t piece = std::min(n, input_.size() - used_);
    std::memcpy(input_.data() + used_, p, piece);
    used_ += piece;
    p += piece;
    n -= piece;
    if (used_ == input_.size()) {
      Deflate(input_.data(), used_, Z_NO_FLUSH);
      used_ = 0;
    }
  }
}

void TCompressionStream::Finish() {
  if (finished_) return;
  Deflate(input_.data(), used_, Z_FINISH);
  used_ = 0;
  finished_ = true;
}

}  // namespace catalogue
