#include "wordproc/core/TableLayout.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "wordproc/core/Layout.h"

namespace wordproc {

namespace {

// Grid columns a file may ask for; more are taken as damage and set to the widest table seen.
constexpr std::size_t kMaxColumns = 512;
constexpr float kMinCellText = 1.0f;
// Rounding of the running sums must not push a row that fits exactly onto the next page.
constexpr double kTolerance = 1e-3;

// The table's margins under the row's own and the cell's: sides below zero follow.
CellMargins MarginsOf(const Table& table, const TableRow* row, const TableCell& cell) {
  CellMargins margins = table.cellMargins;
  auto own = [&margins](const CellMargins& m) {
    for (auto [value, slot] :
         {std::pair{m.top, &margins.top}, std::pair{m.left, &margins.left},
          std::pair{m.bottom, &margins.bottom}, std::pair{m.right, &margins.right}})
      if (value >= 0) *slot = value;
  };
  if (row && row->exceptions) own(row->exceptions->cellMargins);
  if (cell.margins) own(*cell.margins);
  return margins;
}

// How far the table's edge stands out from its indent: by the first cell's left margin where
// the indent is that of the cell's text.
float EdgeOutset(const Table& table) {
  if (!table.indentToText || table.rows.empty() || table.rows.front().cells.empty()) return 0;
  const TableRow& first = table.rows.front();
  return std::max(0.0f, MarginsOf(table, &first, first.cells.front()).left);
}

struct CellPlace {
  std::size_t column = 0, span = 1;
  float x = 0, width = 0;
};

// Where the cells of every row stand, from the grid, with equal shares of the table's width
// for columns the grid leaves out.
class Grid {
 public:
  Grid(const Table& table, float x, float available) {
    std::size_t needed = table.grid.size();
    for (const TableRow& row : table.rows) {
      std::size_t columns = std::size_t(std::max(0, row.gridBefore));
      for (const TableCell& cell : row.cells) columns += std::size_t(std::max(1, cell.gridSpan));
      needed = std::max(needed, columns);
    }
    needed = std::clamp<std::size_t>(needed, 1, kMaxColumns);
    columns_.assign(needed, 0.0f);
    for (std::size_t c = 0; c < needed && c < table.grid.size(); ++c)
      columns_[c] = std::max(0.0f, table.grid[c]);
    fillMissing(table, available, table.grid.size());
    scaleToPreferred(table, available);
    width_ = std::accumulate(columns_.begin(), columns_.end(), 0.0f);
    left_ = x + table.indent - EdgeOutset(table);
    if (table.alignment == Alignment::Center) left_ = x + (available - width_) / 2;
    if (table.alignment == Alignment::Right) left_ = x + available - width_;
    for (const TableRow& row : table.rows) rows_.push_back(placeRow(row));
  }

  float width() const { return width_; }
  const CellPlace& place(std::uint32_t row, std::uint32_t cell) const {
    static const CellPlace none;
    if (row >= rows_.size() || cell >= rows_[row].size()) return none;
    return rows_[row][cell];
  }
  // The cell of the row starting at the grid column, or -1.
  int cellAt(std::uint32_t row, std::size_t column) const {
    if (row >= rows_.size()) return -1;
    for (std::size_t c = 0; c < rows_[row].size(); ++c)
      if (rows_[row][c].column == column) return int(c);
    return -1;
  }

 private:
  // A table that asks for a width of its own (in points or as a share of the room) is that
  // wide: its columns keep their proportions. Files other programs write give grids that do not
  // add up to it.
  void scaleToPreferred(const Table& table, float available) {
    float wanted = table.width;
    if (table.widthPercent > 0) wanted = available * table.widthPercent;
    const float total = std::accumulate(columns_.begin(), columns_.end(), 0.0f);
    if (!(wanted > 0) || !(total > 0) || std::fabs(wanted - total) < 0.5f) return;
    for (float& column : columns_) column *= wanted / total;
  }

