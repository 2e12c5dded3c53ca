#include "datasource/Zip.h"

#include <zip.h>

namespace datasource {

namespace {

constexpr zip_uint64_t kMaxPart = 256u << 20;

}  // namespace

TZip::TZip(std::string_view bytes, const TTableBuilder& table) : table_(table) {
  static const char kEmpty = 0;
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source =
      zip_source_buffer_create(bytes.empty() ? &kEmpty : bytes.data(), bytes.size(), 0, &error);
  if (source) zip_ = zip_open_from_source(source, ZIP_RDONLY, &error);
  zip_error_fini(&error);
  if (!zip_) {
    if (source) zip_source_free(source);
    table.Fail("файл повреждён или не является книгой электронной таблицы");
  }
}

TZip::~TZip() {
  if (zip_) zip_discard(zip_);
}

std::optional<std::string> TZip::Read(const std::string& name) const {
  const zip_int64_t index = zip_name_locate(zip_, name.c_str(), ZIP_FL_NOCASE);
  if (index < 0) return std::nullopt;
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(zip_, zip_uint64_t(index), 0, &st) != 0)
    table_.Fail("часть «" + name + "» повреждена");
  if ((st.valid & ZIP_STAT_SIZE) && st.size > kMaxPart)
    table_.Fail("часть «" + name + "» слишком велика");
  zip_file_t* file = zip_fopen_index(zip_, zip_uint64_t(index), 0);
  if (!file) table_.Fail("часть «" + name + "» не удаётся распаковать");
  std::string data;
  char chunk[64 * 1024];
  zip_int64_t got = 0;
  while ((got = zip_fread(file, chunk, sizeof chunk)) > 0 && data.size() <= kMaxPart)
    data.append(chunk, std::size_t(got));
  zip_fclose(file);
  if (got < 0) table_.Fail("часть «" + name + "» повреждена");
  if (data.size() > kMaxPart) table_.Fail("часть «" + name + "» слишком велика");
  return data;
}

}  // namespace datasource
