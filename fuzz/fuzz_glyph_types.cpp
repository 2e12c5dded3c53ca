// Feeds arbitrary bytes to the glyph_types.ini reader.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/uCommon.h"
#include "platform/Utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  auto types = app::ParseGlyphTypes(bytes);
  if (types.empty()) __builtin_trap();
  for (const auto& t : types)
    if (!platform::IsValidUtf8(t.Name) || !platform::IsValidUtf8(t.Category)) __builtin_trap();
  return 0;
}