  void fillMissing(const Table& table, float available, std::size_t known) {
    float total = std::accumulate(columns_.begin(), columns_.end(), 0.0f);
    if (total > 0 && known >= columns_.size()) return;
    float wanted = available;
    if (table.width > 0) wanted = table.width;
    if (table.widthPercent > 0) wanted = available * table.widthPercent;
    const std::size_t missing = columns_.size() - std::min(known, columns_.size());
    if (total <= 0) {
      columns_.assign(columns_.size(), wanted / float(columns_.size()));
      return;
    }
    const float share = std::max(wanted - total, 0.0f) / float(std::max<std::size_t>(missing, 1));
    for (std::size_t c = known; c < columns_.size(); ++c) columns_[c] = share;
  }

  std::vector<CellPlace> placeRow(const TableRow& row) const {
    std::vector<CellPlace> places;
    std::size_t column = std::min<std::size_t>(std::max(0, row.gridBefore), columns_.size());
    float x = left_;
    for (std::size_t c = 0; c < column; ++c) x += columns_[c];
    for (const TableCell& cell : row.cells) {
      CellPlace place;
      place.column = column;
      place.span = std::size_t(std::max(1, cell.gridSpan));
      place.x = x;
      for (std::size_t c = column; c < column + place.span && c < columns_.size(); ++c)
        place.width += columns_[c];
      // A cell beyond the grid, which damaged files have, takes its own width.
      if (place.width <= 0) place.width = cell.width > 0 ? cell.width : columns_.back();
      x += place.width;
      column += place.span;
      places.push_back(place);
    }
    return places;
  }

  std::vector<float> columns_;
  std::vector<std::vector<CellPlace>> rows_;
  float width_ = 0, left_ = 0;
};

// Rows a vertically merged cell covers: its own and the continuing cells below it.
std::uint32_t MergedRows(const Table& table, const Grid& grid, std::uint32_t row,
                         std::size_t column) {
  std::uint32_t span = 1;
  for (std::uint32_t r = row + 1; r < table.rows.size(); ++r) {
    const int below = grid.cellAt(r, column);
    if (below < 0 || table.rows[r].cells[std::size_t(below)].vMerge != VerticalMerge::Continue)
      break;
    ++span;
  }
  return span;
}

std::uint32_t RowsOf(const Table& table, const Grid& grid, std::uint32_t row,
                     const CellPlace& place, const TableCell& cell) {
  if (cell.vMerge != VerticalMerge::Restart) return 1;
  return MergedRows(table, grid, row, place.column);
}

float Width(const std::optional<BorderLine>& edge) {
  return edge && edge->visible ? BorderSpan(*edge) : 0.0f;
}

// The table's borders as one row has them: a row of its own borders (joined from another
// table) takes its top and bottom at its own edges, not the lines between rows.
struct RowEdges {
  CellBorders outer;
  std::optional<BorderLine> insideH, insideV;
  bool ownTop = false, ownBottom = false;
};

RowEdges EdgesOfRow(const Table& table, const TableRow& row) {
  RowEdges edges{table.borders, table.insideH, table.insideV};
  if (!row.exceptions) return edges;
  const RowTableProperties& own = *row.exceptions;
  auto take = [](const std::optional<BorderLine>& mine, std::optional<BorderLine>& slot) {
    if (mine) slot = mine;
  };
  take(own.borders.top, edges.outer.top);
  take(own.borders.left, edges.outer.left);
  take(own.borders.bottom, edges.outer.bottom);
  take(own.borders.right, edges.outer.right);
  take(own.insideH, edges.insideH);
  take(own.insideV, edges.insideV);
  edges.ownTop = own.borders.top.has_value();
  edges.ownBottom = own.borders.bottom.has_value();
  return edges;
}

CellBorders EdgesOf(const Table& table, std::uint32_t row, std::uint32_t rows, std::uint32_t cell) {
  const TableRow& tableRow = table.rows[row];
  const TableCell& own = tableRow.cells[cell];
  const std::size_t last =
      std::min<std::size_t>(row + std::max<std::uint32_t>(rows, 1) - 1, table.rows.size() - 1);
  const RowEdges first = EdgesOfRow(table, tableRow), end = EdgesOfRow(table, table.rows[last]);
  CellBorders edges;
  edges.top = own.borders.top            ? own.borders.top
              : row == 0 || first.ownTop ? first.outer.top
                                         : first.insideH;
  const bool lastRow = last + 1 >= table.rows.size();
  edges.bottom = own.borders.bottom         ? own.borders.bottom
                 : lastRow || end.ownBottom ? end.outer.bottom
                                            : end.insideH;
  edges.left = own.borders.left ? own.borders.left : cell == 0 ? first.outer.left : first.insideV;
  const bool lastCell = cell + 1 >= tableRow.cells.size();
  edges.right = own.borders.right ? own.borders.right
                : lastCell        ? first.outer.right
                                  : first.insideV;
  return edges;
}

class Measurer {
 public:
  Measurer(const std::vector<Paragraph>& paragraphs, std::size_t depth,
           const TextMeasurer& measurer)
      : paragraphs_(paragraphs), depth_(depth), measurer_(measurer) {}

