// The properties of the selected shapes, for a document window's side panel: name, position and
// size on the page in millimetres, rotation, line, fill and visibility. Position, size and name
// belong to a single shape; rotation, formats and visibility go to every selected shape.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "wordproc/EditSession.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QPushButton;

namespace wordproc {

class EditPanel : public QWidget {
  Q_OBJECT

 public:
  explicit EditPanel(EditSession& session, QWidget* parent = nullptr);
  // Shows the selection as the document has it now.
  void refresh();

 private:
  QWidget* shapeBox();
  QWidget* geometryBox();
  QWidget* lineBox();
  QWidget* fillBox();
  void connectEdits();
  void refreshList();
  void display(const Shape& shape, const RectF& onPage);
  void edit(ShapeEdit kind, const std::function<void(Shape&)>& change, bool allSelected = true);
  void placeOnPage(bool horizontal, double mm);
  void resize(bool horizontal, double mm);
  void pickColour(bool line);

  EditSession& session_;
  QComboBox* list_;
  QLineEdit* name_;
  QCheckBox* visible_;
  QDoubleSpinBox *left_, *top_, *width_, *height_;
  QDoubleSpinBox* rotation_;
  QCheckBox* lineVisible_;
  QDoubleSpinBox* lineWeight_;
  QComboBox* dash_;
  QPushButton* lineColour_;
  QCheckBox* fillVisible_;
  QPushButton* fillColour_;
  std::vector<QWidget*> single_, formats_;
  std::vector<std::pair<std::uint32_t, std::string>> listed_;
  bool showing_ = false;  // while widgets take the document's values, their signals are not edits
};

}  // namespace wordproc
