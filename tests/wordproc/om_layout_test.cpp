// Pagination and story editing on documents built in memory.
#include <gtest/gtest.h>

#include "om_support.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Editor.h"
#include "wordproc/core/Layout.h"

using namespace wordproc;

namespace {

Paragraph Text(Document& doc, const std::string& text, float size = 11) {
  Paragraph p;
  p.id = doc.newParagraphId();
  if (!text.empty()) p.runs.push_back(Run{text, RunFormat{}});
  if (!p.runs.empty()) p.runs.back().format.fontSize = size;
  p.markFormat.fontSize = size;
  return p;
}

// 100 x 100 points of text area: an 11 pt line is about 13.4 points, so 7 fit on a page.
Document SmallPages(int paragraphs) {
  Document doc;
  doc.pageSetup = {200, 200, 50, 50, 50, 50};
  doc.paragraphs.clear();
  for (int k = 0; k < paragraphs; ++k) doc.paragraphs.push_back(Text(doc, ""));
  return doc;
}

std::uint32_t AddRect(Document& doc, std::size_t anchorIndex) {
  auto shape = std::make_unique<Shape>();
  shape->id = doc.newShapeId();
  shape->width = shape->height = 10;
  std::uint32_t id = shape->id;
  doc.shapes.push_back({std::move(shape), doc.paragraphs[anchorIndex].id});
  return id;
}

double Single(float size) {
  RunFormat format;
  format.fontSize = size;
  return FontMeasurer().singleLineHeight(format);
}

TEST(OmLayout, ParagraphHeightFollowsLargestFontLinesRuleAndSpacing) {
  Document doc;
  // Without fonts at hand, Calibri's line spacing as its font file gives it.
  Paragraph empty = Text(doc, "", 20);
  EXPECT_FLOAT_EQ(ParagraphHeight(empty, 400, EstimatedText()), 20 * 2500.0f / 2048);

  Paragraph mixed = Text(doc, "ab", 10);
  mixed.runs.push_back(wordproc::Run{"c", RunFormat{}});
  mixed.runs.back().format.fontSize = 30;
  mixed.spaceBefore = 6;
  mixed.spaceAfter = 4;
  EXPECT_FLOAT_EQ(ParagraphHeight(mixed, 400, EstimatedText()), 30 * 2500.0f / 2048 + 10);

  // The line rules: a multiple, exact points, and points as a floor.
  Paragraph ruled = Text(doc, "x");
  const float single = 11 * 2500.0f / 2048;
  ruled.line = 1.5f;
  EXPECT_FLOAT_EQ(ParagraphHeight(ruled, 400, EstimatedText()), 1.5f * single);
  ruled.lineRule = LineRule::Exact;
  ruled.line = 9;
  EXPECT_FLOAT_EQ(ParagraphHeight(ruled, 400, EstimatedText()), 9);
  ruled.lineRule = LineRule::AtLeast;
  EXPECT_FLOAT_EQ(ParagraphHeight(ruled, 400, EstimatedText()), single);
  ruled.line = 30;
  EXPECT_FLOAT_EQ(ParagraphHeight(ruled, 400, EstimatedText()), 30);

  // With fonts at hand, the font file's metrics (Calibri is set in its metric twin Carlito) and
  // the lines the text really wraps into when drawn.
  om_test::EnsureGui();
  EXPECT_NEAR(Single(11), 13.43, 0.02);
  Paragraph wrapped = Text(doc, std::string(200, 'x') + " " + std::string(200, 'x'));
  int lines = wordproc::CountLines(wrapped, 400);
  EXPECT_GE(lines, 3);
  EXPECT_FLOAT_EQ(ParagraphHeight(wrapped, 400, FontMeasurer()), float(lines * Single(11)));
  Paragraph cyrillic = Text(doc, "ЖЖЖЖЖЖЖЖЖЖ");
  EXPECT_FLOAT_EQ(ParagraphHeight(cyrillic, 40, FontMeasurer()),
                  float(wordproc::CountLines(cyrillic, 40) * Single(11)));
}

// LibreOffice names fonts with their stand-ins, "Liberation Serif;Times New Roman", in the files
// it makes of binary ones. Taken as one unknown name, such text was set in the fallback font with
// other line heights and other line breaks than LibreOffice's.
TEST(OmLayout, FontNamesListingStandInsAreSetInTheFirstInstalled) {
  auto format = [](const std::string& family, float size) {
    RunFormat f;
    f.fontFamily = family;
    f.fontSize = size;
    return f;
  };
  EXPECT_EQ(FontFamilies("Liberation Serif;Times New Roman"),
            (std::vector<std::string>{"Liberation Serif", "Times New Roman"}));
  EXPECT_EQ(FontFamilies("Carlito"), std::vector<std::string>{"Carlito"});
  EXPECT_DOUBLE_EQ(EstimatedLineSpacing("Carlito;Calibri"), EstimatedLineSpacing("Carlito"));

  om_test::EnsureGui();
  const auto& fonts = FontMeasurer();
  EXPECT_DOUBLE_EQ(fonts.singleLineHeight(format("No Such Font;Carlito", 12)),
                   fonts.singleLineHeight(format("Carlito", 12)));
  EXPECT_NE(fonts.singleLineHeight(format("No Such Font;Carlito", 12)),
            fonts.singleLineHeight(format("No Such Font", 12)));
  Document doc;
  Paragraph listed = Text(doc, std::string(30, 'W') + " " + std::string(30, 'i'));
  listed.runs[0].format.fontFamily = "No Such Font;Liberation Mono";
  Paragraph mono = listed;
  mono.runs[0].format.fontFamily = "Liberation Mono";
  EXPECT_EQ(CountLines(listed, 200), CountLines(mono, 200));
}

TEST(OmLayout, ParagraphsOfOneLineFillPages) {
  Document doc = SmallPages(15);
  Layout layout(doc, FontMeasurer());
  EXPECT_EQ(layout.pageCount(), 3);
  EXPECT_EQ(layout.pageOfParagraph(6), 1);
  EXPECT_EQ(layout.pageOfParagraph(7), 2);
  EXPECT_EQ(layout.firstParagraphOfPage(2), 7u);
  EXPECT_EQ(layout.firstParagraphOfPage(99), 14u);
  EXPECT_FLOAT_EQ(layout.paragraphTop(7), 50);
  EXPECT_NEAR(layout.paragraphTop(8), 50 + Single(11), 1e-4);

  // A paragraph taller than the text area stands alone on its page.
  doc.paragraphs[3] = Text(doc, "", 200);
  layout.invalidateFrom(3);
  EXPECT_EQ(layout.pageOfParagraph(2), 1);
  EXPECT_EQ(layout.pageOfParagraph(3), 2);
  EXPECT_EQ(layout.pageOfParagraph(4), 3);
  EXPECT_EQ(layout.firstParagraphOfPage(3), 4u);
}

// A paragraph that does not fit goes on at its lines on the next page: two lines at least at the
// foot of a page, and with widow control no last line alone at the top of the next.
TEST(OmLayout, LongParagraphsDivideBetweenPagesAtTheirLines) {
  // Seven 11-point lines fit on a page; the text takes six.
  const std::string six(100, 'x');
  auto divided = [&](int above, bool widowControl = true, bool keepLines = false) {
    Document doc = SmallPages(above + 2);
    doc.paragraphs[std::size_t(above)] = Text(doc, six);
    doc.paragraphs[std::size_t(above)].widowControl = widowControl;
    doc.paragraphs[std::size_t(above)].keepLines = keepLines;
    Layout layout(doc, EstimatedText());
    EXPECT_EQ(EstimatedText().lineCount(doc.paragraphs[std::size_t(above)], 100), 6);
    std::vector<int> lines;
    for (const LinePiece& piece : layout.piecesOf(std::size_t(above))) lines.push_back(piece.lines);
    return std::make_pair(lines, layout.paragraphTop(std::size_t(above) + 1));
  };
  const double line = 11 * 2500.0 / 2048;
  auto [two, after] = divided(5);  // room for two lines
  EXPECT_EQ(two, (std::vector<int>{2, 4}));
  EXPECT_NEAR(after, 50 + 4 * line, 1e-3);
  EXPECT_EQ(divided(2).first, (std::vector<int>{4, 2}));  // five would leave a widow
  EXPECT_EQ(divided(2, false).first, (std::vector<int>{5, 1}));
  EXPECT_TRUE(divided(6).first.empty());  // one line would be an orphan: all on the next page
  EXPECT_NEAR(divided(6).second, 50 + 6 * line, 1e-3);
  EXPECT_TRUE(divided(2, true, true).first.empty());  // kept together

  // Longer than a page: on as many pages as it takes.
  Document doc = SmallPages(2);
  doc.paragraphs[0] = Text(doc, std::string(330, 'x'));  // 19 lines
  Layout layout(doc, EstimatedText());
  std::vector<int> pages;
  for (const LinePiece& piece : layout.piecesOf(0)) pages.push_back(piece.lines);
  EXPECT_EQ(pages, (std::vector<int>{7, 7, 5}));
  EXPECT_EQ(layout.lastPageOfParagraph(0), 3);
  EXPECT_EQ(layout.firstParagraphOfPage(3), 0u);
  EXPECT_EQ(layout.pageOfParagraph(1), 3);
}

// A paragraph kept with the next goes on to the next page with it, unless it begins its page.
TEST(OmLayout, KeptWithNextGoesOnWithTheNextParagraph) {
  Document doc = SmallPages(9);  // seven to a page
  doc.paragraphs[5].keepNext = doc.paragraphs[6].keepNext = true;
  Layout layout(doc, EstimatedText());
  EXPECT_EQ(layout.pageOfParagraph(4), 1);
  EXPECT_EQ(layout.pageOfParagraph(5), 2);
  EXPECT_EQ(layout.firstParagraphOfPage(2), 5u);
  EXPECT_FLOAT_EQ(layout.paragraphTop(5), 50);
  EXPECT_EQ(layout.pageOfParagraph(7), 2);

  for (auto& p : doc.paragraphs) p.keepNext = true;  // a chain from the page's top stays
  layout.invalidateFrom(0);
  EXPECT_EQ(layout.pageOfParagraph(6), 1);
  EXPECT_EQ(layout.pageOfParagraph(7), 2);
}

// A page break carries the rest of its paragraph to a new page; "page break before" starts
// the paragraph on one.
TEST(OmLayout, PageBreaksStartNewPages) {
  Document doc = SmallPages(4);
  doc.paragraphs[1] = Text(doc, "до\fпосле\fещё");
  doc.paragraphs[3].pageBreakBefore = true;
  Layout layout(doc, EstimatedText());
  EXPECT_EQ(layout.pageOfParagraph(1), 1);
  EXPECT_EQ(layout.lastPageOfParagraph(1), 3);
  EXPECT_EQ(layout.pageOfParagraph(2), 3) << "after the paragraph's last part";
  EXPECT_NEAR(layout.paragraphTop(2), 50 + EstimatedText().singleLineHeight(RunFormat{}), 1e-3);
  EXPECT_EQ(layout.pageOfParagraph(3), 4);
  EXPECT_FLOAT_EQ(layout.paragraphTop(3), 50);
  EXPECT_EQ(layout.pageCount(), 4);
  EXPECT_EQ(layout.firstParagraphOfPage(2), 1u);
  EXPECT_EQ(layout.firstParagraphOfPage(3), 1u);
  EXPECT_EQ(layout.firstParagraphOfPage(4), 3u);

  const auto parts = PageBreakParts(doc.paragraphs[1]);
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[1].text(), "после");
  EXPECT_TRUE(PageBreakParts(doc.paragraphs[0]).empty());

