#include <algorithm>

#include "wordproc/ObjectModel.h"
#include "wordproc/core/Ooxml.h"
#include "wordproc/core/ShapeOps.h"

namespace wordproc::om {

namespace {

constexpr int kUndefined = 9999999;  // wdUndefined: the shapes of a range disagree
constexpr int kTriStateMixed = -2;

struct GroupMember {
  std::size_t z;
  std::uint32_t id;
};

std::vector<GroupMember> GroupMembers(DocumentObj& doc, const std::vector<std::uint32_t>& ids) {
  Editor& editor = doc.editor();
  std::vector<GroupMember> members;
  for (std::uint32_t id : ids) {
    AnchoredShape* body = editor.anchoredShape(id);
    if (!body) Fail("В группу можно объединить только фигуры документа, не входящие в группы");
    members.push_back({editor.zIndex(id), id});
  }
  std::sort(members.begin(), members.end(), [](auto& a, auto& b) { return a.z < b.z; });
  members.erase(
      std::unique(members.begin(), members.end(), [](auto& a, auto& b) { return a.id == b.id; }),
      members.end());
  if (members.size() < 2) Fail("Для группы нужны по крайней мере две фигуры");
  return members;
}

// The group takes the lowest member's place in the z-order and its anchor; the members keep
// their names.
std::uint32_t Group(DocumentObj& doc, const std::vector<std::uint32_t>& ids) {
  Editor& editor = doc.editor();
  std::vector<GroupMember> members = GroupMembers(doc, ids);
  std::vector<const AnchoredShape*> bodies;
  for (const GroupMember& m : members) bodies.push_back(editor.anchoredShape(m.id));
  auto group = GroupOf(doc.layout(), bodies, doc.model().newShapeId());
  const std::uint64_t anchor = bodies.front()->anchorParagraph;
  for (const GroupMember& m : members) editor.removeShape(m.id);
  const std::uint32_t id = group->id;
  editor.addShape(std::move(group), anchor, members.front().z);
  std::erase_if(doc.selectedShapes, [&](std::uint32_t s) {
    return std::any_of(members.begin(), members.end(), [&](auto& m) { return m.id == s; });
  });
  return id;
}

class ShapeRangeObj : public DocumentPart {
 public:
  ShapeRangeObj(std::shared_ptr<DocumentObj> doc, std::vector<std::uint32_t> ids)
      : DocumentPart(std::move(doc)), ids_(std::move(ids)) {}

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    using R = ShapeRangeObj;
    static const Members<R> members(
        {
            {"Count", [](R& r, Args&) { return Variant(int(r.live().size())); }},
            {"Item", [](R& r, Args& a) { return Variant(MakeShape(r.doc_, r.item(a))); }},
            {"Group",
             [](R& r, Args&) { return Variant(MakeShape(r.doc_, Group(r.doc(), r.live()))); }},
            {"Delete",
             [](R& r, Args&) {
               for (std::uint32_t id : std::vector<std::uint32_t>(r.live())) {
                 Args none;
                 r.shape(id)->invoke("Delete", InvokeKind::Method, none);
               }
               return Variant();
             }},
            {"Select",
             [](R& r, Args& a) {
               r.doc().selectShapes(r.live(), BoolArg(a, 0, true));
               r.doc().app()->makeCurrent(r.doc_);
               return Variant();
             }},
            {"Duplicate", [](R& r, Args&) { return r.duplicate(); }},
            {"Line", [](R& r, Args&) { return Variant(MakeLineFormat(r.doc_, r.nonEmpty())); }},
            {"Fill", [](R& r, Args&) { return Variant(MakeFillFormat(r.doc_, r.nonEmpty())); }},
            {"Shadow", [](R& r, Args&) { return Variant(MakeShadowFormat(r.doc_, r.nonEmpty())); }},
            {"WrapFormat",
             [](R& r, Args&) { return Variant(MakeWrapFormat(r.doc_, r.nonEmpty())); }},
            {"Application", [](R& r, Args&) { return Variant(DispatchPtr(r.doc().app())); }},
        },
        "Item");
    if (members.find(member)) return members.dispatch(*this, member, kind, args);
    return forward(member, kind, args);
  }

 private:
  DispatchPtr shape(std::uint32_t id) { return MakeShape(doc_, id); }

  // The shapes still in the document, as the range keeps them.
  const std::vector<std::uint32_t>& live() {
    std::erase_if(ids_, [&](std::uint32_t id) { return !doc().editor().findShape(id); });
    return ids_;
  }

