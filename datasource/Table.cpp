#include "datasource/Table.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace datasource {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool AllEmpty(const std::vector<std::string>& cells) {
  return std::all_of(cells.begin(), cells.end(),
                     [](const std::string& cell) { return Trim(cell).empty(); });
}

// A count as spreadsheets write whole numbers: "3", also "3.0" or "3,00".
bool ParseCount(const std::string& text, long& value) {
  std::size_t digits = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
  if (digits == 0 || digits > 9) return false;
  std::size_t rest = digits;
  if (rest < text.size() && (text[rest] == '.' || text[rest] == ',')) {
    ++rest;
    while (rest < text.size() && text[rest] == '0') ++rest;
  }
  if (rest != text.size()) return false;
  value = std::strtol(text.substr(0, digits).c_str(), nullptr, 10);
  return true;
}

}  // namespace

std::string Trim(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

TTableBuilder::TTableBuilder(std::string fileName) {
  data_.FileName = std::move(fileName);
}

void TTableBuilder::Fail(const std::string& what, std::int64_t row) const {
  std::string where = "Файл «" + data_.FileName + "»";
  if (row > 0) where += ", строка " + std::to_string(row);
  throw DataError(where + ": " + what);
}

void TTableBuilder::AddRow(std::vector<std::string> cells, std::int64_t row) {
  if (row > kMaxRows) Fail("строк больше " + std::to_string(kMaxRows), row);
  if (AllEmpty(cells)) return;
  if (!haveHeader_) return TakeHeader(std::move(cells), row);
  cells.resize(data_.Fields.size());
  cells_ += cells.size();
  if (cells_ > kMaxCells)
    Fail("слишком много данных (больше " + std::to_string(kMaxCells) + " ячеек)", row);
  TRecord record;
  record.Row = row;
  if (countField_ >= 0) record.Count = CountOf(cells[std::size_t(countField_)], row);
  record.Values = std::move(cells);
  data_.Records.push_back(std::move(record));
}

void TTableBuilder::TakeHeader(std::vector<std::string> cells, std::int64_t row) {
  haveHeader_ = true;
  while (!cells.empty() && Trim(cells.back()).empty()) cells.pop_back();
  if (cells.size() > kMaxColumns) Fail("столбцов больше " + std::to_string(kMaxColumns), row);
  for (std::string& cell : cells) {
    cell = Trim(cell);
    if (!cell.empty() && data_.FieldIndex(cell) >= 0)
      Fail("поле «" + cell + "» названо в первой строке дважды", row);
    data_.Fields.push_back(cell);
  }
  countField_ = data_.FieldIndex(kCountField);
}

std::int32_t TTableBuilder::CountOf(const std::string& text, std::int64_t row) const {
  const std::string trimmed = Trim(text);
  if (trimmed.empty()) return 1;
  long value = 0;
  if (!ParseCount(trimmed, value) || value > kMaxCount)
    Fail(std::string("в поле «") + kCountField + "» ожидается целое число от 0 до " +
             std::to_string(kMaxCount) + ", а записано «" + trimmed + "»",
         row);
  return std::int32_t(value);
}

TDataSource TTableBuilder::Finish() {
  if (!haveHeader_) Fail("нет ни одной строки: первая строка должна называть поля");
  return std::move(data_);
}

}  // namespace datasource
