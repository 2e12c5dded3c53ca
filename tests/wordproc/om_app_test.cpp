// The application and its documents as the program drives them: creating, opening with the
// argument lists of the different versions, closing with the three save modes, recent files,
// windows of visible instances, and failures that name the member.
#include <QMainWindow>
#include <filesystem>

#include "platform/Files.h"
#include "tests/wordproc/om_support.h"
#include "wordproc/RecentFiles.h"

using namespace om_test;
using wordlink::AutomationError;

namespace {

std::string MemberOfFailure(const std::function<void()>& call) {
  try {
    call();
  } catch (const AutomationError& e) {
    return e.member();
  }
  return "(no failure)";
}

class OmApp : public OmTest {
 protected:
  void SetUp() override {
    OmTest::SetUp();
    word = NewWord();
  }
  void TearDown() override {
    if (!quit) word.call("Quit", 0);
    OmTest::TearDown();
  }

  // A saved document with one named shape.
  std::string MakeFile(const std::string& name) {
    Variant doc = word.get("Documents").call("Add");
    doc.get("Shapes").call("AddShape", 9, 10, 10, 40, 40).put("Name", "mark");
    const std::string path = scratch_ / name;
    doc.call("SaveAs", path, Missing(), Missing(), Missing(), false);
    doc.call("Close");
    return path;
  }

  Variant Documents() { return word.get("Documents"); }

