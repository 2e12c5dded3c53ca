// Sections and their page set-up. A document is one section or several, each ended by a
// paragraph that carries its set-up, the last one by the document itself; the objects here find
// their sections again at every call, by the paragraphs that end them.
#include <algorithm>
#include <cmath>
#include <optional>

#include "wordproc/ObjectModel.h"

namespace wordproc::om {

namespace {

constexpr float kLargestPageSide = 1584;  // 22 inches
// What a property reads when the sections it speaks for differ in it (wdUndefined).
constexpr int kUndefined = 9999999;

enum class PageValue { Width, Height, Top, Bottom, Left, Right };

float& PageField(PageSetup& setup, PageValue which) {
  switch (which) {
    case PageValue::Width:
      return setup.pageWidth;
    case PageValue::Height:
      return setup.pageHeight;
    case PageValue::Top:
      return setup.topMargin;
    case PageValue::Bottom:
      return setup.bottomMargin;
    case PageValue::Left:
      return setup.leftMargin;
    case PageValue::Right:
      return setup.rightMargin;
  }
  return setup.pageWidth;
}

// WdOrientation: portrait 0, landscape 1, as the page's sides stand.
int OrientationOf(const PageSetup& setup) {
  return setup.pageWidth > setup.pageHeight ? 1 : 0;
}

std::size_t SectionOf(DocumentObj& doc, std::uint64_t id) {
  const std::size_t end = doc.editor().sectionById(id);
  if (end == Editor::npos) Fail("Объект удалён: раздела больше нет в документе");
  return end;
}

SectionScope OneSection(std::uint64_t id) {
  return [id](DocumentObj& doc) { return std::vector<std::size_t>{SectionOf(doc, id)}; };
}

// A part of the page set-up of a set of sections, looked up again at every call.
class SectionSetPart : public DocumentPart {
 public:
  SectionSetPart(std::shared_ptr<DocumentObj> doc, SectionScope sections)
      : DocumentPart(std::move(doc)), sections_(std::move(sections)) {}

 protected:
  // The value every section has, or nothing when they differ.
  template <class T, class F>
  std::optional<T> common(F value) {
    Editor& editor = doc().editor();
    std::optional<T> shared;
    for (std::size_t end : sections_(doc())) {
      const T v = value(editor.sectionPageSetup(end));
      if (shared && *shared != v) return std::nullopt;
      shared = v;
    }
    return shared;
  }

  // Edits each section's set-up; change says whether it changed it.
  template <class F>
  void edit(F change) {
    Editor& editor = doc().editor();
    for (std::size_t end : sections_(doc())) {
      PageSetup setup = editor.sectionPageSetup(end);
      if (change(setup)) editor.setSectionPageSetup(end, setup);
    }
  }

  SectionScope sections_;
};

// The text columns of the sections a page set-up covers (PageSetup.TextColumns).
class TextColumnsObj : public SectionSetPart {
 public:
  using SectionSetPart::SectionSetPart;

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    using T = TextColumnsObj;
    static const Members<T> members({
        {"Count",
         [](T& t, Args&) {
           return t.shared([](const TextColumns& c) {
             return float(c.widths.empty() ? c.count : int(c.widths.size()));
           });
         }},
        {"SetCount",
         [](T& t, Args& a) {
           const int count = RequiredInt(a, 0);
           if (count < 1 || count > 45) Fail("Значение вне допустимого диапазона");
           t.change([count](TextColumns& c) {
             c.count = count;
             c.widths.clear();
           });
           return Variant();
         }},
        {"Spacing",
         [](T& t, Args&) { return t.shared([](const TextColumns& c) { return c.space; }); },
         [](T& t, Args&, const Variant& v) {
           const float space = v.toFloat();
           if (!(space >= 0 && space <= kLargestPageSide))
             Fail("Значение вне допустимого диапазона");
           t.change([space](TextColumns& c) { c.space = space; });
         }},
        {"LineBetween",
         [](T& t, Args&) {
           return t.shared([](const TextColumns& c) { return c.separator ? -1.0f : 0.0f; });
         },
         [](T& t, Args&, const Variant& v) {
           const bool on = v.toInt() != 0;
           t.change([on](TextColumns& c) { c.separator = on; });
         }},
        {"EvenlySpaced",
         [](T& t, Args&) {
           return t.shared([](const TextColumns& c) { return c.widths.empty() ? -1.0f : 0.0f; });
         }},
        {"Application", [](T& t, Args&) { return Variant(DispatchPtr(t.doc().app())); }},
    });
    return members.dispatch(*this, member, kind, args);
  }

 private:
  // The value every section has, or wdUndefined when they differ; whole numbers as such.
  template <class F>
  Variant shared(F value) {
    const auto v = common<float>([&](const PageSetup& setup) { return value(setup.columns); });
    if (!v) return Variant(kUndefined);
    if (*v == std::floor(*v)) return Variant(int(*v));
    return Variant(*v);
  }

  template <class F>
  void change(F columns) {
    edit([&](PageSetup& setup) {
      columns(setup.columns);
      return true;
    });
  }
};

class PageSetupObj : public SectionSetPart {
 public:
  using SectionSetPart::SectionSetPart;

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    using P = PageSetupObj;
    auto field = [](std::string_view name, PageValue which) {
      return Member<P>{name, [which](P& p, Args&) { return p.get(which); },
                       [which](P& p, Args&, const Variant& v) { p.set(which, v.toFloat()); }};
    };
    static const Members<P> members({
        field("PageWidth", PageValue::Width),
        field("PageHeight", PageValue::Height),
        field("TopMargin", PageValue::Top),
        field("BottomMargin", PageValue::Bottom),
        field("LeftMargin", PageValue::Left),
        field("RightMargin", PageValue::Right),
        {"Orientation",
         [](P& p, Args&) {
           auto shared = p.common<int>(OrientationOf);
           return Variant(shared ? *shared : kUndefined);
         },
         [](P& p, Args&, const Variant& v) {
           p.setOrientation(EnumArg(v, {0, 1}));
         }},
        {"TextColumns",
         [](P& p, Args&) {
           return Variant(DispatchPtr(std::make_shared<TextColumnsObj>(p.docPtr(), p.sections_)));
         }},
        {"Application", [](P& p, Args&) { return Variant(DispatchPtr(p.doc().app())); }},
    });
    return members.dispatch(*this, member, kind, args);
  }