  TableMeasure run(std::size_t begin, float x, float available) {
    const Table& table = *paragraphs_[begin].cells[depth_].table;
    const Grid grid(table, x, available);
    result_.end = TableEnd(paragraphs_, begin, depth_);
    result_.width = grid.width();
    result_.rowHeights.assign(table.rows.size(), 0.0f);
    result_.rowPadding.assign(table.rows.size(), 0.0f);
    edgesBelow_.assign(table.rows.size(), 0.0f);
    while (result_.headerRows < table.rows.size() && table.rows[result_.headerRows].header)
      ++result_.headerRows;
    for (const TableRow& row : table.rows) {
      result_.rowSplits.push_back(!row.cantSplit &&
                                  !(row.heightRule == RowHeightRule::Exact && row.height > 0));
      result_.rowLeast.push_back(row.heightRule == RowHeightRule::AtLeast ? row.height : 0.0f);
    }
    std::vector<Merged> merged;
    for (std::size_t i = begin; i < result_.end;) i = cell(table, grid, i, merged);
    addBottomEdges(merged);
    applyRowRules(table);
    for (const Merged& m : merged) growForMerged(table, m);
    for (const Aligned& a : aligned_) alignCell(a);
    return std::move(result_);
  }

 private:
  struct Merged {
    std::uint32_t row = 0, rows = 1;
    float content = 0;
  };
  // A cell whose text is centred or set at the foot of its rows: its items and nested boxes.
  struct Aligned {
    std::size_t items = 0, itemsEnd = 0, boxes = 0, boxesEnd = 0;
    std::uint32_t row = 0, rows = 1;
    float content = 0;
    CellAlign align = CellAlign::Top;
  };
  std::vector<Aligned> aligned_;
  std::vector<float> edgesBelow_;  // the widest bottom border of each row's cells

  float edgeBelow(std::uint32_t row) const {
    return row < edgesBelow_.size() ? edgesBelow_[row] : 0.0f;
  }

  void alignCell(const Aligned& a) {
    float height = 0;
    for (std::uint32_t r = a.row; r < a.row + a.rows && r < result_.rowHeights.size(); ++r)
      height += result_.rowHeights[r];
    const float room = height - a.content;
    if (!(room > 0)) return;
    const float shift = a.align == CellAlign::Center ? room / 2 : room;
    for (std::size_t k = a.items; k < a.itemsEnd; ++k) result_.items[k].y += shift;
    for (std::size_t k = a.boxes; k < a.boxesEnd; ++k) result_.boxes[k].y += shift;
  }

