// Shared pieces of the rendering tests: the application Qt's fonts and widgets need, documents
// built in memory, and looking at pixels.
#pragma once

#include <QApplication>
#include <QImage>
#include <cstdio>
#include <memory>
#include <string>

#include "tests/support/Gui.h"
#include "wordproc/core/Model.h"

namespace render_test {

using test_support::EnsureApplication;

// 600 x 800 points without margins: drawn 600 pixels wide, page points are pixels.
inline std::unique_ptr<wordproc::Document> PlainDocument() {
  auto doc = std::make_unique<wordproc::Document>();
  doc->pageSetup = {600, 800, 0, 0, 0, 0};
  return doc;
}

inline std::unique_ptr<wordproc::Shape> NewShape(wordproc::ShapeKind kind, float left, float top,
                                                 float width, float height) {
  auto shape = std::make_unique<wordproc::Shape>();
  shape->kind = kind;
  shape->left = left;
  shape->top = top;
  shape->width = width;
  shape->height = height;
  return shape;
}

inline std::unique_ptr<wordproc::Shape> FilledRect(float left, float top, float width, float height,
                                                   wordproc::Rgb colour) {
  auto shape = NewShape(wordproc::ShapeKind::AutoShape, left, top, width, height);
  shape->fill.color = colour;
  shape->line.visible = false;
  return shape;
}

inline wordproc::Shape& Place(wordproc::Document& doc, std::unique_ptr<wordproc::Shape> shape,
                              std::size_t anchorIndex = 0) {
  shape->id = doc.newShapeId();
  wordproc::Shape& placed = *shape;
  doc.shapes.push_back({std::move(shape), doc.paragraphs.at(anchorIndex).id});
  return placed;
}

inline wordproc::Paragraph TextParagraph(wordproc::Document& doc, const std::string& text,
                                         float size = 11) {
  wordproc::Paragraph paragraph;
  paragraph.id = doc.newParagraphId();
  wordproc::Run run{text, {}};
  run.format.fontFamily = "DejaVu Sans";
  run.format.fontSize = size;
  paragraph.runs.push_back(run);
  paragraph.markFormat = run.format;
  return paragraph;
}

inline bool IsWhite(QRgb c) {
  return qRed(c) > 245 && qGreen(c) > 245 && qBlue(c) > 245;
}
inline bool IsDark(QRgb c) {
  return qGray(c) < 128;
}
inline bool IsRed(QRgb c) {
  return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60;
}
inline bool IsGreen(QRgb c) {
  return qGreen(c) > 100 && qRed(c) < 60 && qBlue(c) < 60;
}
inline bool IsBlue(QRgb c) {
  return qBlue(c) > 200 && qRed(c) < 60 && qGreen(c) < 60;
}

template <typename Test>
int CountPixels(const QImage& image, const QRect& area, Test test) {
  int count = 0;
  QRect clipped = area.intersected(image.rect());
  for (int y = clipped.top(); y <= clipped.bottom(); ++y)
    for (int x = clipped.left(); x <= clipped.right(); ++x) count += test(image.pixel(x, y));
  return count;
}

// Standard output of a shell command; empty when it cannot run.
inline std::string CommandOutput(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

}  // namespace render_test
