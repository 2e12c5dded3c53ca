#include <algorithm>

#include "wordproc/core/MetafilePlayer.h"

namespace wordproc::metafile::detail {

namespace {

Color FromColorRef(std::uint32_t ref) {
  return ((ref & 0xFF) << 16) | (ref & 0xFF00) | ((ref >> 16) & 0xFF);
}

Rect RectAt(const Reader& r, std::size_t at) {
  return {double(r.I32(at)), double(r.I32(at + 4)), double(r.I32(at + 8)), double(r.I32(at + 12))};
}

Point PointAt(const Reader& r, std::size_t at) {
  return {double(r.I32(at)), double(r.I32(at + 4))};
}

// count points from at, as 16-bit or 32-bit pairs; none unless the record holds them all.
std::vector<Point> Points(const Reader& r, std::size_t at, std::size_t count, bool small) {
  const std::size_t each = small ? 4 : 8;
  if (at > r.size() || count > (r.size() - at) / each) return {};
  std::vector<Point> points(count);
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t p = at + k * each;
    points[k] = small ? Point{double(r.I16(p)), double(r.I16(p + 2))} : PointAt(r, p);
  }
  return points;
}

Pen PenOf(std::uint32_t style, Color color) {
  Pen pen;
  pen.color = color;
  const std::uint32_t kind = style & 0xF;
  pen.visible = kind != 5;
  if (kind >= 1 && kind <= 4) pen.dash = PenDash(kind);
  const std::uint32_t cap = style & 0xF00, join = style & 0xF000;
  pen.cap = cap == 0x100 ? PenCap::Square : cap == 0x200 ? PenCap::Flat : PenCap::Round;
  pen.join = join == 0x1000 ? PenJoin::Bevel : join == 0x2000 ? PenJoin::Miter : PenJoin::Round;
  return pen;
}

Brush BrushOf(std::uint32_t style, Color color, std::uint32_t hatch) {
  Brush brush;
  brush.color = color;
  brush.visible = style == 0 || style == 2;
  if (style == 2) brush.hatch = int(std::min<std::uint32_t>(hatch, 5));
  return brush;
}

class EmfPlayer {
 public:
  EmfPlayer(Player& player) : p_(player) {}

  // false at the end of the picture.
  bool Play(const Reader& r) {
    const std::uint32_t type = r.U32(0);
    if (type == 14) return false;
    if (!State(type, r) && !Objects(type, r) && !Shapes(type, r) && !Paths(type, r))
      Output(type, r);
    return true;
  }

 private:
  Dc& dc() { return p_.dc(); }

  bool State(std::uint32_t type, const Reader& r) {
    const Point at = PointAt(r, 8);
    switch (type) {
      case 9:
        dc().windowExt = at;
        break;
      case 10:
        dc().windowOrg = at;
        break;
      case 11:
        dc().viewportExt = at;
        break;
      case 12:
        dc().viewportOrg = at;
        break;
      case 17:
        dc().mapMode = int(r.U32(8));
        break;
      case 19:
        dc().winding = r.U32(8) == 2;
        break;
      case 22:
        dc().textAlign = int(r.U32(8));
        break;
      case 24:
        dc().textColor = FromColorRef(r.U32(8));
        break;
      case 25:
        dc().backColor = FromColorRef(r.U32(8));
        break;
      case 27:
        p_.MoveTo(at);
        break;
      case 30:
        p_.IntersectClip(RectAt(r, 8));
        break;
      case 33:
        p_.Save();
        break;
      case 34:
        p_.Restore(r.I32(8));
        break;
      case 35:
        dc().world = XformAt(r, 8);
        break;
      case 36:
        ModifyWorld(XformAt(r, 8), r.U32(32));
        break;
      case 57:
        dc().clockwise = r.U32(8) == 2;
        break;
      case 75:
        SelectClipRegion(r);
        break;
      default:
        return false;
    }
    return true;
  }

  static Xform XformAt(const Reader& r, std::size_t at) {
    return {r.F32(at),      r.F32(at + 4),  r.F32(at + 8),
            r.F32(at + 12), r.F32(at + 16), r.F32(at + 20)};
  }