  // Edited away, the break takes its pages along.
  doc.paragraphs[1] = Text(doc, "до после ещё");
  layout.invalidateFrom(1);
  EXPECT_EQ(layout.pageCount(), 2);
}

// Each section has its pages' set-up; a section starts on a new page, on the next odd one
// (leaving a blank page), or continues the page when its paper is the same.
TEST(OmLayout, SectionsStartAsTheySayOnPagesOfTheirOwn) {
  Document doc = SmallPages(6);
  const PageSetup portrait = doc.pageSetup;
  PageSetup landscape = portrait;
  landscape.pageWidth = 300;
  landscape.leftMargin = 20;
  doc.paragraphs[1].sectionEnd = Section{portrait, SectionStart::NextPage, {}};
  doc.paragraphs[3].sectionEnd = Section{landscape, SectionStart::OddPage, {}};
  doc.pageSetup = landscape;
  doc.lastSectionStart = SectionStart::Continuous;
  Layout layout(doc, EstimatedText());
  EXPECT_EQ(layout.pageOfParagraph(1), 1);
  EXPECT_EQ(layout.pageOfParagraph(2), 3) << "page 2 is left blank for an odd page";
  EXPECT_EQ(layout.pageOfParagraph(4), 3) << "a continuous section shares the page";
  EXPECT_EQ(layout.pageCount(), 3);
  EXPECT_EQ(layout.pageSetupOfPage(1), portrait);
  EXPECT_EQ(layout.pageSetupOfPage(2), landscape);
  EXPECT_EQ(layout.pageSetupOfPage(3), landscape);
  EXPECT_EQ(layout.pageSetupOfParagraph(0), portrait);
  EXPECT_EQ(layout.firstParagraphOfPage(3), 2u);

  // Paper of another size never shares a page, continuous or not.
  doc.pageSetup = portrait;
  layout.invalidateFrom(0);
  EXPECT_EQ(layout.pageOfParagraph(4), 4);
  EXPECT_EQ(layout.pageSetupOfPage(4), portrait);
}