  Variant word;
  bool quit = false;
};

TEST_F(OmApp, AnswersVersionAndConvertsPixels) {
  EXPECT_EQ(word.get("Version").toString(), "16.0");
  EXPECT_EQ(word.get("vErSiOn").toString(), "16.0");  // names ignore case
  EXPECT_FLOAT_EQ(word.call("PixelsToPoints", 100, true).toFloat(), 75);
  word.put("DisplayAlerts", true);
  EXPECT_EQ(word.get("DisplayAlerts").toInt(), -1);
  word.get("Options").put("MeasurementUnit", 2);
  EXPECT_EQ(word.get("Options").get("MeasurementUnit").toInt(), 2);
  EXPECT_TRUE(word.get("Options").get("CheckSpellingAsYouType").toBool());
}

TEST_F(OmApp, UnknownMembersAndBadArgumentsNameTheMember) {
  EXPECT_EQ(MemberOfFailure([&] { word.get("Frobnicate"); }), "Frobnicate");
  Variant doc = Documents().call("Add");
  Variant shapes = doc.get("Shapes");
  EXPECT_EQ(MemberOfFailure([&] { shapes.call("AddShape", 4242, 0, 0, 10, 10); }), "AddShape");
  EXPECT_EQ(MemberOfFailure([&] { shapes.call("AddLine", 0, 0, "wide", 10); }), "AddLine");
  EXPECT_EQ(MemberOfFailure([&] { word.get("Options").put("MeasurementUnit", 7); }),
            "MeasurementUnit");
  EXPECT_EQ(MemberOfFailure([&] { doc.put("FullName", "x"); }), "FullName");
  EXPECT_EQ(MemberOfFailure([&] { Documents().call("Item", 5); }), "Item");
  EXPECT_EQ(MemberOfFailure([&] { Documents().call("Open"); }), "Open");
}

TEST_F(OmApp, QuitDisconnectsTheApplicationAndEverythingFromIt) {
  Variant doc = Documents().call("Add");
  Variant shape = doc.get("Shapes").call("AddShape", 1, 0, 0, 10, 10);
  Variant range = doc.get("Content");
  Variant selection = word.get("Selection");
  word.call("Quit", 0, 1, true);
  quit = true;
  for (auto& [object, member] :
       std::vector<std::pair<Variant, const char*>>{{word, "Visible"},
                                                    {doc, "Type"},
                                                    {shape, "Name"},
                                                    {range, "Start"},
                                                    {selection, "Start"}}) {
    EXPECT_EQ(MemberOfFailure([&] { object.get(member); }), member);
  }
}

TEST_F(OmApp, NewDocumentsAreUntitledAndCarryTheirTemplate) {
  const std::string tmpl = MakeFile("Шаблон_A4.dotx");
  Variant blank = Documents().call("Add");
  Variant based = Documents().call("Add", tmpl, Missing(), Missing(), false);
  EXPECT_EQ(blank.get("Name").toString(), "Document2");  // MakeFile used the first name
  EXPECT_EQ(based.get("Name").toString(), "Document3");
  EXPECT_EQ(based.get("FullName").toString(), "Document3");
  EXPECT_EQ(based.get("Path").toString(), "");
  EXPECT_EQ(based.get("Type").toInt(), 0);
  EXPECT_EQ(based.get("Shapes").call("Item", 1).get("Name").toString(), "mark");
  EXPECT_TRUE(based.get("Saved").toBool());
  EXPECT_EQ(Documents().call("Add", Missing(), true).get("Type").toInt(), 1);
  EXPECT_EQ(Documents().get("Count").toInt(), 3);
  EXPECT_EQ(Documents().call("Item", "document3").get("Name").toString(), "Document3");
  EXPECT_EQ(word.get("ActiveDocument").get("Type").toInt(), 1);
}

TEST_F(OmApp, OpenTakesEveryVersionsArgumentList) {
  const std::string path = MakeFile("glyph.doc");
  // Version 8: name, skipped, read-only, add to recent files.
  Variant v8 = Documents().call("Open", path, Missing(), true, false);
  EXPECT_EQ(v8.get("FullName").toString(), path);
  EXPECT_TRUE(v8.get("ReadOnly").toBool());
  v8.call("Close", 0);
  // Versions 9 to 11: seven more skipped, then the visible flag twelfth.
  Variant v9 = Documents().call("Open", path, Missing(), false, false, Missing(), Missing(),
                                Missing(), Missing(), Missing(), Missing(), Missing(), false);
  EXPECT_FALSE(v9.get("ReadOnly").toBool());
  EXPECT_EQ(v9.get("Shapes").get("Count").toInt(), 1);
  // 12 and later, the same list; an open file is found, not opened twice.
  Variant again =
      Documents().call("OpenNoRepairDialog", path, Missing(), false, false, Missing(), Missing(),
                       Missing(), Missing(), Missing(), Missing(), Missing(), false);
  EXPECT_EQ(Documents().get("Count").toInt(), 1);
  EXPECT_EQ(again.toObject(), v9.toObject());
  Args tooMany(17, Variant(0));
  tooMany[0] = Variant(path);
  EXPECT_THROW(Documents().toObject()->invoke("Open", wordlink::InvokeKind::Method, tooMany),
               AutomationError);
}

TEST_F(OmApp, RelativeNamesResolveAgainstTheOpenDirectory) {
  MakeFile("relative.docx");
  word.call("ChangeFileOpenDirectory", scratch_.path());
  Variant doc = Documents().call("Open", "relative.docx");
  EXPECT_EQ(doc.get("FullName").toString(), scratch_ / "relative.docx");
  EXPECT_EQ(doc.get("Path").toString(), scratch_.path());
}

TEST_F(OmApp, OpeningWithRecentFilesPutsTheFileFirst) {
  const std::string a = MakeFile("a.docx"), b = MakeFile("b.docx");
  auto item = [](int n) {
    auto v = platform::Registry::Instance().read(
        platform::RegRoot::CurrentUser, wordproc::kRecentFilesKey, "Item " + std::to_string(n));
    return v ? v->text : std::string("(none)");
  };
  Documents().call("Open", a, Missing(), false, false).call("Close");
  EXPECT_EQ(item(1), "(none)");
  Documents().call("Open", a, Missing(), false, true).call("Close");
  Documents().call("Open", b, Missing(), false, true).call("Close");
  EXPECT_EQ(item(1), b);
  EXPECT_EQ(item(2), a);
  // Thumbnail rendering removes "Item 1"; the next file takes the free place at the top.
  platform::Registry::Instance().deleteValue(platform::RegRoot::CurrentUser,
                                             wordproc::kRecentFilesKey, "Item 1");
  const std::string c = MakeFile("c.docx");
  Documents().call("Open", c, Missing(), false, true).call("Close");
  EXPECT_EQ(item(1), c);
  EXPECT_EQ(item(2), a);
  // Saving records the file as well, without leaving it twice in the list.
  Variant doc = Documents().call("Open", a, Missing(), false, false);
  doc.call("Save");
  EXPECT_EQ(item(1), a);
  EXPECT_EQ(item(2), c);
  EXPECT_EQ(item(3), "(none)");
  // The program's own working copies are never listed.
  const platform::ScopedTempFile copy(platform::CreateTempFile("", "vsp", ".docx"));
  std::filesystem::copy_file(b, copy.path(), std::filesystem::copy_options::overwrite_existing);
  Documents().call("Open", copy.path(), Missing(), false, true).call("Save");
  EXPECT_EQ(item(1), a);
}

TEST_F(OmApp, CloseAsksOnlyAboutChangesAndCancelKeepsTheDocument) {
  Variant doc = Documents().call("Add");
  doc.call("Close", -2);  // unchanged: no question
  EXPECT_TRUE(asked.empty());

  doc = Documents().call("Add");
  doc.get("Shapes").call("AddShape", 1, 0, 0, 10, 10);
  replies = {{wordproc::kDialogCancel, {}}};
  EXPECT_THROW(doc.call("Close", -2, 1, true), AutomationError);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].kind, wordproc::DialogKind::SaveChanges);
  EXPECT_EQ(doc.get("Type").toInt(), 0);  // still open

  const std::string file = scratch_ / "saved.docx";
  replies = {{wordproc::kDialogOk, {}}, {wordproc::kDialogOk, file}};
  doc.call("Close", -2);
  EXPECT_TRUE(std::filesystem::exists(file));
  EXPECT_EQ(Documents().get("Count").toInt(), 0);
  EXPECT_THROW(doc.get("Type"), AutomationError);
  EXPECT_THROW(word.get("Selection").get("Start"), AutomationError);  // no document
}

