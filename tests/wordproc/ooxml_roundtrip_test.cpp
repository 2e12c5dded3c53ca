#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <set>

#include "ooxml_test_support.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace ooxml_test;

namespace {

// EMU and twips are whole numbers, so positions come back to within a rounding step.
constexpr float kTolerance = 0.01f;

std::unique_ptr<Shape> MakeShape(ShapeKind kind, const std::string& name, float left, float top,
                                 float width, float height) {
  auto shape = std::make_unique<Shape>();
  shape->kind = kind;
  shape->name = name;
  shape->left = left;
  shape->top = top;
  shape->width = width;
  shape->height = height;
  return shape;
}

Paragraph TextParagraph(Document& doc, const std::string& text, RunFormat format = {}) {
  Paragraph p;
  p.id = doc.newParagraphId();
  p.runs.push_back({text, format});
  return p;
}

void ExpectSameShape(const Shape& expected, const Shape& actual, const std::string& where) {
  SCOPED_TRACE(where + " / " + expected.name);
  EXPECT_EQ(expected.name, actual.name);
  EXPECT_EQ(expected.kind, actual.kind);
  EXPECT_EQ(expected.visible, actual.visible);
  EXPECT_NEAR(expected.left, actual.left, kTolerance);
  EXPECT_NEAR(expected.top, actual.top, kTolerance);
  EXPECT_NEAR(expected.width, actual.width, kTolerance);
  EXPECT_NEAR(expected.height, actual.height, kTolerance);
  const bool filled = expected.kind == ShapeKind::AutoShape || expected.kind == ShapeKind::TextBox;
  if (filled) {
    EXPECT_EQ(expected.autoShapeType, actual.autoShapeType);
    EXPECT_EQ(expected.fill.visible, actual.fill.visible);
    EXPECT_EQ(expected.fill.visible ? expected.fill.color : 0,
              actual.fill.visible ? actual.fill.color : 0);
  }
  EXPECT_EQ(expected.flipH, actual.flipH);
  EXPECT_EQ(expected.flipV, actual.flipV);
  if (expected.kind != ShapeKind::Group) {
    EXPECT_EQ(expected.line.visible, actual.line.visible);
    EXPECT_NEAR(expected.line.weight, actual.line.weight, kTolerance);
    EXPECT_EQ(expected.line.dash, actual.line.dash);
    EXPECT_EQ(expected.line.visible ? expected.line.color : 0,
              actual.line.visible ? actual.line.color : 0);
  }
  EXPECT_EQ(expected.image == nullptr, actual.image == nullptr);
  if (expected.image && actual.image) {
    EXPECT_EQ(expected.image->bytes, actual.image->bytes);
  }
  ASSERT_EQ(expected.text.size(), actual.text.size());
  for (std::size_t i = 0; i < expected.text.size(); ++i) {
    EXPECT_EQ(expected.text[i].text(), actual.text[i].text());
    EXPECT_EQ(expected.text[i].alignment, actual.text[i].alignment);
    ASSERT_EQ(expected.text[i].runs.size(), actual.text[i].runs.size());
    for (std::size_t r = 0; r < expected.text[i].runs.size(); ++r) {
      EXPECT_EQ(expected.text[i].runs[r].format, actual.text[i].runs[r].format);
    }
  }
  ASSERT_EQ(expected.children.size(), actual.children.size());
  for (std::size_t i = 0; i < expected.children.size(); ++i) {
    ExpectSameShape(*expected.children[i], *actual.children[i], where + " child");
  }
}

std::unique_ptr<Document> RoundTrip(const Document& doc, const std::string& name = "doc.docx") {
  TempDir dir;
  WritePackage(doc, dir / name);
  return ReadPackage(dir / name);
}

// One shape of every kind, with properties away from their defaults.
std::unique_ptr<Document> ShapeGallery() {
  auto doc = std::make_unique<Document>();
  doc->paragraphs.push_back(TextParagraph(*doc, "Второй абзац"));
  const std::uint64_t first = doc->paragraphs[0].id, second = doc->paragraphs[1].id;

  auto box = MakeShape(ShapeKind::TextBox, "Label Text 1", 56.7f, 28.35f, 180, 72);
  box->relH = RelH::Margin;
  box->relV = RelV::Paragraph;
  box->fill.color = 0xFFEECC;
  box->line = ooxml_test::PlainLine(true, 2.25f, DashStyle::Dash, 0x123456);
  RunFormat bold;
  bold.fontFamily = "Arial";
  bold.fontSize = 14.5f;
  bold.bold = true;
  bold.color = 0xC00000;
  RunFormat italic;
  italic.fontFamily = "DejaVu Sans";
  italic.italic = true;
  Paragraph line1;
  line1.id = doc->newParagraphId();
  line1.runs = {{"Иванов ", bold}, {"Пётр", italic}};
  line1.alignment = Alignment::Center;
  Paragraph line2;
  line2.id = doc->newParagraphId();
  line2.runs = {{"a < b & \"c\"", RunFormat{}}};
  box->text = {line1, line2};

  auto rectangle = MakeShape(ShapeKind::AutoShape, "Rectangle 2", 10, 20, 30, 40);
  rectangle->fill.visible = false;
  auto rounded = MakeShape(ShapeKind::AutoShape, "Скруглённый", 0, 0, 50, 25);
  rounded->autoShapeType = AutoShapeType::RoundedRectangle;
  rounded->line.visible = false;
  auto oval = MakeShape(ShapeKind::AutoShape, "Oval Hidden", 300, 400, 60, 60);
  oval->autoShapeType = AutoShapeType::Oval;
  oval->visible = false;
  auto line = MakeShape(ShapeKind::Line, "Line 5", 100, 500, 200, 0);
  line->flipH = true;
  line->line = ooxml_test::PlainLine(true, 1.5f, DashStyle::RoundDot, 0x0000FF);
  auto diagonal = MakeShape(ShapeKind::Line, "Line 6", 100, 500, 50, 80);
  diagonal->flipV = true;
  auto picture = MakeShape(ShapeKind::Picture, "Picture 7", 400, 50, 72, 54);
  picture->image = MakeImage();
  picture->line.visible = false;

  auto group = MakeShape(ShapeKind::Group, "Group 8", 200, 600, 150, 100);
  auto childBox = MakeShape(ShapeKind::TextBox, "GroupChild A", 0, 0, 100, 40);
  Paragraph childText;
  childText.id = doc->newParagraphId();
  childText.runs = {{"В группе", RunFormat{}}};
  childBox->text = {childText};
  auto childPicture = MakeShape(ShapeKind::Picture, "GroupChild B", 100, 50, 50, 50);
  childPicture->image = picture->image;  // one media part shared by two shapes
  childPicture->line.visible = false;
  auto inner = MakeShape(ShapeKind::Group, "Inner Group", 10, 45, 80, 50);
  auto innerLine = MakeShape(ShapeKind::Line, "Inner Line", 5, 5, 70, 40);
  innerLine->flipV = true;
  auto innerOval = MakeShape(ShapeKind::AutoShape, "Inner Oval", 0, 0, 20, 20);
  innerOval->autoShapeType = AutoShapeType::Oval;
  innerOval->visible = false;
  inner->children.push_back(std::move(innerLine));
  inner->children.push_back(std::move(innerOval));
  group->children.push_back(std::move(childBox));
  group->children.push_back(std::move(childPicture));
  group->children.push_back(std::move(inner));

  std::uint32_t id = 1;
  auto add = [&](std::unique_ptr<Shape> shape, std::uint64_t anchor) {
    auto number = [&](auto&& self, Shape& s) -> void {
      s.id = id++;
      for (auto& child : s.children) self(self, *child);
    };
    number(number, *shape);
    doc->shapes.push_back({std::move(shape), anchor});
  };
  add(std::move(box), first);
  add(std::move(rectangle), second);
  add(std::move(rounded), first);
  add(std::move(oval), second);
  add(std::move(line), first);
  add(std::move(diagonal), first);
  add(std::move(picture), second);
  add(std::move(group), first);
  doc->nextShapeId = id;
  return doc;
}

TEST(OoxmlRoundTrip, EveryShapeKindKeepsItsProperties) {
  const auto doc = ShapeGallery();
  const auto back = RoundTrip(*doc);
  ASSERT_EQ(doc->shapes.size(), back->shapes.size());
  ASSERT_EQ(2u, back->paragraphs.size());
  for (std::size_t i = 0; i < doc->shapes.size(); ++i) {
    ExpectSameShape(*doc->shapes[i].shape, *back->shapes[i].shape, "shape " + std::to_string(i));
    EXPECT_EQ(doc->shapes[i].shape->relH, back->shapes[i].shape->relH);
    EXPECT_EQ(doc->shapes[i].shape->relV, back->shapes[i].shape->relV);
    // Anchors follow the paragraphs, whose ids are new in the read document.
    const std::size_t anchorIndex = doc->shapes[i].anchorParagraph == doc->paragraphs[0].id ? 0 : 1;
    EXPECT_EQ(back->paragraphs[anchorIndex].id, back->shapes[i].anchorParagraph);
  }
  EXPECT_EQ("Второй абзац", back->paragraphs[1].text());
  // The two pictures share one image in the file as in the model.
  const Shape& group = *back->shapes[7].shape;
  EXPECT_EQ(back->shapes[6].shape->image, group.children[1]->image);
}

TEST(OoxmlRoundTrip, IdsStayUniqueAndNewIdsFollowTheHighest) {
  const auto back = RoundTrip(*ShapeGallery());
  std::set<std::uint32_t> ids;
  std::uint32_t highest = 0;
  auto visit = [&](auto&& self, const Shape& shape) -> void {
    EXPECT_TRUE(ids.insert(shape.id).second) << shape.name;
    highest = std::max(highest, shape.id);
    for (const auto& child : shape.children) self(self, *child);
  };
  for (const auto& anchored : back->shapes) visit(visit, *anchored.shape);
  EXPECT_GT(back->nextShapeId, highest);

  // Clashing and missing ids in the model are renumbered, never duplicated in the file.
  Document doc;
  for (int i = 0; i < 3; ++i) {
    auto shape = MakeShape(ShapeKind::AutoShape, "S" + std::to_string(i), 0, 0, 10, 10);
    shape->id = i == 2 ? 0 : 5;
    doc.shapes.push_back({std::move(shape), doc.paragraphs[0].id});
  }
  const auto renumbered = RoundTrip(doc);
  ASSERT_EQ(3u, renumbered->shapes.size());
  EXPECT_EQ(5u, renumbered->shapes[0].shape->id);
  EXPECT_NE(renumbered->shapes[1].shape->id, renumbered->shapes[2].shape->id);
  EXPECT_NE(5u, renumbered->shapes[1].shape->id);
  EXPECT_NE(0u, renumbered->shapes[2].shape->id);
}

TEST(OoxmlRoundTrip, EveryRelativeReferenceAndSignedOffset) {
  Document doc;
  for (int i = 0; i < 8; ++i) {
    auto shape = MakeShape(ShapeKind::AutoShape, "R" + std::to_string(i), -20.5f + 13 * i,
                           7.25f * i - 3, 10, 10);
    shape->relH = static_cast<RelH>(i);
    shape->relV = static_cast<RelV>(7 - i);
    doc.shapes.push_back({std::move(shape), doc.paragraphs[0].id});
  }
  const auto back = RoundTrip(doc);
  ASSERT_EQ(8u, back->shapes.size());
  for (int i = 0; i < 8; ++i) {
    const Shape& shape = *back->shapes[static_cast<std::size_t>(i)].shape;
    EXPECT_EQ(static_cast<RelH>(i), shape.relH);
    EXPECT_EQ(static_cast<RelV>(7 - i), shape.relV);
    EXPECT_NEAR(-20.5f + 13 * i, shape.left, kTolerance);
    EXPECT_NEAR(7.25f * i - 3, shape.top, kTolerance);
  }
}

TEST(OoxmlRoundTrip, EveryDashStyleWeightAndColour) {
  Document doc;
  for (int dash = 1; dash <= 12; ++dash) {
    auto shape = MakeShape(ShapeKind::Line, "L" + std::to_string(dash), 0, 10.f * dash, 100, 0);
    shape->line = ooxml_test::PlainLine(dash != 12, 0.25f * dash, static_cast<DashStyle>(dash),
                                        static_cast<Rgb>(0x010203 * dash));
    doc.shapes.push_back({std::move(shape), doc.paragraphs[0].id});
  }
  const auto back = RoundTrip(doc);
  ASSERT_EQ(12u, back->shapes.size());
  for (int dash = 1; dash <= 12; ++dash) {
    const Shape& shape = *back->shapes[static_cast<std::size_t>(dash - 1)].shape;
    EXPECT_EQ(static_cast<DashStyle>(dash), shape.line.dash) << dash;
    EXPECT_NEAR(0.25f * dash, shape.line.weight, kTolerance);
    EXPECT_EQ(dash != 12, shape.line.visible);
    if (dash != 12) {
      EXPECT_EQ(static_cast<Rgb>(0x010203 * dash), shape.line.color);
    }
  }
}

TEST(OoxmlRoundTrip, ParagraphTextFormatsAndInlinePictures) {
  Document doc;
  RunFormat big;
  big.fontFamily = "Liberation Serif";
  big.fontSize = 10.5f;
  big.bold = true;
  big.italic = true;
  big.color = 0x00FF80;
  Paragraph& p = doc.paragraphs[0];
  p.alignment = Alignment::Justify;
  p.spaceBefore = 6;
  p.spaceAfter = 12.5f;
  p.markFormat = big;
  // Spaces at the edges, tabs, breaks, markup characters and text outside the basic plane.
  p.runs = {{"  lead\ttab\vbreak ", RunFormat{}}, {"", big}, {"<&>\"' 😀", big}};
  InlinePicture picture;
  picture.afterRun = 1;  // after the first run; the empty run in between is not kept
  picture.id = 42;
  picture.name = "Inline Picture";
  picture.width = 36;
  picture.height = 18;
  picture.image = MakeImage(0xFF0000);
  p.inlinePictures.push_back(picture);
  InlinePicture last = picture;
  last.afterRun = 99;  // beyond the runs: at the end
  last.id = 43;
  last.name = "Last";
  p.inlinePictures.push_back(last);
  const ImagePtr image = picture.image;
  for (Alignment alignment : {Alignment::Left, Alignment::Center, Alignment::Right}) {
    Paragraph aligned = TextParagraph(doc, "x");
    aligned.alignment = alignment;
    doc.paragraphs.push_back(aligned);
  }

  const auto back = RoundTrip(doc);
  ASSERT_EQ(4u, back->paragraphs.size());
  const Paragraph& q = back->paragraphs[0];
  EXPECT_EQ(Alignment::Justify, q.alignment);
  EXPECT_NEAR(6, q.spaceBefore, kTolerance);
  EXPECT_NEAR(12.5f, q.spaceAfter, kTolerance);
  EXPECT_EQ(big, q.markFormat);
  ASSERT_EQ(2u, q.runs.size());
  EXPECT_EQ("  lead\ttab\vbreak ", q.runs[0].text);
  EXPECT_EQ(RunFormat{}, q.runs[0].format);
  EXPECT_EQ("<&>\"' 😀", q.runs[1].text);
  EXPECT_EQ(big, q.runs[1].format);
  EXPECT_EQ(doc.paragraphs[0].length(), q.length());
  ASSERT_EQ(2u, q.inlinePictures.size());
  EXPECT_EQ(1u, q.inlinePictures[0].afterRun);
  EXPECT_EQ("Inline Picture", q.inlinePictures[0].name);
  EXPECT_EQ(42u, q.inlinePictures[0].id);
  EXPECT_NEAR(36, q.inlinePictures[0].width, kTolerance);
  EXPECT_NEAR(18, q.inlinePictures[0].height, kTolerance);
  ASSERT_TRUE(q.inlinePictures[0].image);
  EXPECT_EQ(image->bytes, q.inlinePictures[0].image->bytes);
  EXPECT_EQ(2u, q.inlinePictures[1].afterRun);
  EXPECT_EQ(Alignment::Left, back->paragraphs[1].alignment);
  EXPECT_EQ(Alignment::Center, back->paragraphs[2].alignment);
  EXPECT_EQ(Alignment::Right, back->paragraphs[3].alignment);
}

TEST(OoxmlRoundTrip, PageSetupInPointsAndAnEmptyDocument) {
  Document doc;
  doc.pageSetup = {792, 612, 18, 36.5f, 0, 72};  // Letter landscape, no left margin
  const auto back = RoundTrip(doc);
  EXPECT_NEAR(792, back->pageSetup.pageWidth, kTolerance);
  EXPECT_NEAR(612, back->pageSetup.pageHeight, kTolerance);
  EXPECT_NEAR(18, back->pageSetup.topMargin, kTolerance);
  EXPECT_NEAR(36.5f, back->pageSetup.bottomMargin, kTolerance);
  EXPECT_NEAR(0, back->pageSetup.leftMargin, kTolerance);
  EXPECT_NEAR(72, back->pageSetup.rightMargin, kTolerance);
  ASSERT_EQ(1u, back->paragraphs.size());
  EXPECT_EQ(0u, back->paragraphs[0].length());
  EXPECT_TRUE(back->shapes.empty());
  EXPECT_FALSE(back->isTemplate);
}

TEST(OoxmlRoundTrip, ContentTypeFollowsTheExtension) {
  TempDir dir;
  Document doc;
  doc.paragraphs[0].runs.push_back({"Шаблон", RunFormat{}});
  for (const std::string name : {"a.dotx", "b.DOT", "c.docx", "d.doc", "e.dotm.docx"}) {
    SCOPED_TRACE(name);
    const bool isTemplate = name == "a.dotx" || name == "b.DOT";
    WritePackage(doc, dir / name);
    EXPECT_TRUE(LooksLikePackage(dir / name));
    const std::string bytes = ReadFile(dir / name);
    auto zip = package::ZipReader::OpenMemory(bytes.data(), bytes.size(), name, {});
    const std::string types = zip->Read("[Content_Types].xml");
    EXPECT_EQ(isTemplate, types.find("wordprocessingml.template.main+xml") != std::string::npos);
    EXPECT_EQ(!isTemplate, types.find("wordprocessingml.document.main+xml") != std::string::npos);
    const auto back = LoadDocumentFile(dir / name);  // .doc and .dot holding OOXML open directly
    EXPECT_EQ(isTemplate, back->isTemplate);
    EXPECT_EQ("Шаблон", back->paragraphs[0].text());
  }
}

TEST(OoxmlRoundTrip, ShapesOfAMissingAnchorAndAbsurdModelValuesStayReadable) {
  Document doc;
  auto lost = MakeShape(ShapeKind::AutoShape, "Lost", std::numeric_limits<float>::quiet_NaN(),
                        1e30f, -5, std::numeric_limits<float>::infinity());
  lost->line.weight = -1;
  lost->name = std::string("Bad\x01name\xFF");
  doc.shapes.push_back({std::move(lost), 12345});
  doc.paragraphs[0].runs.push_back({std::string("ctl\x02text"), RunFormat{}});
  const auto back = RoundTrip(doc);
  ASSERT_EQ(1u, back->shapes.size());
  const Shape& shape = *back->shapes[0].shape;
  EXPECT_EQ(back->paragraphs[0].id, back->shapes[0].anchorParagraph);
  EXPECT_EQ(0, shape.left);
  EXPECT_NEAR(28346, shape.top, 1);
  EXPECT_EQ(0, shape.width);
  EXPECT_NEAR(28346, shape.height, 1);
  EXPECT_EQ(0, shape.line.weight);
  EXPECT_EQ("Badname\xEF\xBF\xBD", shape.name);
  EXPECT_EQ("ctltext", back->paragraphs[0].text());
}

TEST(OoxmlSave, FailedSavesLeaveTheOldFileAndNoLitter) {
  TempDir dir;
  Document doc;
  doc.paragraphs[0].runs.push_back({"первый", RunFormat{}});
  const std::string path = dir / "keep.docx";
  WritePackage(doc, path);
  ::chmod(path.c_str(), 0640);
  doc.paragraphs[0].runs[0].text = "второй";
  WritePackage(doc, path);
  struct stat st {};
  ASSERT_EQ(0, ::stat(path.c_str(), &st));
  EXPECT_EQ(0640u, st.st_mode & 0777) << "a replaced file keeps its permissions";
  const std::string saved = ReadFile(path);

  ::chmod(path.c_str(), 0440);
  doc.paragraphs[0].runs[0].text = "третий";
  try {
    WritePackage(doc, path);
    ADD_FAILURE() << "a read-only file was overwritten";
  } catch (const DocumentError& error) {
    EXPECT_NE(std::string(error.what()).find("Не удалось сохранить документ \"" + path + "\""),
              std::string::npos);
  }
  EXPECT_EQ(saved, ReadFile(path));
  EXPECT_THROW(WritePackage(doc, dir / "missing/folder/x.docx"), DocumentError);
  EXPECT_THROW(WritePackage(doc, dir.path()), DocumentError);
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(1u, files) << "no temporary file may stay behind";
  EXPECT_EQ("второй", ReadPackage(path)->paragraphs[0].text());
}

TEST(OoxmlSave, SavingThroughALinkReplacesTheTarget) {
  TempDir dir;
  Document doc;
  WritePackage(doc, dir / "real.docx");
  std::filesystem::create_symlink(dir / "real.docx", dir / "link.docx");
  doc.paragraphs[0].runs.push_back({"через ссылку", RunFormat{}});
  WritePackage(doc, dir / "link.docx");
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.docx"));
  EXPECT_EQ("через ссылку", ReadPackage(dir / "real.docx")->paragraphs[0].text());
}

TEST(OoxmlModel, LengthCountsUtf16UnitsAndClonesAreDeep) {
  Document doc;
  ASSERT_EQ(1u, doc.paragraphs.size());
  EXPECT_NE(0u, doc.paragraphs[0].id);
  EXPECT_NE(doc.paragraphs[0].id, doc.newParagraphId());
  doc.paragraphs[0].runs = {{"Аб", RunFormat{}}, {"c😀€", RunFormat{}}};
  EXPECT_EQ("Абc😀€", doc.paragraphs[0].text());
  EXPECT_EQ(6u, doc.paragraphs[0].length());

  auto group = MakeShape(ShapeKind::Group, "G", 0, 0, 10, 10);
  group->children.push_back(MakeShape(ShapeKind::AutoShape, "Child", 1, 1, 2, 2));
  group->children[0]->children.push_back(MakeShape(ShapeKind::Line, "Grandchild", 0, 0, 1, 1));
  doc.shapes.push_back({std::move(group), doc.paragraphs[0].id});
  auto copy = doc.clone();
  copy->shapes[0].shape->children[0]->children[0]->name = "Changed";
  copy->paragraphs[0].runs[0].text = "X";
  EXPECT_EQ("Grandchild", doc.shapes[0].shape->children[0]->children[0]->name);
  EXPECT_EQ("Аб", doc.paragraphs[0].runs[0].text);
  EXPECT_EQ(doc.nextParagraphId, copy->nextParagraphId);
  EXPECT_EQ(doc.shapes[0].anchorParagraph, copy->shapes[0].anchorParagraph);
}

}  // namespace

