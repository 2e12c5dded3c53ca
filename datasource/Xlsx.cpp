#include <pugixml.hpp>

#include <cstdlib>
#include <cstring>
#include <map>

#include "datasource/DataSource.h"
#include "datasource/NumberFormat.h"
#include "datasource/Table.h"
#include "datasource/Zip.h"

namespace datasource {

namespace {

// Elements by local name: books written by different programs prefix the same namespace
// differently (x:row as well as row).
const char* LocalName(const pugi::xml_node& node) {
  const char* name = node.name();
  const char* colon = std::strchr(name, ':');
  return colon ? colon + 1 : name;
}

bool Is(const pugi::xml_node& node, const char* local) {
  return std::strcmp(LocalName(node), local) == 0;
}

pugi::xml_node Child(const pugi::xml_node& parent, const char* local) {
  for (pugi::xml_node child : parent.children())
    if (Is(child, local)) return child;
  return {};
}

pugi::xml_attribute Attribute(const pugi::xml_node& node, const char* local) {
  for (pugi::xml_attribute a : node.attributes()) {
    const char* name = a.name();
    const char* colon = std::strchr(name, ':');
    if (std::strcmp(colon ? colon + 1 : name, local) == 0) return a;
  }
  return {};
}

// The text of a rich string: its runs' texts, without phonetic hints.
std::string RichText(const pugi::xml_node& si) {
  std::string text;
  for (pugi::xml_node child : si.children()) {
    if (Is(child, "t")) text += child.text().get();
    if (Is(child, "r")) text += Child(child, "t").text().get();
  }
  return text;
}

// Column from a reference like "AB12", from 0; -1 when there is none.
int ColumnOf(const char* reference) {
  int column = 0;
  bool any = false;
  for (const char* p = reference; *p; ++p) {
    const char c = *p;
    if (c >= 'a' && c <= 'z')
      column = column * 26 + (c - 'a' + 1);
    else if (c >= 'A' && c <= 'Z')
      column = column * 26 + (c - 'A' + 1);
    else
      break;
    any = true;
    if (column > int(kMaxColumns)) return int(kMaxColumns);
  }
  return any ? column - 1 : -1;
}

class TXlsxReader {
 public:
  TXlsxReader(std::string_view bytes, const std::string& fileName)
      : table_(fileName), zip_(bytes, table_) {}

  TDataSource Read() {
    const std::string sheet = FirstSheetPart();
    ReadSharedStrings();
    ReadStyles();
    pugi::xml_document doc;
    Parse(doc, sheet, true);
    const pugi::xml_node data = Child(doc.document_element(), "sheetData");
    std::int64_t next = 1;
    for (pugi::xml_node row : data.children())
      if (Is(row, "row")) next = ReadRow(row, next) + 1;
    return table_.Finish();
  }

 private:
  void Parse(pugi::xml_document& doc, const std::string& part, bool required) {
    const auto bytes = zip_.Read(part);
    if (!bytes) {
      if (required) table_.Fail("в книге нет части «" + part + "»");
      return;
    }
    if (!doc.load_buffer(bytes->data(), bytes->size(), pugi::parse_default | pugi::parse_ws_pcdata))
      table_.Fail("часть «" + part + "» повреждена");
  }

  std::string FirstSheetPart();
  void ReadSharedStrings();
  void ReadStyles();
  std::int64_t ReadRow(const pugi::xml_node& row, std::int64_t expected);
  std::string CellText(const pugi::xml_node& cell) const;
  std::string NumberText(const pugi::xml_node& cell, const char* value) const;

