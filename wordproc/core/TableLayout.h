// Tables measured for pagination: column positions from the grid, each cell's text set in its
// column between the cell margins, row heights from their content and rules, merged cells, and
// the boxes whose borders and shading are drawn. Pages are the caller's business: rows are
// measured here, and the layout decides which page each row goes on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "wordproc/core/Model.h"
#include "wordproc/core/TextMeasure.h"

namespace wordproc {

// A paragraph of the table set in its cell: y from the top of its row.
struct TableItem {
  std::size_t paragraph = 0;
  std::uint32_t row = 0, cell = 0;  // of the measured table; a nested table's text its outer cell's
  float x = 0, y = 0, width = 0, height = 0;
  // A paragraph of several lines that a page break may divide: its lines, their height, and
  // its spacing before them.
  int lines = 1;
  float lineHeight = 0, before = 0;
  bool divisible = false, widowControl = true;
  float below = 0;  // the margins and borders of the nested cells it stands in, under it
};

// A cell's box. A box of the measured table covers rowSpan rows from row (more than one for a
// vertically merged cell) and is as tall as they are on the page the row goes on; a box of a
// table nested in a cell has rowSpan 0 and its own height, y from the top of the outer row.
struct TableBox {
  std::uint32_t row = 0, rowSpan = 1;
  float x = 0, y = 0, width = 0, height = 0;
  CellBorders edges;  // resolved against the table's borders; absent or invisible: no line
  std::optional<Rgb> shading;
};

struct TableMeasure {
  std::size_t end = 0;  // the paragraph after the table
  std::vector<float> rowHeights;
  std::vector<float> rowPadding;  // below the text of each row: cell margin and bottom border
  std::vector<TableItem> items;   // in paragraph order
  std::vector<TableBox> boxes;
  std::uint32_t headerRows = 0;  // leading rows repeated on every page the table goes on to
  std::vector<bool> rowSplits;   // whether a row that does not fit may go on over a page break
  // A row's least height (an at-least rule's, else 0): a row that may split still goes on whole
  // when less room than that is left, as the word processors set it.
  std::vector<float> rowLeast;
  float width = 0;
};

// The pages a table's rows go on, given by the page loop: where rows may go down to, where
// they begin on a new page, and how a new page is begun (its first paragraph given).
struct PageFlow {
  double top = 0, bottom = 0;  // of the page the table begins on
  // Begins a new page; returns where its text begins and ends.
  std::function<std::pair<double, double>(std::size_t firstParagraph)> newPage;
  // The room the footnotes a row refers to take at the foot of the page, and the row set on the
  // page down to rowBottom, which sets its notes there; it returns where rows may go down to
  // now. Empty when the table refers to no notes.
  std::function<double(std::uint32_t row, int page)> notesRoom;
  std::function<double(std::uint32_t row, int page, double rowBottom)> setNotes;
};

// A row's part on one page: the whole row, or what a page break leaves of it on each page.
struct RowPart {
  std::uint32_t row = 0;
  int page = 1;
  float top = 0, height = 0;
};

struct PlacedTable {
  std::vector<int> itemPage;  // alongside TableMeasure::items
  std::vector<float> itemTop;
  std::vector<RowPart> parts;
  // Header rows set again on later pages: the item and where.
  struct Repeat {
    std::size_t item = 0;
    int page = 1;
    float top = 0;
  };
  std::vector<Repeat> repeats;
  std::vector<RowPart> repeatedParts;
  // The parts of paragraphs divided between pages at their lines, in order: the item, its page,
  // where it stands, how tall it is, and the height of the paragraph before it (left out).
  struct Piece {
    std::size_t item = 0;
    int page = 1;
    float top = 0, height = 0, offset = 0;
    int lines = 0;
  };
  std::vector<Piece> pieces;
  int endPage = 1;
  float endY = 0;
};

// The height of a header's or footer's paragraphs and tables set in the given width.
float StoryHeight(const HeaderFooter& story, float width, const TextMeasurer& measurer);

// Puts the measured rows on pages from y on the given page: a row goes on the page where it
// fits; one that does not fit goes on to the next page, split between its paragraphs when the
// row may split and some of its text fits, else whole. A row taller than a page stands on its
// own page as far as it goes. Header rows are set again at the top of each page the table goes
// on to.
// Whether the row may be divided where room points are left on the page: when it may split at
// all and its least height fits, or it begins the page (a row taller than a page must split).
bool RowSplitsIn(const TableMeasure& m, std::size_t row, double room, bool atPageTop);

PlacedTable PlaceTableRows(const TableMeasure& m, int page, double y, bool atPageTop,
                           const PageFlow& flow);

// Whether paragraph b belongs to the same table at the given nesting depth as paragraph a,
// which stands before it: the same cell of every enclosing table, the same table, and a cell
// not before a's. Two copies of one table one after another are two tables.
bool SameTable(const Paragraph& a, const Paragraph& b, std::size_t depth);

// The paragraph after the table that paragraph begin (in a table at that depth) begins.
std::size_t TableEnd(const std::vector<Paragraph>& paragraphs, std::size_t begin,
                     std::size_t depth);

// Measures the table beginning at paragraph begin, set in a column from x (points from the
// page's left edge) of the given width.
TableMeasure MeasureTable(const std::vector<Paragraph>& paragraphs, std::size_t begin,
                          std::size_t depth, float x, float available,
                          const TextMeasurer& measurer);

}  // namespace wordproc
