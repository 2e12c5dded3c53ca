#include <gtest/gtest.h>

#include <QBuffer>
#include <QPainter>
#include <fstream>

#include "tests/wordproc/metafile_support.h"
#include "tests/wordproc/ooxml_test_support.h"
#include "tests/wordproc/render_support.h"
#include "wordproc/PictureFile.h"
#include "wordproc/Render.h"
#include "wordproc/RenderPicture.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace render_test;
using namespace ooxml_test;
using namespace metafile_test;

namespace {

ImagePtr ImageOf(const std::string& bytes, const char* extension, const char* type) {
  return std::make_shared<Image>(Image{type, extension, {bytes.begin(), bytes.end()}});
}

// Red on the left half, a blue ellipse on the right.
std::string RedAndBlueEmf() {
  Emf emf(200, 100);
  emf.Brush(1, 0, 0xFF0000);
  emf.Pen(2, 5, 0, 0);
  emf.Select(1);
  emf.Select(2);
  emf.Rectangle(0, 0, 100, 100);
  emf.Brush(3, 0, 0x0000FF);
  emf.Select(3);
  emf.Ellipse(100, 0, 200, 100);
  return emf.bytes();
}

// Green on the left half, a red ellipse on the right, and a dark word over them.
std::string GreenAndRedWmf() {
  Wmf wmf(2880, 1440);
  wmf.Pen(5, 0, 0);
  wmf.Select(0);
  wmf.Brush(0, 0x00C000);
  wmf.Select(1);
  wmf.Rectangle(0, 0, 1440, 1440);
  wmf.Brush(0, 0xFF0000);
  wmf.Select(2);
  wmf.Ellipse(1440, 0, 2880, 1440);
  return wmf.bytes();
}

// A dark word on the baseline and a smaller one centred under it.
std::string TextEmf() {
  Emf emf(400, 100);
  emf.Font(1, -40, u"DejaVu Sans");
  emf.Select(1);
  emf.Ints(24, {ColorRef(0x000080)});
  emf.Ints(22, {24});
  emf.Text(10, 60, u"Логотип");
  emf.Ints(22, {24 | 6});
  emf.Font(2, -20, u"DejaVu Serif");
  emf.Select(2);
  emf.Text(300, 90, u"Центр", 14);
  return emf.bytes();
}

std::string Png(int width, int height, const std::function<QColor(int x)>& colourAt) {
  QImage picture(width, height, QImage::Format_RGB32);
  for (int x = 0; x < width; ++x)
    for (int y = 0; y < height; ++y) picture.setPixelColor(x, y, colourAt(x));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "PNG");
  return bytes.toStdString();
}

const char* kGreenSvg =
    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"40\" height=\"20\">"
    "<rect width=\"40\" height=\"20\" fill=\"#00c000\"/></svg>";

struct Shares {
  double red = 0, green = 0, blue = 0;
};

// The share of red, green and blue pixels in a box, a few pixels in from its edges.
Shares SharesIn(const QImage& image, QRect box) {
  box.adjust(4, 4, -4, -4);
  Shares s;
  for (int y = box.top(); y <= box.bottom(); ++y) {
    for (int x = box.left(); x <= box.right(); ++x) {
      const QRgb c = image.pixel(x, y);
      s.red += IsRed(c), s.blue += IsBlue(c), s.green += IsGreen(c);
    }
  }
  const double n = double(box.width()) * box.height();
  return {s.red / n, s.green / n, s.blue / n};
}

// Where the dark pixels of a box lie.
QRect InkBounds(const QImage& image, const QRect& box) {
  QRect ink;
  for (int y = box.top(); y <= box.bottom(); ++y)
    for (int x = box.left(); x <= box.right(); ++x)
      if (IsDark(image.pixel(x, y))) ink |= QRect(x, y, 1, 1);
  return ink;
}

int Edge(const QRect& r, int k) {
  return k == 0 ? r.left() : k == 1 ? r.top() : k == 2 ? r.right() : r.bottom();
}

