// The group print wizard: page counts over the group, the one-category rule, emptying the
// group, and printing only what is already open.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <filesystem>

#include "UiSupport.h"
#include "app/uCommon.h"
#include "ui/DistributePrintBox.h"
#include "ui/ufmGroupPrintWizard.h"
#include "wordlink/uExtAppDocument.h"

namespace ui_test {
namespace {

namespace fs = std::filesystem;

class Wizard : public UiTest {
 protected:
  ui::TfmGroupPrintWizard& OpenWithWizard() {
    ui::TfmMain& w = Open();
    wizard = std::make_unique<ui::TfmGroupPrintWizard>(w);
    w.GroupPrintWizard = wizard.get();
    return *wizard;
  }
  void Send(const std::string& fileName, const char* category = "Визитки") {
    QComboBox* box = window->cbGlyphCategory;
    const int index = box->findText(category);
    if (index != box->currentIndex()) {
      box->setCurrentIndex(index);
      emit box->activated(index);
      Settle();
    }
    SelectFile(window->sgMyGlyphs, fileName);
    window->aGlyphSendToGroup->trigger();
    Settle();
  }
  void TearDown() override {
    wizard.reset();
    UiTest::TearDown();
  }
  std::unique_ptr<ui::TfmGroupPrintWizard> wizard;
};

TEST_F(Wizard, PagesCountEveryGlyphOfEverySet) {
  ui::TfmGroupPrintWizard& wz = OpenWithWizard();
  EXPECT_TRUE(wz.isHidden());
  Send("a.doc");
  Send("b.doc");
  ASSERT_TRUE(wz.isVisible());
  ASSERT_EQ(wz.GlyphCount, 2);
  EXPECT_EQ(wz.Category, "Визитки");
  EXPECT_EQ(wz.sg->Row(), 1) << "the glyph sent last is current";
  EXPECT_TRUE(wz.aGlyphClone->isEnabled());
  wz.sg->item(0, ui::TfmGroupPrintWizard::kCountColumn)->setText("2");
  wz.edNumberToPrint->setText("2");
  EXPECT_EQ(wz.lbPages->text(), "1") << "(3 x 2 - 1) div 12 + 1";
  wz.edNumberToPrint->setText("5");
  EXPECT_EQ(wz.lbPages->text(), "2") << "(3 x 5 - 1) div 12 + 1";
  wz.sg->item(1, ui::TfmGroupPrintWizard::kCountColumn)->setText("10");
  EXPECT_EQ(wz.lbPages->text(), "5") << "an edited count counts at once";
  wz.sg->item(0, ui::TfmGroupPrintWizard::kCountColumn)->setText("x");
  wz.sg->item(1, ui::TfmGroupPrintWizard::kCountColumn)->setText("0");
  EXPECT_EQ(wz.lbPages->text(), "1") << "with nothing to place a set still starts a sheet";
  wz.edNumberToPrint->setText("");
  EXPECT_EQ(wz.lbPages->text(), "0");
  EXPECT_EQ(Messages(), "") << "wrong numbers count as 0 without a word";
}

// The editor a count cell opens, and the keys typed into it.
QLineEdit* EditCount(ui::TfmGroupPrintWizard& wz, int row) {
  wz.sg->setCurrentCell(row, ui::TfmGroupPrintWizard::kCountColumn);
  wz.sg->editItem(wz.sg->item(row, ui::TfmGroupPrintWizard::kCountColumn));
  Settle();
  return wz.sg->viewport()->findChild<QLineEdit*>();
}

void TypeKeys(QLineEdit* editor, const QString& keys) {
  for (QChar key : keys) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, key);
    QApplication::sendEvent(editor, &press);
  }
}