  // Sets the text of one cell; returns the paragraph after it.
  std::size_t cell(const Table& table, const Grid& grid, std::size_t begin,
                   std::vector<Merged>& merged) {
    const CellRef& ref = paragraphs_[begin].cells[depth_];
    const bool known = ref.row < table.rows.size() && ref.cell < table.rows[ref.row].cells.size();
    const TableCell fallback;
    const TableCell& cell = known ? table.rows[ref.row].cells[ref.cell] : fallback;
    const CellPlace& place = grid.place(ref.row, ref.cell);
    const CellMargins margins = MarginsOf(table, known ? &table.rows[ref.row] : nullptr, cell);
    const float textX = place.x + margins.left;
    const float textWidth = std::max(kMinCellText, place.width - margins.left - margins.right);
    // Horizontal borders take room of their own: the table's top above the first row, and
    // each row's bottom edge below it. Where a row's top edge is wider than the line under
    // the row above, the line between them is the wider one and the difference is the row's.
    CellBorders edges;
    const std::uint32_t rows = known ? RowsOf(table, grid, ref.row, place, cell) : 1;
    if (known) edges = EdgesOf(table, ref.row, rows, ref.cell);
    const float lineAbove = ref.row == 0 ? 0 : edgeBelow(ref.row - 1);
    double y = margins.top + std::max(0.0f, Width(edges.top) - lineAbove);
    const Paragraph* above = nullptr;
    std::size_t i = begin;
    const std::size_t firstItem = result_.items.size(), firstBox = result_.boxes.size();
    while (i < result_.end && sameCell(paragraphs_[begin], paragraphs_[i])) {
      if (paragraphs_[i].cells.size() > depth_ + 1) {
        y += nested(i, ref.row, textX, float(y), textWidth);
        above = nullptr;
        continue;
      }
      const Paragraph& p = paragraphs_[i];
      const bool afterNested = i > begin && paragraphs_[i - 1].cells.size() > depth_ + 1;
      const float height =
          afterNested && closesCell(begin, i) ? 0 : ParagraphHeight(p, textWidth, measurer_);
      const float overlap =
          above ? std::min(std::max(0.0f, above->spaceAfter), std::max(0.0f, p.spaceBefore)) : 0;
      y -= overlap;
      result_.items.push_back(Item(i, ref, textX, float(y), textWidth, height));
      y += height;
      above = &p;
      ++i;
    }
    // The bottom border's room is the row's, added once every cell of it is known.
    const float padding = margins.bottom;
    const std::size_t lastRow = std::size_t(ref.row) + rows - 1;
    if (lastRow < edgesBelow_.size())
      edgesBelow_[lastRow] = std::max(edgesBelow_[lastRow], Width(edges.bottom));
    const float content = float(y) + padding;
    if (ref.row < result_.rowPadding.size())
      result_.rowPadding[ref.row] = std::max(result_.rowPadding[ref.row], padding);
    if (!known) return i;
    if (cell.align != CellAlign::Top && cell.vMerge != VerticalMerge::Continue) {
      aligned_.push_back({firstItem, result_.items.size(), firstBox, result_.boxes.size(), ref.row,
                          RowsOf(table, grid, ref.row, place, cell), content, cell.align});
    }
    TableBox box;
    box.row = ref.row;
    box.x = place.x;
    box.width = place.width;
    box.shading = cell.shading;
    box.rowSpan = RowsOf(table, grid, ref.row, place, cell);
    if (cell.vMerge == VerticalMerge::Restart) {
      merged.push_back({ref.row, box.rowSpan, content});
    } else if (cell.vMerge == VerticalMerge::None) {
      result_.rowHeights[ref.row] = std::max(result_.rowHeights[ref.row], content);
    }
    box.edges = edges;
    // The merged cell's box stands for the cells that continue it.
    if (cell.vMerge != VerticalMerge::Continue) result_.boxes.push_back(box);
    return i;
  }

  TableItem Item(std::size_t i, const CellRef& ref, float x, float y, float width,
                 float height) const {
    TableItem item{i, ref.row, ref.cell, x, y, width, height};
    const Paragraph& p = paragraphs_[i];
    item.lineHeight = float(LineHeight(p, measurer_.singleLineHeight(LargestFormat(p))));
    item.before = std::max(0.0f, p.spaceBefore);
    item.widowControl = p.widowControl;
    // Without pictures the height is the lines' and the spacing's.
    if (p.inlinePictures.empty() && !p.keepLines && item.lineHeight > 0) {
      const float text = height - item.before - std::max(0.0f, p.spaceAfter);
      item.lines = std::max(1, int(std::lround(text / item.lineHeight)));
      // Lines of different heights are divided as if they were alike, the room they take
      // shared among them.
      if (MixedLineHeights(p, measurer_)) {
        item.lines = std::max(1, measurer_.lineCount(p, width));
        item.lineHeight = text / float(item.lines);
      }
      item.divisible = item.lines >= 2;
    }
    return item;
  }

