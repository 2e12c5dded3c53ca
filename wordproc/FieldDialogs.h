// The dialogs of a document window that make and change fields: «Поле…» (a merge field, the
// date or a number in sequence, with a format) and «Штрихкод…» (the type, fixed data or a merge
// field, height and scale). Each answers with the field's instruction; a scripted answer (see
// Dialogs.h, kinds "field" and "barcode") gives the instruction itself.
#pragma once

#include <QDialog>
#include <optional>
#include <string>
#include <utility>

#include "wordproc/core/Model.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QSpinBox;

namespace wordproc {

class FieldDialog : public QDialog {
  Q_OBJECT

 public:
  // current: the instruction of the field being changed, or empty for a new one.
  FieldDialog(const std::string& current, QWidget* parent = nullptr);
  std::string instruction() const;

 private:
  void kindChosen();

  QComboBox *kind_, *format_;
  QLineEdit* name_;
};

class BarcodeDialog : public QDialog {
  Q_OBJECT

 public:
  BarcodeDialog(const std::string& current, QWidget* parent = nullptr);
  std::string instruction() const;

 private:
  QComboBox* type_;
  QLineEdit* data_;
  QCheckBox *merge_, *text_;
  QDoubleSpinBox* height_;
  QSpinBox* scale_;
};

// A new field at the end of a text box's text, its result worked out (a barcode whose data
// does not fit its type shows why).
void AppendField(Shape& shape, const std::string& instruction);
// A new field's code and its result, worked out as AppendField works them out.
std::pair<FieldPtr, std::string> NewField(const std::string& instruction);
// The instruction of the first field of a shape's text, or nothing.
std::optional<std::string> FirstFieldInstruction(const Shape& shape);
// Gives the first field of the shape's text the instruction and works its result out again.
void ChangeFirstField(Shape& shape, const std::string& instruction);

std::optional<std::string> AskField(QWidget* parent, const std::string& document,
                                    const std::string& current);
std::optional<std::string> AskBarcode(QWidget* parent, const std::string& document,
                                      const std::string& current);

}  // namespace wordproc