  void ModifyWorld(const Xform& x, std::uint32_t mode) {
    if (mode == 1) dc().world = Xform();
    if (mode == 2) dc().world = x.Then(dc().world);
    if (mode == 3) dc().world = dc().world.Then(x);
    if (mode == 4) dc().world = x;
  }

  void SelectClipRegion(const Reader& r) {
    const std::uint32_t bytes = r.U32(8), mode = r.U32(12);
    if (bytes < 32) {
      if (mode == 5) p_.SetClip(std::nullopt);
      return;
    }
    const Rect bounds = RectAt(r, 32);
    if (mode == 5) p_.SetClip(bounds);
    if (mode == 1) {
      const auto& clip = dc().clip;
      p_.SetClip(clip ? Rect{std::max(clip->left, bounds.left), std::max(clip->top, bounds.top),
                             std::min(clip->right, bounds.right),
                             std::min(clip->bottom, bounds.bottom)}
                      : bounds);
    }
  }

  bool Objects(std::uint32_t type, const Reader& r) {
    Object o;
    switch (type) {
      case 37:
        p_.SelectObject(r.U32(8));
        return true;
      case 40:
        p_.DeleteObject(r.U32(8));
        return true;
      case 38:
        o.kind = Object::Kind::Pen;
        o.pen = PenOf(r.U32(12), FromColorRef(r.U32(24)));
        o.penWidth = r.I32(16) > 0 ? r.I32(16) : 0;
        break;
      case 95:
        o.kind = Object::Kind::Pen;
        o.pen = PenOf(r.U32(28), FromColorRef(r.U32(40)));
        o.penWidth = (r.U32(28) & 0x10000) && r.U32(32) > 0 ? double(r.U32(32)) : 0;
        o.pen.visible = o.pen.visible && r.U32(36) != 1;
        break;
      case 39:
        o.kind = Object::Kind::Brush;
        o.brush = BrushOf(r.U32(12), FromColorRef(r.U32(16)), r.U32(20));
        break;
      case 93:
      case 94:
        o.kind = Object::Kind::Brush;
        o.brush.visible = false;
        break;
      case 82:
        o = FontAt(r);
        break;
      default:
        return false;
    }
    p_.PutObject(r.U32(8), std::move(o));
    return true;
  }

  static Object FontAt(const Reader& r) {
    Object o;
    o.kind = Object::Kind::Font;
    FontSpec& f = o.font;
    f.height = r.I32(12);
    f.escapement = r.I32(20);
    f.weight = r.I32(28);
    f.italic = r.U8(32) != 0, f.underline = r.U8(33) != 0, f.strikeOut = r.U8(34) != 0;
    f.charset = r.U8(35);
    for (std::size_t k = 0; k < 32; ++k) {
      const char16_t c = r.U16(40 + 2 * k);
      if (c == 0) break;
      f.family += c;
    }
    return o;
  }

  bool Shapes(std::uint32_t type, const Reader& r) {
    if ((type >= 2 && type <= 6) || (type >= 85 && type <= 89)) {
      const bool small = type >= 85;
      Poly(small ? type - 83 : type, Points(r, 28, r.U32(24), small));
      return true;
    }
    if (type == 7 || type == 8 || type == 90 || type == 91) {
      PolyPoly(r, type == 8 || type == 91, type >= 90);
      return true;
    }
    const Rect box = RectAt(r, 8);
    switch (type) {
      case 42:
        p_.EllipseShape(box);
        break;
      case 43:
        p_.RectangleShape(box, 0, 0);
        break;
      case 44:
        p_.RectangleShape(box, r.I32(24), r.I32(28));
        break;
      case 45:
        p_.ArcShape(box, PointAt(r, 24), PointAt(r, 32), Player::ArcKind::Open);
        break;
      case 46:
        p_.ArcShape(box, PointAt(r, 24), PointAt(r, 32), Player::ArcKind::Chord);
        break;
      case 47:
        p_.ArcShape(box, PointAt(r, 24), PointAt(r, 32), Player::ArcKind::Pie);
        break;
      case 55:
        p_.ArcShape(box, PointAt(r, 24), PointAt(r, 32), Player::ArcKind::To);
        break;
      case 54:
        p_.LineTo(PointAt(r, 8));
        break;
      default:
        return false;
    }
    return true;
  }

