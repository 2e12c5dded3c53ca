#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QPdfWriter>
#include <QTemporaryDir>

#include "tests/wordproc/ooxml_test_support.h"
#include "tests/wordproc/render_support.h"
#include "wordproc/PdfForms.h"
#include "wordproc/Render.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Layout.h"

using namespace wordproc;
using namespace render_test;

namespace {

// A label design as they come: a gradient preset, a turned star with a blurred shadow, a box
// with text.
void AddDesign(Document& doc, std::size_t paragraph, QPointF at) {
  auto place = [&](float left, float top, float width, float height) -> Shape& {
    Shape& shape = Place(
        doc,
        NewShape(ShapeKind::AutoShape, float(at.x()) + left, float(at.y()) + top, width, height),
        paragraph);
    shape.relV = RelV::Paragraph;
    return shape;
  };
  Shape& ribbon = place(40, 40, 200, 80);
  ribbon.preset = "ribbon2";
  ribbon.fill.type = FillType::Gradient;
  ribbon.fill.stops = {{0, 0xFFFFFF, 1}, {1, 0x1F3864, 1}};
  ribbon.fill.angle = 30;
  Shape& star = place(280, 30, 100, 100);
  star.preset = "star5";
  star.rotation = 20;
  star.fill.color = 0xC00000;
  star.shadow.visible = true;
  star.shadow.distance = 4;
  star.shadow.blur = 5;
  Shape& box = place(40, 150, 300, 60);
  box.kind = ShapeKind::TextBox;
  box.fill.color = 0xFFF2CC;
  box.text.push_back(TextParagraph(doc, "Малиновое варенье", 16));
}

// One page for each place the design goes to.
std::unique_ptr<Document> Sheet(const std::vector<QPointF>& places) {
  auto doc = PlainDocument();
  doc->paragraphs.clear();
  for (std::size_t page = 0; page < places.size(); ++page) {
    doc->paragraphs.push_back(TextParagraph(*doc, "Лист"));
    doc->paragraphs.back().pageBreakBefore = page > 0;
    AddDesign(*doc, page, places[page]);
  }
  return doc;
}

int Count(const QByteArray& bytes, const char* what) {
  return int(bytes.count(what));
}

// How many pixels of a below the page's line of text differ from b moved by (dx, dy), beyond
// anti-aliasing.
int DifferingPixels(const QImage& a, const QImage& b, int dx, int dy) {
  constexpr int kBelowText = 24;
  int differing = 0;
  for (int y = kBelowText; y + dy < b.height() && y < a.height(); ++y) {
    for (int x = 0; x + dx < b.width() && x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y);
      const QRgb q = b.pixel(x + dx, y + dy);
      if (std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
              std::abs(qBlue(p) - qBlue(q)) >
          60)
        ++differing;
    }
  }
  return differing;
}

class PdfFormsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApplication();
    if (!ooxml_test::HaveProgram("pdftoppm") || !ooxml_test::HaveProgram("pdftotext"))
      GTEST_SKIP() << "poppler-utils are not installed";
  }

  QByteArray Written(const Document& doc, const std::string& name) {
    Layout layout(doc, FontMeasurer());
    path_ = dir_.filePath(QString::fromStdString(name)).toStdString();
    WritePdf(doc, layout, path_);
    QFile file(QString::fromStdString(path_));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
  }
  QImage Page(int page) {
    const std::string stem = path_ + "-" + std::to_string(page);
    ooxml_test::RunAndCapture("pdftoppm -r 72 -png -singlefile -f " + std::to_string(page) +
                              " -l " + std::to_string(page) + " " + ooxml_test::Quote(path_) + " " +
                              ooxml_test::Quote(stem));
    return QImage(QString::fromStdString(stem + ".png")).convertToFormat(QImage::Format_RGB32);
  }

  QTemporaryDir dir_;
  std::string path_;
};

