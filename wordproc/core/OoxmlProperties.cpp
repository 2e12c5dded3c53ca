#include "wordproc/core/OoxmlProperties.h"

#include <algorithm>
#include <iterator>

#include "wordproc/core/KeptPackage.h"
#include "wordproc/core/OoxmlInternal.h"

namespace wordproc::ooxml {

namespace {

// CT_TblPr, its revision last.
constexpr std::string_view kTableOrder[] = {"tblStyle",
                                            "tblpPr",
                                            "tblOverlap",
                                            "bidiVisual",
                                            "tblStyleRowBandSize",
                                            "tblStyleColBandSize",
                                            "tblW",
                                            "jc",
                                            "tblCellSpacing",
                                            "tblInd",
                                            "tblBorders",
                                            "shd",
                                            "tblLayout",
                                            "tblCellMar",
                                            "tblLook",
                                            "tblCaption",
                                            "tblDescription",
                                            "",
                                            "tblPrChange"};

// CT_TrPr, whose base properties may come in any order: as the word processor writes them.
constexpr std::string_view kRowOrder[] = {
    "cnfStyle",  "divId",    "gridBefore", "gridAfter",      "wBefore", "wAfter",
    "cantSplit", "trHeight", "tblHeader",  "tblCellSpacing", "jc",      "hidden",
    "",          "ins",      "del",        "trPrChange"};

// CT_TcPr.
constexpr std::string_view kCellOrder[] = {
    "cnfStyle", "tcW",     "gridSpan",      "hMerge",    "vMerge",    "tcBorders", "shd",
    "noWrap",   "tcMar",   "textDirection", "tcFitText", "vAlign",    "hideMark",  "headers",
    "",         "cellIns", "cellDel",       "cellMerge", "tcPrChange"};

// CT_PPr: the base properties, then the mark's run properties, the section and the revision.
constexpr std::string_view kParagraphOrder[] = {"pStyle",
                                                "keepNext",
                                                "keepLines",
                                                "pageBreakBefore",
                                                "framePr",
                                                "widowControl",
                                                "numPr",
                                                "suppressLineNumbers",
                                                "pBdr",
                                                "shd",
                                                "tabs",
                                                "suppressAutoHyphens",
                                                "kinsoku",
                                                "wordWrap",
                                                "overflowPunct",
                                                "topLinePunct",
                                                "autoSpaceDE",
                                                "autoSpaceDN",
                                                "bidi",
                                                "adjustRightInd",
                                                "snapToGrid",
                                                "spacing",
                                                "ind",
                                                "contextualSpacing",
                                                "mirrorIndents",
                                                "suppressOverlap",
                                                "jc",
                                                "textDirection",
                                                "textAlignment",
                                                "textboxTightWrap",
                                                "outlineLvl",
                                                "divId",
                                                "cnfStyle",
                                                "",
                                                "rPr",
                                                "sectPr",
                                                "pPrChange"};

// CT_ParaRPr, which CT_RPr follows but for the revision marks of a paragraph mark.
constexpr std::string_view kRunOrder[] = {"ins",
                                          "del",
                                          "moveFrom",
                                          "moveTo",
                                          "rStyle",
                                          "rFonts",
                                          "b",
                                          "bCs",
                                          "i",
                                          "iCs",
                                          "caps",
                                          "smallCaps",
                                          "strike",
                                          "dstrike",
                                          "outline",
                                          "shadow",
                                          "emboss",
                                          "imprint",
                                          "noProof",
                                          "snapToGrid",
                                          "vanish",
                                          "webHidden",
                                          "color",
                                          "spacing",
                                          "w",
                                          "kern",
                                          "position",
                                          "sz",
                                          "szCs",
                                          "highlight",
                                          "u",
                                          "effect",
                                          "bdr",
                                          "shd",
                                          "fitText",
                                          "vertAlign",
                                          "rtl",
                                          "cs",
                                          "em",
                                          "lang",
                                          "eastAsianLayout",
                                          "specVanish",
                                          "oMath",
                                          "",
                                          "rPrChange"};

template <std::size_t N>
int RankIn(const std::string_view (&order)[N], std::string_view qualifiedName) {
  const auto other = std::find(std::begin(order), std::end(order), std::string_view());
  if (!qualifiedName.starts_with("w:")) return int(other - std::begin(order));
  const auto found = std::find(std::begin(order), std::end(order), qualifiedName.substr(2));
  return int((found == std::end(order) ? other : found) - std::begin(order));
}

}  // namespace

const std::vector<std::pair<const char*, const char*>>& WrittenNamespaces() {
  static const std::vector<std::pair<const char*, const char*>> kNamespaces = {
      {"mc", kNsMc},   {"o", kNsO},     {"r", kNsR},    {"v", kNsV},       {"w10", kNsW10},
      {"w", kNsW},     {"w14", kNsW14}, {"wp", kNsWp},  {"wp14", kNsWp14}, {"a", kNsA},
      {"pic", kNsPic}, {"wps", kNsWps}, {"wpg", kNsWpg}};
  return kNamespaces;
}

bool ModelledProperty(PropertyKind kind, std::string_view local) {
  static constexpr std::string_view kParagraph[] = {
      "pStyle", "keepNext", "keepLines", "pageBreakBefore",   "widowControl", "numPr", "tabs",
      "bidi",   "spacing",  "ind",       "contextualSpacing", "jc",           "rPr",   "sectPr"};
  // Sizes and styles of complex script follow the others when written.
  static constexpr std::string_view kRun[] = {"rStyle", "rFonts", "b",  "bCs", "i",
                                              "iCs",    "color",  "sz", "szCs"};
  static constexpr std::string_view kMark[] = {"vanish", "ins", "del", "moveFrom", "moveTo"};
  static constexpr std::string_view kTable[] = {"tblStyle",   "tblW",      "jc",         "tblInd",
                                                "tblBorders", "tblLayout", "tblCellMar", "tblLook"};
  static constexpr std::string_view kRow[] = {"gridBefore", "cantSplit", "trHeight", "tblHeader"};
  static constexpr std::string_view kCell[] = {"tcW",       "gridSpan", "hMerge", "vMerge",
                                               "tcBorders", "shd",      "tcMar",  "vAlign"};
  if (kind == PropertyKind::Table)
    return std::find(std::begin(kTable), std::end(kTable), local) != std::end(kTable);
  if (kind == PropertyKind::Row)
    return std::find(std::begin(kRow), std::end(kRow), local) != std::end(kRow);
  if (kind == PropertyKind::Cell)
    return std::find(std::begin(kCell), std::end(kCell), local) != std::end(kCell);
  if (kind == PropertyKind::Paragraph)
    return std::find(std::begin(kParagraph), std::end(kParagraph), local) != std::end(kParagraph);
  if (kind == PropertyKind::Mark &&
      std::find(std::begin(kMark), std::end(kMark), local) != std::end(kMark))
    return true;
  return std::find(std::begin(kRun), std::end(kRun), local) != std::end(kRun) ||
         local == "AlternateContent";
}

int PropertyRank(PropertyKind kind, std::string_view qualifiedName) {
  if (kind == PropertyKind::Table) return RankIn(kTableOrder, qualifiedName);
  if (kind == PropertyKind::Row) return RankIn(kRowOrder, qualifiedName);
  if (kind == PropertyKind::Cell) return RankIn(kCellOrder, qualifiedName);
  return kind == PropertyKind::Paragraph ? RankIn(kParagraphOrder, qualifiedName)
                                         : RankIn(kRunOrder, qualifiedName);
}

std::vector<KeptProperty> MergeProperties(
    const std::vector<const std::vector<KeptProperty>*>& lists) {
  std::vector<KeptProperty> merged;
  for (const auto* list : lists) {
    if (!list) continue;
    for (const KeptProperty& property : *list) {
      auto same = std::find_if(merged.begin(), merged.end(),
                               [&](const KeptProperty& p) { return p.name == property.name; });
      if (same != merged.end())
        *same = property;
      else
        merged.push_back(property);
    }
  }
  std::stable_sort(merged.begin(), merged.end(),
                   [](const KeptProperty& a, const KeptProperty& b) { return a.rank < b.rank; });
  return merged;
}

void PropertyWriter::Add(std::string_view name, std::string_view xml) {
  if (kept_) {
    const int rank = PropertyRank(kind_, name);
    for (; next_ < kept_->size() && (*kept_)[next_].rank <= rank; ++next_) {
      const KeptProperty& kept = (*kept_)[next_];
      if (kept.name != name) out_ += kept.xml;
    }
  }
  out_ += xml;
}

bool PropertyWriter::Keeps(std::string_view name) const {
  return kept_ && std::any_of(kept_->begin(), kept_->end(),
                              [&](const KeptProperty& p) { return p.name == name; });
}

void PropertyWriter::Finish() {
  if (!kept_) return;
  for (; next_ < kept_->size(); ++next_) out_ += (*kept_)[next_].xml;
}

}  // namespace wordproc::ooxml