// A section's set-up changed through the editor lays out as a fresh layout of the changed
// document would, the pages before it kept and continuous sections after it placed anew.
TEST(OmLayout, SectionSetUpEditsLayOutAsAFreshLayout) {
  Document doc = SmallPages(18);
  const PageSetup small = doc.pageSetup;
  PageSetup wide = small;
  wide.pageWidth = 320;
  doc.paragraphs[5].sectionEnd = Section{small, SectionStart::NextPage, {}};
  doc.paragraphs[11].sectionEnd = Section{small, SectionStart::Continuous, {}};
  doc.lastSectionStart = SectionStart::Continuous;
  Layout layout(doc, FontMeasurer());
  Editor editor(doc, layout);
  EXPECT_EQ(editor.sectionsOf(3, 7), (std::vector<std::size_t>{5, 11}));
  EXPECT_EQ(editor.sectionStart(18), 12u);
  EXPECT_EQ(editor.sectionById(editor.sectionId(18)), 18u);
  EXPECT_EQ(editor.sectionById(doc.paragraphs[4].id), Editor::npos) << "ends no section";

  auto same = [&](const char* step) {
    Layout fresh(doc, FontMeasurer());
    ASSERT_EQ(layout.pageCount(), fresh.pageCount()) << step;
    for (int page = 1; page <= fresh.pageCount(); ++page)
      EXPECT_EQ(layout.pageSetupOfPage(page), fresh.pageSetupOfPage(page)) << step << page;
    for (std::size_t k = 0; k < doc.paragraphs.size(); ++k) {
      EXPECT_EQ(layout.pageOfParagraph(k), fresh.pageOfParagraph(k)) << step << k;
      EXPECT_FLOAT_EQ(layout.paragraphTop(k), fresh.paragraphTop(k)) << step << k;
    }
  };
  const int before = layout.pageCount();
  EXPECT_EQ(layout.pageOfParagraph(6), layout.pageOfParagraph(5)) << "continuous, same paper";
  editor.setSectionPageSetup(11, wide);  // the middle section no longer shares its page
  EXPECT_EQ(doc.pageSetup, small);
  same("wide middle ");
  EXPECT_EQ(layout.pageOfParagraph(6), layout.pageOfParagraph(5) + 1);
  EXPECT_EQ(layout.pageOfParagraph(12), layout.pageOfParagraph(11) + 1);
  editor.setPageSetup(wide);  // the last section: the document's own
  EXPECT_EQ(doc.pageSetup, wide);
  same("wide last ");
  editor.setSectionPageSetup(11, small);
  editor.setPageSetup(small);
  same("back ");
  EXPECT_EQ(layout.pageCount(), before);
}

