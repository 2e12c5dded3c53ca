// The products of the installed package of product files (glabels-data): every template its
// files describe becomes a product, and only sheets whose labels run off the paper are refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <pugixml.hpp>
#include <set>

#include "labels/ProductDatabase.h"
#include "labels/SheetGeometry.h"

namespace {

namespace fs = std::filesystem;

const std::string kPackageFolder = "/usr/share/libglabels-3.0/templates";

// Brand and part of every <Template>, read without the program's reader.
std::set<std::string> TemplateIds() {
  std::set<std::string> ids;
  for (const auto& entry : fs::directory_iterator(kPackageFolder)) {
    pugi::xml_document doc;
    if (!doc.load_file(entry.path().c_str())) continue;
    for (const auto& node : doc.document_element().children("Template"))
      ids.insert(std::string(node.attribute("brand").as_string()) + " " +
                 node.attribute("part").as_string());
  }
  return ids;
}

TEST(InstalledProducts, EveryTemplateOfThePackageIsAProduct) {
  if (!fs::is_directory(kPackageFolder)) GTEST_SKIP() << "glabels-data is not installed";
  const std::set<std::string> ids = TemplateIds();
  ASSERT_GT(ids.size(), 1000u);
  const auto db = labels::ProductDatabase::Load({kPackageFolder}, false);
  EXPECT_TRUE(db.Problems().empty()) << db.Problems().front();
  EXPECT_EQ(db.Products().size(), ids.size());
  for (const std::string& id : ids) EXPECT_NE(db.Find(id), nullptr) << id;
  int refused = 0;
  for (const labels::Product& p : db.Products()) {
    const std::string problem = labels::GeometryProblem(p);
    if (problem.empty()) continue;
    ++refused;
    EXPECT_NE(problem.find("выходят за край листа"), std::string::npos)
        << p.Id() << ": " << problem;
  }
  EXPECT_LT(refused, 20) << "only the package's few sheets with wrong numbers";
}

}  // namespace
