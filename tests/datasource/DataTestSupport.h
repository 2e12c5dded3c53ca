// Books for the data source tests: zip packages written here, and LibreOffice Calc's own
// conversions of flat ODS files.
#pragma once

#include <zip.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "tests/support/Scratch.h"

namespace data_test {

class TempDir {
 public:
  TempDir() : path_(test_support::NewFolder("data")) {}
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

inline std::string Zip(const std::map<std::string, std::string>& parts) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_source_keep(buffer);
  zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
  for (const auto& [name, data] : parts) {
    zip_source_t* source = zip_source_buffer(archive, data.data(), data.size(), 0);
    zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE);
  }
  zip_close(archive);
  std::string bytes;
  zip_source_open(buffer);
  zip_source_seek(buffer, 0, SEEK_END);
  const zip_int64_t size = zip_source_tell(buffer);
  zip_source_seek(buffer, 0, SEEK_SET);
  bytes.resize(std::size_t(size));
  zip_source_read(buffer, bytes.data(), zip_uint64_t(size));
  zip_source_close(buffer);
  zip_source_free(buffer);
  zip_error_fini(&error);
  return bytes;
}

inline bool HaveCalc() {
  return std::system("command -v soffice >/dev/null 2>&1") == 0 &&
         std::filesystem::exists("/usr/lib/libreoffice/program/libsclo.so");
}

// LibreOffice Calc's conversion of a flat ODS file into "xlsx" or "ods"; empty on failure.
inline std::string ConvertBook(const std::string& fods, const std::string& format,
                               const std::string& outDir) {
  const std::string profile = outDir + "/lo-profile";
  const std::string command = "timeout -k 10 240 soffice -env:UserInstallation=file://" + profile +
                              " --headless --norestore --convert-to " + format + " --outdir " +
                              test_support::ShellQuote(outDir) + " " +
                              test_support::ShellQuote(fods) + " >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return {};
  const std::string output =
      outDir + "/" + std::filesystem::path(fods).stem().string() + "." + format;
  return std::filesystem::exists(output) ? output : std::string();
}

}  // namespace data_test