  std::vector<std::uint32_t> nonEmpty() {
    if (live().empty()) Fail("В диапазоне нет фигур");
    return ids_;
  }

  std::uint32_t item(const Args& args) {
    const auto& ids = live();
    if (!Given(args, 0)) Fail("Не задан номер или имя фигуры");
    if (args[0].type() == wordlink::VarType::String) {
      for (std::uint32_t id : ids)
        if (LowerName(doc().editor().findShape(id)->name) == LowerName(args[0].toString()))
          return id;
    } else {
      int n = args[0].toInt();
      if (n >= 1 && std::size_t(n) <= ids.size()) return ids[std::size_t(n) - 1];
    }
    Fail("Запрошенный элемент семейства не существует");
  }

  Variant duplicate() {
    std::vector<std::uint32_t> copies;
    for (std::uint32_t id : std::vector<std::uint32_t>(live())) {
      Args none;
      Variant copy = shape(id)->invoke("Duplicate", InvokeKind::Method, none);
      copies.push_back(std::uint32_t(copy.get("Id").toInt()));
    }
    return Variant(MakeShapeRange(doc_, std::move(copies)));
  }

  // Everything else is a member of the shapes: a put goes to each, a get answers when they
  // agree.
  Variant forward(std::string_view member, InvokeKind kind, Args& args) {
    const std::vector<std::uint32_t> ids = live();
    if (kind == InvokeKind::PropertyPut) {
      for (std::uint32_t id : ids) {
        Args copy = args;
        shape(id)->invoke(member, kind, copy);
      }
      return Variant();
    }
    if (ids.empty()) Fail("В диапазоне нет фигур");
    if (ids.size() == 1) return shape(ids.front())->invoke(member, kind, args);
    Variant first;
    for (std::size_t k = 0; k < ids.size(); ++k) {
      Args copy = args;
      Variant value = shape(ids[k])->invoke(member, kind, copy);
      if (k == 0)
        first = value;
      else if (!value.sameAs(first))
        return Variant(LowerName(member) == "visible" ? kTriStateMixed : kUndefined);
    }
    return first;
  }

  std::vector<std::uint32_t> ids_;
};

// Where an inline picture stands: its paragraph and its place among the paragraph's pictures.
struct InlineSpot {
  std::size_t paragraph;
  std::size_t index;
};

std::optional<InlineSpot> FindInline(Document& doc, std::uint32_t id) {
  for (std::size_t k = 0; k < doc.paragraphs.size(); ++k) {
    const auto& pictures = doc.paragraphs[k].inlinePictures;
    for (std::size_t m = 0; m < pictures.size(); ++m)
      if (pictures[m].id == id) return InlineSpot{k, m};
  }
  return std::nullopt;
}

class InlineShapeObj : public DocumentPart {
 public:
  InlineShapeObj(std::shared_ptr<DocumentObj> doc, std::uint32_t id)
      : DocumentPart(std::move(doc)), id_(id) {}

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    using I = InlineShapeObj;
    static const Members<I> members({
        {"Type", [](I& i, Args&) { return Variant(i.type()); }},
        {"Width", [](I& i, Args&) { return Variant(i.picture().width); },
         [](I& i, Args&, const Variant& v) { i.resize(v.toFloat(), i.picture().height); }},
        {"Height", [](I& i, Args&) { return Variant(i.picture().height); },
         [](I& i, Args&, const Variant& v) { i.resize(i.picture().width, v.toFloat()); }},
        {"ConvertToShape", [](I& i, Args&) { return i.convert(); }},
        {"Delete",
         [](I& i, Args&) {
           i.take();
           return Variant();
         }},
    });
    return members.dispatch(*this, member, kind, args);
  }

 private:
  int type() {
    constexpr int kPicture = 3, kChart = 12, kSmartArt = 15;
    const auto& drawing = picture().drawing;
    if (!drawing) return kPicture;
    return drawing->graphic == GraphicType::SmartArt ? kSmartArt : kChart;
  }

  InlineSpot spot() {
    auto found = FindInline(doc().model(), id_);
    if (!found) Fail("Объект удалён: рисунка больше нет в документе");
    return *found;
  }

  InlinePicture& picture() {
    InlineSpot at = spot();
    return doc().model().paragraphs[at.paragraph].inlinePictures[at.index];
  }

