// Application events: before every print and every save, synchronously, with the cancel flag
// honoured; and what the prints leave in the PDF folder.
#include <QAction>
#include <QMainWindow>

#include "tests/wordproc/om_support.h"

using namespace om_test;

namespace {

constexpr const char* kEvents = "{000209FE-0000-0000-C000-000000000046}";
constexpr int kBeforePrint = 7;
constexpr int kBeforeSave = 8;

int FilesIn(const std::string& folder) {
  int n = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    n += entry.is_regular_file();
  return n;
}

class OmEvents : public OmTest {
 protected:
  void SetUp() override {
    OmTest::SetUp();
    EnsureGui();
    pdfs = scratch_ / "pdf";
    std::filesystem::create_directory(pdfs);
    setenv("VSP_PRINT_TO_PDF_DIR", pdfs.c_str(), 1);
    word = NewWord();
    doc = word.get("Documents").call("Add");
    doc.get("Shapes").call("AddShape", 1, 10, 10, 50, 50).put("Name", "VSP_NONPRINTABLE_1");
    sink = std::make_shared<Recorder>();
    cookie = word.toObject()->advise(kEvents, sink);
    ASSERT_TRUE(cookie.has_value());
  }
  void TearDown() override {
    unsetenv("VSP_PRINT_TO_PDF_DIR");
    word.call("Quit", 0);
    OmTest::TearDown();
  }

  std::string pdfs;
  Variant word, doc;
  std::shared_ptr<Recorder> sink;
  std::optional<std::uint32_t> cookie;
};

TEST_F(OmEvents, CancelledBeforePrintStopsPrintOut) {
  sink->cancel.insert(kBeforePrint);
  doc.call("PrintOut", false);
  ASSERT_EQ(sink->count(kBeforePrint), 1);
  const Args& args = sink->events[0].args;
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(args[0].get("Name").toString(), doc.get("Name").toString());
  EXPECT_EQ(FilesIn(pdfs), 0);

  sink->cancel.clear();
  doc.call("PrintOut", false);
  EXPECT_EQ(sink->count(kBeforePrint), 2);
  EXPECT_FALSE(sink->events[1].args[1].toBool());  // False on entry
  EXPECT_EQ(FilesIn(pdfs), 1);
}

TEST_F(OmEvents, ThePrintDialogRaisesTheEventOnlyWhenConfirmed) {
  Variant dialog = word.get("Dialogs").call("Item", 88);
  replies = {{wordproc::kDialogCancel, {}}};
  EXPECT_EQ(dialog.call("Show").toInt(), 0);
  EXPECT_EQ(sink->count(kBeforePrint), 0);

  replies = {{wordproc::kDialogOk, {}}};
  sink->cancel.insert(kBeforePrint);
  EXPECT_EQ(word.get("Dialogs").get("", 88).call("Show").toInt(), -1);  // the default member
  EXPECT_EQ(sink->count(kBeforePrint), 1);
  EXPECT_EQ(FilesIn(pdfs), 0);
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[1].kind, wordproc::DialogKind::Print);
}

TEST_F(OmEvents, TheWindowsPrintCommandAsksTheSinksBeforeItsDialog) {
  word.put("Visible", true);
  QMainWindow* window = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* main = qobject_cast<QMainWindow*>(w);
        main && main->isVisible() && main->windowTitle() == "Document1")
      window = main;
  ASSERT_NE(window, nullptr);
  auto* print = window->findChild<QAction*>("actionPrint");
  ASSERT_NE(print, nullptr);
  // The sink looks at the document's shapes while the print waits, as the program's sink does.
  int seen = -1;
  sink->onEvent = [&](int id, Args& args) {
    if (id == kBeforePrint) seen = args[0].get("Shapes").get("Count").toInt();
  };
  sink->cancel.insert(kBeforePrint);
  print->trigger();
  EXPECT_EQ(sink->count(kBeforePrint), 1);
  EXPECT_EQ(seen, 1);
  EXPECT_TRUE(asked.empty()) << "a refused print shows no dialog";
  EXPECT_EQ(FilesIn(pdfs), 0);

  sink->cancel.clear();
  replies = {{wordproc::kDialogOk, {}}};
  print->trigger();
  EXPECT_EQ(sink->count(kBeforePrint), 2) << "asked once for the confirmed print";
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].kind, wordproc::DialogKind::Print);
  EXPECT_EQ(FilesIn(pdfs), 1);
}

TEST_F(OmEvents, EverySaveRaisesBeforeSaveAndCancelKeepsTheFileUnwritten) {
  const std::string file = scratch_ / "label.docx";
  replies = {{wordproc::kDialogOk, file}};
  doc.call("Save");  // never saved: the Save As dialog
  ASSERT_EQ(sink->count(kBeforeSave), 1);
  EXPECT_TRUE(sink->events[0].args[1].toBool());  // SaveAsUI
  EXPECT_EQ(doc.get("FullName").toString(), file);
  EXPECT_TRUE(doc.get("Saved").toBool());

  doc.call("Save");
  EXPECT_EQ(sink->count(kBeforeSave), 2);
  EXPECT_FALSE(sink->events[1].args[1].toBool());

  sink->cancel.insert(kBeforeSave);
  doc.call("SaveAs", scratch_ / "other.docx");
  EXPECT_EQ(sink->count(kBeforeSave), 3);
  EXPECT_FALSE(std::filesystem::exists(scratch_ / "other.docx"));
  EXPECT_EQ(doc.get("FullName").toString(), file);
}

TEST_F(OmEvents, SinksCanDisconnectAndOnlyTheEventInterfacesConnect) {
  EXPECT_FALSE(word.toObject()->advise("{00000000-0000-0000-0000-000000000000}", sink));
  auto second = std::make_shared<Recorder>();
  EXPECT_TRUE(word.toObject()->advise("{00020a01-0000-0000-c000-000000000046}", second));
  word.toObject()->unadvise(*cookie);
  doc.call("PrintOut");
  EXPECT_EQ(sink->count(kBeforePrint), 0);
  EXPECT_EQ(second->count(kBeforePrint), 1);
}

}  // namespace
