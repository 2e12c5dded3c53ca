#include "catalogue/uBitmap.h"

#include <sys/mman.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <string>

namespace catalogue {

namespace {

int StrideOf(int width) {
  return (width * 3 + 3) & ~3;
}

std::uint16_t U16(const std::uint8_t* p) {
  return std::uint16_t(p[0] | p[1] << 8);
}
std::uint32_t U32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}
void Put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = std::uint8_t(v);
  p[1] = std::uint8_t(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

constexpr std::uint32_t kBiRgb = 0, kBiBitfields = 3, kBiAlphaBitfields = 6;

[[noreturn]] void Damaged(const std::string& why) {
  throw CatalogueError("рисунок BMP повреждён: " + why);
}

// One channel mask: the value under it scaled to 0..255.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint64_t max = 0;

  explicit Channel(std::uint32_t m = 0) : mask(m) {
    if (!m) return;
    shift = std::countr_zero(m);
    max = (std::uint64_t(1) << std::popcount(m >> shift)) - 1;
  }
  std::uint8_t From(std::uint32_t pixel) const {
    if (!max) return 0;
    std::uint64_t v = (pixel & mask) >> shift;
    return std::uint8_t(std::min<std::uint64_t>(255, (v * 255 + max / 2) / max));
  }
};

struct Layout {
  TBmpInfo info;
  std::uint32_t offBits = 0;
  std::uint64_t consumed = 0;  // file header, info header, masks and colour table
  Channel red, green, blue;
  std::vector<TColor> palette;
  std::uint64_t rowBytes = 0;
  std::uint64_t dataBytes = 0;
  std::uint32_t sizeImage = 0;
};

void ReadFileHeader(TByteReader& in, Layout& l) {
  std::uint8_t h[14];
  in.ReadExact(h, sizeof h, "заголовок файла BMP");
  if (h[0] != 'B' || h[1] != 'M') Damaged("нет подписи «BM»");
  l.info.FileSize = U32(h + 2);
  l.offBits = U32(h + 10);
  l.consumed = sizeof h;
}

void ReadCoreHeader(TByteReader& in, Layout& l) {
  std::uint8_t h[8];
  in.ReadExact(h, sizeof h, "заголовок рисунка BMP");
  l.info.Width = U16(h);
  l.info.Height = U16(h + 2);
  l.info.Bits = U16(h + 6);
  l.consumed += 4 + sizeof h;
}

void ReadMasks(const std::uint8_t* p, Layout& l) {
  l.red = Channel(U32(p));
  l.green = Channel(U32(p + 4));
  l.blue = Channel(U32(p + 8));
}

void ReadInfoHeader(TByteReader& in, Layout& l, std::uint32_t size, std::uint32_t& colours) {
  if (size < 40 || size > 124) Damaged("неизвестный заголовок длиной " + std::to_string(size));
  std::uint8_t h[124];
  in.ReadExact(h, size - 4, "заголовок рисунка BMP");
  l.info.Width = std::int32_t(U32(h));
  l.info.Height = std::int32_t(U32(h + 4));
  l.info.Bits = U16(h + 10);
  l.info.Compression = U32(h + 12);
  l.sizeImage = U32(h + 16);
  colours = U32(h + 28);
  l.consumed += size;
  bool fields = l.info.Compression == kBiBitfields || l.info.Compression == kBiAlphaBitfields;
  if (fields && size >= 52) {
    ReadMasks(h + 36, l);
  } else if (fields) {
    std::uint8_t m[16];
    std::size_t n = l.info.Compression == kBiAlphaBitfields ? 16 : 12;
    in.ReadExact(m, n, "маски цветов BMP");
    ReadMasks(m, l);
    l.consumed += n;
  }
}

void CheckFormat(Layout& l, const TBmpLimits& limits) {
  const TBmpInfo& i = l.info;
  bool fields = i.Compression == kBiBitfields || i.Compression == kBiAlphaBitfields;
  if (i.Compression != kBiRgb && !fields)
    Damaged("сжатие " + std::to_string(i.Compression) + " не поддерживается");
  bool bitsOk =
      i.Bits == 1 || i.Bits == 4 || i.Bits == 8 || i.Bits == 16 || i.Bits == 24 || i.Bits == 32;
  if (!bitsOk || (fields && i.Bits != 16 && i.Bits != 32))
    Damaged("неподдерживаемая глубина цвета " + std::to_string(i.Bits));
  if (i.Width < 0 || i.Height == INT32_MIN) Damaged("неверный размер");
  if (i.Compression == kBiRgb && i.Bits == 16) {
    l.red = Channel(0x7C00), l.green = Channel(0x03E0), l.blue = Channel(0x001F);
  } else if (i.Compression == kBiRgb && i.Bits == 32) {
    l.red = Channel(0xFF0000), l.green = Channel(0xFF00), l.blue = Channel(0xFF);
  }
  std::uint64_t height = std::uint64_t(i.Height < 0 ? -std::int64_t(i.Height) : i.Height);
  l.rowBytes = (std::uint64_t(i.Width) * i.Bits + 31) / 32 * 4;
  l.dataBytes = l.rowBytes * height;
  std::uint64_t unpackedRow = (3 * std::uint64_t(i.Width) + 3) / 4 * 4;
  // A row is read whole even when there are no rows to keep, so it is bounded on its own.
  bool tooBig = l.rowBytes > limits.MaxBytes || unpackedRow > limits.MaxBytes ||
                std::uint64_t(i.Width) > limits.MaxWidth || height > limits.MaxHeight;
  if (tooBig || l.dataBytes > limits.MaxBytes || unpackedRow * height > limits.MaxBytes)
    Damaged("слишком большой рисунок " + std::to_string(i.Width) + "×" + std::to_string(height));
  if (l.sizeImage != 0 && l.sizeImage < l.dataBytes) Damaged("мало данных точек");
}

// Only the entries the pixels can use are kept; the rest of a long table is passed over.
void ReadPalette(TByteReader& in, Layout& l, std::uint32_t colours, std::size_t entrySize,
                 const TBmpLimits& limits) {
  std::uint64_t count = colours;
  if (l.info.Bits <= 8 && count == 0) count = 1u << l.info.Bits;
  if (count * entrySize > limits.MaxBytes) Damaged("слишком большая таблица цветов");
  const std::size_t usable = l.info.Bits <= 8 ? std::size_t(1) << l.info.Bits : 0;
  l.palette.assign(usable, kBlack);
  const std::size_t kept = std::size_t(std::min<std::uint64_t>(count, usable));
  for (std::size_t k = 0; k < kept; ++k) {
    std::uint8_t e[4];
    in.ReadExact(e, entrySize, "таблица цветов BMP");
    l.palette[k] = RGBColor(e[2], e[1], e[0]);
  }
  in.Skip(std::size_t((count - kept) * entrySize), "таблица цветов BMP");
  l.consumed += count * entrySize;
}

void SkipToPixels(TByteReader& in, Layout& l, const TBmpLimits& limits) {
  std::uint64_t pixelBytes = std::max<std::uint64_t>(l.dataBytes, l.sizeImage);
  std::uint64_t gap = l.offBits > l.consumed ? l.offBits - l.consumed : 0;
  if (l.consumed + gap + pixelBytes > limits.MaxBytes) Damaged("слишком большой файл");
  in.Skip(std::size_t(gap), "промежуток перед точками BMP");
  l.consumed += gap;
}

void DecodeRow(const Layout& l, const std::uint8_t* src, std::uint8_t* dst) {
  const int w = l.info.Width;
  for (int x = 0; x < w; ++x) {
    TColor c;
    switch (l.info.Bits) {
      case 1:
        c = l.palette[src[x >> 3] >> (7 - (x & 7)) & 1];
        break;
      case 4:
        c = l.palette[src[x >> 1] >> ((x & 1) ? 0 : 4) & 15];
        break;
      case 8:
        c = l.palette[src[x]];
        break;
      case 16: {
        std::uint32_t p = U16(src + 2 * x);
        c = RGBColor(l.red.From(p), l.green.From(p), l.blue.From(p));
        break;
      }
      default: {
        std::uint32_t p = U32(src + 4 * x);
        c = RGBColor(l.red.From(p), l.green.From(p), l.blue.From(p));
      }
    }
    dst[3 * x] = std::uint8_t(BlueOf(c));
    dst[3 * x + 1] = std::uint8_t(GreenOf(c));
    dst[3 * x + 2] = std::uint8_t(RedOf(c));
  }
}

// A 24-bit file's rows are exactly the bitmap's rows, padding included: they are read in one
// piece, and only a file stored from the top needs turning over.
void ReadRows24(TByteReader& in, const Layout& l, TBitmap& bmp) {
  const int h = bmp.Height();
  const std::size_t stride = std::size_t(bmp.Stride());
  if (h == 0) return;
  in.ReadExact(bmp.Data(), std::size_t(l.dataBytes), "точки рисунка BMP");
  std::vector<std::uint8_t> spare(stride);
  if (l.info.Height < 0)
    for (int top = 0, bottom = h - 1; top < bottom; ++top, --bottom) {
      std::memcpy(spare.data(), bmp.ScanLine(top), stride);
      std::memcpy(bmp.ScanLine(top), bmp.ScanLine(bottom), stride);
      std::memcpy(bmp.ScanLine(bottom), spare.data(), stride);
    }
  const std::size_t used = 3 * std::size_t(bmp.Width());
  if (used < stride)  // the file's padding may hold anything
    for (int y = 0; y < h; ++y) std::memset(bmp.ScanLine(y) + used, 0, stride - used);
}

void ReadPixels(TByteReader& in, const Layout& l, TBitmap& bmp) {
  const int h = bmp.Height();
  if (l.info.Bits == 24) {
    ReadRows24(in, l, bmp);
  } else {
    std::vector<std::uint8_t> row(std::size_t(l.rowBytes));
    for (int k = 0; k < h; ++k) {
      in.ReadExact(row.data(), row.size(), "точки рисунка BMP");
      DecodeRow(l, row.data(), bmp.ScanLine(l.info.Height < 0 ? k : h - 1 - k));
    }
  }
  if (l.sizeImage > l.dataBytes) in.Skip(l.sizeImage - l.dataBytes, "точки рисунка BMP");
}

}  // namespace