  void resize(float width, float height) {
    if (!(width > 0 && height > 0)) Fail("Значение вне допустимого диапазона");
    InlineSpot at = spot();
    InlinePicture& p = doc().model().paragraphs[at.paragraph].inlinePictures[at.index];
    p.width = width;
    p.height = height;
    doc().editor().paragraphChanged(at.paragraph);
  }

  InlinePicture take() {
    InlineSpot at = spot();
    auto& pictures = doc().model().paragraphs[at.paragraph].inlinePictures;
    InlinePicture picture = pictures[at.index];
    pictures.erase(pictures.begin() + std::ptrdiff_t(at.index));
    doc().editor().paragraphChanged(at.paragraph);
    return picture;
  }

  // The picture leaves the text and floats where it stood: at the column's left edge and the
  // top of its paragraph.
  Variant convert() {
    const std::uint64_t anchor = doc().model().paragraphs[spot().paragraph].id;
    InlinePicture picture = take();
    // A chart or SmartArt keeps its own drawing; a picture becomes a picture shape.
    auto shape = picture.drawing ? picture.drawing->clone() : std::make_unique<Shape>();
    shape->id = doc().editor().findShape(picture.id) ? doc().model().newShapeId() : picture.id;
    shape->name = picture.name.empty() ? "Picture " + std::to_string(shape->id) : picture.name;
    shape->width = picture.width;
    shape->height = picture.height;
    shape->relH = RelH::Column;
    shape->relV = RelV::Paragraph;
    // A chart or SmartArt of the file stays one in the saved file.
    if (picture.raw && picture.drawing)
      shape->raw = FloatingDrawing(picture.raw->xml, *shape, picture.raw->package);
    if (!picture.drawing) {
      shape->kind = ShapeKind::Picture;
      shape->image = picture.image;
      shape->svg = picture.svg;
      shape->crop = picture.crop;
      shape->line.visible = false;
      shape->fill.visible = false;
    }
    const std::uint32_t id = shape->id;
    doc().editor().addShape(std::move(shape), anchor);
    return Variant(MakeShape(doc_, id));
  }

  std::uint32_t id_;
};

class InlineShapesObj : public DocumentPart {
 public:
  InlineShapesObj(std::shared_ptr<DocumentObj> doc,
                  std::optional<std::pair<std::int64_t, std::int64_t>> range)
      : DocumentPart(std::move(doc)), range_(range) {}

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    using I = InlineShapesObj;
    static const Members<I> members(
        {
            {"Count", [](I& i, Args&) { return Variant(int(i.ids().size())); }},
            {"Item",
             [](I& i, Args& a) {
               auto ids = i.ids();
               int n = RequiredInt(a, 0);
               if (n < 1 || std::size_t(n) > ids.size())
                 Fail("Запрошенный элемент семейства не существует");
               return Variant(
                   DispatchPtr(std::make_shared<InlineShapeObj>(i.doc_, ids[std::size_t(n) - 1])));
             }},
            {"Application", [](I& i, Args&) { return Variant(DispatchPtr(i.doc().app())); }},
        },
        "Item");
    return members.dispatch(*this, member, kind, args);
  }

 private:
  // The pictures of the paragraphs the range touches, in text order.
  std::vector<std::uint32_t> ids() {
    auto& paragraphs = doc().model().paragraphs;
    std::size_t first = 0, last = paragraphs.size() - 1;
    if (range_) {
      first = doc().editor().paragraphAt(range_->first);
      last = doc().editor().paragraphAt(std::max(range_->first, range_->second - 1));
    }
    std::vector<std::uint32_t> out;
    for (std::size_t k = first; k <= last && k < paragraphs.size(); ++k)
      for (const InlinePicture& p : paragraphs[k].inlinePictures) out.push_back(p.id);
    return out;
  }

  std::optional<std::pair<std::int64_t, std::int64_t>> range_;
};

}  // namespace

DispatchPtr MakeShapeRange(const std::shared_ptr<DocumentObj>& doc,
                           std::vector<std::uint32_t> ids) {
  return std::make_shared<ShapeRangeObj>(doc, std::move(ids));
}

DispatchPtr MakeInlineShapes(const std::shared_ptr<DocumentObj>& doc,
                             std::optional<std::pair<std::int64_t, std::int64_t>> range) {
  return std::make_shared<InlineShapesObj>(doc, range);
}

}  // namespace wordproc::om
