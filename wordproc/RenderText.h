// Paragraph text for pictures of pages: a painter whose user space is points, lines broken
// between words, placed one under the other at the line height the pagination counts with.
#pragma once

#include <QImage>
#include <QPainter>

#include "wordproc/Model.h"

namespace wordproc {

// Draws the paragraph with its top-left corner (space before included) at (left, top), wrapped
// within width. Returns the height it takes, spacing included.
double DrawParagraph(QPainter& painter, const Paragraph& paragraph, double left, double top,
                     double width);

// The lines DrawParagraph breaks the paragraph into within width; for a pagination that wants
// to agree with the pictures. Needs a QGuiApplication.
int CountLines(const Paragraph& paragraph, double width);

// The decoded picture of an image part; null when the bytes are no picture Qt can read.
QImage PictureImage(const ImagePtr& image);

QColor ToQColor(Rgb rgb);

}  // namespace wordproc
