#include "catalogue/uDrawing.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace catalogue {

namespace {

std::uint8_t* PixelAt(TBitmap& b, int x, int y) {
  return b.ScanLine(y) + 3 * x;
}

int Channel16(int from8, int to8, int pos, int span) {
  int from = from8 << 8, to = to8 << 8;
  return (from + int(std::int64_t(to - from) * pos / span)) >> 8;
}

TColor Between(TColor from, TColor to, int pos, int span) {
  return RGBColor(Channel16(RedOf(from), RedOf(to), pos, span),
                  Channel16(GreenOf(from), GreenOf(to), pos, span),
                  Channel16(BlueOf(from), BlueOf(to), pos, span));
}

TColor BandColor(TColor from, TColor to, int i, int steps) {
  if (steps <= 1) return from;
  auto step = [&](int a, int b) { return a + i * (b - a) / (steps - 1); };
  return RGBColor(step(RedOf(from), RedOf(to)), step(GreenOf(from), GreenOf(to)),
                  step(BlueOf(from), BlueOf(to)));
}

}  // namespace

// In place, so the rows above and the pixels to the left already hold blurred values when a
// pixel is computed; the look of the shadow depends on that.
void BlurBitmap(TBitmap& bitmap, int d) {
  if (d == 0) return;
  const int w = bitmap.Width(), h = bitmap.Height();
  for (int y = 0; y < h; ++y) {
    int upper = y - d < 0 ? y : y - d;
    int lower = y + d > h - 1 ? y : y + d;
    for (int x = 0; x < w; ++x) {
      int left = x - d < 0 ? x : x - d;
      int right = x + d > w - 1 ? x : x + d;
      const std::uint8_t* a = PixelAt(bitmap, left, upper);
      const std::uint8_t* b = PixelAt(bitmap, left, lower);
      const std::uint8_t* c = PixelAt(bitmap, right, upper);
      const std::uint8_t* e = PixelAt(bitmap, right, lower);
      std::uint8_t* p = PixelAt(bitmap, x, y);
      for (int k = 0; k < 3; ++k) p[k] = std::uint8_t((a[k] + b[k] + c[k] + e[k]) / 4);
    }
  }
}

void LinearGradientFill(TBitmap& device, const TRect& r, TColor from, TColor to, bool vertical) {
  int span = vertical ? r.Bottom - r.Top : r.Right - r.Left;
  if (span <= 0) return;
  for (int k = 0; k < span; ++k) {
    TColor c = Between(from, to, k, span);
    if (vertical)
      device.FillRect({r.Left, r.Top + k, r.Right, r.Top + k + 1}, c);
    else
      device.FillRect({r.Left + k, r.Top, r.Left + k + 1, r.Bottom}, c);
  }
}

int MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  std::int64_t n = std::int64_t(number) * numerator;
  std::int64_t q = (std::llabs(n) + std::llabs(denominator) / 2) / std::llabs(denominator);
  return int((n < 0) != (denominator < 0) ? -q : q);
}

void GradientRect(TBitmap& device, const TRect& r, TColor from, TColor to, int steps, bool vertical,
                  const TGradientFill& gradient) {
  if (from == to) {
    device.FillRect(r, from);
    return;
  }
  if (gradient) {
    gradient(device, r, from, to, vertical);
    return;
  }
  int start = vertical ? r.Top : r.Left;
  int size = vertical ? r.Bottom - r.Top : r.Right - r.Left;
  for (int i = 0; i < steps; ++i) {
    int a = start + MulDiv(i, size, steps), b = start + MulDiv(i + 1, size, steps);
    TColor c = BandColor(from, to, i, steps);
    device.FillRect(vertical ? TRect{r.Left, a, r.Right, b} : TRect{a, r.Top, b, r.Bottom}, c);
  }
}

void StretchCopy(const TBitmap& src, const TRect& from, TBitmap& dst, const TRect& to) {
  const int sw = from.Right - from.Left, sh = from.Bottom - from.Top;
  const int dw = to.Right - to.Left, dh = to.Bottom - to.Top;
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
  for (int dy = 0; dy < dh; ++dy) {
    int y = to.Top + dy, sy = from.Top + int(std::int64_t(dy) * sh / dh);
    if (y < 0 || y >= dst.Height() || sy < 0 || sy >= src.Height()) continue;
    for (int dx = 0; dx < dw; ++dx) {
      int x = to.Left + dx, sx = from.Left + int(std::int64_t(dx) * sw / dw);
      if (x < 0 || x >= dst.Width() || sx < 0 || sx >= src.Width()) continue;
      dst.SetPixel(x, y, src.Pixel(sx, sy));
    }
  }
}

