// The EMF and WMF player on hostile bytes: every record kind with any counts, indices and sizes.
// Whatever it reads must stay within the limits it promises, and the natural size must agree
// with the picture read whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <variant>

#include "wordproc/core/Metafile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace wordproc::metafile;
  const auto picture = Read(data, size);
  if (picture && picture->items.size() > (std::size_t(1) << 18)) std::abort();
  if (picture) {
    for (const Drawn& drawn : picture->items) {
      if (const auto* path = std::get_if<Path>(&drawn.item)) {
        std::size_t needed = 0;
        for (PathOp op : path->ops) needed += op == PathOp::Cubic ? 3 : op == PathOp::Close ? 0 : 1;
        if (needed > path->points.size()) std::abort();
      }
    }
  }
  if (NaturalSize(data, size).has_value() && !picture) std::abort();
  return 0;
}