TBitmap::TBitmap(int width, int height, TColor fill) {
  SetSize(width, height, fill);
}

TBitmap::TBitmap(const TBitmap& other)
    : width_(other.width_),
      height_(other.height_),
      stride_(other.stride_),
      size_(other.size_),
      own_(other.data_, other.data_ + other.size_) {
  data_ = own_.data();
}

TBitmap& TBitmap::operator=(const TBitmap& other) {
  if (this != &other) *this = TBitmap(other);
  return *this;
}

TBitmap::TBitmap(TBitmap&& other) noexcept
    : width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)),
      stride_(std::exchange(other.stride_, 0)),
      data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      own_(std::move(other.own_)),
      block_(std::move(other.block_)) {}

TBitmap& TBitmap::operator=(TBitmap&& other) noexcept {
  if (this != &other) {
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
    stride_ = std::exchange(other.stride_, 0);
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    own_ = std::move(other.own_);
    block_ = std::move(other.block_);
  }
  return *this;
}

bool TBitmap::operator==(const TBitmap& other) const {
  return width_ == other.width_ && height_ == other.height_ && stride_ == other.stride_ &&
         size_ == other.size_ && (size_ == 0 || std::memcmp(data_, other.data_, size_) == 0);
}

void TBitmap::SetGeometry(int width, int height) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  stride_ = StrideOf(width_);
  size_ = std::size_t(stride_) * std::size_t(height_);
}

