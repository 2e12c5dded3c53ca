#include <algorithm>
#include <cmath>

#include "wordproc/ObjectModel.h"
#include "wordproc/PictureFile.h"
#include "wordproc/core/Ooxml.h"
#include "wordproc/core/ShapeOps.h"

namespace wordproc::om {

namespace {

constexpr float kDuplicateOffset = 10;  // points right and down
constexpr float kLargestShapeSide = 1584 * 3;

float Extent(const Variant& value) {
  float v = value.toFloat();
  if (!(v >= 0 && v <= kLargestShapeSide)) Fail("Значение вне допустимого диапазона");
  return v;
}

Shape& Lookup(DocumentObj& doc, std::uint32_t id) {
  Shape* shape = doc.editor().findShape(id);
  if (!shape) Fail("Объект удалён: фигуры больше нет в документе");
  return *shape;
}

// The body shape holding the shape (itself for a body shape).
AnchoredShape& BodyOf(DocumentObj& doc, std::uint32_t id) {
  std::size_t z = doc.editor().zIndex(id);
  if (z == Editor::npos) Fail("Объект удалён: фигуры больше нет в документе");
  return doc.model().shapes[z];
}

class TextRangeObj : public DocumentPart {
 public:
  TextRangeObj(std::shared_ptr<DocumentObj> doc, std::uint32_t id)
      : DocumentPart(std::move(doc)), id_(id) {}

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    using T = TextRangeObj;
    static const Members<T> members(
        {{"Text", [](T& t, Args&) { return Variant(t.text()); },
          [](T& t, Args&, const Variant& v) { t.setText(v.toString()); }},
         {"Fields", [](T& t, Args&) { return Variant(MakeFields(t.doc_, t.id_, std::nullopt)); }}},
        "Text");
    return members.dispatch(*this, member, kind, args);
  }

 private:
  std::string text() {
    std::string out;
    const auto& paragraphs = Lookup(doc(), id_).text;
    for (std::size_t k = 0; k < paragraphs.size(); ++k) {
      if (k > 0) out += '\r';
      out += paragraphs[k].text();
    }
    return out;
  }

  void setText(const std::string& text) {
    Shape& shape = Lookup(doc(), id_);
    if (shape.kind != ShapeKind::TextBox && shape.kind != ShapeKind::AutoShape)
      Fail("У этой фигуры нет текста");
    RunFormat format;
    if (!shape.text.empty() && !shape.text.front().runs.empty())
      format = shape.text.front().runs.front().format;
    format.fieldCode = nullptr;  // new text is no field's result
    format.field = PageField::None;
    shape.text.clear();
    std::size_t from = 0;
    while (true) {
      std::size_t end = text.find_first_of("\r\n", from);
      Paragraph p;
      p.markFormat = format;
      std::string line = text.substr(from, end == std::string::npos ? end : end - from);
      if (!line.empty()) p.runs.push_back(Run{line, format});
      shape.text.push_back(std::move(p));
      if (end == std::string::npos) break;
      from = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    }
    doc().editor().touch();
  }

  std::uint32_t id_;
};

class TextFrameObj : public DocumentPart {
 public:
  TextFrameObj(std::shared_ptr<DocumentObj> doc, std::uint32_t id)
      : DocumentPart(std::move(doc)), id_(id) {}

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    using T = TextFrameObj;
    static const Members<T> members({
        {"TextRange",
         [](T& t, Args&) {
           return Variant(DispatchPtr(std::make_shared<TextRangeObj>(t.doc_, t.id_)));
         }},
        {"HasText",
         [](T& t, Args&) {
           const auto& text = Lookup(t.doc(), t.id_).text;
           bool any = std::any_of(text.begin(), text.end(),
                                  [](const Paragraph& p) { return p.length() > 0; });
           return TriState(any);
         }},
        Margin("MarginLeft", &TextFrame::left),
        Margin("MarginTop", &TextFrame::top),
        Margin("MarginRight", &TextFrame::right),
        Margin("MarginBottom", &TextFrame::bottom),
        {"VerticalAnchor", [](T& t, Args&) { return Variant(static_cast<int>(t.frame().anchor)); },
         [](T& t, Args&, const Variant& v) {
           t.frame().anchor = static_cast<TextAnchor>(EnumArg(v, {1, 3, 4}));
           t.doc().editor().touch();
         }},
        {"AutoSize", [](T& t, Args&) { return Variant(t.frame().autoFit ? 1 : 0); },
         [](T& t, Args&, const Variant& v) {
           t.frame().autoFit = EnumArg(v, {0, 1}) == 1;
           t.doc().editor().touch();
         }},
    });
    return members.dispatch(*this, member, kind, args);
  }