  // kind: 2 bezier, 3 polygon, 4 polyline, 5 bezier from the current point, 6 lines from it.
  void Poly(std::uint32_t kind, const std::vector<Point>& points) {
    if (kind == 2 || kind == 5) p_.Bezier(points, kind == 5);
    if (kind == 3 || kind == 4) p_.Polyline(points, kind == 3, kind == 3);
    if (kind == 6) p_.PolylineTo(points);
  }

  void PolyPoly(const Reader& r, bool closed, bool small) {
    const std::size_t count = r.U32(24), total = r.U32(28);
    if (count > (r.size() - std::min<std::size_t>(r.size(), 32)) / 4) return;
    const std::vector<Point> points = Points(r, 32 + 4 * count, total, small);
    if (points.empty()) return;
    std::size_t at = 0;
    std::vector<std::vector<Point>> figures;
    for (std::size_t k = 0; k < count; ++k) {
      const std::size_t n = r.U32(32 + 4 * k);
      if (n > points.size() - at) break;
      figures.emplace_back(points.begin() + std::ptrdiff_t(at),
                           points.begin() + std::ptrdiff_t(at + n));
      at += n;
    }
    if (closed) return p_.PolyPolygon(figures, true);
    for (const auto& figure : figures) p_.Polyline(figure, false, false);
  }

  bool Paths(std::uint32_t type, const Reader& r) {
    switch (type) {
      case 59:
        p_.BeginPath();
        break;
      case 60:
        p_.EndPath();
        break;
      case 61:
        p_.CloseFigure();
        break;
      case 62:
        p_.DrawPath(false, true);
        break;
      case 63:
        p_.DrawPath(true, true);
        break;
      case 64:
        p_.DrawPath(true, false);
        break;
      case 67:
        if (r.U32(8) == 5) p_.SetClip(std::nullopt);
        p_.ClipToPath();
        break;
      case 68:
        p_.AbortPath();
        break;
      default:
        return false;
    }
    return true;
  }

  void Output(std::uint32_t type, const Reader& r) {
    switch (type) {
      case 76:
        return Blit(r, false);
      case 77:
      case 114:
      case 116:
        return Blit(r, true);
      case 80:
      case 81:
        return StretchDib(r, type == 80);
      case 83:
      case 84:
        return TextOut(r, type == 84);
      default:
        return;
    }
  }

  std::string BitmapFile(const Reader& r, std::size_t at, bool& alpha) {
    const std::uint32_t offBmi = r.U32(at), cbBmi = r.U32(at + 4);
    const std::uint32_t offBits = r.U32(at + 8), cbBits = r.U32(at + 12);
    if (!r.Has(offBmi, cbBmi) || !r.Has(offBits, cbBits)) return {};
    return DibFile(r.data() + offBmi, cbBmi, r.data() + offBits, cbBits, alpha);
  }

  void Blit(const Reader& r, bool stretch) {
    const double x = r.I32(24), y = r.I32(28), cx = r.I32(32), cy = r.I32(36);
    const Rect dest{x, y, x + cx, y + cy};
    const std::uint32_t rop = r.U32(40);
    if (r.U32(88) == 0) {
      if (rop == 0x00F00021) p_.FillRect(dest, dc().brush);
      if (rop == 0x42 || rop == 0x00FF0062)
        p_.FillRect(dest, Brush{true, rop == 0x42 ? 0u : 0xFFFFFFu, -1});
      return;
    }
    Bitmap bitmap;
    bitmap.alpha = r.U32(0) == 114 && (rop & 0xFF000000u) != 0;
    bitmap.file = BitmapFile(r, 84, bitmap.alpha);
    const double sx = r.I32(44), sy = r.I32(48);
    bitmap.source = {sx, sy, sx + (stretch ? r.I32(100) : cx), sy + (stretch ? r.I32(104) : cy)};
    p_.AddBitmap(dest, std::move(bitmap));
  }

