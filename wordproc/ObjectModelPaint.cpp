// The paint of shapes through automation: LineFormat, FillFormat, ShadowFormat and their
// ColorFormat. Reads answer for the first shape, writes go to all of them.
#include <cmath>

#include "wordproc/ObjectModel.h"
#include "wordproc/core/FillPatterns.h"

namespace wordproc::om {

namespace {

// ColorFormat.RGB is a COLORREF, 0x00BBGGRR; the model keeps 0xRRGGBB.
int ToColorRef(Rgb rgb) {
  return int(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
}

Rgb FromColorRef(int value) {
  auto v = std::uint32_t(value) & 0xFFFFFF;
  return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

Shape& Lookup(DocumentObj& doc, std::uint32_t id) {
  Shape* shape = doc.editor().findShape(id);
  if (!shape) Fail("Объект удалён: фигуры больше нет в документе");
  return *shape;
}

float Share(const Variant& v) {
  const float share = v.toFloat();
  if (!(share >= 0 && share <= 1)) Fail("Значение вне допустимого диапазона");
  return share;
}

float Points(const Variant& v, float lo) {
  const float points = v.toFloat();
  if (!(points >= lo && points <= 1584)) Fail("Значение вне допустимого диапазона");
  return points;
}

enum class Slot { Line, Fore, Back, Shadow };

// A fill's colours are its first and last, wherever a gradient or pattern keeps them.
void SetColor(Shape& s, Slot slot, Rgb rgb) {
  switch (slot) {
    case Slot::Line:
      s.line.color = rgb;
      return;
    case Slot::Shadow:
      s.shadow.color = rgb;
      return;
    case Slot::Fore:
    case Slot::Back:
      break;
  }
  Rgb& own = slot == Slot::Fore ? s.fill.color : s.fill.backColor;
  for (GradientStop& stop : s.fill.stops) {
    if (stop.color == own) stop.color = rgb;
  }
  own = rgb;
}

Rgb ColorOf(const Shape& s, Slot slot) {
  switch (slot) {
    case Slot::Line:
      return s.line.color;
    case Slot::Fore:
      return s.fill.color;
    case Slot::Back:
      return s.fill.backColor;
    case Slot::Shadow:
      return s.shadow.color;
  }
  return 0;
}

// Shapes a format object speaks for.
class PaintPart : public DocumentPart {
 public:
  PaintPart(std::shared_ptr<DocumentObj> doc, std::vector<std::uint32_t> ids)
      : DocumentPart(std::move(doc)), ids_(std::move(ids)) {}

 protected:
  Shape& shape() {
    if (ids_.empty()) Fail("Нет фигур");
    return Lookup(doc(), ids_.front());
  }

  template <class Fn>
  void each(Fn fn) {
    if (ids_.empty()) Fail("Нет фигур");
    for (auto id : ids_) fn(Lookup(doc(), id));
    doc().editor().touch();
  }

  std::vector<std::uint32_t> ids_;
};

class ColorFormatObj : public PaintPart {
 public:
  ColorFormatObj(std::shared_ptr<DocumentObj> doc, std::vector<std::uint32_t> ids, Slot slot)
      : PaintPart(std::move(doc), std::move(ids)), slot_(slot) {}

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    using C = ColorFormatObj;
    static const Members<C> members(
        {{"RGB", [](C& c, Args&) { return Variant(ToColorRef(ColorOf(c.shape(), c.slot_))); },
          [](C& c, Args&, const Variant& v) {
            const Rgb rgb = FromColorRef(v.toInt());
            c.each([&](Shape& s) { SetColor(s, c.slot_, rgb); });
          }}},
        "RGB");
    return members.dispatch(*this, member, kind, args);
  }

 private:
  Slot slot_;
};

DispatchPtr ColorFormat(const std::shared_ptr<DocumentObj>& doc,
                        const std::vector<std::uint32_t>& ids, Slot slot) {
  return std::make_shared<ColorFormatObj>(doc, ids, slot);
}

// The style, width or length of the arrowhead at either end.
template <class T>
Member<T> ArrowStyleMember(const char* name, Arrowhead LineFormat::*end) {
  return {name, [end](T& t, Args&) { return Variant(int((t.shape().line.*end).style)); },
          [end](T& t, Args&, const Variant& v) {
            const auto style = ArrowStyle(EnumArg(v, {1, 2, 3, 4, 5, 6}));
            t.each([&](Shape& s) { (s.line.*end).style = style; });
          }};
}

template <class T>
Member<T> ArrowSizeMember(const char* name, Arrowhead LineFormat::*end, int Arrowhead::*size) {
  return {name, [end, size](T& t, Args&) { return Variant((t.shape().line.*end).*size); },
          [end, size](T& t, Args&, const Variant& v) {
            const int value = EnumArg(v, {1, 2, 3});
            t.each([&](Shape& s) { (s.line.*end).*size = value; });
          }};
}

class LineFormatObj : public PaintPart {
 public:
  using PaintPart::each;
  using PaintPart::PaintPart;
  using PaintPart::shape;

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    using L = LineFormatObj;
    static const Members<L> members({
        {"Visible", [](L& l, Args&) { return TriState(l.shape().line.visible); },
         [](L& l, Args&, const Variant& v) {
           l.each([&](Shape& s) { s.line.visible = v.toBool(); });
         }},
        {"Weight", [](L& l, Args&) { return Variant(l.shape().line.weight); },
         [](L& l, Args&, const Variant& v) {
           const float w = Points(v, 0);
           l.each([&](Shape& s) { s.line.weight = w; });
         }},
        {"DashStyle", [](L& l, Args&) { return Variant(int(l.shape().line.dash)); },
         [](L& l, Args&, const Variant& v) {
           auto dash = DashStyle(EnumArg(v, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
           l.each([&](Shape& s) { s.line.dash = dash; });
         }},
        {"Style", [](L& l, Args&) { return Variant(int(l.shape().line.style)); },
         [](L& l, Args&, const Variant& v) {
           auto style = LineStyle(EnumArg(v, {1, 2, 3, 4, 5}));
           l.each([&](Shape& s) { s.line.style = style; });
         }},
        {"Transparency", [](L& l, Args&) { return Variant(1 - l.shape().line.alpha); },
         [](L& l, Args&, const Variant& v) {
           const float alpha = 1 - Share(v);
           l.each([&](Shape& s) { s.line.alpha = alpha; });
         }},
        {"ForeColor", [](L& l, Args&) { return Variant(ColorFormat(l.doc_, l.ids_, Slot::Line)); }},
        ArrowStyleMember<L>("BeginArrowheadStyle", &LineFormat::head),
        ArrowStyleMember<L>("EndArrowheadStyle", &LineFormat::tail),
        ArrowSizeMember<L>("BeginArrowheadWidth", &LineFormat::head, &Arrowhead::width),
        ArrowSizeMember<L>("EndArrowheadWidth", &LineFormat::tail, &Arrowhead::width),
        ArrowSizeMember<L>("BeginArrowheadLength", &LineFormat::head, &Arrowhead::length),
        ArrowSizeMember<L>("EndArrowheadLength", &LineFormat::tail, &Arrowhead::length),
    });
    return members.dispatch(*this, member, kind, args);
  }
};

// MsoPatternType numbers, from msoPattern5Percent (1) to msoPatternDiagonalCross (54).
const char* const kPatterns[] = {
    "pct5",     "pct10",      "pct20",    "pct25",     "pct30",      "pct40",      "pct50",
    "pct60",    "pct70",      "pct75",    "pct80",     "pct90",      "dkHorz",     "dkVert",
    "dkDnDiag", "dkUpDiag",   "smCheck",  "trellis",   "ltHorz",     "ltVert",     "ltDnDiag",
    "ltUpDiag", "smGrid",     "dotDmnd",  "wdDnDiag",  "wdUpDiag",   "dashUpDiag", "dashDnDiag",
    "narVert",  "narHorz",    "dashVert", "dashHorz",  "lgConfetti", "lgGrid",     "horzBrick",
    "lgCheck",  "smConfetti", "zigZag",   "solidDmnd", "diagBrick",  "openDmnd",   "plaid",
    "sphere",   "weave",      "dotGrid",  "divot",     "shingle",    "wave",       "horz",
    "vert",     "cross",      "dnDiag",   "upDiag",    "diagCross"};

int PatternNumber(const std::string& preset) {
  for (int k = 0; k < 54; ++k) {
    if (preset == kPatterns[k]) return k + 1;
  }
  return -2;  // msoPatternMixed
}

GradientStop Stop(float position, Rgb color, float alpha) {
  return {position, color, alpha};
}

// MsoGradientStyle and its variants: 1 and 2 run one way and back, 3 and 4 put one colour at
// both edges; from a corner the variant names the corner, from the centre which colour is there.
void TwoColorGradient(FillFormat& fill, int style, int variant) {
  const GradientStop fore = Stop(0, fill.color, fill.alpha);
  const GradientStop back = Stop(0, fill.backColor, fill.backAlpha);
  auto at = [](GradientStop s, float position) {
    s.position = position;
    return s;
  };
  fill.visible = true;
  fill.type = FillType::Gradient;
  fill.path = GradientPath::Linear;
  fill.scaled = false;
  static const float kAngles[] = {90, 0, 45, 135};
  if (style <= 4) {
    fill.angle = kAngles[style - 1];
    const bool reversed = variant == 2 || variant == 4;
    const GradientStop& a = reversed ? back : fore;
    const GradientStop& b = reversed ? fore : back;
    fill.stops = variant <= 2 ? std::vector<GradientStop>{at(a, 0), at(b, 1)}
                              : std::vector<GradientStop>{at(a, 0), at(b, 0.5f), at(a, 1)};
    return;
  }
  fill.path = style == 5 ? GradientPath::Rect : GradientPath::Shape;
  const bool foreInside = style == 5 || variant != 2;
  fill.stops = {at(foreInside ? fore : back, 0), at(foreInside ? back : fore, 1)};
  float l = 0.5f, t = 0.5f;
  if (style == 5) {
    l = (variant == 2 || variant == 4) ? 1.0f : 0.0f;
    t = variant >= 3 ? 1.0f : 0.0f;
  }
  fill.focusLeft = l;
  fill.focusTop = t;
  fill.focusRight = 1 - l;
  fill.focusBottom = 1 - t;
}

class FillFormatObj : public PaintPart {
 public:
  using PaintPart::each;
  using PaintPart::PaintPart;
  using PaintPart::shape;

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    using F = FillFormatObj;
    static const Members<F> members({
        {"Visible", [](F& f, Args&) { return TriState(f.shape().fill.visible); },
         [](F& f, Args&, const Variant& v) {
           f.each([&](Shape& s) { s.fill.visible = v.toBool(); });
         }},
        {"ForeColor", [](F& f, Args&) { return Variant(ColorFormat(f.doc_, f.ids_, Slot::Fore)); }},
        {"BackColor", [](F& f, Args&) { return Variant(ColorFormat(f.doc_, f.ids_, Slot::Back)); }},
        {"Type", [](F& f, Args&) { return Variant(int(f.shape().fill.type)); }},
        {"Transparency", [](F& f, Args&) { return Variant(1 - f.shape().fill.alpha); },
         [](F& f, Args&, const Variant& v) {
           const float alpha = 1 - Share(v);
           f.each([&](Shape& s) {
             s.fill.alpha = alpha;
             for (GradientStop& stop : s.fill.stops) stop.alpha = alpha;
           });
         }},
        {"Pattern",
         [](F& f, Args&) {
           const FillFormat& fill = f.shape().fill;
           return Variant(fill.type == FillType::Patterned ? PatternNumber(fill.pattern) : -2);
         }},
        {"Solid",
         [](F& f, Args&) {
           f.each([](Shape& s) {
             s.fill.visible = true;
             s.fill.type = FillType::Solid;
           });
           return Variant();
         }},
        {"Patterned",
         [](F& f, Args& a) {
           AtMost(a, 1);
           const int number = RequiredInt(a, 0);
           if (number < 1 || number > 54) Fail("Значение вне допустимого диапазона");
           f.each([&](Shape& s) {
             s.fill.visible = true;
             s.fill.type = FillType::Patterned;
             s.fill.pattern = kPatterns[number - 1];
           });
           return Variant();
         }},
        {"TwoColorGradient",
         [](F& f, Args& a) {
           AtMost(a, 2);
           const int style = EnumArg(a.empty() ? Variant() : a[0], {1, 2, 3, 4, 5, 6, 7});
           const int variant = RequiredInt(a, 1);
           if (variant < 1 || variant > 4) Fail("Значение вне допустимого диапазона");
           f.each([&](Shape& s) { TwoColorGradient(s.fill, style == 6 ? 7 : style, variant); });
           return Variant();
         }},
    });
    return members.dispatch(*this, member, kind, args);
  }
};

class ShadowFormatObj : public PaintPart {
 public:
  using PaintPart::each;
  using PaintPart::PaintPart;
  using PaintPart::shape;

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    using S = ShadowFormatObj;
    static const Members<S> members({
        {"Visible", [](S& s, Args&) { return TriState(s.shape().shadow.visible); },
         [](S& s, Args&, const Variant& v) {
           s.each([&](Shape& shape) { shape.shadow.visible = v.toBool(); });
         }},
        {"ForeColor",
         [](S& s, Args&) { return Variant(ColorFormat(s.doc_, s.ids_, Slot::Shadow)); }},
        {"Transparency", [](S& s, Args&) { return Variant(1 - s.shape().shadow.alpha); },
         [](S& s, Args&, const Variant& v) {
           const float alpha = 1 - Share(v);
           s.each([&](Shape& shape) { shape.shadow.alpha = alpha; });
         }},
        {"Blur", [](S& s, Args&) { return Variant(s.shape().shadow.blur); },
         [](S& s, Args&, const Variant& v) {
           const float blur = Points(v, 0);
           s.each([&](Shape& shape) { shape.shadow.blur = blur; });
         }},
        {"OffsetX", [](S& s, Args&) { return Variant(s.offset().first); },
         [](S& s, Args&, const Variant& v) { s.setOffset(Points(v, -1584), std::nullopt); }},
        {"OffsetY", [](S& s, Args&) { return Variant(s.offset().second); },
         [](S& s, Args&, const Variant& v) { s.setOffset(std::nullopt, Points(v, -1584)); }},
    });
    return members.dispatch(*this, member, kind, args);
  }

 private:
  std::pair<float, float> offset() {
    const ShadowFormat& shadow = shape().shadow;
    const double radians = double(shadow.direction) * M_PI / 180;
    return {float(shadow.distance * std::cos(radians)), float(shadow.distance * std::sin(radians))};
  }

  // The model keeps distance and direction; one offset changes and the other stays.
  void setOffset(std::optional<float> x, std::optional<float> y) {
    each([&](Shape& s) {
      const double radians = double(s.shadow.direction) * M_PI / 180;
      const double dx = x ? *x : s.shadow.distance * std::cos(radians);
      const double dy = y ? *y : s.shadow.distance * std::sin(radians);
      s.shadow.distance = float(std::hypot(dx, dy));
      double degrees = std::atan2(dy, dx) * 180 / M_PI;
      if (degrees < 0) degrees += 360;
      s.shadow.direction = float(degrees);
      s.shadow.visible = true;
    });
  }
};

// How text wraps around shapes: WdWrapType (square 0, tight 1, through 2, in front 3, top and
// bottom 4) and WdWrapSideType (both 0, left 1, right 2, largest 3). A change lays the text out
// again.
class WrapFormatObj : public PaintPart {
 public:
  using PaintPart::PaintPart;

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    using W = WrapFormatObj;
    static const Members<W> members({
        {"Type", [](W& w, Args&) { return Variant(kTypes[int(w.wrap().type)]); },
         [](W& w, Args&, const Variant& v) {
           const int type = EnumArg(v, {0, 1, 2, 3, 4});
           const auto it = std::find(std::begin(kTypes), std::end(kTypes), type);
           w.change([&](WrapFormat& f) { f.type = WrapType(it - std::begin(kTypes)); });
         }},
        {"Side", [](W& w, Args&) { return Variant(int(w.wrap().side)); },
         [](W& w, Args&, const Variant& v) {
           const int side = EnumArg(v, {0, 1, 2, 3});
           w.change([&](WrapFormat& f) { f.side = WrapSide(side); });
         }},
        {"DistanceTop", [](W& w, Args&) { return Variant(w.wrap().top); },
         [](W& w, Args&, const Variant& v) {
           w.change([&](WrapFormat& f) { f.top = Points(v, 0); });
         }},
        {"DistanceBottom", [](W& w, Args&) { return Variant(w.wrap().bottom); },
         [](W& w, Args&, const Variant& v) {
           w.change([&](WrapFormat& f) { f.bottom = Points(v, 0); });
         }},
        {"DistanceLeft", [](W& w, Args&) { return Variant(w.wrap().left); },
         [](W& w, Args&, const Variant& v) {
           w.change([&](WrapFormat& f) { f.left = Points(v, 0); });
         }},
        {"DistanceRight", [](W& w, Args&) { return Variant(w.wrap().right); },
         [](W& w, Args&, const Variant& v) {
           w.change([&](WrapFormat& f) { f.right = Points(v, 0); });
         }},
    });
    return members.dispatch(*this, member, kind, args);
  }

