// Preset shapes drawn from the insert menu's «Фигуры», and the panel's rotation: what automation,
// the saved file and LibreOffice make of them.
#include <QDoubleSpinBox>
#include <QImage>
#include <QMenu>
#include <set>

#include "tests/wordproc/edit_support.h"
#include "tests/wordproc/ooxml_test_support.h"
#include "wordproc/Render.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Geometry.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Ooxml.h"

using namespace edit_test;
using namespace wordproc;

namespace {

using EditPresets = EditTest;

bool IsRed(QRgb c) {
  return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60;
}
bool IsWhite(QRgb c) {
  return qRed(c) > 235 && qGreen(c) > 235 && qBlue(c) > 235;
}

// Every entry draws its own preset, which automation names by its number and the file keeps.
TEST_F(EditPresets, EveryMenuPresetIsDrawnSavedAndReadBack) {
  Variant doc = AddDocument();
  auto* menu = Window(doc)->findChild<QMenu*>("menuInsertShapes");
  ASSERT_NE(menu, nullptr);
  std::vector<std::string> inserted;
  for (QAction* action : menu->actions()) {
    if (action->isSeparator()) continue;
    const std::string name = action->objectName().toStdString();
    const std::string preset = name.substr(name.find('_') + 1);
    ASSERT_NE(geometry::Preset(preset), nullptr) << name;
    EXPECT_FALSE(action->text().isEmpty());
    action->trigger();
    const double x = 10 + 45 * double(inserted.size() % 4),
                 y = 10 + 35 * double(inserted.size() / 4);
    Click(Canvas(doc), At(doc, Mm(x), Mm(y)));
    inserted.push_back(preset);
    Variant shape = doc.get("Shapes").call("Item", int(inserted.size()));
    EXPECT_EQ(shape.get("AutoShapeType").toInt(), geometry::MsoNumberOfPreset(preset)) << preset;
    EXPECT_EQ(shape.get("Type").toInt(), 1);
  }
  EXPECT_GE(inserted.size(), 20u);
  EXPECT_EQ(std::set<std::string>(inserted.begin(), inserted.end()).size(), inserted.size());
  const Shape& star = *Model(doc).shapes.front().shape;
  EXPECT_EQ(star.preset, "star5");
  EXPECT_TRUE(star.adjusts.empty()) << "the preset's own defaults";
  EXPECT_NEAR(star.width, Mm(30), 1e-3) << "stars are drawn square";
  EXPECT_NEAR(star.height, Mm(30), 1e-3);

  const std::string path = scratch_ / "presets.docx";
  replies.push_back({kDialogOk, path});
  Trigger(doc, "actionSaveAs");
  auto saved = ReadPackage(path);
  ASSERT_EQ(saved->shapes.size(), inserted.size());
  for (std::size_t k = 0; k < inserted.size(); ++k)
    EXPECT_EQ(saved->shapes[k].shape->preset, inserted[k]);
}

// A red star, drawn by us and by LibreOffice from our file: its middle is red, the box's
// corners between the rays stay white.
TEST_F(EditPresets, LibreOfficeDrawsTheInsertedStar) {
  if (!ooxml_test::HaveProgram("soffice") || !ooxml_test::HaveProgram("pdftoppm"))
    GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
  Variant doc = AddDocument();
  SetSnap(doc, false);
  Trigger(doc, "actionInsertShape_star5");
  Click(Canvas(doc), At(doc, 100, 100));
  Variant star = doc.get("Shapes").call("Item", 1);
  star.get("Fill").get("ForeColor").put("RGB", 255);
  const double side = star.get("Width").toDouble();
  const QPoint middle(int(100 + side / 2), int(100 + side / 2));
  const QPoint corner(int(100 + side / 10), int(100 + side / 10));

  Layout layout(Model(doc), FontMeasurer());
  const QImage ours = RenderPage(Model(doc), layout, 1, 595);
  EXPECT_TRUE(IsRed(ours.pixel(middle)));
  EXPECT_TRUE(IsWhite(ours.pixel(corner)));

  const std::string path = scratch_ / "star.docx";
  replies.push_back({kDialogOk, path});
  Trigger(doc, "actionSaveAs");
  const std::string pdf = ooxml_test::ConvertWithLibreOffice(path, "pdf", scratch_ / "pdf");
  ASSERT_FALSE(pdf.empty()) << "LibreOffice did not open the file";
  const std::string stem = scratch_ / "there";
  ooxml_test::RunAndCapture("pdftoppm -r 72 -png -singlefile " + ooxml_test::Quote(pdf) + " " +
                            ooxml_test::Quote(stem));
  const QImage theirs = QImage(QString::fromStdString(stem + ".png"));
  ASSERT_FALSE(theirs.isNull());
  EXPECT_TRUE(IsRed(theirs.pixel(middle))) << std::hex << theirs.pixel(middle);
  EXPECT_TRUE(IsWhite(theirs.pixel(corner))) << std::hex << theirs.pixel(corner);
}

// The box turns every selected shape as one undoable step and follows what automation sets.
TEST_F(EditPresets, ThePanelTurnsTheSelectionWithUndo) {
  Variant doc = AddDocument();
  Variant shapes = doc.get("Shapes");
  Variant a = shapes.call("AddShape", 92, 72, 72, 100, 100);
  Variant b = shapes.call("AddShape", 1, 300, 72, 100, 50);
  b.put("Rotation", 10);
  SetSnap(doc, false);
  auto* rotation = Window(doc)->findChild<QDoubleSpinBox*>("shapeRotation");
  ASSERT_NE(rotation, nullptr);
  EXPECT_FALSE(rotation->isEnabled()) << "nothing selected";

  Click(Canvas(doc), At(doc, 350, 97));
  EXPECT_TRUE(rotation->isEnabled());
  EXPECT_DOUBLE_EQ(rotation->value(), 10);
  Click(Canvas(doc), At(doc, 122, 122), Qt::ShiftModifier);
  rotation->setValue(32.5);
  EXPECT_DOUBLE_EQ(a.get("Rotation").toDouble(), 32.5);
  EXPECT_DOUBLE_EQ(b.get("Rotation").toDouble(), 32.5);

  Trigger(doc, "actionUndo");
  EXPECT_DOUBLE_EQ(a.get("Rotation").toDouble(), 0);
  EXPECT_DOUBLE_EQ(b.get("Rotation").toDouble(), 10);
  EXPECT_DOUBLE_EQ(rotation->value(), 10) << "the box shows the first selected shape again";
  Trigger(doc, "actionRedo");
  EXPECT_DOUBLE_EQ(b.get("Rotation").toDouble(), 32.5);

  b.put("Rotation", -90);  // automation turns it back a quarter; the box follows
  EXPECT_DOUBLE_EQ(rotation->value(), 270);
  b.put("Rotation", 359.97);
  EXPECT_DOUBLE_EQ(rotation->value(), 0) << "what rounds to a whole turn is none";
  rotation->stepUp();
  EXPECT_NEAR(b.get("Rotation").toDouble(), 1, 1e-6);
  rotation->setValue(0.1);
  rotation->stepDown();
  EXPECT_NEAR(b.get("Rotation").toDouble(), 359.1, 1e-4) << "steps wrap past a whole turn";
}

}  // namespace