TEST_F(OmApp, CloseWithSaveChangesWritesTheFileWithoutAsking) {
  const std::string path = MakeFile("keep.docx");
  Variant doc = Documents().call("Open", path);
  doc.get("Shapes").call("AddLine", 0, 0, 100, 0).put("Name", "added");
  doc.call("Close", -1);
  EXPECT_TRUE(asked.empty());
  Variant reopened = Documents().call("Open", path);
  EXPECT_EQ(reopened.get("Shapes").call("Item", 2).get("Name").toString(), "added");
  reopened.get("Shapes").call("Item", 2).call("Delete");
  reopened.call("Close", 0);
  EXPECT_EQ(Documents().call("Open", path).get("Shapes").get("Count").toInt(), 2);
}

TEST_F(OmApp, CopiedShapesPasteIntoAnotherInstance) {
  Variant source = Documents().call("Add");
  Variant shape = source.get("Shapes").call("AddShape", 9, 12, 34, 40, 20);
  shape.put("Name", "VSP_CLONED_1");
  shape.get("Shadow").put("Visible", -1);
  shape.get("Shadow").put("OffsetX", 4);
  Documents().call("Add");  // the sheet is no longer the active document
  shape.call("Select");
  EXPECT_EQ(word.get("Selection").get("Type").toInt(), 8);
  word.get("Selection").call("Copy");

  Variant other = NewWord();
  Variant target = other.get("Documents").call("Add");
  other.get("Selection").call("Paste");
  Variant pasted = target.get("Shapes").call("Item", 1);
  EXPECT_EQ(pasted.get("Name").toString(), "VSP_CLONED_1");
  EXPECT_FLOAT_EQ(pasted.get("Left").toFloat(), 12);
  EXPECT_TRUE(pasted.get("Shadow").get("Visible").toBool());  // copies keep their shadows
  EXPECT_FLOAT_EQ(pasted.get("Shadow").get("OffsetX").toFloat(), 4);
  EXPECT_EQ(other.get("Selection").get("ShapeRange").get("Count").toInt(), 1);
  other.call("Quit", 0);
}

TEST_F(OmApp, OnlyVisibleInstancesShowWindowsPlacedInPoints) {
  EnsureGui();
  auto visibleWindows = [] {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
      n += qobject_cast<QMainWindow*>(w) && w->isVisible();
    return n;
  };
  const int before = visibleWindows();
  Variant doc = Documents().call("Add");
  EXPECT_EQ(visibleWindows(), before);  // hidden instance
  word.put("Visible", true);
  EXPECT_EQ(visibleWindows(), before + 1);
  Documents().call("Add", Missing(), Missing(), Missing(), false);
  EXPECT_EQ(visibleWindows(), before + 1);  // added with Visible False

  Variant window = doc.get("ActiveWindow");
  window.put("WindowState", 0);
  window.put("Left", 30);
  window.put("Width", 450);
  EXPECT_EQ(window.get("Left").toInt(), 30);
  EXPECT_EQ(window.get("Width").toInt(), 450);
  window.get("View").put("Type", 3);
  EXPECT_EQ(window.get("View").get("Type").toInt(), 3);
  window.put("WindowState", 1);
  EXPECT_THROW(window.put("Height", 300), AutomationError);

  doc.call("Close", 0);
  EXPECT_EQ(visibleWindows(), before);
}

}  // namespace

namespace {

TEST(OmDialogAnswers, EnvironmentAnswersAreChosenByKind) {
  using wordproc::DialogKind;
  const std::string answers = "save=no;saveas=ok:/tmp/Этикетка.docx;cancel";
  auto save = wordproc::ParseDialogAnswer(answers, DialogKind::SaveChanges);
  auto saveAs = wordproc::ParseDialogAnswer(answers, DialogKind::SaveAs);
  auto print = wordproc::ParseDialogAnswer(answers, DialogKind::Print);
  ASSERT_TRUE(save && saveAs && print);
  EXPECT_EQ(save->result, wordproc::kDialogNo);
  EXPECT_EQ(saveAs->result, wordproc::kDialogOk);
  EXPECT_EQ(saveAs->fileName, "/tmp/Этикетка.docx");
  EXPECT_EQ(print->result, wordproc::kDialogCancel);  // the entry without a kind
  EXPECT_FALSE(wordproc::ParseDialogAnswer("print=maybe", DialogKind::Print));
}

}  // namespace
