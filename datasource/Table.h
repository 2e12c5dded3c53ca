// What the readers share: rows of cell texts become fields and records, within limits that keep
// a hostile file from taking all memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "datasource/DataSource.h"

namespace datasource {

inline constexpr std::size_t kMaxCells = 5'000'000;
inline constexpr std::size_t kMaxColumns = 16'384;
inline constexpr std::int64_t kMaxRows = 1'048'576;
inline constexpr std::int32_t kMaxCount = 100'000;

// Collects rows in order; the first row that is not empty names the fields, empty rows after it
// are no records.
class TTableBuilder {
 public:
  explicit TTableBuilder(std::string fileName);

  // row counts from 1; cells past the named fields are dropped.
  void AddRow(std::vector<std::string> cells, std::int64_t row);
  TDataSource Finish();
  [[noreturn]] void Fail(const std::string& what, std::int64_t row = 0) const;
  const std::string& FileName() const { return data_.FileName; }

 private:
  void TakeHeader(std::vector<std::string> cells, std::int64_t row);
  std::int32_t CountOf(const std::string& text, std::int64_t row) const;

  TDataSource data_;
  bool haveHeader_ = false;
  int countField_ = -1;
  std::size_t cells_ = 0;
};

// The text between leading and trailing blanks.
std::string Trim(const std::string& text);

}  // namespace datasource
