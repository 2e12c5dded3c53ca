// The label product subcommands of stampora-batch: products lists what the program knows,
// make-template writes a sheet template of a product or of sizes given on the command line.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "labels/Product.h"
#include "tools/BatchArgs.h"

namespace batch {

// One line per product, tab-separated: Id, description, paper, labels per sheet, label size
// ("63.5x38.1", millimetres). Files of products that could not be read are named on err.
int BatchProducts(const std::optional<std::string>& search, std::ostream& out, std::ostream& err);

struct TemplateRequest {
  std::string dataFolder, category, paper;
  labels::Product product;
  bool replace = false;
};

// "WxH" in millimetres ("63.5x38.1", also with "X" or "×"); UsageError naming the option.
std::pair<double, double> ParsePair(const std::string& option, const std::string& text);
// The product named by --product, or the one the size options describe. UsageError for a
// wrong or missing option, an unknown product or impossible sizes.
TemplateRequest TemplateRequestFrom(const ParsedArgs& args);

// Writes the template and prints its path; an existing template is replaced only when asked.
int BatchMakeTemplate(const TemplateRequest& request, std::ostream& out, std::ostream& err);

}  // namespace batch
