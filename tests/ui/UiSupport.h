// The panel's tests drive the real window under the offscreen platform against a data folder
// made for each test, with the embedded word processor behind it. Dialogs are answered from a
// queue the test fills; message boxes go to the message log.
#pragma once

#include <gtest/gtest.h>

#include <QDialog>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/QtInteraction.h"
#include "ui/ufmMain.h"
#include "wordlink/Automation.h"

namespace ui_test {

using wordlink::Variant;

// Builds documents through a word processor instance of its own, as a user's would be saved.
class DocumentMaker {
 public:
  DocumentMaker();
  ~DocumentMaker();
  // A 90 x 50 mm glyph with a frame and a text box.
  void Glyph(const std::string& path, const std::string& text);
  // An A4 sheet template with `positions` label rectangles in two columns.
  void Template(const std::string& path, int positions);
  void Sheet(const std::string& path);

 private:
  Variant word_;
};

// A sample catalogue: glyph categories Визитки (with the template Шаблон_A4.doc of 12 positions;
// a.doc and b.doc) and Этикетки (no template; c.doc), and the sheet category Визитки with
// s1.doc, s2.doc, s3.doc and the template sheet t.dot.
void MakeSampleCatalogue(const std::string& dataFolder);

// Creates the application on the platform QT_QPA_PLATFORM names (offscreen when none), with
// Qt's Russian texts and the embedded word processor, once per process; the first test that
// needs it starts it, so that a test can prepare a display first.
void StartApplication();

// Lets the window system's pending work (activation, painting) run.
void Settle();

class UiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Creates the window over the data folder, shows it and lets its first activation run.
  ui::TfmMain& Open();
  std::string Messages() const;

  // Answers for the next dialogs, in order; a dialog without an answer fails the test.
  std::deque<std::function<void(QDialog&)>> answers;
  static std::function<void(QDialog&)> Press(const char* button);
  static std::function<void(QDialog&)> ChooseFile(const std::string& path);
  static std::function<void(QDialog&)> Type(const std::string& text);
  static std::function<void(QDialog&)> Cancel();

  // Selects the row with the given file name on a catalogue grid; fails when there is none.
  int SelectFile(ui::TStringGrid* grid, const std::string& fileName);
  static std::vector<std::string> Items(const QComboBox* box);
  // The visible window of the word processor, or null.
  static QWidget* WordWindow();

  std::string dir;         // scratch folder of the test, with a trailing separator
  std::string data;        // the data folder
  std::string tempFolder;  // the program's temporary folder
  ui::QtInteraction interaction;
  std::unique_ptr<ui::TfmMain> window;
};

}  // namespace ui_test
