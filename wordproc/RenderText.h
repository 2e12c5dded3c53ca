// Paragraph text for pictures of pages: a painter whose user space is points, lines broken
// between words, placed one under the other at the line height the pagination counts with.
#pragma once

#include <QImage>
#include <QPainter>

#include "wordproc/core/Model.h"
#include "wordproc/core/TextMeasure.h"

namespace wordproc {

// Draws the paragraph with its top-left corner (space before included) at (left, top), wrapped
// within width. Returns the height it takes, spacing included.
double DrawParagraph(QPainter& painter, const Paragraph& paragraph, double left, double top,
                     double width);

// The lines DrawParagraph breaks the paragraph into within width; for a pagination that wants
// to agree with the pictures. Needs a QGuiApplication.
int CountLines(const Paragraph& paragraph, double width);

// The measurer layouts are given on the Qt side: with fonts at hand (a QGuiApplication) pages
// break where the text really wraps when drawn, by CountLines; without them the estimate
// stands in.
const TextMeasurer& FontMeasurer();

// The largest picture that is decoded: 64 megapixels, more than the cameras labels' photos come
// from; decoding it whole would take 256 MB.
inline constexpr qint64 kMaxPicturePixels = qint64(64) << 20;

// Pictures decoded anew for one page together hold at most this many pixels of their own; a page
// of a hundred large pictures would otherwise keep its painter busy for a minute. That is four
// large photos, and the copies of one picture on a sheet are decoded once.
inline constexpr qint64 kMaxDecodedPixelsPerPage = qint64(256) << 20;

// While it lives, pictures decoded on this thread count against kMaxDecodedPixelsPerPage; those
// beyond it are left out of the painting. Pictures decoded before are free.
class PageDecoding {
 public:
  PageDecoding();
  ~PageDecoding();
  PageDecoding(const PageDecoding&) = delete;
  PageDecoding& operator=(const PageDecoding&) = delete;

 private:
  qint64 left_ = kMaxDecodedPixelsPerPage;
  PageDecoding* outer_;
  friend bool SpendDecoding(qint64 pixels);
};

// Counts a decoding against the page being painted; false when it would exceed what is left.
bool SpendDecoding(qint64 pixels);

// Whether a picture of that size in pixels (as its header says) may be decoded at all.
bool PictureSizeAllowed(const QSize& size);

// The picture of an image part decoded no larger than it is drawn: drawn is its box in device
// pixels. Null when the bytes are no picture Qt can read or claim more than kMaxPicturePixels.
// Decoded pictures are kept for the next painting within a memory budget.
QImage PictureImage(const ImagePtr& image, const QSizeF& drawn);

// The size in device pixels the painter draws a box of its user space at.
QSizeF DevicePixels(const QPainter& painter, const QRectF& box);

QColor ToQColor(Rgb rgb);

}  // namespace wordproc
