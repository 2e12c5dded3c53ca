#include "wordproc/core/Metafile.h"

#include <algorithm>
#include <string_view>

#include "wordproc/core/MetafilePlayer.h"

namespace wordproc::metafile {

namespace {

using detail::Reader;

constexpr double kPointsPerInch = 72;

// What the items cover, for a WMF that names neither window nor bounds.
Rect Extents(const Picture& picture) {
  Rect r{1e300, 1e300, -1e300, -1e300};
  auto add = [&](Point p) {
    r.left = std::min(r.left, p.x), r.right = std::max(r.right, p.x);
    r.top = std::min(r.top, p.y), r.bottom = std::max(r.bottom, p.y);
  };
  for (const Drawn& drawn : picture.items) {
    if (const auto* path = std::get_if<Path>(&drawn.item)) {
      for (const Point& p : path->points) add(p);
    } else if (const auto* text = std::get_if<Text>(&drawn.item)) {
      add(text->at);
    } else if (const auto* bitmap = std::get_if<Bitmap>(&drawn.item)) {
      add({bitmap->dest.left, bitmap->dest.top});
      add({bitmap->dest.right, bitmap->dest.bottom});
    }
  }
  return r.left <= r.right ? r : Rect{0, 0, 1, 1};
}

void SetWmfFrame(const Reader& file, const std::optional<Rect>& view, Picture& out) {
  double perInch = 0;
  const std::optional<Rect> bounds = detail::PlaceableBounds(file, perInch);
  out.frame = view ? *view : bounds ? *bounds : Extents(out);
  if (bounds) {
    out.widthPt = (bounds->right - bounds->left) / perInch * kPointsPerInch;
    out.heightPt = (bounds->bottom - bounds->top) / perInch * kPointsPerInch;
  } else {
    // Without bounds the units are unknown; twips are what drawing programs write.
    out.widthPt = std::abs(out.frame.right - out.frame.left) / 20;
    out.heightPt = std::abs(out.frame.bottom - out.frame.top) / 20;
  }
}

}  // namespace

Kind KindOf(const std::uint8_t* data, std::size_t size) {
  const Reader r(data, size);
  if (size >= 88 && r.U32(0) == 1 && r.U32(40) == 0x464D4520) return Kind::Emf;
  if (size >= 18 && detail::WmfStart(r) != 0) return Kind::Wmf;
  return Kind::None;
}

bool LooksLikeSvg(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data),
                              std::min<std::size_t>(size, 4096));
  std::size_t at = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  while (at < text.size() &&
         (text[at] == ' ' || text[at] == '\t' || text[at] == '\r' || text[at] == '\n'))
    ++at;
  if (text.compare(at, 1, "<") != 0) return false;
  if (text.compare(at, 4, "<svg") == 0) return true;
  const bool prolog = text.compare(at, 5, "<?xml") == 0 || text.compare(at, 4, "<!--") == 0 ||
                      text.compare(at, 9, "<!DOCTYPE") == 0;
  return prolog && text.find("<svg", at) != std::string_view::npos;
}

std::optional<std::pair<double, double>> NaturalSize(const std::uint8_t* data, std::size_t size) {
  const Kind kind = KindOf(data, size);
  if (kind == Kind::None) return std::nullopt;
  double perInch = 0;
  // The header holds the size, but a WMF without bounds is measured by drawing it.
  const bool inHeader = kind == Kind::Emf || detail::PlaceableBounds(Reader(data, size), perInch);
  const std::size_t header = kind == Kind::Emf ? 88 : 40;
  const std::optional<Picture> picture = Read(data, inHeader ? std::min(size, header) : size);
  if (!picture || picture->widthPt <= 0) return std::nullopt;
  return std::make_pair(picture->widthPt, picture->heightPt);
}

std::optional<Picture> Read(const std::uint8_t* data, std::size_t size) {
  const Kind kind = KindOf(data, size);
  if (kind == Kind::None) return std::nullopt;
  const Reader file(data, size);
  Picture picture;
  if (kind == Kind::Emf) {
    detail::PlayEmf(file, picture);
  } else {
    const std::optional<Rect> view = detail::PlayWmfRecords(file, picture);
    SetWmfFrame(file, view, picture);
  }
  const double w = picture.widthPt, h = picture.heightPt;
  if (!(w > 0 && h > 0 && w < 1e6 && h < 1e6)) picture.widthPt = picture.heightPt = 0;
  return picture;
}

}  // namespace wordproc::metafile
