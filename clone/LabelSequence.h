// The order labels take their positions in: without data, set after set of the glyphs with
// their counts; with data, glyph after glyph, a glyph with data record after record (each its
// count of times), a glyph without data its sets times its count.
#pragma once

#include <cstddef>
#include <cstdint>

#include "clone/uClone.h"

namespace cloning {

struct TLabel {
  std::size_t Glyph = 0;
  const datasource::TRecord* Record = nullptr;  // null for a glyph without data
};

class TLabelSequence {
 public:
  TLabelSequence(const TCloneParams& glyphs, int sets);

  // The label at the next position; false when every label is placed. finished is set when
  // this label ends a run: a glyph's copies of a set, or a record's copies.
  bool Next(TLabel& label, bool& finished);
  // The rest of the current record's copies are dropped (the record cannot be merged).
  void DropRecord();

 private:
  bool StartRun();
  bool Advance();

  const TCloneParams& glyphs_;
  const bool withData_;
  const int sets_;
  int set_ = 0;
  std::size_t glyph_ = 0, record_ = 0;
  std::int64_t left_ = 0;      // copies left in the current run
  std::int64_t runsLeft_ = 0;  // with data, runs left of a glyph without data
  bool started_ = false, done_ = false;
};

}  // namespace cloning
