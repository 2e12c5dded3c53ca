// The pixel work of the catalogue grids' thumbnail cells: blur, gradient bands, the drop
// shadow and the selected-cell background, on bitmaps, plus the cell geometry the grid
// drawing follows. The window layer paints the results; nothing here knows about widgets.
#pragma once

#include <functional>

#include "catalogue/uBitmap.h"

namespace catalogue {

// Counting both edges, as the grid drawing always has.
inline int RectWidth(const TRect& r) {
  return r.Right - r.Left + 1;
}
inline int RectHeight(const TRect& r) {
  return r.Bottom - r.Top + 1;
}

void BlurBitmap(TBitmap& bitmap, int d);

// The platform's two-colour gradient fill; left empty where there is none.
using TGradientFill =
    std::function<void(TBitmap& device, const TRect& r, TColor from, TColor to, bool vertical)>;

// A software two-vertex gradient (16-bit channels, as the system's fill takes them), for
// callers that want the gradient on a bitmap.
void LinearGradientFill(TBitmap& device, const TRect& r, TColor from, TColor to, bool vertical);

// Equal colours fill; otherwise the platform gradient when given, else `steps` bands.
void GradientRect(TBitmap& device, const TRect& r, TColor from, TColor to, int steps, bool vertical,
                  const TGradientFill& gradient = {});

// The system's multiply-divide: rounds halves away from zero; -1 when dividing by zero.
int MulDiv(int number, int numerator, int denominator);

// Nearest-pixel copy of src's rectangle into dst's rectangle; pixels outside src are left
// as dst has them.
void StretchCopy(const TBitmap& src, const TRect& from, TBitmap& dst, const TRect& to);
// dst at (x, y) receives all of src, clipped.
void DrawBitmap(TBitmap& dst, int x, int y, const TBitmap& src);

// An outline of the given pen width centred on the rectangle's one-pixel outline, with a
// transparent brush.
void FrameRectangle(TBitmap& canvas, const TRect& r, TColor color, int penWidth);

void DrawDropShadow(TBitmap& canvas, const TRect& r);
void DrawSelectedCell(TBitmap& canvas, const TRect& r, const TGradientFill& gradient = {});

inline constexpr TColor kGlyphRowColor = RGBColor(0xA6, 0xCA, 0xF0);
inline constexpr TColor kSheetRowColor = RGBColor(0xC0, 0xDC, 0xC0);
inline constexpr TColor kOpenDocsColor = RGBColor(0xC0, 0xC0, 0xC0);
inline constexpr TColor kShadowColor = RGBColor(0x40, 0x40, 0x40);
inline constexpr TColor kNameShadowColor = RGBColor(0xC0, 0xC0, 0xC0);
inline constexpr TColor kSelectedFrameColor = RGBColor(0xE9, 0x99, 0x40);

inline constexpr int kCellMarginX = 20;
inline constexpr int kCellMarginTop = 13;
inline constexpr int kCellMarginBottom = 13 + 13;
inline constexpr int kDefaultRowHeight = 16;

// Where a thumbnail cell draws its parts.
struct TThumbnailCell {
  double Scale = 1;
  int PictureHeight = 0;  // the thumbnail's height at that scale
  int RowHeight = 0;      // what the row becomes when drawn
  TRect Picture;
  bool Unscaled = false;
  int NameLeft = 0;  // the black text; its two shadows are at (+2, +2) and (+1, +1)
  int NameTop = 0;
};
TThumbnailCell LayoutThumbnailCell(const TRect& cell, int thumbWidth, int thumbHeight,
                                   int nameWidth);

// Row heights set by a fill of the grid and by switching the view.
int FillRowHeight(const TBitmap* thumbnail, bool thumbnailView);
int ViewSwitchRowHeight(const TBitmap* thumbnail, bool thumbnailView);

}  // namespace catalogue
