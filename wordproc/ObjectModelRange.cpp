#include <QString>
#include <algorithm>

#include "wordproc/Clipboard.h"
#include "wordproc/ObjectModel.h"

namespace wordproc::om {

namespace {

// WdUnits used by Expand, EndKey, HomeKey and Delete.
constexpr int kUnitCharacter = 1;
constexpr int kUnitWord = 2;
constexpr int kUnitParagraph = 4;
constexpr int kUnitLine = 5;
constexpr int kUnitStory = 6;

bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == 0xA0;
}

// A range or the selection: a document and a pair of positions.
class TextRangeBase : public ObjectBase {
 public:
  virtual DocumentObj& doc() = 0;
  virtual std::shared_ptr<DocumentObj> docPtr() = 0;
  virtual RangeState& state() = 0;
  virtual bool isSelection() const = 0;

  Editor& editor() { return doc().editor(); }
  std::int64_t start() { return state().start; }
  std::int64_t end() { return state().end; }
  bool shapeMode() { return isSelection() && !doc().selectedShapes.empty(); }

  void set(std::int64_t s, std::int64_t e) {
    if (isSelection()) return doc().selectText(s, e);
    state().start = editor().clamp(std::min(s, e));
    state().end = editor().clamp(std::max(s, e));
  }
  // Typing replaces a selection that is not collapsed.
  std::int64_t clearForTyping() {
    if (shapeMode()) doc().selectedShapes.clear();
    if (end() > start()) editor().erase(start(), end());
    set(start(), start());
    return start();
  }
  // The text it spans now, followed through later edits but not through moves of the range.
  std::shared_ptr<RangeState> live() { return editor().track(start(), end()); }
  void requireSelection() {
    if (!isSelection()) FailUnknownMember();
  }

  static const Members<TextRangeBase>& members();

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    return members().dispatch(*this, member, kind, args);
  }
};

std::pair<std::int64_t, std::int64_t> WordAround(Editor& editor, std::int64_t s, std::int64_t e) {
  const std::size_t k = editor.paragraphAt(s);
  const std::int64_t base = editor.paragraphStart(k);
  std::u16string text = QString::fromStdString(editor.doc().paragraphs[k].text()).toStdU16String();
  auto at = [&](std::int64_t p) { return text[std::size_t(p - base)]; };
  const std::int64_t limit = base + std::int64_t(text.size());
  while (s > base && !IsSpace(at(s - 1))) --s;
  if (e < s) e = s;
  while (e < limit && !IsSpace(at(e))) ++e;
  while (e < limit && IsSpace(at(e))) ++e;
  return {s, e};
}

// Expand(Unit): returns the number of characters added.
int Expand(TextRangeBase& r, int unit) {
  Editor& editor = r.editor();
  const std::int64_t s0 = r.start(), e0 = r.end();
  std::int64_t s = s0, e = e0;
  switch (unit) {
    case kUnitCharacter:
      if (e == s) e = std::min(s + 1, editor.storyLength());
      break;
    case kUnitWord:
      std::tie(s, e) = WordAround(editor, s, e);
      break;
    case 3:
    case kUnitParagraph:
    case kUnitLine: {
      s = editor.paragraphStart(editor.paragraphAt(s));
      const bool atBoundary = e > s0 && e == editor.paragraphStart(editor.paragraphAt(e));
      if (!atBoundary) e = editor.paragraphEnd(editor.paragraphAt(e));
      break;
    }
    case kUnitStory:
    case 7:
    case 8:
      s = 0;
      e = editor.storyLength();
      break;
    default:
      Fail("Единица " + std::to_string(unit) + " не поддерживается");
  }
  r.set(s, e);
  return int((r.end() - r.start()) - (e0 - s0));
}

// Collapse(Direction): wdCollapseEnd 0, wdCollapseStart 1 (the default). A range that ends
// after the final paragraph mark collapses before it, where text can go.
void Collapse(TextRangeBase& r, int direction) {
  std::int64_t p = direction == 0 ? r.end() : r.start();
  p = std::min(p, r.editor().storyLength() - 1);
  r.set(p, p);
}

int Delete(TextRangeBase& r, const Args& args) {
  if (r.shapeMode()) {
    auto ids = r.doc().selectedShapes;
    for (std::uint32_t id : ids) r.editor().removeShape(id);
    r.doc().selectedShapes.clear();
    return int(ids.size());
  }
  std::int64_t s = r.start(), e = r.end();
  if (e == s) {
    const int count = IntArg(args, 1, 1);
    if (count >= 0)
      e = s + count;
    else
      s = std::max<std::int64_t>(0, s + count);
  }
  std::int64_t removed = r.editor().erase(s, e);
  r.set(s, s);
  return int(removed);
}

