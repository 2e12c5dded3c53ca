// Drawing pages with Qt: pictures of pages, printing and PDF output.
#pragma once

#include <QImage>
#include <QLineF>
#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "wordproc/core/Layout.h"
#include "wordproc/core/Model.h"

class QPrinter;

namespace wordproc {

// Output is what paper, PDF files and pictures of pages get. Screen is a document window: guide
// shapes (see IsGuideShape) are drawn in a style of their own there, so nobody takes them for
// part of the label.
enum class PaintMode { Output, Screen };

// Draws the body shapes of pages for an output that can write a drawing once and show it in
// many places (PDF files).
class ShapeStamper {
 public:
  virtual ~ShapeStamper() = default;
  // Draws the shape into box (points) as DrawShapeInBox does, or shows an earlier drawing of it.
  virtual void draw(QPainter& painter, const Shape& shape, const QRectF& box) = 0;
};

// Paints one page (1-based) scaled into target. Hidden shapes are never drawn.
// pageShapes, when given, are the page's body shapes in z-order (from ShapesByPage), so that
// drawing many pages does not look at every shape of the document for each page. stamper, when
// given, draws the body shapes of Output pages.
void PaintPage(QPainter& painter, const Document& doc, Layout& layout, int page,
               const QRectF& target, PaintMode mode = PaintMode::Output,
               const std::vector<const AnchoredShape*>* pageShapes = nullptr,
               ShapeStamper* stamper = nullptr);

// Draws a shape into the box, in points: a chart or SmartArt standing in a line of text.
void DrawShapeInBox(QPainter& painter, const Shape& shape, const QRectF& box);

// The body shapes of every page (element 0 holds page 1's), in z-order.
std::vector<std::vector<const AnchoredShape*>> ShapesByPage(const Document& doc, Layout& layout);

// How a window draws guide shapes: a dashed cyan pen one device pixel wide.
QPen GuidePen();

// The line a line shape draws across its box: from its start to its end, as the flips say.
QLineF LineAcross(const Shape& shape, const QRectF& box);

// The most pixels a picture of a page may have: 64 megapixels take 256 MB and draw an A4 page at
// about 570 dots an inch; the catalogue's thumbnails have some 60,000.
inline constexpr qint64 kMaxRenderPixels = qint64(64) << 20;

// The size of a picture of the page widthPx wide, its height by the page's proportions (at
// most INT_MAX); empty when the width or the page has no size.
QSize RenderSize(const PageSetup& setup, int widthPx);
bool RenderSizeAllowed(const QSize& size);

// A page as a picture widthPx wide, height by the page's proportions, on white; null when that
// picture would exceed kMaxRenderPixels.
QImage RenderPage(const Document& doc, Layout& layout, int page, int widthPx);

// The name offsets of PDF output are kept under, and the one that stands for every printer
// without an offset of its own.
inline constexpr const char* kPdfOutputName = "PDF";
inline constexpr const char* kAnyPrinterName = "*";

// How an application instance prints: on which printer, and how far every page is shifted on
// each printer to make up for where its paper runs (points, right and down).
struct PrintSettings {
  std::string printer;  // empty: the default printer
  std::map<std::string, QPointF> offsets;

  QPointF offsetFor(const std::string& printerName) const;
};

// Writes every page to a PDF file, shifted by the offset of PDF output; throws DocumentError
// naming the file.
void WritePdf(const Document& doc, Layout& layout, const std::string& path,
              const PrintSettings& settings = {});

// Prints every page without a dialog: to the settings' printer (else the default one), or to a
// PDF file when the environment variable VSP_PRINT_TO_PDF_DIR names a folder or no printer
// exists (then in the private temporary folder). Pages are shifted by the offset of what they
// go to. Returns the PDF's path when one was written, else empty. Throws DocumentError when
// printing fails.
std::string PrintPages(const Document& doc, Layout& layout, const std::string& documentName,
                       const PrintSettings& settings = {});

// Prints every page on a printer a print dialog set up, shifted by its offset.
void PrintOn(QPrinter& printer, const Document& doc, Layout& layout, const std::string& name,
             const PrintSettings& settings);

// Told the path of the PDF file a print was written to because no printer exists, so that the
// user learns where the pages went; the program installs it. Not told of prints that
// VSP_PRINT_TO_PDF_DIR sends to PDF files. An empty function removes it.
using PdfFallbackHandler = std::function<void(const std::string& pdfPath)>;
void SetPdfFallbackHandler(PdfFallbackHandler handler);

}  // namespace wordproc
