// Paragraph and run properties the model does not read: which children of w:pPr and w:rPr the
// model holds itself, the schema's order of them all, and writing the kept ones back in that
// order among those the writer makes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "wordproc/core/Model.h"

namespace wordproc::ooxml {

// The prefixes and namespaces every document, header and footer we write declares: kept
// properties may use these and no others.
const std::vector<std::pair<const char*, const char*>>& WrittenNamespaces();

enum class PropertyKind { Paragraph, Run, Mark, Table, Row, Cell };

// Whether the model holds a property of that local name (or drops it on purpose, as the styles
// and revisions it flattens): such children are never kept.
bool ModelledProperty(PropertyKind kind, std::string_view local);

// The place of a property in its parent's schema order; elements of other vocabularies (w14)
// and unknown ones come after the schema's own, before the properties that end the parent.
int PropertyRank(PropertyKind kind, std::string_view qualifiedName);

// The properties of later lists over those of earlier ones of the same name, in schema order;
// null lists are skipped.
std::vector<KeptProperty> MergeProperties(
    const std::vector<const std::vector<KeptProperty>*>& lists);

// Writes the children of a w:pPr, w:rPr, w:tblPr, w:trPr or w:tcPr: each one the writer makes, with
// the kept properties that come before it in schema order ahead of it. A kept property of the same
// name as one the writer makes gives way to it.
class PropertyWriter {
 public:
  PropertyWriter(std::string& out, PropertyKind kind, const KeptProperties& kept)
      : out_(out), kind_(kind), kept_(kept.empty() ? nullptr : kept.list.get()) {}
  void Add(std::string_view name, std::string_view xml);
  // The kept properties after the last one the writer made.
  void Finish();
  bool Keeps(std::string_view name) const;

 private:
  std::string& out_;
  PropertyKind kind_;
  const std::vector<KeptProperty>* kept_;
  std::size_t next_ = 0;
};

}  // namespace wordproc::ooxml