std::int64_t ActiveEnd(TextRangeBase& r) {
  return r.end();
}

Variant Information(TextRangeBase& r, int type) {
  Editor& editor = r.editor();
  switch (type) {
    case 1:
    case 3:
      return Variant(editor.pageOf(ActiveEnd(r)));
    case 2:
      return Variant(1);
    case 4:
      return Variant(r.doc().layout().pageCount());
    case 5:
      return Variant(
          r.doc().layout().pageSetupOfParagraph(editor.paragraphAt(ActiveEnd(r))).leftMargin);
    case 6:
      return Variant(r.doc().layout().paragraphTop(editor.paragraphAt(ActiveEnd(r))));
    case 12:
      return Variant(false);
    default:
      Fail("Недопустимое значение аргумента: " + std::to_string(type));
  }
}

void InsertFile(TextRangeBase& r, const Args& args) {
  AtMost(args, 5);
  const std::string path = r.doc().app()->resolve(RequiredString(args, 0));
  if (!StringArg(args, 1).empty()) Fail("Вставка части файла по закладке не поддерживается");
  auto source = LoadForAutomation(path);
  Fragment fragment = FragmentOfDocument(*source);
  const std::int64_t at = r.clearForTyping();
  if (fragment.empty()) return;
  auto [s, e] = r.editor().insertFragment(at, std::move(fragment));
  r.set(s, e);
}

Fragment SelectedShapes(TextRangeBase& r) {
  Fragment fragment;
  for (std::uint32_t id : r.doc().selectedShapes)
    if (Shape* shape = r.editor().findShape(id))
      fragment.shapes.emplace_back(Editor::npos, shape->clone());
  return fragment;
}

void Copy(TextRangeBase& r) {
  Fragment fragment = r.shapeMode() ? SelectedShapes(r) : r.editor().copy(r.start(), r.end());
  SetClipboard(std::move(fragment), r.editor().text(r.start(), r.end()));
}

void PasteShapes(TextRangeBase& r, const Fragment& fragment) {
  Editor& editor = r.editor();
  const std::uint64_t anchor = r.doc().model().paragraphs[editor.paragraphAt(r.start())].id;
  std::vector<std::uint32_t> pasted;
  for (const auto& [index, shape] : fragment.shapes) {
    auto copy = shape->clone();
    editor.renumber(*copy);
    pasted.push_back(copy->id);
    editor.addShape(std::move(copy), anchor);
  }
  if (r.isSelection()) r.doc().selectShapes(pasted, true);
}

void Paste(TextRangeBase& r) {
  const Fragment* content = ClipboardFragment();
  if (!content || content->empty()) Fail("Буфер обмена пуст");
  const Fragment& fragment = *content;
  const std::int64_t at = r.clearForTyping();
  if (fragment.paragraphs.empty()) return PasteShapes(r, fragment);
  const bool inline_ = fragment.paragraphs.size() == 1 && !fragment.lastHasMark;
  auto [s, e] = inline_ ? r.editor().insertInline(at, fragment)
                        : r.editor().insertFragment(at, fragment.clone());
  if (r.isSelection())
    r.set(e, e);
  else
    r.set(s, e);
}

// EndKey and HomeKey (Unit: wdLine by default, wdStory; Extend: wdMove 0, wdExtend 1).
int MoveKey(TextRangeBase& r, const Args& args, bool toEnd) {
  AtMost(args, 2);
  const int unit = Given(args, 0) ? EnumArg(args[0], {kUnitLine, kUnitStory}) : kUnitLine;
  const bool extend = IntArg(args, 1, 0) != 0;
  Editor& editor = r.editor();
  const std::int64_t from = toEnd ? r.end() : r.start();
  std::int64_t target;
  if (unit == kUnitStory) {
    target = toEnd ? editor.storyLength() - 1 : 0;
  } else {
    const std::size_t k = editor.paragraphAt(from);
    target = toEnd ? editor.paragraphEnd(k) - 1 : editor.paragraphStart(k);
  }
  if (!extend)
    r.set(target, target);
  else if (toEnd)
    r.set(r.start(), target);
  else
    r.set(target, r.end());
  return int(std::abs(target - from));
}