 private:
  // By WrapType: none, square, tight, through, top and bottom.
  static constexpr int kTypes[] = {3, 0, 1, 2, 4};

  const WrapFormat& wrap() { return shape().wrap; }

  template <class Fn>
  void change(Fn fn) {
    each([&](Shape& s) { fn(s.wrap); });
    doc().editor().layout().invalidateFrom(0);
  }
};

}  // namespace

DispatchPtr MakeWrapFormat(const std::shared_ptr<DocumentObj>& doc,
                           std::vector<std::uint32_t> ids) {
  return std::make_shared<WrapFormatObj>(doc, std::move(ids));
}

DispatchPtr MakeLineFormat(const std::shared_ptr<DocumentObj>& doc,
                           std::vector<std::uint32_t> ids) {
  return std::make_shared<LineFormatObj>(doc, std::move(ids));
}

DispatchPtr MakeFillFormat(const std::shared_ptr<DocumentObj>& doc,
                           std::vector<std::uint32_t> ids) {
  return std::make_shared<FillFormatObj>(doc, std::move(ids));
}

DispatchPtr MakeShadowFormat(const std::shared_ptr<DocumentObj>& doc,
                             std::vector<std::uint32_t> ids) {
  return std::make_shared<ShadowFormatObj>(doc, std::move(ids));
}

}  // namespace wordproc::om
