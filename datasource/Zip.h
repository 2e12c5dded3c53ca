// The parts of a zip package in memory, read within limits.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "datasource/Table.h"

struct zip;

namespace datasource {

class TZip {
 public:
  // Fails through the table (naming the file) when the bytes are no zip package.
  TZip(std::string_view bytes, const TTableBuilder& table);
  ~TZip();
  TZip(const TZip&) = delete;
  TZip& operator=(const TZip&) = delete;

  // The part's bytes; nothing when the package has no such part.
  std::optional<std::string> Read(const std::string& name) const;

 private:
  struct zip* zip_ = nullptr;
  const TTableBuilder& table_;
};

}  // namespace datasource
