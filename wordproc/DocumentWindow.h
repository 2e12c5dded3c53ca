// The window in which a visible word processor shows and edits a document: its pages one under
// another with zoom and scrolling, shapes drawn, moved and formatted on them, text typed into
// them, undo, the clipboard, saving and printing.
#pragma once

#include <memory>

namespace wordproc {

class DocumentHost;

class DocumentWindowBase {
 public:
  virtual ~DocumentWindowBase() = default;
  // Shows the document again after it changed (pages, title).
  virtual void refresh() = 0;
  // The outer bounds, frame included, in points, as the object model's Window has them.
  virtual void setGeometryPoints(double l, double t, double w, double h) = 0;
  virtual void geometryPoints(double& l, double& t, double& w, double& h) const = 0;
  virtual void setWindowState(int) = 0;  // 0 normal, 1 maximised, 2 minimised
  virtual int windowState() const = 0;
  virtual void activate() = 0;
};

// Points per screen pixel at the primary screen's logical resolution (96 pixels per inch when
// there is no screen). Converting pixels to points and placing windows in points use this one
// factor, so a window placed at a position computed from pixels lands on those pixels.
double ScreenPointsPerPixel();

// Creates and shows the window. The host outlives it; the window may be destroyed from inside
// any of the host's calls.
std::unique_ptr<DocumentWindowBase> CreateDocumentWindow(DocumentHost* host);

}  // namespace wordproc
