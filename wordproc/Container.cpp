#include "wordproc/Container.h"

#include <QImage>
#include <QPainter>
#include <cmath>
#include <memory>

#include "wordlink/Automation.h"
#include "wordlink/OleContainer.h"
#include "wordproc/Render.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Ooxml.h"

namespace wordproc {

namespace {

// Points to pixels at 96 pixels per inch, the natural size an embedded document reports.
int NaturalPixels(float points) {
  return int(std::lround(points * 96.0 / 72.0));
}

class DocumentContainer final : public wordlink::OleContainer {
 public:
  void setAutoSize(bool on) override { autoSize_ = on; }

  void createObjectFromFile(const std::string& fileName, bool iconic) override {
    destroyObject();
    try {
      document_ = LoadDocumentFile(fileName);
    } catch (const std::exception& e) {
      throw wordlink::AutomationError("CreateObjectFromFile", e.what());
    }
    layout_ = std::make_unique<Layout>(*document_, FontMeasurer());
    if (autoSize_) {  // the first page is what the object shows
      const PageSetup first = layout_->pageSetupOfPage(1);
      width_ = NaturalPixels(first.pageWidth);
      height_ = NaturalPixels(first.pageHeight);
    }
  }

  bool hasObject() const override { return document_ != nullptr; }
  int width() const override { return width_; }
  int height() const override { return height_; }
  void setWidth(int pixels) override { width_ = std::max(0, pixels); }
  void setHeight(int pixels) override { height_ = std::max(0, pixels); }

  void paintTo(std::uint32_t* pixels, int canvasWidth, int canvasHeight, int x, int y) override {
    if (!document_ || !pixels || canvasWidth <= 0 || canvasHeight <= 0) return;
    if (width_ <= 0 || height_ <= 0) return;
    // 0xAARRGGBB words in native byte order are exactly Qt's ARGB32 pixels.
    QImage canvas(reinterpret_cast<uchar*>(pixels), canvasWidth, canvasHeight,
                  qsizetype(canvasWidth) * 4, QImage::Format_ARGB32);
    QPainter painter(&canvas);
    PaintPage(painter, *document_, *layout_, 1, QRectF(x, y, width_, height_));
  }

  void destroyObject() override {
    layout_.reset();
    document_.reset();
  }

 private:
  bool autoSize_ = false;
  int width_ = 0, height_ = 0;
  std::unique_ptr<Document> document_;
  std::unique_ptr<Layout> layout_;  // refers to document_
};

}  // namespace

void RegisterDocumentContainer() {
  wordlink::RegisterOleContainer([] { return std::make_unique<DocumentContainer>(); });
}

}  // namespace wordproc
