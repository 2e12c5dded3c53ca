// One product file read: every label shape, several layouts, legacy names, and templates or
// whole files that cannot be read.
#include <gtest/gtest.h>

#include "LabelsSupport.h"
#include "labels/GlabelsXml.h"
#include "labels/Units.h"

namespace {

using labels::LabelShape;
using labels::MmToPoints;
using labels_test::TemplatesFile;

labels::TemplateFile Parse(const std::string& templates) {
  return labels::ParseTemplateText(TemplatesFile(templates), "test.xml");
}

TEST(TemplateFile, ReadsEveryShapeWithItsGeometry) {
  const auto file = Parse(R"(
    <Template brand="B" part="rect" size="A4" _description="Rectangles">
      <Meta category="label"/>
      <Label-rectangle id="0" width="63.5mm" height="38.1mm" round="2mm" x_waste="1mm">
        <Markup-margin size="1mm"/>
        <Layout nx="3" ny="7" x0="7.2mm" y0="15.1mm" dx="66mm" dy="38.1mm"/>
      </Label-rectangle>
    </Template>
    <Template brand="B" part="round" size="US-Letter" description="Rounds">
      <Label-round id="0" radius="0.75in"><Layout nx="4" ny="5" x0="0.5in" y0="0.75in" dx="2in" dy="2in"/></Label-round>
    </Template>
    <Template brand="B" part="ellipse" size="A4">
      <Label-ellipse id="0" width="40mm" height="20mm"><Layout nx="1" ny="1" x0="1mm" y0="2mm"/></Label-ellipse>
    </Template>
    <Template brand="B" part="cd" size="Other" width="200mm" height="300mm">
      <Label-cd id="0" radius="58.5mm" hole="8.8mm" height="100mm"><Layout nx="1" ny="2" x0="10" y0="20" dy="150mm"/></Label-cd>
    </Template>)");
  ASSERT_TRUE(file.error.empty()) << file.error;
  EXPECT_TRUE(file.skipped.empty());
  ASSERT_EQ(file.templates.size(), 4u);

  const auto& rect = file.templates[0];
  EXPECT_EQ(rect.brand + " " + rect.part, "B rect");
  EXPECT_EQ(rect.description, "Rectangles");
  EXPECT_EQ(rect.paperId, "A4");
  ASSERT_EQ(rect.labels.size(), 1u);
  const auto& r = rect.labels[0];
  EXPECT_EQ(r.shape, LabelShape::Rectangle);
  EXPECT_DOUBLE_EQ(r.width, MmToPoints(63.5));
  EXPECT_DOUBLE_EQ(r.cornerRadius, MmToPoints(2));
  ASSERT_EQ(r.layouts.size(), 1u);
  EXPECT_EQ(r.layouts[0].columns, 3);
  EXPECT_EQ(r.layouts[0].rows, 7);
  EXPECT_DOUBLE_EQ(r.layouts[0].stepX, MmToPoints(66));

  const auto& round = file.templates[1].labels[0];
  EXPECT_EQ(file.templates[1].description, "Rounds") << "the attribute without the underscore";
  EXPECT_EQ(round.shape, LabelShape::Round);
  EXPECT_DOUBLE_EQ(round.width, 108);
  EXPECT_DOUBLE_EQ(round.height, 108);

  const auto& ellipse = file.templates[2].labels[0];
  EXPECT_EQ(ellipse.shape, LabelShape::Ellipse);
  EXPECT_DOUBLE_EQ(ellipse.layouts[0].stepX, 0) << "missing steps are 0";

  const auto& cd = file.templates[3];
  EXPECT_TRUE(cd.paperId.empty());
  EXPECT_DOUBLE_EQ(cd.width, MmToPoints(200));
  EXPECT_EQ(cd.labels[0].shape, LabelShape::Cd);
  EXPECT_DOUBLE_EQ(cd.labels[0].width, MmToPoints(117)) << "an unclipped side is the diameter";
  EXPECT_DOUBLE_EQ(cd.labels[0].height, MmToPoints(100)) << "a clipped side is its own";
  EXPECT_DOUBLE_EQ(cd.labels[0].hole, MmToPoints(8.8));
  EXPECT_DOUBLE_EQ(cd.labels[0].layouts[0].left, 10) << "no unit: points";
}

TEST(TemplateFile, SeveralLayoutsEquivsAndLegacyNames) {
  const auto file = Parse(R"(
    <Template brand="B" part="two" size="A4">
      <Label-rectangle id="0" width="10mm" height="10mm">
        <Layout nx="2" ny="1" x0="10mm" y0="10mm" dx="20mm"/>
        <Layout nx="1" ny="3" x0="100mm" y0="10mm" dy="20mm"/>
      </Label-rectangle>
    </Template>
    <Template brand="B" part="same" equiv="two" _description="Alike"/>
    <Template name="Old 1234" size="A4">
      <Label-round id="0" radius="5mm"><Layout nx="1" ny="1" x0="0" y0="0"/></Label-round>
    </Template>)");
  ASSERT_EQ(file.templates.size(), 3u);
  EXPECT_EQ(file.templates[0].labels[0].layouts.size(), 2u);
  EXPECT_EQ(file.templates[1].equiv, "two");
  EXPECT_TRUE(file.templates[1].labels.empty()) << "its geometry comes from the other one";
  EXPECT_EQ(file.templates[2].brand, "Old");
  EXPECT_EQ(file.templates[2].part, "1234");
}

TEST(TemplateFile, TemplatesThatCannotBeReadAreSkippedWithTheirCause) {
  const auto file = Parse(R"(
    <Template brand="B" part="ok" size="A4"><Label-round radius="5mm"><Layout nx="1" ny="1"/></Label-round></Template>
    <Template brand="B" part="nolabel" size="A4"><Meta category="label"/></Template>
    <Template brand="B" part="nolayout" size="A4"><Label-round radius="5mm"/></Template>
    <Template brand="B" part="path" size="A4"><Label-path d="M0 0"><Layout nx="1" ny="1"/></Label-path></Template>
    <Template brand="B" part="badlength" size="A4"><Label-round radius="5ft"><Layout nx="1" ny="1"/></Label-round></Template>
    <Template brand="B" part="badcount" size="A4"><Label-round radius="5mm"><Layout nx="x" ny="1"/></Label-round></Template>
    <Template brand="B" part="nosize"><Label-round radius="5mm"><Layout nx="1" ny="1"/></Label-round></Template>
    <Template brand="B" part="noheight" size="A4"><Label-rectangle width="5mm"><Layout nx="1" ny="1"/></Label-rectangle></Template>
    <Template part="nobrand" size="A4"/>)");
  ASSERT_EQ(file.templates.size(), 1u);
  EXPECT_EQ(file.templates[0].part, "ok");
  ASSERT_EQ(file.skipped.size(), 8u);
  EXPECT_EQ(file.skipped[0], "B nolabel: нет описания этикетки (<Label-…>)");
  EXPECT_EQ(file.skipped[1], "B nolayout: у <Label-round> нет раскладки <Layout>");
  EXPECT_EQ(file.skipped[2], "B path: вид этикетки <Label-path> не поддерживается");
  EXPECT_NE(file.skipped[3].find("radius=\"5ft\""), std::string::npos);
  EXPECT_NE(file.skipped[4].find("nx=\"x\""), std::string::npos);
  EXPECT_NE(file.skipped[5].find("формат бумаги"), std::string::npos);
  EXPECT_NE(file.skipped[6].find("height"), std::string::npos);
}

TEST(TemplateFile, FilesThatAreNoProductFiles) {
  const auto broken = labels::ParseTemplateText("<Glabels-templates><Template", "broken.xml");
  EXPECT_NE(broken.error.find("это не XML"), std::string::npos);
  EXPECT_TRUE(labels::ParseTemplateText("", "empty.xml").error.size() > 0);
  const auto vendors =
      labels::ParseTemplateText("<Glabels-vendors><Vendor name=\"x\"/></Glabels-vendors>", "v.xml");
  EXPECT_TRUE(vendors.error.empty());
  EXPECT_TRUE(vendors.templates.empty());
  const auto papers = labels::ParseTemplateText(
      "<Glabels-paper-sizes><Paper-size id=\"Q\" _name=\"Quarto\" width=\"8in\" height=\"10in\"/>"
      "<Paper-size id=\"Bad\" width=\"8in\"/></Glabels-paper-sizes>",
      "paper-sizes.xml");
  ASSERT_EQ(papers.papers.size(), 1u);
  EXPECT_EQ(papers.papers[0].name, "Quarto");
  EXPECT_DOUBLE_EQ(papers.papers[0].height, 720);
  EXPECT_EQ(papers.skipped.size(), 1u);
}

}  // namespace
