// Fields through automation: the Fields of a range, of a shape's text and of the document, each
// Field with its Code and Result. A field is known by its FieldCode and the story it is in (the
// body or a shape's text), so that calls on one field cost what the field does, not what the
// document does: a merge fills thousands of labels one field at a time.
#include <algorithm>
#include <map>

#include "wordproc/Barcode.h"
#include "wordproc/ObjectModel.h"
#include "wordproc/core/Fields.h"

namespace wordproc::om {

namespace {

// A body story (shape 0) or the text of a shape.
struct StoryRef {
  std::uint32_t shape = 0;

  std::vector<Paragraph>& paragraphs(DocumentObj& doc) const {
    if (shape == 0) return doc.model().paragraphs;
    Shape* found = doc.editor().findShape(shape);
    if (!found) Fail("Объект удалён: фигуры больше нет в документе");
    return found->text;
  }
};

std::int64_t RunOffset(const Paragraph& p, std::size_t run) {
  std::int64_t offset = 0;
  for (std::size_t r = 0; r < run; ++r) offset += std::int64_t(Utf16Length(p.runs[r].text));
  return offset;
}

// The values SEQ fields take in reading order, by story and field.
using SequenceKey = std::pair<const void*, const FieldCode*>;
std::map<SequenceKey, std::string> SequenceValues(Document& doc) {
  std::map<SequenceKey, std::string> values;
  SequenceCounters counters;
  ForEachFieldInReadingOrder(doc, [&](std::vector<Paragraph>& story, const FieldSpan& span) {
    FieldInstruction instruction = ParseFieldInstruction(span.code->instruction);
    if (instruction.name == "SEQ") values[{&story, span.code.get()}] = counters.next(instruction);
    return true;
  });
  return values;
}

class FieldObj;

// Code or Result of a field.
class FieldTextObj : public DocumentPart {
 public:
  FieldTextObj(std::shared_ptr<FieldObj> field, bool code);

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override;

 private:
  std::shared_ptr<FieldObj> field_;
  bool code_;
};

class FieldObj : public DocumentPart {
 public:
  FieldObj(std::shared_ptr<DocumentObj> doc, StoryRef story, FieldSpan span)
      : DocumentPart(std::move(doc)), story_(story), code_(span.code), hint_(span.paragraph) {}

  FieldSpan locate() {
    auto span = FindField(story_.paragraphs(doc()), code_.get(), hint_);
    if (!span) Fail("Объект удалён: поля больше нет в документе");
    hint_ = span->paragraph;
    return *span;
  }

  std::string instruction() { return locate().code->instruction; }
  std::string result() { return FieldResultText(story_.paragraphs(doc()), locate()); }

  void setInstruction(std::string text) {
    const FieldSpan span = locate();
    change(span, [&](std::vector<Paragraph>& story) {
      code_ = SetFieldInstruction(story, span, std::move(text)).code;
    });
  }

  void setResult(std::string text, bool error = false) {
    const FieldSpan span = locate();
    change(span, [&](std::vector<Paragraph>& story) {
      code_ = SetFieldResult(story, span, std::move(text), error).code;
    });
  }

  int type() { return FieldTypeOfName(ParseFieldInstruction(instruction()).name); }

  // Recomputes the result; a barcode its data cannot make fails with the reason, shown as the
  // result too.
  void update() {
    const FieldSpan span = locate();
    FieldContext context;
    context.barcodeCheck = BarcodeProblem;
    SequenceCounters single;
    FieldInstruction instruction = ParseFieldInstruction(span.code->instruction);
    std::string sequence;
    if (instruction.name == "SEQ") {
      sequence = SequenceValues(doc().model())[{&story_.paragraphs(doc()), span.code.get()}];
    }
    FieldValue value = EvaluateField(*span.code, result(), context);
    if (instruction.name == "SEQ") value = {sequence, false, true};
    if (value.changed) setResult(value.text, value.error);
    if (value.error) Fail(value.text);
  }

  void unlink() {
    const FieldSpan span = locate();
    change(span, [&](std::vector<Paragraph>& story) { UnlinkField(story, span); });
  }

  void remove() {
    const FieldSpan span = locate();
    change(span, [&](std::vector<Paragraph>& story) { DeleteField(story, span); });
  }

