// Renders the panel as the user first sees it and as it looks in the list view, into PNG files
// of the build folder, for a person to look at; the checks keep the pictures from going blank.
#include <QAction>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QTabWidget>
#include <filesystem>

#include "UiSupport.h"
#include "app/uCommon.h"
#include "labels/ProductDatabase.h"
#include "ui/SheetPreview.h"
#include "ui/ufmAbout.h"
#include "ui/ufmGroupPrintWizard.h"
#include "ui/ufmNewSheetTemplate.h"
#include "ui/ufmPrinterCalibration.h"
#include "ui/ufmRewriteDlg.h"
#include "ui/ufmSaveDocs.h"

namespace ui_test {
namespace {

namespace fs = std::filesystem;
using labels::MmToPoints;

const std::string kShots = VSP_BIN_DIR "/../ui-screenshots/";

std::string Save(QWidget& widget, const std::string& name) {
  fs::create_directories(kShots);
  const std::string path = kShots + name;
  EXPECT_TRUE(widget.grab().save(QString::fromStdString(path)));
  return path;
}

class Screenshot : public UiTest {};

TEST_F(Screenshot, PanelWithThumbnailsAndTheListView) {
  ui::TfmMain& w = Open();
  SelectFile(w.sgMyGlyphs, "a.doc");
  QImage shot(QString::fromStdString(Save(w, "main-window.png")));
  ASSERT_EQ(shot.width(), ui::TfmMain::kPanelWidth);
  // The glyph rows are drawn in their own blue somewhere in the grid.
  const QPoint inGrid = w.sgMyGlyphs->viewport()->mapTo(&w, QPoint(10, 5));
  EXPECT_EQ(shot.pixelColor(inGrid), QColor(0xA6, 0xCA, 0xF0));

  w.PageControl->setCurrentWidget(w.tsMySheets);
  Settle();
  Save(w, "main-window-sheets.png");
  w.aViewList->trigger();
  Settle();
  Save(w, "main-window-list.png");

  w.aViewThumbnails->trigger();
  SelectFile(w.sgMySheets, "s2.doc");
  w.aEditSheet->trigger();
  Settle();
  Save(w, "main-window-open-docs.png");
}

TEST_F(Screenshot, GroupPrintWizardBesideThePanel) {
  ui::TfmMain& w = Open();
  ui::TfmGroupPrintWizard wizard(w);
  w.GroupPrintWizard = &wizard;
  for (const char* glyph : {"a.doc", "b.doc"}) {
    SelectFile(w.sgMyGlyphs, glyph);
    w.aGlyphSendToGroup->trigger();
  }
  Settle();
  QImage shot(QString::fromStdString(Save(wizard, "group-print-wizard.png")));
  EXPECT_EQ(shot.width(), ui::TfmGroupPrintWizard::kWidth);
  wizard.close();
}

TEST_F(Screenshot, SmallDialogs) {
  ui::TfmAbout about;
  Save(about, "about.png");
  ui::TForm1 overwrite;
  Save(overwrite, "overwrite.png");
  ui::TfmSaveDocs exit;
  exit.Label1->setText("Из программы было открыто 2 документов. \nВыберите ваши действия:");
  QImage shot(QString::fromStdString(Save(exit, "exit.png")));
  EXPECT_EQ(shot.size(), QSize(304, 245));
}

TEST_F(Screenshot, LabelProductDialogs) {
  const auto products = labels::ProductDatabase::Load({}, true);
  ui::TfmNewSheetTemplate sheet(products, {"Визитки", "Этикетки"}, "Этикетки");
  sheet.edSearch->setText("L7160");
  sheet.show();
  Settle();
  QImage shot(QString::fromStdString(Save(sheet, "new-sheet-template.png")));
  // The preview draws the first label in its own blue.
  const QPointF label = sheet.preview->ToWidget(MmToPoints(7.2 + 30), MmToPoints(15.1 + 20));
  EXPECT_EQ(shot.pixelColor(sheet.preview->mapTo(&sheet, label.toPoint())),
            QColor(0xE8, 0xF0, 0xFB));
  ui::TfmPrinterCalibration calibration({"Офис"});
  calibration.show();
  Settle();
  Save(calibration, "printer-calibration.png");
}

}  // namespace
}  // namespace ui_test
