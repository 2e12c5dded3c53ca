#include <algorithm>

#include "wordproc/core/MetafilePlayer.h"

namespace wordproc::metafile::detail {

namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;

Color FromColorRef(std::uint32_t ref) {
  return ((ref & 0xFF) << 16) | (ref & 0xFF00) | ((ref >> 16) & 0xFF);
}

// Parameter k of a record, a 16-bit word after the size and the function.
std::int16_t Param(const Reader& r, std::size_t k) {
  return r.I16(6 + 2 * k);
}

// Four parameters from k on, in the bottom, right, top, left order WMF keeps them in.
Rect BoxAt(const Reader& r, std::size_t k) {
  return {double(Param(r, k + 3)), double(Param(r, k + 2)), double(Param(r, k + 1)),
          double(Param(r, k))};
}

Point PointAt(const Reader& r, std::size_t k) {
  return {double(Param(r, k + 1)), double(Param(r, k))};
}

std::vector<Point> Points(const Reader& r, std::size_t at, std::size_t count) {
  if (at > r.size() || count > (r.size() - at) / 4) return {};
  std::vector<Point> points(count);
  for (std::size_t k = 0; k < count; ++k)
    points[k] = {double(r.I16(at + 4 * k)), double(r.I16(at + 4 * k + 2))};
  return points;
}

class WmfPlayer {
 public:
  explicit WmfPlayer(Player& player) : p_(player) {}

  bool Play(const Reader& r) {
    const std::uint16_t function = r.U16(4);
    if (function == 0) return false;
    if (!State(function, r) && !Objects(function, r)) {
      FixView();
      if (!Shapes(function, r)) Output(function, r);
    }
    return true;
  }

  // The window in force when drawing begins fills the picture; later windows map onto it.
  std::optional<Rect> view() const { return view_; }

 private:
  Dc& dc() { return p_.dc(); }

  void FixView() {
    if (view_ || !windowSet_) return;
    view_ = Rect{dc().windowOrg.x, dc().windowOrg.y, dc().windowOrg.x + dc().windowExt.x,
                 dc().windowOrg.y + dc().windowExt.y};
    dc().viewportOrg = dc().windowOrg;
    dc().viewportExt = dc().windowExt;
    dc().mapMode = 8;
  }

  bool State(std::uint16_t function, const Reader& r) {
    switch (function) {
      case 0x020B:
        dc().windowOrg = PointAt(r, 0);
        break;
      case 0x020C:
        SetWindowExt(PointAt(r, 0));
        break;
      case 0x020F:
        dc().windowOrg.x += Param(r, 1);
        dc().windowOrg.y += Param(r, 0);
        break;
      case 0x0106:
        dc().winding = Param(r, 0) == 2;
        break;
      case 0x012E:
        dc().textAlign = std::uint16_t(Param(r, 0));
        break;
      case 0x0209:
        dc().textColor = FromColorRef(r.U32(6));
        break;
      case 0x0201:
        dc().backColor = FromColorRef(r.U32(6));
        break;
      case 0x0214:
        p_.MoveTo(PointAt(r, 0));
        break;
      case 0x001E:
        p_.Save();
        break;
      case 0x0127:
        p_.Restore(Param(r, 0));
        break;
      case 0x0416:
        p_.IntersectClip(BoxAt(r, 0));
        break;
      case 0x012C:
        p_.SetClip(std::nullopt);
        break;
      default:
        return false;
    }
    return true;
  }

  void SetWindowExt(Point ext) {
    if (ext.x == 0 || ext.y == 0) return;
    dc().windowExt = ext;
    windowSet_ = true;
  }

  bool Objects(std::uint16_t function, const Reader& r) {
    Object o;
    switch (function) {
      case 0x012D:
        p_.SelectObject(std::uint16_t(Param(r, 0)));
        return true;
      case 0x01F0:
        p_.DeleteObject(std::uint16_t(Param(r, 0)));
        return true;
      case 0x02FA:
        o = PenAt(r);
        break;
      case 0x02FC:
        o = BrushAt(r);
        break;
      case 0x02FB:
        o = FontAt(r);
        break;
      case 0x0142:
      case 0x01F9:
        o.kind = Object::Kind::Brush;
        o.brush.visible = false;
        break;
      case 0x00F7:
      case 0x06FF:
        break;
      default:
        return false;
    }
    p_.AddObject(std::move(o));
    return true;
  }

  static Object PenAt(const Reader& r) {
    Object o;
    o.kind = Object::Kind::Pen;
    const std::uint16_t style = std::uint16_t(Param(r, 0));
    o.pen.color = FromColorRef(r.U32(12));
    o.pen.visible = (style & 0xF) != 5;
    if ((style & 0xF) >= 1 && (style & 0xF) <= 4) o.pen.dash = PenDash(style & 0xF);
    const int cap = style & 0xF00, join = style & 0xF000;
    o.pen.cap = cap == 0x100 ? PenCap::Square : cap == 0x200 ? PenCap::Flat : PenCap::Round;
    o.pen.join = join == 0x1000 ? PenJoin::Bevel : join == 0x2000 ? PenJoin::Miter : PenJoin::Round;
    o.penWidth = std::max(0, int(Param(r, 1)));
    return o;
  }