 private:
  TextFrame& frame() { return Lookup(doc(), id_).frame; }

  // An inset in points, from nothing to the largest length a document holds.
  static Member<TextFrameObj> Margin(const char* name, float TextFrame::*side) {
    return {name, [side](TextFrameObj& t, Args&) { return Variant(t.frame().*side); },
            [side](TextFrameObj& t, Args&, const Variant& v) {
              const float points = v.toFloat();
              if (!(points >= 0 && points <= 1584)) Fail("Значение вне допустимого диапазона");
              t.frame().*side = points;
              t.doc().editor().touch();
            }};
  }

  std::uint32_t id_;
};

// Adjustments of a shape's preset geometry: a rounded rectangle has one, its corner radius as a
// share of the shorter side (0 to 0.5); other presets and freeforms have those of their a:avLst,
// as shares (the formulas' value / 100000).
class AdjustmentsObj : public DocumentPart {
 public:
  AdjustmentsObj(std::shared_ptr<DocumentObj> doc, std::uint32_t id)
      : DocumentPart(std::move(doc)), id_(id) {}

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    using A = AdjustmentsObj;
    static const Members<A> members(
        {
            {"Count", [](A& a, Args&) { return Variant(a.count()); }},
            {"Item", [](A& a, Args& i) { return Variant(a.get(i)); },
             [](A& a, Args& i, const Variant& v) { a.put(i, v.toFloat()); }},
        },
        "Item");
    return members.dispatch(*this, member, kind, args);
  }

 private:
  static constexpr double kShare = 100000;

  bool rounded() {
    const Shape& s = Lookup(doc(), id_);
    return s.kind != ShapeKind::Line && !HasGeneralGeometry(s) &&
           s.autoShapeType == AutoShapeType::RoundedRectangle;
  }
  const std::vector<geometry::Guide>& defaults() {
    static const std::vector<geometry::Guide> none;
    const Shape& s = Lookup(doc(), id_);
    return HasGeneralGeometry(s) ? GeometryOf(s).adjust : none;
  }
  int count() { return rounded() ? 1 : int(defaults().size()); }
  int index(const Args& args) {
    const int k = RequiredInt(args, 0);
    if (k < 1 || k > count()) Fail("Запрошенный элемент семейства не существует");
    return k - 1;
  }

  float get(const Args& args) {
    const int k = index(args);
    Shape& s = Lookup(doc(), id_);
    if (rounded()) return s.adjustment;
    const geometry::Guide& gd = defaults()[std::size_t(k)];
    for (const geometry::Adjust& a : s.adjusts)
      if (a.name == gd.name) return float(a.value / kShare);
    return float(geometry::GuideValues(s.width, s.height).Evaluate(gd.formula) / kShare);
  }

  void put(const Args& args, float value) {
    const int k = index(args);
    Shape& s = Lookup(doc(), id_);
    if (rounded()) {
      if (!(value >= 0 && value <= 0.5f)) Fail("Значение вне допустимого диапазона");
      s.adjustment = value;
    } else {
      if (!std::isfinite(value) || std::fabs(value) > 1e4f)
        Fail("Значение вне допустимого диапазона");
      const std::string name = defaults()[std::size_t(k)].name;
      auto own = std::find_if(s.adjusts.begin(), s.adjusts.end(),
                              [&](const geometry::Adjust& a) { return a.name == name; });
      if (own == s.adjusts.end()) own = s.adjusts.insert(s.adjusts.end(), {name, 0});
      own->value = std::round(double(value) * kShare);
    }
    doc().editor().touch();
  }

  std::uint32_t id_;
};

