// The pages of a document window, one under another, and what the mouse and keyboard do on
// them: selecting shapes (click, shift-click, rubber band), moving and resizing them with an
// optional snap grid, drawing new shapes, and editing text of text boxes and of the body in
// place.
#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "wordproc/EditSession.h"
#include "wordproc/EditText.h"

class QTextEdit;

namespace wordproc {

class TextOverlay;

// What the next press on a page draws.
struct InsertTool {
  ShapeKind kind = ShapeKind::AutoShape;
  AutoShapeType type = AutoShapeType::Rectangle;
  ImagePtr image;
  float width = 0, height = 0;  // pictures and presets: drawn at this size on a click
  std::string warp;             // WordArt: the text warp of the new shape, which gets sample text
  std::string preset;           // autoshapes of another outline than the type's ("star5")
};

class EditCanvas : public QWidget {
  Q_OBJECT

 public:
  explicit EditCanvas(EditSession& session, QWidget* parent = nullptr);
  ~EditCanvas() override;

  double zoom() const { return zoom_; }
  void setZoom(double zoom);
  double zoomToFit(int width) const;
  // Sizes itself to the pages again and repaints; drops text editing of a shape that is gone.
  void relayout();

  bool snapToGrid() const { return snap_; }
  void setSnapToGrid(bool on) { snap_ = on, update(); }
  void setGridStep(float points) { grid_ = points, update(); }

  void setTool(std::optional<InsertTool> tool);
  // The page last clicked, where pasted shapes go.
  int currentPage() const { return currentPage_; }

  // Text editing in place: of a text box, or of the body paragraphs of a page (none on a page
  // that holds only notes).
  bool beginTextEdit(std::uint32_t shapeId);
  bool beginBodyEdit(int page);
  // Writes what was typed to the document as one command; nothing when nothing changed.
  void commitText();
  void cancelText();
  QTextEdit* textEditor() const;
  // Fields of the text being edited: the instruction of the one at the cursor, and a field
  // (its code and result) put at the cursor, or in place of the one there when replacing.
  std::optional<std::string> fieldAtCursor() const;
  bool putFieldAtCursor(FieldPtr code, const std::string& result, bool replace);
  const TextScale& textScale() const { return textScale_; }

  // Where a point of a page (in points from its top-left corner) is on this widget, and back.
  QPointF toWidget(int page, QPointF points) const;
  QRectF toWidget(int page, const RectF& points) const;
  // The page under the widget position (0 between pages) and the point on it.
  int pageAt(QPointF position, QPointF* points = nullptr) const;

 signals:
  void textEditingChanged(bool editing);
  void fieldDoubleClicked();  // in the text being edited
  void textFormatChanged();
  void zoomChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  enum class DragKind { None, Move, Resize, Band, Place };
  struct Drag {
    DragKind kind = DragKind::None;
    int page = 0;
    QPointF startPoint, point;  // page points
    QPoint startPixel, pixel;
    int handle = -1;
    bool started = false;
    std::uint32_t pressed = 0;  // a shape of a larger selection, alone selected by a click
    std::vector<std::unique_ptr<Shape>> before;
    RectF startRect;  // page rectangle of the shape the drag holds
  };

  double scale() const;  // pixels per point
  QSize pageSize() const;
  int pageLeft() const;
  int pageTop(int page) const;
  QSize contentSize() const;

  void paintPageAt(QPainter& painter, int page, const QRect& rect);
  void paintGrid(QPainter& painter, int page, const QRect& rect, const QRect& exposed);
  void paintSelection(QPainter& painter, int page);
  void paintDrag(QPainter& painter);

  std::uint32_t shapeAt(int page, QPointF point);
  int handleAt(QPointF position, std::uint32_t* id);
  std::vector<QPointF> handles(std::uint32_t id) const;
  std::optional<RectF> pageRect(std::uint32_t id, int* page = nullptr) const;

  void pressShape(QMouseEvent* event, int page, QPointF point);
  void startDrag(DragKind kind, int page, QPointF point, QPoint pixel);
  void dragMove();
  void dragResize();
  void finishDrag(QMouseEvent* event);
  void finishBand(bool add);
  void finishPlace();
  float snap(float value) const;
  void nudge(int dx, int dy, bool resize, bool fine);

  bool beginEditing(std::uint32_t shapeId, int page, const QRectF& rect,
                    std::vector<Paragraph> paragraphs, const QColor& background);
  void focusMoved(QWidget* now);
  void commitShapeText(std::vector<Paragraph> edited);
  void commitBodyText(std::vector<Paragraph> edited);

  EditSession& session_;
  double zoom_ = 1.0;
  bool snap_ = true;
  float grid_;
  std::optional<InsertTool> tool_;
  int currentPage_ = 1;
  Drag drag_;
  QPointer<TextOverlay> overlay_;
  struct Editing {
    std::uint32_t shapeId = 0;  // 0: body paragraphs
    int page = 0;
    std::vector<Paragraph> loaded;
    std::vector<std::unique_ptr<RunFormat>> added;  // fields put in while editing
  } editing_;
  TextScale textScale_;
  QMetaObject::Connection focusWatch_;
};

}  // namespace wordproc
