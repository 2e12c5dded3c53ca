#include "clone/LabelSequence.h"

#include <algorithm>

#include "clone/MergeData.h"

namespace cloning {

TLabelSequence::TLabelSequence(const TCloneParams& glyphs, int sets)
    : glyphs_(glyphs), withData_(HasData(glyphs)), sets_(sets) {
  done_ = glyphs_.empty() || (!withData_ && sets_ <= 0);
}

// Sets up the run at glyph_ (and record_); false when the glyph has nothing to place.
bool TLabelSequence::StartRun() {
  const TCloneParam& glyph = glyphs_[glyph_];
  if (glyph.Data) {
    const auto& records = glyph.Data->Records;
    while (record_ < records.size() && records[record_].Count <= 0) ++record_;
    if (record_ >= records.size()) return false;
    left_ = records[record_].Count;
    return true;
  }
  if (withData_ && runsLeft_ == 0) runsLeft_ = std::max(sets_, 0);
  if (withData_ && runsLeft_ <= 0) return false;
  left_ = std::max(glyph.Count, 1);
  return true;
}

// Moves to the next run; false when there is none.
bool TLabelSequence::Advance() {
  const TCloneParam& glyph = glyphs_[glyph_];
  if (glyph.Data && ++record_ < glyph.Data->Records.size() && StartRun()) return true;
  if (!glyph.Data && withData_ && --runsLeft_ > 0) return StartRun();
  for (;;) {
    record_ = 0;
    runsLeft_ = 0;
    if (++glyph_ == glyphs_.size()) {
      if (withData_ || ++set_ >= sets_) return false;
      glyph_ = 0;
    }
    if (StartRun()) return true;
  }
}

bool TLabelSequence::Next(TLabel& label, bool& finished) {
  if (done_) return false;
  const bool first = !started_;
  started_ = true;
  const bool more = first ? StartRun() || Advance() : left_ > 0 || Advance();
  if (!more) {
    done_ = true;
    return false;
  }
  const TCloneParam& glyph = glyphs_[glyph_];
  label.Glyph = glyph_;
  label.Record = glyph.Data ? &glyph.Data->Records[record_] : nullptr;
  finished = --left_ == 0;
  return true;
}

void TLabelSequence::DropRecord() {
  left_ = 0;
}

}  // namespace cloning
