#include "tools/BatchGlyphTypes.h"

namespace batch {

void PrintGlyphTypes(const std::vector<app::TGlyphType>& types, std::ostream& out) {
  for (std::size_t i = 0; i < types.size(); ++i) {
    const app::TGlyphType& t = types[i];
    out << i << '\t' << t.Name << '\t' << t.Width << '\t' << t.Height << '\t' << (t.Oval ? 1 : 0)
        << '\t' << t.Category << '\n';
  }
}

}  // namespace batch