class GroupItemsObj : public DocumentPart {
 public:
  GroupItemsObj(std::shared_ptr<DocumentObj> doc, std::uint32_t id)
      : DocumentPart(std::move(doc)), id_(id) {}

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    using G = GroupItemsObj;
    static const Members<G> members(
        {
            {"Count", [](G& g, Args&) { return Variant(int(g.group().children.size())); }},
            {"Item", [](G& g, Args& a) { return Variant(MakeShape(g.doc_, g.item(a))); }},
        },
        "Item");
    return members.dispatch(*this, member, kind, args);
  }

 private:
  Shape& group() { return Lookup(doc(), id_); }

  std::uint32_t item(const Args& args) {
    const auto& children = group().children;
    if (!Given(args, 0)) Fail("Не задан номер или имя фигуры");
    if (args[0].type() == wordlink::VarType::String) {
      for (const auto& c : children)
        if (LowerName(c->name) == LowerName(args[0].toString())) return c->id;
    } else {
      int n = args[0].toInt();
      if (n >= 1 && std::size_t(n) <= children.size()) return children[std::size_t(n) - 1]->id;
    }
    Fail("Запрошенный элемент семейства не существует");
  }

  std::uint32_t id_;
};

}  // namespace

// One shape, found by its id each time so that a deleted shape fails cleanly.
class ShapeObj : public DocumentPart {
 public:
  ShapeObj(std::shared_ptr<DocumentObj> doc, std::uint32_t id)
      : DocumentPart(std::move(doc)), id_(id) {}

  static const Members<ShapeObj>& members();

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    return members().dispatch(*this, member, kind, args);
  }

 private:
  Shape& shape() { return Lookup(doc(), id_); }
  Editor& editor() { return doc().editor(); }
  void changed() { editor().touch(); }
  // LineFormat, FillFormat or ShadowFormat of this shape.
  template <class Make>
  DispatchPtr format(Make make) {
    shape();
    return make(doc_, std::vector<std::uint32_t>{id_});
  }

  // A group member's position is reported from the group's own reference.
  float originX() {
    Shape* parent = editor().parentOf(id_);
    return parent ? ShapeObj(doc_, parent->id).left() : 0;
  }
  float originY() {
    Shape* parent = editor().parentOf(id_);
    return parent ? ShapeObj(doc_, parent->id).top() : 0;
  }
  float left() { return originX() + shape().left; }
  float top() { return originY() + shape().top; }
  void setLeft(float v) { shape().left = v - originX(), changed(); }
  void setTop(float v) { shape().top = v - originY(), changed(); }

  void setWidth(float w) {
    Shape& s = shape();
    SetShapeSize(s, w, s.height);
    changed();
  }
  void setHeight(float h) {
    Shape& s = shape();
    SetShapeSize(s, s.width, h);
    changed();
  }

  // Changing the reference keeps the shape where it stands on the page.
  void setRelH(const Variant& value) {
    auto ref = RelH(EnumArg(value, {0, 1, 2, 3, 4, 5, 6, 7}));
    Shape& s = shape();
    if (AnchoredShape* body = editor().anchoredShape(id_)) {
      Layout& layout = doc().layout();
      float x = layout.horizontalOrigin(s.relH, *body) + s.left;
      s.left = x - layout.horizontalOrigin(ref, *body);
    }
    s.relH = ref;
    changed();
  }
  void setRelV(const Variant& value) {
    auto ref = RelV(EnumArg(value, {0, 1, 2, 3, 4, 5, 6, 7}));
    Shape& s = shape();
    if (AnchoredShape* body = editor().anchoredShape(id_)) {
      Layout& layout = doc().layout();
      float y = layout.verticalOrigin(s.relV, *body) + s.top;
      s.top = y - layout.verticalOrigin(ref, *body);
    }
    s.relV = ref;
    changed();
  }

  Variant duplicate() {
    AnchoredShape* body = editor().anchoredShape(id_);
    if (!body) Fail("Фигуру внутри группы нельзя дублировать");
    auto copy = body->shape->clone();
    const std::uint64_t anchor = body->anchorParagraph;
    editor().renumber(*copy);
    copy->left += kDuplicateOffset;
    copy->top += kDuplicateOffset;
    copy->name = ShapeKindName(*copy) + " " + std::to_string(copy->id);
    const std::uint32_t id = copy->id;
    editor().addShape(std::move(copy), anchor);
    return Variant(MakeShape(doc_, id));
  }

  void remove() {
    shape();
    editor().removeShape(id_);
    std::erase(doc().selectedShapes, id_);
  }

  Variant anchor() {
    AnchoredShape& body = BodyOf(doc(), id_);
    std::size_t index = doc().layout().paragraphIndexOf(body.anchorParagraph);
    std::int64_t at = index == Layout::npos ? 0 : editor().paragraphStart(index);
    return Variant(MakeRange(doc_, at, at));
  }

  // msoBringToFront 0, msoSendToBack 1, msoBringForward 2, msoSendBackward 3; the in-front-of
  // and behind-text commands change nothing, shapes are always in front of the text.
  void zOrder(int command) {
    if (!editor().anchoredShape(id_)) Fail("Фигуру внутри группы нельзя переместить");
    const std::size_t z = editor().zIndex(id_);
    const std::size_t top = doc().model().shapes.size() - 1;
    std::size_t to = z;
    if (command == 0) to = top;
    if (command == 1) to = 0;
    if (command == 2) to = std::min(z + 1, top);
    if (command == 3) to = z == 0 ? 0 : z - 1;
    editor().moveShape(id_, to);
  }

  std::uint32_t id_;
};

