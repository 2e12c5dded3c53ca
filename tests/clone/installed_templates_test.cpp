// Every product of the installed package of product files (glabels-data) makes a template
// whose label positions count as the product's labels.
#include <filesystem>

#include "CloneSupport.h"
#include "clone/SheetTemplateMaker.h"
#include "clone/uPlacing.h"
#include "labels/ProductDatabase.h"

using namespace clone_test;

namespace {

const std::string kPackageFolder = "/usr/share/libglabels-3.0/templates";
// Every so many products the template is also saved and counted as the program counts it.
constexpr std::size_t kSavedEvery = 50;

// Shapes with width and height: what counting a template's label positions takes.
int PositionsOf(const Variant& doc) {
  const Variant shapes = doc.get("Shapes");
  int count = 0;
  for (int i = 1, n = shapes.get("Count").toInt(); i <= n; ++i) {
    const Variant shape = shapes.call("Item", i);
    count += shape.get("Width").toFloat() != 0 && shape.get("Height").toFloat() != 0;
  }
  return count;
}

class InstalledTemplates : public CloneTest {};

TEST_F(InstalledTemplates, EveryProductsTemplateCountsItsLabels) {
  if (!std::filesystem::is_directory(kPackageFolder))
    GTEST_SKIP() << "glabels-data is not installed";
  const auto db = labels::ProductDatabase::Load({kPackageFolder}, false);
  std::filesystem::create_directories(data + "Оттиски/Все");
  std::size_t made = 0;
  for (const labels::Product& product : db.Products()) {
    if (!labels::GeometryProblem(product).empty()) continue;
    const labels::SheetLayout sheet = labels::LayOut(product);
    if (++made % kSavedEvery == 0) {
      const std::string paper = cloning::PaperNameFor(product.Id());
      cloning::MakeSheetTemplate(*host->controller, data, "Все", paper, sheet);
      EXPECT_EQ(cloning::CountLabelPositions(*host->controller, data, "Все", paper),
                product.LabelCount())
          << product.Id();
      continue;
    }
    Variant doc = Word().get("Documents").call("Add");
    cloning::DrawSheetTemplate(doc, sheet);
    EXPECT_EQ(PositionsOf(doc), product.LabelCount()) << product.Id();
    doc.call("Close", 0);
  }
  EXPECT_GT(made, db.Products().size() - 20);
}

}  // namespace