TEST_F(Wizard, PagesFollowTheTypingInACountCellBeforeEnter) {
  ui::TfmGroupPrintWizard& wz = OpenWithWizard();
  Send("a.doc");
  Send("b.doc");
  wz.edNumberToPrint->setText("5");
  EXPECT_EQ(wz.lbPages->text(), "1") << "(2 x 5 - 1) div 12 + 1";
  QLineEdit* editor = EditCount(wz, 0);
  ASSERT_NE(editor, nullptr);
  editor->selectAll();
  TypeKeys(editor, "4");
  EXPECT_EQ(wz.lbPages->text(), "3") << "(5 x 5 - 1) div 12 + 1, with the cell still open";
  TypeKeys(editor, "0");
  EXPECT_EQ(wz.lbPages->text(), "18") << "(41 x 5 - 1) div 12 + 1";
  editor->setCursorPosition(1);
  TypeKeys(editor, "2");
  EXPECT_EQ(editor->text(), "420");
  EXPECT_EQ(editor->cursorPosition(), 2) << "typing in the middle stays in the middle";
  EXPECT_EQ(wz.lbPages->text(), "176") << "(421 x 5 - 1) div 12 + 1";
}

TEST_F(Wizard, GridIsSilverBelowItsRows) {
  ui::TfmGroupPrintWizard& wz = OpenWithWizard();
  Send("a.doc");
  ASSERT_TRUE(wz.sg->isVisible());
  const QImage picture = wz.sg->viewport()->grab().toImage();
  const int belowRows = wz.sg->rowViewportPosition(0) + wz.sg->rowHeight(0) + 10;
  ASSERT_LT(belowRows, picture.height());
  for (int x : {5, picture.width() / 2, picture.width() - 5})
    EXPECT_EQ(picture.pixelColor(x, belowRows), QColor(0xC0, 0xC0, 0xC0)) << x;
}

// Every caption of the print box shows in full, every control lies inside the box and on no
// other, at the width both windows give the box.
void ExpectPrintBoxFits(QGroupBox* group) {
  auto* box = dynamic_cast<ui::TDistributePrintBox*>(group);
  ASSERT_NE(box, nullptr);
  const std::vector<QWidget*> controls = {
      box->la1,          box->edNumberToPrint, box->udNumberToPrint,
      box->la3,          box->lbPages,         box->la2,
      box->cbPaperSize,  box->laStartPosition, box->edStartPosition,
      box->btGlyphClone, box->btQuickPrint,    box->btPrint};
  auto placed = [&](QWidget* control) {
    return QRect(control->mapTo(box, QPoint(0, 0)), control->size());
  };
  for (QWidget* control : controls) {
    const std::string name = control->objectName().toStdString();
    EXPECT_TRUE(box->contentsRect().contains(placed(control))) << name << " sticks out";
    if (const auto* label = qobject_cast<QLabel*>(control)) {
      EXPECT_GE(label->width(), label->sizeHint().width()) << name << " is clipped";
    }
    if (const auto* button = qobject_cast<QPushButton*>(control)) {
      const QString caption = QString(button->text()).remove('&');
      EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(caption) + 12)
          << name << " is clipped";
    }
    for (QWidget* other : controls) {
      if (other != control) {
        EXPECT_FALSE(placed(control).intersects(placed(other)))
            << name << " lies on " << other->objectName().toStdString();
      }
    }
  }
}

// The panel's font, DejaVu Sans where no narrower font is installed (a fresh machine), and a
// font so large that the print buttons need a row of their own.
TEST_F(Wizard, PrintBoxesShowEveryCaptionAtThePanelWidthInAnyOfItsFonts) {
  ui::TfmGroupPrintWizard& wz = OpenWithWizard();
  Send("a.doc");
  for (QPushButton* button : {wz.btGlyphClone, wz.btQuickPrint, wz.btPrint})
    EXPECT_FALSE(button->text().isEmpty());
  const QFont panel = wz.pDistributePrint->font();
  for (const QFont& font : {panel, QFont("DejaVu Sans", 8), QFont("DejaVu Sans", 11)}) {
    SCOPED_TRACE(font.family().toStdString() + " " + std::to_string(font.pointSize()));
    for (QGroupBox* box : {wz.pDistributePrint, window->pDistributePrint}) {
      box->setFont(font);
      Settle();
      ExpectPrintBoxFits(box);
    }
  }
  EXPECT_EQ(wz.width(), ui::TfmGroupPrintWizard::kWidth);
  EXPECT_GT(wz.btPrint->y(), wz.btGlyphClone->y()) << "the large font takes two rows";
}

