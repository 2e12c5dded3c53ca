#include <gtest/gtest.h>

#include <cstring>

#include "Support.h"
#include "catalogue/uBitmap.h"

using namespace catalogue;
using namespace catalogue_test;

namespace {

// A BMP file with a BITMAPINFOHEADER-style header of headerSize bytes (or the 12-byte core
// header) followed by extra (masks, palette), the gap and the pixel bytes.
std::string Bmp(int headerSize, int w, int h, int bits, int compression, const std::string& extra,
                const std::string& pixels, int gap = 0, int colours = 0) {
  std::string header;
  if (headerSize == 12) {
    header = LE32(12) + LE16(w) + LE16(h) + LE16(1) + LE16(bits);
  } else {
    header = LE32(headerSize) + LE32(std::uint32_t(w)) + LE32(std::uint32_t(h)) + LE16(1) +
             LE16(bits) + LE32(compression) + LE32(0) + LE32(0) + LE32(0) + LE32(colours) + LE32(0);
    header.resize(std::size_t(headerSize), '\0');
  }
  std::uint32_t off = std::uint32_t(14 + header.size() + extra.size() + gap);
  std::string file = "BM" + LE32(off + std::uint32_t(pixels.size())) + LE32(0) + LE32(off);
  return file + header + extra + std::string(std::size_t(gap), '\x55') + pixels;
}

TBitmap Read(const std::string& bytes, TBmpInfo* info = nullptr) {
  TMemoryReader in(bytes.data(), bytes.size());
  return ReadBmp(in, info);
}

std::string Written(const TBitmap& b) {
  TMemoryWriter out;
  WriteBmp(b, out);
  return std::string(out.Bytes.begin(), out.Bytes.end());
}

}  // namespace

TEST(BitmapTest, WritesTwentyFourBitsBottomUpAndReadsItBack) {
  TBitmap original = Pattern(5, 3);  // 15 bytes a row, padded to 16
  std::string file = Written(original);
  ASSERT_EQ(file.size(), 54u + 16 * 3);
  EXPECT_EQ(file.substr(0, 2), "BM");
  EXPECT_EQ(file.substr(2, 4), LE32(std::uint32_t(file.size())));
  EXPECT_EQ(file.substr(28, 2), LE16(24));
  // The first stored row is the bottom one: blue, green, red of pixel (0, 2).
  EXPECT_EQ(std::uint8_t(file[54 + 1]), 2 * 13);
  TBmpInfo info;
  EXPECT_EQ(Read(file, &info), original);
  EXPECT_EQ(info.BytesRead, file.size());
}

TEST(BitmapTest, ReadsPalettedPackedAndMaskedLayouts) {
  std::string twoColours = std::string("\x00\x00\xFF\x00", 4) + std::string("\x00\xFF\x00\x00", 4);
  // 8 bits, two rows stored bottom-up, palette of two entries (red, green).
  TBitmap b8 =
      Read(Bmp(40, 3, 2, 8, 0, twoColours,
               std::string("\x01\x01\x01\x00", 4) + std::string("\x00\x01\x00\x00", 4), 0, 2));
  EXPECT_EQ(b8.Pixel(0, 0), RGBColor(255, 0, 0));
  EXPECT_EQ(b8.Pixel(1, 0), RGBColor(0, 255, 0));
  EXPECT_EQ(b8.Pixel(2, 1), RGBColor(0, 255, 0));
  EXPECT_EQ(Read(Written(b8)), b8) << "row padding is zero, never left over memory";
  // 1 bit, top-down.
  TBitmap b1 = Read(Bmp(40, 9, -1, 1, 0, twoColours, std::string("\x80\x80\x00\x00", 4)));
  EXPECT_EQ(b1.Pixel(0, 0), RGBColor(0, 255, 0));
  EXPECT_EQ(b1.Pixel(1, 0), RGBColor(255, 0, 0));
  EXPECT_EQ(b1.Pixel(8, 0), RGBColor(0, 255, 0));
  // 4 bits, with the old 12-byte header and its three-byte palette entries.
  std::string core =
      std::string("\x00\x00\xFF", 3) + std::string("\xFF\x00\x00", 3) + std::string(14 * 3, '\0');
  TBitmap b4 = Read(Bmp(12, 2, 1, 4, 0, core, std::string("\x10\x00\x00\x00", 4)));
  EXPECT_EQ(b4.Pixel(0, 0), RGBColor(0, 0, 255));
  EXPECT_EQ(b4.Pixel(1, 0), RGBColor(255, 0, 0));
  // 16 bits 5-5-5, and 5-6-5 through masks after the header.
  TBitmap b555 = Read(Bmp(40, 1, 1, 16, 0, "", LE16(0x7C00) + LE16(0)));
  EXPECT_EQ(b555.Pixel(0, 0), RGBColor(255, 0, 0));
  TBitmap b565 = Read(
      Bmp(40, 1, 1, 16, 3, LE32(0xF800) + LE32(0x07E0) + LE32(0x001F), LE16(0x07E0) + LE16(0)));
  EXPECT_EQ(b565.Pixel(0, 0), RGBColor(0, 255, 0));
  // 32 bits with the masks inside a 108-byte header.
  std::string v4 = Bmp(108, 1, 1, 32, 3, "", LE32(0x00000080));
  v4.replace(14 + 40, 12, LE32(0xFF000000) + LE32(0xFF0000) + LE32(0xFF));
  EXPECT_EQ(Read(v4).Pixel(0, 0), RGBColor(0, 0, 0x80));
}

