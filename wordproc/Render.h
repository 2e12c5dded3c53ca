// Drawing pages with Qt: pictures of pages, printing and PDF output.
#pragma once

#include <QImage>
#include <QPainter>
#include <QRectF>
#include <string>

#include "wordproc/Layout.h"
#include "wordproc/Model.h"

namespace wordproc {

// Paints one page (1-based) scaled into target. Hidden shapes are never drawn.
void PaintPage(QPainter& painter, const Document& doc, Layout& layout, int page,
               const QRectF& target);

// A page as a picture widthPx wide, height by the page's proportions, on white.
QImage RenderPage(const Document& doc, Layout& layout, int page, int widthPx);

// Writes every page to a PDF file; throws DocumentError naming the file.
void WritePdf(const Document& doc, Layout& layout, const std::string& path);

// Prints every page without a dialog: to the default printer, or to a PDF file when the
// environment variable VSP_PRINT_TO_PDF_DIR names a folder or no printer exists (then in the
// private temporary folder). Returns the PDF's path when one was written, else empty. Throws
// DocumentError when printing fails.
std::string PrintPages(const Document& doc, Layout& layout, const std::string& documentName);

}  // namespace wordproc
