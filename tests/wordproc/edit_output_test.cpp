// What leaves a document window: prints and PDF files (with the before-print event and the
// program's refusal of guide lines), guides drawn on screen only, the save question on closing,
// shapes copied to other documents and instances, and the page set-up.
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPainter>
#include <filesystem>

#include "platform/UserInteraction.h"
#include "tests/wordproc/edit_support.h"
#include "tests/wordproc/ooxml_test_support.h"
#include "tests/wordproc/render_support.h"
#include "wordlink/AutoImpl.h"
#include "wordproc/Dialogs.h"
#include "wordproc/EditDialogs.h"
#include "wordproc/Render.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Layout.h"

using namespace edit_test;
using namespace wordproc;

namespace {

class EditOutput : public EditTest {
 protected:
  void SetUp() override {
    EditTest::SetUp();
    pdfs = scratch_ / "pdf";
    std::filesystem::create_directory(pdfs);
    setenv("VSP_PRINT_TO_PDF_DIR", pdfs.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("VSP_PRINT_TO_PDF_DIR");
    EditTest::TearDown();
  }
  int Printed() const {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(pdfs))
      n += entry.is_regular_file();
    return n;
  }

  std::string pdfs;
};

TEST_F(EditOutput, EveryPrintFromTheWindowRaisesBeforePrintWhichMayStopIt) {
  Variant doc = AddDocument();
  doc.get("Shapes").call("AddShape", 1, 72, 72, 100, 50);
  events->cancel.insert(kBeforePrint);
  Trigger(doc, "actionPrint");
  EXPECT_EQ(events->count(kBeforePrint), 1);
  EXPECT_EQ(Printed(), 0);
  const std::string pdf = scratch_ / "label.pdf";
  Trigger(doc, "actionPrintToPdf");
  EXPECT_EQ(events->count(kBeforePrint), 2);
  EXPECT_FALSE(std::filesystem::exists(pdf));
  EXPECT_TRUE(asked.empty()) << "a refused print asks the user nothing";

  events->cancel.clear();
  replies.push_back({kDialogOk});
  Trigger(doc, "actionPrint");
  EXPECT_EQ(Printed(), 1);
  replies.push_back({kDialogOk, pdf});
  Trigger(doc, "actionPrintToPdf");
  EXPECT_TRUE(std::filesystem::exists(pdf));
  EXPECT_EQ(events->count(kBeforePrint), 4);
}

TEST_F(EditOutput, GuideLinesAreRefusedWithTheProgramsMessageUnlessNamedOtherwise) {
  platform::ScriptedInteraction ui;
  platform::ScopedUI scoped(&ui);
  wordlink::TWordEventSink::Attach(nullptr, word);
  Variant doc = AddDocument();
  Variant guide = doc.get("Shapes").call("AddLine", 72, 300, 500, 300);
  guide.put("Name", "VSP_NONPRINTABLE_L1");
  Trigger(doc, "actionPrint");
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, wordlink::kNonPrintableMessage);
  Trigger(doc, "actionPrintToPdf");
  EXPECT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(Printed(), 0);
  EXPECT_TRUE(asked.empty()) << "the refusal comes before any dialog";

  guide.put("Name", "vsp_nonprintable_L1");  // the prefix counts only in capitals
  replies.push_back({kDialogOk});
  Trigger(doc, "actionPrint");
  EXPECT_EQ(Printed(), 1);
  EXPECT_EQ(ui.messages.size(), 2u);
}

bool Red(QColor c) {
  return c.red() > 200 && c.green() < 80 && c.blue() < 80;
}

bool Cyan(QColor c) {
  return c.blue() - c.red() > 60 && c.green() - c.red() > 40;
}

// Pixels of the rows about y that pass the test.
int Pixels(const QImage& image, int y, bool (*test)(QColor)) {
  int n = 0;
  for (int dy = -2; dy <= 2; ++dy)
    for (int x = 0; x < image.width(); ++x) n += test(image.pixelColor(x, y + dy));
  return n;
}

TEST(EditGuides, GuideShapesLookLikeGuidesOnScreenAndLikeThemselvesElsewhere) {
  render_test::EnsureApplication();
  auto doc = render_test::PlainDocument();
  for (auto [name, y] : {std::pair{"VSP_NONPRINTABLE_L1", 100.0f},
                         {"Line 2", 200.0f},
                         {"vsp_nonprintable_x", 300.0f}}) {
    auto line = render_test::NewShape(ShapeKind::Line, 100, y, 400, 0);
    line->name = name;
    line->line = ooxml_test::PlainLine(true, 4, DashStyle::Solid, 0xFF0000);
    render_test::Place(*doc, std::move(line));
  }
  Layout layout(*doc, FontMeasurer());
  QImage output = RenderPage(*doc, layout, 1, 600);
  QImage screen(600, 800, QImage::Format_RGB32);
  QPainter painter(&screen);
  PaintPage(painter, *doc, layout, 1, QRectF(0, 0, 600, 800), PaintMode::Screen);
  painter.end();
  EXPECT_GT(Pixels(output, 100, Red), 1000) << "paper gets the line as it is";
  EXPECT_EQ(Pixels(screen, 100, Red), 0);
  EXPECT_GT(Pixels(screen, 100, Cyan), 150) << "the screen shows a dashed guide";
  EXPECT_GT(Pixels(screen, 200, Red), 1000);
  EXPECT_GT(Pixels(screen, 300, Red), 1000) << "only the exact prefix marks a guide";
  EXPECT_EQ(Pixels(output, 100, Cyan) + Pixels(screen, 300, Cyan), 0);
}

