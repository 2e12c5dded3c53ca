// What a document read from a package keeps of it beyond the model: the parts, relationships,
// content types and the styles and settings it is written back with.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "wordproc/core/Model.h"

namespace wordproc {

// A relationship of the package the model does not follow, written back with its own id. The
// target is as the written package must name it, relative to the part's folder or absolute; part
// is the part it leads to (empty for an external target).
struct KeptRelationship {
  std::string id, type, target;
  bool external = false;
  std::string part;
};

// A part of the package the writer does not make itself: its name (no leading slash), its
// content type (empty when the package gave none) and its bytes, which for a picture the model
// also shows are the image's own.
struct KeptPart {
  std::string name;
  std::string contentType;
  std::string bytes;
  ImagePtr image;
};

// What a document read from a package holds beyond the model, so that saving loses nothing
// another word processor shows: the parts, the relationships of the package and of the main part
// that lead to them, and the content types their extensions had.
struct KeptPackage {
  std::vector<KeptPart> parts;
  std::vector<KeptRelationship> packageRelationships, documentRelationships;
  // Those of each header and footer part, by the part's name as read.
  std::map<std::string, std::vector<KeptRelationship>> storyRelationships;
  std::vector<std::pair<std::string, std::string>> defaults;  // extension, content type
  // The namespaces the main part's root declared (prefix, URI) and its ignorable prefixes, which
  // elements kept in runs may use.
  std::vector<std::pair<std::string, std::string>> namespaces;
  std::string ignorable;
  // The document defaults' run and paragraph properties the model does not read, written back
  // into the styles part's defaults.
  KeptProperties runDefaults, paragraphDefaults;
  // The settings part as read: written back with what the model changes patched in, so that
  // the settings the model does not hold (compatibility, notes, variables, protection) stay.
  std::string settings;
  // The styles part as read, written back as it came: the paragraphs keep their styles and
  // carry their whole format, so that the styles change nothing of how they look.
  std::string styles;

  const KeptPart* find(const std::string& name) const;  // ignores ASCII case
  // The relationships of the main part (for an empty name) or of a header or footer part.
  const std::vector<KeptRelationship>& relationshipsOf(const std::string& part) const;
  const KeptPart* partOf(const Image* image) const;
};

}  // namespace wordproc
