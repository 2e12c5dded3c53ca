// Label products in the panel: a new sheet template chosen from the products or typed in, a
// start position on a partly used sheet in both print boxes, and printer calibration, up to a
// sheet printed from position 5 with a corrected printer.
#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <filesystem>

#include "UiSupport.h"
#include "app/PrinterCalibration.h"
#include "app/uCommon.h"
#include "tests/common/PdfWords.h"
#include "ui/SheetPreview.h"
#include "ui/ufmGroupPrintWizard.h"
#include "ui/ufmNewSheetTemplate.h"
#include "ui/ufmPrinterCalibration.h"
#include "wordlink/uExtAppDocument.h"

namespace ui_test {
namespace {

namespace fs = std::filesystem;
constexpr double kMm = 72 / 25.4;

class Products : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    // The built-in products only, whatever is installed.
    setenv("VSP_LABEL_TEMPLATE_DIRS", (dir + "no-products").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("VSP_LABEL_TEMPLATE_DIRS");
    UiTest::TearDown();
  }
  template <class Dialog>
  static Dialog& As(QDialog& dialog) {
    auto* typed = qobject_cast<Dialog*>(&dialog);
    EXPECT_NE(typed, nullptr) << dialog.windowTitle().toStdString();
    return *typed;
  }
  // Answers the new-template dialog: the product found by the text is saved.
  static std::function<void(QDialog&)> SaveProduct(const std::string& search) {
    return [search](QDialog& dialog) {
      auto& d = As<ui::TfmNewSheetTemplate>(dialog);
      d.edSearch->setText(QString::fromStdString(search));
      ASSERT_EQ(d.lvProducts->rowCount(), 1);
      ASSERT_TRUE(d.preview->Sheet().has_value());
      EXPECT_EQ(d.preview->Sheet()->labels.size(), 21u);
      d.btSave->click();
    };
  }
  // Answers the calibration dialog for PDF output: prints the sheet into the file, then
  // stores the correction of the deviations measured.
  std::function<void(QDialog&)> Calibrate(double right, double down) {
    return [right, down](QDialog& dialog) {
      auto& d = As<ui::TfmPrinterCalibration>(dialog);
      d.cbPrinter->setCurrentText("PDF");
      d.btPrintSheet->click();
      d.edDeviationX->setValue(right);
      d.edDeviationY->setValue(down);
      d.btSave->click();
      d.btClose->click();
    };
  }
  std::vector<std::string> Pdfs() const {
    std::vector<std::string> files;
    for (const auto& f : fs::directory_iterator(dir + "pdf")) files.push_back(f.path().string());
    std::sort(files.begin(), files.end());
    return files;
  }
};

TEST_F(Products, ATemplateChosenFromTheProductsIsOfferedAtOnce) {
  ui::TfmMain& w = Open();
  SelectFile(w.sgMyGlyphs, "a.doc");
  answers.push_back(SaveProduct("l7160"));
  w.aSheetTemplateNew->trigger();
  Settle();
  EXPECT_TRUE(fs::exists(data + "Оттиски/Визитки/Шаблон_Avery L7160.doc"))
      << "the selected glyph's category";
  EXPECT_EQ(Items(w.cbPaperSize), (std::vector<std::string>{"A4", "Avery L7160"}));
  EXPECT_EQ(w.cbPaperSize->currentText(), "Avery L7160");
  w.edNumberToPrint->setText("25");
  EXPECT_EQ(w.lbPages->text(), "2") << "21 labels a sheet";
  EXPECT_EQ(w.edStartPosition->maximum(), 21);
  EXPECT_EQ(Messages(), "");
}

TEST_F(Products, SizesThatDoNotFitTheSheetCannotBeSaved) {
  ui::TfmMain& w = Open();
  answers.push_back([](QDialog& dialog) {
    auto& d = As<ui::TfmNewSheetTemplate>(dialog);
    EXPECT_EQ(d.cbCategory->currentText(), "Визитки") << "the first category when none is chosen";
    d.tabs->setCurrentIndex(1);
    EXPECT_TRUE(d.btSave->isEnabled()) << "the sizes offered at first fit";
    EXPECT_EQ(d.edPaperName->text(), "70x37 3x8");
    EXPECT_EQ(d.preview->Sheet()->labels.size(), 24u);
    d.edColumns->setValue(4);
    EXPECT_FALSE(d.btSave->isEnabled());
    EXPECT_EQ(d.laProblem->text(), "этикетки выходят за край листа на 70 мм");
    EXPECT_FALSE(d.preview->Sheet().has_value());
    d.edPaperName->setText("свой/лист");
    emit d.edPaperName->textEdited(d.edPaperName->text());
    d.edColumns->setValue(3);
    EXPECT_FALSE(d.btSave->isEnabled()) << d.laProblem->text().toStdString();
    d.btCancel->click();
  });
  w.aSheetTemplateNew->trigger();
  Settle();
  EXPECT_FALSE(fs::exists(data + "Оттиски/Визитки/Шаблон_70x37 3x8.doc"));
}

TEST_F(Products, BothPrintBoxesCountTheEmptyPositionsOfTheFirstSheet) {
  ui::TfmMain& w = Open();
  SelectFile(w.sgMyGlyphs, "a.doc");
  EXPECT_TRUE(w.edStartPosition->isEnabled());
  w.edNumberToPrint->setText("9");
  EXPECT_EQ(w.lbPages->text(), "1");
  w.edStartPosition->setValue(5);
  EXPECT_EQ(w.lbPages->text(), "2") << "4 empty and 9 labels on sheets of 12";
  w.edStartPosition->setValue(40);
  EXPECT_EQ(w.edStartPosition->value(), 12) << "no position beyond the template's";

  ui::TfmGroupPrintWizard wizard(w);
  w.GroupPrintWizard = &wizard;
  w.aGlyphSendToGroup->trigger();
  Settle();
  wizard.edNumberToPrint->setText("9");
  EXPECT_EQ(wizard.lbPages->text(), "1");
  wizard.edStartPosition->setValue(5);
  EXPECT_EQ(wizard.lbPages->text(), "2");
  wizard.close();

  w.PageControl->setCurrentWidget(w.tsMySheets);
  SelectFile(w.sgMySheets, "s1.doc");
  EXPECT_FALSE(w.edStartPosition->isEnabled());
}

TEST_F(Products, CalibrationPrintsItsSheetAndStoresTheCorrection) {
  ui::TfmMain& w = Open();
  answers.push_back(Calibrate(-1.5, 0.5));
  answers.push_back(ChooseFile(dir + "калибровка.pdf"));
  w.aPrinterCalibration->trigger();
  Settle();
  EXPECT_EQ(app::ReadPrinterOffset("PDF"), (app::TPrinterOffset{1.5, -0.5}));
  const Variant options = app::AppController->Instance(0)->Application.get("Options");
  EXPECT_NEAR(options.call("PrinterOffsetHorizontal", "PDF").toFloat(), 1.5 * kMm, 1e-4)
      << "the running word processor prints with it at once";
  ASSERT_TRUE(fs::exists(dir + "калибровка.pdf"));
  if (!pdf_test::HavePdfToText()) return;
  const auto words = pdf_test::PdfWords(dir + "калибровка.pdf");
  EXPECT_TRUE(
      std::any_of(words.begin(), words.end(), [](auto& w) { return w.text == "калибровки"; }));
}

// The whole way: Avery L7160 from the dialog, a 1.5 mm correction, cloning from position 5,
// printing; every word is where the uncorrected print had it, 1.5 mm right and down.
TEST_F(Products, ASheetFromPositionFivePrintsWithTheCorrection) {
  if (!pdf_test::HavePdfToText()) GTEST_SKIP() << "pdftotext is not installed";
  ui::TfmMain& w = Open();
  SelectFile(w.sgMyGlyphs, "a.doc");
  answers.push_back(SaveProduct("Avery L7160"));
  w.aSheetTemplateNew->trigger();
  w.edNumberToPrint->setText("3");
  w.edStartPosition->setValue(5);
  w.aGlyphClone->trigger();
  Settle();
  ASSERT_EQ(w.sgOpenDocs->Tag, 1);
  w.aPrint->trigger();
  Settle();
  answers.push_back(Calibrate(-1.5, -1.5));
  answers.push_back(ChooseFile(dir + "калибровка.pdf"));
  w.aPrinterCalibration->trigger();
  w.aPrint->trigger();
  Settle();
  const auto printed = Pdfs();
  ASSERT_EQ(printed.size(), 2u);
  const auto plain = pdf_test::PdfWords(printed[0]), moved = pdf_test::PdfWords(printed[1]);
  ASSERT_EQ(plain.size(), 3u * 2) << "three copies of the two-word glyph on one sheet";
  // Label 5 is the second of the second row: 7.2 + 66 mm from the left, 15.1 + 38.1 mm down.
  EXPECT_GT(plain[0].xMin, (7.2 + 66) * kMm);
  EXPECT_LT(plain[0].xMax, (7.2 + 66 + 63.5) * kMm);
  EXPECT_GT(plain[0].yMin, (15.1 + 38.1) * kMm);
  EXPECT_LT(plain[0].yMax, (15.1 + 2 * 38.1) * kMm);
  ASSERT_EQ(moved.size(), plain.size());
  for (std::size_t k = 0; k < plain.size(); ++k) {
    EXPECT_NEAR(moved[k].xMin - plain[k].xMin, 1.5 * kMm, 0.02) << plain[k].text;
    EXPECT_NEAR(moved[k].yMin - plain[k].yMin, 1.5 * kMm, 0.02) << plain[k].text;
  }
  EXPECT_EQ(Messages(), "");
}

}  // namespace
}  // namespace ui_test
