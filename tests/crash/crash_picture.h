// The thumbnail the crash writer stores for version i: pixels that follow from i and do not
// compress away, so that a reader can tell a whole record and a version takes its room.
#pragma once

#include <cstdint>

#include "catalogue/uBitmap.h"
#include "catalogue/uPreviewList.h"

namespace crash {

inline catalogue::TBitmap CachePicture(long version, int height) {
  catalogue::TBitmap picture(catalogue::kThumbnailWidth, height);
  std::uint32_t state = std::uint32_t(version) * 2654435761u + 1;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = picture.ScanLine(y);
    for (int x = 0; x < 3 * catalogue::kThumbnailWidth; ++x) {
      state ^= state << 13, state ^= state >> 17, state ^= state << 5;
      row[x] = std::uint8_t(state);
    }
  }
  return picture;
}

}  // namespace crash
