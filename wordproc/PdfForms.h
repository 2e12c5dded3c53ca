// Writing a drawing that stands on many pages once: Qt's PDF writer writes every path, gradient
// and pattern anew each time it is drawn, so a sheet of a hundred copies of a painted label holds
// a hundred copies of its drawing. Here the drawing is written once, as a form, and each place
// only refers to it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

class QPainter;
class QPointF;

namespace wordproc::pdfforms {

// A page marks where form k goes with a filled empty rectangle at (kMarkerX, k) under the
// painter's matrix there: Qt writes it as "q\n<matrix> cm\n<kMarkerX> <k> 0 0 re\nf\nQ\n".
inline constexpr int kMarkerX = -77777;

// Marks the place of form k: the form's origin goes to `at` in the painter's units.
void MarkForm(QPainter& painter, const QPointF& at, int form);

// pages: a PDF as Qt writes it whose pages hold markers; forms: one whose page k is the drawing
// of form k, drawn with the painter scaled by (scaleX, scaleY) from the page's corner. Returns
// pages with each marker replaced by its form, or nothing when either file is not laid out as
// Qt writes it or a marker names no form.
std::optional<std::string> PlaceForms(std::string_view pages, std::string_view forms, double scaleX,
                                      double scaleY);

}  // namespace wordproc::pdfforms