  // A cell must end with a paragraph, so one follows a table nested at its end. Left empty,
  // it takes no room: the cell ends with the nested table, as LibreOffice lays it out and as
  // files of report writers expect (they do not shrink that paragraph as they shrink others).
  bool closesCell(std::size_t begin, std::size_t i) const {
    const Paragraph& p = paragraphs_[i];
    const bool last = i + 1 >= result_.end || !sameCell(paragraphs_[begin], paragraphs_[i + 1]);
    return last && p.inlinePictures.empty() && p.text().empty() && !p.sectionEnd;
  }

  bool sameCell(const Paragraph& first, const Paragraph& p) const {
    if (p.cells.size() <= depth_) return false;
    for (std::size_t d = 0; d <= depth_; ++d)
      if (!(p.cells[d] == first.cells[d])) return false;
    return true;
  }

  // A table inside the cell: its rows become part of the cell's height. Returns its height.
  float nested(std::size_t& i, std::uint32_t row, float x, float y, float width) {
    Measurer inner(paragraphs_, depth_ + 1, measurer_);
    TableMeasure m = inner.run(i, x, width);
    std::vector<float> rowTops(m.rowHeights.size(), 0.0f);
    float height = 0;
    for (std::size_t r = 0; r < m.rowHeights.size(); ++r) {
      rowTops[r] = y + height;
      height += m.rowHeights[r];
    }
    const std::uint32_t cell = paragraphs_[i].cells[depth_].cell;
    for (TableItem item : m.items) {
      if (item.row < m.rowPadding.size()) item.below += m.rowPadding[item.row];
      item.y += item.row < rowTops.size() ? rowTops[item.row] : y;
      item.row = row;
      item.cell = cell;
      result_.items.push_back(item);
    }
    for (TableBox box : m.boxes) {
      if (box.rowSpan > 0) {
        box.height = 0;
        for (std::uint32_t r = box.row; r < box.row + box.rowSpan && r < m.rowHeights.size(); ++r)
          box.height += m.rowHeights[r];
        box.y = box.row < rowTops.size() ? rowTops[box.row] : y;
      } else {
        box.y += box.row < rowTops.size() ? rowTops[box.row] : y;
      }
      box.row = row;
      box.rowSpan = 0;
      result_.boxes.push_back(box);
    }
    i = std::max(m.end, i + 1);
    return height;
  }

  // A row's widest bottom border takes its room below the text of every cell of the row, those
  // whose own bottom edge has none too: rows of a form whose cells beside a photo box leave
  // their edge open are as tall as those whose edge is drawn.
  void addBottomEdges(std::vector<Merged>& merged) {
    for (std::size_t r = 0; r < result_.rowHeights.size(); ++r) {
      result_.rowHeights[r] += edgesBelow_[r];
      result_.rowPadding[r] += edgesBelow_[r];
    }
    for (Merged& m : merged) m.content += edgeBelow(m.row + m.rows - 1);
    for (Aligned& a : aligned_) a.content += edgeBelow(a.row + a.rows - 1);
  }

  void applyRowRules(const Table& table) {
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
      const TableRow& row = table.rows[r];
      float& height = result_.rowHeights[r];
      if (row.heightRule == RowHeightRule::Exact && row.height > 0) height = row.height;
      if (row.heightRule == RowHeightRule::AtLeast) height = std::max(height, row.height);
    }
  }

  // A merged cell taller than the rows it covers makes the last of them taller.
  void growForMerged(const Table& table, const Merged& m) {
    float covered = 0;
    const std::uint32_t last = std::min<std::uint32_t>(m.row + m.rows, table.rows.size()) - 1;
    for (std::uint32_t r = m.row; r <= last; ++r) covered += result_.rowHeights[r];
    const TableRow& lastRow = table.rows[last];
    if (lastRow.heightRule == RowHeightRule::Exact && lastRow.height > 0) return;
    if (m.content > covered) result_.rowHeights[last] += m.content - covered;
  }

