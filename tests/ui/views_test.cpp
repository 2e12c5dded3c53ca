// The catalogue grids: filling, the selected entry's info line and command states, the mouse,
// the row heights of the two views and a new category.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <cmath>
#include <ctime>
#include <filesystem>

#include <utime.h>

#include "UiSupport.h"
#include "app/uCommon.h"
#include "wordlink/Automation.h"
#include "wordproc/core/Converter.h"

namespace ui_test {
namespace {

namespace fs = std::filesystem;
using Views = UiTest;

void ChooseCategory(QComboBox* box, const std::string& name) {
  const int index = box->findText(QString::fromStdString(name));
  ASSERT_GE(index, 0) << name;
  box->setCurrentIndex(index);
  emit box->activated(index);
  Settle();
}

void RightClick(ui::TStringGrid* grid, int y) {
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(40, y),
                    grid->viewport()->mapToGlobal(QPointF(40, y)), Qt::RightButton, Qt::RightButton,
                    Qt::NoModifier);
  QApplication::sendEvent(grid->viewport(), &press);
}

TEST_F(Views, EmptyTabsHideTheirGridsAndDisableTheirCommands) {
  fs::remove_all(data + "Листы/Визитки");
  fs::create_directories(data + "Оттиски/Пусто/Мои оттиски");
  ui::TfmMain& w = Open();
  ChooseCategory(w.cbGlyphCategory, "Пусто");
  EXPECT_TRUE(w.sgMyGlyphs->isHidden());
  EXPECT_FALSE(w.aEditGlyph->isEnabled());
  EXPECT_FALSE(w.aGlyphOpen->isEnabled());
  EXPECT_FALSE(w.aPrint->isEnabled());
  EXPECT_EQ(w.laGlyphInfo->text(), "");
  w.PageControl->setCurrentWidget(w.tsMySheets);
  EXPECT_TRUE(w.sgMySheets->isHidden());
  EXPECT_FALSE(w.aEditSheet->isEnabled());
  EXPECT_FALSE(w.aSheetOpen->isEnabled());
}

TEST_F(Views, CommandStatesFollowTheKindOfTheSelectedEntryAndItsTemplates) {
  ui::TfmMain& w = Open();
  SelectFile(w.sgMyGlyphs, "a.doc");
  for (QAction* on : {w.aGlyphClone, w.aQuickPrint, w.aPrint, w.aEditGlyph, w.aGlyphSendToGroup})
    EXPECT_TRUE(on->isEnabled()) << on->objectName().toStdString();
  EXPECT_TRUE(w.edNumberToPrint->isEnabled());
  EXPECT_TRUE(w.udNumberToPrint->isEnabled());
  EXPECT_EQ(Items(w.cbPaperSize), (std::vector<std::string>{"A4"}));
  EXPECT_FALSE(w.aEndEdit->isEnabled());

  ChooseCategory(w.cbGlyphCategory, "Этикетки");
  EXPECT_EQ(Items(w.cbPaperSize), (std::vector<std::string>{"<нет шаблонов для категории>"}));
  EXPECT_EQ(w.cbPaperSize->currentData().toInt(), -5);
  for (QAction* on : {w.aPrint, w.aEditGlyph, w.aGlyphSendToGroup})
    EXPECT_TRUE(on->isEnabled()) << on->objectName().toStdString();
  EXPECT_TRUE(w.cbPaperSize->isEnabled());
  EXPECT_FALSE(w.aGlyphClone->isEnabled());
  EXPECT_FALSE(w.aQuickPrint->isEnabled());
  EXPECT_FALSE(w.edNumberToPrint->isEnabled());
  EXPECT_FALSE(w.udNumberToPrint->isEnabled());
  EXPECT_EQ(w.lbPages->text(), "") << "no page count without a template";

  w.PageControl->setCurrentWidget(w.tsMySheets);
  SelectFile(w.sgMySheets, "s2.doc");
  EXPECT_TRUE(w.aPrint->isEnabled());
  EXPECT_TRUE(w.aEditSheet->isEnabled());
  EXPECT_TRUE(w.btExtractGlyph->isEnabled());
  for (QAction* off : {w.aGlyphClone, w.aQuickPrint, w.aEditGlyph, w.aGlyphSendToGroup})
    EXPECT_FALSE(off->isEnabled()) << off->objectName().toStdString();
  EXPECT_FALSE(w.edNumberToPrint->isEnabled());
  EXPECT_FALSE(w.cbPaperSize->isEnabled());
}

TEST_F(Views, InfoLineShowsTheFileNameAndDateInTheUserFormats) {
  std::tm moment{};
  moment.tm_year = 2008 - 1900, moment.tm_mon = 2, moment.tm_mday = 5;
  moment.tm_hour = 14, moment.tm_min = 22, moment.tm_sec = 10, moment.tm_isdst = -1;
  const std::time_t when = std::mktime(&moment);
  utimbuf times{when, when};
  ASSERT_EQ(utime((data + "Оттиски/Визитки/Мои оттиски/a.doc").c_str(), &times), 0);
  ui::TfmMain& w = Open();
  SelectFile(w.sgMyGlyphs, "a.doc");
  EXPECT_EQ(w.laGlyphInfo->text().toStdString(), "a.doc, создан 05.03.2008, 14:22:10");
}

TEST_F(Views, RightClickSelectsTheRowUnderThePointerOnly) {
  ui::TfmMain& w = Open();
  w.aViewList->trigger();
  w.PageControl->setCurrentWidget(w.tsMySheets);
  Settle();
  ASSERT_EQ(w.sgMySheets->Tag, 4);
  EXPECT_EQ(w.sgMySheets->Row(), 0);
  RightClick(w.sgMySheets, w.sgMySheets->CellRect(1, 2).center().y());
  EXPECT_EQ(w.sgMySheets->Row(), 2);
  EXPECT_EQ(w.laSheetInfo->text().left(6), "s3.doc") << "the usual selection handling ran";
  RightClick(w.sgMySheets, w.sgMySheets->CellRect(1, 3).bottom() + 20);
  EXPECT_EQ(w.sgMySheets->Row(), 2);
}

// The texts an info line shows while it paints.
class PaintedTexts : public QObject {
 public:
  explicit PaintedTexts(QLabel* label) : label_(label) { label->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) texts.push_back(label_->text().toStdString());
    return false;
  }
  std::vector<std::string> texts;