  std::shared_ptr<FieldObj> self() {
    return std::static_pointer_cast<FieldObj>(shared_from_this());
  }

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    using F = FieldObj;
    static const Members<F> members({
        {"Code",
         [](F& f, Args&) {
           return Variant(DispatchPtr(std::make_shared<FieldTextObj>(f.self(), true)));
         },
         [](F& f, Args&, const Variant& v) { f.setInstruction(v.toString()); }},
        {"Result",
         [](F& f, Args&) {
           return Variant(DispatchPtr(std::make_shared<FieldTextObj>(f.self(), false)));
         },
         [](F& f, Args&, const Variant& v) { f.setResult(v.toString()); }},
        {"Type", [](F& f, Args&) { return Variant(f.type()); }},
        {"Kind", [](F& f, Args&) { return Variant(f.type() == field_type::kEmpty ? 0 : 2); }},
        {"Update",
         [](F& f, Args&) {
           f.update();
           return Variant(true);
         }},
        {"Unlink",
         [](F& f, Args&) {
           f.unlink();
           return Variant();
         }},
        {"Delete",
         [](F& f, Args&) {
           f.remove();
           return Variant();
         }},
        {"Locked", [](F&, Args&) { return Variant(false); }},
        {"ShowCodes", [](F&, Args&) { return Variant(false); }},
        {"Document", [](F& f, Args&) { return Variant(DispatchPtr(f.docPtr())); }},
    });
    return members.dispatch(*this, member, kind, args);
  }

 private:
  // A change of the body goes through the editor, which lays the paragraph out again and moves
  // the live ranges after it; a shape's text is drawn from the model as it is.
  template <class Fn>
  void change(const FieldSpan& span, Fn fn) {
    std::vector<Paragraph>& story = story_.paragraphs(doc());
    if (story_.shape != 0) {
      fn(story);
      doc().editor().touch();
      return;
    }
    const Paragraph& p = story[span.paragraph];
    const std::int64_t offset = RunOffset(p, span.first);
    const std::int64_t count = RunOffset(p, span.last) - offset;
    doc().editor().changeParagraph(span.paragraph, std::size_t(offset), std::size_t(count),
                                   [&](Paragraph&) { fn(story); });
  }

  StoryRef story_;
  FieldPtr code_;
  std::size_t hint_;
};

FieldTextObj::FieldTextObj(std::shared_ptr<FieldObj> field, bool code)
    : DocumentPart(field->docPtr()), field_(std::move(field)), code_(code) {}

Variant FieldTextObj::call(std::string_view member, InvokeKind kind, Args& args) {
  using T = FieldTextObj;
  static const Members<T> members(
      {{"Text",
        [](T& t, Args&) { return Variant(t.code_ ? t.field_->instruction() : t.field_->result()); },
        [](T& t, Args&, const Variant& v) {
          if (t.code_)
            t.field_->setInstruction(v.toString());
          else
            t.field_->setResult(v.toString());
        }}},
      "Text");
  return members.dispatch(*this, member, kind, args);
}

// The fields of a story, or of the body's text between two positions.
class FieldsObj : public DocumentPart {
 public:
  FieldsObj(std::shared_ptr<DocumentObj> doc, StoryRef story,
            std::optional<std::pair<std::int64_t, std::int64_t>> range)
      : DocumentPart(std::move(doc)), story_(story), range_(range) {}

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    using F = FieldsObj;
    static const Members<F> members(
        {
            {"Count", [](F& f, Args&) { return Variant(int(f.spans().size())); }},
            {"Item", [](F& f, Args& a) { return Variant(f.item(RequiredInt(a, 0))); }},
            {"Add", [](F& f, Args& a) { return Variant(f.add(a)); }},
            {"Update", [](F& f, Args&) { return Variant(f.update()); }},
            {"Unlink",
             [](F& f, Args&) {
               for (int k = int(f.spans().size()); k > 0; --k) f.field(k)->unlink();
               return Variant();
             }},
        },
        "Item");
    return members.dispatch(*this, member, kind, args);
  }

 private:
  // Found again once the document has changed since they were last counted.
  const std::vector<FieldSpan>& spans() {
    const std::uint64_t now = doc().editor().changes();
    if (cached_ && cachedAt_ == now) return spans_;
    std::vector<Paragraph>& story = story_.paragraphs(doc());
    spans_.clear();
    if (!range_) {
      spans_ = FieldsIn(story);
    } else {
      Editor& editor = doc().editor();
      const auto [start, end] = *range_;
      const std::size_t last = editor.paragraphAt(end);
      for (std::size_t k = editor.paragraphAt(start); k <= last && k < story.size(); ++k) {
        const std::int64_t base = editor.paragraphStart(k);
        for (const FieldSpan& span : FieldsIn(story, k)) {
          const std::int64_t s = base + RunOffset(story[k], span.first);
          const std::int64_t e = base + RunOffset(story[k], span.last);
          if ((s < end && e > start) || (s >= start && s <= end && (s == e || start == end)))
            spans_.push_back(span);
        }
      }
    }
    cached_ = true;
    cachedAt_ = now;
    return spans_;
  }

