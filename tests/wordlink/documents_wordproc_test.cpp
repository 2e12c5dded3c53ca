// The document operations on the embedded word processor: the normal road, with real files,
// real windows and real printing to PDF.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/Registry.h"
#include "platform/UserInteraction.h"
#include "tests/support/Gui.h"
#include "tests/support/Scratch.h"
#include "wordlink/uExtAppController.h"
#include "wordlink/uExtAppDocument.h"
#include "wordproc/Dialogs.h"
#include "wordproc/WordProcessor.h"

namespace fs = std::filesystem;
using namespace wordlink;

namespace {

std::string PdfText(const fs::path& pdf) {
  return test_support::PdfText(pdf.string());
}

class WordprocDocuments : public ::testing::Test {
 protected:
  void SetUp() override {
    test_support::EnsureApplication();
    dir = test_support::NewFolder("wordlink");
    fs::create_directories(dir / "pdf");
    previousRegistry = platform::Registry::Instance().filePath();
    platform::Registry::Instance().setFilePath((dir / "registry").string());
    if (const char* old = std::getenv("VSP_PRINT_TO_PDF_DIR")) previousPrints = old;
    setenv("VSP_PRINT_TO_PDF_DIR", (dir / "pdf").c_str(), 1);
    wordproc::SetDialogResponder([](wordproc::DialogKind, const std::string&) {
      return wordproc::DialogReply{wordproc::kDialogOk, {}};
    });
    PrintingFromProgram = false;
    worker = c.Connect(kKindDefault, false, true);
    ASSERT_NE(worker, nullptr);
  }
  void TearDown() override {
    wordproc::SetDialogResponder(nullptr);
    if (previousPrints.empty())
      unsetenv("VSP_PRINT_TO_PDF_DIR");
    else
      setenv("VSP_PRINT_TO_PDF_DIR", previousPrints.c_str(), 1);
    platform::Registry::Instance().setFilePath(previousRegistry);
    fs::remove_all(dir);
  }

  // A document with a label text box and a guide text box, saved under name.
  std::string MakeSheet(const std::string& name, const std::string& guideName) {
    Variant doc = worker->Application.get("Documents").call("Add");
    Variant shapes = doc.get("Shapes");
    Variant label = shapes.call("AddTextbox", 1, 50.0f, 50.0f, 200.0f, 40.0f);
    label.get("TextFrame").get("TextRange").put("Text", "LABELTEXT");
    Variant guide = shapes.call("AddTextbox", 1, 50.0f, 150.0f, 200.0f, 40.0f);
    guide.get("TextFrame").get("TextRange").put("Text", "GUIDETEXT");
    guide.put("Name", guideName);
    std::string path = (dir / name).string();
    doc.call("SaveAs", path);
    doc.call("Close", 0);
    return path;
  }

  std::vector<fs::path> Pdfs() {
    std::vector<fs::path> out;
    for (auto& e : fs::directory_iterator(dir / "pdf")) out.push_back(e.path());
    return out;
  }

