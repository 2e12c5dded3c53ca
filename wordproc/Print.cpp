#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/Files.h"
#include "wordproc/PdfStamper.h"
#include "wordproc/Render.h"
#include "wordproc/core/Ooxml.h"
#include "wordproc/core/Package.h"

namespace wordproc {

namespace {

constexpr int kPdfResolution = 300;

std::string Quoted(const std::string& text) {
  return "«" + text + "»";
}

QPageLayout PageLayoutOf(const PageSetup& setup) {
  QSizeF size(setup.pageWidth, setup.pageHeight);
  // Paper sizes are upright with an orientation, which is what printer drivers expect.
  bool landscape = size.width() > size.height();
  QPageSize pageSize(landscape ? size.transposed() : size, QPageSize::Point, QString(),
                     QPageSize::ExactMatch);
  return QPageLayout(pageSize, landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                     QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

int PageCount(Layout& layout) {
  return std::max(1, layout.pageCount());
}

// Paints every page onto a device whose pages are pageSize device pixels, each moved by offset
// (points) in the device's scale; the stamper, when given, draws the body shapes.
bool PaintPages(QPagedPaintDevice& device, QPainter& painter, const Document& doc, Layout& layout,
                const QSizeF& pageSize, QPointF offset, ShapeStamper* stamper = nullptr) {
  const auto shapes = ShapesByPage(doc, layout);
  // pageSize is the first page's: the device begins with its paper.
  const PageSetup first = layout.pageSetupOfPage(1);
  const QPointF shift(offset.x() * pageSize.width() / first.pageWidth,
                      offset.y() * pageSize.height() / first.pageHeight);
  for (int page = 1, count = PageCount(layout); page <= count; ++page) {
    // Sections of other paper sizes get pages of their own size, in the device's scale.
    const PageSetup& setup = layout.pageSetupOfPage(page);
    const QSizeF size(pageSize.width() * setup.pageWidth / first.pageWidth,
                      pageSize.height() * setup.pageHeight / first.pageHeight);
    if (page > 1) {
      if (!(setup == layout.pageSetupOfPage(page - 1))) device.setPageLayout(PageLayoutOf(setup));
      if (!device.newPage()) return false;
    }
    const auto* pageShapes = std::size_t(page) <= shapes.size() ? &shapes[page - 1] : nullptr;
    PaintPage(painter, doc, layout, page, QRectF(shift, size), PaintMode::Output, pageShapes,
              stamper);
  }
  return true;
}

// Every page as a PDF file, shifted by the offset; path names it in messages.
QByteArray PdfOfPages(const Document& doc, Layout& layout, const std::string& title,
                      const std::string& path, QPointF offset, ShapeStamper* stamper) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buffer);
  writer.setResolution(kPdfResolution);
  writer.setTitle(QString::fromStdString(title));
  writer.setCreator(QStringLiteral("Varnel Stampora"));
  writer.setPageLayout(PageLayoutOf(layout.pageSetupOfPage(1)));
  QPainter painter;
  if (!painter.begin(&writer))
    throw DocumentError("Не удалось начать запись PDF-файла " + Quoted(path));
  const PageSetup first = layout.pageSetupOfPage(1);
  QSizeF size(first.pageWidth * kPdfResolution / 72.0, first.pageHeight * kPdfResolution / 72.0);
  bool painted = PaintPages(writer, painter, doc, layout, size, offset, stamper);
  painter.end();
  if (!painted) throw DocumentError("Не удалось добавить страницу в PDF-файл " + Quoted(path));
  return bytes;
}

// Writes every page into the device as a PDF file. Drawings that stand in many places (the
// copies of a sheet) are written once; should that fail, the pages are written plainly.
void WritePdfTo(QIODevice& device, const Document& doc, Layout& layout, const std::string& title,
                const std::string& path, QPointF offset) {
  PdfStamper stamper(kPdfResolution, PageLayoutOf(layout.pageSetupOfPage(1)));
  const QByteArray pages = PdfOfPages(doc, layout, title, path, offset, &stamper);
  std::optional<std::string> placed = stamper.finish(pages.toStdString());
  if (!placed) placed = PdfOfPages(doc, layout, title, path, offset, nullptr).toStdString();
  device.write(placed->data(), qint64(placed->size()));
}

// A half-written PDF would pass for a printout; it goes when writing fails.
void WritePdfOrRemove(QFile& file, const Document& doc, Layout& layout, const std::string& title,
                      QPointF offset) {
  const std::string path = file.fileName().toStdString();
  try {
    WritePdfTo(file, doc, layout, title, path, offset);
    if (!file.flush() || file.error() != QFileDevice::NoError) {
      throw DocumentError("Не удалось записать PDF-файл " + Quoted(path) + ": " +
                          file.errorString().toStdString());
    }
    file.close();
  } catch (...) {
    file.remove();
    throw;
  }
}

// The PDF's bytes go to a file beside the target that is renamed over it only when complete
// (platform::AtomicFile), so a failure or a kill leaves the previous PDF as it was. The writer's
// many small pieces are gathered into large writes.
class AtomicPdfFile final : public QIODevice {
 public:
  explicit AtomicPdfFile(const std::string& path) : file_(path) {
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
  }
  // Writes what is gathered; returns the first failure in words for the user, empty when all
  // went well.
  const std::string& finish() {
    flush();
    return failure_;
  }
  void commit() { file_.Commit(); }
  bool isSequential() const override { return true; }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 size) override {
    pending_.append(data, std::size_t(size));
    if (pending_.size() >= kChunk && !flush()) return -1;
    return size;
  }