const Members<ShapeObj>& ShapeObj::members() {
  using S = ShapeObj;
  static const Members<S> table(
      {
          {"Name", [](S& s, Args&) { return Variant(s.shape().name); },
           [](S& s, Args&, const Variant& v) { s.shape().name = v.toString(), s.changed(); }},
          {"Type", [](S& s, Args&) { return Variant(MsoShapeTypeOf(s.shape())); }},
          {"Id", [](S& s, Args&) { return Variant(int(s.shape().id)); }},
          {"AutoShapeType", [](S& s, Args&) { return Variant(MsoAutoShapeTypeOf(s.shape())); },
           [](S& s, Args&, const Variant& v) {
             if (!SetMsoAutoShapeType(s.shape(), v.toInt()))
               Fail("Тип фигуры " + std::to_string(v.toInt()) + " не поддерживается");
             s.changed();
           }},
          {"Rotation", [](S& s, Args&) { return Variant(s.shape().rotation); },
           [](S& s, Args&, const Variant& v) {
             const double degrees = v.toDouble();
             if (!std::isfinite(degrees)) Fail("Значение вне допустимого диапазона");
             const double turned = std::fmod(degrees, 360.0);
             s.shape().rotation = float(turned < 0 ? turned + 360 : turned);
             s.changed();
           }},
          {"Visible", [](S& s, Args&) { return TriState(s.shape().visible); },
           [](S& s, Args&, const Variant& v) { s.shape().visible = v.toBool(), s.changed(); }},
          {"Left", [](S& s, Args&) { return Variant(s.left()); },
           [](S& s, Args&, const Variant& v) { s.setLeft(v.toFloat()); }},
          {"Top", [](S& s, Args&) { return Variant(s.top()); },
           [](S& s, Args&, const Variant& v) { s.setTop(v.toFloat()); }},
          {"Width", [](S& s, Args&) { return Variant(s.shape().width); },
           [](S& s, Args&, const Variant& v) { s.setWidth(Extent(v)); }},
          {"Height", [](S& s, Args&) { return Variant(s.shape().height); },
           [](S& s, Args&, const Variant& v) { s.setHeight(Extent(v)); }},
          {"RelativeHorizontalPosition", [](S& s, Args&) { return Variant(int(s.shape().relH)); },
           [](S& s, Args&, const Variant& v) { s.setRelH(v); }},
          {"RelativeVerticalPosition", [](S& s, Args&) { return Variant(int(s.shape().relV)); },
           [](S& s, Args&, const Variant& v) { s.setRelV(v); }},
          {"Adjustments",
           [](S& s, Args&) {
             s.shape();
             return Variant(DispatchPtr(std::make_shared<AdjustmentsObj>(s.doc_, s.id_)));
           }},
          {"Line", [](S& s, Args&) { return Variant(s.format(MakeLineFormat)); }},
          {"Fill", [](S& s, Args&) { return Variant(s.format(MakeFillFormat)); }},
          {"Shadow", [](S& s, Args&) { return Variant(s.format(MakeShadowFormat)); }},
          {"WrapFormat", [](S& s, Args&) { return Variant(s.format(MakeWrapFormat)); }},
          {"Select",
           [](S& s, Args& a) {
             s.shape();
             s.doc().selectShapes({s.id_}, BoolArg(a, 0, true));
             s.doc().app()->makeCurrent(s.doc_);
             return Variant();
           }},
          {"Delete",
           [](S& s, Args&) {
             s.remove();
             return Variant();
           }},
          {"Duplicate", [](S& s, Args&) { return s.duplicate(); }},
          {"Anchor", [](S& s, Args&) { return s.anchor(); }},
          {"ZOrder",
           [](S& s, Args& a) {
             s.zOrder(EnumArg(wordlink::ArgAt(a, 0), {0, 1, 2, 3, 4, 5}));
             return Variant();
           }},
          {"GroupItems",
           [](S& s, Args&) {
             if (s.shape().kind != ShapeKind::Group) Fail("Эта фигура не является группой");
             return Variant(DispatchPtr(std::make_shared<GroupItemsObj>(s.doc_, s.id_)));
           }},
          {"TextFrame",
           [](S& s, Args&) {
             s.shape();
             return Variant(DispatchPtr(std::make_shared<TextFrameObj>(s.doc_, s.id_)));
           }},
          {"TextEffect", [](S& s, Args&) { return Variant(MakeTextEffect(s.doc_, s.id_)); }},
          {"Application", [](S& s, Args&) { return Variant(DispatchPtr(s.doc().app())); }},
      },
      "Name");
  return table;
}

