#include "wordproc/core/Fields.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace wordproc {

namespace {

struct NamedType {
  const char* name;
  int type;
};

const NamedType kTypes[] = {
    {"SEQ", field_type::kSequence},
    {"NUMPAGES", field_type::kNumPages},
    {"DATE", field_type::kDate},
    {"QUOTE", field_type::kQuote},
    {"TIME", field_type::kTime},
    {"PAGE", field_type::kPage},
    {"MERGEFIELD", field_type::kMergeField},
    {"SECTIONPAGES", field_type::kSectionPages},
    {"MERGEBARCODE", field_type::kMergeBarcode},
    {"DISPLAYBARCODE", field_type::kDisplayBarcode},
    {"REF", 3},
    {"IF", 7},
    {"TOC", 13},
    {"AUTHOR", 17},
    {"CREATEDATE", 21},
    {"SAVEDATE", 22},
    {"PRINTDATE", 23},
    {"FILENAME", 29},
    {"=", 34},
    {"MERGEREC", 44},
    {"MERGESEQ", 75},
    {"NEXT", 41},
    {"SECTION", 65},
    {"DOCPROPERTY", 85},
    {"DOCVARIABLE", 64},
    {"HYPERLINK", 88},
    {"SYMBOL", 57},
    {"INCLUDEPICTURE", 67},
};

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = char(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// The switches that never take an argument, by field: any other switch takes the word after it.
bool TakesNoArgument(const std::string& field, char name) {
  if (field == "SEQ") return name == 'c' || name == 'h' || name == 'n';
  if (field == "MERGEFIELD") return name == 'm' || name == 'v';
  if (field == "DISPLAYBARCODE" || field == "MERGEBARCODE")
    return name == 't' || name == 'd' || name == 'x';
  if (field == "DATE" || field == "TIME") return name == 'h' || name == 'l' || name == 's';
  return false;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v';
}

// One word or quoted string of an instruction; quoted says it was quoted.
struct Token {
  std::string text;
  bool quoted = false;
  bool isSwitch = false;
};

std::vector<Token> Tokens(std::string_view s) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < s.size()) {
    if (IsBlank(s[i])) {
      ++i;
      continue;
    }
    Token token;
    if (s[i] == '"') {
      token.quoted = true;
      for (++i; i < s.size() && s[i] != '"'; ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == '"' || s[i + 1] == '\\')) ++i;
        token.text += s[i];
      }
      ++i;
    } else if (s[i] == '\\' && i + 1 < s.size() && !IsBlank(s[i + 1])) {
      token.isSwitch = true;
      token.text = s.substr(i + 1, 1);
      i += 2;
    } else {
      while (i < s.size() && !IsBlank(s[i]) && s[i] != '"') token.text += s[i++];
    }
    tokens.push_back(std::move(token));
  }
  return tokens;
}

}  // namespace

int FieldTypeOfName(std::string_view name) {
  const std::string upper = UpperAscii(name);
  for (const NamedType& t : kTypes)
    if (upper == t.name) return t.type;
  return field_type::kEmpty;
}

std::string FieldNameOfType(int type) {
  for (const NamedType& t : kTypes)
    if (t.type == type) return t.name;
  return {};
}

const FieldSwitch* FieldInstruction::find(char switchName) const {
  for (const FieldSwitch& s : switches)
    if (s.name == switchName) return &s;
  return nullptr;
}

FieldInstruction ParseFieldInstruction(std::string_view instruction) {
  FieldInstruction out;
  std::vector<Token> tokens = Tokens(instruction);
  std::size_t i = 0;
  if (!tokens.empty() && !tokens[0].isSwitch) {
    out.name = UpperAscii(tokens[0].text);
    i = 1;
    // "=2+2" names the formula field without a space.
    if (out.name.size() > 1 && out.name[0] == '=') {
      out.arguments.push_back(out.name.substr(1));
      out.name = "=";
    }
  }
  for (; i < tokens.size(); ++i) {
    if (!tokens[i].isSwitch) {
      if (out.switches.empty() || out.switches.back().hasArgument ||
          TakesNoArgument(out.name, out.switches.back().name)) {
        out.arguments.push_back(std::move(tokens[i].text));
      } else {
        out.switches.back().argument = std::move(tokens[i].text);
        out.switches.back().hasArgument = true;
      }
      continue;
    }
    FieldSwitch s;
    s.name = char(std::tolower(static_cast<unsigned char>(tokens[i].text[0])));
    out.switches.push_back(std::move(s));
  }
  return out;
}

