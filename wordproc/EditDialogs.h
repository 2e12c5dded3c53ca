// The dialogs of a document window. Each takes a scripted answer first (see Dialogs.h), so tests
// and scripted runs never wait for a person; otherwise it shows its window.
#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "wordproc/core/Model.h"

class QComboBox;
class QCheckBox;
class QDoubleSpinBox;
class QPushButton;

namespace wordproc {

// Paper size and margins in millimetres, from the presets or custom.
class PageSetupDialog : public QDialog {
  Q_OBJECT

 public:
  PageSetupDialog(const PageSetup& setup, QWidget* parent = nullptr);
  PageSetup result() const;

 private:
  void buildForm();
  void choosePreset(int index);
  void turn();
  void sizeEdited();

  QComboBox* preset_;
  QCheckBox* landscape_;
  QDoubleSpinBox *width_, *height_, *top_, *bottom_, *left_, *right_;
  QPushButton* ok_;
  PageSetup setup_;
};

// Millimetres as points the way a file keeps them: whole twips.
float MillimetresToPoints(double mm);
double PointsToMillimetres(double points);
// The preset the size matches in either orientation ("A4", "A5", "Letter"), or empty.
std::string PaperName(float width, float height);
// A scripted page set-up answer: "width,height" or "width,height,top,bottom,left,right" in
// millimetres; nothing when it is malformed or the page would have no room.
std::optional<PageSetup> ParsePageSetup(const std::string& value, const PageSetup& current);

std::optional<PageSetup> AskPageSetup(QWidget* parent, const std::string& document,
                                      const PageSetup& current);
std::optional<Rgb> AskColor(QWidget* parent, const std::string& document, Rgb current);
std::optional<std::string> AskPictureFile(QWidget* parent, const std::string& document);
std::optional<std::string> AskPdfFile(QWidget* parent, const std::string& document,
                                      const std::string& suggested);

}  // namespace wordproc
