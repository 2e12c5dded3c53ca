// Character and paragraph formats for a document window: font family, size, bold, italic,
// colour and alignment. They go to the text being edited in place, or, when nothing is being
// edited, to all the text of the selected text boxes.
#pragma once

#include <QToolBar>
#include <cstdint>
#include <functional>
#include <vector>

#include "wordproc/EditCanvas.h"
#include "wordproc/EditSession.h"

class QAction;
class QActionGroup;
class QDoubleSpinBox;
class QFontComboBox;

namespace wordproc {

class EditFormatBar : public QToolBar {
  Q_OBJECT

 public:
  EditFormatBar(EditSession& session, EditCanvas& canvas, QWidget* parent = nullptr);
  // Shows the format at the cursor, or of the first selected text box.
  void refresh();

 private:
  QAction* addToggle(const char* name, const QString& text, const QKeySequence& keys);
  void addAlignment(const char* name, const QString& text, Alignment alignment);
  std::vector<std::uint32_t> textBoxes();
  void apply(const QTextCharFormat& partial, const std::function<void(RunFormat&)>& edit);
  void align(Alignment alignment);
  void pickColour();
  void display(const RunFormat& format, Alignment alignment);

  EditSession& session_;
  EditCanvas& canvas_;
  QFontComboBox* family_;
  QDoubleSpinBox* size_;
  QAction *bold_, *italic_, *colour_;
  QActionGroup* alignments_;
  bool showing_ = false;
};

}  // namespace wordproc
