// What the model does not hold of a package: every part the writer does not make anew, kept
// with the relationships that lead to it so that saving puts it back as it came.
#include <algorithm>

#include "wordproc/core/OoxmlReadContext.h"

namespace wordproc::ooxml::reader {

namespace {

std::string RelationshipsPartOf(const std::string& partName) {
  const std::size_t slash = partName.rfind('/');
  if (slash == std::string::npos) return "_rels/" + partName + ".rels";
  return partName.substr(0, slash + 1) + "_rels/" + partName.substr(slash + 1) + ".rels";
}

}  // namespace

// Relationships to parts the writer makes are its own to write; the others keep their ids,
// which the kept parts and elements name them by.
std::vector<KeptRelationship> ReadContext::KeptRelationships(
    const std::string& relsPart, const std::string& folder, bool absolute,
    const std::unordered_set<std::string>& made) {
  std::vector<KeptRelationship> kept;
  if (!zip_.Has(relsPart)) return kept;
  package::XmlPart part;
  part.text = zip_.Read(relsPart);
  package::ParseXml(zip_, relsPart, part);
  for (xml_node rel : part.doc.document_element().children()) {
    if (!Is(rel, "Relationship") || Value(rel, "Id").empty()) continue;
    KeptRelationship r{std::string(Value(rel, "Id")), std::string(Value(rel, "Type")),
                       std::string(Value(rel, "Target")), Value(rel, "TargetMode") == "External",
                       std::string()};
    if (!r.external) {
      r.part = ResolveTarget(folder, r.target);
      if (made.count(package::AsciiLower(r.part))) continue;
      // The main part is written as word/document.xml: targets from another folder are given
      // from the package's root.
      if (absolute) r.target = "/" + r.part;
    }
    kept.push_back(std::move(r));
  }
  return kept;
}

void ReadContext::KeepUnread(const std::string& mainPart) {
  std::unordered_set<std::string> made = {"[content_types].xml", "_rels/.rels"};
  const auto makes = [&](const std::string& name) {
    made.insert(package::AsciiLower(name));
    made.insert(package::AsciiLower(RelationshipsPartOf(name)));
  };
  makes(mainPart);
  for (const char* type : {"/styles", "/settings", "/numbering"})
    if (const std::string* name = PartOfType(type)) makes(*name);
  for (const auto& story : stories_) makes(story.first);

  auto kept = std::make_shared<KeptPackage>();
  kept->packageRelationships = KeptRelationships("_rels/.rels", "", false, made);
  kept->documentRelationships =
      KeptRelationships(RelationshipsPartOf(mainPart), mainFolder_, mainFolder_ != "word/", made);
  for (const std::string& name : zip_.Names()) {
    const std::string lower = package::AsciiLower(name);
    if (made.count(lower)) continue;
    KeptPart part{name, ContentTypeOf(name), std::string(), nullptr};
    // A picture the model shows already holds the part's bytes.
    if (const auto image = images_.find(lower); image != images_.end()) {
      part.image = image->second;
    } else {
      part.bytes = zip_.Read(name);
      ChargeModel(part.bytes.size());
    }
    kept->parts.push_back(std::move(part));
  }
  kept->defaults.assign(defaults_.begin(), defaults_.end());
  std::sort(kept->defaults.begin(), kept->defaults.end());
  if (!kept->parts.empty() || !kept->packageRelationships.empty() ||
      !kept->documentRelationships.empty())
    doc_->kept = std::move(kept);
}

}  // namespace wordproc::ooxml::reader
