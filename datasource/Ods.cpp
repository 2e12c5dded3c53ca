#include <pugixml.hpp>

#include <algorithm>
#include <cstring>

#include "datasource/DataSource.h"
#include "datasource/Table.h"
#include "datasource/Zip.h"

namespace datasource {

namespace {

// The displayed text of a paragraph: spans and links give their text, text:s its spaces,
// tabs and line breaks their characters; notes and annotations are not shown in the cell.
void AppendParagraph(const pugi::xml_node& node, std::string& out) {
  for (pugi::xml_node child : node.children()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
      out += child.value();
      continue;
    }
    const char* name = child.name();
    if (std::strcmp(name, "text:s") == 0) {
      const int spaces = std::clamp(child.attribute("text:c").as_int(1), 1, 1000);
      out.append(std::size_t(spaces), ' ');
    } else if (std::strcmp(name, "text:tab") == 0) {
      out += '\t';
    } else if (std::strcmp(name, "text:line-break") == 0) {
      out += '\n';
    } else if (std::strcmp(name, "office:annotation") != 0 && std::strcmp(name, "text:note") != 0) {
      AppendParagraph(child, out);
    }
  }
}

std::string CellText(const pugi::xml_node& cell) {
  std::string text;
  bool first = true;
  for (pugi::xml_node p : cell.children("text:p")) {
    if (!first) text += '\n';
    first = false;
    AppendParagraph(p, text);
  }
  return text;
}

class TOdsReader {
 public:
  TOdsReader(std::string_view bytes, const std::string& fileName)
      : table_(fileName), zip_(bytes, table_) {}

  TDataSource Read() {
    const auto content = zip_.Read("content.xml");
    if (!content) table_.Fail("в файле нет части «content.xml»: это не таблица ODS");
    pugi::xml_document doc;
    if (!doc.load_buffer(content->data(), content->size(),
                         pugi::parse_default | pugi::parse_ws_pcdata))
      table_.Fail("часть «content.xml» повреждена");
    const pugi::xml_node table = doc.document_element()
                                     .child("office:body")
                                     .child("office:spreadsheet")
                                     .child("table:table");
    if (!table) table_.Fail("в файле нет ни одной таблицы");
    ReadRows(table);
    return table_.Finish();
  }

 private:
  // Rows also sit in header-row, row-group and rows elements.
  void ReadRows(const pugi::xml_node& parent) {
    for (pugi::xml_node node : parent.children()) {
      const char* name = node.name();
      if (std::strcmp(name, "table:table-row") == 0)
        ReadRow(node);
      else if (std::strcmp(name, "table:table-header-rows") == 0 ||
               std::strcmp(name, "table:table-row-group") == 0 ||
               std::strcmp(name, "table:table-rows") == 0)
        ReadRows(node);
    }
  }

  // A table ends in empty cells and rows repeated to the sheet's edge; only cells that hold
  // something are repeated for real.
  void ReadRow(const pugi::xml_node& row) {
    std::vector<std::string> cells;
    std::size_t columns = 0;
    for (pugi::xml_node cell : row.children()) {
      const char* name = cell.name();
      if (std::strcmp(name, "table:table-cell") != 0 &&
          std::strcmp(name, "table:covered-table-cell") != 0)
        continue;
      const std::size_t repeat = cell.attribute("table:number-columns-repeated").as_uint(1);
      const std::string text = CellText(cell);
      if (!text.empty()) {
        const std::size_t end = std::min(columns + std::max<std::size_t>(repeat, 1), kMaxColumns);
        if (end > cells.size()) cells.resize(end);
        for (std::size_t c = columns; c < end; ++c) cells[c] = text;
      }
      columns = std::min(columns + std::max<std::size_t>(repeat, 1), kMaxColumns);
    }
    const std::int64_t repeat =
        std::max<std::int64_t>(row.attribute("table:number-rows-repeated").as_llong(1), 1);
    if (cells.empty()) {
      row_ += repeat;
      return;
    }
    for (std::int64_t k = 0; k < repeat; ++k) table_.AddRow(cells, ++row_);
  }

  TTableBuilder table_;
  TZip zip_;
  std::int64_t row_ = 0;
};

}  // namespace

TDataSource ReadOds(std::string_view bytes, const std::string& fileName) {
  return TOdsReader(bytes, fileName).Read();
}

}  // namespace datasource