void TypeBackspace(TextRangeBase& r) {
  if (r.shapeMode() || r.end() > r.start()) {
    Args none;
    Delete(r, none);
    return;
  }
  const std::int64_t p = r.start();
  if (p == 0) return;
  r.editor().erase(p - 1, p);
  r.set(p - 1, p - 1);
}

int SelectionType(TextRangeBase& r) {
  if (r.shapeMode()) return 8;  // wdSelectionShape
  return r.end() > r.start() ? 2 : 1;
}

const Members<TextRangeBase>& TextRangeBase::members() {
  using R = TextRangeBase;
  static const Members<R> table(
      {
          {"Start", [](R& r, Args&) { return Variant(int(r.start())); },
           [](R& r, Args&, const Variant& v) {
             r.set(v.toInt(), std::max<std::int64_t>(v.toInt(), r.end()));
           }},
          {"End", [](R& r, Args&) { return Variant(int(r.end())); },
           [](R& r, Args&, const Variant& v) {
             r.set(std::min<std::int64_t>(v.toInt(), r.start()), v.toInt());
           }},
          {"Text", [](R& r, Args&) { return Variant(r.editor().text(r.start(), r.end())); },
           [](R& r, Args&, const Variant& v) {
             const std::int64_t at = r.clearForTyping();
             r.set(at, r.editor().insertText(at, v.toString()));
           }},
          {"Select",
           [](R& r, Args&) {
             r.doc().selectText(r.start(), r.end());
             r.doc().app()->makeCurrent(r.docPtr());
             return Variant();
           }},
          {"InsertFile",
           [](R& r, Args& a) {
             InsertFile(r, a);
             return Variant();
           }},
          {"Expand", [](R& r, Args& a) { return Variant(Expand(r, IntArg(a, 0, kUnitWord))); }},
          {"Collapse",
           [](R& r, Args& a) {
             Collapse(r, Given(a, 0) ? EnumArg(a[0], {0, 1}) : 1);
             return Variant();
           }},
          {"Delete", [](R& r, Args& a) { return Variant(Delete(r, a)); }},
          {"ShapeRange",
           [](R& r, Args&) {
             auto ids =
                 r.shapeMode() ? r.doc().selectedShapes : r.editor().shapesIn(r.start(), r.end());
             return Variant(MakeShapeRange(r.docPtr(), std::move(ids)));
           }},
          {"Fields",
           [](R& r, Args&) {
             return Variant(MakeFields(r.docPtr(), 0, std::make_pair(r.start(), r.end())));
           }},
          {"InlineShapes",
           [](R& r, Args&) {
             return Variant(MakeInlineShapes(r.docPtr(), std::make_pair(r.start(), r.end())));
           }},
          {"Information", [](R& r, Args& a) { return Information(r, RequiredInt(a, 0)); }},
          {"Copy",
           [](R& r, Args&) {
             Copy(r);
             return Variant();
           }},
          {"Paste",
           [](R& r, Args&) {
             Paste(r);
             return Variant();
           }},
          {"InsertAfter",
           [](R& r, Args& a) {
             const std::int64_t s = r.start();
             r.set(s, r.editor().insertText(r.end(), RequiredString(a, 0)));
             return Variant();
           }},
          {"InsertBefore",
           [](R& r, Args& a) {
             const std::int64_t e = r.end();
             const std::int64_t after = r.editor().insertText(r.start(), RequiredString(a, 0));
             r.set(r.start(), e + (after - r.start()));
             return Variant();
           }},
          {"InsertParagraphAfter",
           [](R& r, Args&) {
             const std::int64_t s = r.start();
             r.set(s, r.editor().splitParagraph(r.end()));
             return Variant();
           }},
          {"GoTo",
           [](R& r, Args& a) {
             std::int64_t p = GoToPosition(r.doc(), a);
             if (r.isSelection()) r.set(p, p);
             return Variant(MakeRange(r.docPtr(), p, p));
           }},
          {"Range", [](R& r, Args&) { return Variant(MakeRange(r.docPtr(), r.start(), r.end())); }},
          {"PageSetup",
           [](R& r, Args&) {
             return Variant(MakePageSetup(r.docPtr(), SectionsOfRange(r.live())));
           }},
          {"Sections",
           [](R& r, Args&) {
             return Variant(MakeSections(r.docPtr(), SectionsOfRange(r.live())));
           }},
          {"Duplicate",
           [](R& r, Args&) { return Variant(MakeRange(r.docPtr(), r.start(), r.end())); }},
          {"Document", [](R& r, Args&) { return Variant(DispatchPtr(r.docPtr())); }},
          {"Application", [](R& r, Args&) { return Variant(DispatchPtr(r.doc().app())); }},
          {"EndKey",
           [](R& r, Args& a) {
             r.requireSelection();
             return Variant(MoveKey(r, a, true));
           }},
          {"HomeKey",
           [](R& r, Args& a) {
             r.requireSelection();
             return Variant(MoveKey(r, a, false));
           }},
          {"TypeParagraph",
           [](R& r, Args&) {
             r.requireSelection();
             const std::int64_t p = r.editor().splitParagraph(r.clearForTyping());
             r.set(p, p);
             return Variant();
           }},
          {"TypeBackspace",
           [](R& r, Args&) {
             r.requireSelection();
             TypeBackspace(r);
             return Variant();
           }},
          {"TypeText",
           [](R& r, Args& a) {
             r.requireSelection();
             const std::int64_t p = r.editor().insertText(r.clearForTyping(), RequiredString(a, 0));
             r.set(p, p);
             return Variant();
           }},
          {"Type",
           [](R& r, Args&) {
             r.requireSelection();
             return Variant(SelectionType(r));
           }},
      },
      "Text");
  return table;
}

