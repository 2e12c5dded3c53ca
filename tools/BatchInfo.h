// stampora-batch info: what the word processor reports about a document's pages and shapes.
#pragma once

#include <ostream>
#include <string>

namespace batch {

// Opens the file read-only in a hidden word processor instance, through the automation
// interface as the program does, and writes to out (tab-separated, one record a line, numbers
// in points with two decimals and a decimal point whatever the locale):
//
//   pages   <count>
//   page    <width> <height>
//   margins <top> <bottom> <left> <right>
//   shapes  <count>
//   <index> <name> <kind> <page> <left> <top> <width> <height> <visible> <weight> <dash>
//
// one shape line per member of the document's Shapes, in their order: index from 1, the name
// (tabs and line breaks in it turn into spaces), kind as the MsoShapeType number (1 autoshape,
// 6 group, 9 line, 13 picture, 17 text box), the page of its anchor, its position as Left and
// Top report it (from its relative references) and its size, visible 1 or 0, line weight in
// points and the MsoLineDashStyle number. Returns 0, or 1 after writing the reason to err.
int BatchInfo(const std::string& file, std::ostream& out, std::ostream& err);

}  // namespace batch
