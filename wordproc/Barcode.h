// The barcodes of DISPLAYBARCODE fields: encoded by zint and drawn from its vector output
// (rectangles, hexagons, circles, strings), so that they print sharp in PDF files and on
// printers. A field's result stands in the line as an object of the barcode's size.
#pragma once

#include <QColor>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "wordproc/core/Fields.h"

namespace wordproc {

struct BarcodeSymbol {
  struct Hexagon {
    QPointF centre;
    double diameter = 0;
  };
  struct Circle {
    QPointF centre;
    double diameter = 0, width = 0;  // width 0: filled
  };
  struct Text {
    QPointF baseline;  // the middle of the text's baseline, or its start or end by align
    double height = 0, width = 0;
    int align = 0;  // 0 centre, 1 left, 2 right
    QString text;
  };
  double width = 0, height = 0;  // points
  std::vector<QRectF> rectangles;
  std::vector<Hexagon> hexagons;
  std::vector<Circle> circles;
  std::vector<Text> texts;
  QColor foreground = Qt::black, background = Qt::white;
};

// Why the data of a DISPLAYBARCODE instruction cannot be encoded, as a message for the user;
// none when it can, or when the instruction is no DISPLAYBARCODE.
std::optional<std::string> BarcodeProblem(const FieldInstruction& instruction);
// The barcode a field draws in place of its result: DISPLAYBARCODE fields that encode; null for
// any other field. Symbols are cached by instruction.
std::shared_ptr<const BarcodeSymbol> BarcodeOf(const FieldCode& code);
// Draws the symbol with its top-left corner at the point, in points.
void DrawBarcode(QPainter& painter, const BarcodeSymbol& symbol, QPointF topLeft);

}  // namespace wordproc
