// Documents of several sections: each section's page set-up through ranges, Sections and the
// window's page set-up dialog, the pages that follow it, and files that keep it.
#include <gtest/gtest.h>

#include "tests/wordproc/edit_support.h"
#include "tests/wordproc/om_support.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using om_test::Variant;
using wordlink::AutomationError;

namespace {

constexpr double kUndefined = 9999999;

// Twenty empty paragraphs, so positions are paragraph indices. Section 1 is paragraphs 0 to 14
// on 200 x 250 portrait pages (eleven 11-point lines to a page: two pages), section 2 the last
// five on 250 x 200 landscape ones (seven lines: one page). Only the left margins differ.
void WriteTwoSections(const std::string& path) {
  Document doc;
  doc.paragraphs.clear();
  for (int k = 0; k < 20; ++k) {
    Paragraph p;
    p.id = doc.newParagraphId();
    doc.paragraphs.push_back(p);
  }
  doc.paragraphs[14].sectionEnd = Section{{200, 250, 50, 50, 50, 50}, SectionStart::NextPage, {}};
  doc.pageSetup = {250, 200, 50, 50, 30, 50};
  WriteDocumentFile(doc, path, SourceFormat::Package);
}

double Value(const Variant& setup, const char* name) {
  return setup.get(name).toDouble();
}

class OmSections : public om_test::OmTest {
 protected:
  void SetUp() override {
    OmTest::SetUp();
    word = om_test::NewWord();
    WriteTwoSections(scratch_ / "two.docx");
    doc = word.get("Documents").call("Open", scratch_ / "two.docx");
  }
  void TearDown() override {
    word.call("Quit", 0);
    OmTest::TearDown();
  }
  Variant section(int n) { return doc.get("Sections").get("", n); }
  Variant rangeSetup(int start, int end) { return doc.call("Range", start, end).get("PageSetup"); }
  int pageAt(int position) {
    return doc.call("Range", position, position).call("Information", 3).toInt();
  }
  int pages() { return doc.get("Content").call("Information", 4).toInt(); }

