// Laying out and drawing unusual and hostile documents ends, in bounded memory.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QBuffer>
#include <QTemporaryDir>
#include <cmath>
#include <limits>

#include "tests/wordproc/bounded_support.h"
#include "tests/wordproc/ooxml_test_support.h"
#include "tests/wordproc/render_support.h"
#include "wordproc/Layout.h"
#include "wordproc/Render.h"
#include "wordproc/RenderText.h"
#include "wordproc/ShapeOps.h"

using namespace wordproc;
using namespace render_test;
using namespace bounded_test;
using testing::ExitedWithCode;

namespace {

constexpr double kPointsPerMm = 72 / 25.4;

TEST(RenderBounds, TextColumnIsTheRoomBetweenTheMarginsOrAMinimum) {
  PageSetup a4;
  EXPECT_FLOAT_EQ(TextColumnWidth(a4), a4.pageWidth - 180);
  PageSetup label{float(30 * kPointsPerMm), float(20 * kPointsPerMm), 72, 72, 90, 90};
  EXPECT_FLOAT_EQ(TextColumnWidth(label), kMinTextColumn);
  PageSetup narrow{20, 20, 0, 0, 0, 0};
  EXPECT_FLOAT_EQ(TextColumnWidth(narrow), 20) << "a narrow page without margins keeps its width";
  PageSetup broken{100, 100, 0, 0, std::numeric_limits<float>::quiet_NaN(), 0};
  EXPECT_FLOAT_EQ(TextColumnWidth(broken), kMinTextColumn);
}

TEST(RenderBounds, LinesBreakAtEveryWidthAtLeastOneCharacterALine) {
  UseFreshChildren();
  EXPECT_EXIT(RunBounded(256, 60,
                         [] {
                           EnsureApplication();
                           Document doc;
                           const Paragraph p = TextParagraph(doc, "ab cd\xF0\x9F\x98\x80");
                           std::string counts;
                           for (double width : {0.0, -50.0, std::nan(""), 1e9})
                             counts += std::to_string(CountLines(p, width)) + " ";
                           return "lines " + counts;
                         }),
              ExitedWithCode(0), "lines 5 5 1 1 ");
}

TEST(RenderBounds, PageNarrowerThanItsMarginsIsLaidOutDrawnAndPrinted) {
  UseFreshChildren();
  EXPECT_EXIT(
      RunBounded(256, 60,
                 [] {
                   EnsureApplication();
                   Document doc;
                   doc.pageSetup.pageWidth = float(30 * kPointsPerMm);
                   doc.pageSetup.pageHeight = float(20 * kPointsPerMm);
                   doc.paragraphs[0] = TextParagraph(doc, "Образец текста на маленькой этикетке");
                   Layout layout(doc);
                   const int lines =
                       int(std::lround(layout.paragraphHeight(0) / (kLineSpacing * 11)));
                   const QImage thumbnail = RenderPage(doc, layout, 1, 216);
                   QTemporaryDir dir;
                   WritePdf(doc, layout, dir.filePath("label.pdf").toStdString());
                   return "pages " + std::to_string(layout.pageCount()) + " lines " +
                          std::to_string(lines) + " picture " + std::to_string(thumbnail.width()) +
                          "x" + std::to_string(thumbnail.height());
                 }),
      ExitedWithCode(0), "pages 1 lines ([4-9]|[1-9][0-9]) picture 216x144");
}

TEST(RenderBounds, PicturesOfPagesAreCappedInPixelsThumbnailsAreNot) {
  PageSetup a4;
  EXPECT_EQ(RenderSize(a4, 216), QSize(216, 305));
  EXPECT_TRUE(RenderSizeAllowed(RenderSize(a4, 5000)));
  PageSetup tall = a4;
  tall.pageHeight = 3 * a4.pageHeight;
  EXPECT_NEAR(RenderSize(tall, 20000).height(), 84853, 3);
  EXPECT_FALSE(RenderSizeAllowed(RenderSize(tall, 20000)));
  PageSetup needle{1, 28346, 0, 0, 0, 0};
  EXPECT_EQ(RenderSize(needle, 1000000).height(), std::numeric_limits<int>::max());

  UseFreshChildren();
  EXPECT_EXIT(RunBounded(256, 60,
                         [] {
                           EnsureApplication();
                           Document doc;
                           doc.pageSetup.pageHeight *= 3;
                           Layout layout(doc);
                           const bool refused = RenderPage(doc, layout, 1, 20000).isNull();
                           const QSize thumbnail = RenderPage(doc, layout, 1, 216).size();
                           return std::string(refused ? "refused" : "drawn") + " thumbnail " +
                                  std::to_string(thumbnail.width()) + "x" +
                                  std::to_string(thumbnail.height());
                         }),
              ExitedWithCode(0), "refused thumbnail 216x916");
}

// One picture file's bytes as many distinct parts, as a package holding the same picture under
// many names gives them.
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

TEST(RenderBounds, PicturesAreDecodedAtTheSizeTheyAreDrawnAndNeverLarger) {
  EnsureApplication();
  const ImagePtr part = LargePictures(1, {400, 300}, Qt::red)[0];
  EXPECT_EQ(PictureImage(part, {40, 30}).size(), QSize(40, 30));
  EXPECT_EQ(PictureImage(part, {20.2, 10}).size(), QSize(40, 30)) << "a larger one is kept";
  EXPECT_EQ(PictureImage(part, {100, 10}).size(), QSize(100, 30));
  EXPECT_EQ(PictureImage(part, {5000, 5000}).size(), QSize(400, 300));
  EXPECT_TRUE(PictureImage(part, {0, 0}).size().isValid());

  // A header claiming 100,000 x 100,000 pixels is refused before anything is decoded.
  auto claim = std::make_shared<Image>(*LargePictures(1, {1, 1}, Qt::red)[0]);
  auto put32 = [&](std::size_t at, std::uint32_t value) {
    for (int k = 0; k < 4; ++k) claim->bytes[at + k] = std::uint8_t(value >> (24 - 8 * k));
  };
  put32(16, 100000);  // IHDR width and height
  put32(20, 100000);
  put32(29, ooxml_test::Crc32(claim->bytes.data() + 12, 17));
  EXPECT_FALSE(PictureSizeAllowed({100000, 100000}));
  EXPECT_TRUE(PictureImage(claim, {10, 10}).isNull());
}

TEST(RenderBounds, InsertedPicturesAreRegularFilesOfSaneSizes) {
  UseFreshChildren();
  ooxml_test::TempDir dir;
  const std::string pipe = dir / "pipe.png";
  ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0600));
  const std::string claim = dir / "claim.png";
  std::vector<std::uint8_t> png = ooxml_test::MakePng(1, 1, 0xFF0000);
  for (int at : {16, 20})
    for (int k = 0; k < 4; ++k) png[at + k] = std::uint8_t(100000u >> (24 - 8 * k));
  const std::uint32_t crc = ooxml_test::Crc32(png.data() + 12, 17);
  for (int k = 0; k < 4; ++k) png[29 + k] = std::uint8_t(crc >> (24 - 8 * k));
  ooxml_test::WriteFile(claim, std::string(png.begin(), png.end()));
  EXPECT_EXIT(RunBounded(256, 20,
                         [&] {
                           std::string seen;
                           for (const std::string& path : {pipe, claim}) {
                             float width = 0, height = 0;
                             try {
                               LoadPicture(path, width, height);
                               seen += "inserted | ";
                             } catch (const DocumentError& e) {
                               seen += std::string(e.what()) + " | ";
                             }
                           }
                           return seen;
                         }),
              ExitedWithCode(0),
              "pipe.png»: это канал, а не файл \\| Рисунок «[^»]*claim.png» слишком велик: "
              "100000 × 100000 точек");
}

