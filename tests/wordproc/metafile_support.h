// EMF and WMF files written record by record, for the tests of the metafile player and of
// pictures drawn from them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace metafile_test {

inline void Put16(std::string& out, int v) {
  out += char(v & 0xFF);
  out += char((v >> 8) & 0xFF);
}

inline void Put32(std::string& out, std::int64_t v) {
  for (int k = 0; k < 4; ++k) out += char((v >> (8 * k)) & 0xFF);
}

inline void Set32(std::string& out, std::size_t at, std::int64_t v) {
  for (int k = 0; k < 4; ++k) out[at + k] = char((v >> (8 * k)) & 0xFF);
}

// A bottom-up 24-bit DIB, header and bits, of colours given as 0xRRGGBB row by row from the top.
inline std::string Dib(int width, const std::vector<std::uint32_t>& colours) {
  const int height = int(colours.size()) / width;
  std::string dib;
  for (std::int64_t v : {40, width, height}) Put32(dib, v);
  Put16(dib, 1), Put16(dib, 24);
  for (int k = 0; k < 6; ++k) Put32(dib, 0);
  for (int y = height - 1; y >= 0; --y) {
    std::size_t row = dib.size();
    for (int x = 0; x < width; ++x) {
      const std::uint32_t c = colours[std::size_t(y * width + x)];
      dib += char(c & 0xFF), dib += char((c >> 8) & 0xFF), dib += char((c >> 16) & 0xFF);
    }
    while ((dib.size() - row) % 4) dib += '\0';
  }
  return dib;
}

