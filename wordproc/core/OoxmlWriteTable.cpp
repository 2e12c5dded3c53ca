#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "wordproc/core/OoxmlInternal.h"
#include "wordproc/core/OoxmlProperties.h"
#include "wordproc/core/OoxmlWriteXml.h"

namespace wordproc::ooxml {

namespace {

std::string Twip(double points) {
  return std::to_string(std::llround(Clamp(points, -kMaxLengthPt, kMaxLengthPt) * kTwipsPerPt));
}

void Border(std::string& out, const char* name, const std::optional<BorderLine>& line) {
  if (!line) return;
  out += std::string("<w:") + name;
  if (!line->visible) {
    out += " w:val=\"nil\"/>";
    return;
  }
  // w:sz in eighths of a point, 2 to 96.
  const long eighths = std::lround(Clamp(line->width * 8, 2, 96, 4));
  const std::string& style = IsToken(line->style) ? line->style : "single";
  out += " w:val=\"" + style + "\" w:sz=\"" + std::to_string(eighths) + "\" w:space=\"" +
         std::to_string(std::lround(Clamp(line->space, 0, 31, 0))) + "\" w:color=\"" +
         HexColor(line->color & 0xFFFFFF) + "\"/>";
}

void Borders(std::string& out, const char* name, const CellBorders& borders,
             const std::optional<BorderLine>& insideH = {},
             const std::optional<BorderLine>& insideV = {}) {
  if (!borders.top && !borders.left && !borders.bottom && !borders.right && !insideH && !insideV)
    return;
  out += std::string("<w:") + name + ">";
  Border(out, "top", borders.top);
  Border(out, "left", borders.left);
  Border(out, "bottom", borders.bottom);
  Border(out, "right", borders.right);
  Border(out, "insideH", insideH);
  Border(out, "insideV", insideV);
  out += std::string("</w:") + name + ">";
}

void Margins(std::string& out, const char* name, const CellMargins& margins) {
  out += std::string("<w:") + name + ">";
  auto side = [&](const char* side, float value) {
    if (value < 0) return;
    out += std::string("<w:") + side + " w:w=\"" + Twip(value) + "\" w:type=\"dxa\"/>";
  };
  side("top", margins.top);
  side("left", margins.left);
  side("bottom", margins.bottom);
  side("right", margins.right);
  out += std::string("</w:") + name + ">";
}

// Both forms, as the word processor writes them: it reads the flags, older readers the number.
std::string LookXml(std::uint16_t look) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(look));
  auto flag = [&](const char* name, std::uint16_t bit) {
    return std::string(" w:") + name + "=\"" + ((look & bit) ? "1" : "0") + "\"";
  };
  return "<w:tblLook w:val=\"" + std::string(hex) + "\"" + flag("firstRow", 0x20) +
         flag("lastRow", 0x40) + flag("firstColumn", 0x80) + flag("lastColumn", 0x100) +
         flag("noHBand", 0x200) + flag("noVBand", 0x400) + "/>";
}

}  // namespace

std::string TablePropertiesXml(const Table& table, bool full) {
  std::string out = "<w:tblPr>";
  PropertyWriter properties(out, PropertyKind::Table, table.kept);
  // The style is named only with the file's own styles; the cells hold what it gives them.
  full = full && !table.style.empty();
  if (full)
    properties.Add("w:tblStyle", "<w:tblStyle w:val=\"" + write::Attr(table.style) + "\"/>");
  if (table.widthPercent > 0) {
    properties.Add("w:tblW",
                   "<w:tblW w:w=\"" +
                       std::to_string(std::lround(Clamp(table.widthPercent, 0, 10) * 5000)) +
                       "\" w:type=\"pct\"/>");
  } else if (table.width > 0) {
    properties.Add("w:tblW", "<w:tblW w:w=\"" + Twip(table.width) + "\" w:type=\"dxa\"/>");
  } else {
    properties.Add("w:tblW", "<w:tblW w:w=\"0\" w:type=\"auto\"/>");
  }
  if (table.alignment == Alignment::Center) properties.Add("w:jc", "<w:jc w:val=\"center\"/>");
  if (table.alignment == Alignment::Right) properties.Add("w:jc", "<w:jc w:val=\"right\"/>");
  properties.Add("w:tblInd", "<w:tblInd w:w=\"" + Twip(table.indent) + "\" w:type=\"dxa\"/>");
  std::string borders, margins;
  Borders(borders, "tblBorders", table.borders, table.insideH, table.insideV);
  properties.Add("w:tblBorders", borders);
  properties.Add("w:tblLayout", "<w:tblLayout w:type=\"fixed\"/>");
  Margins(margins, "tblCellMar", table.cellMargins);
  properties.Add("w:tblCellMar", margins);
  if (full && table.look) properties.Add("w:tblLook", LookXml(*table.look));
  properties.Finish();
  out += "</w:tblPr><w:tblGrid>";
  for (float column : table.grid) out += "<w:gridCol w:w=\"" + Twip(column) + "\"/>";
  out += "</w:tblGrid>";
  return out;
}