 private:
  QLabel* label_;
};

TEST_F(Views, BinaryGlyphsGetTheirThumbnailsInAPassThatShowsItsProgress) {
  if (wordproc::FindOffice().empty()) GTEST_SKIP() << "LibreOffice is not installed";
  {
    Variant word = wordlink::CreateOleObject("Word.Application");
    for (const char* name : {"Мои оттиски/a.doc", "Коллекция оттисков/b.doc"}) {
      const std::string path = data + "Оттиски/Визитки/" + name;
      Variant doc = word.get("Documents").call("Open", path);
      doc.call("SaveAs", path, 0);
      doc.call("Close", 0);
    }
    word.call("Quit", 0);
  }
  ui::TfmMain& w = Open();
  ui::TStringGrid* grid = w.sgMyGlyphs;
  ASSERT_EQ(grid->Tag, 2);
  for (int row = 0; row < 2; ++row) {
    ASSERT_TRUE(grid->Object(row)->Thumbnail);
    EXPECT_EQ(grid->Object(row)->Thumbnail->Width(), catalogue::kThumbnailWidth);
  }

  // Shown again without their thumbnails, they are made again, the count going along.
  for (int row = 0; row < 2; ++row) grid->Object(row)->DropThumbnail();
  const QString info = w.laGlyphInfo->text();
  PaintedTexts painted(w.laGlyphInfo);
  w.aViewThumbnails->trigger();
  EXPECT_NE(std::find(painted.texts.begin(), painted.texts.end(), "Подготовка эскизов: 1 из 2"),
            painted.texts.end());
  for (int row = 0; row < 2; ++row) EXPECT_TRUE(grid->Object(row)->Thumbnail);
  EXPECT_EQ(w.laGlyphInfo->text(), info) << "the info line is given back";
  EXPECT_TRUE(w.pbar->isHidden());
  EXPECT_EQ(Messages(), "");
}

TEST_F(Views, RowHeightsFollowTheViewAndTheDrawing) {
  ui::TfmMain& w = Open();
  ui::TStringGrid* grid = w.sgMyGlyphs;
  grid->grab();
  ASSERT_TRUE(grid->Object(0)->Thumbnail) << "drawing the row made its thumbnail";
  const catalogue::TBitmap& thumb = *grid->Object(0)->Thumbnail;
  const int room = grid->ColWidth(1) + 1 - 2 * 20;
  const int drawn = int(std::nearbyint(thumb.Height() * double(room) / thumb.Width())) + 39;
  EXPECT_EQ(grid->RowHeight(0), drawn);

  w.aViewList->trigger();
  for (int row = 0; row < grid->Tag; ++row) EXPECT_EQ(grid->RowHeight(row), 16);
  w.aViewThumbnails->trigger();
  EXPECT_EQ(grid->RowHeight(0), thumb.Height() + 26);
  grid->grab();
  EXPECT_EQ(grid->RowHeight(0), drawn);
}

TEST_F(Views, NewCategoryIsAskedForCreatedAndListedInItsPlace) {
  ui::TfmMain& w = Open();
  answers.push_back([](QDialog& dialog) {
    auto& input = dynamic_cast<QInputDialog&>(dialog);
    EXPECT_EQ(input.windowTitle(), "Varnel Stampora");
    EXPECT_EQ(input.labelText(), "Введите название новой категории оттисков:");
    input.setTextValue("Наклейки");
    input.accept();
  });
  ChooseCategory(w.cbGlyphCategory, "Добавить новую категорию...");
  EXPECT_TRUE(fs::is_directory(data + "Оттиски/Наклейки"));
  EXPECT_EQ(Items(w.cbGlyphCategory),
            (std::vector<std::string>{"Все", "Визитки", "Наклейки", "Этикетки",
                                      "Добавить новую категорию..."}));
  EXPECT_EQ(w.cbGlyphCategory->currentIndex(), 0);

  answers.push_back(Cancel());
  ChooseCategory(w.cbGlyphCategory, "Добавить новую категорию...");
  EXPECT_EQ(w.cbGlyphCategory->currentIndex(), 0);
  EXPECT_EQ(w.cbGlyphCategory->count(), 5);
}

}  // namespace
}  // namespace ui_test
