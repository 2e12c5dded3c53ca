#include "datasource/DataSource.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace datasource {

namespace {

// Cyrillic capitals А–П are D0 90–9F (lower D0 B0–BF), Р–Я are D0 A0–AF (lower D1 80–8F),
// Ё is D0 81 (lower D1 91).
void FoldCyrillic(unsigned char& lead, unsigned char& trail) {
  if (lead != 0xD0) return;
  if (trail >= 0x90 && trail <= 0x9F) {
    trail = static_cast<unsigned char>(trail + 0x20);
  } else if (trail >= 0xA0 && trail <= 0xAF) {
    lead = 0xD1;
    trail = static_cast<unsigned char>(trail - 0x20);
  } else if (trail == 0x81) {
    lead = 0xD1;
    trail = 0x91;
  }
}

std::string LowerExtension(const std::string& path) {
  const auto dot = path.find_last_of('.');
  const auto slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string extension = path.substr(dot);
  for (char& c : extension)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return extension;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw DataError("Файл «" + path + "» не удаётся открыть");
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) throw DataError("Файл «" + path + "» не удаётся прочитать");
  return std::move(bytes).str();
}

}  // namespace

std::string FoldCase(std::string_view text) {
  std::string folded(text);
  for (std::size_t i = 0; i < folded.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(folded[i]);
    if (c >= 'A' && c <= 'Z') {
      folded[i] = char(c - 'A' + 'a');
    } else if (c == 0xD0 && i + 1 < folded.size()) {
      unsigned char trail = static_cast<unsigned char>(folded[i + 1]);
      FoldCyrillic(c, trail);
      folded[i] = char(c);
      folded[++i] = char(trail);
    }
  }
  return folded;
}

int TDataSource::FieldIndex(std::string_view name) const {
  const std::string wanted = FoldCase(name);
  if (wanted.empty()) return -1;
  for (std::size_t i = 0; i < Fields.size(); ++i)
    if (FoldCase(Fields[i]) == wanted) return int(i);
  return -1;
}

std::int64_t TDataSource::LabelCount() const {
  std::int64_t labels = 0;
  for (const TRecord& record : Records) labels += record.Count;
  return labels;
}

std::string TDataSource::Where(const TRecord& record) const {
  return "файл «" + FileName + "», строка " + std::to_string(record.Row);
}

TDataSource ReadDataFile(const std::string& path) {
  const std::string extension = LowerExtension(path);
  if (extension != ".csv" && extension != ".txt" && extension != ".xlsx" && extension != ".ods")
    throw DataError("Файл «" + path + "» не прочитан: данные читаются из файлов CSV, XLSX и ODS");
  const std::string bytes = ReadWholeFile(path);
  if (extension == ".xlsx") return ReadXlsx(bytes, path);
  if (extension == ".ods") return ReadOds(bytes, path);
  return ReadCsv(bytes, path);
}

std::string FirstRecordSummary(const TDataSource& data) {
  if (data.Records.empty()) return {};
  const TRecord& first = data.Records.front();
  std::string summary;
  for (std::size_t i = 0; i < data.Fields.size(); ++i) {
    if (data.Fields[i].empty()) continue;
    if (!summary.empty()) summary += "; ";
    summary += data.Fields[i] + ": " + (i < first.Values.size() ? first.Values[i] : "");
  }
  return summary;
}

}  // namespace datasource
