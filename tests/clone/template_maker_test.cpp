// Sheet templates made from label products, read back through the word processor's automation
// and held against the numbers of the product files they came from.
#include <filesystem>

#include "CloneSupport.h"
#include "clone/SheetTemplateMaker.h"
#include "clone/uPlacing.h"
#include "labels/ProductDatabase.h"

using namespace clone_test;
namespace fs = std::filesystem;

namespace {

constexpr double kMm = 72 / 25.4;
constexpr float kTolerance = 0.01f;  // points; the document keeps single precision

// Products in every unit and shape, one with two layouts and one that borrows its geometry.
const char* kProducts = R"(<?xml version="1.0"?>
<Glabels-templates>
  <Template brand="T" part="rounded" size="A4" _description="Rounded, mm">
    <Label-rectangle id="0" width="63.5mm" height="38.1mm" round="3mm">
      <Layout nx="3" ny="7" x0="7.2mm" y0="15.1mm" dx="66mm" dy="38.1mm"/>
    </Label-rectangle>
  </Template>
  <Template brand="T" part="same" equiv="rounded"/>
  <Template brand="T" part="round" size="US-Letter">
    <Label-round id="0" radius="0.75in"><Layout nx="4" ny="5" x0="0.5in" y0="0.75in" dx="2in" dy="2in"/></Label-round>
  </Template>
  <Template brand="T" part="ellipse" size="A4">
    <Label-ellipse id="0" width="100pt" height="50pt"><Layout nx="2" ny="3" x0="50" y0="60" dx="200" dy="100"/></Label-ellipse>
  </Template>
  <Template brand="T" part="cd" size="A4">
    <Label-cd id="0" radius="5.85cm" hole="0.88cm"><Layout nx="1" ny="2" x0="4.65cm" y0="2.2cm" dy="13.7cm"/></Label-cd>
  </Template>
  <Template brand="T" part="two" size="Other" width="30pc" height="40pc">
    <Label-rectangle id="0" width="2cm" height="1cm">
      <Layout nx="1" ny="2" x0="1cm" y0="1cm" dy="2cm"/>
      <Layout nx="2" ny="1" x0="4cm" y0="1.5cm" dx="2cm"/>
    </Label-rectangle>
  </Template>
</Glabels-templates>)";

struct ShapeBox {
  int type;  // AutoShapeType; 0 for a line
  float left, top, width, height;
};

class TemplateMaker : public CloneTest {
 protected:
  void SetUp() override {
    CloneTest::SetUp();
    const std::string folder = data + "products";
    fs::create_directories(folder);
    WriteFile(folder + "/test.xml", kProducts);
    db = labels::ProductDatabase::Load({folder}, false);
    ASSERT_TRUE(db.Problems().empty()) << db.Problems().front();
    fs::create_directories(data + "Оттиски/Этикетки");
  }
  // Writes the product's template and reads its shapes back, in collection order.
  std::vector<ShapeBox> Make(const std::string& id) {
    const labels::Product* product = db.Find(id);
    EXPECT_NE(product, nullptr) << id;
    const std::string path = cloning::MakeSheetTemplate(
        *host->controller, data, "Этикетки", cloning::PaperNameFor(id), labels::LayOut(*product));
    EXPECT_EQ(path.rfind(data + "Оттиски/Этикетки/Шаблон_" + id + ".", 0), 0u) << path;
    Variant doc = OpenHidden(path);
    page = {doc.get("PageSetup").get("PageWidth").toFloat(),
            doc.get("PageSetup").get("PageHeight").toFloat()};
    std::vector<ShapeBox> boxes;
    const Variant shapes = doc.get("Shapes");
    for (int i = 1; i <= shapes.get("Count").toInt(); ++i) {
      const Variant s = shapes.call("Item", i);
      const bool line = s.get("Type").toInt() == 9;
      boxes.push_back({line ? 0 : s.get("AutoShapeType").toInt(), s.get("Left").toFloat(),
                       s.get("Top").toFloat(), s.get("Width").toFloat(),
                       s.get("Height").toFloat()});
      if (!line && boxes.back().type == 5) corner = s.get("Adjustments").call("Item", 1).toFloat();
    }
    doc.call("Close", 0);
    return boxes;
  }
  int Count(const std::string& id) {
    return cloning::CountLabelPositions(*host->controller, data, "Этикетки",
                                        cloning::PaperNameFor(id));
  }
  static void ExpectBox(const ShapeBox& box, double left, double top, double w, double h) {
    EXPECT_NEAR(box.left, left, kTolerance);
    EXPECT_NEAR(box.top, top, kTolerance);
    EXPECT_NEAR(box.width, w, kTolerance);
    EXPECT_NEAR(box.height, h, kTolerance);
  }

  labels::ProductDatabase db;
  std::pair<float, float> page;
  float corner = -1;
};