TEST_F(Wizard, AGlyphOfAnotherCategoryIsRefused) {
  ui::TfmGroupPrintWizard& wz = OpenWithWizard();
  Send("a.doc");
  Send("c.doc", "Этикетки");
  EXPECT_EQ(wz.GlyphCount, 1);
  EXPECT_EQ(wz.Category, "Визитки");
  EXPECT_EQ(wz.sg->Object(0)->Path.find("c.doc"), std::string::npos);
  EXPECT_EQ(Messages(),
            "\tВы не можете добавлять оттиски из разных категорий!\n"
            "Выбранная категория: \"Визитки\"\n"
            "Чтобы добавить этот оттиск, вам необходимо закрыть Мастер групповой печати.\n");
}

TEST_F(Wizard, RemovingTheLastGlyphEmptiesTheGroup) {
  ui::TfmGroupPrintWizard& wz = OpenWithWizard();
  Send("a.doc");
  Send("a.doc");
  EXPECT_EQ(wz.GlyphCount, 2) << "the same glyph may be sent twice";
  wz.aDelFromGrid->trigger();
  EXPECT_EQ(wz.GlyphCount, 1);
  EXPECT_TRUE(wz.isVisible());
  wz.aDelFromGrid->trigger();
  EXPECT_EQ(wz.GlyphCount, 0);
  EXPECT_TRUE(wz.isHidden());
  EXPECT_EQ(wz.Category, "");
  Send("c.doc", "Этикетки");
  EXPECT_EQ(wz.GlyphCount, 1) << "a new group takes any category";
  EXPECT_EQ(wz.Category, "Этикетки");
  EXPECT_FALSE(wz.aGlyphClone->isEnabled()) << "that category has no template";
  EXPECT_EQ(Messages(), "");
}

TEST_F(Wizard, CloningFillsEverySetOfTheGroup) {
  ui::TfmGroupPrintWizard& wz = OpenWithWizard();
  Send("a.doc");
  Send("b.doc");
  wz.sg->item(0, ui::TfmGroupPrintWizard::kCountColumn)->setText("2");
  wz.edNumberToPrint->setText("2");
  wz.aGlyphClone->trigger();
  Settle();
  EXPECT_EQ(Messages(), "");
  ASSERT_EQ(window->sgOpenDocs->Tag, 1);
  const catalogue::TPreviewItemPtr sheet = window->sgOpenDocs->Object(0);
  wordlink::TExtAppDocument* doc = app::AppController->FindDocument(sheet->FullPath());
  ASSERT_NE(doc, nullptr);
  int copies = 0;
  const Variant shapes = doc->Document.get("Shapes");
  for (int i = 1; i <= shapes.get("Count").toInt(); ++i)
    copies += shapes.call("Item", i).get("Name").toString().rfind("VSP_CLONED_", 0) == 0;
  EXPECT_EQ(copies, 6) << "(2 + 1) glyphs in each of 2 sets";
}

TEST_F(Wizard, QuickPrintLeavesAGlyphThatIsNotOpenAlone) {
  ui::TfmGroupPrintWizard& wz = OpenWithWizard();
  Send("a.doc");
  wz.aQuickPrint->trigger();
  wz.aPrint->trigger();
  Settle();
  const fs::path prints = dir + "pdf";
  EXPECT_TRUE(!fs::exists(prints) || fs::is_empty(prints));
  EXPECT_EQ(window->sgOpenDocs->Tag, 0) << "nothing is opened for printing";
}

}  // namespace
}  // namespace ui_test
