// The group print wizard: glyphs of one category, each with a count, cloned together onto
// sheets as many sets as the user asks for. A non-modal window beside the main panel; the
// panel's send-to-group command fills it and the panel's cloning and drawing serve it.
#pragma once

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "clone/uClone.h"
#include "ui/StringGrid.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;

namespace ui {

class FramePlacement;
class TfmMain;
class TDistributePrintBox;

class TfmGroupPrintWizard : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kWidth = 324;
  static constexpr int kCountColumn = 2;
  static constexpr const char* kOtherCategoryMessage =
      "Вы не можете добавлять оттиски из разных категорий!\nВыбранная категория: \"%1\"\n"
      "Чтобы добавить этот оттиск, вам необходимо закрыть Мастер групповой печати.";

  explicit TfmGroupPrintWizard(TfmMain& main, QWidget* parent = nullptr);

  QGroupBox* gbGroup;
  QLabel *laNumber, *laGlyph, *laCount, *laGlyphInfo;
  TStringGrid* sg;
  QGroupBox* pDistributePrint;
  QLabel *la1, *la2, *la3, *lbPages, *laStartPosition;
  QLineEdit* edNumberToPrint;
  TUpDown* udNumberToPrint;
  QComboBox* cbPaperSize;
  QSpinBox* edStartPosition;
  QPushButton *btGlyphClone, *btQuickPrint, *btPrint;
  QAction *aGlyphClone, *aQuickPrint, *aPrint, *aDelFromGrid;
  QMenu* PopupMenu;

  int GlyphCount = 0;
  std::string Category;
  std::vector<cloning::TPaperSize> PaperSizes;

  void FormCreate();
  void FormClose();
  catalogue::TPreviewItem* EntryAtRow(int row = -1);
  void sgSelectCell(int row);
  void sgDrawCell(int col, int row, const QRect& rect, QPainter& canvas);
  void sgMouseDown(const QPoint& pos);
  void sgSetEditText(int col);
  void edNumberToPrintChange();
  void RecalculateNumberOfPages();
  void aGlyphCloneExecute();
  void aQuickPrintExecute();
  void aPrintExecute();
  void aDelFromGridExecute();

  // The rows' glyphs with their counts and data.
  cloning::TCloneParams Glyphs() const;
  // The main window's send-to-group command on its selected entry.
  void SendGlyph(const catalogue::TPreviewItemPtr& entry);
  // Puts the wizard's frame at the right edge of the panel's frame, as tall as it.
  void PlaceBeside(const QRect& panelFrame);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateGroupBox();
  void CreateDistributePrint();
  void CreateCommands();
  QAction* Command(const char* name, const char* caption, void (TfmGroupPrintWizard::*run)());
  void TakeCategory(const std::string& category);
  void AppendRow(const catalogue::TPreviewItemPtr& entry);
  void PlaceBesideMain();
  void ShowInfo(const catalogue::TPreviewItem* entry);
  void PrintCurrent(bool quick);
  int SelectedPaper() const;
  int CountAt(int row) const;
  void DataChosen();

  TfmMain& main_;
  TDistributePrintBox* printBox_ = nullptr;
  FramePlacement* frame_;
  bool filling_ = false;  // rows set by the program are no selection by the user
  int mainRight_ = -1;    // where the wizard goes, remembered with the first glyph
  // Each glyph's own data, row by row; the print box shows the selected row's.
  std::vector<std::shared_ptr<const datasource::TDataSource>> rowData_;
};

}  // namespace ui
