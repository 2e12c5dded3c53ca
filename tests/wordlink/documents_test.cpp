#include <gtest/gtest.h>

#include "FakeWord.h"
#include "platform/UserInteraction.h"
#include "wordlink/AutoImpl.h"
#include "wordlink/uExtAppController.h"
#include "wordlink/uExtAppDocument.h"

using namespace wordlink;

namespace {

class DocumentsTest : public ::testing::Test {
 protected:
  void SetUp() override { c.Connect(kKindDefault, false, true); }
  fake::Registration registration;
  fake::World& world = fake::TheWorld();
  TExtAppController c;
  int measurementPuts = 0;

  void CountMeasurementPuts(fake::FakeApp& app) {
    auto options = std::static_pointer_cast<fake::FakeObject>(app.props["options"].toObject());
    options->methods["measurementunit"] = [this](Args&) -> Variant {
      ++measurementPuts;
      return {};
    };
  }
};

TEST_F(DocumentsTest, OpenArgumentListsFollowTheVersion) {
  struct Case {
    const char* version;
    const char* call;
  } cases[] = {
      {"16.0", "Documents.OpenNoRepairDialog(/d/a.doc,~,True,False,~,~,~,~,~,~,~,False)"},
      {"10.0", "Documents.Open(/d/a.doc,~,True,False,~,~,~,~,~,~,~,False)"},
      {"8.0", "Documents.Open(/d/a.doc,~,True,False)"},
  };
  for (const Case& k : cases) {
    fake::TheWorld().version = k.version;
    TExtAppController own;
    TExtAppDocument* doc = own.OpenDocument("/d/a.doc", false, true);
    ASSERT_NE(doc, nullptr);
    EXPECT_FALSE(doc->NotOwned);
    EXPECT_EQ(world.apps.back()->calls.back(), k.call);
  }
}

TEST_F(DocumentsTest, ReopeningAnOpenFileActivatesTheSameRecord) {
  CountMeasurementPuts(*world.apps[0]);
  TExtAppDocument* first = c.OpenDocument("/d/a.doc", false, false);
  EXPECT_EQ(measurementPuts, 1);
  TExtAppDocument* second = c.OpenDocument("/d/a.doc", false, false);
  EXPECT_EQ(first, second);
  EXPECT_EQ(measurementPuts, 1) << "the measurement unit is not set again";
  EXPECT_EQ(world.apps[0]->documents.size(), 1u);
  EXPECT_EQ(c.OpenDocument("/d/A.doc", false, false) == first, false) << "names match exactly";
}

TEST_F(DocumentsTest, TemplateInCapitalsMakesANewDocument) {
  c.OpenDocument("/d/SHEET.DOT", true, false);
  auto& editor = *world.apps.back();
  EXPECT_EQ(editor.calls.back(), "Documents.Add(/d/SHEET.DOT,~,~,True)");
}

TEST_F(DocumentsTest, DocumentTheUserOpenedIsFoundButNeverClosed) {
  auto userDoc = world.apps[0]->addDocument("/d/user.doc");
  TExtAppDocument* rec = c.FindDocument("/d/user.doc");
  ASSERT_NE(rec, nullptr);
  EXPECT_TRUE(rec->NotOwned);
  EXPECT_TRUE(rec->CloseDocument(kDoNotSaveChanges));
  EXPECT_FALSE(userDoc->dead);
  EXPECT_EQ(c.FindDocument("/d/missing.doc"), nullptr);
}

TEST_F(DocumentsTest, CountIgnoresDocumentsTheUserClosed) {
  c.OpenDocument("/d/a.doc", false, false);
  c.OpenDocument("/d/b.doc", false, false);
  EXPECT_EQ(c.CountOwnDocuments(), 2);
  world.apps[0]->documents[0]->dead = true;
  EXPECT_EQ(c.CountOwnDocuments(), 1);
}

TEST_F(DocumentsTest, LastDocumentOfTheVisibleInstanceQuitsItButNotTheWorker) {
  TExtAppDocument* hidden = c.OpenDocument("/d/h.doc", false, false);
  TExtAppDocument* shown = c.OpenDocument("/d/v.doc", true, false);
  EXPECT_TRUE(hidden->CloseDocument(kDoNotSaveChanges));
  EXPECT_FALSE(world.apps[0]->quit);
  EXPECT_TRUE(shown->CloseDocument(kDoNotSaveChanges));
  EXPECT_TRUE(world.apps[1]->quit);
  EXPECT_EQ(c.Instance(1)->Kind, kKindFree);
  EXPECT_TRUE(shown->Document.isEmpty()) << "the record stays, empty";
}

TEST_F(DocumentsTest, RefusedCloseKeepsTheDocument) {
  TExtAppDocument* doc = c.OpenDocument("/d/a.doc", true, false);
  world.apps[1]->documents[0]->refuseClose = true;
  EXPECT_FALSE(doc->CloseDocument(kPromptToSaveChanges));
  EXPECT_FALSE(doc->NotOwned);
  EXPECT_FALSE(c.CloseAllDocuments(kPromptToSaveChanges));
  EXPECT_FALSE(world.apps[1]->quit);
}

TEST_F(DocumentsTest, ReleaseClosesDocumentsFromTheLast) {
  c.OpenDocument("/d/a.doc", false, false);
  c.OpenDocument("/d/b.doc", false, false);
  auto a = world.apps[0]->documents[0], b = world.apps[0]->documents[1];
  std::vector<std::string> order;
  for (auto& d : {a, b}) {
    auto* raw = d.get();
    auto close = raw->methods["close"];
    raw->methods["close"] = [raw, close, &order](Args& args) {
      order.push_back(raw->props["fullname"].toString());
      return close(args);
    };
  }
  c.ReleaseInstance(0);
  EXPECT_EQ(order, (std::vector<std::string>{"/d/b.doc", "/d/a.doc"}));
}

class PrintTest : public DocumentsTest {
 protected:
  TExtAppDocument* OpenWithShapes(std::vector<std::string> names) {
    TExtAppDocument* doc = c.OpenDocument("/d/sheet.doc", false, false);
    auto& fakeDoc = *world.apps[0]->documents.back();
    fakeDoc.shapeNames = names;
    fakeDoc.shapeVisible.assign(names.size(), true);
    return doc;
  }
  fake::FakeDoc& lastDoc() { return *world.apps[0]->documents.back(); }
};

TEST_F(PrintTest, QuickPrintHidesGuideShapesAndShowsThemAgain) {
  TExtAppDocument* doc =
      OpenWithShapes({"VSP_CLONED_1", "VSP_NONPRINTABLE_L1", "vsp_nonprintable_x"});
  c.PrintDocument(doc, true);
  ASSERT_EQ(lastDoc().visibilityAtPrint.size(), 1u);
  EXPECT_EQ(lastDoc().visibilityAtPrint[0], (std::vector<bool>{true, false, true}));
  EXPECT_EQ(lastDoc().shapeVisible, (std::vector<bool>{true, true, true}));
  EXPECT_FALSE(PrintingFromProgram);
  EXPECT_TRUE(world.apps[0]->props["screenupdating"].toBool());
}

TEST_F(PrintTest, FailedPrintStillRestoresAndTellsWhy) {
  TExtAppDocument* doc = OpenWithShapes({"VSP_NONPRINTABLE_L1"});
  EXPECT_EQ(c.PrintDocument(doc, true), "");
  lastDoc().failPrint = true;
  std::string failure;
  EXPECT_NO_THROW(failure = c.PrintDocument(doc, true));
  EXPECT_FALSE(failure.empty());
  EXPECT_EQ(lastDoc().shapeVisible, std::vector<bool>{true});
  EXPECT_FALSE(PrintingFromProgram);
}

TEST_F(PrintTest, ScreenUpdatingComesBackAfterAFailure) {
  OpenWithShapes({"VSP_NONPRINTABLE_L1"});
  auto& fakeDoc = lastDoc();
  fakeDoc.methods["shapes"] = [&fakeDoc](Args&) -> Variant {
    auto shapes = std::make_shared<fake::FakeObject>();
    shapes->props["count"] = 1;
    shapes->methods["item"] = [](Args&) -> Variant { throw AutomationError("Item", "gone"); };
    return Variant(std::static_pointer_cast<Dispatch>(shapes));
  };
  EXPECT_THROW(
      c.SetNonPrintableVisible(
          Variant(std::static_pointer_cast<Dispatch>(world.apps[0]->documents.back())), false),
      AutomationError);
  EXPECT_TRUE(world.apps[0]->props["screenupdating"].toBool());
}

class SinkTest : public PrintTest {
 protected:
  platform::ScriptedInteraction ui;
  platform::ScopedUI scoped{&ui};