class RangeObj : public TextRangeBase {
 public:
  RangeObj(std::shared_ptr<DocumentObj> doc, std::shared_ptr<RangeState> state)
      : doc_(std::move(doc)), state_(std::move(state)) {}

  DocumentObj& doc() override { return *doc_; }
  std::shared_ptr<DocumentObj> docPtr() override { return doc_; }
  RangeState& state() override { return *state_; }
  bool isSelection() const override { return false; }

 protected:
  void checkAlive() const override { doc_->checkAlive(); }
  void afterCall() override { doc_->afterCall(); }

 private:
  std::shared_ptr<DocumentObj> doc_;
  std::shared_ptr<RangeState> state_;
};

// The application's selection always works on the active document.
class SelectionObj : public TextRangeBase {
 public:
  explicit SelectionObj(std::shared_ptr<ApplicationObj> app) : app_(std::move(app)) {}

  DocumentObj& doc() override { return *docPtr(); }
  std::shared_ptr<DocumentObj> docPtr() override { return app_->activeDocument(); }
  RangeState& state() override { return *doc().selection; }
  bool isSelection() const override { return true; }

 protected:
  void checkAlive() const override { app_->checkAlive(); }
  void afterCall() override { app_->refreshWindows(); }

 private:
  std::shared_ptr<ApplicationObj> app_;
};

}  // namespace

std::int64_t GoToPosition(DocumentObj& doc, const Args& args) {
  AtMost(args, 4);
  const int what = Given(args, 0) ? args[0].toInt() : 1;
  const int which = Given(args, 1) ? EnumArg(args[1], {1, 2, 3, -1}) : 1;
  const int count = IntArg(args, 2, 1);
  Editor& editor = doc.editor();
  Layout& layout = doc.layout();
  // The item counted as Which says: from the first, on or back from the current, or the last,
  // and the last when the count goes beyond it.
  auto target = [&](int current, int last) {
    int n = count;
    if (which == 2) n = current + count;
    if (which == 3) n = current - count;
    if (which == -1) n = last;
    return std::clamp(n, 1, last);
  };
  if (what == 0) {
    const auto sections = editor.sections();
    const std::size_t here = editor.sectionOfParagraph(editor.paragraphAt(doc.selection->end));
    const int current =
        int(std::find(sections.begin(), sections.end(), here) - sections.begin()) + 1;
    const int n = target(current, int(sections.size()));
    return editor.paragraphStart(editor.sectionStart(sections[std::size_t(n) - 1]));
  }
  if (what != 1) Fail("Переход к элементу " + std::to_string(what) + " не поддерживается");
  const int page = target(editor.pageOf(doc.selection->end), layout.pageCount());
  return editor.paragraphStart(layout.firstParagraphOfPage(page));
}

DispatchPtr MakeRange(const std::shared_ptr<DocumentObj>& doc, std::int64_t start,
                      std::int64_t end) {
  return std::make_shared<RangeObj>(doc, doc->editor().track(start, end));
}

DispatchPtr MakeSelection(const std::shared_ptr<ApplicationObj>& app) {
  return std::make_shared<SelectionObj>(app);
}

}  // namespace wordproc::om