DispatchPtr MakeShape(const std::shared_ptr<DocumentObj>& doc, std::uint32_t id) {
  return std::make_shared<ShapeObj>(doc, id);
}

namespace {

// Adds the shape to the document: anchored at the first paragraph of the Anchor range and
// placed from the column and paragraph, or without an anchor placed from the page.
Variant Place(DocumentObj& doc, std::unique_ptr<Shape> shape, const Args& args,
              std::size_t anchorIndex) {
  Editor& editor = doc.editor();
  std::uint64_t anchor = doc.defaultAnchor();
  if (Given(args, anchorIndex)) {
    std::int64_t start = args[anchorIndex].get("Start").toInt();
    anchor = doc.model().paragraphs[editor.paragraphAt(start)].id;
    shape->relH = RelH::Column;
    shape->relV = RelV::Paragraph;
  }
  shape->id = doc.model().newShapeId();
  shape->name = ShapeKindName(*shape) + " " + std::to_string(shape->id);
  const std::uint32_t id = shape->id;
  editor.addShape(std::move(shape), anchor);
  return Variant(MakeShape(doc.self(), id));
}

void SetBox(Shape& shape, const Args& args, std::size_t first) {
  for (std::size_t k = first; k < first + 4; ++k)
    if (!Given(args, k)) Fail("Не задан обязательный аргумент " + std::to_string(k + 1));
  shape.left = args[first].toFloat();
  shape.top = args[first + 1].toFloat();
  shape.width = Extent(args[first + 2]);
  shape.height = Extent(args[first + 3]);
}

Variant AddTextbox(DocumentObj& doc, Args& args) {
  AtMost(args, 6);
  EnumArg(wordlink::ArgAt(args, 0), {1, 2, 3, 4, 5, 6});
  auto shape = NewShapeOf(ShapeKind::TextBox);
  SetBox(*shape, args, 1);
  return Place(doc, std::move(shape), args, 5);
}

Variant AddShape(DocumentObj& doc, Args& args) {
  AtMost(args, 6);
  if (!Given(args, 0)) Fail("Не задан тип фигуры");
  const int type = args[0].toInt();
  auto shape = NewShapeOf(ShapeKind::AutoShape);
  if (!SetMsoAutoShapeType(*shape, type))
    Fail("Тип фигуры " + std::to_string(type) + " не поддерживается");
  SetBox(*shape, args, 1);
  return Place(doc, std::move(shape), args, 5);
}

Variant AddLine(DocumentObj& doc, Args& args) {
  AtMost(args, 5);
  const float x1 = RequiredFloat(args, 0), y1 = RequiredFloat(args, 1);
  const float x2 = RequiredFloat(args, 2), y2 = RequiredFloat(args, 3);
  auto shape = NewShapeOf(ShapeKind::Line);
  shape->left = std::min(x1, x2);
  shape->top = std::min(y1, y2);
  shape->width = std::abs(x2 - x1);
  shape->height = std::abs(y2 - y1);
  shape->flipH = x2 < x1;
  shape->flipV = y2 < y1;
  return Place(doc, std::move(shape), args, 4);
}

ImagePtr LoadImage(const std::string& path, float& width, float& height) {
  try {
    return LoadPicture(path, width, height);
  } catch (const DocumentError& e) {
    Fail(e.what());
  }
}

// AddPicture(FileName, LinkToFile, SaveWithDocument, Left, Top, Width, Height, Anchor).
Variant AddPicture(DocumentObj& doc, Args& args) {
  AtMost(args, 8);
  auto shape = NewShapeOf(ShapeKind::Picture);
  shape->image =
      LoadImage(doc.app()->resolve(RequiredString(args, 0)), shape->width, shape->height);
  shape->left = FloatArg(args, 3, 0);
  shape->top = FloatArg(args, 4, 0);
  if (Given(args, 5)) shape->width = Extent(args[5]);
  if (Given(args, 6)) shape->height = Extent(args[6]);
  return Place(doc, std::move(shape), args, 7);
}

std::uint32_t ItemId(DocumentObj& doc, const Args& args) {
  const auto& shapes = doc.model().shapes;
  if (!Given(args, 0)) Fail("Не задан номер или имя фигуры");
  if (args[0].type() == wordlink::VarType::String) {
    const std::string wanted = args[0].toString();
    for (const auto& s : shapes)
      if (s.shape->name == wanted) return s.shape->id;
    for (const auto& s : shapes)
      if (LowerName(s.shape->name) == LowerName(wanted)) return s.shape->id;
  } else {
    int n = args[0].toInt();
    if (n >= 1 && std::size_t(n) <= shapes.size()) return shapes[std::size_t(n) - 1].shape->id;
  }
  Fail("Запрошенный элемент семейства не существует");
}

class ShapesObj : public DocumentPart {
 public:
  using DocumentPart::DocumentPart;

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    using S = ShapesObj;
    static const Members<S> members(
        {
            {"Count", [](S& s, Args&) { return Variant(int(s.doc().model().shapes.size())); }},
            {"Item", [](S& s, Args& a) { return Variant(MakeShape(s.doc_, ItemId(s.doc(), a))); }},
            {"Range",
             [](S& s, Args& a) { return Variant(MakeShapeRange(s.doc_, {ItemId(s.doc(), a)})); }},
            {"AddTextbox", [](S& s, Args& a) { return AddTextbox(s.doc(), a); }},
            {"AddShape", [](S& s, Args& a) { return AddShape(s.doc(), a); }},
            {"AddLine", [](S& s, Args& a) { return AddLine(s.doc(), a); }},
            {"AddTextEffect", [](S& s, Args& a) { return Place(s.doc(), NewTextEffect(a), a, 8); }},
            {"AddPicture", [](S& s, Args& a) { return AddPicture(s.doc(), a); }},
            {"Application", [](S& s, Args&) { return Variant(DispatchPtr(s.doc().app())); }},
            {"Parent", [](S& s, Args&) { return Variant(DispatchPtr(s.doc_)); }},
        },
        "Item");
    return members.dispatch(*this, member, kind, args);
  }
};

}  // namespace

DispatchPtr MakeShapes(const std::shared_ptr<DocumentObj>& doc) {
  return std::make_shared<ShapesObj>(doc);
}

}  // namespace wordproc::om