  static Object BrushAt(const Reader& r) {
    Object o;
    o.kind = Object::Kind::Brush;
    const std::uint16_t style = std::uint16_t(Param(r, 0));
    o.brush.color = FromColorRef(r.U32(8));
    o.brush.visible = style == 0 || style == 2;
    if (style == 2) o.brush.hatch = std::min(5, int(r.U16(12)));
    return o;
  }

  static Object FontAt(const Reader& r) {
    Object o;
    o.kind = Object::Kind::Font;
    FontSpec& f = o.font;
    f.height = Param(r, 0);
    f.escapement = Param(r, 2);
    f.weight = Param(r, 4);
    f.italic = r.U8(16) != 0, f.underline = r.U8(17) != 0, f.strikeOut = r.U8(18) != 0;
    f.charset = r.U8(19);
    std::size_t length = 0;
    while (length < 32 && r.Has(24 + length, 1) && r.U8(24 + length) != 0) ++length;
    f.family = Utf16From8Bit(r.data() + std::min<std::size_t>(24, r.size()), length, f.charset);
    return o;
  }

  bool Shapes(std::uint16_t function, const Reader& r) {
    switch (function) {
      case 0x0213:
        p_.LineTo(PointAt(r, 0));
        break;
      case 0x0325:
        p_.Polyline(Points(r, 8, std::uint16_t(Param(r, 0))), false, false);
        break;
      case 0x0324:
        p_.Polyline(Points(r, 8, std::uint16_t(Param(r, 0))), true, true);
        break;
      case 0x0538:
        PolyPolygon(r);
        break;
      case 0x041B:
        p_.RectangleShape(BoxAt(r, 0), 0, 0);
        break;
      case 0x061C:
        p_.RectangleShape(BoxAt(r, 2), Param(r, 1), Param(r, 0));
        break;
      case 0x0418:
        p_.EllipseShape(BoxAt(r, 0));
        break;
      case 0x0817:
        Arc(r, Player::ArcKind::Open);
        break;
      case 0x081A:
        Arc(r, Player::ArcKind::Pie);
        break;
      case 0x0830:
        Arc(r, Player::ArcKind::Chord);
        break;
      default:
        return false;
    }
    return true;
  }

  void Arc(const Reader& r, Player::ArcKind kind) {
    p_.ArcShape(BoxAt(r, 4), PointAt(r, 2), PointAt(r, 0), kind);
  }

  void PolyPolygon(const Reader& r) {
    const std::size_t count = std::uint16_t(Param(r, 0));
    if (!r.Has(8, count * 2)) return;
    std::size_t total = 0;
    for (std::size_t k = 0; k < count; ++k) total += r.U16(8 + 2 * k);
    const std::vector<Point> points = Points(r, 8 + 2 * count, total);
    if (points.empty()) return;
    std::vector<std::vector<Point>> polygons;
    std::size_t at = 0;
    for (std::size_t k = 0; k < count; ++k) {
      const std::size_t n = r.U16(8 + 2 * k);
      polygons.emplace_back(points.begin() + std::ptrdiff_t(at),
                            points.begin() + std::ptrdiff_t(at + n));
      at += n;
    }
    p_.PolyPolygon(polygons, true);
  }

  void Output(std::uint16_t function, const Reader& r) {
    switch (function) {
      case 0x0521:
        return TextOut(r);
      case 0x0A32:
        return ExtTextOut(r);
      case 0x061D:
        return PatBlt(r.U32(6), BoxFrom(r, 2));
      case 0x0F43:
        return Dib(r, 28, 3, true);
      case 0x0B41:
        if (r.size() <= 28) return PatBlt(r.U32(6), BoxFrom(r, 7));
        return Dib(r, 26, 2, true);
      case 0x0940:
        if (r.size() <= 24) return PatBlt(r.U32(6), BoxFrom(r, 5));
        return Dib(r, 22, 2, false);
      case 0x0D33:
        return Dib(r, 24, 0, false);
      default:
        return;
    }
  }

  // The destination given as height, width, y, x from parameter k on.
  static Rect BoxFrom(const Reader& r, std::size_t k) {
    const double h = Param(r, k), w = Param(r, k + 1), y = Param(r, k + 2), x = Param(r, k + 3);
    return {x, y, x + w, y + h};
  }

  void PatBlt(std::uint32_t rop, Rect dest) {
    if (rop == 0x00F00021) p_.FillRect(dest, dc().brush);
    if (rop == 0x42 || rop == 0x00FF0062)
      p_.FillRect(dest, Brush{true, rop == 0x42 ? 0u : 0xFFFFFFu, -1});
  }