  TTableBuilder table_;
  TZip zip_;
  std::vector<std::string> shared_;
  std::vector<std::string> cellFormats_;  // per style index, the number format code
  bool date1904_ = false;
};

// The first sheet in the book's order, found through the book's relationships.
std::string TXlsxReader::FirstSheetPart() {
  pugi::xml_document book, rels;
  Parse(book, "xl/workbook.xml", true);
  Parse(rels, "xl/_rels/workbook.xml.rels", true);
  const pugi::xml_node root = book.document_element();
  const pugi::xml_attribute date1904 = Attribute(Child(root, "workbookPr"), "date1904");
  date1904_ = date1904 && (std::strcmp(date1904.value(), "1") == 0 ||
                           std::strcmp(date1904.value(), "true") == 0);
  const pugi::xml_node sheet = Child(Child(root, "sheets"), "sheet");
  if (!sheet) table_.Fail("в книге нет ни одного листа");
  const std::string id = Attribute(sheet, "id").value();
  for (pugi::xml_node rel : rels.document_element().children()) {
    if (id != rel.attribute("Id").value()) continue;
    const std::string target = rel.attribute("Target").value();
    return target.rfind('/', 0) == 0 ? target.substr(1) : "xl/" + target;
  }
  table_.Fail("в книге не найден первый лист");
}

void TXlsxReader::ReadSharedStrings() {
  pugi::xml_document doc;
  Parse(doc, "xl/sharedStrings.xml", false);
  for (pugi::xml_node si : doc.document_element().children())
    if (Is(si, "si")) shared_.push_back(RichText(si));
}

void TXlsxReader::ReadStyles() {
  pugi::xml_document doc;
  Parse(doc, "xl/styles.xml", false);
  const pugi::xml_node root = doc.document_element();
  std::map<int, std::string> custom;
  for (pugi::xml_node format : Child(root, "numFmts").children())
    custom[format.attribute("numFmtId").as_int()] = format.attribute("formatCode").value();
  for (pugi::xml_node xf : Child(root, "cellXfs").children()) {
    const int id = xf.attribute("numFmtId").as_int();
    const auto found = custom.find(id);
    cellFormats_.push_back(found != custom.end() ? found->second : BuiltinFormatCode(id));
  }
}

// Returns the row's number; cells may skip columns and rows may skip numbers.
std::int64_t TXlsxReader::ReadRow(const pugi::xml_node& row, std::int64_t expected) {
  const std::int64_t number = row.attribute("r") ? row.attribute("r").as_llong() : expected;
  if (number < expected) table_.Fail("строки книги идут не по порядку", number);
  std::vector<std::string> cells;
  for (pugi::xml_node cell : row.children()) {
    if (!Is(cell, "c")) continue;
    const int column =
        cell.attribute("r") ? ColumnOf(cell.attribute("r").value()) : int(cells.size());
    if (column < 0 || column >= int(kMaxColumns)) continue;
    if (std::size_t(column) >= cells.size()) cells.resize(std::size_t(column) + 1);
    cells[std::size_t(column)] = CellText(cell);
  }
  table_.AddRow(std::move(cells), number);
  return number;
}

std::string TXlsxReader::CellText(const pugi::xml_node& cell) const {
  const std::string type = cell.attribute("t").value();
  const char* value = Child(cell, "v").text().get();
  if (type == "s") {
    const unsigned long index = std::strtoul(value, nullptr, 10);
    return index < shared_.size() ? shared_[index] : std::string();
  }
  if (type == "inlineStr") return RichText(Child(cell, "is"));
  if (type == "b" && *value) return std::strcmp(value, "1") == 0 ? "ИСТИНА" : "ЛОЖЬ";
  if (type == "str" || type == "e" || type == "d") return value;
  return NumberText(cell, value);
}

std::string TXlsxReader::NumberText(const pugi::xml_node& cell, const char* value) const {
  if (!*value) return {};
  char* end = nullptr;
  const double number = std::strtod(value, &end);
  if (*end) return value;
  const std::size_t style = cell.attribute("s").as_uint();
  const std::string format = style < cellFormats_.size() ? cellFormats_[style] : "General";
  return FormatNumber(number, format, date1904_);
}

}  // namespace

TDataSource ReadXlsx(std::string_view bytes, const std::string& fileName) {
  return TXlsxReader(bytes, fileName).Read();
}

}  // namespace datasource
