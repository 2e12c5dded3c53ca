// Draws the program's picture into the PNG files of the icon theme, at build time:
// make-icons OUTDIR writes OUTDIR/<size>/<name>.png for each size of the hicolor theme.
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>

#include "ui/Application.h"
#include "ui/PanelStyle.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Использование: make-icons ПАПКА\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication application(argc, argv);
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    const QString folder = QStringLiteral("%1/%2x%2").arg(argv[1]).arg(size);
    const QString file = folder + "/" + ui::kDesktopId + ".png";
    if (!QDir().mkpath(folder) || !ui::ProgramPicture(size).save(file)) {
      std::fprintf(stderr, "make-icons: не удалось записать %s\n", qPrintable(file));
      return 1;
    }
  }
  return 0;
}