TEST(BitmapTest, TakesExactlyOneFileFromTheStreamGapIncluded) {
  std::string file = Bmp(40, 1, 1, 24, 0, "", std::string("\x01\x02\x03\x00", 4), 6);
  std::string stream = file + "NEXT";
  TMemoryReader in(stream.data(), stream.size());
  TBitmap b = ReadBmp(in);
  EXPECT_EQ(b.Pixel(0, 0), RGBColor(3, 2, 1));
  char rest[4];
  in.ReadExact(rest, 4, "rest");
  EXPECT_EQ(std::string(rest, 4), "NEXT");
}

TEST(BitmapTest, DamagedOrHugeBitmapsAreRefusedWithoutAllocating) {
  const std::string pixel("\x01\x02\x03\x00", 4);
  const std::string cases[] = {
      "XM" + Bmp(40, 1, 1, 24, 0, "", pixel).substr(2),
      Bmp(40, 1, 1, 8, 1, "", pixel),                 // run-length compressed
      Bmp(40, 1, 1, 24, 0, "", pixel).substr(0, 56),  // pixels cut short
      Bmp(40, 100000, 100000, 24, 0, "", pixel),      // claims 30 GB
      Bmp(40, 20000, 20000, 1, 0, "", pixel),         // small file, huge picture
      Bmp(40, 0x74000003, 0, 16, 0, "", pixel),       // no rows, but each 3.9 GB wide
      Bmp(40, 0, 0x2E2E0300, 32, 0, "", pixel),       // no width, 775 million rows
      Bmp(40, 1, 1, 24, 0, "", pixel).substr(0, 30),
      Bmp(200, 1, 1, 24, 0, "", pixel),
  };
  for (const std::string& bytes : cases) EXPECT_THROW(Read(bytes), CatalogueError);
}

// The pixels of arena bitmaps lie side by side in blocks that the arena hands over to them:
// each must stay a value of its own, and outlive the arena that placed it.
TEST(BitmapTest, ArenaBitmapsAreSeparateValuesThatOutliveTheArena) {
  const TBitmap narrow = Pattern(5, 3), wide = Pattern(216, 120), tall = Pattern(7, 400);
  std::string topDown = Written(narrow);
  topDown.replace(22, 4, LE32(std::uint32_t(-3)));  // the same rows stored from the top
  TBitmap a, b, c, d;
  {
    TPixelArena arena;
    const std::string files = Written(narrow) + Written(wide) + Written(tall);
    TMemoryReader in(files.data(), files.size());
    a = ReadBmp(in, nullptr, {}, &arena);
    b = ReadBmp(in, nullptr, {}, &arena);
    c = ReadBmp(in, nullptr, {}, &arena);
    TMemoryReader flipped(topDown.data(), topDown.size());
    d = ReadBmp(flipped, nullptr, {}, &arena);
    EXPECT_EQ(arena.Reserved() % (2u << 20), 0u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(a.Data()) % (2u << 20), 0u)
        << "blocks start on a huge page";
  }
  EXPECT_TRUE(a.InArena() && b.InArena() && c.InArena() && d.InArena());
  EXPECT_EQ(a, narrow);
  EXPECT_EQ(b, wide);
  EXPECT_EQ(c, tall);
  EXPECT_EQ(d.Pixel(0, 0), narrow.Pixel(0, 2));
  EXPECT_EQ(d.Pixel(4, 2), narrow.Pixel(4, 0));

  TBitmap copy = b;
  EXPECT_FALSE(copy.InArena());
  copy.SetPixel(0, 0, kBlack);
  EXPECT_EQ(b, wide) << "a copy never writes into the arena";

  a = Pattern(2, 2);  // assigned: storage of its own, the neighbours untouched
  c.SetSize(9, 9);    // resized likewise
  EXPECT_FALSE(a.InArena() || c.InArena());
  EXPECT_EQ(b, wide);
  EXPECT_EQ(c, TBitmap(9, 9));

  TBitmap moved = std::move(b);
  EXPECT_TRUE(moved.InArena());
  EXPECT_EQ(moved, wide);
  EXPECT_EQ(b.Width(), 0);
  EXPECT_TRUE(b.Bytes().empty());
  EXPECT_EQ(b, TBitmap());
}

TEST(BitmapTest, ArenaPlacesEmptyAndOversizedBitmaps) {
  TPixelArena arena;
  TBitmap empty, huge, after;
  arena.Reset(empty, 0, 50);
  EXPECT_EQ(arena.Reserved(), 0u) << "nothing to place, no block";
  EXPECT_EQ(empty, TBitmap(0, 50));
  arena.Reset(huge, 4000, 4000);  // 48 MB, more than a block
  EXPECT_GE(arena.Reserved(), huge.Bytes().size());
  std::memset(huge.Data(), 0x5A, huge.Bytes().size());
  arena.Reset(after, 3, 3);
  after.FillRect({0, 0, 3, 3}, kBlack);
  EXPECT_EQ(huge.Bytes().back(), 0x5A) << "the next piece begins after the large one";
  EXPECT_EQ(after, TBitmap(3, 3, kBlack));
}