  const std::vector<Paragraph>& paragraphs_;
  std::size_t depth_;
  const TextMeasurer& measurer_;
  TableMeasure result_;
};

class RowPlacer {
 public:
  RowPlacer(const TableMeasure& m, const PageFlow& flow, int page, double y, bool atPageTop)
      : m_(m),
        flow_(flow),
        page_(page),
        y_(y),
        pageTop_(atPageTop ? y : -1e30),
        bottom_(flow.bottom) {
    rows_ = std::max<std::size_t>(1, m.rowHeights.size());
    placed_.itemPage.assign(m.items.size(), page);
    placed_.itemTop.assign(m.items.size(), float(y));
    left_.assign(m.items.size(), 0.0);
    offset_.assign(m.items.size(), 0.0);
    justSet_.assign(m.items.size(), 0.0);
    done_.assign(m.items.size(), 0);
    for (std::size_t k = 0; k < m.items.size(); ++k) left_[k] = m.items[k].height;
  }

  PlacedTable run() {
    std::size_t a = 0;
    for (std::uint32_t r = 0; r < rows_; ++r) {
      std::size_t b = a;
      while (b < m_.items.size() && rowOf(m_.items[b]) == r) ++b;
      placeRow(r, a, b);
      a = b;
    }
    placed_.endPage = page_;
    placed_.endY = float(y_);
    return std::move(placed_);
  }

 private:
  std::uint32_t rowOf(const TableItem& item) const {
    return std::min<std::uint32_t>(item.row, std::uint32_t(rows_ - 1));
  }
  double paddingOf(std::uint32_t row) const {
    return row < m_.rowPadding.size() ? m_.rowPadding[row] : 0.0;
  }
  double heightOf(std::uint32_t row) const {
    return row < m_.rowHeights.size() ? m_.rowHeights[row] : 0.0;
  }

  // Sets the row's items [a, b) from y on, going on to new pages as long as it does not fit.
  void placeRow(std::uint32_t r, std::size_t a, std::size_t b) {
    std::vector<std::size_t> pending;
    std::vector<double> rel(m_.items.size(), 0.0);
    for (std::size_t k = a; k < b; ++k) {
      pending.push_back(k);
      rel[k] = m_.items[k].y;
    }
    double height = heightOf(r);
    for (;;) {
      const double room = bottom_ - y_ - (flow_.notesRoom ? flow_.notesRoom(r, page_) : 0.0);
      const bool atTop = y_ <= pageTop_ + kTolerance;
      const bool splits = RowSplitsIn(m_, r, room, atTop);
      std::vector<std::size_t> stay, moved;
      const std::size_t piecesBefore = placed_.pieces.size();
      if (splits && height > room + kTolerance) divide(pending, rel, room, stay, moved);
      // A split leaves text on both pages; a row whose text fits but whose borders or least
      // height do not goes on whole.
      const bool divided = placed_.pieces.size() > piecesBefore;
      const bool divides = (!stay.empty() || divided) && !moved.empty();
      if (height <= room + kTolerance || (atTop && !divides)) {
        put(pending, rel, r, height);
        return;
      }
      if (divides) {
        put(stay, rel, r, room);
        height = carryOver(moved, rel);
        pending = moved;
      }
      nextPage(r, pending.empty() ? std::size_t(-1) : m_.items[pending.front()].paragraph);
    }
  }

  // Which of the items fit in the room left: in each cell, those before the first that does not,
  // and of that one the lines that fit when it may be divided.
  void divide(const std::vector<std::size_t>& pending, const std::vector<double>& rel, double room,
              std::vector<std::size_t>& stay, std::vector<std::size_t>& moved) {
    std::fill(justSet_.begin(), justSet_.end(), 0.0);
    std::vector<std::uint32_t> full;
    for (std::size_t k : pending) {
      const TableItem& item = m_.items[k];
      const bool cellFull = std::find(full.begin(), full.end(), item.cell) != full.end();
      // The cell's margin and border below its text end the row's part on this page too.
      const double below = item.below + paddingOf(item.row);
      if (!cellFull && rel[k] + left_[k] + below <= room + kTolerance) {
        stay.push_back(k);
        continue;
      }
      if (!cellFull) {
        full.push_back(item.cell);
        if (const int n = linesThatFit(k, room - rel[k] - below); n > 0) divideAt(k, rel[k], n);
      }
      moved.push_back(k);
    }
  }