TEST_F(TemplateMaker, RoundedRectanglesWithCutLinesBetweenTouchingRows) {
  const auto boxes = Make("T rounded");
  EXPECT_NEAR(page.first, 210 * kMm, 0.05);
  EXPECT_NEAR(page.second, 297 * kMm, 0.05);
  ASSERT_EQ(boxes.size(), 21u + 6u);
  for (int k = 0; k < 21; ++k) {
    EXPECT_EQ(boxes[k].type, 5) << k;
    ExpectBox(boxes[k], (7.2 + 66 * (k % 3)) * kMm, (15.1 + 38.1 * (k / 3)) * kMm, 63.5 * kMm,
              38.1 * kMm);
  }
  EXPECT_NEAR(corner, 3 / 38.1, 1e-4) << "the corner radius as a share of the shorter side";
  for (int r = 1; r < 7; ++r) {
    const ShapeBox& cut = boxes[20 + r];
    EXPECT_EQ(cut.type, 0);
    ExpectBox(cut, 7.2 * kMm, (15.1 + 38.1 * r) * kMm, (66 * 2 + 63.5) * kMm, 0);
  }
  EXPECT_EQ(Count("T rounded"), 21);
  EXPECT_EQ(Make("T same").size(), boxes.size()) << "an equiv makes the same sheet";
}

TEST_F(TemplateMaker, RoundsEllipsesAndCdsAreOvalsInTheirUnits) {
  const auto rounds = Make("T round");
  EXPECT_NEAR(page.first, 8.5 * 72, 0.05);
  ASSERT_EQ(rounds.size(), 20u) << "round labels get no cut lines";
  for (int k = 0; k < 20; ++k) {
    EXPECT_EQ(rounds[k].type, 9);
    ExpectBox(rounds[k], 36 + 144 * (k % 4), 54 + 144 * (k / 4), 108, 108);
  }
  const auto ellipses = Make("T ellipse");
  ASSERT_EQ(ellipses.size(), 6u);
  ExpectBox(ellipses[5], 250, 260, 100, 50);
  const auto cds = Make("T cd");
  ASSERT_EQ(cds.size(), 2u) << "the outer circle only";
  EXPECT_EQ(cds[1].type, 9);
  ExpectBox(cds[1], 46.5 * kMm, (22 + 137) * kMm, 117 * kMm, 117 * kMm);
  EXPECT_EQ(Count("T cd"), 2);
}

TEST_F(TemplateMaker, SeveralLayoutsOnAPaperOfItsOwnInReadingOrder) {
  const auto boxes = Make("T two");
  EXPECT_NEAR(page.first, 360, 0.05);
  EXPECT_NEAR(page.second, 480, 0.05);
  ASSERT_EQ(boxes.size(), 4u + 1u) << "the second layout's labels touch: one cut between them";
  ExpectBox(boxes[0], 10 * kMm, 10 * kMm, 20 * kMm, 10 * kMm);
  ExpectBox(boxes[1], 40 * kMm, 15 * kMm, 20 * kMm, 10 * kMm);
  ExpectBox(boxes[2], 60 * kMm, 15 * kMm, 20 * kMm, 10 * kMm);
  ExpectBox(boxes[3], 10 * kMm, 30 * kMm, 20 * kMm, 10 * kMm);
  ExpectBox(boxes[4], 60 * kMm, 15 * kMm, 0, 10 * kMm);
  EXPECT_EQ(Count("T two"), 4);
}

TEST_F(TemplateMaker, WrongNamesAndMissingCategoriesWriteNothing) {
  const auto sheet = labels::LayOut(*db.Find("T round"));
  auto make = [&](const std::string& category, const std::string& paper) {
    try {
      cloning::MakeSheetTemplate(*host->controller, data, category, paper, sheet);
    } catch (const std::runtime_error& e) {
      return std::string(e.what());
    }
    return std::string();
  };
  EXPECT_NE(make("Нет такой", "A4").find("Нет категории оттисков «Нет такой»"), std::string::npos);
  EXPECT_NE(make("Этикетки", "a/b").find("«/»"), std::string::npos);
  EXPECT_NE(make("Этикетки", " ").find("Не задано"), std::string::npos);
  EXPECT_NE(make("../Этикетки", "A4").find("«/»"), std::string::npos);
  EXPECT_EQ(FilesIn(data + "Оттиски/Этикетки"), std::vector<std::string>{});
  EXPECT_EQ(cloning::PaperNameFor("Ascom A4/24/MKII"), "Ascom A4-24-MKII");
  EXPECT_EQ(cloning::PaperNameFor(".hidden"), "hidden");
}

TEST_F(TemplateMaker, ATemplateOfAnotherLetterCaseIsReplacedNotDoubled) {
  WriteFile(data + "Оттиски/Этикетки/Шаблон_T round.DOC", "old");
  Make("T round");
  EXPECT_EQ(FilesIn(data + "Оттиски/Этикетки"), std::vector<std::string>{"Шаблон_T round.DOC"});
  EXPECT_EQ(Count("T round"), 20);
}

}  // namespace
