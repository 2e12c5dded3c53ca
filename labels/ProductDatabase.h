// The label products the program knows: a small built-in set of common A4 sheets, then the
// product files installed on the system and the user's own, later folders overriding earlier
// ones product by product. Files that cannot be read are left out with one message each.
#pragma once

#include <string>
#include <vector>

#include "labels/GlabelsXml.h"
#include "labels/Product.h"

namespace labels {

// The built-in products (labels/BuiltinProducts.cpp) and the paper sizes every product may name.
const std::vector<Product>& BuiltinProducts();
const std::vector<PaperSize>& StandardPaperSizes();

class ProductDatabase {
 public:
  // The folders product files are read from, in order: "libglabels-3.0/templates" under each
  // of $XDG_DATA_DIRS (default /usr/local/share:/usr/share), taken from the last to the first so
  // that the first overrides; then the user's: $XDG_CONFIG_HOME/libglabels/templates, ~/.glabels
  // and $XDG_CONFIG_HOME/varnel-stampora/templates. $VSP_LABEL_TEMPLATE_DIRS, a list separated
  // by ":", replaces them all (scripted runs and tests).
  static std::vector<std::string> StandardFolders();

  // Reads "*.xml" and "*.template" files of the folders (a folder's "paper-sizes.xml" first).
  static ProductDatabase Load(const std::vector<std::string>& folders, bool builtins = true);
  static ProductDatabase LoadStandard() { return Load(StandardFolders()); }

  // Sorted by Id, ignoring letter case; one product per Id.
  const std::vector<Product>& Products() const { return products_; }
  // The product of that Id, ignoring letter case; nullptr when there is none.
  const Product* Find(const std::string& id) const;
  // Products whose Id, description, paper or label size ("63.5x38.1") contain every word of the
  // text, ignoring letter case; all for an empty text.
  std::vector<const Product*> Search(const std::string& text) const;
  // One message per file that was left out or had templates left out, naming the file.
  const std::vector<std::string>& Problems() const { return problems_; }

 private:
  std::vector<Product> products_;
  std::vector<std::string> problems_;
};

// The label size of a product as lists show it: "63.5x38.1" (millimetres).
std::string LabelSizeText(const Product& product);
// The paper as lists show it: its name, else its size "210x297" (millimetres).
std::string PaperText(const Product& product);

}  // namespace labels