  // Lines of a divisible item that fit in the room: two at least at the foot of the page, and
  // with widow control two at least for the next.
  int linesThatFit(std::size_t k, double room) const {
    const TableItem& item = m_.items[k];
    if (!item.divisible) return 0;
    const int left = item.lines - done_[k];
    const double lineRoom = room - (done_[k] == 0 ? item.before : 0);
    int n = std::min(left, int(std::floor((lineRoom + kTolerance) / item.lineHeight)));
    if (item.widowControl && left - n == 1) --n;
    return n >= 2 && n < left ? n : 0;
  }

  // Sets the item's first n lines left here; the rest goes on as what is left of it.
  void divideAt(std::size_t k, double rel, int n) {
    const TableItem& item = m_.items[k];
    const double height = (done_[k] == 0 ? item.before : 0) + n * item.lineHeight;
    if (done_[k] == 0) {
      placed_.itemPage[k] = page_;
      placed_.itemTop[k] = float(y_ + rel);
    }
    placed_.pieces.push_back({k, page_, float(y_ + rel), float(height), float(offset_[k]), n});
    offset_[k] += height;
    justSet_[k] = height;
    done_[k] += n;
    left_[k] = std::max(0.0, left_[k] - height);
  }

  // The items that go on to the next page keep their distances, each cell's first of them
  // where the cell's text began. Returns the height of what is left of the row.
  // What a divided paragraph set on the page before no longer stands above the items below it.
  double carryOver(const std::vector<std::size_t>& moved, std::vector<double>& rel) const {
    struct Shift {
      std::uint32_t cell = 0;
      double by = 0, top = 0;
    };
    std::vector<Shift> shifts;
    double height = 0;
    for (std::size_t k : moved) {
      const TableItem& item = m_.items[k];
      auto found = std::find_if(shifts.begin(), shifts.end(),
                                [&](const Shift& s) { return s.cell == item.cell; });
      if (found == shifts.end()) {
        const double top = firstTop(item.cell, k);
        shifts.push_back({item.cell, rel[k] - top, top});
        found = shifts.end() - 1;
      }
      rel[k] = std::max(found->top, rel[k] - found->by);
      found->by += justSet_[k];
      height = std::max(height, rel[k] + left_[k]);
    }
    const std::uint32_t row = rowOf(m_.items[moved.front()]);
    return height + (row < m_.rowPadding.size() ? m_.rowPadding[row] : 0.0f);
  }

  // Where the first paragraph of the item's cell stood in its row.
  double firstTop(std::uint32_t cell, std::size_t k) const {
    double top = m_.items[k].y;
    for (std::size_t j = k; j-- > 0 && m_.items[j].row == m_.items[k].row;)
      if (m_.items[j].cell == cell) top = m_.items[j].y;
    return std::max(0.0, top);
  }

  void put(const std::vector<std::size_t>& items, const std::vector<double>& rel, std::uint32_t r,
           double height) {
    for (std::size_t k : items) {
      if (done_[k] > 0) {  // the last part of a divided paragraph
        const int lines = m_.items[k].lines - done_[k];
        placed_.pieces.push_back(
            {k, page_, float(y_ + rel[k]), float(left_[k]), float(offset_[k]), lines});
        continue;
      }
      placed_.itemPage[k] = page_;
      placed_.itemTop[k] = float(y_ + rel[k]);
    }
    placed_.parts.push_back({r, page_, float(y_), float(height)});
    y_ += height;
    if (flow_.setNotes) bottom_ = flow_.setNotes(r, page_, y_);
  }