// The first copy stays in the page; the others are one form per shape, placed where each copy
// stands, and look exactly as the first.
TEST_F(PdfFormsTest, CopiesAreWrittenOnceAndLookAsTheFirst) {
  const QByteArray pdf =
      Written(*Sheet({{0, 0}, {0, 0}, {72, 144}, {0, 0}, {0, 0}, {0, 0}}), "sheet.pdf");
  EXPECT_EQ(Count(pdf, "/Subtype /Form"), 3);
  const QImage first = Page(1);
  ASSERT_FALSE(first.isNull());
  for (int page : {2, 4, 6}) EXPECT_LT(DifferingPixels(first, Page(page), 0, 0), 20) << page;
  // Page 3 holds the copy 72 points right and 144 down: 72 and 144 pixels at 72 dots an inch.
  EXPECT_LT(DifferingPixels(first, Page(3), 72, 144), 20);
  const std::string text = ooxml_test::RunAndCapture("pdftotext -enc UTF-8 -f 5 -l 5 " +
                                                     ooxml_test::Quote(path_) + " -");
  EXPECT_NE(text.find("Малиновое варенье"), std::string::npos) << text;
}

// A sheet twice as long holds no more drawings, only more places.
TEST_F(PdfFormsTest, MorePagesOfCopiesAddLittle) {
  const int two = Written(*Sheet(std::vector<QPointF>(2)), "two.pdf").size();
  const QByteArray twenty = Written(*Sheet(std::vector<QPointF>(20)), "twenty.pdf");
  EXPECT_EQ(Count(twenty, "/Subtype /Form"), 3);
  EXPECT_EQ(Count(twenty, "/ShadingType"),
            Count(Written(*Sheet({{0, 0}}), "one.pdf"), "/ShadingType") * 2);
  EXPECT_LT(twenty.size(), two + 18 * 2000);
}

// A copy that differs in its colour or its text is drawn as itself, not as the others.
TEST_F(PdfFormsTest, ShapesThatDifferAreNotTakenForCopies) {
  auto doc = Sheet({{0, 0}, {0, 0}, {0, 0}});
  Shape& star = *doc->shapes[7].shape;
  ASSERT_EQ(star.preset, "star5");
  star.fill.color = 0x00C000;
  doc->shapes[8].shape->text[0].runs[0].text = "Клубничное варенье";
  const QByteArray pdf = Written(*doc, "differ.pdf");
  EXPECT_EQ(Count(pdf, "/Subtype /Form"), 3);
  const QImage first = Page(1), third = Page(3);
  EXPECT_LT(DifferingPixels(first, Page(2), 0, 0), 20);
  const QPoint inStar(330, 80);
  EXPECT_TRUE(IsGreen(third.pixel(inStar))) << std::hex << third.pixel(inStar);
  EXPECT_FALSE(IsGreen(first.pixel(inStar)));
  const std::string text = ooxml_test::RunAndCapture("pdftotext -enc UTF-8 -f 3 -l 3 " +
                                                     ooxml_test::Quote(path_) + " -");
  EXPECT_NE(text.find("Клубничное"), std::string::npos) << text;
  EXPECT_EQ(text.find("Малиновое"), std::string::npos) << text;
}

// Files not as Qt writes them, and marks naming forms that are not there, are refused whole.
TEST(PdfForms, WhatCannotBePlacedIsRefused) {
  EnsureApplication();
  auto pdf = [](int pages, int marked) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(300);
    QPainter painter(&writer);
    painter.scale(300 / 72.0, 300 / 72.0);
    for (int page = 0; page < pages; ++page) {
      if (page > 0) writer.newPage();
      painter.fillRect(QRectF(10, 10, 50, 50), Qt::blue);
      if (marked >= 0) pdfforms::MarkForm(painter, QPointF(5, 5), marked);
    }
    painter.end();
    return bytes.toStdString();
  };
  const std::string forms = pdf(1, -1);
  const auto placed = pdfforms::PlaceForms(pdf(2, 0), forms, 300 / 72.0, 300 / 72.0);
  ASSERT_TRUE(placed);
  EXPECT_EQ(QByteArray::fromStdString(*placed).count("/Subtype /Form"), 1);
  EXPECT_FALSE(pdfforms::PlaceForms(pdf(1, 1), forms, 1, 1)) << "no form 1";
  EXPECT_FALSE(pdfforms::PlaceForms("%PDF-1.4\nnonsense", forms, 1, 1));
  const std::string whole = pdf(2, 0);
  EXPECT_FALSE(pdfforms::PlaceForms(whole.substr(0, whole.size() / 2), forms, 1, 1));
  EXPECT_FALSE(pdfforms::PlaceForms(whole, forms.substr(0, forms.size() - 200), 1, 1));
}

}  // namespace
