#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <vector>

#include "tests/wordproc/render_support.h"
#include "wordlink/Automation.h"
#include "wordlink/OleContainer.h"
#include "wordproc/Container.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace render_test;

namespace {

constexpr std::uint32_t kUntouched = 0x12345678;

struct Canvas {
  Canvas(int w, int h) : width(w), height(h), pixels(std::size_t(w) * h, kUntouched) {}
  std::uint32_t at(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
  int width, height;
  std::vector<std::uint32_t> pixels;
};

bool IsOpaqueRed(std::uint32_t p) {
  return (p >> 24) == 0xFF && IsRed(p);
}
bool IsOpaqueWhite(std::uint32_t p) {
  return (p >> 24) == 0xFF && IsWhite(p);
}

class ContainerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApplication();
    RegisterDocumentContainer();
    container_ = wordlink::CreateOleContainer();
  }

  // A4 with a red square of 100 points at 200 points from the corner, saved under ".doc" as the
  // thumbnail copies are.
  void CreateFromA4WithSquare(bool autoSize = true) {
    Document doc;
    Place(doc, FilledRect(200, 200, 100, 100, 0xFF0000));
    std::string path = dir_.filePath("copy.doc").toStdString();
    WritePackage(doc, path);
    container_->setAutoSize(autoSize);
    container_->createObjectFromFile(path, false);
  }

  void Paint(Canvas& canvas, int x, int y) {
    container_->paintTo(canvas.pixels.data(), canvas.width, canvas.height, x, y);
  }

  QTemporaryDir dir_;
  std::unique_ptr<wordlink::OleContainer> container_;
};

TEST_F(ContainerTest, TakesTheFirstPagesSizeAt96PixelsPerInchOnlyInAutoSize) {
  CreateFromA4WithSquare();
  EXPECT_TRUE(container_->hasObject());
  EXPECT_EQ(container_->width(), 794);
  EXPECT_EQ(container_->height(), 1123);

  container_->setWidth(50);
  container_->setHeight(60);
  CreateFromA4WithSquare(false);
  EXPECT_EQ(container_->width(), 50);
  EXPECT_EQ(container_->height(), 60);
}

TEST_F(ContainerTest, PaintsThePageScaledToItsSizeAtThePositionClipped) {
  CreateFromA4WithSquare();
  container_->setWidth(216);
  container_->setHeight(305);
  Canvas canvas(300, 400);
  Paint(canvas, 10, 20);
  for (QPoint outside : {QPoint(9, 100), QPoint(100, 19), QPoint(226, 100), QPoint(100, 325)})
    EXPECT_EQ(canvas.at(outside.x(), outside.y()), kUntouched) << outside.x() << "," << outside.y();
  EXPECT_TRUE(IsOpaqueWhite(canvas.at(10, 20)));
  EXPECT_TRUE(IsOpaqueWhite(canvas.at(225, 324)));
  // At 216 / 595.3 pixels per point the square spans 72.6 to 108.9 pixels from the corner.
  EXPECT_TRUE(IsOpaqueRed(canvas.at(10 + 90, 20 + 90)));
  EXPECT_TRUE(IsOpaqueWhite(canvas.at(10 + 60, 20 + 90)));
  EXPECT_TRUE(IsOpaqueWhite(canvas.at(10 + 120, 20 + 90)));

  Paint(canvas, -100, -100);  // clipped to the canvas
  EXPECT_TRUE(IsOpaqueRed(canvas.at(0, 0)));
  EXPECT_TRUE(IsOpaqueWhite(canvas.at(50, 50)));
  Paint(canvas, 5000, 5000);
}

TEST_F(ContainerTest, FailedOrDestroyedObjectPaintsNothing) {
  const std::string path = dir_.filePath("missing.doc").toStdString();
  try {
    container_->createObjectFromFile(path, false);
    FAIL() << "no error";
  } catch (const wordlink::AutomationError& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
  }
  EXPECT_FALSE(container_->hasObject());

  CreateFromA4WithSquare();
  container_->destroyObject();
  EXPECT_FALSE(container_->hasObject());
  Canvas canvas(10, 10);
  Paint(canvas, 0, 0);
  EXPECT_EQ(canvas.at(5, 5), kUntouched);
}

}  // namespace