// A page of the picture kinds this file is about, each where it can be found again: an inline
// WMF, a floating EMF, a PNG cropped to its left half, a PNG carrying an SVG and an EMF of text.
std::unique_ptr<Document> PictureDocument() {
  auto doc = PlainDocument();
  InlinePicture wmf;
  wmf.id = doc->newShapeId();
  wmf.width = 200, wmf.height = 100;
  wmf.image = ImageOf(GreenAndRedWmf(), "wmf", "image/x-wmf");
  doc->paragraphs[0].inlinePictures.push_back(wmf);
  Shape& emf = Place(*doc, NewShape(ShapeKind::Picture, 300, 20, 200, 100));
  emf.image = ImageOf(RedAndBlueEmf(), "emf", "image/x-emf");
  Shape& cropped = Place(*doc, NewShape(ShapeKind::Picture, 20, 300, 100, 100));
  cropped.image =
      ImageOf(Png(40, 20, [](int x) { return x < 20 ? Qt::red : Qt::blue; }), "png", "image/png");
  cropped.crop.right = 0.5f;
  Shape& svg = Place(*doc, NewShape(ShapeKind::Picture, 300, 300, 200, 100));
  svg.image = ImageOf(Png(4, 2, [](int) { return Qt::blue; }), "png", "image/png");
  svg.svg = ImageOf(kGreenSvg, "svg", "image/svg+xml");
  Shape& text = Place(*doc, NewShape(ShapeKind::Picture, 20, 500, 400, 100));
  text.image = ImageOf(TextEmf(), "emf", "image/x-emf");
  for (auto& anchored : doc->shapes) anchored.shape->line.visible = false;
  return doc;
}

const QRect kTextBox(20, 500, 400, 100);
const QRect kInlineBox(0, 0, 200, 100), kEmfBox(300, 20, 200, 100), kCroppedBox(20, 300, 100, 100),
    kSvgBox(300, 300, 200, 100);

class PictureFormats : public ::testing::Test {
 protected:
  void SetUp() override { EnsureApplication(); }
  static QImage Render(const Document& doc) {
    Layout layout(doc, FontMeasurer());
    return RenderPage(doc, layout, 1, 600);
  }
};

TEST_F(PictureFormats, MetafilesSvgAndCropsAreDrawnInTheirBoxes) {
  const QImage page = Render(*PictureDocument());
  const Shares wmf = SharesIn(page, kInlineBox), emf = SharesIn(page, kEmfBox);
  EXPECT_NEAR(wmf.green, 0.5, 0.06);
  EXPECT_NEAR(wmf.red, 0.39, 0.06);  // an ellipse in its half
  EXPECT_NEAR(emf.red, 0.5, 0.06);
  EXPECT_NEAR(emf.blue, 0.39, 0.06);
  const Shares cropped = SharesIn(page, kCroppedBox);
  EXPECT_GT(cropped.red, 0.97);
  EXPECT_EQ(cropped.blue, 0);
  EXPECT_EQ(SharesIn(page, kCroppedBox.translated(100, 0)).blue, 0);  // nothing beyond the box
  const Shares svg = SharesIn(page, kSvgBox);
  EXPECT_GT(svg.green, 0.97);
  EXPECT_EQ(svg.blue, 0);
}