std::string RowPropertiesXml(const TableRow& row) {
  std::string out;
  if (const auto& own = row.exceptions) {
    out += "<w:tblPrEx>";
    Borders(out, "tblBorders", own->borders, own->insideH, own->insideV);
    const CellMargins& m = own->cellMargins;
    if (m.top >= 0 || m.left >= 0 || m.bottom >= 0 || m.right >= 0) Margins(out, "tblCellMar", m);
    out += "</w:tblPrEx>";
  }
  out += "<w:trPr>";
  PropertyWriter properties(out, PropertyKind::Row, row.kept);
  if (row.gridBefore > 0)
    properties.Add("w:gridBefore",
                   "<w:gridBefore w:val=\"" + std::to_string(row.gridBefore) + "\"/>");
  if (row.cantSplit) properties.Add("w:cantSplit", "<w:cantSplit/>");
  if (row.heightRule != RowHeightRule::Auto || row.height > 0) {
    static const char* kRules[] = {"auto", "atLeast", "exact"};
    properties.Add("w:trHeight", "<w:trHeight w:val=\"" + Twip(row.height) + "\" w:hRule=\"" +
                                     kRules[static_cast<int>(row.heightRule)] + "\"/>");
  }
  if (row.header) properties.Add("w:tblHeader", "<w:tblHeader/>");
  properties.Finish();
  out += "</w:trPr>";
  return out;
}

std::string CellPropertiesXml(const TableCell& cell) {
  std::string out = "<w:tcPr>";
  PropertyWriter properties(out, PropertyKind::Cell, cell.kept);
  if (cell.width > 0)
    properties.Add("w:tcW", "<w:tcW w:w=\"" + Twip(cell.width) + "\" w:type=\"dxa\"/>");
  else
    properties.Add("w:tcW", "<w:tcW w:w=\"0\" w:type=\"auto\"/>");
  if (cell.gridSpan > 1)
    properties.Add("w:gridSpan", "<w:gridSpan w:val=\"" + std::to_string(cell.gridSpan) + "\"/>");
  if (cell.vMerge == VerticalMerge::Restart)
    properties.Add("w:vMerge", "<w:vMerge w:val=\"restart\"/>");
  if (cell.vMerge == VerticalMerge::Continue) properties.Add("w:vMerge", "<w:vMerge/>");
  std::string borders;
  Borders(borders, "tcBorders", cell.borders);
  properties.Add("w:tcBorders", borders);
  if (cell.shading) {
    properties.Add("w:shd", "<w:shd w:val=\"clear\" w:color=\"auto\" w:fill=\"" +
                                HexColor(*cell.shading) + "\"/>");
  }
  if (cell.margins) {
    std::string margins;
    Margins(margins, "tcMar", *cell.margins);
    properties.Add("w:tcMar", margins);
  }
  if (cell.align == CellAlign::Center) properties.Add("w:vAlign", "<w:vAlign w:val=\"center\"/>");
  if (cell.align == CellAlign::Bottom) properties.Add("w:vAlign", "<w:vAlign w:val=\"bottom\"/>");
  properties.Finish();
  out += "</w:tcPr>";
  return out;
}

}  // namespace wordproc::ooxml
