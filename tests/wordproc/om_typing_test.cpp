// Pages while typing through the selection, as the filling loop and its trailing-page removal
// drive them, and going to pages.
#include "tests/wordproc/om_support.h"

using namespace om_test;

namespace {

// A4 with 72-point top and bottom margins: 697.9 points of text, 51 empty 11 pt paragraphs.
constexpr int kParagraphsPerPage = 51;

class OmTyping : public OmTest {
 protected:
  void SetUp() override {
    OmTest::SetUp();
    word = NewWord();
    doc = word.get("Documents").call("Add");
    selection = word.get("Selection");
  }
  void TearDown() override {
    word.call("Quit", 0);
    OmTest::TearDown();
  }
  int page() { return selection.call("Information", 3).toInt(); }

  Variant word, doc, selection;
};

TEST_F(OmTyping, InformationFollowsTheEndWhileParagraphsAreTyped) {
  selection.call("EndKey", 6);
  std::vector<int> pages;
  for (int k = 1; k < 3 * kParagraphsPerPage; ++k) {
    selection.call("TypeParagraph");
    pages.push_back(page());
  }
  // pages[k] is the page of the (k + 2)th paragraph.
  EXPECT_EQ(pages[kParagraphsPerPage - 2], 1);
  EXPECT_EQ(pages[kParagraphsPerPage - 1], 2);  // the 56th paragraph opens page 2
  EXPECT_EQ(pages[2 * kParagraphsPerPage - 1], 3);
  EXPECT_EQ(pages.back(), 3);
  EXPECT_EQ(doc.get("Content").call("Information", 4).toInt(), 3);
  EXPECT_EQ(selection.get("Start").toInt(), 3 * kParagraphsPerPage - 1);
}

TEST_F(OmTyping, TheFillingLoopStopsOnTheFirstParagraphOfTheNextPage) {
  for (int target = 1; target <= 3; ++target) {
    selection.call("EndKey", 6);
    int typed = 0;
    do {
      selection.call("TypeParagraph");
      ++typed;
    } while (page() <= target && typed <= 100001);
    EXPECT_EQ(page(), target + 1);
    Variant range = doc.call("GoTo", 1, 1, target);
    EXPECT_EQ(range.get("Start").toInt(), (target - 1) * kParagraphsPerPage);
    EXPECT_EQ(range.get("End").toInt(), range.get("Start").toInt());
  }
}

TEST_F(OmTyping, BackspacesRemoveTheTrailingEmptyPage) {
  selection.call("EndKey", 6);
  while (page() < 3) selection.call("TypeParagraph");
  ASSERT_EQ(doc.get("Content").call("Information", 4).toInt(), 3);
  selection.call("EndKey", 6);
  int backspaces = 0;
  while (page() >= 3 && backspaces < 100000) {
    selection.call("TypeBackSpace");  // the spelling the program uses
    ++backspaces;
  }
  EXPECT_EQ(backspaces, 1);
  EXPECT_EQ(doc.get("Content").call("Information", 4).toInt(), 2);
  EXPECT_EQ(doc.get("Content").get("End").toInt(), 2 * kParagraphsPerPage);
}

TEST_F(OmTyping, BackspaceJoinsParagraphsAndDeletesASelection) {
  selection.call("TypeText", "ab");
  selection.call("TypeParagraph");
  selection.call("TypeText", "cd");
  selection.call("HomeKey");  // start of the line
  selection.call("TypeBackspace");
  EXPECT_EQ(doc.get("Content").get("Text").toString(), "abcd\r");
  selection.call("HomeKey", 6);
  selection.call("EndKey", 6, 1);
  EXPECT_EQ(selection.get("Text").toString(), "abcd");
  EXPECT_EQ(selection.get("Type").toInt(), 2);
  selection.call("TypeBackspace");
  EXPECT_EQ(doc.get("Content").get("Text").toString(), "\r");
  selection.call("TypeBackspace");  // nothing before the start
  EXPECT_EQ(selection.get("Start").toInt(), 0);
}

TEST_F(OmTyping, GoToClampsAndMovesRelativeToTheSelection) {
  selection.call("EndKey", 6);
  while (page() < 4) selection.call("TypeParagraph");
  auto start = [&](Variant range) { return range.get("Start").toInt(); };
  EXPECT_EQ(start(doc.call("GoTo", 1, 1, 99)), 3 * kParagraphsPerPage);  // beyond: the last
  EXPECT_EQ(start(doc.call("GoTo", 1, -1)), 3 * kParagraphsPerPage);
  EXPECT_EQ(start(doc.call("GoTo", 1, 1)), 0);                      // Count defaults to 1
  EXPECT_EQ(start(doc.call("GoTo", 1, 3, 2)), kParagraphsPerPage);  // two before page 4
  // Document.GoTo leaves the selection alone; Selection.GoTo moves it.
  EXPECT_EQ(page(), 4);
  selection.call("GoTo", 1, 1, 2);
  EXPECT_EQ(page(), 2);
  EXPECT_THROW(doc.call("GoTo", -1, 1, 1, "bookmark"), wordlink::AutomationError);
}

TEST_F(OmTyping, PageSetupChangesRepaginate) {
  selection.call("EndKey", 6);
  for (int k = 0; k < kParagraphsPerPage; ++k) selection.call("TypeParagraph");
  EXPECT_EQ(page(), 2);
  Variant setup = doc.get("PageSetup");
  setup.put("TopMargin", 0.0f);
  setup.put("BottomMargin", 0.0f);
  EXPECT_EQ(page(), 1);
  setup.put("PageHeight", 113.4);
  EXPECT_FLOAT_EQ(setup.get("PageHeight").toFloat(), 113.4f);
  EXPECT_EQ(page(), 7);  // 8 lines of about 13.4 points per 113.4-point page
  EXPECT_THROW(setup.put("PageWidth", 0), wordlink::AutomationError);
}

TEST_F(OmTyping, RangesEditTextAndExpandToWordsAndParagraphs) {
  Variant content = doc.get("Content");
  content.put("Text", "one two\rthree");
  EXPECT_EQ(doc.get("Content").get("Text").toString(), "one two\rthree\r");
  Variant range = doc.call("Range", 5, 5);  // inside "two"
  EXPECT_EQ(range.call("Expand", 2).toInt(), 3);
  EXPECT_EQ(range.get("Text").toString(), "two");
  EXPECT_EQ(range.call("Expand", 4).toInt(), 5);
  EXPECT_EQ(range.get("Text").toString(), "one two\r");
  range.call("Collapse", 0);
  EXPECT_EQ(range.get("Start").toInt(), 8);  // after the mark: the next paragraph
  range.call("InsertAfter", "big ");
  EXPECT_EQ(range.get("Text").toString(), "big ");
  EXPECT_EQ(doc.call("Range", 0, 4).call("Delete").toInt(), 4);
  EXPECT_EQ(doc.get("Content").get("Text").toString(), "two\rbig three\r");
  EXPECT_EQ(range.get("Start").toInt(), 4);  // the range followed the deletion
  // Copy and Paste carry whole paragraphs, a piece of one goes in as text.
  doc.call("Range", 0, 4).call("Copy");
  doc.call("Range", 4, 4).call("Paste");
  EXPECT_EQ(doc.get("Content").get("Text").toString(), "two\rtwo\rbig three\r");
  doc.call("Range", 8, 11).call("Copy");
  selection.call("EndKey", 6);
  selection.call("Paste");
  EXPECT_EQ(doc.get("Content").get("Text").toString(), "two\rtwo\rbig threebig\r");
}

}  // namespace