  // The three bitmap records differ in where the DIB starts and which parameters come first;
  // first is the parameter that begins the source rectangle.
  void Dib(const Reader& r, std::size_t dibAt, std::size_t first, bool stretch) {
    if (!r.Has(dibAt, 1)) return;
    const std::uint8_t* dib = r.data() + dibAt;
    const std::size_t size = r.size() - dibAt;
    const std::size_t header = DibHeaderSize(dib, size);
    if (header == 0) return;
    Bitmap bitmap;
    bitmap.file = DibFile(dib, header, dib + header, size - header, bitmap.alpha);
    Rect dest, source;
    if (stretch) {
      const double sh = Param(r, first), sw = Param(r, first + 1);
      const double sy = Param(r, first + 2), sx = Param(r, first + 3);
      source = {sx, sy, sx + sw, sy + sh};
      dest = BoxFrom(r, first + 4);
    } else if (r.U16(4) == 0x0940) {
      const double sy = Param(r, first), sx = Param(r, first + 1);
      dest = BoxFrom(r, first + 2);
      source = {sx, sy, sx + dest.right - dest.left, sy + dest.bottom - dest.top};
    } else {
      const double sy = Param(r, 3), sx = Param(r, 4);
      dest = BoxFrom(r, 5);
      source = {sx, sy, sx + dest.right - dest.left, sy + dest.bottom - dest.top};
    }
    bitmap.source = TopDown(Reader(dib, size), source);
    p_.AddBitmap(dest, std::move(bitmap));
  }

  // A source rectangle counts rows from the bottom of a bottom-up DIB.
  static Rect TopDown(const Reader& dib, Rect source) {
    const std::int32_t height = dib.U32(0) >= 40 ? dib.I32(8) : dib.I16(6);
    if (height <= 0) return source;
    return {source.left, height - source.bottom, source.right, height - source.top};
  }

  void TextOut(const Reader& r) {
    const std::size_t length = std::uint16_t(Param(r, 0));
    const std::size_t padded = length + (length & 1);
    if (!r.Has(8, padded + 4)) return;
    const Point at{double(r.I16(8 + padded + 2)), double(r.I16(8 + padded))};
    p_.AddText(at, Utf16From8Bit(r.data() + 8, length, dc().font.charset), {});
  }

  void ExtTextOut(const Reader& r) {
    const std::size_t length = std::uint16_t(Param(r, 2));
    const std::uint16_t options = std::uint16_t(Param(r, 3));
    std::size_t at = 14;
    if (options & 0x6) {
      if (options & 0x2) p_.FillRect(BoxLtrb(r, at), Brush{true, dc().backColor, -1});
      at += 8;
    }
    if (!r.Has(at, length)) return;
    std::vector<double> advances;
    const std::size_t dx = at + length + (length & 1);
    if (r.Has(dx, length * 2)) {
      for (std::size_t k = 0; k < length; ++k) advances.push_back(r.I16(dx + 2 * k));
    }
    p_.AddText(PointAt(r, 0), Utf16From8Bit(r.data() + at, length, dc().font.charset),
               std::move(advances));
  }

  static Rect BoxLtrb(const Reader& r, std::size_t at) {
    return {double(r.I16(at)), double(r.I16(at + 2)), double(r.I16(at + 4)), double(r.I16(at + 6))};
  }

  Player& p_;
  bool windowSet_ = false;
  std::optional<Rect> view_;
};

}  // namespace

std::size_t WmfStart(const Reader& file) {
  const std::size_t header = file.U32(0) == kPlaceableKey ? 22 : 0;
  const std::uint16_t type = file.U16(header), words = file.U16(header + 2);
  if ((type != 1 && type != 2) || words < 9 || !file.Has(header, 18)) return 0;
  return header + 2 * std::size_t(words);
}

std::optional<Rect> PlaceableBounds(const Reader& file, double& perInch) {
  if (file.U32(0) != kPlaceableKey) return std::nullopt;
  perInch = file.U16(14);
  const Rect box{double(file.I16(6)), double(file.I16(8)), double(file.I16(10)),
                 double(file.I16(12))};
  if (perInch <= 0 || box.right <= box.left || box.bottom <= box.top) return std::nullopt;
  return box;
}

std::optional<Rect> PlayWmfRecords(const Reader& file, Picture& out) {
  const std::size_t start = WmfStart(file);
  Player player(out, false);
  player.SetTableSize(file.U16((file.U32(0) == kPlaceableKey ? 22 : 0) + 10));
  WmfPlayer wmf(player);
  std::size_t at = start;
  for (std::size_t records = 0; records < kMaxRecords && !player.Full(); ++records) {
    const std::size_t size = std::size_t(file.U32(at)) * 2;
    if (size < 6 || !file.Has(at, size)) break;
    if (!wmf.Play(Reader(file.data() + at, size))) break;
    at += size;
  }
  return wmf.view();
}

}  // namespace wordproc::metafile::detail
