// "Новый шаблон листа": a sheet template for a glyph category made from a label product found
// by brand, part, description or size, or from sizes the user types, with a live picture of
// the sheet. Saving writes "Шаблон_<paper>.doc" into the category's folder of glyphs.
#pragma once

#include <QDialog>
#include <optional>
#include <string>
#include <vector>

#include "labels/ProductDatabase.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTabWidget;

namespace ui {

class TSheetPreview;

class TfmNewSheetTemplate : public QDialog {
  Q_OBJECT
 public:
  // categories: the glyph categories to choose from; category: the one chosen at first.
  TfmNewSheetTemplate(labels::ProductDatabase products, const std::vector<std::string>& categories,
                      const std::string& category, QWidget* parent = nullptr);

  QComboBox* cbCategory;
  QTabWidget* tabs;
  QLineEdit* edSearch;
  QTableWidget* lvProducts;
  QDoubleSpinBox *edSheetWidth, *edSheetHeight, *edLabelWidth, *edLabelHeight;
  QDoubleSpinBox *edOriginX, *edOriginY, *edPitchX, *edPitchY, *edRadius;
  QSpinBox *edColumns, *edRows;
  QComboBox* cbShape;
  QLineEdit* edPaperName;
  QLabel* laProblem;
  TSheetPreview* preview;
  QPushButton *btSave, *btCancel;

  // After a save: the category and paper name the template was written for, and its file.
  std::string SavedCategory, SavedPaper, SavedFile;

  void edSearchChange();
  void lvProductsSelect();
  void ParametersChange();
  void btSaveClick();

 private:
  QWidget* CreateProductsTab();
  QWidget* CreateParametersTab();
  QDoubleSpinBox* Millimetres(const char* name, double value);
  void CreateButtons();
  const labels::Product* SelectedProduct() const;
  std::optional<labels::Product> ChosenProduct(std::string& problem) const;
  labels::SheetParameters Parameters() const;
  void Refresh();
  void SuggestPaperName(const std::string& name);
  bool ConfirmReplace(const std::string& path);

  labels::ProductDatabase products_;
  std::vector<const labels::Product*> shown_;
  bool paperTyped_ = false;
};

// Runs the dialog over the program's data folder and product files; the saved template's
// category and paper name, or nothing when the user closed it without saving.
std::optional<std::pair<std::string, std::string>> RunNewSheetTemplate(QWidget* parent,
                                                                       const std::string& category);

}  // namespace ui
