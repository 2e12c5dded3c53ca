// The open XML format label programs describe their products in: a file of <Template> elements
// (brand, part, paper, description) with <Label-rectangle>, <Label-round>, <Label-ellipse> or
// <Label-cd> children holding <Layout> grids, and files of <Paper-size> definitions. Lengths
// carry their units (pt, in, mm, cm, pc). A template may instead name an "equiv" of the same
// brand whose geometry it shares; those are resolved once every file is read.
#pragma once

#include <string>
#include <vector>

#include "labels/Product.h"

namespace labels {

struct PaperSize {
  std::string id, name, pwgName;
  double width = 0, height = 0;
};

// A template as its file gives it: either its own geometry or an equiv to look up.
struct TemplateEntry {
  std::string brand, part, description;
  std::string equiv;    // the part of the same brand it shares its geometry with
  std::string paperId;  // a paper size's id; empty when width and height are its own
  double width = 0, height = 0;
  std::vector<LabelKind> labels;
  std::string source;
};

struct TemplateFile {
  std::vector<PaperSize> papers;
  std::vector<TemplateEntry> templates;
  // Templates the file holds but no product can be made of: "<id>: <cause>", in Russian.
  std::vector<std::string> skipped;
  // Why the file was not read at all; empty when it was. A file of another kind (the
  // format's vendor or category lists) is read as holding nothing.
  std::string error;
};

// Reads the text of one file; source names it in the entries and messages.
TemplateFile ParseTemplateText(const std::string& text, const std::string& source);
// Reads a file from disk; only regular files are opened.
TemplateFile ReadTemplateFile(const std::string& path);

}  // namespace labels
