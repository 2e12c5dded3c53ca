#include <algorithm>
#include <cmath>

#include "wordproc/ObjectModel.h"
#include "wordproc/core/ShapeOps.h"
#include "wordproc/core/TextWarp.h"

namespace wordproc::om {

namespace {

constexpr int kLastPresetTextEffect = 49;  // msoTextEffect50
constexpr float kLongest = 28346;          // points: 10 m, the longest length a file keeps

Shape& WordArtShape(DocumentObj& doc, std::uint32_t id) {
  Shape* shape = doc.editor().findShape(id);
  if (!shape) Fail("Объект удалён: фигуры больше нет в документе");
  if (shape->kind != ShapeKind::AutoShape && shape->kind != ShapeKind::TextBox)
    Fail("У этой фигуры нет текста");
  return *shape;
}

// The text as paragraphs of one run each, split at carriage returns and line feeds.
std::vector<Paragraph> Lines(const std::string& text, const RunFormat& format) {
  std::vector<Paragraph> lines;
  std::size_t from = 0;
  while (true) {
    const std::size_t end = text.find_first_of("\r\n", from);
    Paragraph p;
    p.alignment = Alignment::Center;
    p.markFormat = format;
    const std::string line = text.substr(from, end == std::string::npos ? end : end - from);
    if (!line.empty()) p.runs.push_back(Run{line, format});
    lines.push_back(std::move(p));
    if (end == std::string::npos) break;
    from = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
  }
  return lines;
}

class TextEffectObj : public DocumentPart {
 public:
  TextEffectObj(std::shared_ptr<DocumentObj> doc, std::uint32_t id)
      : DocumentPart(std::move(doc)), id_(id) {}

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    using T = TextEffectObj;
    static const Members<T> members(
        {{"Text", [](T& t, Args&) { return Variant(t.text()); },
          [](T& t, Args&, const Variant& v) { t.setText(v.toString()); }},
         {"PresetShape", [](T& t, Args&) { return Variant(t.presetShape()); },
          [](T& t, Args&, const Variant& v) { t.setPresetShape(v.toInt()); }},
         {"FontName", [](T& t, Args&) { return Variant(t.format().fontFamily); },
          [](T& t, Args&, const Variant& v) {
            const std::string name = v.toString();
            if (name.empty()) Fail("Не задано имя шрифта");
            t.setFormat([&](RunFormat& f) { f.fontFamily = name; });
          }},
         {"FontSize", [](T& t, Args&) { return Variant(t.format().fontSize); },
          [](T& t, Args&, const Variant& v) {
            const float size = v.toFloat();
            if (!(size >= 1 && size <= 1638)) Fail("Значение вне допустимого диапазона");
            t.setFormat([&](RunFormat& f) { f.fontSize = size; });
          }},
         {"FontBold", [](T& t, Args&) { return TriState(t.format().bold); },
          [](T& t, Args&, const Variant& v) {
            t.setFormat([&](RunFormat& f) { f.bold = v.toBool(); });
          }},
         {"FontItalic", [](T& t, Args&) { return TriState(t.format().italic); },
          [](T& t, Args&, const Variant& v) {
            t.setFormat([&](RunFormat& f) { f.italic = v.toBool(); });
          }}},
        "Text");
    return members.dispatch(*this, member, kind, args);
  }

 private:
  Shape& shape() { return WordArtShape(doc(), id_); }

  RunFormat format() {
    const Shape& s = shape();
    if (s.text.empty()) return {};
    const Paragraph& first = s.text.front();
    return first.runs.empty() ? first.markFormat : first.runs.front().format;
  }

  template <typename Change>
  void setFormat(Change change) {
    for (Paragraph& p : shape().text) {
      change(p.markFormat);
      for (wordproc::Run& run : p.runs) change(run.format);
    }
    doc().editor().touch();
  }

  std::string text() {
    std::string out;
    const auto& paragraphs = shape().text;
    for (std::size_t k = 0; k < paragraphs.size(); ++k) {
      if (k > 0) out += '\r';
      out += paragraphs[k].text();
    }
    return out;
  }

  void setText(const std::string& text) {
    const RunFormat kept = format();
    Shape& s = shape();
    s.text = Lines(text, kept);
    for (Paragraph& p : s.text) p.id = doc().model().newParagraphId();
    doc().editor().touch();
  }

  // Text without a warp reads as plain text, as the object model has no "none".
  int presetShape() {
    const int number = TextEffectShapeOfWarp(shape().warp.preset);
    return number > 0 ? number : 1;
  }

  void setPresetShape(int number) {
    const std::string_view preset = WarpOfTextEffectShape(number);
    if (preset.empty()) Fail("Форма текста " + std::to_string(number) + " не поддерживается");
    Shape& s = shape();
    if (s.warp.preset != preset) s.warp = {std::string(preset), {}};
    doc().editor().touch();
  }

  std::uint32_t id_;
};

}  // namespace

// AddTextEffect(PresetTextEffect, Text, FontName, FontSize, FontBold, FontItalic, Left, Top):
// the gallery's styles all start as plain text stretched over a box about the text's size.
std::unique_ptr<Shape> NewTextEffect(const Args& args) {
  AtMost(args, 9);
  if (!Given(args, 0)) Fail("Не задан стиль объекта WordArt");
  const int style = args[0].toInt();
  if (style < 0 || style > kLastPresetTextEffect)
    Fail("Стиль объекта WordArt " + std::to_string(style) + " не поддерживается");
  RunFormat format;
  format.fontFamily = RequiredString(args, 2);
  format.fontSize = RequiredFloat(args, 3);
  if (format.fontFamily.empty()) Fail("Не задано имя шрифта");
  if (!(format.fontSize >= 1 && format.fontSize <= 1638))
    Fail("Значение вне допустимого диапазона");
  format.bold = BoolArg(args, 4, false);
  format.italic = BoolArg(args, 5, false);
  auto shape = NewShapeOf(ShapeKind::AutoShape);
  shape->text = Lines(RequiredString(args, 1), format);
  shape->warp.preset = "textPlain";
  shape->fill.visible = false;
  shape->line.visible = false;
  shape->frame = {0, 0, 0, 0, TextAnchor::Middle, false, false};
  std::size_t longest = 1;
  for (const Paragraph& p : shape->text) longest = std::max(longest, p.length());
  shape->left = RequiredFloat(args, 6);
  shape->top = RequiredFloat(args, 7);
  shape->width = std::min(kLongest, format.fontSize * 0.6f * float(longest));
  shape->height = std::min(kLongest, format.fontSize * 1.2f * float(shape->text.size()));
  return shape;
}

DispatchPtr MakeTextEffect(const std::shared_ptr<DocumentObj>& doc, std::uint32_t id) {
  WordArtShape(*doc, id);
  return std::make_shared<TextEffectObj>(doc, id);
}

}  // namespace wordproc::om