// On PDF the metafile stays a drawing: no image in the file, the same colours where it stands.
TEST_F(PictureFormats, PdfTakesMetafilesAsVectors) {
  if (!HaveProgram("pdftoppm")) GTEST_SKIP() << "poppler-utils is not installed";
  auto doc = PlainDocument();
  Shape& emf = Place(*doc, NewShape(ShapeKind::Picture, 300, 20, 200, 100));
  emf.image = ImageOf(RedAndBlueEmf(), "emf", "image/x-emf");
  emf.line.visible = false;
  TempDir dir;
  Layout layout(*doc, FontMeasurer());
  WritePdf(*doc, layout, dir / "emf.pdf");
  std::ifstream in(dir / "emf.pdf", std::ios::binary);
  const std::string pdf((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(pdf.find("/Subtype /Image"), std::string::npos);
  EXPECT_EQ(pdf.find("/Subtype/Image"), std::string::npos);
  ASSERT_EQ(std::system(("pdftoppm -r 72 -png -singlefile " + Quote(dir / "emf.pdf") + " " +
                         Quote(dir / "emf") + " >/dev/null 2>&1")
                            .c_str()),
            0);
  const Shares shares = SharesIn(QImage(QString::fromStdString(dir / "emf.png")), kEmfBox);
  EXPECT_NEAR(shares.red, 0.5, 0.06);
  EXPECT_NEAR(shares.blue, 0.39, 0.06);
}

// The page written by us and drawn by LibreOffice shows the same colours in every box but the
// SVG's, which LibreOffice draws from the PNG beside it.
TEST_F(PictureFormats, LibreOfficeDrawsOurPicturesAlike) {
  if (!HaveProgram("soffice") || !HaveProgram("pdftoppm"))
    GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
  const auto doc = PictureDocument();
  TempDir dir;
  WritePackage(*doc, dir / "pictures.docx");
  const std::string pdf = ConvertWithLibreOffice(dir / "pictures.docx", "pdf", dir / "pdf");
  ASSERT_FALSE(pdf.empty());
  ASSERT_EQ(std::system(("pdftoppm -r 72 -png -singlefile " + Quote(pdf) + " " +
                         Quote(dir / "there") + " >/dev/null 2>&1")
                            .c_str()),
            0);
  const QImage there(QString::fromStdString(dir / "there.png"));
  const QImage here = Render(*doc);
  ASSERT_NEAR(there.width(), here.width(), 1);
  // LibreOffice draws the PNG a blip keeps beside its SVG: it finds the part we wrote there.
  EXPECT_GT(SharesIn(there, kSvgBox).blue, 0.97);
  const QRect ourInk = InkBounds(here, kTextBox), theirInk = InkBounds(there, kTextBox);
  ASSERT_FALSE(theirInk.isEmpty());
  for (int k = 0; k < 4; ++k) EXPECT_NEAR(Edge(ourInk, k), Edge(theirInk, k), 3) << k;
  for (const QRect& box : {kInlineBox, kEmfBox, kCroppedBox}) {
    SCOPED_TRACE(box.x() * 1000 + box.y());
    const Shares ours = SharesIn(here, box), theirs = SharesIn(there, box);
    EXPECT_NEAR(ours.red, theirs.red, 0.08);
    EXPECT_NEAR(ours.green, theirs.green, 0.08);
    EXPECT_NEAR(ours.blue, theirs.blue, 0.08);
  }
}

QImage Drawn(const std::string& bytes, const QSize& size) {
  QImage out(size, QImage::Format_RGB32);
  out.fill(Qt::white);
  QPainter painter(&out);
  DrawPicturePart(painter, ImageOf(bytes, "emf", "image/x-emf"), nullptr, {},
                  QRectF(QPointF(0, 0), QSizeF(size)));
  return out;
}

// Bitmaps stand the right way up in both formats, and text leaves ink where it is written.
TEST_F(PictureFormats, BitmapsAndTextInsideMetafiles) {
  Wmf wmf(1440, 1440);
  wmf.StretchDib(0, 0, 1440, 1440, 2, {0xFF0000, 0x0000FF, 0x00C000, 0x000000});
  const QImage quarters = Drawn(wmf.bytes(), {100, 100});
  EXPECT_TRUE(IsRed(quarters.pixel(25, 25)));
  EXPECT_TRUE(IsBlue(quarters.pixel(75, 25)));
  EXPECT_TRUE(IsGreen(quarters.pixel(25, 75)));
  EXPECT_TRUE(IsDark(quarters.pixel(75, 75)));

  Emf emf(200, 100);
  emf.StretchDib(0, 0, 200, 50, 2, {0xFF0000, 0x0000FF});
  emf.Font(1, -40, u"DejaVu Sans");
  emf.Select(1);
  emf.Ints(22, {24});  // on the baseline
  emf.Text(10, 90, u"ЖЖЖ");
  const QImage page = Drawn(emf.bytes(), {200, 100});
  EXPECT_TRUE(IsRed(page.pixel(50, 25)));
  EXPECT_TRUE(IsBlue(page.pixel(150, 25)));
  int ink = 0, inkAboveText = 0;
  for (int y = 50; y < 100; ++y)
    for (int x = 0; x < 200; ++x) ink += IsDark(page.pixel(x, y));
  for (int y = 50; y < 55; ++y)
    for (int x = 0; x < 200; ++x) inkAboveText += IsDark(page.pixel(x, y));
  EXPECT_GT(ink, 300);
  EXPECT_EQ(inkAboveText, 0);  // letters 40 high stand on the baseline at 90
}

// Coordinates, widths and heights at the ends of their ranges are painted without fault.
TEST_F(PictureFormats, ExtremeValuesInsideMetafilesArePainted) {
  Emf emf(100, 100);
  emf.Pen(1, 0, 0x7FFFFFFF, 0xFF0000);
  emf.Select(1);
  emf.Rectangle(-0x7FFFFFFF, -0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF);
  emf.Ints(35, {0x7F7FFFFF, 0, 0, 0x7F7FFFFF, 0x7F7FFFFF, 0});  // the largest floats
  emf.Ellipse(0, 0, 10, 10);
  emf.Ints(35, {0x3F800000, 0, 0, 0x3F800000, 0, 0});
  emf.Font(2, -0x7FFFFFFF, u"DejaVu Sans");
  emf.Select(2);
  emf.Text(10, 10, u"Ж");
  emf.StretchDib(0, 0, 0x7FFFFFFF, -0x7FFFFFFF, 1, {0x00FF00});
  const QImage page = Drawn(emf.bytes(), {100, 100});
  EXPECT_FALSE(page.isNull());
}

TEST_F(PictureFormats, DrawingFilesAreInsertedAtTheirOwnSize) {
  TempDir dir;
  const std::pair<std::string, std::string> files[] = {
      {"logo.emf", RedAndBlueEmf()}, {"logo.wmf", GreenAndRedWmf()}, {"logo.svg", kGreenSvg}};
  const QSizeF sizes[] = {{50 * 72 / 25.4, 25 * 72 / 25.4}, {144, 72}, {30, 15}};
  for (int k = 0; k < 3; ++k) {
    SCOPED_TRACE(files[k].first);
    std::ofstream(dir / files[k].first, std::ios::binary) << files[k].second;
    float width = 0, height = 0;
    const ImagePtr image = LoadPicture(dir / files[k].first, width, height);
    ASSERT_TRUE(image);
    EXPECT_NEAR(width, sizes[k].width(), 0.01);
    EXPECT_NEAR(height, sizes[k].height(), 0.01);
    EXPECT_EQ(image->bytes.size(), files[k].second.size());
  }
  std::ofstream(dir / "broken.emf", std::ios::binary) << RedAndBlueEmf().substr(0, 60);
  float width = 0, height = 0;
  EXPECT_THROW(LoadPicture(dir / "broken.emf", width, height), DocumentError);
}

TEST_F(PictureFormats, WrittenAndReadBackKeepsTheBytesSvgAndCrop) {
  auto doc = PictureDocument();
  doc->paragraphs[0].inlinePictures[0].crop = {0.1f, 0.2f, 0.25f, 0};
  auto group = NewShape(ShapeKind::Group, 20, 500, 200, 100);
  auto member = NewShape(ShapeKind::Picture, 0, 0, 100, 100);
  member->image = doc->shapes[0].shape->image;
  member->crop = {0, 0.5f, 0, 0};
  member->line.visible = false;
  group->children.push_back(std::move(member));
  Place(*doc, std::move(group));
  const std::vector<std::uint8_t> bytes = WritePackageToMemory(*doc, false);
  const auto back = ReadBytes(std::string(bytes.begin(), bytes.end()));
  const InlinePicture& wmf = back->paragraphs[0].inlinePictures.at(0);
  EXPECT_EQ(wmf.image->bytes, doc->paragraphs[0].inlinePictures[0].image->bytes);
  EXPECT_EQ(wmf.image->extension, "wmf");
  EXPECT_EQ(wmf.crop, doc->paragraphs[0].inlinePictures[0].crop);
  ASSERT_EQ(back->shapes.size(), 5u);
  EXPECT_EQ(back->shapes[0].shape->image->extension, "emf");
  EXPECT_EQ(back->shapes[0].shape->image->bytes, doc->shapes[0].shape->image->bytes);
  EXPECT_EQ(back->shapes[1].shape->crop, doc->shapes[1].shape->crop);
  const Shape& svg = *back->shapes[2].shape;
  ASSERT_TRUE(svg.svg);
  EXPECT_EQ(svg.svg->bytes, doc->shapes[2].shape->svg->bytes);
  EXPECT_EQ(svg.image->bytes, doc->shapes[2].shape->image->bytes);
  EXPECT_EQ(back->shapes[4].shape->children.at(0)->crop, (PictureCrop{0, 0.5f, 0, 0}));
}

TEST_F(PictureFormats, VmlImageDataCropsInBothNotations) {
  const std::string body =
      "<w:p><w:r><w:pict><v:shape style=\"position:absolute;width:100pt;height:50pt\">"
      "<v:imagedata r:id=\"rIdImg\" cropleft=\"16384f\" cropright=\".25\" croptop=\"-0.1\"/>"
      "</v:shape></w:pict></w:r></w:p>";
  const auto doc = ReadBytes(
      PackageWithBody(body, {{"word/_rels/document.xml.rels", ImageRels()},
                             {"word/media/image1.png", Png(4, 2, [](int) { return Qt::blue; })}}));
  ASSERT_EQ(doc->shapes.size(), 1u);
  EXPECT_EQ(doc->shapes[0].shape->crop, (PictureCrop{0.25f, -0.1f, 0.25f, 0}));
}

}  // namespace
