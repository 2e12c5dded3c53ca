#include "wordproc/PictureFile.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImageReader>

#include "wordproc/RenderPicture.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Ooxml.h"
#include "wordproc/core/Package.h"

namespace wordproc {

namespace {

// The file's bytes, when it is a regular file no larger than a package part may be: a larger
// picture would make the saved document unreadable.
QByteArray ReadPictureFile(const std::string& path) {
  std::string reason;
  const package::FileDescriptor file(package::OpenRegularForReading(path, reason));
  if (file.get() < 0)
    throw DocumentError("Не удалось открыть файл рисунка «" + path + "»: " + reason);
  QFile in;
  const qint64 most = qint64(PackageLimits().maxPartSize);
  if (in.open(file.get(), QIODevice::ReadOnly) && in.size() > most) {
    throw DocumentError("Файл рисунка «" + path + "» больше " + std::to_string(most >> 20) +
                        " МБ, в документ он не помещается");
  }
  QByteArray bytes = in.isOpen() ? in.read(in.size()) : QByteArray();
  if (!in.isOpen() || bytes.size() != in.size())
    throw DocumentError("Не удалось прочитать файл рисунка «" + path + "»");
  return bytes;
}

// A drawing: EMF, WMF or SVG, measured by its own header.
ImagePtr LoadDrawing(const std::string& path, const QByteArray& bytes, float& width,
                     float& height) {
  auto image = std::make_shared<Image>();
  image->bytes.assign(bytes.begin(), bytes.end());
  const VectorKind kind = VectorKindOf(image->bytes);
  if (kind == VectorKind::None) return nullptr;
  const std::optional<QSizeF> size = VectorNaturalSize(image->bytes);
  if (!size || size->isEmpty())
    throw DocumentError("Не удалось прочитать размер рисунка в файле «" + path + "»");
  image->extension = kind == VectorKind::Emf ? "emf" : kind == VectorKind::Wmf ? "wmf" : "svg";
  image->contentType = kind == VectorKind::Emf   ? "image/x-emf"
                       : kind == VectorKind::Wmf ? "image/x-wmf"
                                                 : "image/svg+xml";
  width = float(size->width());
  height = float(size->height());
  return image;
}

}  // namespace

ImagePtr LoadPicture(const std::string& path, float& width, float& height) {
  constexpr double kPointsPerPixel = 0.75;
  QByteArray bytes = ReadPictureFile(path);
  if (ImagePtr drawing = LoadDrawing(path, bytes, width, height)) return drawing;
  QBuffer buffer(&bytes);
  QImageReader reader(&buffer);
  QSize size = reader.size();
  std::string format = reader.format().toLower().toStdString();
  if (format.empty() || !size.isValid())
    throw DocumentError("Файл «" + path + "» не является рисунком");
  if (!PictureSizeAllowed(size)) {
    throw DocumentError("Рисунок «" + path + "» слишком велик: " + std::to_string(size.width()) +
                        " × " + std::to_string(size.height()) + " точек, а допустимо не больше " +
                        std::to_string(kMaxPicturePixels >> 20) + " мегапикселей");
  }
  auto image = std::make_shared<Image>();
  image->extension = format == "jpg" ? "jpeg" : format;
  image->contentType = "image/" + image->extension;
  image->bytes.assign(bytes.begin(), bytes.end());
  width = float(size.width() * kPointsPerPixel);
  height = float(size.height() * kPointsPerPixel);
  return image;
}

}  // namespace wordproc
