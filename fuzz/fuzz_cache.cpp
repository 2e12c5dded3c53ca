// The thumbnail cache reader on arbitrary bytes: it may refuse them, never crash or allocate
// without bound, and whatever it accepts must survive a save and a second load unchanged.
#include <cstddef>
#include <cstdint>

#include "catalogue/uPreviewList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  catalogue::TPreviewList list("/nonexistent-data/");
  catalogue::TMemoryReader in(data, size);
  try {
    list.LoadCacheFrom(in, "cache.dat");
  } catch (const catalogue::CatalogueError&) {
  }
  catalogue::TMemoryWriter saved;
  list.SaveCacheTo(saved);
  catalogue::TPreviewList again("/nonexistent-data/");
  catalogue::TMemoryReader back(saved.Bytes.data(), saved.Bytes.size());
  again.LoadCacheFrom(back, "cache.dat");
  if (again.Count() != list.Count()) __builtin_trap();
  for (int i = 0; i < list.Count(); ++i)
    if (again.Items(i)->Path != list.Items(i)->Path ||
        !(*again.Items(i)->Thumbnail == *list.Items(i)->Thumbnail))
      __builtin_trap();
  return 0;
}