// Margins that shapes are placed from are those of the page's own section.
TEST(OmLayout, ShapesMeasureFromTheirSectionsMargins) {
  Document doc = SmallPages(6);
  PageSetup first = doc.pageSetup;
  first.leftMargin = 30;
  first.topMargin = 20;
  first.rightMargin = 10;
  doc.paragraphs[2].sectionEnd = Section{first, SectionStart::NextPage, {}};
  AddRect(doc, 1);
  AddRect(doc, 4);
  for (auto& anchored : doc.shapes) {
    anchored.shape->relH = RelH::Margin;
    anchored.shape->relV = RelV::Margin;
    anchored.shape->left = anchored.shape->top = 5;
  }
  Layout layout(doc, FontMeasurer());
  EXPECT_FLOAT_EQ(layout.shapeRectOnPage(doc.shapes[0]).x, 35);
  EXPECT_FLOAT_EQ(layout.shapeRectOnPage(doc.shapes[0]).y, 25);
  EXPECT_FLOAT_EQ(layout.horizontalOrigin(RelH::RightMargin, doc.shapes[0]), 190);
  EXPECT_FLOAT_EQ(layout.shapeRectOnPage(doc.shapes[1]).x, 55);
}

TEST(OmLayout, IncrementalLayoutMatchesAFreshOne) {
  Document doc = SmallPages(40);
  Layout incremental(doc, FontMeasurer());
  incremental.pageCount();
  doc.paragraphs.erase(doc.paragraphs.begin() + 10, doc.paragraphs.begin() + 13);
  doc.paragraphs.insert(doc.paragraphs.begin() + 20, Text(doc, std::string(300, 'y')));
  doc.pageSetup.topMargin = 20;
  incremental.invalidateFrom(0);
  doc.paragraphs.push_back(Text(doc, "tail", 40));
  incremental.invalidateFrom(doc.paragraphs.size() - 1);

  Layout fresh(doc, FontMeasurer());
  ASSERT_EQ(incremental.pageCount(), fresh.pageCount());
  for (std::size_t k = 0; k < doc.paragraphs.size(); ++k) {
    EXPECT_EQ(incremental.pageOfParagraph(k), fresh.pageOfParagraph(k)) << k;
    EXPECT_EQ(incremental.paragraphStart(k), fresh.paragraphStart(k)) << k;
    EXPECT_FLOAT_EQ(incremental.paragraphTop(k), fresh.paragraphTop(k)) << k;
  }
}