  void nextPage(std::uint32_t r, std::size_t firstParagraph) {
    ++page_;
    if (firstParagraph == std::size_t(-1)) firstParagraph = m_.end - 1;
    const auto [top, bottom] = flow_.newPage(firstParagraph);
    y_ = top;
    bottom_ = bottom;
    if (m_.headerRows > 0 && r >= m_.headerRows) repeatHeaders();
    pageTop_ = y_;
  }

  void repeatHeaders() {
    std::vector<double> top(m_.headerRows, y_);
    for (std::uint32_t h = 0; h < m_.headerRows; ++h) {
      if (h > 0) top[h] = top[h - 1] + heightOf(h - 1);
      placed_.repeatedParts.push_back({h, page_, float(top[h]), float(heightOf(h))});
    }
    for (std::size_t k = 0; k < m_.items.size() && m_.items[k].row < m_.headerRows; ++k) {
      placed_.repeats.push_back({k, page_, float(top[m_.items[k].row] + m_.items[k].y)});
    }
    y_ = top.back() + heightOf(m_.headerRows - 1);
  }

  const TableMeasure& m_;
  const PageFlow& flow_;
  std::size_t rows_ = 1;
  // Of each item: its height still to set, the height set on earlier pages, its lines set.
  std::vector<double> left_, offset_;
  std::vector<double> justSet_;  // of each item divided on the page being left: the height set
  std::vector<int> done_;
  int page_;
  double y_, pageTop_, bottom_;
  PlacedTable placed_;
};

}  // namespace

bool SameTable(const Paragraph& a, const Paragraph& b, std::size_t depth) {
  if (a.cells.size() <= depth || b.cells.size() <= depth) return false;
  for (std::size_t d = 0; d < depth; ++d)
    if (!(a.cells[d] == b.cells[d])) return false;
  const CellRef& x = a.cells[depth];
  const CellRef& y = b.cells[depth];
  if (x.table != y.table) return false;
  return y.row > x.row || (y.row == x.row && y.cell >= x.cell);
}

std::size_t TableEnd(const std::vector<Paragraph>& paragraphs, std::size_t begin,
                     std::size_t depth) {
  std::size_t end = begin + 1;
  while (end < paragraphs.size() && SameTable(paragraphs[end - 1], paragraphs[end], depth)) ++end;
  return end;
}

TableMeasure MeasureTable(const std::vector<Paragraph>& paragraphs, std::size_t begin,
                          std::size_t depth, float x, float available,
                          const TextMeasurer& measurer) {
  if (begin >= paragraphs.size() || paragraphs[begin].cells.size() <= depth ||
      !paragraphs[begin].cells[depth].table) {
    TableMeasure none;
    none.end = std::min(begin + 1, paragraphs.size());
    return none;
  }
  return Measurer(paragraphs, depth, measurer).run(begin, x, available);
}

}  // namespace wordproc

namespace wordproc {

float StoryHeight(const HeaderFooter& story, float width, const TextMeasurer& measurer) {
  const std::vector<Paragraph>& paragraphs = story.paragraphs;
  double height = 0;
  for (std::size_t i = 0; i < paragraphs.size();) {
    const Paragraph& p = paragraphs[i];
    if (!p.cells.empty() && p.cells[0].table) {
      const TableMeasure m = MeasureTable(paragraphs, i, 0, 0, width, measurer);
      for (float row : m.rowHeights) height += row;
      i = std::max(m.end, i + 1);
      continue;
    }
    height += ParagraphHeight(p, width, measurer);
    ++i;
  }
  return float(height);
}

bool RowSplitsIn(const TableMeasure& m, std::size_t row, double room, bool atPageTop) {
  if (row >= m.rowSplits.size() || !m.rowSplits[row]) return false;
  const double least = row < m.rowLeast.size() ? m.rowLeast[row] : 0.0;
  return atPageTop || least <= room + kTolerance;
}

PlacedTable PlaceTableRows(const TableMeasure& m, int page, double y, bool atPageTop,
                           const PageFlow& flow) {
  return RowPlacer(m, flow, page, y, atPageTop).run();
}

}  // namespace wordproc
