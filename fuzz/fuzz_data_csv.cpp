// Feeds arbitrary bytes to the CSV reader of label data: it either reads records that fit
// the fields it found, or fails with a DataError.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "datasource/DataSource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    const datasource::TDataSource list = datasource::ReadCsv(bytes, "fuzz.csv");
    for (const datasource::TRecord& record : list.Records) {
      if (record.Values.size() != list.Fields.size() || record.Count < 0) __builtin_trap();
    }
    datasource::FirstRecordSummary(list);
  } catch (const datasource::DataError&) {
  }
  return 0;
}
