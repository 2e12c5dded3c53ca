#include "wordproc/Render.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include <QPainterPathStroker>

#include "wordproc/RenderChart.h"
#include "wordproc/RenderGeometry.h"
#include "wordproc/RenderPaint.h"
#include "wordproc/RenderPicture.h"
#include "wordproc/RenderText.h"
#include "wordproc/RenderWarp.h"
#include "wordproc/core/ShapeOps.h"

namespace wordproc {

namespace {

void DrawShape(QPainter& painter, const Shape& shape, const QRectF& box, PaintMode mode);
void DrawShapeTurned(QPainter& painter, const Shape& shape, const QRectF& box, PaintMode mode);

double DevicePixelsPerUnit(const QPainter& painter) {
  QTransform t = painter.combinedTransform();
  return std::max(1e-6, std::sqrt(std::abs(t.determinant())));
}

// The outline of the rectangles, ovals and rounded rectangles drawn without a preset.
QPainterPath SimpleOutline(const Shape& shape, const QRectF& box) {
  QPainterPath path;
  switch (shape.autoShapeType) {
    case AutoShapeType::Oval:
      path.addEllipse(box);
      return path;
    case AutoShapeType::RoundedRectangle: {
      const double radius = shape.adjustment * std::min(box.width(), box.height());
      path.addRoundedRect(box, radius, radius);
      return path;
    }
    case AutoShapeType::Rectangle:
      break;
  }
  path.addRect(box);
  return path;
}

void DrawOutline(QPainter& painter, const Shape& shape, const QRectF& box) {
  if (HasGeneralGeometry(shape)) {
    return DrawOutlinePaths(painter, *OutlineOf(shape, box.width(), box.height()), shape, box);
  }
  const QPainterPath path = SimpleOutline(shape, box);
  FillArea(painter, path, shape.fill, box, shape.flipH, shape.flipV);
  StrokeArea(painter, path, shape.line);
}

// The line stops short of a pointed arrowhead, whose tip stands at the end.
QPainterPath LinePath(const Shape& shape, const QRectF& box) {
  QLineF line = LineAcross(shape, box);
  const double length = line.length();
  QPainterPath path;
  path.moveTo(line.p1());
  path.lineTo(line.p2());
  if (length <= 1e-6) return path;
  const double head = std::min(ArrowReach(shape.line, shape.line.head), length / 2);
  const double tail = std::min(ArrowReach(shape.line, shape.line.tail), length / 2);
  const QPointF unit = (line.p2() - line.p1()) / length;
  QPainterPath shortened;
  shortened.moveTo(line.p1() + unit * head);
  shortened.lineTo(line.p2() - unit * tail);
  return shortened;
}

double TextHeight(const Shape& shape, double width) {
  double height = 0;
  for (const Paragraph& paragraph : shape.text)
    height += ParagraphHeight(paragraph, float(width), FontMeasurer());
  return height;
}

// A shape that grows to its text is at least as tall as its text and insets.
QRectF FittedBox(const Shape& shape, const QRectF& box) {
  const TextFrame& frame = shape.frame;
  if (!frame.autoFit || shape.text.empty()) return box;
  const double width = box.width() - frame.left - frame.right;
  if (width <= 0) return box;
  const double needed = TextHeight(shape, width) + frame.top + frame.bottom;
  return needed > box.height() ? QRectF(box.left(), box.top(), box.width(), needed) : box;
}

// Presets and freeforms set their text in the rectangle their geometry gives it.
QRectF TextBoxOf(const Shape& shape, const QRectF& box) {
  if (!HasGeneralGeometry(shape) || shape.text.empty()) return box;
  return TextRectOf(*OutlineOf(shape, box.width(), box.height()), box);
}

void DrawBoxText(QPainter& painter, const Shape& shape, const QRectF& box) {
  const TextFrame& frame = shape.frame;
  const double width = box.width() - frame.left - frame.right;
  if (width <= 0 || shape.text.empty()) return;
  double y = box.top() + frame.top;
  if (frame.anchor != TextAnchor::Top) {
    const double room = box.height() - frame.top - frame.bottom - TextHeight(shape, width);
    y += frame.anchor == TextAnchor::Middle ? room / 2 : room;
  }
  painter.save();
  if (frame.clip) painter.setClipRect(box, Qt::IntersectClip);
  for (const Paragraph& paragraph : shape.text) {
    if (frame.clip && y >= box.bottom()) break;
    y += DrawParagraph(painter, paragraph, box.left() + frame.left, y, width);
  }
  painter.restore();
}

void DrawLineShape(QPainter& painter, const Shape& shape, const QRectF& box) {
  StrokeArea(painter, LinePath(shape, box), shape.line);
  const QLineF across = LineAcross(shape, box);
  QPainterPath whole;
  whole.moveTo(across.p1());
  whole.lineTo(across.p2());
  DrawArrowheads(painter, whole, shape.line);
}

void DrawPicture(QPainter& painter, const Shape& shape, const QRectF& box) {
  DrawPicturePart(painter, shape.image, shape.svg, shape.crop, box);
  QPainterPath frame;
  frame.addRect(box);
  StrokeArea(painter, frame, shape.line);
}

// What casts the shadow: the filled outline and the stroke, one path painted once so that
// where they overlap is no darker.
QPainterPath Silhouette(QPainter& painter, const Shape& shape, const QRectF& box) {
  QPainterPath out;
  out.setFillRule(Qt::WindingFill);
  const QPen pen = LinePen(painter, shape.line);
  auto add = [&](const QPainterPath& path, bool filled, bool stroked) {
    if (filled) out.addPath(path);
    if (stroked && pen.style() != Qt::NoPen) {
      QPainterPathStroker stroker(pen);
      out.addPath(stroker.createStroke(path));
    }
  };
  if (shape.kind == ShapeKind::Line) {
    add(LinePath(shape, box), false, true);
  } else if (shape.kind == ShapeKind::Picture) {
    QPainterPath frame;
    frame.addRect(box);
    add(frame, true, shape.line.visible);
  } else if (HasGeneralGeometry(shape)) {
    const auto outline = OutlineOf(shape, box.width(), box.height());
    for (const geometry::SubPath& sub : outline->paths) {
      add(PainterPathOf(sub, box, shape.flipH, shape.flipV),
          shape.fill.visible && sub.fill != geometry::PathFill::None, sub.stroke);
    }
  } else {
    add(SimpleOutline(shape, box), shape.fill.visible, true);
  }
  return out;
}

// The shadow falls on the page: its offset is not turned with the shape.
void DrawShadow(QPainter& painter, const Shape& shape, const QRectF& box) {
  const double radians = double(shape.shadow.direction) * M_PI / 180;
  painter.save();
  painter.translate(shape.shadow.distance * std::cos(radians),
                    shape.shadow.distance * std::sin(radians));
  {
    const ShapeTurn turn(painter, shape, box);
    PaintShadow(painter, Silhouette(painter, shape, FittedBox(shape, box)), shape.shadow);
  }
  painter.restore();
}

// Members stand in points from the group's corner; resizing a group rescales them in the model.
void DrawGroup(QPainter& painter, const Shape& group, const QRectF& box, PaintMode mode) {
  for (const auto& child : group.children) {
    if (!child) continue;
    QRectF childBox(box.left() + child->left, box.top() + child->top, child->width, child->height);
    DrawShape(painter, *child, childBox, mode);
  }
}

// A guide line is drawn in the guide pen alone; other guide shapes show through faintly under
// an outline in it.
void DrawGuide(QPainter& painter, const Shape& shape, const QRectF& box) {
  constexpr double kFaint = 0.35;
  painter.save();
  if (shape.kind == ShapeKind::Line) {
    painter.setPen(GuidePen());
    painter.drawLine(LineAcross(shape, box));
  } else {
    painter.setOpacity(kFaint);
    DrawShapeTurned(painter, shape, box, PaintMode::Output);
    painter.setOpacity(1);
    painter.setPen(GuidePen());
    painter.setBrush(Qt::NoBrush);
    bool oval = shape.kind == ShapeKind::AutoShape && shape.autoShapeType == AutoShapeType::Oval;
    oval ? painter.drawEllipse(box) : painter.drawRect(box);
  }
  painter.restore();
}

void DrawShape(QPainter& painter, const Shape& shape, const QRectF& box, PaintMode mode) {
  if (!shape.visible) return;
  if (shape.shadow.visible && shape.kind != ShapeKind::Group) DrawShadow(painter, shape, box);
  const ShapeTurn turn(painter, shape, box);
  if (mode == PaintMode::Screen && IsGuideShape(shape)) return DrawGuide(painter, shape, box);
  DrawShapeTurned(painter, shape, box, mode);
}

void DrawShapeTurned(QPainter& painter, const Shape& shape, const QRectF& box, PaintMode mode) {
  switch (shape.kind) {
    case ShapeKind::Group:
      return DrawGroup(painter, shape, box, mode);
    case ShapeKind::Line:
      return DrawLineShape(painter, shape, box);
    case ShapeKind::Picture:
      return DrawPicture(painter, shape, box);
    case ShapeKind::TextBox:
    case ShapeKind::AutoShape: {
      const QRectF fitted = FittedBox(shape, box);
      DrawOutline(painter, shape, fitted);
      if (shape.chart) return DrawChart(painter, *shape.chart, fitted);
      // WordArt follows the shape's own box, not the text rectangle of its outline.
      if (DrawWarpedText(painter, shape, fitted)) return;
      return DrawBoxText(painter, shape, TextBoxOf(shape, fitted));
    }
  }
}

Qt::PenStyle BorderPenStyle(const std::string& style) {
  if (style == "dotted") return Qt::DotLine;
  if (style == "dotDash" || style == "dashDotStroked") return Qt::DashDotLine;
  if (style == "dotDotDash") return Qt::DashDotDotLine;
  if (style == "dashed" || style == "dashSmallGap") return Qt::DashLine;
  return Qt::SolidLine;
}

// Double and triple borders are lines of the stated width with gaps as wide between them,
// centred on the edge; every other style is one line across the border's whole span.
void DrawCellEdge(QPainter& painter, const std::optional<BorderLine>& edge, QPointF from,
                  QPointF to) {
  if (!edge || !edge->visible) return;
  const double thinnest = 1.0 / DevicePixelsPerUnit(painter);
  const int lines = edge->style == "double" ? 2 : edge->style == "triple" ? 3 : 1;
  const double width = std::max(double(lines > 1 ? edge->width : BorderSpan(*edge)), thinnest);
  const Qt::PenStyle style = BorderPenStyle(edge->style);
  painter.setPen(QPen(ToQColor(edge->color), width, style,
                      style == Qt::SolidLine ? Qt::SquareCap : Qt::FlatCap));
  const QLineF line(from, to);
  const QPointF across =
      line.length() > 0 ? QPointF(-line.dy(), line.dx()) / line.length() : QPointF();
  for (int k = 0; k < lines; ++k) {
    const QPointF shift = across * (double(edge->width) * 2 * (k - (lines - 1) / 2.0));
    painter.drawLine(from + shift, to + shift);
  }
}

// Shading first, then the borders over all of it, so a neighbour's shading does not hide them.
void DrawCellBoxes(QPainter& painter, const std::vector<PageCellBox>& boxes) {
  painter.save();
  painter.setPen(Qt::NoPen);
  for (const PageCellBox& box : boxes) {
    if (!box.shading) continue;
    painter.fillRect(QRectF(box.rect.x, box.rect.y, box.rect.width, box.rect.height),
                     ToQColor(*box.shading));
  }
  for (const PageCellBox& box : boxes) {
    const QRectF r(box.rect.x, box.rect.y, box.rect.width, box.rect.height);
    DrawCellEdge(painter, box.edges.top, r.topLeft(), r.topRight());
    DrawCellEdge(painter, box.edges.bottom, r.bottomLeft(), r.bottomRight());
    DrawCellEdge(painter, box.edges.left, r.topLeft(), r.bottomLeft());
    DrawCellEdge(painter, box.edges.right, r.topRight(), r.bottomRight());
  }
  painter.restore();
}

// Footnote marks numbered on each page anew, by note id (Layout::footnoteMarksOnPage).
using PageMarks = std::map<int, std::string>;

// The paragraph with its footnote references (or a note's own mark) shown as the page numbers
// them; copy holds it when that changes anything.
const Paragraph& WithPageMarks(const Paragraph& paragraph, const PageMarks& marks,
                               Paragraph& copy) {
  bool changed = false;
  for (std::size_t r = 0; r < paragraph.runs.size() && !marks.empty(); ++r) {
    const NoteMarkPtr& note = paragraph.runs[r].note;
    if (!note || note->endnote) continue;
    const auto mark = marks.find(note->id);
    if (mark == marks.end() || mark->second == note->text) continue;
    if (!changed) copy = paragraph;
    changed = true;
    NoteMark shown = *note;
    shown.text = mark->second;
    copy.runs[r].note = std::make_shared<const NoteMark>(std::move(shown));
  }
  return changed ? copy : paragraph;
}

double DrawMarked(QPainter& painter, const Paragraph& paragraph, const PageMarks& marks,
                  double left, double top, double width) {
  Paragraph copy;
  return DrawParagraph(painter, WithPageMarks(paragraph, marks, copy), left, top, width);
}

// The lines of a paragraph divided between pages that stand on this page: the paragraph drawn
// as a whole, shifted up by the part before, and cut to the piece.
bool DrawPiece(QPainter& painter, const Document& doc, Layout& layout, std::size_t index, int page,
               const PageMarks& marks) {
  const std::vector<LinePiece> pieces = layout.piecesOf(index);
  if (pieces.empty()) return false;
  // Its lines break alike on every page: with the marks of the references on the others too.
  PageMarks all = marks;
  for (const LinePiece& piece : pieces)
    if (doc.footnotes && piece.page != page) all.merge(layout.footnoteMarksOnPage(piece.page));
  for (const LinePiece& piece : pieces) {
    if (piece.page != page) continue;
    const PageSetup setup = layout.pageSetupOfPage(page);
    painter.save();
    painter.setClipRect(QRectF(0, piece.top, setup.pageWidth, piece.height), Qt::IntersectClip);
    DrawMarked(painter, doc.paragraphs[index], all, piece.left, piece.top - piece.offset,
               layout.paragraphWidth(index));
    painter.restore();
  }
  return true;
}

// A table of a header or footer from top down, whole; returns its height.
double DrawStoryTable(QPainter* painter, const TableMeasure& m,
                      const std::vector<Paragraph>& paragraphs, double top) {
  std::vector<double> rowTop(m.rowHeights.size(), top);
  double height = 0;
  for (std::size_t r = 0; r < m.rowHeights.size(); ++r) {
    rowTop[r] = top + height;
    height += m.rowHeights[r];
  }
  if (!painter || rowTop.empty()) return height;
  std::vector<PageCellBox> boxes;
  for (const TableBox& box : m.boxes) {
    const std::size_t row = std::min<std::size_t>(box.row, rowTop.size() - 1);
    double boxHeight = box.height;
    if (box.rowSpan > 0) {
      boxHeight = 0;
      for (std::size_t r = row; r < row + box.rowSpan && r < rowTop.size(); ++r)
        boxHeight += m.rowHeights[r];
    }
    boxes.push_back({1,
                     0,
                     {box.x, float(rowTop[row] + box.y), box.width, float(boxHeight)},
                     box.edges,
                     box.shading});
  }
  DrawCellBoxes(*painter, boxes);
  for (const TableItem& item : m.items) {
    const std::size_t row = std::min<std::size_t>(item.row, rowTop.size() - 1);
    DrawParagraph(*painter, paragraphs[item.paragraph], item.x, rowTop[row] + item.y, item.width);
  }
  return height;
}

// The paragraphs and tables of a header or footer from top down; returns their height. Without
// a painter it only measures.
double DrawStory(QPainter* painter, const std::vector<Paragraph>& paragraphs, double left,
                 double top, double width) {
  double y = top;
  for (std::size_t i = 0; i < paragraphs.size();) {
    const Paragraph& p = paragraphs[i];
    if (!p.cells.empty() && p.cells[0].table) {
      const TableMeasure m =
          MeasureTable(paragraphs, i, 0, float(left), float(width), FontMeasurer());
      y += DrawStoryTable(painter, m, paragraphs, y);
      i = std::max(m.end, i + 1);
      continue;
    }
    y += painter ? DrawParagraph(*painter, p, left, y, width)
                 : ParagraphHeight(p, float(width), FontMeasurer());
    ++i;
  }
  return y - top;
}

// A header's or footer's floating shapes, behind the page's text; placed from the page, its
// margins or the story's top.
void DrawStoryShapes(QPainter& painter, const HeaderFooter& story, const PageSetup& setup,
                     double top, PaintMode mode) {
  for (const AnchoredShape& anchored : story.shapes) {
    if (!anchored.shape || !anchored.shape->visible) continue;
    const RectF r = StoryShapeRect(*anchored.shape, setup, float(top));
    DrawShape(painter, *anchored.shape, QRectF(r.x, r.y, r.width, r.height), mode);
  }
}

// The story's paragraphs with their page numbers as this page shows them.
std::vector<Paragraph> NumberedParagraphs(const HeaderFooter& story, int page, Layout& layout) {
  std::vector<Paragraph> paragraphs = story.paragraphs;
  for (Paragraph& p : paragraphs) {
    for (Run& run : p.runs) {
      if (run.format.field == PageField::Page)
        run.text = std::to_string(layout.pageNumberOfPage(page));
      if (run.format.field == PageField::NumPages) run.text = std::to_string(layout.pageCount());
    }
  }
  return paragraphs;
}

// The page's header from the header distance down, its footer up to the footer distance, both
// between the margins, their shapes under them.
void DrawHeaders(QPainter& painter, Layout& layout, int page, PaintMode mode) {
  const PageSetup setup = layout.pageSetupOfPage(page);
  const double width = TextColumnWidth(setup);
  if (HeaderFooterPtr header = layout.headerOfPage(page, false)) {
    DrawStoryShapes(painter, *header, setup, setup.headerDistance, mode);
    DrawStory(&painter, NumberedParagraphs(*header, page, layout), setup.leftMargin,
              setup.headerDistance, width);
  }
  if (HeaderFooterPtr footer = layout.headerOfPage(page, true)) {
    const std::vector<Paragraph> paragraphs = NumberedParagraphs(*footer, page, layout);
    const double height = DrawStory(nullptr, paragraphs, setup.leftMargin, 0, width);
    const double top = setup.pageHeight - setup.footerDistance - height;
    DrawStoryShapes(painter, *footer, setup, top, mode);
    DrawStory(&painter, paragraphs, setup.leftMargin, top, width);
  }
}

void DrawColumnRules(QPainter& painter, const std::vector<RectF>& rules) {
  if (rules.empty()) return;
  painter.save();
  painter.setPen(QPen(Qt::black, 0.5));
  for (const RectF& rule : rules)
    painter.drawLine(QPointF(rule.x, rule.y), QPointF(rule.x, rule.y + rule.height));
  painter.restore();
}

void DrawNoteRule(QPainter& painter, const RectF& rule) {
  if (!(rule.width > 0)) return;
  painter.save();
  painter.setPen(QPen(Qt::black, kNoteRuleWeight));
  painter.drawLine(QPointF(rule.x, rule.y), QPointF(rule.x + rule.width, rule.y));
  painter.restore();
}

// The page's footnotes under their rule, each note's paragraphs one under the other: of a note
// divided between pages, the lines that stand on this one.
void DrawNotes(QPainter& painter, const Document& doc, Layout& layout, int page,
               const PageMarks& marks) {
  if (!doc.footnotes) return;
  const PageNotes notes = layout.notesOnPage(page);
  if (notes.notes.empty()) return;
  DrawNoteRule(painter, notes.rule);
  const double pageWidth = layout.pageSetupOfPage(page).pageWidth;
  for (const PageNote& placed : notes.notes) {
    const auto note = doc.footnotes->find(placed.id);
    if (note == doc.footnotes->end()) continue;
    painter.save();
    painter.setClipRect(QRectF(0, placed.top, pageWidth, placed.height), Qt::IntersectClip);
    double y = placed.top - placed.offset;
    for (const Paragraph& p : note->second.paragraphs)
      y += DrawMarked(painter, p, marks, placed.left, y, placed.width);
    painter.restore();
  }
}

// The endnotes' paragraphs, or the parts of them, that stand on the page.
void DrawEndnotes(QPainter& painter, const Document& doc, Layout& layout, int page) {
  if (!doc.endnotes) return;
  const PageEndnotes notes = layout.endnotesOnPage(page);
  for (const RectF& rule : notes.rules) DrawNoteRule(painter, rule);
  for (const PageEndnote& part : notes.parts) {
    const auto note = doc.endnotes->find(part.id);
    if (note == doc.endnotes->end() || part.paragraph >= note->second.paragraphs.size()) continue;
    painter.save();
    painter.setClipRect(QRectF(0, part.top, layout.pageSetupOfPage(page).pageWidth, part.height),
                        Qt::IntersectClip);
    DrawParagraph(painter, note->second.paragraphs[part.paragraph], part.left,
                  part.top - part.offset, part.width);
    painter.restore();
  }
}

void DrawBodyText(QPainter& painter, const Document& doc, Layout& layout, int page,
                  PaintMode mode) {
  DrawHeaders(painter, layout, page, mode);
  DrawCellBoxes(painter, layout.cellBoxesOnPage(page));
  for (const RepeatedParagraph& repeat : layout.repeatedOnPage(page)) {
    if (repeat.paragraph < doc.paragraphs.size())
      DrawParagraph(painter, doc.paragraphs[repeat.paragraph], repeat.x, repeat.y, repeat.width);
  }
  const PageMarks marks = doc.footnotes ? layout.footnoteMarksOnPage(page) : PageMarks();
  for (std::size_t i = layout.firstParagraphOfPage(page);
       i < doc.paragraphs.size() && layout.pageOfParagraph(i) <= page; ++i) {
    if (layout.lastPageOfParagraph(i) < page || DrawPiece(painter, doc, layout, i, page, marks))
      continue;
    // A paragraph that page or column breaks carry on: its parts on this page.
    const std::vector<BreakPart> places = layout.breakPartsOf(i);
    if (places.empty()) {
      if (layout.pageOfParagraph(i) == page) {
        DrawMarked(painter, doc.paragraphs[i], marks, layout.paragraphLeft(i),
                   layout.paragraphTop(i), layout.paragraphWidth(i));
      }
      continue;
    }
    const std::vector<Paragraph> parts = PageBreakParts(doc.paragraphs[i]);
    for (std::size_t k = 0; k < parts.size() && k < places.size(); ++k) {
      if (places[k].page == page)
        DrawMarked(painter, parts[k], marks, places[k].left, places[k].top, places[k].width);
    }
  }
  DrawColumnRules(painter, layout.columnRulesOnPage(page));
  DrawNotes(painter, doc, layout, page, marks);
  DrawEndnotes(painter, doc, layout, page);
}

void DrawShape(QPainter& painter, Layout& layout, const AnchoredShape& anchored, PaintMode mode,
               ShapeStamper* stamper) {
  if (!anchored.shape || !anchored.shape->visible) return;
  RectF r = layout.shapeRectOnPage(anchored);
  const QRectF box(r.x, r.y, r.width, r.height);
  if (stamper && mode == PaintMode::Output) return stamper->draw(painter, *anchored.shape, box);
  DrawShape(painter, *anchored.shape, box, mode);
}

void DrawShapes(QPainter& painter, const Document& doc, Layout& layout, int page, PaintMode mode,
                const std::vector<const AnchoredShape*>* pageShapes, ShapeStamper* stamper) {
  if (pageShapes) {
    for (const AnchoredShape* anchored : *pageShapes)
      DrawShape(painter, layout, *anchored, mode, stamper);
    return;
  }
  for (const AnchoredShape& anchored : doc.shapes)
    if (layout.pageOfShape(anchored) == page) DrawShape(painter, layout, anchored, mode, stamper);
}

bool HasArea(const PageSetup& setup) {
  return setup.pageWidth > 0 && setup.pageHeight > 0;
}

}  // namespace

QLineF LineAcross(const Shape& shape, const QRectF& box) {
  return QLineF(
      QPointF(shape.flipH ? box.right() : box.left(), shape.flipV ? box.bottom() : box.top()),
      QPointF(shape.flipH ? box.left() : box.right(), shape.flipV ? box.top() : box.bottom()));
}

QPen GuidePen() {
  QPen pen(QColor(0x00, 0xB4, 0xD8), 0, Qt::DashLine);
  pen.setCosmetic(true);
  return pen;
}

std::vector<std::vector<const AnchoredShape*>> ShapesByPage(const Document& doc, Layout& layout) {
  std::vector<std::vector<const AnchoredShape*>> pages(
      std::size_t(std::max(0, layout.pageCount())));
  for (const AnchoredShape& anchored : doc.shapes) {
    int page = layout.pageOfShape(anchored);
    if (page >= 1 && std::size_t(page) <= pages.size()) pages[page - 1].push_back(&anchored);
  }
  return pages;
}

void PaintPage(QPainter& painter, const Document& doc, Layout& layout, int page,
               const QRectF& target, PaintMode mode,
               const std::vector<const AnchoredShape*>* pageShapes, ShapeStamper* stamper) {
  PageDecoding decoding;
  painter.save();
  painter.fillRect(target, doc.pageColor ? ToQColor(*doc.pageColor) : QColor(Qt::white));
  const PageSetup& setup = layout.pageSetupOfPage(page);
  if (HasArea(setup) && page >= 1 && page <= layout.pageCount()) {
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
    painter.translate(target.topLeft());
    painter.scale(target.width() / setup.pageWidth, target.height() / setup.pageHeight);
    painter.setClipRect(QRectF(0, 0, setup.pageWidth, setup.pageHeight), Qt::IntersectClip);
    DrawBodyText(painter, doc, layout, page, mode);
    DrawShapes(painter, doc, layout, page, mode, pageShapes, stamper);
  }
  painter.restore();
}

QSize RenderSize(const PageSetup& setup, int widthPx) {
  if (widthPx <= 0 || !HasArea(setup)) return {};
  const double height = std::round(widthPx * double(setup.pageHeight) / setup.pageWidth);
  return {widthPx, int(std::clamp(height, 1.0, double(std::numeric_limits<int>::max())))};
}

bool RenderSizeAllowed(const QSize& size) {
  return !size.isEmpty() && qint64(size.width()) * size.height() <= kMaxRenderPixels;
}

QImage RenderPage(const Document& doc, Layout& layout, int page, int widthPx) {
  const QSize size = RenderSize(layout.pageSetupOfPage(page), widthPx);
  if (!RenderSizeAllowed(size)) return {};
  QImage image(size, QImage::Format_RGB32);
  if (image.isNull()) return {};  // too large to allocate
  QPainter painter(&image);
  PaintPage(painter, doc, layout, page, QRectF(QPointF(0, 0), size));
  return image;
}

void DrawShapeInBox(QPainter& painter, const Shape& shape, const QRectF& box) {
  DrawShape(painter, shape, box, PaintMode::Output);
}

}  // namespace wordproc
