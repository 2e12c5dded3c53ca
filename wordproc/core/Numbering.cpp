#include "wordproc/core/Numbering.h"

#include <algorithm>
#include <cmath>

#include "platform/Utf8.h"
#include "wordproc/core/OoxmlReadContext.h"
#include "wordproc/core/SymbolFonts.h"

namespace wordproc {

namespace ooxml::reader {

namespace {

float Twips(xml_node node, std::string_view name) {
  return float(std::clamp(ooxml::reader::Number(Value(node, name), 0) / 20, -1584.0, 1584.0));
}

}  // namespace

// w:ind of a paragraph or level; start/end are the names of newer files.
Indents IndentsOf(xml_node ind, Indents base) {
  auto has = [&](std::string_view name) { return !Value(ind, name).empty(); };
  if (has("left")) base.left = Twips(ind, "left");
  if (has("start")) base.left = Twips(ind, "start");
  if (has("right")) base.right = Twips(ind, "right");
  if (has("end")) base.right = Twips(ind, "end");
  if (has("firstLine")) base.firstLine = Twips(ind, "firstLine");
  if (has("hanging")) base.firstLine = -Twips(ind, "hanging");
  return base;
}

}  // namespace ooxml::reader

namespace {

using ooxml::reader::Child;
using ooxml::reader::ForEachChild;
using ooxml::reader::Is;
using ooxml::reader::Value;
using pugi::xml_node;

constexpr int kMostNumber = 1'000'000;

std::string Roman(int n, bool upper) {
  static const std::pair<int, const char*> kParts[] = {
      {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"}, {50, "l"},
      {40, "xl"},  {10, "x"},   {9, "ix"},  {5, "v"},    {4, "iv"},  {1, "i"}};
  std::string out;
  n = std::min(n, 3999);
  for (const auto& [value, text] : kParts) {
    for (; n >= value; n -= value) out += text;
  }
  if (upper) std::transform(out.begin(), out.end(), out.begin(), ::toupper);
  return out;
}

// A, B, ... Z, AA, BB, ...: the word processor repeats the letter rather than counting on.
std::string Letters(int n, const std::vector<char32_t>& alphabet) {
  const int size = int(alphabet.size());
  const int repeat = std::min((n - 1) / size + 1, 50);
  std::string out;
  for (int k = 0; k < repeat; ++k) platform::AppendUtf8(out, alphabet[std::size_t((n - 1) % size)]);
  return out;
}

std::vector<char32_t> Alphabet(char32_t first, char32_t last, std::u32string_view skipped = {}) {
  std::vector<char32_t> letters;
  for (char32_t c = first; c <= last; ++c)
    if (skipped.find(c) == std::u32string_view::npos) letters.push_back(c);
  return letters;
}

int Int(std::string_view text, int fallback) {
  const double value = ooxml::reader::Number(text, fallback);
  return int(std::clamp(value, -double(kMostNumber), double(kMostNumber)));
}

ListLevel ReadLevel(xml_node lvl) {
  ListLevel level;
  if (xml_node start = Child(lvl, "start")) level.start = Int(Value(start, "val"), 1);
  if (xml_node format = Child(lvl, "numFmt")) level.format = std::string(Value(format, "val"));
  if (xml_node text = Child(lvl, "lvlText")) level.text = std::string(Value(text, "val"));
  if (xml_node suffix = Child(lvl, "suff")) {
    const std::string_view v = Value(suffix, "val");
    level.suffix = v == "space" ? 's' : v == "nothing" ? 'n' : 't';
  }
  if (xml_node legal = Child(lvl, "isLgl")) level.legal = ooxml::reader::OnOff(legal);
  if (xml_node restart = Child(lvl, "lvlRestart"))
    level.restartAfter = Int(Value(restart, "val"), -1);
  if (xml_node ind = Child(Child(lvl, "pPr"), "ind"))
    level.indents = ooxml::reader::IndentsOf(ind, {});
  if (xml_node fonts = Child(Child(lvl, "rPr"), "rFonts")) {
    level.font = std::string(Value(fonts, "ascii"));
    if (level.font.empty()) level.font = std::string(Value(fonts, "hAnsi"));
  }
  return level;
}

void ReadDefinition(xml_node abstractNum, Numbering& numbering) {
  ListDefinition definition;
  ForEachChild(abstractNum, [&](xml_node lvl) {
    if (!Is(lvl, "lvl")) return false;
    const int index = Int(Value(lvl, "ilvl"), -1);
    if (index >= 0 && index < kListLevels) definition.levels[std::size_t(index)] = ReadLevel(lvl);
    return false;
  });
  numbering.definitions[Int(Value(abstractNum, "abstractNumId"), 0)] = std::move(definition);
}

void ReadList(xml_node num, Numbering& numbering) {
  ListInstance list;
  list.definition = Int(Value(Child(num, "abstractNumId"), "val"), 0);
  ForEachChild(num, [&](xml_node over) {
    if (!Is(over, "lvlOverride")) return false;
    const int index = Int(Value(over, "ilvl"), -1);
    if (index < 0 || index >= kListLevels) return false;
    if (xml_node start = Child(over, "startOverride"))
      list.startOverrides[index] = Int(Value(start, "val"), 1);
    if (xml_node lvl = Child(over, "lvl")) list.levelOverrides[index] = ReadLevel(lvl);
    return false;
  });
  numbering.lists[Int(Value(num, "numId"), 0)] = std::move(list);
}

// Picture bullets refer to pictures of the part's own relationships, which are not kept.
void DropPictureBullets(xml_node node) {
  for (xml_node c = node.first_child(); c;) {
    xml_node next = c.next_sibling();
    if (Is(c, "numPicBullet") || Is(c, "lvlPicBulletId"))
      node.remove_child(c);
    else
      DropPictureBullets(c);
    c = next;
  }
}

struct PartWriter : pugi::xml_writer {
  std::string out;
  void write(const void* data, std::size_t size) override {
    out.append(static_cast<const char*>(data), size);
  }
};

// Counters of one list definition, level by level; kUnused where the level has not been used
// since it last started anew.
constexpr int kUnused = -1;
struct Counters {
  std::array<int, kListLevels> at;
  Counters() { at.fill(kUnused); }
};

std::string Label(const ListLevel& shown, const ListDefinition& definition,
                  const Counters& counters) {
  if (shown.format == "bullet") return BulletText(shown.text, shown.font);
  if (shown.format == "none") return {};
  std::string label;
  for (std::size_t k = 0; k < shown.text.size(); ++k) {
    const char c = shown.text[k];
    if (c == '%' && k + 1 < shown.text.size() && shown.text[k + 1] >= '1' &&
        shown.text[k + 1] <= '9') {
      const std::size_t level = std::size_t(shown.text[++k] - '1');
      const ListLevel& of = definition.levels[level];
      const int n = counters.at[level] != kUnused ? counters.at[level] : of.start;
      const bool decimal = shown.legal && &of != &shown;
      label += FormatListNumber(n, decimal ? "decimal" : std::string_view(of.format));
    } else {
      label += c;
    }
  }
  return label;
}

}  // namespace

const ListLevel* Numbering::level(int numId, int index) const {
  auto list = lists.find(numId);
  if (list == lists.end() || index < 0 || index >= kListLevels) return nullptr;
  if (auto own = list->second.levelOverrides.find(index); own != list->second.levelOverrides.end())
    return &own->second;
  auto definition = definitions.find(list->second.definition);
  if (definition == definitions.end()) return nullptr;
  return &definition->second.levels[std::size_t(index)];
}

namespace {

// The marks of the "chicago" format: four symbols, doubled, tripled... on each round.
std::string ChicagoMark(int n) {
  static const char* const kSymbols[] = {"*", "\xE2\x80\xA0", "\xE2\x80\xA1", "\xC2\xA7"};
  std::string mark;
  const int repeat = std::min((n - 1) / 4 + 1, 16);
  for (int k = 0; k < repeat; ++k) mark += kSymbols[(n - 1) % 4];
  return mark;
}

}  // namespace

std::string NoteNumberText(int n, const std::string& format) {
  if (format == "chicago" && n > 0) return ChicagoMark(n);
  return FormatListNumber(n, format);
}

std::string FormatListNumber(int n, std::string_view format) {
  n = std::clamp(n, 0, kMostNumber);
  if (format == "none" || format == "bullet") return {};
  if (n > 0 && (format == "upperRoman" || format == "lowerRoman"))
    return Roman(n, format == "upperRoman");
  if (n > 0 && (format == "upperLetter" || format == "lowerLetter")) {
    const bool upper = format == "upperLetter";
    return Letters(n, Alphabet(upper ? U'A' : U'a', upper ? U'Z' : U'z'));
  }
  // The Russian alphabet of lists leaves out the letters no item is called by.
  if (n > 0 && (format == "russianLower" || format == "russianUpper")) {
    const bool upper = format == "russianUpper";
    return Letters(n, upper ? Alphabet(U'А', U'Я', U"ЙЪЫЬ") : Alphabet(U'а', U'я', U"йъыь"));
  }
  std::string digits = std::to_string(n);
  if (format == "decimalZero" && n < 10) digits = "0" + digits;
  return digits;
}

std::string BulletText(std::string_view text, std::string_view font) {
  // Fonts of bullets we know no table of are taken for the one they are most likely drawn like.
  const std::string_view table = IsKnownSymbolFont(font)           ? font
                                 : font.rfind("Wingdings", 0) == 0 ? "Wingdings"
                                                                   : "Symbol";
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    const platform::Utf8Char c = platform::DecodeUtf8(text, at);
    at += std::max<std::size_t>(c.length, 1);
    char32_t shown = c.codePoint;
    if (shown >= kSymbolFontBase + 0x20 && shown <= kSymbolFontBase + 0xFF)
      shown = SymbolStandIn(table, shown);
    platform::AppendUtf8(out, shown);
  }
  return out;
}

void NumberParagraphs(std::vector<Paragraph>& paragraphs, const Numbering& numbering) {
  std::map<int, Counters> counters;  // by definition
  std::map<int, bool> begun;         // lists whose start overrides were applied
  for (Paragraph& p : paragraphs) {
    const ListLevel* shown = numbering.level(p.list.numId, p.list.level);
    if (!shown) {
      p.list.label.clear();
      continue;
    }
    const ListInstance& list = numbering.lists.at(p.list.numId);
    Counters& count = counters[list.definition];
    if (!begun[p.list.numId]) {
      begun[p.list.numId] = true;
      for (const auto& [level, start] : list.startOverrides)
        count.at[std::size_t(level)] = std::max(start, 0) - 1;
    }
    const ListDefinition& definition = numbering.definitions.at(list.definition);
    const auto at = std::size_t(p.list.level);
    int& n = count.at[at];
    n = n == kUnused ? std::max(shown->start, 0) : std::min(n + 1, kMostNumber);
    // lvlRestart names the level (from 1) after whose use this one starts again; 0 never.
    for (std::size_t deeper = at + 1; deeper < count.at.size(); ++deeper) {
      const int after = definition.levels[deeper].restartAfter;
      if (after < 0 || (after > 0 && int(at) < after)) count.at[deeper] = kUnused;
    }
    p.list.label = Label(*shown, definition, count);
    p.list.suffix = shown->suffix;
  }
}

Numbering ReadNumbering(std::string_view xml) {
  Numbering numbering;
  pugi::xml_document doc;
  if (!doc.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8))
    return numbering;
  const xml_node root = doc.document_element();
  ForEachChild(root, [&](xml_node c) {
    if (Is(c, "abstractNum")) ReadDefinition(c, numbering);
    if (Is(c, "num")) ReadList(c, numbering);
    return false;
  });
  DropPictureBullets(root);
  PartWriter writer;
  doc.save(writer, "", pugi::format_raw | pugi::format_no_declaration);
  numbering.part = std::move(writer.out);
  return numbering;
}

}  // namespace wordproc
