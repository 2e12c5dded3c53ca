// Files in the forms other programs write: compatibility wrappers, aligned and percentage
// positions, scaled groups, styles and themes, tables, VML-only shapes of older files, and
// LibreOffice's see-through paint.
#include <gtest/gtest.h>

#include <map>

#include "ooxml_test_support.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace ooxml_test;

namespace {

std::string Anchor(const std::string& attributes, const std::string& position,
                   const std::string& extent, const std::string& docPr,
                   const std::string& graphic) {
  return "<wp:anchor distT=\"0\" distB=\"0\" distL=\"0\" distR=\"0\" simplePos=\"0\" locked=\"0\" "
         "layoutInCell=\"1\" allowOverlap=\"1\" " +
         attributes + "><wp:simplePos x=\"0\" y=\"0\"/>" + position + "<wp:extent " + extent +
         "/><wp:wrapNone/><wp:docPr " + docPr + "/><a:graphic><a:graphicData uri=\"x\">" + graphic +
         "</a:graphicData></a:graphic></wp:anchor>";
}

const char* kDocumentRels =
    "<?xml version=\"1.0\"?><Relationships "
    "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rIdImg\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
    "relationships/image\" Target=\"media/image1.png\"/>"
    "<Relationship Id=\"rIdS\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
    "relationships/styles\" Target=\"/word/styles.xml\"/>"
    "<Relationship Id=\"rIdT\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
    "relationships/theme\" Target=\"theme/theme1.xml\"/></Relationships>";

const char* kTheme =
    "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"><a:themeElements>"
    "<a:clrScheme name=\"t\"><a:dk1><a:sysClr val=\"windowText\" lastClr=\"000000\"/></a:dk1>"
    "<a:accent1><a:srgbClr val=\"4080C0\"/></a:accent1></a:clrScheme>"
    "<a:fontScheme name=\"f\"><a:majorFont><a:latin typeface=\"Georgia\"/></a:majorFont>"
    "<a:minorFont><a:latin typeface=\"Cambria\"/></a:minorFont></a:fontScheme>"
    "</a:themeElements></a:theme>";

const char* kStyles =
    "<w:styles xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
    "<w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:asciiTheme=\"minorHAnsi\"/>"
    "<w:sz w:val=\"24\"/></w:rPr></w:rPrDefault><w:pPrDefault><w:pPr>"
    "<w:spacing w:after=\"160\"/></w:pPr></w:pPrDefault></w:docDefaults>"
    "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"/>"
    "<w:style w:type=\"paragraph\" w:styleId=\"Base\"><w:pPr><w:jc w:val=\"center\"/></w:pPr>"
    "<w:rPr><w:b/><w:sz w:val=\"32\"/></w:rPr></w:style>"
    "<w:style w:type=\"paragraph\" w:styleId=\"Heading\"><w:basedOn w:val=\"Base\"/>"
    "<w:rPr><w:rFonts w:asciiTheme=\"majorHAnsi\"/></w:rPr></w:style>"
    "<w:style w:type=\"paragraph\" w:styleId=\"Loop\"><w:basedOn w:val=\"Loop\"/></w:style>"
    "<w:style w:type=\"character\" w:styleId=\"Emph\"><w:rPr><w:i/></w:rPr></w:style>"
    "</w:styles>";

std::string Word2010Body() {
  const std::string oval = Anchor(
      "relativeHeight=\"251660288\" behindDoc=\"0\"",
      "<wp:positionH relativeFrom=\"margin\"><wp:align>center</wp:align></wp:positionH>"
      "<wp:positionV relativeFrom=\"page\"><wp:posOffset>914400</wp:posOffset></wp:positionV>",
      "cx=\"1270000\" cy=\"635000\"", "id=\"7\" name=\"Front\"",
      "<wps:wsp><wps:cNvSpPr/><wps:spPr><a:prstGeom prst=\"ellipse\"><a:avLst/></a:prstGeom>"
      "<a:solidFill><a:schemeClr val=\"accent1\"><a:lumMod val=\"50000\"/></a:schemeClr>"
      "</a:solidFill><a:ln w=\"12700\" cap=\"rnd\"><a:solidFill><a:srgbClr val=\"FF0000\"/>"
      "</a:solidFill><a:prstDash val=\"sysDot\"/></a:ln></wps:spPr><wps:bodyPr/></wps:wsp>");
  // Word 2010 writes percentage positions behind a wp14 choice with an absolute fallback.
  const std::string percent = Anchor(
      "relativeHeight=\"251659264\" behindDoc=\"0\"",
      "<mc:AlternateContent><mc:Choice Requires=\"wp14\"><wp:positionH relativeFrom=\"page\">"
      "<wp14:pctPosHOffset>10000</wp14:pctPosHOffset></wp:positionH></mc:Choice><mc:Fallback>"
      "<wp:positionH relativeFrom=\"page\"><wp:posOffset>0</wp:posOffset></wp:positionH>"
      "</mc:Fallback></mc:AlternateContent><wp:positionV relativeFrom=\"bottomMargin\">"
      "<wp:align>bottom</wp:align></wp:positionV>",
      "cx=\"127000\" cy=\"127000\"", "id=\"8\" name=\"Middle\" hidden=\"true\"",
      "<wps:wsp><wps:cNvSpPr txBox=\"1\"/><wps:spPr/><wps:style><a:lnRef idx=\"2\">"
      "<a:schemeClr val=\"accent1\"/></a:lnRef><a:fillRef idx=\"1\"><a:srgbClr val=\"ABCDEF\"/>"
      "</a:fillRef></wps:style><wps:txbx><w:txbxContent><w:tbl><w:tr><w:tc><w:p><w:r><w:t>"
      "in a cell</w:t></w:r></w:p></w:tc></w:tr></w:tbl></w:txbxContent></wps:txbx>"
      "<wps:bodyPr/></wps:wsp>");
  const std::string behind = Anchor(
      "relativeHeight=\"251999999\" behindDoc=\"1\"",
      "<wp:positionH relativeFrom=\"page\"><wp:posOffset>0</wp:posOffset></wp:positionH>"
      "<wp:positionV relativeFrom=\"page\"><wp:posOffset>0</wp:posOffset></wp:positionV>",
      "cx=\"2540000\" cy=\"1270000\"", "id=\"9\" name=\"Back Group\"",
      // Children live in a space twice as large as the group: everything is halved.
      "<wpg:wgp><wpg:cNvGrpSpPr/><wpg:grpSpPr><a:xfrm><a:off x=\"0\" y=\"0\"/>"
      "<a:ext cx=\"2540000\" cy=\"1270000\"/><a:chOff x=\"1000000\" y=\"500000\"/>"
      "<a:chExt cx=\"5080000\" cy=\"2540000\"/></a:xfrm></wpg:grpSpPr>"
      "<wps:wsp><wps:cNvPr id=\"10\" name=\"Half\"/><wps:cNvSpPr/><wps:spPr><a:xfrm>"
      "<a:off x=\"2270000\" y=\"1135000\"/><a:ext cx=\"2540000\" cy=\"1270000\"/></a:xfrm>"
      "<a:prstGeom prst=\"roundRect\"/><a:noFill/></wps:spPr><wps:bodyPr/></wps:wsp>"
      "<wpg:grpSp><wpg:cNvPr id=\"11\" name=\"Nested\"/><wpg:cNvGrpSpPr/><wpg:grpSpPr><a:xfrm>"
      "<a:off x=\"1000000\" y=\"500000\"/><a:ext cx=\"1270000\" cy=\"1270000\"/>"
      "<a:chOff x=\"0\" y=\"0\"/><a:chExt cx=\"127000\" cy=\"127000\"/></a:xfrm></wpg:grpSpPr>"
      "<pic:pic><pic:nvPicPr><pic:cNvPr id=\"12\" name=\"Deep Picture\" hidden=\"1\"/>"
      "<pic:cNvPicPr/></pic:nvPicPr><pic:blipFill><a:blip r:embed=\"rIdImg\"/></pic:blipFill>"
      "<pic:spPr><a:xfrm><a:off x=\"12700\" y=\"25400\"/><a:ext cx=\"63500\" cy=\"63500\"/>"
      "</a:xfrm></pic:spPr></pic:pic><wps:wsp><wps:cNvPr id=\"13\" name=\"Connector\"/>"
      "<wps:cNvCnPr/><wps:spPr><a:xfrm flipH=\"1\"><a:off x=\"0\" y=\"0\"/>"
      "<a:ext cx=\"127000\" cy=\"0\"/></a:xfrm><a:prstGeom prst=\"straightConnector1\"/>"
      "</wps:spPr><wps:bodyPr/></wps:wsp></wpg:grpSp></wpg:wgp>");
  const std::string unknown =
      "<mc:AlternateContent><mc:Choice Requires=\"w99\" xmlns:w99=\"urn:future\"><w:drawing>"
      "<w99:thing/></w:drawing></mc:Choice><mc:Fallback><w:pict><v:rect id=\"Fallback Rect\" "
      "style=\"position:absolute;margin-left:10pt;margin-top:20pt;width:30pt;height:40pt;"
      "mso-position-horizontal-relative:margin;mso-position-vertical-relative:page\" "
      "fillcolor=\"#ff0000\" stroked=\"f\"/></w:pict></mc:Fallback></mc:AlternateContent>";
  return "<w:p><w:pPr><w:pStyle w:val=\"Heading\"/></w:pPr><w:r><w:t>Head</w:t></w:r>"
         "<w:r><mc:AlternateContent><mc:Choice Requires=\"wps\"><w:drawing>" +
         oval +
         "</w:drawing></mc:Choice><mc:Fallback><w:pict><v:oval id=\"Front\"/></w:pict>"
         "</mc:Fallback></mc:AlternateContent></w:r><w:r><w:rPr><w:rStyle w:val=\"Emph\"/>"
         "<w:color w:val=\"FF0000\"/></w:rPr><w:t xml:space=\"preserve\"> line</w:t></w:r></w:p>"
         "<w:p><w:pPr><w:pStyle w:val=\"Loop\"/></w:pPr><w:hyperlink><w:r><w:t>link </w:t></w:r>"
         "</w:hyperlink><w:del><w:r><w:delText>gone</w:delText></w:r></w:del>"
         "<w:fldSimple w:instr=\"PAGE\"><w:r><w:t>1</w:t></w:r></w:fldSimple>"
         "<w:r><w:drawing>" +
         percent + "</w:drawing></w:r><w:r><w:drawing>" + behind + "</w:drawing></w:r><w:r>" +
         unknown +
         "</w:r></w:p>"
         "<w:tbl><w:tr><w:tc><w:p><w:r><w:t>cell</w:t></w:r></w:p></w:tc></w:tr></w:tbl>"
         "<w:sdt><w:sdtContent><w:p><w:r><w:t>control</w:t></w:r></w:p></w:sdtContent></w:sdt>";
}

TEST(OoxmlForeign, WordStyleDrawingsStylesAndThemes) {
  const auto doc = ReadBytes(PackageWithBody(
      Word2010Body(),
      {{"word/_rels/document.xml.rels", kDocumentRels},
       {"word/media/image1.png", std::string(reinterpret_cast<const char*>(MakePng(2, 2, 0).data()),
                                             MakePng(2, 2, 0).size())},
       {"word/styles.xml", kStyles},
       {"word/theme/theme1.xml", kTheme}}));

  // No sectPr: the default page.
  EXPECT_EQ(PageSetup().pageWidth, doc->pageSetup.pageWidth);

  ASSERT_EQ(4u, doc->paragraphs.size());  // tables and content controls flattened
  const Paragraph& head = doc->paragraphs[0];
  EXPECT_EQ("Head line", head.text());
  EXPECT_EQ(Alignment::Center, head.alignment);  // from the style it is based on
  EXPECT_NEAR(8, head.spaceAfter, 0.01);         // from the defaults
  ASSERT_EQ(2u, head.runs.size());
  EXPECT_EQ("Georgia", head.runs[0].format.fontFamily);  // theme's major font
  EXPECT_EQ(16, head.runs[0].format.fontSize);
  EXPECT_TRUE(head.runs[0].format.bold);
  EXPECT_TRUE(head.runs[1].format.italic);
  EXPECT_EQ(0xFF0000u, head.runs[1].format.color);
  const Paragraph& second = doc->paragraphs[1];
  EXPECT_EQ("link 1", second.text());  // deleted text left out, field result kept
  EXPECT_EQ("Cambria", second.runs[0].format.fontFamily);
  EXPECT_EQ(12, second.runs[0].format.fontSize);
  EXPECT_EQ("cell", doc->paragraphs[2].text());
  EXPECT_EQ("control", doc->paragraphs[3].text());

  // Behind the text first, then by relative height whatever the order in the file; the VML
  // shape without a z-index is at the bottom of the front layer.
  ASSERT_EQ(4u, doc->shapes.size());
  EXPECT_EQ("Back Group", doc->shapes[0].shape->name);
  EXPECT_EQ("Fallback Rect", doc->shapes[1].shape->name);
  EXPECT_EQ("Middle", doc->shapes[2].shape->name);
  EXPECT_EQ("Front", doc->shapes[3].shape->name);
  EXPECT_EQ(doc->paragraphs[0].id, doc->shapes[3].anchorParagraph);
  EXPECT_EQ(doc->paragraphs[1].id, doc->shapes[2].anchorParagraph);

  const Shape& front = *doc->shapes[3].shape;
  EXPECT_EQ(AutoShapeType::Oval, front.autoShapeType);
  EXPECT_EQ(RelH::Margin, front.relH);
  const PageSetup page;
  EXPECT_NEAR((page.pageWidth - page.leftMargin - page.rightMargin - 100) / 2, front.left, 0.01);
  EXPECT_NEAR(72, front.top, 0.01);
  EXPECT_EQ(0x204060u, front.fill.color);  // accent1 at half luminance
  EXPECT_EQ(DashStyle::RoundDot, front.line.dash);

  const Shape& middle = *doc->shapes[2].shape;
  EXPECT_FALSE(middle.visible);
  EXPECT_EQ(ShapeKind::TextBox, middle.kind);
  EXPECT_NEAR(59.53, middle.left, 0.01);  // 10 % of the page width
  EXPECT_EQ(RelV::BottomMargin, middle.relV);
  EXPECT_NEAR(page.bottomMargin - 10, middle.top, 0.01);
  EXPECT_TRUE(middle.fill.visible);  // from the shape style
  EXPECT_EQ(0xABCDEFu, middle.fill.color);
  EXPECT_EQ(0x4080C0u, middle.line.color);
  ASSERT_EQ(1u, middle.text.size());
  EXPECT_EQ("in a cell", middle.text[0].text());

  const Shape& group = *doc->shapes[0].shape;
  EXPECT_EQ(ShapeKind::Group, group.kind);
  ASSERT_EQ(2u, group.children.size());
  const Shape& half = *group.children[0];
  EXPECT_EQ("Half", half.name);
  EXPECT_EQ(AutoShapeType::RoundedRectangle, half.autoShapeType);
  EXPECT_FALSE(half.fill.visible);
  EXPECT_NEAR(50, half.left, 0.01);
  EXPECT_NEAR(25, half.top, 0.01);
  EXPECT_NEAR(50, half.height, 0.01);
  const Shape& nested = *group.children[1];
  EXPECT_EQ("Nested", nested.name);
  EXPECT_NEAR(50, nested.width, 0.01);  // 100 pt of child space, halved
  ASSERT_EQ(2u, nested.children.size());
  const Shape& deep = *nested.children[0];
  EXPECT_EQ("Deep Picture", deep.name);
  EXPECT_FALSE(deep.visible);
  ASSERT_TRUE(deep.image);
  // 1 pt of the nested space is 10 pt of the group's, which is 5 pt on the page.
  EXPECT_NEAR(5, deep.left, 0.01);
  EXPECT_NEAR(10, deep.top, 0.01);
  EXPECT_NEAR(25, deep.width, 0.01);
  const Shape& connector = *nested.children[1];
  EXPECT_EQ(ShapeKind::Line, connector.kind);
  EXPECT_TRUE(connector.flipH);
  EXPECT_NEAR(50, connector.width, 0.01);

  const Shape& fallback = *doc->shapes[1].shape;
  EXPECT_EQ(RelH::Margin, fallback.relH);
  EXPECT_EQ(RelV::Page, fallback.relV);
  EXPECT_NEAR(40, fallback.height, 0.01);
  EXPECT_EQ(0xFF0000u, fallback.fill.color);
  EXPECT_FALSE(fallback.line.visible);
  EXPECT_GT(doc->nextShapeId, 13u);
}

TEST(OoxmlForeign, VmlShapesOfOlderFiles) {
  const std::string body =
      "<w:p><w:r><w:pict>"
      "<v:shapetype id=\"_x0000_t202\" coordsize=\"21600,21600\" o:spt=\"202\" "
      "path=\"m,l,21600r21600,l21600,xe\"><v:stroke joinstyle=\"miter\"/></v:shapetype>"
      "<v:shape id=\"Text Box 2\" o:spid=\"_x0000_s1026\" type=\"#_x0000_t202\" "
      "style=\"position:absolute;margin-left:1in;margin-top:2cm;width:144pt;height:36pt;"
      "z-index:3;mso-position-horizontal-relative:margin;mso-position-vertical-relative:text\" "
      "fillcolor=\"#ff0\" strokecolor=\"blue [3204]\" strokeweight=\"2pt\">"
      "<v:stroke dashstyle=\"dash\"/><v:textbox><w:txbxContent><w:p><w:r><w:t>VML box</w:t>"
      "</w:r></w:p></w:txbxContent></v:textbox></v:shape>"
      "<v:oval o:spid=\"_x0000_s1027\" style=\"position:absolute;margin-left:10pt;"
      "margin-top:10pt;width:20pt;height:20pt;z-index:1;visibility:hidden;"
      "mso-position-horizontal-relative:page;mso-position-vertical-relative:page\" filled=\"f\"/>"
      "<v:roundrect id=\"RR\" style=\"position:absolute;left:5pt;top:6pt;width:7pt;height:8pt;"
      "z-index:2;mso-position-horizontal:center;mso-position-horizontal-relative:page\"/>"
      "<v:line id=\"VLine\" style=\"position:absolute;z-index:4;"
      "mso-position-horizontal-relative:page;mso-position-vertical-relative:page\" "
      "from=\"100pt,200pt\" to=\"50pt,250pt\" strokecolor=\"#00ff00\">"
      "<v:stroke dashstyle=\"longDashDot\"/></v:line>"
      "<v:group id=\"VGroup\" style=\"position:absolute;margin-left:100pt;margin-top:100pt;"
      "width:200pt;height:100pt;z-index:5;mso-position-horizontal-relative:page;"
      "mso-position-vertical-relative:page\" coordorigin=\"1000,1000\" coordsize=\"2000,1000\">"
      "<v:rect id=\"GR\" style=\"position:absolute;left:1500;top:1500;width:500;height:250\"/>"
      "<v:shape id=\"GPic\" type=\"#_x0000_t75\" style=\"position:absolute;left:1000;top:1000;"
      "width:100;height:100\"><v:imagedata r:id=\"rIdImg\" o:title=\"\"/></v:shape>"
      "</v:group></w:pict></w:r><w:r><w:t>after</w:t></w:r>"
      "<w:r><w:pict><v:shape id=\"InlinePic\" style=\"width:30pt;height:15pt\" "
      "type=\"#_x0000_t75\"><v:imagedata r:id=\"rIdImg\"/></v:shape></w:pict></w:r></w:p>"
      "<w:sectPr><w:pgSz w:w=\"12240\" w:h=\"15840\"/><w:pgMar w:top=\"-1440\" w:right=\"720\" "
      "w:bottom=\"1440\" w:left=\"720\" w:header=\"0\" w:footer=\"0\" w:gutter=\"0\"/></w:sectPr>";
  const auto png = MakePng(2, 2, 0xFFFFFF);
  const auto doc = ReadBytes(
      PackageWithBody(body, {{"word/_rels/document.xml.rels", ImageRels()},
                             {"word/media/image1.png", std::string(png.begin(), png.end())}}));

  EXPECT_EQ(612, doc->pageSetup.pageWidth);
  EXPECT_EQ(72, doc->pageSetup.topMargin);  // a negative margin has the same size
  ASSERT_EQ(5u, doc->shapes.size());
  const char* order[] = {"_x0000_s1027", "RR", "Text Box 2", "VLine", "VGroup"};
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(order[i], doc->shapes[i].shape->name);

  const Shape& box = *doc->shapes[2].shape;
  EXPECT_EQ(ShapeKind::TextBox, box.kind);
  EXPECT_NEAR(72, box.left, 0.01);
  EXPECT_NEAR(56.69, box.top, 0.01);
  EXPECT_EQ(RelH::Margin, box.relH);
  EXPECT_EQ(RelV::Paragraph, box.relV);
  EXPECT_EQ(0xFFFF00u, box.fill.color);
  EXPECT_EQ(0x0000FFu, box.line.color);
  EXPECT_EQ(DashStyle::Dash, box.line.dash);
  ASSERT_EQ(1u, box.text.size());
  EXPECT_EQ("VML box", box.text[0].text());

  const Shape& oval = *doc->shapes[0].shape;
  EXPECT_EQ(AutoShapeType::Oval, oval.autoShapeType);
  EXPECT_FALSE(oval.visible);
  EXPECT_FALSE(oval.fill.visible);

  const Shape& rounded = *doc->shapes[1].shape;
  EXPECT_EQ(AutoShapeType::RoundedRectangle, rounded.autoShapeType);
  EXPECT_NEAR((612 - 7) / 2.0, rounded.left, 0.01);
  EXPECT_EQ(RelH::Page, rounded.relH);
  EXPECT_EQ(RelV::Paragraph, rounded.relV);

  const Shape& line = *doc->shapes[3].shape;
  EXPECT_EQ(ShapeKind::Line, line.kind);
  EXPECT_NEAR(50, line.left, 0.01);
  EXPECT_NEAR(200, line.top, 0.01);
  EXPECT_NEAR(50, line.width, 0.01);
  EXPECT_TRUE(line.flipH);
  EXPECT_FALSE(line.flipV);
  EXPECT_EQ(0x00FF00u, line.line.color);
  EXPECT_EQ(DashStyle::LongDashDot, line.line.dash);

  const Shape& group = *doc->shapes[4].shape;
  ASSERT_EQ(2u, group.children.size());
  EXPECT_NEAR(50, group.children[0]->left, 0.01);
  EXPECT_NEAR(50, group.children[0]->width, 0.01);
  EXPECT_NEAR(25, group.children[0]->height, 0.01);
  EXPECT_EQ(ShapeKind::Picture, group.children[1]->kind);
  EXPECT_NEAR(10, group.children[1]->width, 0.01);
  ASSERT_TRUE(group.children[1]->image);

  const Paragraph& p = doc->paragraphs[0];
  EXPECT_EQ("after", p.text());
  ASSERT_EQ(1u, p.inlinePictures.size());
  EXPECT_EQ(1u, p.inlinePictures[0].afterRun);
  EXPECT_EQ("InlinePic", p.inlinePictures[0].name);
  EXPECT_NEAR(30, p.inlinePictures[0].width, 0.01);
  EXPECT_EQ(group.children[1]->image, p.inlinePictures[0].image);
}

TEST(OoxmlForeign, UnusualPrefixesAndPackageLayout) {
  // Another writer's prefixes, a main part elsewhere, and a media target with an escaped name.
  const std::string document =
      "<x:document xmlns:x=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
      "xmlns:d=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\" "
      "xmlns:g=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
      "xmlns:p=\"http://schemas.openxmlformats.org/drawingml/2006/picture\" "
      "xmlns:rel=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
      "<x:body><x:p><x:r><x:t>prefixed</x:t></x:r><x:r><x:drawing><d:inline><d:extent "
      "cx=\"127000\" cy=\"254000\"/><d:docPr id=\"3\" name=\"Pic\"/><g:graphic><g:graphicData>"
      "<p:pic><p:blipFill><g:blip rel:embed=\"R1\"/></p:blipFill></p:pic></g:graphicData>"
      "</g:graphic></d:inline></x:drawing></x:r></x:p></x:body></x:document>";
  const auto png = MakePng(1, 1, 0);
  const std::string bytes =
      Zip({{"[Content_Types].xml",
            "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
            "<Override PartName=\"/content/main.xml\" ContentType=\"application/vnd.openxmlformats-"
            "officedocument.wordprocessingml.document.main+xml\"/></Types>"},
           {"_rels/.rels",
            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
            "<Relationship Id=\"a\" Type=\"http://purl.oclc.org/ooxml/officeDocument/relationships/"
            "officeDocument\" Target=\"/content/main.xml\"/></Relationships>"},
           {"content/main.xml", document},
           {"content/_rels/main.xml.rels",
            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
            "<Relationship Id=\"R1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
            "relationships/image\" Target=\"../pics/my%20picture.PNG\"/></Relationships>"},
           {"pics/my picture.PNG", std::string(png.begin(), png.end())}});
  const auto doc = ReadBytes(bytes);
  EXPECT_EQ("prefixed", doc->paragraphs[0].text());
  ASSERT_EQ(1u, doc->paragraphs[0].inlinePictures.size());
  const InlinePicture& picture = doc->paragraphs[0].inlinePictures[0];
  EXPECT_EQ("Pic", picture.name);
  EXPECT_NEAR(20, picture.height, 0.01);
  ASSERT_TRUE(picture.image);
  EXPECT_EQ("image/png", picture.image->contentType);
}

// LibreOffice writes a frame without a background as white at alpha 0, in DrawingML and in the
// VML beside it. Nothing can be seen there: reading it as white hid whatever lay below, here and
// on every sheet cloned from such a glyph. Partly transparent paint is kept as opaque.
TEST(OoxmlForeign, PaintThatCannotBeSeenIsNone) {
  auto anchored = [](const std::string& name, const std::string& fill, const std::string& line) {
    return "<w:r><w:drawing>" +
           Anchor("relativeHeight=\"4\" behindDoc=\"0\"",
                  "<wp:positionH relativeFrom=\"page\"><wp:posOffset>0</wp:posOffset>"
                  "</wp:positionH><wp:positionV relativeFrom=\"page\"><wp:posOffset>0"
                  "</wp:posOffset></wp:positionV>",
                  "cx=\"1656080\" cy=\"284480\"", "id=\"4\" name=\"" + name + "\"",
                  "<wps:wsp><wps:cNvSpPr txBox=\"1\"/><wps:spPr><a:prstGeom prst=\"rect\"/>"
                  "<a:solidFill><a:srgbClr val=\"FFFFFF\">" +
                      fill +
                      "</a:srgbClr></a:solidFill><a:ln w=\"635\"><a:solidFill>"
                      "<a:srgbClr val=\"000000\">" +
                      line +
                      "</a:srgbClr></a:solidFill></a:ln></wps:spPr><wps:txbx><w:txbxContent>"
                      "<w:p><w:r><w:t>text</w:t></w:r></w:p></w:txbxContent></wps:txbx>"
                      "<wps:bodyPr/></wps:wsp>") +
           "</w:drawing></w:r>";
  };
  auto vml = [](const std::string& name, const std::string& fill, const std::string& stroke) {
    return "<w:r><w:pict><v:rect id=\"" + name +
           "\" fillcolor=\"#FFFFFF\" style=\"position:absolute;width:20pt;height:20pt\">"
           "<v:fill " +
           fill + "/><v:stroke " + stroke + "/></v:rect></w:pict></w:r>";
  };
  const auto doc = ReadBytes(
      PackageWithBody("<w:p>" + anchored("Frame", "<a:alpha val=\"0\"/>", "") +
                      anchored("Strict", "<a:alpha val=\"0%\"/>", "<a:alpha val=\"0\"/>") +
                      anchored("Half", "<a:alpha val=\"50000\"/>", "<a:alpha val=\"50000\"/>") +
                      vml("VmlFrame", "opacity=\"0f\"", "opacity=\"0\"") +
                      vml("VmlHalf", "opacity=\"32768f\"", "opacity=\"50%\"") + "</w:p>"));
  std::map<std::string, const Shape*> shapes;
  for (const auto& entry : doc->shapes) shapes[entry.shape->name] = entry.shape.get();
  ASSERT_EQ(shapes.size(), 5u);
  struct Expected {
    const char* name;
    bool fill, line;
  };
  for (const Expected& e : {Expected{"Frame", false, true}, Expected{"Strict", false, false},
                            Expected{"Half", true, true}, Expected{"VmlFrame", false, false},
                            Expected{"VmlHalf", true, true}}) {
    SCOPED_TRACE(e.name);
    EXPECT_EQ(shapes[e.name]->fill.visible, e.fill);
    EXPECT_EQ(shapes[e.name]->line.visible, e.line);
  }
  EXPECT_EQ(shapes["Frame"]->text[0].text(), "text");
}

// Report writers leave style ids out and name the style in the paragraph by its name; a style
// that shrinks empty cells to one point then makes its rows that low.
TEST(OoxmlForeign, StylesWithoutAnIdAreFoundByName) {
  auto parts = SpacingParts();
  parts["word/styles.xml"] =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
      "<w:styles xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
      "<w:style><w:name w:val=\"EmptyCell\"/><w:rPr><w:sz w:val=\"2\"/></w:rPr></w:style>"
      "<w:style w:type=\"paragraph\" w:styleId=\"Big\"><w:name w:val=\"EmptyCell\"/>"
      "<w:rPr><w:sz w:val=\"40\"/></w:rPr></w:style></w:styles>";
  const auto doc = ReadBytes(
      PackageWithBody("<w:p><w:pPr><w:pStyle w:val=\"EmptyCell\"/></w:pPr></w:p>"
                      "<w:p><w:pPr><w:pStyle w:val=\"Big\"/></w:pPr><w:r><w:t>x</w:t></w:r></w:p>",
                      parts));
  EXPECT_FLOAT_EQ(doc->paragraphs[0].markFormat.fontSize, 1.0f);
  // An id that is given still wins over a name that another style goes by.
  EXPECT_FLOAT_EQ(doc->paragraphs[1].runs[0].format.fontSize, 20.0f);
}

}  // namespace