  fs::path dir;
  std::string previousRegistry, previousPrints;
  TExtAppController c;
  TExtAppInstance* worker = nullptr;
};

TEST_F(WordprocDocuments, ReopeningReturnsTheSameRecordWithoutSettingTheUnitAgain) {
  std::string path = MakeSheet("a.docx", "Guide");
  TExtAppDocument* first = c.OpenDocument(path, false, false);
  ASSERT_NE(first, nullptr);
  Variant options = worker->Application.get("Options");
  EXPECT_EQ(options.get("MeasurementUnit").toInt(), 2);
  options.put("MeasurementUnit", 3);
  EXPECT_EQ(c.OpenDocument(path, false, false), first);
  EXPECT_EQ(options.get("MeasurementUnit").toInt(), 3);
  EXPECT_EQ(worker->Application.get("Documents").get("Count").toInt(), 1);
}

TEST_F(WordprocDocuments, TemplateInCapitalsMakesANewUntitledDocument) {
  std::string tpl = MakeSheet("SHEET.DOT", "Guide");
  TExtAppDocument* doc = c.OpenDocument(tpl, false, false);
  ASSERT_NE(doc, nullptr);
  EXPECT_NE(doc->Document.get("FullName").toString(), tpl);
  EXPECT_EQ(doc->Document.get("Shapes").get("Count").toInt(), 2) << "the template's content";
  EXPECT_EQ(c.FindDocument(tpl), nullptr) << "the template itself stays closed";
}

TEST_F(WordprocDocuments, UserDocumentsAreFoundNotOwnedAndLeftOpen) {
  std::string path = MakeSheet("user.docx", "Guide");
  worker->Application.get("Documents").call("Open", path);
  TExtAppDocument* rec = c.FindDocument(path);
  ASSERT_NE(rec, nullptr);
  EXPECT_TRUE(rec->NotOwned);
  EXPECT_TRUE(rec->CloseDocument(kDoNotSaveChanges));
  EXPECT_EQ(worker->Application.get("Documents").get("Count").toInt(), 1);
  EXPECT_EQ(c.CountOwnDocuments(), 0);
}

TEST_F(WordprocDocuments, CountIgnoresDocumentsClosedInTheWordProcessor) {
  TExtAppDocument* a = c.OpenDocument(MakeSheet("a.docx", "G"), false, false);
  c.OpenDocument(MakeSheet("b.docx", "G"), false, false);
  EXPECT_EQ(c.CountOwnDocuments(), 2);
  a->Document.call("Close", 0);
  EXPECT_EQ(c.CountOwnDocuments(), 1);
  EXPECT_TRUE(a->Document.isEmpty());
}

TEST_F(WordprocDocuments, LastVisibleDocumentQuitsTheEditingInstanceOnly) {
  TExtAppDocument* hidden = c.OpenDocument(MakeSheet("h.docx", "G"), false, false);
  TExtAppDocument* shown = c.OpenDocument(MakeSheet("v.docx", "G"), true, false);
  ASSERT_NE(shown->Instance, worker);
  Variant editor = shown->Instance->Application;
  EXPECT_TRUE(hidden->CloseDocument(kDoNotSaveChanges));
  EXPECT_EQ(worker->Kind, kKindWord);
  EXPECT_TRUE(shown->CloseDocument(kDoNotSaveChanges));
  EXPECT_EQ(shown->Instance->Kind, kKindFree);
  EXPECT_THROW(editor.get("Visible"), AutomationError) << "the instance has quit";
}

TEST_F(WordprocDocuments, QuickPrintLeavesGuidesOffThePaperAndShowsThemAgain) {
  TExtAppDocument* doc = c.OpenDocument(MakeSheet("p.docx", "VSP_NONPRINTABLE_L1"), false, false);
  c.PrintDocument(doc, true);
  auto pdfs = Pdfs();
  ASSERT_EQ(pdfs.size(), 1u);
  std::string text = PdfText(pdfs[0]);
  EXPECT_NE(text.find("LABELTEXT"), std::string::npos);
  EXPECT_EQ(text.find("GUIDETEXT"), std::string::npos);
  EXPECT_TRUE(doc->Document.get("Shapes").call("Item", 2).get("Visible").toBool());
}

TEST_F(WordprocDocuments, FailedPrintStillShowsTheGuidesAgain) {
  TExtAppDocument* doc = c.OpenDocument(MakeSheet("f.docx", "VSP_NONPRINTABLE_L1"), false, false);
  std::ofstream(dir / "blocker") << "x";
  setenv("VSP_PRINT_TO_PDF_DIR", (dir / "blocker" / "sub").c_str(), 1);
  std::string failure;
  EXPECT_NO_THROW(failure = c.PrintDocument(doc, true));
  EXPECT_NE(failure.find("PDF"), std::string::npos)
      << "the failure reaches the caller: " << failure;
  EXPECT_TRUE(Pdfs().empty());
  EXPECT_TRUE(doc->Document.get("Shapes").call("Item", 2).get("Visible").toBool());
  EXPECT_FALSE(PrintingFromProgram);
}

QAction* WindowAction(const char* name) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* a = w->findChild<QAction*>(name)) return a;
  return nullptr;
}

TEST_F(WordprocDocuments, PrintFromTheWindowIsRefusedOnlyForGuideShapes) {
  platform::ScriptedInteraction ui;
  platform::ScopedUI scoped(&ui);
  TExtAppDocument* guides = c.OpenDocument(MakeSheet("g.docx", "VSP_NONPRINTABLE_L1"), true, false);
  ASSERT_NE(guides, nullptr);
  QAction* print = WindowAction("actionPrint");
  ASSERT_NE(print, nullptr);
  print->trigger();
  EXPECT_EQ(ui.messages.size(), 1u);
  EXPECT_TRUE(Pdfs().empty()) << "nothing is printed";

  c.PrintDocument(guides, false);
  EXPECT_EQ(Pdfs().size(), 1u) << "the program's own print is not refused";
  EXPECT_EQ(ui.messages.size(), 1u);
  guides->CloseDocument(kDoNotSaveChanges);

  TExtAppDocument* plain = c.OpenDocument(MakeSheet("n.docx", "xVSP_NONPRINTABLE_1"), true, false);
  ASSERT_NE(plain, nullptr);
  WindowAction("actionPrint")->trigger();
  EXPECT_EQ(Pdfs().size(), 2u);
  EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(WordprocDocuments, SavingInTheVisibleInstanceMarksDocumentsSaved) {
  std::string path = MakeSheet("s.docx", "G");
  c.OpenDocument(path, true, false);
  DocumentsSaved = false;
  EXPECT_EQ(c.SaveDocument(path, false)->Document.get("FullName").toString(), path);
  EXPECT_TRUE(DocumentsSaved);
}

}  // namespace