  bool FireBeforePrint(TWordEventSink& sink, fake::FakeDoc& doc) {
    Args args{Variant(std::static_pointer_cast<Dispatch>(doc.shared_from_this())), Variant(false)};
    EXPECT_EQ(sink.Invoke(kDispDocumentBeforePrint, args), 0);
    return args[1].toBool();
  }
};

TEST_F(SinkTest, BeforePrintRefusesDocumentsWithGuideShapes) {
  c.Connect(kKindDefault, true, false);
  auto& editor = *world.apps[1];
  ASSERT_EQ(editor.sinks.size(), 1u);
  auto& sink = static_cast<TWordEventSink&>(*editor.sinks[0]);
  auto guides = editor.addDocument("/d/g.doc");
  guides->shapeNames = {"Text 1", "VSP_NONPRINTABLE_L3"};
  EXPECT_TRUE(FireBeforePrint(sink, *guides));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].caption, "Varnel Stampora");
  EXPECT_EQ(ui.messages[0].icon, platform::MsgIcon::Error);
  EXPECT_EQ(ui.messages[0].text, kNonPrintableMessage);

  auto plain = editor.addDocument("/d/p.doc");
  plain->shapeNames = {"xVSP_NONPRINTABLE_1"};
  EXPECT_FALSE(FireBeforePrint(sink, *plain));

  PrintingFromProgram = true;
  EXPECT_FALSE(FireBeforePrint(sink, *guides));
  PrintingFromProgram = false;
  EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(SinkTest, UnreadableShapesNeitherCancelNorLeaveTheCounterRaised) {
  c.Connect(kKindDefault, true, false);
  auto& sink = static_cast<TWordEventSink&>(*world.apps[1]->sinks[0]);
  auto doc = world.apps[1]->addDocument("/d/x.doc");
  doc->failShapes = true;
  EXPECT_FALSE(FireBeforePrint(sink, *doc));
  EXPECT_EQ(sink.nesting(), 0);
  doc->failShapes = false;
  doc->shapeNames = {"VSP_NONPRINTABLE_1"};
  EXPECT_TRUE(FireBeforePrint(sink, *doc));
}

TEST_F(SinkTest, BeforeSaveMarksDocumentsSaved) {
  c.Connect(kKindDefault, true, false);
  auto& sink = static_cast<TWordEventSink&>(*world.apps[1]->sinks[0]);
  DocumentsSaved = false;
  Args args{Variant(), Variant(false), Variant(false)};
  EXPECT_EQ(sink.Invoke(kDispDocumentBeforeSave, args), 0);
  EXPECT_TRUE(DocumentsSaved);
  EXPECT_FALSE(args[2].toBool()) << "saving is never cancelled";
  Args none;
  EXPECT_EQ(sink.Invoke(99, none), 0);
}

}  // namespace