inline std::uint32_t ColorRef(std::uint32_t rgb) {
  return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

// An EMF whose device has 4 pixels to the millimetre; the frame is in device pixels.
class Emf {
 public:
  Emf(int width, int height) {
    std::string h;
    for (int v : {0, 0, width - 1, height - 1}) Put32(h, v);
    for (int v : {0, 0, width * 25, height * 25}) Put32(h, v);  // .01 mm
    Put32(h, 0x464D4520);
    Put32(h, 0x10000);
    Put32(h, 0);   // bytes, set by bytes()
    Put32(h, 0);   // records
    Put32(h, 16);  // handles
    for (int k = 0; k < 3; ++k) Put32(h, 0);
    for (int v : {800, 800, 200, 200}) Put32(h, v);
    for (int k = 0; k < 3; ++k) Put32(h, 0);
    Put32(h, 200000), Put32(h, 200000);
    Record(1, h);
  }

  void Record(std::uint32_t type, const std::string& params) {
    Put32(data_, type);
    Put32(data_, 8 + params.size());
    data_ += params;
    ++records_;
  }
  void Ints(std::uint32_t type, std::initializer_list<std::int64_t> values) {
    std::string params;
    for (std::int64_t v : values) Put32(params, v);
    Record(type, params);
  }

  void Pen(int handle, int style, int width, std::uint32_t rgb) {
    Ints(38, {handle, style, width, 0, ColorRef(rgb)});
  }
  void Brush(int handle, int style, std::uint32_t rgb) {
    Ints(39, {handle, style, ColorRef(rgb), 0});
  }
  void Select(std::int64_t handle) { Ints(37, {handle}); }
  void Rectangle(int l, int t, int r, int b) { Ints(43, {l, t, r, b}); }
  void Ellipse(int l, int t, int r, int b) { Ints(42, {l, t, r, b}); }
  void Polygon16(const std::vector<std::pair<int, int>>& points) {
    std::string params;
    for (int k = 0; k < 4; ++k) Put32(params, 0);
    Put32(params, std::int64_t(points.size()));
    for (auto [x, y] : points) Put16(params, x), Put16(params, y);
    if (params.size() % 4) Put16(params, 0);
    Record(86, params);
  }
  // ExtTextOutW at (x, y) in the font of handle; advances of every character when given.
  void Text(int x, int y, const std::u16string& text, int advance = 0) {
    std::string params;
    for (int k = 0; k < 4; ++k) Put32(params, 0);
    Put32(params, 1), Put32(params, 0), Put32(params, 0);  // graphics mode, scales
    Put32(params, x), Put32(params, y), Put32(params, std::int64_t(text.size()));
    const std::size_t offString = 76, chars = (text.size() * 2 + 3) / 4 * 4;
    Put32(params, std::int64_t(offString)), Put32(params, 0);
    for (int k = 0; k < 4; ++k) Put32(params, 0);
    Put32(params, advance ? std::int64_t(offString + chars) : 0);
    for (char16_t c : text) Put16(params, c);
    while ((params.size() + 8) % 4) params += '\0';
    if (advance)
      for (std::size_t k = 0; k < text.size(); ++k) Put32(params, advance);
    Record(84, params);
  }
  void Font(int handle, int height, const std::u16string& face) {
    std::string params;
    Put32(params, handle);
    Put32(params, height);
    for (int k = 0; k < 3; ++k) Put32(params, 0);
    Put32(params, 400);
    Put32(params, 0), Put32(params, 0);
    for (std::size_t k = 0; k < 32; ++k) Put16(params, k < face.size() ? face[k] : 0);
    Record(82, params);
  }

  // StretchDIBits of the whole DIB into the box at (x, y).
  void StretchDib(int x, int y, int cx, int cy, int width,
                  const std::vector<std::uint32_t>& colours) {
    const std::string dib = Dib(width, colours);
    const int height = int(colours.size()) / width;
    std::string params;
    for (int k = 0; k < 4; ++k) Put32(params, 0);
    for (int v : {x, y, 0, 0, width, height, 80, 40, 120}) Put32(params, v);
    Put32(params, std::int64_t(dib.size() - 40));
    for (std::int64_t v : {0, 0x00CC0020, cx, cy}) Put32(params, v);
    Record(81, params + dib);
  }

  std::string bytes() {
    std::string out = data_;
    Put32(out, 14), Put32(out, 20), Put32(out, 0), Put32(out, 0), Put32(out, 20);
    Set32(out, 48, std::int64_t(out.size()));
    Set32(out, 52, records_ + 1);
    return out;
  }

 private:
  std::string data_;
  int records_ = 0;
};

// A placeable WMF of 1440 units to the inch whose window is its bounding box.
class Wmf {
 public:
  Wmf(int width, int height, int objects = 8) : width_(width), height_(height), objects_(objects) {}

  void Record(int function, std::initializer_list<int> params) {
    Put32(body_, 3 + std::int64_t(params.size()));
    Put16(body_, function);
    for (int p : params) Put16(body_, p);
  }
  void Raw(int function, const std::string& params) {
    Put32(body_, 3 + std::int64_t(params.size() / 2));
    Put16(body_, function);
    body_ += params;
  }

  void Pen(int style, int width, std::uint32_t rgb) {
    const std::uint32_t c = ColorRef(rgb);
    Record(0x02FA, {style, width, 0, int(c & 0xFFFF), int(c >> 16)});
  }
  void Brush(int style, std::uint32_t rgb) {
    const std::uint32_t c = ColorRef(rgb);
    Record(0x02FC, {style, int(c & 0xFFFF), int(c >> 16), 0});
  }
  void Select(int index) { Record(0x012D, {index}); }
  void Delete(int index) { Record(0x01F0, {index}); }
  void Rectangle(int l, int t, int r, int b) { Record(0x041B, {b, r, t, l}); }
  void Ellipse(int l, int t, int r, int b) { Record(0x0418, {b, r, t, l}); }
  void Font(int height, int charset, const std::string& face) {
    std::string params;
    for (int v : {height, 0, 0, 0, 400}) Put16(params, v);
    params += '\0', params += '\0', params += '\0', params += char(charset);
    params += std::string(4, '\0');
    params += face;
    params.resize(params.size() + 32 - face.size(), '\0');
    Raw(0x02FB, params);
  }
  void Text(int x, int y, const std::string& text) {
    std::string params;
    Put16(params, int(text.size()));
    params += text;
    if (text.size() % 2) params += '\0';
    Put16(params, y), Put16(params, x);
    Raw(0x0521, params);
  }

  void StretchDib(int x, int y, int cx, int cy, int width,
                  const std::vector<std::uint32_t>& colours) {
    std::string params;
    Put32(params, 0x00CC0020);
    const int height = int(colours.size()) / width;
    for (int v : {0, height, width, 0, 0, cy, cx, y, x}) Put16(params, v);
    Raw(0x0F43, params + Dib(width, colours));
  }

  std::string bytes(bool placeable = true) const {
    std::string out;
    if (placeable) {
      Put32(out, 0x9AC6CDD7);
      for (int v : {0, 0, 0, width_, height_, 1440, 0, 0}) Put16(out, v);
      int sum = 0;
      for (int k = 0; k < 10; ++k)
        sum ^= std::uint8_t(out[2 * k]) | std::uint8_t(out[2 * k + 1]) << 8;
      Put16(out, sum);
    }
    std::string body;
    Put32(body, 5), Put16(body, 0x020B), Put16(body, 0), Put16(body, 0);
    Put32(body, 5), Put16(body, 0x020C), Put16(body, height_), Put16(body, width_);
    body += body_;
    Put32(body, 3), Put16(body, 0);
    for (int v : {1, 9, 0x0300}) Put16(out, v);
    Put32(out, std::int64_t(9 + body.size() / 2));
    Put16(out, objects_);
    Put32(out, 64), Put16(out, 0);
    return out + body;
  }

 private:
  int width_, height_, objects_;
  std::string body_;
};

}  // namespace metafile_test
