#include "ui/Application.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/uCommon.h"
#include "app/uStartup.h"
#include "ui/PanelStyle.h"

namespace ui {

namespace {

constexpr const char* kQtTranslation = "qtbase_ru";

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(ProgramPicture(size));
  return icon;
}

}  // namespace

bool InstallQtTranslation(const std::string& programFolder) {
  auto* translator = new QTranslator(QCoreApplication::instance());
  const std::string shipped =
      app::ShippedFile(std::string("translations/") + kQtTranslation + ".qm", programFolder);
  if (translator->load(kQtTranslation, QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      translator->load(QString::fromStdString(shipped))) {
    return QCoreApplication::installTranslator(translator);
  }
  delete translator;
  return false;
}

void PrepareApplication(QApplication& application, const std::string& programFolder) {
  application.setWindowIcon(ProgramIcon());
  application.setDesktopFileName(kDesktopId);
  InstallQtTranslation(programFolder);
}

void SetApplicationTitle(QApplication& application) {
  // No display name: Qt would append it to the caption of every window and dialog.
  application.setApplicationName(app::AppTitle);
}

}  // namespace ui