std::string QuoteFieldArgument(std::string_view value) {
  const bool plain = !value.empty() && std::none_of(value.begin(), value.end(), [](char c) {
    return IsBlank(c) || c == '"' || c == '\\';
  });
  if (plain) return std::string(value);
  std::string out = "\"";
  for (char c : value) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::vector<FieldSpan> FieldsIn(const std::vector<Paragraph>& paragraphs, std::size_t k) {
  std::vector<FieldSpan> spans;
  const std::vector<Run>& runs = paragraphs[k].runs;
  for (std::size_t r = 0; r < runs.size();) {
    const FieldPtr& code = runs[r].format.fieldCode;
    std::size_t end = r + 1;
    while (end < runs.size() && runs[end].format.fieldCode == code) ++end;
    if (code) spans.push_back({k, r, end, code});
    r = end;
  }
  return spans;
}

std::vector<FieldSpan> FieldsIn(const std::vector<Paragraph>& paragraphs) {
  std::vector<FieldSpan> spans;
  for (std::size_t k = 0; k < paragraphs.size(); ++k) {
    std::vector<FieldSpan> more = FieldsIn(paragraphs, k);
    spans.insert(spans.end(), more.begin(), more.end());
  }
  return spans;
}

std::optional<FieldSpan> FindField(const std::vector<Paragraph>& paragraphs, const FieldCode* code,
                                   std::size_t hint) {
  auto inParagraph = [&](std::size_t k) -> std::optional<FieldSpan> {
    for (const FieldSpan& span : FieldsIn(paragraphs, k))
      if (span.code.get() == code) return span;
    return std::nullopt;
  };
  if (hint < paragraphs.size())
    if (auto span = inParagraph(hint)) return span;
  for (std::size_t k = 0; k < paragraphs.size(); ++k)
    if (auto span = k == hint ? std::nullopt : inParagraph(k)) return span;
  return std::nullopt;
}

std::string FieldResultText(const std::vector<Paragraph>& paragraphs, const FieldSpan& span) {
  std::string text;
  const std::vector<Run>& runs = paragraphs[span.paragraph].runs;
  for (std::size_t r = span.first; r < span.last; ++r) text += runs[r].text;
  return text;
}

FieldSpan SetFieldResult(std::vector<Paragraph>& paragraphs, const FieldSpan& span,
                         std::string text, bool error) {
  Paragraph& p = paragraphs[span.paragraph];
  Run run = p.runs[span.first];
  std::replace(text.begin(), text.end(), '\r', '\v');
  std::replace(text.begin(), text.end(), '\n', '\v');
  run.text = std::move(text);
  if (run.format.fieldCode->error != error) {
    auto code = std::make_shared<FieldCode>(*run.format.fieldCode);
    code->error = error;
    run.format.fieldCode = std::move(code);
  }
  p.runs.erase(p.runs.begin() + std::ptrdiff_t(span.first + 1),
               p.runs.begin() + std::ptrdiff_t(span.last));
  const std::size_t removed = span.last - span.first - 1;
  for (InlinePicture& picture : p.inlinePictures) {
    if (picture.afterRun >= span.last)
      picture.afterRun -= removed;
    else if (picture.afterRun > span.first)
      picture.afterRun = span.first;
  }
  FieldPtr code = run.format.fieldCode;
  p.runs[span.first] = std::move(run);
  return {span.paragraph, span.first, span.first + 1, std::move(code)};
}

FieldSpan SetFieldInstruction(std::vector<Paragraph>& paragraphs, const FieldSpan& span,
                              std::string instruction) {
  auto code = std::make_shared<FieldCode>(*span.code);
  code->instruction = std::move(instruction);
  code->nestedXml.clear();
  code->error = false;
  FieldPtr shared = code;
  std::vector<Run>& runs = paragraphs[span.paragraph].runs;
  for (std::size_t r = span.first; r < span.last; ++r) runs[r].format.fieldCode = shared;
  return {span.paragraph, span.first, span.last, shared};
}

void UnlinkField(std::vector<Paragraph>& paragraphs, const FieldSpan& span) {
  std::vector<Run>& runs = paragraphs[span.paragraph].runs;
  for (std::size_t r = span.first; r < span.last; ++r) runs[r].format.fieldCode = nullptr;
}

void DeleteField(std::vector<Paragraph>& paragraphs, const FieldSpan& span) {
  Paragraph& p = paragraphs[span.paragraph];
  p.runs.erase(p.runs.begin() + std::ptrdiff_t(span.first),
               p.runs.begin() + std::ptrdiff_t(span.last));
  const std::size_t removed = span.last - span.first;
  for (InlinePicture& picture : p.inlinePictures) {
    if (picture.afterRun >= span.last)
      picture.afterRun -= removed;
    else if (picture.afterRun > span.first)
      picture.afterRun = span.first;
  }
}

void GiveFieldsOwnCodes(std::vector<Paragraph>& paragraphs) {
  for (const FieldSpan& span : FieldsIn(paragraphs)) {
    FieldPtr own = std::make_shared<FieldCode>(*span.code);
    std::vector<Run>& runs = paragraphs[span.paragraph].runs;
    for (std::size_t r = span.first; r < span.last; ++r) runs[r].format.fieldCode = own;
  }
}

Run NewFieldRun(const RunFormat& format, std::string instruction, std::string result) {
  auto code = std::make_shared<FieldCode>();
  code->instruction = std::move(instruction);
  Run run{std::move(result), format};
  run.format.fieldCode = std::move(code);
  run.format.field = PageField::None;
  return run;
}

std::string MergePlaceholder(const FieldInstruction& instruction) {
  const std::string name = instruction.arguments.empty() ? std::string() : instruction.arguments[0];
  return "\xC2\xAB" + name + "\xC2\xBB";
}

std::string SequenceCounters::next(const FieldInstruction& instruction) {
  const std::string id =
      instruction.arguments.empty() ? std::string() : UpperAscii(instruction.arguments[0]);
  int& counter = counters_[id];
  if (const FieldSwitch* reset = instruction.find('r'); reset && reset->hasArgument)
    counter = std::atoi(reset->argument.c_str());
  else if (!instruction.has('c'))
    ++counter;
  if (instruction.has('h')) return {};
  return ApplyFieldFormat(instruction, std::to_string(counter));
}

FieldValue EvaluateField(const FieldCode& code, const std::string& currentResult,
                         FieldContext& context) {
  const FieldInstruction instruction = ParseFieldInstruction(code.instruction);
  const std::string& name = instruction.name;
  if (name == "DATE" || name == "TIME") {
    const FieldSwitch* picture = instruction.find('@');
    const std::string format = picture && picture->hasArgument ? picture->argument
                               : name == "DATE"                ? "dd.MM.yyyy"
                                                               : "H:mm";
    return {ApplyFieldFormat(instruction, FormatDate(context.now, format)), false, true};
  }
  if (name == "QUOTE") {
    std::string text;
    for (const std::string& argument : instruction.arguments)
      text += (text.empty() ? "" : " ") + argument;
    return {ApplyFieldFormat(instruction, std::move(text)), false, true};
  }
  if (name == "SEQ" && context.sequences)
    return {context.sequences->next(instruction), false, true};
  if (name == "MERGEFIELD" || name == "MERGEBARCODE") {
    if (!currentResult.empty() && !code.error) return {currentResult, false, false};
    return {MergePlaceholder(instruction), false, true};
  }
  if (name == "DISPLAYBARCODE") {
    std::optional<std::string> problem =
        context.barcodeCheck ? context.barcodeCheck(instruction) : std::nullopt;
    if (problem) return {*problem, true, true};
    return {instruction.arguments.empty() ? std::string() : instruction.arguments[0], false, true};
  }
  return {currentResult, false, false};
}

void ForEachShapeStory(Shape& shape, const std::function<void(std::vector<Paragraph>&)>& visit) {
  visit(shape.text);
  for (auto& child : shape.children)
    if (child) ForEachShapeStory(*child, visit);
}

void ForEachFieldInReadingOrder(Document& doc, const FieldVisitor& visit) {
  std::map<std::uint64_t, std::vector<Shape*>> anchored;
  for (AnchoredShape& a : doc.shapes)
    if (a.shape) anchored[a.anchorParagraph].push_back(a.shape.get());
  bool going = true;
  auto story = [&](std::vector<Paragraph>& paragraphs) {
    for (const FieldSpan& span : FieldsIn(paragraphs)) {
      if (!going) return;
      going = visit(paragraphs, span);
    }
  };
  for (std::size_t k = 0; k < doc.paragraphs.size() && going; ++k) {
    for (const FieldSpan& span : FieldsIn(doc.paragraphs, k)) {
      if (going) going = visit(doc.paragraphs, span);
    }
    auto found = anchored.find(doc.paragraphs[k].id);
    if (found == anchored.end()) continue;
    std::vector<Shape*> shapes = std::move(found->second);
    anchored.erase(found);
    std::stable_sort(shapes.begin(), shapes.end(), [](const Shape* a, const Shape* b) {
      return std::pair(a->top, a->left) < std::pair(b->top, b->left);
    });
    for (Shape* shape : shapes) ForEachShapeStory(*shape, story);
  }
}

int UpdateDocumentFields(Document& doc, FieldContext& context) {
  SequenceCounters counters;
  if (!context.sequences) context.sequences = &counters;
  int failed = 0;
  // Results change the runs; the spans of a paragraph are found again after each update.
  struct Pending {
    std::vector<Paragraph>* story;
    FieldSpan span;
    FieldValue value;
  };
  std::vector<Pending> updates;
  ForEachFieldInReadingOrder(doc, [&](std::vector<Paragraph>& story, const FieldSpan& span) {
    FieldValue value = EvaluateField(*span.code, FieldResultText(story, span), context);
    if (value.error) ++failed;
    if (value.changed) updates.push_back({&story, span, std::move(value)});
    return true;
  });
  // Later spans first, so that earlier ones in the same paragraph keep their run indices.
  for (auto it = updates.rbegin(); it != updates.rend(); ++it)
    SetFieldResult(*it->story, it->span, std::move(it->value.text), it->value.error);
  if (context.sequences == &counters) context.sequences = nullptr;
  return failed;
}

}  // namespace wordproc
