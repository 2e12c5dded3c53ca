// The drawing state both metafile formats play their records through: mapping of logical
// coordinates, the object table, saved states, the path being recorded and the budget.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "wordproc/core/Metafile.h"

namespace wordproc::metafile::detail {

// A record's parameters, read little-endian; reads past the end give zero and mark it short.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint32_t U32(std::size_t at) const;
  std::int32_t I32(std::size_t at) const { return std::int32_t(U32(at)); }
  std::uint16_t U16(std::size_t at) const;
  std::int16_t I16(std::size_t at) const { return std::int16_t(U16(at)); }
  std::uint8_t U8(std::size_t at) const { return at < size_ ? data_[at] : 0; }
  float F32(std::size_t at) const;
  bool Has(std::size_t at, std::size_t length) const { return at <= size_ && length <= size_ - at; }
  const std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

struct Xform {
  double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;
  Point Apply(Point p) const { return {p.x * m11 + p.y * m21 + dx, p.x * m12 + p.y * m22 + dy}; }
  Xform Then(const Xform& next) const;
};

struct FontSpec {
  std::u16string family;
  double height = 0;  // logical units; negative for the character height
  int weight = 400;
  bool italic = false, underline = false, strikeOut = false;
  double escapement = 0;  // tenths of a degree
  int charset = 0;
};

struct Object {
  enum class Kind { Other, Pen, Brush, Font } kind = Kind::Other;
  Pen pen;
  Brush brush;
  FontSpec font;
  double penWidth = 0;  // logical units, 0 for a cosmetic pen
};

struct Dc {
  int mapMode = 1;
  Point windowOrg, viewportOrg;
  Point windowExt{1, 1}, viewportExt{1, 1};
  Xform world;
  Pen pen;
  double penWidth = 0;
  Brush brush;
  FontSpec font;
  Color textColor = 0, backColor = 0xFFFFFF;
  int textAlign = 0;
  bool winding = false;
  bool clockwise = false;
  Point current;  // logical
  std::optional<Rect> clip;
};

// Limits on what one picture may make, whatever its records claim.
inline constexpr std::size_t kMaxRecords = 1u << 21;
inline constexpr std::size_t kMaxPoints = 1u << 21;
inline constexpr std::size_t kMaxItems = 1u << 18;
inline constexpr std::size_t kMaxObjects = 1u << 16;
inline constexpr std::size_t kMaxSavedStates = 1024;

class Player {
 public:
  Player(Picture& out, bool emf) : out_(out), emf_(emf) {}

  Dc& dc() { return dc_; }
  Picture& picture() { return out_; }
  void SetDevicePerMm(double x, double y) { deviceMmX_ = x, deviceMmY_ = y; }

  Point Device(Point logical) const;
  double ScaleX() const;  // device units per logical unit along x
  double ScaleY() const;
  Xform Mapping() const;

  void PutObject(std::uint32_t index, Object object);
  void SelectObject(std::uint32_t index);
  void DeleteObject(std::uint32_t index);
  // WMF numbers objects by the lowest free slot of a table of fixed size.
  void SetTableSize(std::size_t size) { tableSize_ = std::min(size, kMaxObjects); }
  void AddObject(Object object);

  void Save();
  void Restore(int which);

  // Figures in logical coordinates; inside a path bracket they add to the path.
  void Polyline(const std::vector<Point>& points, bool closed, bool fill);
  void PolyPolygon(const std::vector<std::vector<Point>>& polygons, bool fill);
  void Bezier(const std::vector<Point>& points, bool fromCurrent);
  void LineTo(Point to);
  void PolylineTo(const std::vector<Point>& points);
  void MoveTo(Point to);
  void RectangleShape(Rect box, double cornerW, double cornerH);
  void EllipseShape(Rect box);
  enum class ArcKind { Open, Chord, Pie, To };
  void ArcShape(Rect box, Point start, Point end, ArcKind kind);

  void BeginPath();
  void EndPath() { inPath_ = false; }
  void CloseFigure();
  void AbortPath();
  void DrawPath(bool stroke, bool fill);
  void ClipToPath();

  void IntersectClip(Rect logical);
  void SetClip(std::optional<Rect> device);

  void AddText(Point logical, std::u16string chars, std::vector<double> logicalAdvances);
  void AddBitmap(Rect logicalDest, Bitmap bitmap);
  void FillRect(Rect logical, Brush brush);

  bool Spend(std::size_t points);
  bool Full() const { return exhausted_; }

 private:
  void Emit(Path path, bool stroke, bool fill);
  void Push(Item item);
  void StartFigure(Point device);
  Pen DevicePen() const;
  std::vector<Point> ArcPoints(Rect box, Point start, Point end) const;

  Picture& out_;
  bool emf_;
  Dc dc_;
  std::vector<Dc> saved_;
  std::map<std::uint32_t, Object> objects_;
  std::set<std::uint32_t> freed_;
  std::size_t tableSize_ = 0, nextSlot_ = 0;
  double deviceMmX_ = 96 / 25.4, deviceMmY_ = 96 / 25.4;
  bool inPath_ = false;
  Path path_;
  bool figureOpen_ = false;
  std::size_t points_ = 0;
  bool exhausted_ = false;
};

std::u16string Utf16From8Bit(const std::uint8_t* data, std::size_t size, int charset);
// The bytes of a DIB's header and colour table; 0 when the header is unusable.
std::size_t DibHeaderSize(const std::uint8_t* dib, std::size_t size);
// A BMP file, or the PNG or JPEG a DIB carries; empty when the header is unusable. alpha asks
// for the alpha of 32-bit bits and says whether the file keeps it.
std::string DibFile(const std::uint8_t* bmi, std::size_t bmiSize, const std::uint8_t* bits,
                    std::size_t bitsSize, bool& alpha);

void PlayEmf(const Reader& file, Picture& out);
// Where a WMF's records begin; 0 when its header is unusable.
std::size_t WmfStart(const Reader& file);
// The bounding box of a placeable WMF and its units per inch.
std::optional<Rect> PlaceableBounds(const Reader& file, double& perInch);
// Draws the records; the window that fills the picture, when the file sets one.
std::optional<Rect> PlayWmfRecords(const Reader& file, Picture& out);

}  // namespace wordproc::metafile::detail
