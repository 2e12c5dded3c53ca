// The size of a document's first page as the automation interface gives it.
#pragma once

#include "wordlink/Automation.h"

namespace wordlink {

// What a page set-up answers for a value its sections do not share (wdUndefined).
inline constexpr float kUndefinedValue = 9999999.0f;

struct PageSize {
  float width = 0, height = 0;
};

// The document's page set-up, or where its sections differ in size (it then answers
// "undefined") the first section's, which is the first page's.
inline PageSize FirstPageSize(const Variant& doc) {
  Variant setup = doc.get("PageSetup");
  PageSize size{setup.get("PageWidth").toFloat(), setup.get("PageHeight").toFloat()};
  if (size.width < kUndefinedValue && size.height < kUndefinedValue) return size;
  setup = doc.get("Sections").call("Item", 1).get("PageSetup");
  return {setup.get("PageWidth").toFloat(), setup.get("PageHeight").toFloat()};
}

}  // namespace wordlink