 private:
  static constexpr std::size_t kChunk = 256 * 1024;

  bool flush() {
    if (!failure_.empty()) return false;
    try {
      file_.Write(pending_.data(), pending_.size());
      pending_.clear();
      return true;
    } catch (const platform::FileError& error) {
      failure_ = package::FileErrorReason(error, file_.path());
      setErrorString(QString::fromStdString(failure_));
      return false;
    }
  }

  platform::AtomicFile file_;
  std::string pending_;
  std::string failure_;
};

std::string BaseName(const std::string& path) {
  std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A file name made from a document name: no folders, no extension, nothing a file system or a
// shell would trip over.
std::string SanitizedName(const std::string& documentName) {
  std::string name = BaseName(documentName);
  std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  for (char& c : name) {
    if (static_cast<unsigned char>(c) < 0x20 ||
        std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos)
      c = '_';
  }
  name.erase(0, name.find_first_not_of('.'));  // no hidden files, no ".."
  // Room for the number within the usual 255-byte limit, cut between UTF-8 characters.
  constexpr std::size_t kMaxBytes = 200;
  if (name.size() > kMaxBytes) {
    std::size_t cut = kMaxBytes;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.erase(cut);
  }
  return name.empty() ? "document" : name;
}

// Creates "<folder>/<name>-<n>.pdf" with the first n not taken; never replaces a file.
void OpenNewPdf(QFile& file, const std::string& folder, const std::string& documentName) {
  QDir dir(QString::fromStdString(folder));
  if (!dir.mkpath(QStringLiteral(".")))
    throw DocumentError("Не удалось создать папку " + Quoted(folder) + " для PDF-файлов");
  QString stem = QString::fromStdString(SanitizedName(documentName));
  constexpr int kAttempts = 100000;
  for (int n = 1; n <= kAttempts; ++n) {
    file.setFileName(dir.filePath(stem + QStringLiteral("-%1.pdf").arg(n)));
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return;
    if (!file.exists()) {
      throw DocumentError("Не удалось создать PDF-файл " + Quoted(file.fileName().toStdString()) +
                          ": " + file.errorString().toStdString());
    }
  }
  throw DocumentError("В папке " + Quoted(folder) + " нет свободного имени для PDF-файла");
}

std::string PrintToPdfFolder(const Document& doc, Layout& layout, const std::string& folder,
                             const std::string& documentName, QPointF offset) {
  QFile file;
  OpenNewPdf(file, folder, documentName);
  WritePdfOrRemove(file, doc, layout, documentName, offset);
  return file.fileName().toStdString();
}

std::string PrivatePdfFolder() {
  try {
    return platform::PrivateTempFolder();
  } catch (const platform::FileError& e) {
    throw DocumentError(std::string("Нет папки для PDF-файла печати: ") + e.what());
  }
}

std::string PrinterName(const QPrinter& printer) {
  if (printer.outputFormat() == QPrinter::PdfFormat) return kPdfOutputName;
  return printer.printerName().toStdString();
}

void PaintOnPrinter(QPrinter& printer, const Document& doc, Layout& layout,
                    const std::string& documentName, const PrintSettings& settings) {
  const std::string printerName = PrinterName(printer);
  QPainter painter;
  if (!painter.begin(&printer)) {
    throw DocumentError("Не удалось начать печать документа " + Quoted(documentName) +
                        " на принтере " + Quoted(printerName));
  }
  bool painted =
      PaintPages(printer, painter, doc, layout, printer.paperRect(QPrinter::DevicePixel).size(),
                 settings.offsetFor(printerName));
  painter.end();
  if (!painted || printer.printerState() == QPrinter::Error) {
    throw DocumentError("Ошибка печати документа " + Quoted(documentName) + " на принтере " +
                        Quoted(printerName));
  }
}

void PrintToPrinter(const Document& doc, Layout& layout, const QPrinterInfo& info,
                    const std::string& documentName, const PrintSettings& settings) {
  QPrinter printer(info, QPrinter::HighResolution);
  printer.setDocName(QString::fromStdString(documentName));
  printer.setFullPage(true);
  printer.setPageLayout(PageLayoutOf(layout.pageSetupOfPage(1)));
  PaintOnPrinter(printer, doc, layout, documentName, settings);
}

PdfFallbackHandler& FallbackHandler() {
  static PdfFallbackHandler handler;
  return handler;
}

// The printer the settings name, else the default one; null when there is none.
QPrinterInfo ChosenPrinter(const PrintSettings& settings) {
  if (settings.printer.empty()) return QPrinterInfo::defaultPrinter();
  QPrinterInfo printer = QPrinterInfo::printerInfo(QString::fromStdString(settings.printer));
  if (printer.isNull())
    throw DocumentError("Принтер " + Quoted(settings.printer) + " не найден в системе");
  return printer;
}

}  // namespace

void SetPdfFallbackHandler(PdfFallbackHandler handler) {
  FallbackHandler() = std::move(handler);
}

QPointF PrintSettings::offsetFor(const std::string& printerName) const {
  auto own = offsets.find(printerName);
  if (own != offsets.end()) return own->second;
  auto any = offsets.find(kAnyPrinterName);
  return any != offsets.end() ? any->second : QPointF();
}

void WritePdf(const Document& doc, Layout& layout, const std::string& path,
              const PrintSettings& settings) {
  const std::string failed = "Не удалось записать PDF-файл " + Quoted(path) + ": ";
  std::unique_ptr<AtomicPdfFile> file;
  try {
    package::RefuseUnwritableTarget(path);
    file = std::make_unique<AtomicPdfFile>(path);
  } catch (const std::exception& error) {
    throw DocumentError(failed + package::FileErrorReason(error, path));
  }
  WritePdfTo(*file, doc, layout, BaseName(path), path, settings.offsetFor(kPdfOutputName));
  if (const std::string& failure = file->finish(); !failure.empty())
    throw DocumentError(failed + failure);
  try {
    file->commit();
  } catch (const platform::FileError& error) {
    throw DocumentError(failed + package::FileErrorReason(error, path));
  }
}

std::string PrintPages(const Document& doc, Layout& layout, const std::string& documentName,
                       const PrintSettings& settings) {
  const QPointF pdfOffset = settings.offsetFor(kPdfOutputName);
  const char* folder = std::getenv("VSP_PRINT_TO_PDF_DIR");
  if (folder && *folder) return PrintToPdfFolder(doc, layout, folder, documentName, pdfOffset);
  QPrinterInfo printer = ChosenPrinter(settings);
  if (!printer.isNull()) {
    PrintToPrinter(doc, layout, printer, documentName, settings);
    return {};
  }
  std::string pdf = PrintToPdfFolder(doc, layout, PrivatePdfFolder(), documentName, pdfOffset);
  if (const PdfFallbackHandler handler = FallbackHandler()) handler(pdf);
  return pdf;
}

void PrintOn(QPrinter& printer, const Document& doc, Layout& layout, const std::string& name,
             const PrintSettings& settings) {
  PaintOnPrinter(printer, doc, layout, name, settings);
}

}  // namespace wordproc