void DrawBitmap(TBitmap& dst, int x, int y, const TBitmap& src) {
  StretchCopy(src, {0, 0, src.Width(), src.Height()}, dst,
              {x, y, x + src.Width(), y + src.Height()});
}

void FrameRectangle(TBitmap& canvas, const TRect& r, TColor color, int penWidth) {
  const int a = penWidth / 2, w = penWidth;
  const int left = r.Left - a, top = r.Top - a;
  const int right = r.Right - 1 - a, bottom = r.Bottom - 1 - a;  // first pixel of the far bands
  canvas.FillRect({left, top, right + w, top + w}, color);
  canvas.FillRect({left, bottom, right + w, bottom + w}, color);
  canvas.FillRect({left, top, left + w, bottom + w}, color);
  canvas.FillRect({right, top, right + w, bottom + w}, color);
}

// The shadow is the canvas behind it darkened and blurred, so it blends with whatever the
// cell shows; the work bitmaps are only a few pixels larger than the picture.
void DrawDropShadow(TBitmap& canvas, const TRect& r) {
  if (r.Right <= r.Left || r.Bottom <= r.Top) return;
  const TRect s{r.Left + 3, r.Top + 3, r.Right + 3, r.Bottom + 3};
  TBitmap a(RectWidth(s) + 12, RectHeight(s) + 12);
  TBitmap b(a.Width() - 4, a.Height() - 4);
  StretchCopy(canvas, {s.Left - 6, s.Top - 6, s.Right + 6, s.Bottom + 6}, a,
              {0, 0, a.Width(), a.Height()});
  a.FillRect({6, 6, a.Width() - 6, a.Height() - 6}, kShadowColor);
  BlurBitmap(a, 1);
  BlurBitmap(a, 1);
  StretchCopy(a, {2, 2, a.Width() - 2, a.Height() - 2}, b, {0, 0, b.Width(), b.Height()});
  DrawBitmap(canvas, s.Left - 4, s.Top - 4, b);
}

void DrawSelectedCell(TBitmap& canvas, const TRect& r, const TGradientFill& gradient) {
  const int third = (r.Bottom - r.Top + 1) / 3;
  GradientRect(canvas, {r.Left, r.Top, r.Right, r.Top + third}, RGBColor(0xCD, 0x9B, 0x6D),
               RGBColor(0xE1, 0x86, 0x3F), 1, true, gradient);
  const TRect rest{r.Left, r.Top + third, r.Right, r.Bottom};
  if (rest.Right > rest.Left && rest.Bottom > rest.Top)
    GradientRect(canvas, rest, RGBColor(0xDF, 0x7B, 0x2F), RGBColor(0xCD, 0x9B, 0x6D), 1, true,
                 gradient);
  FrameRectangle(canvas, {r.Left + 3, r.Top + 3, r.Right - 3, r.Bottom - 3}, kSelectedFrameColor,
                 2);
}

TThumbnailCell LayoutThumbnailCell(const TRect& cell, int thumbWidth, int thumbHeight,
                                   int nameWidth) {
  TThumbnailCell c;
  int room = RectWidth(cell) - 2 * kCellMarginX;
  c.Scale = thumbWidth > 0 ? double(room) / thumbWidth : 0;
  c.PictureHeight = int(std::nearbyint(thumbHeight * c.Scale));
  c.RowHeight = c.PictureHeight + kCellMarginTop + kCellMarginBottom;
  c.Picture = {cell.Left + kCellMarginX, cell.Top + kCellMarginTop, cell.Right - kCellMarginX,
               cell.Bottom - kCellMarginBottom};
  c.Unscaled = c.Scale == 1.0;
  int limit = RectWidth(cell) - 8;
  int width = std::min(nameWidth, limit);
  c.NameLeft = cell.Left + (limit - width) / 2 + 4;
  c.NameTop = cell.Bottom - 22;
  return c;
}

int FillRowHeight(const TBitmap* thumbnail, bool thumbnailView) {
  if (!thumbnailView || !thumbnail) return kDefaultRowHeight;
  return thumbnail->Height() + kCellMarginTop + kCellMarginBottom;
}

int ViewSwitchRowHeight(const TBitmap* thumbnail, bool thumbnailView) {
  if (!thumbnailView || !thumbnail) return kDefaultRowHeight;
  return thumbnail->Height() + 2 * kCellMarginTop;
}

}  // namespace catalogue