// Padding is never written by the pixel code, yet it is compared and saved.
void TBitmap::ClearPadding() {
  const std::size_t used = 3 * std::size_t(width_);
  if (used < std::size_t(stride_))
    for (int y = 0; y < height_; ++y)
      std::memset(ScanLine(y) + used, 0, std::size_t(stride_) - used);
}

void TBitmap::Reset(int width, int height) {
  SetGeometry(width, height);
  block_.reset();
  own_.clear();
  own_.resize(size_);
  data_ = own_.data();
  ClearPadding();
}

// Blocks are whole huge pages on huge-page boundaries, so the system can back them with 2 MB
// pages; one block holds some 400 business-card thumbnails, or eleven of the tallest.
struct TPixelArena::TBlock {
  static constexpr std::size_t kHugePage = 2u << 20;
  static constexpr std::size_t kSize = 16 * kHugePage;

  explicit TBlock(std::size_t bytes) : size((bytes + kHugePage - 1) / kHugePage * kHugePage) {
    // Reserved one huge page larger, so that an aligned start can be cut out of it.
    const std::size_t reserve = size + kHugePage;
    void* raw = mmap(nullptr, reserve, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    auto* start = static_cast<std::uint8_t*>(raw);
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(start);
    const std::size_t head = (kHugePage - address % kHugePage) % kHugePage;
    if (head) munmap(start, head);
    munmap(start + head + size, kHugePage - head);
    base = start + head;
#ifdef MADV_HUGEPAGE
    madvise(base, size, MADV_HUGEPAGE);  // only advice: without huge pages all still works
#endif
  }
  ~TBlock() {
    munmap(base, size);
  }
  TBlock(const TBlock&) = delete;
  TBlock& operator=(const TBlock&) = delete;

  std::size_t size;
  std::uint8_t* base = nullptr;
};

void TPixelArena::Reset(TBitmap& bitmap, int width, int height) {
  bitmap.SetGeometry(width, height);
  if (bitmap.size_ == 0) {
    bitmap.Reset(width, height);
    return;
  }
  // Cache-line aligned pieces keep one bitmap's rows off another's lines.
  const std::size_t piece = (bitmap.size_ + 63) & ~std::size_t(63);
  if (!block_ || block_->size - used_ < piece) {
    block_ = std::make_shared<TBlock>(std::max(piece, TBlock::kSize));
    reserved_ += block_->size;
    used_ = 0;
  }
  bitmap.own_ = TPixelBytes();
  bitmap.data_ = block_->base + used_;
  bitmap.block_ = block_;
  used_ += piece;
  bitmap.ClearPadding();
}

void TBitmap::SetSize(int width, int height, TColor fill) {
  Reset(width, height);
  FillRect({0, 0, width_, height_}, fill);
}

TColor TBitmap::Pixel(int x, int y) const {
  const std::uint8_t* p = ScanLine(y) + 3 * x;
  return RGBColor(p[2], p[1], p[0]);
}

void TBitmap::SetPixel(int x, int y, TColor color) {
  std::uint8_t* p = ScanLine(y) + 3 * x;
  p[0] = std::uint8_t(BlueOf(color));
  p[1] = std::uint8_t(GreenOf(color));
  p[2] = std::uint8_t(RedOf(color));
}

void TBitmap::FillRect(TRect r, TColor color) {
  int left = std::max(r.Left, 0), right = std::min(r.Right, width_);
  int top = std::max(r.Top, 0), bottom = std::min(r.Bottom, height_);
  if (left >= right || top >= bottom) return;
  for (int x = left; x < right; ++x) SetPixel(x, top, color);
  const std::size_t span = std::size_t(right - left) * 3;
  for (int y = top + 1; y < bottom; ++y)
    std::memcpy(ScanLine(y) + 3 * left, ScanLine(top) + 3 * left, span);
}

TBitmap ReadBmp(TByteReader& in, TBmpInfo* info, const TBmpLimits& limits, TPixelArena* arena) {
  Layout l;
  ReadFileHeader(in, l);
  std::uint8_t sizeBytes[4];
  in.ReadExact(sizeBytes, 4, "заголовок рисунка BMP");
  l.info.HeaderSize = U32(sizeBytes);
  std::uint32_t colours = 0;
  bool core = l.info.HeaderSize == 12;
  if (core)
    ReadCoreHeader(in, l);
  else
    ReadInfoHeader(in, l, l.info.HeaderSize, colours);
  CheckFormat(l, limits);
  if (l.info.Bits <= 8 || colours) ReadPalette(in, l, colours, core ? 3 : 4, limits);
  SkipToPixels(in, l, limits);
  TBitmap bmp;
  const int height = l.info.Height < 0 ? -l.info.Height : l.info.Height;
  if (arena)
    arena->Reset(bmp, l.info.Width, height);
  else
    bmp.Reset(l.info.Width, height);
  ReadPixels(in, l, bmp);
  if (info) {
    *info = l.info;
    info->BytesRead = l.consumed + std::max<std::uint64_t>(l.dataBytes, l.sizeImage);
  }
  return bmp;
}

std::uint32_t BmpFileSize(const TBitmap& bitmap) {
  return 54 + std::uint32_t(bitmap.Stride()) * std::uint32_t(bitmap.Height());
}

void WriteBmp(const TBitmap& bitmap, TByteWriter& out) {
  std::uint8_t h[54] = {'B', 'M'};
  std::uint32_t image = std::uint32_t(bitmap.Stride()) * std::uint32_t(bitmap.Height());
  Put32(h + 2, BmpFileSize(bitmap));
  Put32(h + 10, 54);
  Put32(h + 14, 40);
  Put32(h + 18, std::uint32_t(bitmap.Width()));
  Put32(h + 22, std::uint32_t(bitmap.Height()));
  Put16(h + 26, 1);
  Put16(h + 28, 24);
  Put32(h + 34, image);
  out.Write(h, sizeof h);
  out.Write(bitmap.Bytes().data(), bitmap.Bytes().size());
}

}  // namespace catalogue