  void StretchDib(const Reader& r, bool toDevice) {
    const double x = r.I32(24), y = r.I32(28);
    const double sx = r.I32(32), sy = r.I32(36), scx = r.I32(40), scy = r.I32(44);
    const double cx = toDevice ? scx : r.I32(72), cy = toDevice ? scy : r.I32(76);
    Bitmap bitmap;
    bitmap.file = BitmapFile(r, 48, bitmap.alpha);
    // The source rectangle counts rows from the bottom of a bottom-up DIB.
    const std::uint32_t offBmi = r.U32(48);
    const std::int32_t height = r.U32(offBmi) >= 40 ? r.I32(offBmi + 8) : r.I16(offBmi + 6);
    const double top = height > 0 ? height - sy - scy : sy;
    bitmap.source = {sx, top, sx + scx, top + scy};
    p_.AddBitmap({x, y, x + cx, y + cy}, std::move(bitmap));
  }

  void TextOut(const Reader& r, bool wide) {
    const std::uint32_t count = r.U32(44), offString = r.U32(48), options = r.U32(52);
    if (options & 0x2) p_.FillRect(RectAt(r, 56), Brush{true, dc().backColor, -1});
    if ((options & 0x10) || count == 0 || !r.Has(offString, std::size_t(count) * (wide ? 2 : 1)))
      return;
    std::u16string chars;
    if (wide) {
      for (std::uint32_t k = 0; k < count; ++k) chars += char16_t(r.U16(offString + 2 * k));
    } else {
      chars = Utf16From8Bit(r.data() + offString, count, dc().font.charset);
    }
    std::vector<double> advances;
    const std::uint32_t offDx = r.U32(72);
    const std::size_t step = (options & 0x2000) ? 8 : 4;
    if (offDx != 0 && r.Has(offDx, count * step)) {
      for (std::uint32_t k = 0; k < count; ++k) advances.push_back(r.I32(offDx + k * step));
    }
    p_.AddText(PointAt(r, 36), std::move(chars), std::move(advances));
  }

  Player& p_;
};

void SetFrame(const Reader& header, Player& player, Picture& out) {
  const Rect bounds = RectAt(header, 8), frame = RectAt(header, 24);
  const double devX = header.I32(72), devY = header.I32(76);
  const double mmX = header.I32(80), mmY = header.I32(84);
  const bool usable = devX > 0 && devY > 0 && mmX > 0 && mmY > 0 && frame.right > frame.left &&
                      frame.bottom > frame.top;
  if (usable) {
    const double perMmX = devX / mmX, perMmY = devY / mmY;
    player.SetDevicePerMm(perMmX, perMmY);
    out.frame = {frame.left / 100 * perMmX, frame.top / 100 * perMmY, frame.right / 100 * perMmX,
                 frame.bottom / 100 * perMmY};
    out.widthPt = (frame.right - frame.left) / 100 * 72 / 25.4;
    out.heightPt = (frame.bottom - frame.top) / 100 * 72 / 25.4;
  } else {
    out.frame = {bounds.left, bounds.top, bounds.right + 1, bounds.bottom + 1};
    out.widthPt = (out.frame.right - out.frame.left) * 0.75;
    out.heightPt = (out.frame.bottom - out.frame.top) * 0.75;
  }
}

}  // namespace

void PlayEmf(const Reader& file, Picture& out) {
  Player player(out, true);
  SetFrame(file, player, out);
  EmfPlayer emf(player);
  std::size_t at = 0;
  for (std::size_t records = 0; records < kMaxRecords && !player.Full(); ++records) {
    const std::uint32_t size = file.U32(at + 4);
    if (size < 8 || !file.Has(at, size)) break;
    if (!emf.Play(Reader(file.data() + at, size))) break;
    at += size;
  }
}

}  // namespace wordproc::metafile::detail