namespace {

std::string SpacedBody() {
  return "<w:p><w:r><w:t>a</w:t></w:r></w:p>"
         "<w:p><w:pPr><w:pStyle w:val=\"Tight\"/></w:pPr><w:r><w:t>b</w:t></w:r></w:p>"
         "<w:p><w:pPr><w:pStyle w:val=\"Tight\"/><w:spacing w:line=\"400\" "
         "w:lineRule=\"atLeast\"/></w:pPr><w:r><w:t>c</w:t></w:r></w:p>";
}

}  // namespace

TEST(OoxmlRoundTrip, SectionsKeepTheirPagesAndStarts) {
  Document doc;
  doc.paragraphs.resize(3);
  for (auto& p : doc.paragraphs) p.id = doc.newParagraphId();
  PageSetup landscape;
  std::swap(landscape.pageWidth, landscape.pageHeight);
  doc.paragraphs[0].sectionEnd = Section{landscape, SectionStart::EvenPage, {}};
  doc.paragraphs[1].sectionEnd = Section{PageSetup{}, SectionStart::Continuous, {}};
  doc.lastSectionStart = SectionStart::OddPage;
  const auto bytes = WritePackageToMemory(doc, false);
  const auto again =
      ReadBytes(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  ASSERT_EQ(again->paragraphs.size(), 3u);
  ASSERT_TRUE(again->paragraphs[0].sectionEnd);
  EXPECT_EQ(again->paragraphs[0].sectionEnd->start, SectionStart::EvenPage);
  EXPECT_NEAR(again->paragraphs[0].sectionEnd->setup.pageWidth, landscape.pageWidth, 0.05);
  ASSERT_TRUE(again->paragraphs[1].sectionEnd);
  EXPECT_EQ(again->paragraphs[1].sectionEnd->start, SectionStart::Continuous);
  EXPECT_FALSE(again->paragraphs[2].sectionEnd) << "the last section is the document's";
  EXPECT_EQ(again->lastSectionStart, SectionStart::OddPage);
}

// Line rules come from the paragraph, its style chain and the document defaults, and are
// written back on the paragraphs themselves.
TEST(OoxmlRoundTrip, LineSpacingFromParagraphStyleAndDefaults) {
  const auto doc = ReadBytes(PackageWithBody(SpacedBody(), SpacingParts()));
  ASSERT_EQ(doc->paragraphs.size(), 3u);
  auto expect = [](const Paragraph& p, LineRule rule, float line, float after) {
    EXPECT_EQ(p.lineRule, rule) << p.text();
    EXPECT_FLOAT_EQ(p.line, line) << p.text();
    EXPECT_FLOAT_EQ(p.spaceAfter, after) << p.text();
  };
  expect(doc->paragraphs[0], LineRule::Auto, 1.5f, 6);
  expect(doc->paragraphs[1], LineRule::Exact, 12, 6);
  expect(doc->paragraphs[2], LineRule::AtLeast, 20, 6);

  const auto bytes = WritePackageToMemory(*doc, false);
  const auto again =
      ReadBytes(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(again->paragraphs[i], doc->paragraphs[i]) << i;
}