TEST(RenderBounds, DecodingForOnePageStopsAtItsBudget) {
  EXPECT_TRUE(SpendDecoding(kMaxDecodedPixelsPerPage * 2)) << "outside a page nothing counts";
  PageDecoding page;
  EXPECT_TRUE(SpendDecoding(kMaxDecodedPixelsPerPage - 10));
  EXPECT_FALSE(SpendDecoding(11));
  EXPECT_TRUE(SpendDecoding(10));
  {
    PageDecoding next;
    EXPECT_TRUE(SpendDecoding(kMaxDecodedPixelsPerPage));
  }
  EXPECT_FALSE(SpendDecoding(1));
}

TEST(RenderBounds, KeptPicturesAreBoundedInBytesNotInNumber) {
  UseFreshChildren();
  // Thirty pictures of 16 MB each, drawn at full size: as many as would fit in a cache counted in
  // entries would take far more than the headroom.
  EXPECT_EXIT(RunBounded(320, 60,
                         [] {
                           EnsureApplication();
                           const auto parts = LargePictures(30, {2048, 2048}, Qt::blue);
                           int drawn = 0;
                           for (const ImagePtr& part : parts)
                             drawn += PictureImage(part, {2048, 2048}).width() == 2048;
                           return "decoded " + std::to_string(drawn);
                         }),
              ExitedWithCode(0), "decoded 30");
}

TEST(RenderBounds, PageOfManyLargePicturesIsDrawnInBoundedMemory) {
  UseFreshChildren();
  EXPECT_EXIT(RunBounded(320, 60,
                         [] {
                           EnsureApplication();
                           auto doc = PlainDocument();
                           int column = 0;
                           for (const ImagePtr& part : LargePictures(12, {4000, 3000}, Qt::red)) {
                             auto shape = NewShape(ShapeKind::Picture, 50 * column++, 0, 40, 30);
                             shape->image = part;
                             Place(*doc, std::move(shape));
                           }
                           Layout layout(*doc);
                           const QImage page = RenderPage(*doc, layout, 1, 600);
                           int drawn = 0;
                           for (int c = 0; c < column; ++c) {
                             const QRect inside(50 * c + 3, 3, 34, 24);
                             drawn += CountPixels(page, inside, IsRed) == 34 * 24;
                           }
                           return "drawn " + std::to_string(drawn);
                         }),
              ExitedWithCode(0), "drawn 12");
}

}  // namespace
