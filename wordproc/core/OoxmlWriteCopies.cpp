// Copies of a kept chart or SmartArt take parts of their own: two drawings naming one chart part
// would edit each other's data in the word processor, and a drawing pasted from another document
// names parts this package does not have.
#include <algorithm>
#include <cctype>

#include <pugixml.hpp>

#include "wordproc/core/OoxmlReadContext.h"
#include "wordproc/core/OoxmlWriteXml.h"

namespace wordproc::ooxml::write {

namespace {

constexpr const char* kNsRelationships =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr unsigned kParse = pugi::parse_default | pugi::parse_ws_pcdata_single;

std::string FolderOf(const std::string& name) {
  const std::size_t slash = name.rfind('/');
  return slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
}

std::string FileOf(const std::string& name) {
  return name.substr(FolderOf(name).size());
}

// The target as its relationship gave it, leading to the copy in the original's folder instead.
std::string RetargetedTo(const std::string& target, const std::string& copy) {
  return target.substr(0, target.rfind('/') + 1) + FileOf(copy);
}

// The prefixes that name the relationships namespace: the main part's own, and any the run's
// elements declare.
std::vector<std::string> RelationshipPrefixes(const pugi::xml_node root, const KeptPackage* from) {
  std::vector<std::string> prefixes;
  for (const auto& [prefix, uri] : from ? from->namespaces : decltype(from->namespaces){})
    if (uri == kNsRelationships) prefixes.push_back(prefix + ":");
  for (const pugi::xpath_node& node : root.select_nodes("descendant-or-self::*"))
    for (const pugi::xml_attribute a : node.node().attributes()) {
      const std::string_view name = a.name();
      if (name.starts_with("xmlns:") && std::string_view(a.value()) == kNsRelationships)
        prefixes.push_back(std::string(name.substr(6)) + ":");
    }
  if (prefixes.empty()) prefixes.push_back("r:");
  return prefixes;
}

bool HasPrefix(std::string_view name, const std::vector<std::string>& prefixes) {
  for (const std::string& prefix : prefixes)
    if (name.starts_with(prefix) && name.size() > prefix.size()) return true;
  return false;
}

}  // namespace

std::vector<std::string> NamedRelationships(const std::string& runXml, const KeptPackage* from) {
  pugi::xml_document doc;
  if (!doc.load_buffer(runXml.data(), runXml.size(), kParse, pugi::encoding_utf8)) return {};
  const std::vector<std::string> prefixes = RelationshipPrefixes(doc.document_element(), from);
  std::vector<std::string> ids;
  for (const pugi::xpath_node& node : doc.select_nodes("//*"))
    for (const pugi::xml_attribute a : node.node().attributes())
      if (HasPrefix(a.name(), prefixes)) ids.push_back(a.value());
  return ids;
}

GraphicCopier::GraphicCopier(PartTaken taken, FreeRelationship freeId)
    : taken_(std::move(taken)), freeId_(std::move(freeId)) {}

std::optional<std::string> GraphicCopier::Copy(const std::string& runXml, const KeptPackage& from,
                                               const std::string& readFrom,
                                               const std::string& writtenTo) {
  pugi::xml_document doc;
  if (!doc.load_buffer(runXml.data(), runXml.size(), kParse, pugi::encoding_utf8)) return {};
  const std::vector<std::string> prefixes = RelationshipPrefixes(doc.document_element(), &from);
  // Made apart and added whole, so that a copy given up leaves nothing behind.
  std::vector<KeptRelationship> made;
  Copied copied{{}, {}, &from.relationshipsOf(readFrom), &made};
  for (const pugi::xpath_node& node : doc.select_nodes("//*"))
    for (pugi::xml_attribute a = node.node().first_attribute(), next; a; a = next) {
      next = a.next_attribute();
      // Ids meant to be unique in the document stay with the original.
      const std::string_view name = a.name();
      if (name.ends_with(":anchorId") || name.ends_with(":editId")) {
        node.node().remove_attribute(a);
        continue;
      }
      if (!HasPrefix(name, prefixes)) continue;
      const std::optional<std::string> id = CopyRelationship(from, a.value(), copied);
      if (!id) return {};
      a.set_value(id->c_str());
    }
  auto& into = relationships_[writtenTo];
  into.insert(into.end(), made.begin(), made.end());
  return reader::NodeXml(doc.document_element());
}

const std::vector<KeptRelationship>& GraphicCopier::relationships(const std::string& part) const {
  static const std::vector<KeptRelationship> kNone;
  const auto found = relationships_.find(part);
  return found == relationships_.end() ? kNone : found->second;
}

bool GraphicCopier::Has(const std::string& name) const {
  const std::string lower = package::AsciiLower(name);
  for (const KeptPart& part : parts_)
    if (package::AsciiLower(part.name) == lower) return true;
  return false;
}

std::optional<std::string> GraphicCopier::CopyRelationship(const KeptPackage& from,
                                                           const std::string& id, Copied& copied) {
  if (const auto done = copied.relationships.find(id); done != copied.relationships.end())
    return done->second;
  const auto& kept = *copied.source;
  const auto r =
      std::find_if(kept.begin(), kept.end(), [&](const KeptRelationship& k) { return k.id == id; });
  if (r == kept.end()) return {};
  KeptRelationship copy = *r;
  copy.id = freeId_();
  if (!r->external) {
    const std::optional<std::string> part = CopyPart(from, r->part, copied);
    if (!part) return {};
    copy.part = *part;
    copy.target = RetargetedTo(r->target, *part);
  }
  copied.into->push_back(copy);
  copied.relationships.emplace(id, copy.id);
  return copy.id;
}

std::optional<std::string> GraphicCopier::CopyPart(const KeptPackage& from, const std::string& name,
                                                   Copied& copied) {
  if (const auto done = copied.parts.find(name); done != copied.parts.end()) return done->second;
  const KeptPart* source = from.find(name);
  if (!source) return {};
  KeptPart part = *source;
  part.name = FreeName(source->name);
  if (part.image) part.bytes.assign(part.image->bytes.begin(), part.image->bytes.end());
  part.image = nullptr;
  copied.parts.emplace(name, part.name);
  parts_.push_back(part);
  const std::size_t at = parts_.size() - 1;
  if (!CopyOwnRelationships(from, *source, part.name, copied)) return {};
  if (part.contentType.ends_with("diagramData+xml")) {
    std::string bytes = std::move(parts_[at].bytes);
    if (!RenameDrawingOfData(from, bytes, copied)) return {};
    parts_[at].bytes = std::move(bytes);
  }
  return part.name;
}

// A part's own relationships go with it, each to a copy of its target.
bool GraphicCopier::CopyOwnRelationships(const KeptPackage& from, const KeptPart& source,
                                         const std::string& copy, Copied& copied) {
  const KeptPart* rels = from.find(reader::RelationshipsPartOf(source.name));
  if (!rels) return true;
  pugi::xml_document doc;
  if (!doc.load_buffer(rels->bytes.data(), rels->bytes.size(), kParse, pugi::encoding_utf8))
    return false;
  for (pugi::xml_node r : doc.document_element().children()) {
    if (std::string_view(r.attribute("TargetMode").value()) == "External") continue;
    const std::string target = r.attribute("Target").value();
    const std::optional<std::string> part =
        CopyPart(from, reader::ReadContext::ResolveTarget(FolderOf(source.name), target), copied);
    if (!part) return false;
    r.attribute("Target").set_value(RetargetedTo(target, *part).c_str());
  }
  parts_.push_back({reader::RelationshipsPartOf(copy), rels->contentType,
                    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n" +
                        reader::NodeXml(doc.document_element()),
                    nullptr});
  return true;
}

// A SmartArt's data names the drawing of its boxes by its own part's relationship to it
// (dsp:dataModelExt relId): the copy names the copy of that drawing.
bool GraphicCopier::RenameDrawingOfData(const KeptPackage& from, std::string& bytes,
                                        Copied& copied) {
  const std::string attribute = "relId=\"";
  for (std::size_t at = bytes.find(attribute); at != std::string::npos;
       at = bytes.find(attribute, at + 1)) {
    if (at > 0 && bytes[at - 1] != ' ') continue;
    const std::size_t start = at + attribute.size(), end = bytes.find('"', start);
    if (end == std::string::npos) return false;
    const std::optional<std::string> id =
        CopyRelationship(from, bytes.substr(start, end - start), copied);
    if (!id) return false;
    bytes.replace(start, end - start, *id);
  }
  return true;
}

// "word/charts/chart1.xml" copied is "word/charts/chart2.xml", or the next number free.
std::string GraphicCopier::FreeName(const std::string& name) const {
  const std::string folder = FolderOf(name), file = FileOf(name);
  const std::size_t dot = file.rfind('.');
  std::string stem = file.substr(0, dot), extension;
  if (dot != std::string::npos) extension = file.substr(dot);
  while (!stem.empty() && std::isdigit(static_cast<unsigned char>(stem.back()))) stem.pop_back();
  for (int n = 1;; ++n) {
    const std::string candidate = folder + stem + std::to_string(n) + extension;
    if (!taken_(candidate) && !Has(candidate)) return candidate;
  }
}

}  // namespace wordproc::ooxml::write