  Variant word, doc;
};

TEST_F(OmSections, RangesAnswerForTheSectionsTheyCover) {
  Variant sections = doc.get("Sections");
  ASSERT_EQ(sections.get("Count").toInt(), 2);
  EXPECT_EQ(section(1).get("Range").get("End").toInt(), 15);
  EXPECT_EQ(sections.get("Last").get("Range").get("Start").toInt(), 15);
  EXPECT_EQ(sections.get("Last").get("Index").toInt(), 2);
  EXPECT_THROW(sections.call("Item", 3), AutomationError);

  EXPECT_EQ(Value(rangeSetup(2, 5), "PageWidth"), 200);
  EXPECT_EQ(rangeSetup(2, 5).get("Orientation").toInt(), 0);
  EXPECT_EQ(Value(rangeSetup(16, 18), "LeftMargin"), 30);
  EXPECT_EQ(rangeSetup(16, 18).get("Orientation").toInt(), 1);
  // Over both: what they share, wdUndefined where they differ; the document reads the same.
  for (Variant both : {rangeSetup(5, 17), doc.get("PageSetup")}) {
    EXPECT_EQ(Value(both, "PageHeight"), kUndefined);
    EXPECT_EQ(Value(both, "LeftMargin"), kUndefined);
    EXPECT_EQ(both.get("Orientation").toInt(), 9999999);
    EXPECT_EQ(Value(both, "TopMargin"), 50);
  }
  // A range ending where section 2 begins stays in section 1; one collapsed there is in 2.
  EXPECT_EQ(Value(section(1).get("Range").get("PageSetup"), "PageWidth"), 200);
  EXPECT_EQ(doc.call("Range", 15, 15).get("Sections").get("", 1).get("Index").toInt(), 2);
  EXPECT_EQ(doc.call("Range", 5, 17).get("Sections").get("Count").toInt(), 2);
  doc.call("Range", 17, 17).call("Select");
  EXPECT_EQ(word.get("Selection").get("PageSetup").get("Orientation").toInt(), 1);
  EXPECT_EQ(word.get("Selection").call("Information", 5).toDouble(), 30) << "its own margin";
}

TEST_F(OmSections, ValuesSetThroughARangeGoToEverySectionItTouches) {
  Variant both = rangeSetup(5, 17);
  both.put("LeftMargin", 40.0f);
  EXPECT_EQ(Value(section(2).get("PageSetup"), "LeftMargin"), 40);
  EXPECT_EQ(Value(both, "LeftMargin"), 40) << "now shared";
  // Turned landscape, section 1 takes section 2's paper: seven lines to a page.
  both.put("Orientation", 1);
  EXPECT_EQ(Value(both, "PageWidth"), 250);
  EXPECT_EQ(pages(), 4);
  doc.get("PageSetup").put("Orientation", 0);
  EXPECT_EQ(Value(section(2).get("PageSetup"), "PageHeight"), 250);
  EXPECT_EQ(pageAt(15), 3);
}

TEST_F(OmSections, OneSectionsSetUpMovesOnlyThePagesThatFollowFromIt) {
  auto start = [](const Variant& range) { return range.get("Start").toInt(); };
  EXPECT_EQ(pageAt(15), 3);
  EXPECT_EQ(start(doc.call("GoTo", 0, 1, 2)), 15);  // sections
  doc.call("Range", 16, 16).call("Select");
  EXPECT_EQ(start(doc.call("GoTo", 0, 3, 1)), 0);  // the one before the selection's

  Variant first = section(1).get("PageSetup");
  first.put("PageHeight", 400.0f);  // 22 lines: section 1 on one page
  EXPECT_EQ(Value(section(2).get("PageSetup"), "PageHeight"), 200);
  EXPECT_EQ(pageAt(15), 2);
  EXPECT_EQ(pages(), 2);
  EXPECT_EQ(start(doc.call("GoTo", 1, 1, 2)), 15);
  first.put("Orientation", 1);  // 400 x 200: seven lines, three pages
  EXPECT_EQ(Value(section(2).get("PageSetup"), "PageWidth"), 250);
  EXPECT_EQ(pageAt(15), 4);
  EXPECT_EQ(start(doc.call("GoTo", 1, 1, 3)), 14);
}

TEST_F(OmSections, EachSectionKeepsItsSetUpInTheSavedFile) {
  section(1).get("PageSetup").put("TopMargin", 36.0f);
  section(2).get("PageSetup").put("BottomMargin", 20.0f);
  doc.call("SaveAs", scratch_ / "again.docx");
  doc.call("Close");
  doc = word.get("Documents").call("Open", scratch_ / "again.docx");
  ASSERT_EQ(doc.get("Sections").get("Count").toInt(), 2);
  const Variant first = section(1).get("PageSetup"), second = section(2).get("PageSetup");
  EXPECT_NEAR(Value(first, "TopMargin"), 36, 0.05);
  EXPECT_NEAR(Value(first, "BottomMargin"), 50, 0.05);
  EXPECT_NEAR(Value(first, "PageWidth"), 200, 0.05);
  EXPECT_NEAR(Value(second, "TopMargin"), 50, 0.05);
  EXPECT_NEAR(Value(second, "BottomMargin"), 20, 0.05);
  EXPECT_NEAR(Value(second, "LeftMargin"), 30, 0.05);
}

// The window's dialog works on the section of the page last clicked, one undoable step; its
// millimetres become whole twips as files keep them.
using EditSections = edit_test::EditTest;

TEST_F(EditSections, ThePageSetUpDialogChangesTheCurrentPagesSectionAndUndoes) {
  WriteTwoSections(scratch_ / "two.docx");
  Variant doc = word.get("Documents").call("Open", scratch_ / "two.docx");
  ASSERT_NE(Canvas(doc), nullptr);
  auto height = [&](int n) {
    return Value(doc.get("Sections").get("", n).get("PageSetup"), "PageHeight");
  };
  edit_test::Click(Canvas(doc), At(doc, 10, 10, 3));
  replies.push_back({kDialogOk, {}, "100,80"});
  Trigger(doc, "actionPageSetup");
  EXPECT_NEAR(height(2), edit_test::Mm(80), 0.05);
  EXPECT_EQ(height(1), 250);

  edit_test::Click(Canvas(doc), At(doc, 10, 10, 1));
  replies.push_back({kDialogOk, {}, "100,300"});  // 850 points: section 1 on one page
  Trigger(doc, "actionPageSetup");
  EXPECT_NEAR(height(1), edit_test::Mm(300), 0.05);
  EXPECT_EQ(doc.get("Content").call("Information", 4).toInt(), 2);
  Trigger(doc, "actionUndo");
  EXPECT_EQ(height(1), 250);
  EXPECT_NEAR(height(2), edit_test::Mm(80), 0.05) << "the step before stays";
  Trigger(doc, "actionUndo");
  EXPECT_EQ(height(2), 200);
  EXPECT_EQ(doc.get("Content").call("Information", 4).toInt(), 3);
}

TEST_F(OmSections, TextColumnsOfASectionSetItsPages) {
  ASSERT_EQ(pages(), 3);
  Variant columns = section(1).get("PageSetup").get("TextColumns");
  EXPECT_EQ(columns.get("Count").toInt(), 1);
  columns.call("SetCount", 2);
  columns.put("Spacing", 10.0f);
  columns.put("LineBetween", -1);
  EXPECT_EQ(columns.get("Count").toInt(), 2);
  EXPECT_DOUBLE_EQ(columns.get("Spacing").toDouble(), 10);
  EXPECT_EQ(columns.get("LineBetween").toInt(), -1);
  EXPECT_EQ(pages(), 2) << "fifteen lines in two columns of eleven take one page";
  EXPECT_EQ(pageAt(14), 1);
  Variant both = doc.get("PageSetup").get("TextColumns");
  EXPECT_DOUBLE_EQ(both.get("Count").toDouble(), kUndefined);
  EXPECT_THROW(columns.call("SetCount", 0), AutomationError);

  doc.call("SaveAs", scratch_ / "columns.docx");
  const auto back = LoadDocumentFile(scratch_ / "columns.docx");
  const TextColumns& kept = back->paragraphs[14].sectionEnd->setup.columns;
  EXPECT_EQ(kept.count, 2);
  EXPECT_FLOAT_EQ(kept.space, 10);
  EXPECT_TRUE(kept.separator);
  EXPECT_EQ(back->pageSetup.columns.count, 1);
}

}  // namespace
