// The cloning tests run the real embedded word processor on real files in a scratch data
// folder; these helpers build glyphs and templates through automation, as a user's Word would
// have saved them, and stand in for the main window.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "catalogue/uPreviewList.h"
#include "clone/uClone.h"
#include "platform/UserInteraction.h"
#include "tests/support/Scratch.h"
#include "wordlink/Automation.h"
#include "wordlink/uExtAppController.h"

namespace clone_test {

using wordlink::Variant;

// A fresh data folder ending with the separator.
std::string NewDataFolder();
using test_support::FilesIn;
using test_support::ReadFile;
using test_support::WriteFile;

struct Rect {
  float left, top, width, height;
};
struct Line {
  float x1, y1, x2, y2;
  float weight;
  int dash;
};

// A glyph page of the given size with an oval named tag + " oval" (when tag is not empty).
void MakeGlyph(const Variant& word, const std::string& path, const std::string& tag,
               float side = 113.4f);
// A glyph whose only content is an inline picture of the given size.
void MakeInlinePictureGlyph(const std::string& path, float width, float height);
// An A4 sheet template: rectangles for positions, then the lines.
void MakeTemplate(const Variant& word, const std::string& path, const std::vector<Rect>& positions,
                  const std::vector<Line>& lines = {});
// Positions in a column, 150 points apart.
std::vector<Rect> Column(int count, float width = 200, float height = 100);

// Stands in for the main window: documents open as the program opens them, progress is
// counted, and the scripted user interaction answers the questions.
class TestHost : public cloning::CloneHost {
 public:
  explicit TestHost(std::string dataFolder);
  ~TestHost() override;

  wordlink::TExtAppController& Controller() override { return *controller; }
  std::string DataFolder() override { return dataFolder_; }
  catalogue::TPreviewList& PreviewList() override { return list; }
  wordlink::TExtAppDocument* EditItem(catalogue::TPreviewItem& entry) override;
  void BeginProgress(const std::string& text, int max) override;
  void StepProgress() override { ++steps; }
  void EndProgress() override { ++ended; }

  std::unique_ptr<wordlink::TExtAppController> controller;
  catalogue::TPreviewList list;
  std::vector<std::string> edited;  // full paths given to EditItem
  std::string progressText;
  int progressMax = -1, steps = 0, ended = 0;

 private:
  std::string dataFolder_;
};

// Every test gets a scratch data folder, a host and a scripted user; the embedded word
// processor is registered and a GUI application exists for its fonts.
class CloneTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A worker application of its own for building and reading files.
  Variant Word();
  Variant OpenHidden(const std::string& path);
  std::string GlyphPath(const std::string& category, const std::string& name) const;
  std::string TemplatePath(const std::string& category, const std::string& paper) const;

  // Shapes of a document whose names begin with prefix, in collection order.
  static std::vector<Variant> ShapesNamed(const Variant& doc, const std::string& prefix);
  static int PageOf(const Variant& shape);
  static int Pages(const Variant& doc);
  // The name of the first member of a copy's group whose name ends with " oval", or "".
  static std::string GlyphTag(const Variant& copy);
  // What runs left in the program's temporary folder besides published sheets (".dot").
  static std::vector<std::string> TemporaryLitter();

  std::string data;
  std::unique_ptr<TestHost> host;
  platform::ScriptedInteraction ui;
  std::unique_ptr<platform::ScopedUI> scopedUi;

 private:
  Variant word_;
};

}  // namespace clone_test
