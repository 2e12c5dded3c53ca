// A list of records that fills labels: the fields named by the first row of a CSV, XLSX or ODS
// file and one record per further row, with how many labels each record takes.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace datasource {

// The optional column that says how many labels a record fills; empty means one.
inline constexpr const char* kCountField = "Количество";

// A file that cannot be read or holds a value that cannot be used; the message names the file
// and, where there is one, the row.
class DataError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TRecord {
  std::vector<std::string> Values;  // one per field, in the fields' order
  std::int32_t Count = 1;
  std::int64_t Row = 0;  // the row the record stands on in its file, the first row being 1
};

struct TDataSource {
  std::string FileName;
  std::vector<std::string> Fields;
  std::vector<TRecord> Records;

  // The index of a field, its name compared as merge field names are (letter case ignored);
  // -1 when the data has no such field.
  int FieldIndex(std::string_view name) const;
  // The labels the records fill, their counts added up.
  std::int64_t LabelCount() const;
  // "файл «…», строка N": where a record came from, for messages.
  std::string Where(const TRecord& record) const;
};

// Reads the file by its extension (.csv, .txt, .xlsx, .ods). Throws DataError.
TDataSource ReadDataFile(const std::string& path);

// The readers of the file's bytes; fileName is only named in messages. Throw DataError.
TDataSource ReadCsv(std::string_view bytes, const std::string& fileName);
TDataSource ReadXlsx(std::string_view bytes, const std::string& fileName);
TDataSource ReadOds(std::string_view bytes, const std::string& fileName);

// The first record as a person reads it: "Имя: Иван; Цена: 100"; empty without records.
std::string FirstRecordSummary(const TDataSource& data);

// Folds letter case of Latin and Cyrillic letters, as field names are compared.
std::string FoldCase(std::string_view text);

}  // namespace datasource
