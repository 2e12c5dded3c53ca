#include "tools/BatchRender.h"

#include <QGuiApplication>
#include <QImage>
#include <exception>

#include "tools/BatchArgs.h"
#include "wordproc/Layout.h"
#include "wordproc/Ooxml.h"
#include "wordproc/Render.h"

namespace batch {

namespace {

std::string Quoted(const std::string& text) {
  return "«" + text + "»";
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
    wordproc::Layout layout(*doc);
    int pages = layout.pageCount();
    if (page < 1 || page > pages) {
      err << "stampora-batch: в документе " << Quoted(file) << " нет страницы " << page
          << " (страниц: " << pages << ")\n";
      return 1;
    }
    QImage image = wordproc::RenderPage(*doc, layout, page, widthPx);
    if (image.isNull()) {
      err << "stampora-batch: не удалось нарисовать страницу шириной " << widthPx << " пикселей\n";
      return 1;
    }
    if (!image.save(QString::fromStdString(outPng), "PNG")) {
      err << "stampora-batch: не удалось записать файл " << Quoted(outPng) << "\n";
      return 1;
    }
  } catch (const std::exception& e) {
    err << "stampora-batch: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace batch
