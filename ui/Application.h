// What the program's windows share before the first of them exists: the program's picture and
// desktop entry, and Qt's own Russian texts for the standard dialogs (open and save, input box,
// print, message box buttons).
#pragma once

#include <string>

class QApplication;

namespace ui {

// The name of the program's desktop entry and icon.
inline constexpr const char* kDesktopId = VSP_APP_ID;

// Loads Qt's Russian translation from Qt's translations folder, else from the copy the program
// ships (translations/qtbase_ru.qm in its shared folder). False when neither can be loaded.
bool InstallQtTranslation(const std::string& programFolder);

// The program's picture, its desktop entry and Qt's Russian texts; the first thing main does.
void PrepareApplication(QApplication& application, const std::string& programFolder);
// The application's name, which Qt shows where a window has no caption of its own; every
// other window keeps exactly the caption the program gives it.
void SetApplicationTitle(QApplication& application);

}  // namespace ui
