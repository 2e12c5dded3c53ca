// The thumbnail bitmap: 24-bit pixels laid out exactly as in a BMP file, rows from the bottom,
// each row blue, green, red and padded to four bytes, so a file's pixels load and save in one
// piece. BMP files are read in every uncompressed layout and written with 24 bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "catalogue/uStreams.h"

namespace catalogue {

// 0x00RRGGBB
using TColor = std::uint32_t;

constexpr TColor RGBColor(int r, int g, int b) {
  return TColor((r & 0xFF) << 16 | (g & 0xFF) << 8 | (b & 0xFF));
}
constexpr int RedOf(TColor c) {
  return int(c >> 16 & 0xFF);
}
constexpr int GreenOf(TColor c) {
  return int(c >> 8 & 0xFF);
}
constexpr int BlueOf(TColor c) {
  return int(c & 0xFF);
}

inline constexpr TColor kWhite = 0xFFFFFF;
inline constexpr TColor kBlack = 0x000000;

// Right and bottom are outside the rectangle when it is filled, as the system draws.
struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool operator==(const TRect&) const = default;
};

// Leaves new bytes uninitialised, so a bitmap about to be overwritten is not cleared first.
template <typename T>
struct TDefaultInitAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = TDefaultInitAllocator<U>;
  };
  template <typename U, typename... A>
  void construct(U* p, A&&... args) {
    if constexpr (sizeof...(A) == 0)
      ::new (static_cast<void*>(p)) U;
    else
      ::new (static_cast<void*>(p)) U(std::forward<A>(args)...);
  }
};

using TPixelBytes = std::vector<std::uint8_t, TDefaultInitAllocator<std::uint8_t>>;

class TPixelArena;

class TBitmap {
 public:
  TBitmap() = default;
  TBitmap(int width, int height, TColor fill = kWhite);
  // A copy owns its pixels, even when the original's live in an arena.
  TBitmap(const TBitmap& other);
  TBitmap& operator=(const TBitmap& other);
  TBitmap(TBitmap&& other) noexcept;
  TBitmap& operator=(TBitmap&& other) noexcept;
  ~TBitmap() = default;

  int Width() const { return width_; }
  int Height() const { return height_; }
  int Stride() const { return stride_; }
  // The contents are lost; the new pixels are the fill colour.
  void SetSize(int width, int height, TColor fill = kWhite);
  // The contents are lost and the new pixels undefined, for a caller that overwrites them all.
  void Reset(int width, int height);

  // Row y counted from the top.
  std::uint8_t* ScanLine(int y) { return data_ + RowOffset(y); }
  const std::uint8_t* ScanLine(int y) const { return data_ + RowOffset(y); }
  TColor Pixel(int x, int y) const;
  void SetPixel(int x, int y, TColor color);
  // Clipped to the bitmap.
  void FillRect(TRect r, TColor color);

  // All rows from the bottom one up.
  std::span<const std::uint8_t> Bytes() const { return {data_, size_}; }
  std::uint8_t* Data() { return data_; }
  // Whether the pixels live in an arena block rather than in storage of their own.
  bool InArena() const { return block_ != nullptr; }
  bool operator==(const TBitmap& other) const;

 private:
  friend class TPixelArena;
  void SetGeometry(int width, int height);
  void ClearPadding();
  std::size_t RowOffset(int y) const { return std::size_t(height_ - 1 - y) * std::size_t(stride_); }

  int width_ = 0, height_ = 0, stride_ = 0;
  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  TPixelBytes own_;
  // Keeps the arena block that data_ points into, when it does.
  std::shared_ptr<void> block_;
};

// Pixels for many bitmaps that are made together and kept for long, such as every thumbnail of
// the cache: carved from a few large blocks instead of one allocation each, so that filling
// them costs a page fault per huge page rather than per 4 KB, and freeing them is one unmap per
// block. A block lives as long as any bitmap placed in it; a bitmap later resized or assigned
// takes storage of its own and leaves its piece of the block unused until the block goes.
class TPixelArena {
 public:
  TPixelArena() = default;
  TPixelArena(const TPixelArena&) = delete;
  TPixelArena& operator=(const TPixelArena&) = delete;
  // As bitmap.Reset(width, height), with the pixels in the arena.
  void Reset(TBitmap& bitmap, int width, int height);
  // Address space taken from the system so far, for the tests.
  std::size_t Reserved() const { return reserved_; }

 private:
  struct TBlock;
  std::shared_ptr<TBlock> block_;
  std::size_t used_ = 0;
  std::size_t reserved_ = 0;
};

// What a BMP file's headers said.
struct TBmpInfo {
  std::int32_t Width = 0;
  std::int32_t Height = 0;  // negative for rows stored from the top
  std::uint16_t Bits = 0;
  std::uint32_t Compression = 0;
  std::uint32_t HeaderSize = 0;
  std::uint32_t FileSize = 0;   // the file header's own length field
  std::uint64_t BytesRead = 0;  // what the reader took from the stream
};

// No BMP may claim or unpack to more than this; a larger one counts as damaged.
inline constexpr std::uint64_t kMaxBmpBytes = 64ull * 1024 * 1024;
// Nor a side longer than this: a picture with no width could otherwise claim a billion rows.
inline constexpr std::uint64_t kMaxBmpSide = 1u << 20;

// What a reader accepts of one BMP file; anything beyond counts as damage, and is refused
// before anything is allocated for it.
struct TBmpLimits {
  std::uint64_t MaxWidth = kMaxBmpSide;
  std::uint64_t MaxHeight = kMaxBmpSide;
  std::uint64_t MaxBytes = kMaxBmpBytes;  // of the file, and of the pixels it unpacks to
};

// Reads one BMP file: exactly its headers, colour table, any gap up to the pixel offset and
// the pixel data whose length follows from the headers. Throws CatalogueError for damaged,
// compressed or oversized bitmaps. With an arena the pixels are placed in it.
TBitmap ReadBmp(TByteReader& in, TBmpInfo* info = nullptr, const TBmpLimits& limits = {},
                TPixelArena* arena = nullptr);
void WriteBmp(const TBitmap& bitmap, TByteWriter& out);
// The length WriteBmp produces.
std::uint32_t BmpFileSize(const TBitmap& bitmap);

}  // namespace catalogue
