// PDF output that writes a drawing standing in many places once (see PdfForms.h).
#pragma once

#include <QBuffer>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "wordproc/Render.h"

namespace wordproc {

// Draws the body shapes of PDF pages. A shape that draws exactly as one drawn before (the same
// paths, colours, pictures and text, wherever it stands) is drawn once into a second PDF of
// forms, and each place marks the form; finish() puts the forms in place of the marks.
class PdfStamper final : public ShapeStamper {
 public:
  PdfStamper(int resolution, const QPageLayout& layout);
  ~PdfStamper() override;

  void draw(QPainter& painter, const Shape& shape, const QRectF& box) override;

  // pdf with the forms in place, pdf itself when no drawing was repeated, nothing when the forms
  // could not be placed (then the pages must be written without a stamper).
  std::optional<std::string> finish(std::string pdf);

  int formCount() const { return forms_; }

 private:
  struct Seen {
    int uses = 0;
    int form = -1;
  };

  // A shape drawn before, its box and scale, and its drawing (none: drawn in the page).
  struct Alike {
    const Shape* shape;
    QSizeF size;
    QTransform scale;
    Seen* seen;
  };
  static constexpr int kMostCompared = 8;

  static std::size_t HintOf(const Shape& shape, QSizeF size);
  static bool DrawsAlike(const Shape& a, const Shape& b);
  std::optional<Seen*> alike(const Shape& shape, QSizeF size, const QTransform& scale) const;
  bool addForm(const Shape& shape, QSizeF size, int& form);

  int resolution_;
  QPageLayout layout_;
  QByteArray formBytes_;
  QBuffer formBuffer_;
  std::unique_ptr<QPdfWriter> formWriter_;
  QPainter formPainter_;
  std::optional<QTransform> scale_;
  std::unordered_map<std::string, Seen> seen_;  // node-based: Alike keeps pointers into it
  std::unordered_multimap<std::size_t, Alike> alike_;
  int forms_ = 0;
  bool failed_ = false;
};

}  // namespace wordproc
