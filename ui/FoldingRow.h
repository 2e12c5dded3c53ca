// A line of controls laid out by what their captions need: side by side when they fit in the
// width they are given, else in two lines, broken before one of them.
#pragma once

#include <optional>
#include <vector>

class QBoxLayout;
class QHBoxLayout;
class QWidget;

namespace ui {

class FoldingRow {
 public:
  struct Part {
    QWidget* widget;
    int stretch = 0;
  };

  // Adds the row's two lines to `column`. A second line whose parts do not stretch keeps them
  // at its right edge.
  FoldingRow(QBoxLayout* column, std::vector<Part> parts, std::size_t breakBefore, int spacing);

  void Fit(int width);
  bool Folded() const { return oneLine_ && !*oneLine_; }

 private:
  int Needed() const;
  void Arrange(bool oneLine);

  QHBoxLayout* first_;
  QHBoxLayout* second_;
  std::vector<Part> parts_;
  std::size_t breakBefore_;
  int spacing_;
  std::optional<bool> oneLine_;
};

}  // namespace ui
