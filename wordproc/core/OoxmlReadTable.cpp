// Tables of the body: the grid, rows and cells with their properties, from the default table
// style, the table's style chain with the conditional formats each cell takes, and the table's own
// properties. Cell text goes into the body's paragraph list, each paragraph naming its cell.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "wordproc/core/OoxmlReadContext.h"

namespace wordproc::ooxml::reader {

namespace {

// Deeper nesting than any real document uses is read as the text of the enclosing cell.
constexpr std::size_t kMaxTableDepth = 8;
constexpr int kMaxGridSpan = 64;

float Points(std::optional<double> twips, double lo = 0) {
  return twips ? static_cast<float>(Clamp(*twips, lo, kMaxLengthPt)) : 0.0f;
}

// A width element (w:tblW, w:tcW, w:tblInd, margins): points for dxa or no type, nothing for
// automatic or percentage widths.
std::optional<float> DxaWidth(xml_node node) {
  if (!node) return std::nullopt;
  const std::string_view type = Value(node, "type");
  if (!type.empty() && type != "dxa") return std::nullopt;
  const auto w = TwipsValue(node, "w");
  if (!w) return std::nullopt;
  return static_cast<float>(Clamp(*w, -kMaxLengthPt, kMaxLengthPt));
}

std::optional<BorderLine> ReadBorder(xml_node edge) {
  if (!edge) return std::nullopt;
  BorderLine line;
  const std::string_view style = Value(edge, "val");
  line.visible = !style.empty() && style != "none" && style != "nil";
  // w:sz counts eighths of a point.
  line.width = static_cast<float>(Clamp(Number(Value(edge, "sz"), 4) / 8, 0.25, 12, 0.5));
  if (auto color = ParseHexColor(Value(edge, "color"))) line.color = *color;
  if (line.visible && IsToken(style)) line.style = std::string(style);
  line.space = static_cast<float>(Clamp(Number(Value(edge, "space"), 0), 0, 31, 0));
  return line;
}

void ReadBorders(xml_node borders, CellBorders& into) {
  if (!borders) return;
  auto edge = [&](const char* name, const char* alias, std::optional<BorderLine>& slot) {
    xml_node node = Child(borders, name);
    if (!node) node = Child(borders, alias);
    if (auto line = ReadBorder(node)) slot = line;
  };
  edge("top", "top", into.top);
  edge("left", "start", into.left);
  edge("bottom", "bottom", into.bottom);
  edge("right", "end", into.right);
}

void ReadMargins(xml_node margins, CellMargins& into) {
  if (!margins) return;
  auto side = [&](const char* name, const char* alias, float& slot) {
    xml_node node = Child(margins, name);
    if (!node) node = Child(margins, alias);
    if (auto w = DxaWidth(node)) slot = std::max(0.0f, *w);
  };
  side("top", "top", into.top);
  side("left", "start", into.left);
  side("bottom", "bottom", into.bottom);
  side("right", "end", into.right);
}

// Which of a table style's conditional formats (w:tblStylePr) a table takes (w:tblLook), as the
// flags of the element's hexadecimal form.
enum LookFlag : std::uint16_t {
  kFirstRow = 0x20,
  kLastRow = 0x40,
  kFirstColumn = 0x80,
  kLastColumn = 0x100,
  kNoRowBands = 0x200,
  kNoColumnBands = 0x400,
};
// What the word processor takes where a table names none.
constexpr std::uint16_t kDefaultLook = 0x04A0;

// The word processor reads the hexadecimal form only where no flag is named.
std::uint16_t LookFlags(xml_node look) {
  if (!look) return kDefaultLook;
  static constexpr std::pair<std::string_view, std::uint16_t> kNamed[] = {
      {"firstRow", kFirstRow},     {"lastRow", kLastRow},    {"firstColumn", kFirstColumn},
      {"lastColumn", kLastColumn}, {"noHBand", kNoRowBands}, {"noVBand", kNoColumnBands}};
  std::uint16_t flags = 0;
  bool named = false;
  for (const auto& [name, flag] : kNamed) {
    const std::string_view v = Value(look, name);
    if (v.empty()) continue;
    named = true;
    if (v == "1" || v == "true" || v == "on") flags |= flag;
  }
  if (named) return flags;
  const std::string hex(Value(look, "val"));
  char* end = nullptr;
  const unsigned long value = std::strtoul(hex.c_str(), &end, 16);
  if (hex.empty() || *end != '\0') return kDefaultLook;
  return static_cast<std::uint16_t>(value & 0x07E0);
}

// The part of a table a conditional format covers: its borders stand at that part's edges, and
// its inside borders (insideH, insideV) between the cells within.
enum class Region : std::uint8_t { Table, Row, Column, Cell };

struct Condition {
  std::string_view type;
  Region region;
};

// Where a cell stands: its row and its place in the row, and how many there are of each.
struct CellPlace {
  std::size_t row = 0, rows = 0, cell = 0, cells = 0;
};

// A table's conditional formats, its base styles' first, and what it takes of them.
struct TableConditions {
  std::vector<xml_node> formats;
  std::uint16_t look = kDefaultLook;
  std::size_t rowBand = 1, columnBand = 1;
  std::size_t rows = 0;
};

// The formats a cell takes, in the order they apply, later ones over earlier ones: bands,
// then columns, then rows, then corners.
std::vector<Condition> ConditionsOf(const TableConditions& table, const CellPlace& at) {
  const std::uint16_t look = table.look;
  const bool firstRow = (look & kFirstRow) && at.row == 0;
  const bool lastRow = (look & kLastRow) && at.row + 1 == at.rows;
  const bool firstColumn = (look & kFirstColumn) && at.cell == 0;
  const bool lastColumn = (look & kLastColumn) && at.cell + 1 == at.cells;
  std::vector<Condition> out{{"wholeTable", Region::Table}};
  if (!(look & kNoColumnBands) && !firstColumn && !lastColumn) {
    const std::size_t band = (at.cell - ((look & kFirstColumn) ? 1 : 0)) / table.columnBand;
    out.push_back({band % 2 == 0 ? "band1Vert" : "band2Vert", Region::Column});
  }
  if (!(look & kNoRowBands) && !firstRow) {
    const std::size_t band = (at.row - ((look & kFirstRow) ? 1 : 0)) / table.rowBand;
    out.push_back({band % 2 == 0 ? "band1Horz" : "band2Horz", Region::Row});
  }
  if (firstColumn) out.push_back({"firstCol", Region::Column});
  if (lastColumn) out.push_back({"lastCol", Region::Column});
  if (firstRow) out.push_back({"firstRow", Region::Row});
  if (lastRow) out.push_back({"lastRow", Region::Row});
  if (firstRow && firstColumn) out.push_back({"nwCell", Region::Cell});
  if (firstRow && lastColumn) out.push_back({"neCell", Region::Cell});
  if (lastRow && firstColumn) out.push_back({"swCell", Region::Cell});
  if (lastRow && lastColumn) out.push_back({"seCell", Region::Cell});
  return out;
}

void ReadRegionBorders(xml_node borders, Region region, const CellPlace& at, CellBorders& into) {
  if (!borders) return;
  auto edge = [&](bool outer, const char* name, const char* alias, const char* inside,
                  std::optional<BorderLine>& slot) {
    xml_node node = outer ? Child(borders, name) : Child(borders, inside);
    if (!node && outer) node = Child(borders, alias);
    if (auto line = ReadBorder(node)) slot = line;
  };
  const bool oneRow = region == Region::Row || region == Region::Cell;
  const bool oneColumn = region == Region::Column || region == Region::Cell;
  edge(oneRow || at.row == 0, "top", "top", "insideH", into.top);
  edge(oneRow || at.row + 1 == at.rows, "bottom", "bottom", "insideH", into.bottom);
  edge(oneColumn || at.cell == 0, "left", "start", "insideV", into.left);
  edge(oneColumn || at.cell + 1 == at.cells, "right", "end", "insideV", into.right);
}

// How many rows and columns make one band (w:tblStyleRowBandSize, w:tblStyleColBandSize).
void ReadBandSizes(xml_node tblPr, TableConditions& conditions) {
  auto size = [&](const char* name, std::size_t& slot) {
    if (xml_node n = Child(tblPr, name))
      slot = static_cast<std::size_t>(Clamp(Number(Value(n, "val"), 1), 1, 255, 1));
  };
  size("tblStyleRowBandSize", conditions.rowBand);
  size("tblStyleColBandSize", conditions.columnBand);
}

void ApplyTableProperties(xml_node tblPr, Table& table) {
  if (!tblPr) return;
  if (xml_node w = Child(tblPr, "tblW")) {
    if (Value(w, "type") == "pct") {
      // Fiftieths of a percent, or a percentage written out ("100%").
      const std::string_view text = Value(w, "w");
      const std::size_t percent = text.find('%');
      const double value = Number(text.substr(0, percent));
      const double share = percent != std::string_view::npos ? value / 100 : value / 5000;
      table.widthPercent = static_cast<float>(Clamp(share, 0, 10));
      table.width = 0;
    } else if (auto width = DxaWidth(w); width && *width > 0) {
      table.width = *width;
      table.widthPercent = 0;
    }
  }
  if (auto indent = DxaWidth(Child(tblPr, "tblInd"))) table.indent = *indent;
  if (xml_node jc = Child(tblPr, "jc")) {
    const std::string_view v = Value(jc, "val");
    table.alignment = v == "center"                ? Alignment::Center
                      : v == "right" || v == "end" ? Alignment::Right
                                                   : Alignment::Left;
  }
  ReadMargins(Child(tblPr, "tblCellMar"), table.cellMargins);
  if (xml_node borders = Child(tblPr, "tblBorders")) {
    ReadBorders(borders, table.borders);
    if (auto h = ReadBorder(Child(borders, "insideH"))) table.insideH = h;
    if (auto v = ReadBorder(Child(borders, "insideV"))) table.insideV = v;
  }
}

void ReadRowProperties(xml_node trPr, TableRow& row) {
  if (!trPr) return;
  if (xml_node height = Child(trPr, "trHeight")) {
    row.height = Points(TwipsValue(height, "val"));
    const std::string_view rule = Value(height, "hRule");
    // Without a rule the word processors take the height as a minimum.
    row.heightRule = rule == "exact"  ? RowHeightRule::Exact
                     : rule == "auto" ? RowHeightRule::Auto
                                      : RowHeightRule::AtLeast;
  }
  if (xml_node header = Child(trPr, "tblHeader")) row.header = OnOff(header);
  if (xml_node cantSplit = Child(trPr, "cantSplit")) row.cantSplit = OnOff(cantSplit);
  if (xml_node before = Child(trPr, "gridBefore"))
    row.gridBefore = static_cast<int>(Clamp(Number(Value(before, "val")), 0, kMaxGridSpan));
}

std::optional<RowTableProperties> ReadRowExceptions(xml_node tblPrEx) {
  if (!tblPrEx) return std::nullopt;
  RowTableProperties own;
  ReadMargins(Child(tblPrEx, "tblCellMar"), own.cellMargins);
  if (xml_node borders = Child(tblPrEx, "tblBorders")) {
    ReadBorders(borders, own.borders);
    own.insideH = ReadBorder(Child(borders, "insideH"));
    own.insideV = ReadBorder(Child(borders, "insideV"));
  }
  if (own == RowTableProperties{}) return std::nullopt;
  return own;
}

// A conditional format gives cells shading, borders and alignment.
void ApplyConditionalCell(xml_node tcPr, Region region, const CellPlace& at, TableCell& cell) {
  if (!tcPr) return;
  if (xml_node shd = Child(tcPr, "shd")) cell.shading = ParseHexColor(Value(shd, "fill"));
  ReadRegionBorders(Child(tcPr, "tcBorders"), region, at, cell.borders);
  const std::string_view align = Value(Child(tcPr, "vAlign"), "val");
  if (!align.empty()) {
    cell.align = align == "center"   ? CellAlign::Center
                 : align == "bottom" ? CellAlign::Bottom
                                     : CellAlign::Top;
  }
}

// The conditional formats' cell properties go into the cell; their paragraph and run properties
// are added to those of the table's styles.
void ApplyConditions(const TableConditions& table, const CellPlace& at, TableCell& cell,
                     std::vector<xml_node>& paragraph, std::vector<xml_node>& run) {
  for (const Condition& condition : ConditionsOf(table, at)) {
    for (xml_node format : table.formats) {
      if (Value(format, "type") != condition.type) continue;
      ApplyConditionalCell(Child(format, "tcPr"), condition.region, at, cell);
      if (xml_node pPr = Child(format, "pPr")) paragraph.push_back(pPr);
      if (xml_node rPr = Child(format, "rPr")) run.push_back(rPr);
    }
  }
}

bool JoinsCellBefore(xml_node tc, const TableRow& row) {
  xml_node merge = Child(Child(tc, "tcPr"), "hMerge");
  return merge && Value(merge, "val") != "restart" && !row.cells.empty();
}

void ReadCellProperties(xml_node tcPr, TableCell& cell) {
  if (!tcPr) return;
  if (auto width = DxaWidth(Child(tcPr, "tcW")); width && *width > 0) cell.width = *width;
  if (xml_node span = Child(tcPr, "gridSpan"))
    cell.gridSpan = static_cast<int>(Clamp(Number(Value(span, "val"), 1), 1, kMaxGridSpan, 1));
  if (xml_node merge = Child(tcPr, "vMerge")) {
    cell.vMerge =
        Value(merge, "val") == "restart" ? VerticalMerge::Restart : VerticalMerge::Continue;
  }
  if (xml_node margins = Child(tcPr, "tcMar")) {
    CellMargins own{-1, -1, -1, -1};
    ReadMargins(margins, own);
    cell.margins = own;  // sides left at -1 follow the table's
  }
  if (xml_node shd = Child(tcPr, "shd")) cell.shading = ParseHexColor(Value(shd, "fill"));
  ReadBorders(Child(tcPr, "tcBorders"), cell.borders);
  const std::string_view align = Value(Child(tcPr, "vAlign"), "val");
  if (align == "center") cell.align = CellAlign::Center;
  if (align == "bottom") cell.align = CellAlign::Bottom;
  if (align == "top") cell.align = CellAlign::Top;
}

}  // namespace

void ReadContext::ReadTable(xml_node tbl, bool body, std::vector<Paragraph>& out) {
  if (cells_.size() >= kMaxTableDepth) {
    ForEachRowCell(tbl, [&](xml_node tc) { ReadBlocks(tc, body, out); });
    return;
  }
  auto table = std::make_shared<Table>();
  ChargeModel(sizeof(Table));
  const xml_node tblPr = Child(tbl, "tblPr");
  const std::string styleId(Value(Child(tblPr, "tblStyle"), "val"));
  TableStyle style;
  TableConditions conditions;
  std::vector<KeptList> unread;
  const std::string* styles[] = {&defaultTableStyle_, &styleId};
  for (const std::string* id : styles) {
    if (id->empty()) continue;
    for (xml_node props : StyleChain(*id, "tblPr")) {
      ApplyTableProperties(props, *table);
      ReadBandSizes(props, conditions);
      unread.push_back(UnreadProperties(props, PropertyKind::Table, true));
    }
    for (xml_node props : StyleChain(*id, "pPr")) style.paragraph.push_back(props);
    for (xml_node props : StyleChain(*id, "rPr")) style.run.push_back(props);
    // A style's conditional formats close it, one after another.
    for (xml_node first : StyleChain(*id, "tblStylePr")) {
      for (xml_node f = first; f; f = f.next_sibling())
        if (Is(f, "tblStylePr")) conditions.formats.push_back(f);
    }
  }
  ApplyTableProperties(tblPr, *table);
  ReadBandSizes(tblPr, conditions);
  if (Keeps(body)) {
    unread.push_back(UnreadProperties(tblPr, PropertyKind::Table, false));
    table->kept = KeepProperties(unread, PropertyKind::Table);
  }
  table->style = styleId;
  if (xml_node look = Child(tblPr, "tblLook")) table->look = LookFlags(look);
  conditions.look = table->look.value_or(kDefaultLook);
  if (!conditions.formats.empty()) ForEachRow(tbl, [&](xml_node) { ++conditions.rows; });
  table->indentToText = compatibilityMode_ < 15 && cells_.empty();
  for (xml_node col : Child(tbl, "tblGrid").children()) {
    if (!Is(col, "gridCol")) continue;
    ChargeModel(sizeof(float));
    table->grid.push_back(Points(TwipsValue(col, "w")));
  }
  const TableStyle outer = std::exchange(tableStyle_, style);
  WrapperTarget rows([&](bool opens) -> std::vector<BlockWrapperPtr>& {
    return opens ? table->rows.back().opens : table->rows.back().closes;
  });
  ForEachWrapped(
      tbl, "tr",
      [&](xml_node tr) {
        KeepMarkersBack(tr.previous_sibling(), "tr", body);
        ChargeModel(sizeof(TableRow));
        TableRow& row = table->rows.emplace_back();
        ReadRowProperties(Child(tr, "trPr"), row);
        if (Keeps(body)) row.kept = {UnreadProperties(Child(tr, "trPr"), PropertyKind::Row, false)};
        row.exceptions = ReadRowExceptions(Child(tr, "tblPrEx"));
        const auto rowIndex = static_cast<std::uint32_t>(table->rows.size() - 1);
        std::size_t rowCells = 0;
        if (!conditions.formats.empty()) ForEachCell(tr, [&](xml_node) { ++rowCells; });
        WrapperTarget cells([&](bool opens) -> std::vector<BlockWrapperPtr>& {
          TableCell& cell = table->rows[rowIndex].cells.back();
          return opens ? cell.opens : cell.closes;
        });
        ForEachWrapped(
            tr, "tc",
            [&](xml_node tc) {
              KeepMarkersBack(tc.previous_sibling(), "tc", body);
              if (JoinsCellBefore(tc, table->rows[rowIndex])) {
                ReadJoinedCell(tc, body, table, rowIndex, out);
                return;
              }
              ChargeModel(sizeof(TableCell));
              const auto cellIndex = static_cast<std::uint32_t>(table->rows[rowIndex].cells.size());
              TableCell& cell = table->rows[rowIndex].cells.emplace_back();
              if (!conditions.formats.empty()) {
                tableStyle_ = style;
                ApplyConditions(conditions, {rowIndex, conditions.rows, cellIndex, rowCells}, cell,
                                tableStyle_.paragraph, tableStyle_.run);
              }
              ReadCellProperties(Child(tc, "tcPr"), cell);
              if (Keeps(body))
                cell.kept = {UnreadProperties(Child(tc, "tcPr"), PropertyKind::Cell, false)};
              cells_.push_back(CellRef{table, rowIndex, cellIndex});
              const std::size_t before = out.size();
              ReadBlocks(tc, body, out);
              // Every cell holds a paragraph, if only its end mark.
              if (out.size() == before) out.push_back(EmptyCellParagraph());
              EndPendingControls(out);
              cells_.pop_back();
            },
            body ? &cells : nullptr);
        KeepMarkersBack(tr.last_child(), "tc", body);
      },
      body ? &rows : nullptr);
  KeepMarkersBack(tbl.last_child(), "tr", body);
  tableStyle_ = outer;
}

// Older files merge cells across with w:hMerge: the cells that continue a merge widen the one
// that begins it. What they hold goes on in that cell; empty paragraphs only are left out.
void ReadContext::ReadJoinedCell(xml_node tc, bool body, const std::shared_ptr<Table>& table,
                                 std::uint32_t row, std::vector<Paragraph>& out) {
  TableCell& cell = table->rows[row].cells.back();
  const CellRef into{table, row, std::uint32_t(table->rows[row].cells.size() - 1)};
  TableCell joined;
  ReadCellProperties(Child(tc, "tcPr"), joined);
  cell.gridSpan = std::min(kMaxGridSpan, cell.gridSpan + joined.gridSpan);
  if (cell.width > 0) cell.width += joined.width;
  cells_.push_back(into);
  std::vector<Paragraph> read;
  ReadBlocks(tc, body, read);
  EndPendingControls(read);
  cells_.pop_back();
  const auto anchors = [&](const Paragraph& p) {
    return std::any_of(doc_->shapes.begin(), doc_->shapes.end(),
                       [&](const AnchoredShape& s) { return s.anchorParagraph == p.id; });
  };
  const bool holds = std::any_of(read.begin(), read.end(), [&](const Paragraph& p) {
    return p.cells.size() > cells_.size() + 1 || !p.runs.empty() || !p.inlinePictures.empty() ||
           !p.opens.empty() || !p.closes.empty() || anchors(p);
  });
  if (holds) std::move(read.begin(), read.end(), std::back_inserter(out));
}

Paragraph ReadContext::EmptyCellParagraph() {
  CountParagraph();
  Paragraph para;
  para.id = doc_->newParagraphId();
  para.markFormat = baseRun_;
  para.cells = cells_;
  return para;
}

void ReadContext::ForEachWrapped(xml_node parent, std::string_view element, const NodeVisitor& f,
                                 WrapperTarget* target) {
  ForEachChild(parent, [&](xml_node c) {
    if (Is(c, element)) {
      f(c);
      if (!target) return false;
      auto& opens = target->last(true);
      opens.insert(opens.end(), target->waiting.begin(), target->waiting.end());
      target->waiting.clear();
      ++target->visited;
    } else if (Is(c, "sdt") && target) {
      const std::size_t before = target->visited;
      BlockWrapperPtr wrapper = WrapperOf(c);
      target->waiting.push_back(wrapper);
      ForEachWrapped(Child(c, "sdtContent"), element, f, target);
      // One that held none is lost, as before.
      if (target->visited == before)
        target->waiting.pop_back();
      else
        target->last(false).push_back(std::move(wrapper));
    } else if (Is(c, "sdt")) {
      ForEachWrapped(Child(c, "sdtContent"), element, f);
    } else if (Is(c, "customXml") || Is(c, "ins") || Is(c, "moveTo")) {
      ForEachWrapped(c, element, f, target);
    }
    return false;
  });
}

void ReadContext::ForEachRow(xml_node tbl, const NodeVisitor& f) {
  ForEachWrapped(tbl, "tr", f);
}

void ReadContext::ForEachCell(xml_node tr, const NodeVisitor& f) {
  ForEachWrapped(tr, "tc", f);
}

void ReadContext::ForEachRowCell(xml_node tbl, const NodeVisitor& f) {
  ForEachRow(tbl, [&](xml_node tr) { ForEachCell(tr, f); });
}

}  // namespace wordproc::ooxml::reader
