#include <algorithm>

#include "wordproc/core/MetafilePlayer.h"

namespace wordproc::metafile::detail {

namespace {

constexpr char16_t kCyrillic[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

constexpr char16_t kWestern[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                   0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

constexpr int kRussianCharset = 204, kSymbolCharset = 2;

char16_t FromByte(std::uint8_t b, int charset) {
  if (b < 0x80) return b;
  if (charset == kSymbolCharset) return char16_t(0xF000 + b);
  if (charset == kRussianCharset)
    return b >= 0xC0 ? char16_t(0x0410 + (b - 0xC0)) : kCyrillic[b - 0x80];
  return b < 0xA0 ? kWestern[b - 0x80] : char16_t(b);
}

void PutU32(std::string& out, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) out += char((v >> (8 * k)) & 0xFF);
}

// A 32-bit DIB that blends keeps its alpha only with masks that name it, in the longer header.
std::string WithAlphaMasks(const std::uint8_t* bmi) {
  std::string header(reinterpret_cast<const char*>(bmi), 40);
  header[0] = char(108), header[1] = header[2] = header[3] = 0;
  header[16] = 3, header[17] = header[18] = header[19] = 0;
  std::string masks;
  PutU32(masks, 0x00FF0000u);
  PutU32(masks, 0x0000FF00u);
  PutU32(masks, 0x000000FFu);
  PutU32(masks, 0xFF000000u);
  PutU32(masks, 0x73524742u);  // sRGB
  return header + masks + std::string(48, '\0');
}

}  // namespace

std::u16string Utf16From8Bit(const std::uint8_t* data, std::size_t size, int charset) {
  std::u16string out;
  out.reserve(size);
  for (std::size_t k = 0; k < size; ++k) out += FromByte(data[k], charset);
  return out;
}

std::size_t DibHeaderSize(const std::uint8_t* dib, std::size_t size) {
  const Reader r(dib, size);
  const std::uint32_t headerSize = r.U32(0);
  if (headerSize == 12) {
    const unsigned bits = r.U16(10);
    const std::size_t total = 12 + (bits <= 8 ? std::size_t(3) << bits : 0);
    return total <= size ? total : 0;
  }
  if (headerSize < 40 || headerSize > 1024) return 0;
  const unsigned bits = r.U16(14);
  const std::uint32_t compression = r.U32(16), used = r.U32(32);
  std::size_t colors = used != 0 ? std::min<std::uint32_t>(used, 256) : 0;
  if (used == 0 && bits <= 8) colors = std::size_t(1) << bits;
  std::size_t total = headerSize + colors * 4;
  if (headerSize == 40 && (compression == 3 || compression == 6))
    total += compression == 3 ? 12 : 16;
  return total <= size ? total : 0;
}

std::string DibFile(const std::uint8_t* bmi, std::size_t bmiSize, const std::uint8_t* bits,
                    std::size_t bitsSize, bool& alpha) {
  if (bmiSize < 12 || DibHeaderSize(bmi, bmiSize) == 0 || bitsSize == 0) return {};
  const Reader r(bmi, bmiSize);
  const std::uint32_t compression = r.U32(0) >= 40 ? r.U32(16) : 0;
  if (compression == 4 || compression == 5)
    return std::string(reinterpret_cast<const char*>(bits), bitsSize);
  std::string header(reinterpret_cast<const char*>(bmi), bmiSize);
  alpha = alpha && r.U32(0) == 40 && r.U16(14) == 32 && compression == 0 && bmiSize == 40;
  if (alpha) header = WithAlphaMasks(bmi);
  std::string file = "BM";
  PutU32(file, std::uint32_t(14 + header.size() + bitsSize));
  PutU32(file, 0);
  PutU32(file, std::uint32_t(14 + header.size()));
  file += header;
  file.append(reinterpret_cast<const char*>(bits), bitsSize);
  return file;
}

}  // namespace wordproc::metafile::detail
