// Pictures decoded for painting (declared with the text drawing in RenderText.h): no larger
// than they are drawn, within the budgets of a page, and kept for the next painting.
#include "wordproc/RenderText.h"

#include <QBuffer>
#include <QImageReader>
#include <list>
#include <mutex>

#include "wordproc/RenderPicture.h"

namespace wordproc {

namespace {

// The most the decoded pictures kept for repainting may take; a picture larger than that is
// decoded for each painting.
constexpr qsizetype kPictureCacheBytes = qsizetype(64) << 20;

// The pixels a box drawn at that size needs from a picture of the full size: never more than
// the picture has, at least one.
QSize NeededSize(const QSizeF& drawn, const QSize& full) {
  auto side = [](double wanted, int most) {
    if (!(wanted < most)) return most;  // NaN too
    return std::clamp(int(std::ceil(wanted)), 1, most);
  };
  return {side(drawn.width(), full.width()), side(drawn.height(), full.height())};
}

// Reads the header first: a picture claiming more than kMaxPicturePixels is not decoded at all,
// and others are decoded straight at the size asked for, not whole and then scaled.
QImage Decode(const Image& image, const QSize& wanted, QSize& full) {
  if (VectorKindOf(image.bytes) != VectorKind::None) {
    // A drawing has every size: it is rendered at the size asked for, within the limits.
    full = QSize(1 << 15, 1 << 15);
    const QSize size = NeededSize(wanted, full);
    if (!PictureSizeAllowed(size) || !SpendDecoding(qint64(size.width()) * size.height()))
      return {};
    return RasteriseVector(image, size);
  }
  QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(image.bytes.data()),
                                             qsizetype(image.bytes.size()));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  full = reader.size();
  if (!PictureSizeAllowed(full)) return {};
  reader.setAllocationLimit(int((kMaxPicturePixels * 4) >> 20));
  if (!SpendDecoding(qint64(full.width()) * full.height())) return {};
  const QSize size = NeededSize(wanted, full);
  if (size != full) reader.setScaledSize(size);
  return reader.read();
}

// Pages are painted again and again while a window scrolls; each picture is kept decoded at the
// largest size it was needed at, the least recently used going first when memory runs short.
class PictureCache {
 public:
  QImage get(const ImagePtr& image, const QSizeF& drawn) {
    std::lock_guard lock(mutex_);
    dropExpired();
    QSize wanted(int(std::min(drawn.width(), 1e9)), int(std::min(drawn.height(), 1e9)));
    auto found = std::find_if(entries_.begin(), entries_.end(),
                              [&](const Entry& e) { return e.part.lock() == image; });
    if (found != entries_.end()) {
      const QSize kept = found->picture.size();
      const QSize needed = NeededSize(drawn, found->full);
      if (kept.width() >= needed.width() && kept.height() >= needed.height()) {
        entries_.splice(entries_.begin(), entries_, found);
        return found->picture;
      }
      wanted = wanted.expandedTo(kept);
      forget(found);
    }
    QSize full;
    QImage picture = Decode(*image, wanted, full);
    return keep(image, full, std::move(picture));
  }

 private:
  struct Entry {
    std::weak_ptr<const Image> part;
    QSize full;  // the picture's own size
    QImage picture;
  };

  QImage keep(const ImagePtr& image, const QSize& full, QImage picture) {
    if (picture.isNull() || picture.sizeInBytes() > kPictureCacheBytes) return picture;
    entries_.push_front({image, full, picture});
    bytes_ += picture.sizeInBytes();
    while (bytes_ > kPictureCacheBytes) forget(std::prev(entries_.end()));
    return picture;
  }

  void forget(std::list<Entry>::iterator entry) {
    bytes_ -= entry->picture.sizeInBytes();
    entries_.erase(entry);
  }

  void dropExpired() {
    for (auto it = entries_.begin(); it != entries_.end();) {
      auto next = std::next(it);
      if (it->part.expired()) forget(it);
      it = next;
    }
  }

  std::mutex mutex_;
  std::list<Entry> entries_;  // most recently used first
  qsizetype bytes_ = 0;
};

}  // namespace

namespace {
thread_local PageDecoding* pageDecoding = nullptr;
}  // namespace

PageDecoding::PageDecoding() : outer_(pageDecoding) {
  pageDecoding = this;
}

PageDecoding::~PageDecoding() {
  pageDecoding = outer_;
}

bool SpendDecoding(qint64 pixels) {
  PageDecoding* page = pageDecoding;
  if (!page) return true;
  if (pixels > page->left_) return false;
  page->left_ -= pixels;
  return true;
}

bool PictureSizeAllowed(const QSize& size) {
  return size.width() > 0 && size.height() > 0 &&
         qint64(size.width()) * size.height() <= kMaxPicturePixels;
}

QSizeF DevicePixels(const QPainter& painter, const QRectF& box) {
  const QSizeF mapped = painter.combinedTransform().mapRect(box).size();
  const QPaintDevice* device = painter.device();
  return mapped * (device ? device->devicePixelRatio() : 1.0);
}

QImage PictureImage(const ImagePtr& image, const QSizeF& drawn) {
  if (!image || image->bytes.empty()) return {};
  static PictureCache cache;
  return cache.get(image, drawn);
}

}  // namespace wordproc