  std::shared_ptr<FieldObj> field(int index) {
    const auto& all = spans();
    if (index < 1 || index > int(all.size()))
      Fail("Запрошенный номер элемента коллекции не существует");
    return std::make_shared<FieldObj>(docPtr(), story_, all[std::size_t(index) - 1]);
  }

  DispatchPtr item(int index) { return field(index); }

  DispatchPtr add(const Args& args) {
    AtMost(args, 4);
    if (!Given(args, 0) || !args[0].toObject()) Fail("Не задан обязательный аргумент 1");
    if (story_.shape != 0) Fail("Поле в тексте фигуры добавляется через диапазон документа");
    Args none;
    DispatchPtr range = args[0].toObject();
    const std::int64_t start = range->invoke("Start", InvokeKind::PropertyGet, none).toInt();
    const std::int64_t end = range->invoke("End", InvokeKind::PropertyGet, none).toInt();
    const int type = IntArg(args, 1, field_type::kEmpty);
    std::string text = StringArg(args, 2);
    std::string name = FieldNameOfType(type);
    if (type != field_type::kEmpty && name.empty())
      Fail("Поле типа " + std::to_string(type) + " не поддерживается");
    std::string instruction = " " + name + (name.empty() || text.empty() ? "" : " ") + text + " ";
    if (BoolArg(args, 3, false)) instruction += "\\* MERGEFORMAT ";
    Editor& editor = doc().editor();
    if (end > start) editor.erase(start, end);
    const std::int64_t at = editor.insertionPoint(start);
    const std::size_t k = editor.paragraphAt(at);
    Paragraph& p = doc().model().paragraphs[k];
    const std::size_t run = RunBoundary(p, std::size_t(at - editor.paragraphStart(k)));
    const RunFormat& format = run > 0               ? p.runs[run - 1].format
                              : run < p.runs.size() ? p.runs[run].format
                                                    : p.markFormat;
    Run field = NewFieldRun(format, instruction, std::string());
    FieldContext context = Context();
    FieldValue value = EvaluateField(*field.format.fieldCode, std::string(), context);
    field.text = value.text;
    FieldPtr code = field.format.fieldCode;
    editor.changeParagraph(k, std::size_t(at - editor.paragraphStart(k)), 0, [&](Paragraph& q) {
      q.runs.insert(q.runs.begin() + std::ptrdiff_t(run), std::move(field));
      for (InlinePicture& picture : q.inlinePictures)
        if (picture.afterRun > run) ++picture.afterRun;
    });
    auto made = std::make_shared<FieldObj>(docPtr(), story_, FieldSpan{k, run, run + 1, code});
    if (ParseFieldInstruction(instruction).name == "SEQ") made->update();
    return made;
  }

  static FieldContext Context() {
    FieldContext context;
    context.barcodeCheck = BarcodeProblem;
    return context;
  }

  // 0 when every field updated, else the number of the first that failed.
  int update() {
    std::vector<std::shared_ptr<FieldObj>> fields;
    for (int k = 1; k <= int(spans().size()); ++k) fields.push_back(field(k));
    int failed = 0;
    for (std::size_t k = 0; k < fields.size(); ++k) {
      try {
        fields[k]->update();
      } catch (const AutomationError&) {
        if (failed == 0) failed = int(k) + 1;
      }
    }
    return failed;
  }

  StoryRef story_;
  std::optional<std::pair<std::int64_t, std::int64_t>> range_;
  std::vector<FieldSpan> spans_;
  bool cached_ = false;
  std::uint64_t cachedAt_ = 0;
};

}  // namespace

DispatchPtr MakeFields(const std::shared_ptr<DocumentObj>& doc, std::uint32_t shapeId,
                       std::optional<std::pair<std::int64_t, std::int64_t>> range) {
  return std::make_shared<FieldsObj>(doc, StoryRef{shapeId}, range);
}

}  // namespace wordproc::om