TEST_F(EditOutput, ClosingTheWindowAsksToSaveOnlyAChangedDocument) {
  Variant untouched = AddDocument();
  Window(untouched)->close();
  EXPECT_TRUE(asked.empty());
  EXPECT_EQ(word.get("Documents").get("Count").toInt(), 0);

  Variant doc = AddDocument();
  doc.get("Shapes").call("AddShape", 1, 72, 72, 100, 50);
  doc.put("Saved", true);
  Click(Canvas(doc), At(doc, 100, 100));
  Key(Canvas(doc), Qt::Key_Down);
  QMainWindow* window = Window(doc);
  EXPECT_FALSE(window->close()) << "the question was cancelled";
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].kind, DialogKind::SaveChanges);
  replies.push_back({kDialogNo});
  window->close();
  EXPECT_EQ(word.get("Documents").get("Count").toInt(), 0);
}

TEST_F(EditOutput, ShapesCopiedInOneInstancePasteIntoAnotherWithNameAndSize) {
  Variant source = AddDocument();
  source.call("SaveAs", scratch_ / "source.docx");
  Variant logo = source.get("Shapes").call("AddShape", 5, 72, 90, 100, 50);
  logo.put("Name", "Логотип");
  logo.get("Fill").get("ForeColor").put("RGB", 0x00FF00);
  Variant other = om_test::NewWord();
  other.put("Visible", true);
  Variant target = other.get("Documents").call("Add");

  Click(Canvas(source), At(source, 100, 110));
  Trigger(source, "actionCopy");
  Trigger(target, "actionPaste");
  Variant pasted = target.get("Shapes").call("Item", 1);
  EXPECT_EQ(pasted.get("Name").toString(), "Логотип");
  EXPECT_EQ(pasted.get("Width").toFloat(), 100);
  EXPECT_EQ(pasted.get("Height").toFloat(), 50);
  EXPECT_EQ(pasted.get("AutoShapeType").toInt(), 5);
  EXPECT_EQ(pasted.get("Fill").get("ForeColor").get("RGB").toInt(), 0x00FF00);
  EXPECT_EQ(other.get("Selection").get("ShapeRange").get("Count").toInt(), 1);

  other.get("Selection").call("Paste");  // automation shares the clipboard with the windows
  EXPECT_EQ(target.get("Shapes").get("Count").toInt(), 2);
  EXPECT_EQ(target.get("Shapes").call("Item", 2).get("Name").toString(), "Логотип");

  Trigger(source, "actionCut");
  EXPECT_EQ(source.get("Shapes").get("Count").toInt(), 0);
  Trigger(source, "actionUndo");
  EXPECT_EQ(source.get("Shapes").call("Item", 1).get("Name").toString(), "Логотип");
  other.call("Quit", 0);
}

TEST(EditPageSetup, PresetsAndMillimetresBecomePointsAsFilesKeepThem) {
  auto a5 = ParsePageSetup("148,210", PageSetup{});
  ASSERT_TRUE(a5);
  EXPECT_FLOAT_EQ(a5->pageWidth, 419.55f);
  EXPECT_FLOAT_EQ(a5->pageHeight, 595.3f);
  EXPECT_EQ(a5->leftMargin, PageSetup{}.leftMargin) << "margins not given stay";
  EXPECT_EQ(PaperName(a5->pageHeight, a5->pageWidth), "A5");
  EXPECT_EQ(PaperName(612, 792), "Letter");
  EXPECT_EQ(PaperName(300, 300), "");
  EXPECT_FALSE(ParsePageSetup("10,10,6,6,0,0", PageSetup{})) << "no room between the margins";
  EXPECT_FALSE(ParsePageSetup("148", PageSetup{}));
  EXPECT_FALSE(ParsePageSetup("148,abc", PageSetup{}));

  auto color = ParseDialogAnswer("color=ok:#FF0000;pagesetup=ok:148,210;pdf=ok:/tmp/a.pdf",
                                 DialogKind::Color);
  ASSERT_TRUE(color);
  EXPECT_EQ(color->value, "#FF0000");
  EXPECT_EQ(ParseDialogAnswer("pagesetup=ok:148,210", DialogKind::PageSetup)->value, "148,210");
  EXPECT_EQ(ParseDialogAnswer("pdf=ok:/tmp/a.pdf", DialogKind::PdfFile)->fileName, "/tmp/a.pdf");
}

TEST(EditPageSetup, TheDialogChangesOnlyWhatTheUserChanged) {
  render_test::EnsureApplication();
  PageSetup current;
  current.topMargin = 70.9f;  // 25.01 mm: shown rounded, kept exact
  PageSetupDialog dialog(current);
  auto* preset = dialog.findChild<QComboBox*>("paperPreset");
  EXPECT_EQ(preset->currentText(), QStringLiteral("A4"));
  emit preset->activated(1);
  PageSetup a5 = dialog.result();
  EXPECT_FLOAT_EQ(a5.pageWidth, 419.55f);
  EXPECT_EQ(a5.topMargin, 70.9f);
  dialog.findChild<QCheckBox*>("landscape")->click();
  EXPECT_FLOAT_EQ(dialog.result().pageWidth, 595.3f);
  EXPECT_FLOAT_EQ(dialog.result().pageHeight, 419.55f);
  dialog.findChild<QDoubleSpinBox*>("paperWidth")->setValue(100);
  EXPECT_EQ(preset->currentText(), QStringLiteral("Особый"));
}

}  // namespace
