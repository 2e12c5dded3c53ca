// Shapes edited in a document window with the mouse, the keyboard and the properties panel:
// what automation and the saved file see afterwards, and undo and redo of every kind of edit.
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <cmath>

#include "tests/wordproc/edit_support.h"
#include "wordproc/core/Ooxml.h"

using namespace edit_test;

namespace {

using EditShapes = EditTest;

constexpr double kEmu = 1.0 / 12700;  // what a file keeps of a point

TEST_F(EditShapes, MouseMovesAndResizesAndTheSavedFileKeepsIt) {
  Variant doc = AddDocument();
  Variant box = doc.get("Shapes").call("AddShape", 1, 72, 72, 144, 72);
  auto* canvas = Canvas(doc);
  ASSERT_NE(canvas, nullptr);
  SetSnap(doc, false);
  const double s = Scale(doc), down = ScaleDown(doc);

  Drag(canvas, At(doc, 144, 108), At(doc, 144, 108) + QPointF(30, 15));
  EXPECT_NEAR(box.get("Left").toDouble(), 72 + 30 / s, 1e-3);
  EXPECT_NEAR(box.get("Top").toDouble(), 72 + 15 / down, 1e-3);
  EXPECT_FALSE(doc.get("Saved").toBool());

  const double left = box.get("Left").toDouble(), top = box.get("Top").toDouble();
  const QPointF corner = At(doc, left + 144, top + 72);
  Drag(canvas, corner, corner + QPointF(-24, 40));
  EXPECT_NEAR(box.get("Width").toDouble(), 144 - 24 / s, 1e-3);
  EXPECT_NEAR(box.get("Height").toDouble(), 72 + 40 / down, 1e-3);
  EXPECT_DOUBLE_EQ(box.get("Left").toDouble(), left) << "the opposite corner stays";

  SetSnap(doc, true);
  Drag(canvas, At(doc, left + 5, top + 5), At(doc, left + 5, top + 5) + QPointF(17, 23));
  EXPECT_NEAR(std::remainder(box.get("Left").toDouble(), Mm(1)), 0, 1e-3);
  EXPECT_NEAR(std::remainder(box.get("Top").toDouble(), Mm(1)), 0, 1e-3);

  const std::string path = scratch_ / "moved.docx";
  replies.push_back({wordproc::kDialogOk, path});
  Trigger(doc, "actionSave");
  EXPECT_EQ(events->count(kBeforeSave), 1);
  auto saved = wordproc::ReadPackage(path);
  ASSERT_EQ(saved->shapes.size(), 1u);
  const wordproc::Shape& kept = *saved->shapes[0].shape;
  EXPECT_NEAR(kept.left, box.get("Left").toDouble(), kEmu);
  EXPECT_NEAR(kept.top, box.get("Top").toDouble(), kEmu);
  EXPECT_NEAR(kept.width, box.get("Width").toDouble(), kEmu);
  EXPECT_NEAR(kept.height, box.get("Height").toDouble(), kEmu);
}

TEST_F(EditShapes, LinesAreResizedByTheirEndsAndMayTurnOver) {
  Variant doc = AddDocument();
  Variant line = doc.get("Shapes").call("AddLine", 100, 100, 200, 150);
  SetSnap(doc, false);
  Click(Canvas(doc), At(doc, 150, 125));
  const double s = Scale(doc);
  // The end drags past the start: the line now runs from right to left.
  Drag(Canvas(doc), At(doc, 200, 150), At(doc, 200, 150) - QPointF(150 * s, 0));
  EXPECT_NEAR(line.get("Left").toDouble(), 50, 1e-3);
  EXPECT_NEAR(line.get("Width").toDouble(), 50, 1e-3);
  EXPECT_NEAR(line.get("Height").toDouble(), 50, 1e-3);
  const auto& shape = *Model(doc).shapes[0].shape;
  EXPECT_TRUE(shape.flipH);
  EXPECT_FALSE(shape.flipV);
}

TEST_F(EditShapes, ArrowKeysStepOnTheGridAndUndoAsOneStep) {
  Variant doc = AddDocument();
  Variant box = doc.get("Shapes").call("AddShape", 1, Mm(20), Mm(30), Mm(40), Mm(10));
  auto* canvas = Canvas(doc);
  Click(canvas, At(doc, Mm(30), Mm(35)));
  for (int k = 0; k < 3; ++k) Key(canvas, Qt::Key_Right);
  Key(canvas, Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_NEAR(box.get("Left").toDouble(), Mm(23), 1e-3);
  EXPECT_NEAR(box.get("Height").toDouble(), Mm(11), 1e-3);
  Key(canvas, Qt::Key_Left, Qt::ControlModifier);
  EXPECT_NEAR(box.get("Left").toDouble(), Mm(22.9), 1e-3) << "Ctrl steps a tenth off the grid";

  Trigger(doc, "actionUndo");
  EXPECT_NEAR(box.get("Left").toDouble(), Mm(23), 1e-3);
  Trigger(doc, "actionUndo");
  EXPECT_NEAR(box.get("Height").toDouble(), Mm(10), 1e-3);
  Trigger(doc, "actionUndo");
  EXPECT_EQ(box.get("Left").toFloat(), float(Mm(20))) << "three steps undo as one, exactly";
}

// The window's history holds states from before automation's change: undoing it would put
// them back over that change, so the change drops the history, and later edits undo as usual.
TEST_F(EditShapes, UndoNeverRevertsWhatAutomationChangedSince) {
  Variant doc = AddDocument();
  Variant shapes = doc.get("Shapes");
  Variant box = shapes.call("AddShape", 1, 72, 72, 144, 72);
  Variant other = shapes.call("AddShape", 1, 300, 300, 50, 50);
  auto* canvas = Canvas(doc);
  QAction* undo = Window(doc)->findChild<QAction*>("actionUndo");
  ASSERT_NE(undo, nullptr);
  SetSnap(doc, false);
  Drag(canvas, At(doc, 144, 108), At(doc, 144, 108) + QPointF(30, 15));
  Click(canvas, At(doc, 144 + 30 / Scale(doc), 108));
  Trigger(doc, "actionBringForward");
  const double left = box.get("Left").toDouble();
  EXPECT_TRUE(undo->isEnabled());

  box.put("Width", 200);
  other.call("ZOrder", 0);
  EXPECT_FALSE(undo->isEnabled()) << "the history went with automation's change";
  Trigger(doc, "actionUndo");
  EXPECT_EQ(box.get("Width").toDouble(), 200);
  EXPECT_EQ(box.get("Left").toDouble(), left);
  EXPECT_EQ(Model(doc).shapes.back().shape->name, other.get("Name").toString());

  Drag(canvas, At(doc, left + 100, 108), At(doc, left + 100, 108) + QPointF(0, 40));
  const auto before = Dump(Model(doc));
  Trigger(doc, "actionUndo");
  EXPECT_EQ(box.get("Width").toDouble(), 200);
  EXPECT_EQ(box.get("Left").toDouble(), left);
  EXPECT_NEAR(box.get("Top").toDouble(), 72 + 15 / ScaleDown(doc), 1e-3) << "the later edit undone";
  Trigger(doc, "actionRedo");
  EXPECT_EQ(Dump(Model(doc)), before);
}

TEST_F(EditShapes, ClicksShiftClicksAndTheBandSelectWhatAutomationSees) {
  Variant doc = AddDocument();
  Variant shapes = doc.get("Shapes");
  shapes.call("AddShape", 1, 100, 100, 50, 50).put("Name", "A");
  shapes.call("AddShape", 9, 200, 100, 50, 50).put("Name", "B");
  shapes.call("AddShape", 1, 300, 100, 50, 50).put("Name", "C");
  auto* canvas = Canvas(doc);
  auto selected = [&] {
    Variant range = word.get("Selection").get("ShapeRange");
    std::string names;
    for (int k = 1; k <= range.get("Count").toInt(); ++k)
      names += range.call("Item", k).get("Name").toString();
    return names;
  };
  Drag(canvas, At(doc, 90, 90), At(doc, 260, 160));
  EXPECT_EQ(selected(), "AB") << "the band takes the shapes it covers wholly";
  Click(canvas, At(doc, 325, 125), Qt::ShiftModifier);
  EXPECT_EQ(selected(), "ABC");
  Click(canvas, At(doc, 125, 125), Qt::ShiftModifier);
  EXPECT_EQ(selected(), "BC");
  Click(canvas, At(doc, 500, 500));
  EXPECT_NE(word.get("Selection").get("Type").toInt(), 8) << "no shape is selected";
  shapes.call("Item", "C").call("Select");
  auto* name = Window(doc)->findChild<QLineEdit*>("shapeName");
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name->text(), QStringLiteral("C")) << "a selection made by automation shows";
}

TEST_F(EditShapes, TextOnACircleIsASealRingToEdit) {
  Variant doc = AddDocument();
  Trigger(doc, "actionInsertTextCircle");
  Click(Canvas(doc), At(doc, Mm(20), Mm(20)));
  Variant ring = doc.get("Shapes").call("Item", 1);
  EXPECT_EQ(ring.get("TextEffect").get("PresetShape").toInt(), 11);
  EXPECT_EQ(ring.get("TextEffect").get("Text").toString(), "ТЕКСТ ПО КРУГУ");
  EXPECT_NEAR(ring.get("Width").toDouble(), Mm(40), 1e-3);
  EXPECT_NEAR(ring.get("Height").toDouble(), Mm(40), 1e-3);
}

TEST_F(EditShapes, DrawnShapesGetTheirKindNameAndExtent) {
  Variant doc = AddDocument();
  auto* canvas = Canvas(doc);
  Trigger(doc, "actionInsertOval");
  Drag(canvas, At(doc, Mm(10), Mm(10)), At(doc, Mm(50), Mm(30)));
  Variant oval = doc.get("Shapes").call("Item", 1);
  EXPECT_EQ(oval.get("AutoShapeType").toInt(), 9);
  EXPECT_EQ(oval.get("Name").toString(), "Oval " + std::to_string(oval.get("Id").toInt()));
  EXPECT_NEAR(oval.get("Width").toDouble(), Mm(40), 1e-3);
  EXPECT_NEAR(oval.get("Height").toDouble(), Mm(20), 1e-3);

  Trigger(doc, "actionInsertLine");
  Click(canvas, At(doc, Mm(10), Mm(100)));
  Variant line = doc.get("Shapes").call("Item", 2);
  EXPECT_EQ(line.get("Type").toInt(), 9);
  EXPECT_NEAR(line.get("Width").toDouble(), Mm(40), 1e-3);
  EXPECT_EQ(line.get("Height").toDouble(), 0);

  QImage image(80, 40, QImage::Format_RGB32);
  image.fill(Qt::darkGreen);
  ASSERT_TRUE(image.save(QString::fromStdString(scratch_ / "logo.png")));
  replies.push_back({wordproc::kDialogOk, scratch_ / "logo.png"});
  Trigger(doc, "actionInsertPicture");
  Click(canvas, At(doc, Mm(100), Mm(100)));
  Variant picture = doc.get("Shapes").call("Item", 3);
  EXPECT_EQ(picture.get("Type").toInt(), 13);
  EXPECT_FLOAT_EQ(picture.get("Width").toFloat(), 60) << "natural size at 96 pixels per inch";

  Trigger(doc, "actionInsertTextBox");
  Click(canvas, At(doc, Mm(10), Mm(150)));
  EXPECT_EQ(doc.get("Shapes").call("Item", 4).get("Type").toInt(), 17);
  EXPECT_NE(Canvas(doc)->textEditor(), nullptr) << "a new text box waits for its text";
}

TEST_F(EditShapes, ThePanelEditsTheSelectedShapeInMillimetres) {
  Variant doc = AddDocument();
  Variant box = doc.get("Shapes").call("AddShape", 1, 72, 72, 144, 72);
  Click(Canvas(doc), At(doc, 100, 100));
  QMainWindow* window = Window(doc);
  auto* name = window->findChild<QLineEdit*>("shapeName");
  name->setText(QStringLiteral("Рамка"));
  Key(name, Qt::Key_Return);
  EXPECT_EQ(box.get("Name").toString(), "Рамка");
  window->findChild<QDoubleSpinBox*>("shapeWidth")->setValue(50);
  EXPECT_NEAR(box.get("Width").toDouble(), Mm(50), 1e-3);
  window->findChild<QDoubleSpinBox*>("shapeLeft")->setValue(10);
  EXPECT_NEAR(box.get("Left").toDouble(), Mm(10), 1e-3);
  window->findChild<QCheckBox*>("fillVisible")->setChecked(false);
  EXPECT_FALSE(box.get("Fill").get("Visible").toBool());
  replies.push_back({wordproc::kDialogOk, {}, "#FF0000"});
  window->findChild<QPushButton*>("lineColor")->click();
  EXPECT_EQ(box.get("Line").get("ForeColor").get("RGB").toInt(), 255) << "red in the low byte";

  box.put("Top", 144);  // automation moves it; the panel follows
  EXPECT_NEAR(window->findChild<QDoubleSpinBox*>("shapeTop")->value(), 50.8, 0.01);
}

// Every kind of edit, then all undone and redone: each step restores the document exactly.
TEST_F(EditShapes, UndoAndRedoRestoreEveryEditExactly) {
  Variant doc = AddDocument();
  Variant shapes = doc.get("Shapes");
  shapes.call("AddShape", 1, 100, 100, 100, 50).put("Name", "A");
  Variant text = shapes.call("AddTextbox", 1, 100, 300, 200, 60);
  text.get("TextFrame").get("TextRange").put("Text", "Старый текст");
  auto* canvas = Canvas(doc);
  QMainWindow* window = Window(doc);
  SetSnap(doc, false);
  std::vector<std::string> states{Dump(Model(doc))};
  auto step = [&] { states.push_back(Dump(Model(doc))); };
  // Shape A's corners as they stand now; it is taken out and put back by several edits.
  auto corner = [&](double fx, double fy) {
    for (const auto& anchored : Model(doc).shapes) {
      const auto& s = *anchored.shape;
      if (s.name == "A") return At(doc, s.left + fx * s.width, s.top + fy * s.height);
    }
    return QPointF();
  };

  Drag(canvas, corner(0.5, 0.5), corner(0.5, 0.5) + QPointF(40, 20)), step();
  Drag(canvas, corner(1, 1), corner(1, 1) + QPointF(30, 30)), step();
  window->findChild<QDoubleSpinBox*>("lineWeight")->setValue(3), step();
  Trigger(doc, "actionInsertRectangle");
  Drag(canvas, At(doc, 300, 100), At(doc, 400, 150)), step();
  Click(canvas, corner(0.1, 0.1), Qt::ShiftModifier);
  Trigger(doc, "actionGroup"), step();
  Trigger(doc, "actionUngroup"), step();
  Click(canvas, corner(0.1, 0.1));
  Trigger(doc, "actionBringForward"), step();
  DoubleClick(canvas, At(doc, 150, 330));
  ASSERT_NE(canvas->textEditor(), nullptr);
  Type(canvas->textEditor(), QStringLiteral(" и новый"));
  Key(canvas->textEditor(), Qt::Key_Escape), step();
  Click(canvas, corner(0.1, 0.1));
  Trigger(doc, "actionDelete"), step();
  replies.push_back({wordproc::kDialogOk, {}, "148,210,10,10,10,10"});
  Trigger(doc, "actionPageSetup"), step();

  ASSERT_EQ(states.size(), 11u);
  for (std::size_t k = 1; k < states.size(); ++k)
    EXPECT_NE(states[k], states[k - 1]) << "step " << k << " changed nothing";
  for (std::size_t k = states.size() - 1; k > 0; --k) {
    Trigger(doc, "actionUndo");
    EXPECT_EQ(Dump(Model(doc)), states[k - 1]) << "undoing step " << k;
  }
  for (std::size_t k = 1; k < states.size(); ++k) {
    Trigger(doc, "actionRedo");
    EXPECT_EQ(Dump(Model(doc)), states[k]) << "redoing step " << k;
  }
}

TEST_F(EditShapes, GroupsMoveAsOneAndUngroupWhereTheyStand) {
  Variant doc = AddDocument();
  Variant shapes = doc.get("Shapes");
  shapes.call("AddShape", 1, 100, 100, 50, 50).put("Name", "A");
  shapes.call("AddShape", 1, 200, 150, 50, 50).put("Name", "B");
  auto* canvas = Canvas(doc);
  SetSnap(doc, false);
  Drag(canvas, At(doc, 90, 90), At(doc, 260, 210));
  Trigger(doc, "actionGroup");
  ASSERT_EQ(shapes.get("Count").toInt(), 1);
  Variant group = shapes.call("Item", 1);
  EXPECT_EQ(group.get("Type").toInt(), 6);
  // Its right edge dragged to twice the width: members spread out and grow with it.
  const double s = Scale(doc);
  Drag(canvas, At(doc, 250, 150), At(doc, 250, 150) + QPointF(150 * s, 0));
  EXPECT_NEAR(group.get("Width").toDouble(), 300, 1e-3);
  Trigger(doc, "actionUngroup");
  ASSERT_EQ(shapes.get("Count").toInt(), 2);
  EXPECT_NEAR(shapes.call("Item", "B").get("Left").toDouble(), 300, 1e-3);
  EXPECT_NEAR(shapes.call("Item", "B").get("Width").toDouble(), 100, 1e-3);
  EXPECT_NEAR(shapes.call("Item", "A").get("Top").toDouble(), 100, 1e-3);

  Click(canvas, At(doc, 110, 110));
  Trigger(doc, "actionBringForward");
  EXPECT_EQ(shapes.call("Item", 2).get("Name").toString(), "A");
  Trigger(doc, "actionBringForward");
  EXPECT_EQ(shapes.call("Item", 2).get("Name").toString(), "A") << "already in front";
}

}  // namespace