TEST(OmLayout, PositionsCountUtf16UnitsAndMarks) {
  Document doc = SmallPages(0);
  doc.paragraphs.push_back(Text(doc, "ab"));
  doc.paragraphs.push_back(Text(doc, "Жё😀"));  // the emoji takes two units
  doc.paragraphs.push_back(Text(doc, ""));
  Layout layout(doc, FontMeasurer());
  EXPECT_EQ(layout.paragraphStart(1), 3);
  EXPECT_EQ(layout.paragraphStart(2), 8);
  EXPECT_EQ(layout.storyLength(), 9);
  EXPECT_EQ(layout.paragraphAt(2), 0u);  // the first mark
  EXPECT_EQ(layout.paragraphAt(3), 1u);
  EXPECT_EQ(layout.paragraphAt(1000), 2u);
  std::uint64_t gone = doc.paragraphs[1].id;
  doc.paragraphs.erase(doc.paragraphs.begin() + 1);
  layout.invalidateFrom(1);
  EXPECT_EQ(layout.paragraphIndexOf(gone), Layout::npos);
  EXPECT_EQ(layout.paragraphIndexOf(doc.paragraphs[1].id), 1u);
}

TEST(OmLayout, ShapeOriginsFollowTheirReferences) {
  Document doc = SmallPages(10);
  doc.pageSetup.leftMargin = 30;
  doc.pageSetup.rightMargin = 20;
  AddRect(doc, 8);
  Layout layout(doc, FontMeasurer());
  const AnchoredShape& anchored = doc.shapes[0];
  EXPECT_EQ(layout.pageOfShape(anchored), 2);
  EXPECT_FLOAT_EQ(layout.horizontalOrigin(RelH::Page, anchored), 0);
  EXPECT_FLOAT_EQ(layout.horizontalOrigin(RelH::Margin, anchored), 30);
  EXPECT_FLOAT_EQ(layout.horizontalOrigin(RelH::RightMargin, anchored), 180);
  EXPECT_FLOAT_EQ(layout.verticalOrigin(RelV::Margin, anchored), 50);
  EXPECT_NEAR(layout.verticalOrigin(RelV::Paragraph, anchored), 50 + Single(11), 1e-4);
  doc.shapes[0].shape->relH = RelH::Margin;
  doc.shapes[0].shape->left = 5;
  EXPECT_FLOAT_EQ(layout.shapeRectOnPage(anchored).x, 35);
}

class OmEditor : public ::testing::Test {
 protected:
  OmEditor() : layout_(doc_, FontMeasurer()), editor_(doc_, layout_) {
    doc_.paragraphs.clear();
    for (const char* text : {"alpha", "beta", "gamma", ""})
      doc_.paragraphs.push_back(Text(doc_, text));
  }
  std::string all() { return editor_.text(0, editor_.storyLength()); }

  Document doc_;
  Layout layout_;
  Editor editor_;
};

