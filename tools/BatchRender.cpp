#include "tools/BatchRender.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <exception>

#include "platform/Files.h"
#include "tools/BatchArgs.h"
#include "wordproc/Render.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Ooxml.h"

namespace batch {

namespace {

std::string Quoted(const std::string& text) {
  return "«" + text + "»";
}

// Empty when the page can be drawn at that width; else why not, in words for the user.
std::string WhyNotDrawable(wordproc::Layout& layout, const wordproc::Document& doc,
                           const std::string& file, int page, int widthPx) {
  const int pages = layout.pageCount();
  if (page < 1 || page > pages) {
    return "в документе " + Quoted(file) + " нет страницы " + std::to_string(page) +
           " (страниц: " + std::to_string(pages) + ")";
  }
  const QSize size = wordproc::RenderSize(doc.pageSetup, widthPx);
  if (!wordproc::RenderSizeAllowed(size)) {
    return "страница документа " + Quoted(file) + " шириной " + std::to_string(widthPx) +
           " пикселей была бы высотой " + std::to_string(size.height()) +
           " пикселей, а рисунок больше " + std::to_string(wordproc::kMaxRenderPixels >> 20) +
           " мегапикселей не рисуется; укажите меньшую ширину";
  }
  return {};
}

}  // namespace

int BatchRender(const std::string& file, int page, int widthPx, const std::string& outPng,
                std::ostream& err) {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    err << "stampora-batch: для рисования страниц нужно графическое приложение Qt\n";
    return 1;
  }
  try {
    RequireRegularFile(file);
    // The object model hands out no pixels, so the document is drawn by the renderer the
    // word processor itself uses for thumbnails, PDF files and printing.
    auto doc = wordproc::LoadDocumentFile(file);
    wordproc::Layout layout(*doc, wordproc::FontMeasurer());
    if (std::string why = WhyNotDrawable(layout, *doc, file, page, widthPx); !why.empty()) {
      err << "stampora-batch: " << why << "\n";
      return 1;
    }
    QImage image = wordproc::RenderPage(*doc, layout, page, widthPx);
    if (image.isNull()) {
      err << "stampora-batch: не удалось нарисовать страницу шириной " << widthPx << " пикселей\n";
      return 1;
    }
    // The picture is made whole in memory and then replaces the file, never truncating a
    // previous picture to leave half of a new one.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
      err << "stampora-batch: не удалось записать файл " << Quoted(outPng) << "\n";
      return 1;
    }
    platform::WriteFileAtomically(outPng, png.constData(), std::size_t(png.size()));
  } catch (const std::exception& e) {
    err << "stampora-batch: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace batch
