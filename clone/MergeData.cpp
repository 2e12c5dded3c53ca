#include "clone/MergeData.h"

#include <algorithm>
#include <cctype>

#include "clone/uClone.h"

namespace cloning {

using wordlink::Variant;

namespace {

constexpr int kGroupShape = 6;  // msoGroup
constexpr int kTextBox = 17, kAutoShape = 1;
constexpr const char* kMergeField = "MERGEFIELD";
constexpr const char* kMergeBarcode = "MERGEBARCODE";
constexpr const char* kDisplayBarcode = "DISPLAYBARCODE";

std::string Upper(std::string text) {
  for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A word of a field code: a quoted argument loses its quotes and its backslash escapes.
std::string NextWord(const std::string& code, std::size_t& at) {
  while (at < code.size() && IsSpace(code[at])) ++at;
  std::string word;
  if (at < code.size() && code[at] == '"') {
    for (++at; at < code.size() && code[at] != '"'; ++at) {
      if (code[at] == '\\' && at + 1 < code.size()) ++at;
      word += code[at];
    }
    if (at < code.size()) ++at;
    return word;
  }
  while (at < code.size() && !IsSpace(code[at])) word += code[at++];
  return word;
}

std::string QuotedArgument(const std::string& value) {
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

// The \# and \@ switches among a merge field's switches, quoted again: "\# "0,00"".
std::string PictureSwitches(const std::string& switches) {
  std::string pictures;
  for (std::size_t at = 0; at < switches.size();) {
    const std::string name = NextWord(switches, at);
    if (name != "\\#" && name != "\\@") continue;
    const std::string picture = NextWord(switches, at);
    pictures += " " + name + " " + QuotedArgument(picture);
  }
  return pictures;
}

// \b and \f put text before and after a value that is not empty; \* changes its letter case.
std::string FormattedValue(const std::string& switches, std::string value) {
  std::string before, after, letterCase;
  for (std::size_t at = 0; at < switches.size();) {
    const std::string name = NextWord(switches, at);
    if (name == "\\b" || name == "\\f" || name == "\\*") {
      const std::string argument = NextWord(switches, at);
      if (name == "\\b") before = argument;
      if (name == "\\f") after = argument;
      // \* MERGEFORMAT beside a case keeps the case.
      const std::string how = Upper(argument);
      if (name == "\\*" && how != "MERGEFORMAT" && how != "CHARFORMAT") letterCase = how;
    }
  }
  value = ChangeLetterCase(value, letterCase);
  return value.empty() ? value : before + value + after;
}

bool HasText(int type) {
  return type == kTextBox || type == kAutoShape;
}

// Calls visit(field) for every field of the shape's text, in groups member by member.
template <typename Visit>
void ForEachField(const Variant& shape, const Visit& visit) {
  const int type = shape.get("Type").toInt();
  if (type == kGroupShape) {
    const Variant items = shape.get("GroupItems");
    for (int i = 1, n = items.get("Count").toInt(); i <= n; ++i)
      ForEachField(items.call("Item", i), visit);
    return;
  }
  if (!HasText(type)) return;
  const Variant fields = shape.get("TextFrame").get("TextRange").get("Fields");
  // Unlinking a field takes it out of the collection: walk from the end.
  for (int i = fields.get("Count").toInt(); i >= 1; --i) visit(fields.call("Item", i));
}

bool IsMergeKeyword(const std::string& keyword) {
  return keyword == kMergeField || keyword == kMergeBarcode;
}

void MergeField(const Variant& field, const TFieldCode& code, const std::string& value) {
  if (code.Keyword == kMergeField) {
    std::string text = value;
    // Number and date pictures are the word processor's own: a QUOTE field with the same
    // switches formats the value as the merge field would.
    if (const std::string pictures = PictureSwitches(code.Rest);
        !pictures.empty() && !value.empty()) {
      field.get("Code").put("Text", " QUOTE " + QuotedArgument(value) + pictures + " ");
      field.call("Update");
      text = field.get("Result").get("Text").toString();
    }
    field.get("Result").put("Text", FormattedValue(code.Rest, text));
    field.call("Unlink");
    return;
  }
  field.get("Code").put("Text", std::string(" ") + kDisplayBarcode + " " + QuotedArgument(value) +
                                    " " + code.Rest + " ");
  field.call("Update");
}

}  // namespace

TFieldCode ParseFieldCode(const std::string& code) {
  TFieldCode parsed;
  std::size_t at = 0;
  parsed.Keyword = Upper(NextWord(code, at));
  parsed.Name = NextWord(code, at);
  while (at < code.size() && IsSpace(code[at])) ++at;
  std::string rest = code.substr(at);
  while (!rest.empty() && IsSpace(rest.back())) rest.pop_back();
  parsed.Rest = rest;
  return parsed;
}

std::vector<std::string> ReadMergeFieldNames(const Variant& doc) {
  std::vector<std::string> names;
  const Variant shapes = doc.get("Shapes");
  for (int i = 1, n = shapes.get("Count").toInt(); i <= n; ++i) {
    ForEachField(shapes.call("Item", i), [&](const Variant& field) {
      const TFieldCode code = ParseFieldCode(field.get("Code").get("Text").toString());
      if (!IsMergeKeyword(code.Keyword)) return;
      const bool known = std::any_of(names.begin(), names.end(), [&](const std::string& name) {
        return datasource::FoldCase(name) == datasource::FoldCase(code.Name);
      });
      if (!known) names.push_back(code.Name);
    });
  }
  return names;
}

std::string MissingFieldsMessage(const std::vector<std::string>& glyphFields,
                                 const datasource::TDataSource& data,
                                 const std::string& glyphFile) {
  std::string missing;
  for (const std::string& name : glyphFields) {
    if (data.FieldIndex(name) >= 0) continue;
    missing += (missing.empty() ? "«" : ", «") + name + "»";
  }
  if (missing.empty()) return {};
  std::string known;
  for (const std::string& field : data.Fields)
    if (!field.empty()) known += (known.empty() ? "«" : ", «") + field + "»";
  return "В оттиске «" + glyphFile + "» есть поля " + missing + ", которых нет в файле данных «" +
         data.FileName + "» (его поля: " + (known.empty() ? "нет" : known) +
         "). Этикетки не созданы.";
}

void MergeRecord(const Variant& copy, const datasource::TDataSource& data,
                 const datasource::TRecord& record) {
  ForEachField(copy, [&](const Variant& field) {
    const TFieldCode code = ParseFieldCode(field.get("Code").get("Text").toString());
    if (!IsMergeKeyword(code.Keyword)) return;
    const int index = data.FieldIndex(code.Name);
    if (index < 0) throw TMergeError(data.Where(record) + ": нет поля «" + code.Name + "»");
    const std::string& value = record.Values[std::size_t(index)];
    try {
      MergeField(field, code, value);
    } catch (const wordlink::AutomationError& e) {
      throw TMergeError(data.Where(record) + ", поле «" + code.Name + "»: значение «" + value +
                        "» не подходит (" + e.message() + ")");
    }
  });
}

std::int64_t LabelCount(const TCloneParams& glyphs, std::int64_t sets) {
  std::int64_t labels = 0;
  for (const TCloneParam& glyph : glyphs)
    labels += glyph.Data ? glyph.Data->LabelCount() : sets * std::max(glyph.Count, 1);
  return labels;
}

bool HasData(const TCloneParams& glyphs) {
  return std::any_of(glyphs.begin(), glyphs.end(),
                     [](const TCloneParam& glyph) { return glyph.Data != nullptr; });
}

}  // namespace cloning
