// Laying out and drawing unusual and hostile documents ends, in bounded memory.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QTemporaryDir>
#include <cmath>

#include "tests/wordproc/bounded_support.h"
#include "tests/wordproc/ooxml_test_support.h"
#include "tests/wordproc/render_support.h"
#include "wordproc/Render.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Layout.h"

using namespace wordproc;
using namespace render_test;
using namespace bounded_test;
using testing::ExitedWithCode;

namespace {

std::string SizeText(const QSize& size) {
  return std::to_string(size.width()) + "x" + std::to_string(size.height()) + " ";
}

// A 30 x 20 mm label keeping the default margins, which are wider than the page, has its text
// set in the narrowest column; no width makes line breaking endless; a page three A4 pages tall
// is refused 20,000 pixels wide and drawn as a thumbnail.
TEST(RenderBounds, TextAndPagesOfAnySizeAreLaidOutAndDrawnInBoundedMemory) {
  UseFreshChildren();
  auto work = [] {
    EnsureApplication();
    Document label;
    label.pageSetup.pageWidth = 85;
    label.pageSetup.pageHeight = 57;
    label.paragraphs[0] = TextParagraph(label, "Образец текста на маленькой этикетке");
    Layout layout(label, FontMeasurer());
    std::string seen = std::to_string(
        std::lround(layout.paragraphHeight(0) / FontMeasurer().singleLineHeight(RunFormat{})));
    seen += " lines " + SizeText(RenderPage(label, layout, 1, 216).size());
    QTemporaryDir dir;
    WritePdf(label, layout, dir.filePath("label.pdf").toStdString());
    for (double width : {0.0, -50.0, std::nan("")})
      seen +=
          std::to_string(CountLines(TextParagraph(label, "ab cd\xF0\x9F\x98\x80"), width)) + " ";
    Document tall;
    tall.pageSetup.pageHeight *= 3;
    Layout tallLayout(tall, FontMeasurer());
    seen += RenderPage(tall, tallLayout, 1, 20000).isNull() ? "refused " : "drawn ";
    return seen + SizeText(RenderPage(tall, tallLayout, 1, 216).size());
  };
  EXPECT_EXIT(RunBounded(256, 60, work), ExitedWithCode(0),
              "(^|[^0-9])([4-9]|[1-9][0-9]) lines 216x145 5 5 1 refused 216x916 ");
}

// One picture file's bytes as many distinct parts, as a package holding it under many names.
std::vector<ImagePtr> LargePictures(int count, QSize size, QColor colour) {
  QImage picture(size, QImage::Format_RGB32);
  picture.fill(colour);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "PNG");
  std::vector<ImagePtr> parts;
  for (int i = 0; i < count; ++i)
    parts.push_back(std::make_shared<Image>(Image{"image/png", "png", {png.begin(), png.end()}}));
  return parts;
}

// A PNG of one pixel whose header claims 100,000 x 100,000.
ImagePtr ClaimingPicture() {
  std::vector<std::uint8_t> png = ooxml_test::MakePng(1, 1, 0xFF0000);
  auto put32 = [&](std::size_t at, std::uint32_t value) {
    for (int k = 0; k < 4; ++k) png[at + k] = std::uint8_t(value >> (24 - 8 * k));
  };
  put32(16, 100000);
  put32(20, 100000);
  put32(29, ooxml_test::Crc32(png.data() + 12, 17));
  return std::make_shared<Image>(Image{"image/png", "png", png});
}

// Twelve 12-megapixel pictures on a page, then thirty of 16 MB drawn whole: decoded whole, or
// kept by number rather than by size, either set would take far more than the headroom.
TEST(RenderBounds, PicturesAreDecodedNoLargerThanDrawnInBoundedMemory) {
  UseFreshChildren();
  auto work = [] {
    EnsureApplication();
    const ImagePtr part = LargePictures(1, {400, 300}, Qt::red)[0];
    std::string seen;
    for (QSizeF drawn : {QSizeF(40, 30), QSizeF(20.2, 10), QSizeF(5000, 100)})
      seen += SizeText(PictureImage(part, drawn).size());
    seen += PictureImage(ClaimingPicture(), {10, 10}).isNull() ? "refused " : "decoded ";
    auto doc = PlainDocument();
    for (const ImagePtr& large : LargePictures(12, {4000, 3000}, Qt::red)) {
      auto shape = NewShape(ShapeKind::Picture, 50.0f * float(doc->shapes.size()), 0, 40, 30);
      shape->image = large;
      Place(*doc, std::move(shape));
    }
    Layout layout(*doc, FontMeasurer());
    const QImage page = RenderPage(*doc, layout, 1, 600);
    int drawn = 0, whole = 0;
    for (int c = 0; c < 12; ++c)
      drawn += CountPixels(page, QRect(50 * c + 3, 3, 34, 24), IsRed) == 34 * 24;
    for (const ImagePtr& large : LargePictures(30, {2048, 2048}, Qt::blue))
      whole += PictureImage(large, {2048, 2048}).width() == 2048;
    return seen + "drawn " + std::to_string(drawn) + " whole " + std::to_string(whole);
  };
  EXPECT_EXIT(RunBounded(320, 60, work), ExitedWithCode(0),
              "40x30 40x30 400x100 refused drawn 12 whole 30");
}

}  // namespace