TEST_F(OmEditor, EraseAcrossParagraphsMergesAndKeepsPartlyDeletedAnchors) {
  AddRect(doc_, 0);
  std::uint32_t inGamma = AddRect(doc_, 2);
  std::uint32_t inBeta = AddRect(doc_, 1);
  // "al|pha¶beta¶ga|mma": beta goes whole and takes its shape along, gamma's moves to alpha.
  EXPECT_EQ(editor_.erase(2, 13), 11);
  EXPECT_EQ(all(), "almma\r\r");
  EXPECT_EQ(doc_.shapes.size(), 2u);
  EXPECT_EQ(editor_.findShape(inBeta), nullptr);
  EXPECT_EQ(editor_.anchoredShape(inGamma)->anchorParagraph, doc_.paragraphs[0].id);
}

TEST_F(OmEditor, DeletingEverythingLeavesTheFinalMarkAndNoShapes) {
  AddRect(doc_, 3);
  AddRect(doc_, 1);
  editor_.erase(0, editor_.storyLength());
  EXPECT_EQ(doc_.paragraphs.size(), 1u);
  EXPECT_EQ(editor_.storyLength(), 1);
  EXPECT_TRUE(doc_.shapes.empty());
}

TEST_F(OmEditor, LiveRangesFollowEdits) {
  auto beta = editor_.track(6, 11);
  auto atGamma = editor_.track(11, 11);
  editor_.insertText(0, "XY");
  EXPECT_EQ(beta->start, 8);
  EXPECT_EQ(beta->end, 13);
  editor_.erase(9, 11);  // "e" "t" of beta
  EXPECT_EQ(beta->start, 8);
  EXPECT_EQ(beta->end, 11);
  EXPECT_EQ(atGamma->start, 11);
  editor_.erase(0, 100);
  EXPECT_EQ(beta->start, 0);
  EXPECT_EQ(beta->end, 0);
}

TEST_F(OmEditor, SplittingAtAParagraphStartMovesTextAndAnchorsDown) {
  std::uint32_t id = AddRect(doc_, 1);
  const std::uint64_t beta = doc_.paragraphs[1].id;
  EXPECT_EQ(editor_.splitParagraph(6), 7);
  EXPECT_EQ(all(), "alpha\r\rbeta\rgamma\r\r");
  EXPECT_EQ(doc_.paragraphs[2].id, beta);
  EXPECT_EQ(editor_.anchoredShape(id)->anchorParagraph, beta);
  editor_.splitParagraph(9);  // inside "beta"
  EXPECT_EQ(all(), "alpha\r\rbe\rta\rgamma\r\r");
  EXPECT_EQ(doc_.paragraphs[2].id, beta);
}

TEST_F(OmEditor, FragmentsInsertWholeParagraphsWithFreshIds) {
  AddRect(doc_, 1);
  Fragment piece = editor_.copy(6, 11);  // "beta" with its mark and shape
  ASSERT_EQ(piece.paragraphs.size(), 1u);
  EXPECT_TRUE(piece.lastHasMark);
  ASSERT_EQ(piece.shapes.size(), 1u);
  auto [s, e] = editor_.insertFragment(2, piece.clone());  // inside "alpha"
  EXPECT_EQ(all(), "al\rbeta\rpha\rbeta\rgamma\r\r");
  EXPECT_EQ(s, 3);
  EXPECT_EQ(e, 8);
  ASSERT_EQ(doc_.shapes.size(), 2u);
  EXPECT_NE(doc_.shapes[0].shape->id, doc_.shapes[1].shape->id);
  EXPECT_EQ(doc_.shapes[1].anchorParagraph, doc_.paragraphs[1].id);
  EXPECT_EQ(editor_.shapesIn(s, e), std::vector<std::uint32_t>{doc_.shapes[1].shape->id});
  EXPECT_EQ(editor_.shapesIn(s, s).size(), 1u);  // collapsed: the paragraph's shapes

  Fragment inner = editor_.copy(4, 6);  // "et", no mark
  EXPECT_FALSE(inner.lastHasMark);
  editor_.insertInline(0, inner);
  EXPECT_EQ(editor_.text(0, 5), "etal\r");
}

TEST(OmFragment, FileBodyDropsOnlyAnEmptyFinalParagraphWithoutShapes) {
  Document file = SmallPages(2);
  AddRect(file, 0);
  Fragment body = FragmentOfDocument(file);
  EXPECT_EQ(body.paragraphs.size(), 1u);
  EXPECT_EQ(body.shapes.size(), 1u);

  Document single = SmallPages(1);
  AddRect(single, 0);
  EXPECT_EQ(FragmentOfDocument(single).paragraphs.size(), 1u);
}

}  // namespace