 private:
  Variant get(PageValue which) {
    auto shared = common<float>([which](PageSetup setup) { return PageField(setup, which); });
    return Variant(shared ? *shared : float(kUndefined));
  }

  // A value set goes to every section, even one that has it already: the document counts as
  // changed either way.
  void set(PageValue which, float value) {
    const bool side = which == PageValue::Width || which == PageValue::Height;
    if (side ? !(value > 0 && value <= kLargestPageSide) : !(std::fabs(value) <= kLargestPageSide))
      Fail("Значение вне допустимого диапазона");
    edit([&](PageSetup& setup) {
      PageField(setup, which) = value;
      return true;
    });
  }

  // Turns the pages of each section not yet that way round.
  void setOrientation(int value) {
    edit([&](PageSetup& setup) {
      if (OrientationOf(setup) == value) return false;
      std::swap(setup.pageWidth, setup.pageHeight);
      return true;
    });
  }
};

class SectionObj : public DocumentPart {
 public:
  SectionObj(std::shared_ptr<DocumentObj> doc, std::uint64_t id)
      : DocumentPart(std::move(doc)), id_(id) {}

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    using S = SectionObj;
    static const Members<S> members({
        {"PageSetup",
         [](S& s, Args&) { return Variant(MakePageSetup(s.docPtr(), OneSection(s.id_))); }},
        {"Range", [](S& s, Args&) { return s.range(); }},
        {"Index", [](S& s, Args&) { return Variant(s.index()); }},
        {"Application", [](S& s, Args&) { return Variant(DispatchPtr(s.doc().app())); }},
        {"Parent", [](S& s, Args&) { return Variant(DispatchPtr(s.docPtr())); }},
    });
    return members.dispatch(*this, member, kind, args);
  }

 private:
  // From its first paragraph through the mark that ends it.
  Variant range() {
    Editor& editor = doc().editor();
    const std::size_t end = SectionOf(doc(), id_);
    const std::size_t last = std::min(end, doc().model().paragraphs.size() - 1);
    return Variant(MakeRange(docPtr(), editor.paragraphStart(editor.sectionStart(end)),
                             editor.paragraphEnd(last)));
  }

  int index() {
    const std::size_t end = SectionOf(doc(), id_);
    const auto all = doc().editor().sections();
    return int(std::find(all.begin(), all.end(), end) - all.begin()) + 1;
  }

  std::uint64_t id_;
};

class SectionsObj : public DocumentPart {
 public:
  SectionsObj(std::shared_ptr<DocumentObj> doc, SectionScope sections)
      : DocumentPart(std::move(doc)), sections_(std::move(sections)) {}

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    using S = SectionsObj;
    static const Members<S> members(
        {
            {"Count", [](S& s, Args&) { return Variant(int(s.sections_(s.doc()).size())); }},
            {"Item",
             [](S& s, Args& a) {
               AtMost(a, 1);
               return s.item(RequiredInt(a, 0));
             }},
            {"First", [](S& s, Args&) { return s.item(1); }},
            {"Last", [](S& s, Args&) { return s.item(int(s.sections_(s.doc()).size())); }},
            {"PageSetup",
             [](S& s, Args&) { return Variant(MakePageSetup(s.docPtr(), s.sections_)); }},
            {"Application", [](S& s, Args&) { return Variant(DispatchPtr(s.doc().app())); }},
            {"Parent", [](S& s, Args&) { return Variant(DispatchPtr(s.docPtr())); }},
        },
        "Item");
    return members.dispatch(*this, member, kind, args);
  }

 private:
  Variant item(int n) {
    const auto ends = sections_(doc());
    if (n < 1 || std::size_t(n) > ends.size()) Fail("Запрошенный элемент семейства не существует");
    const std::uint64_t id = doc().editor().sectionId(ends[std::size_t(n) - 1]);
    return Variant(DispatchPtr(std::make_shared<SectionObj>(docPtr(), id)));
  }

  SectionScope sections_;
};

}  // namespace

SectionScope WholeDocument() {
  return [](DocumentObj& doc) { return doc.editor().sections(); };
}

SectionScope SectionsOfRange(std::shared_ptr<RangeState> range) {
  return [range = std::move(range)](DocumentObj& doc) {
    Editor& editor = doc.editor();
    const std::int64_t start = editor.clamp(range->start), end = editor.clamp(range->end);
    const std::size_t first = editor.paragraphAt(start);
    const std::size_t last = end > start ? editor.paragraphAt(end - 1) : first;
    return editor.sectionsOf(first, last);
  };
}

DispatchPtr MakePageSetup(const std::shared_ptr<DocumentObj>& doc, SectionScope sections) {
  return std::make_shared<PageSetupObj>(doc, std::move(sections));
}

DispatchPtr MakeSections(const std::shared_ptr<DocumentObj>& doc, SectionScope sections) {
  return std::make_shared<SectionsObj>(doc, std::move(sections));
}

}  // namespace wordproc::om
