// The overwrite dialog, the open dialogs and the general error report.
#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QPushButton>
#include <fstream>

#include "UiSupport.h"
#include "app/uCommon.h"
#include "platform/UserInteraction.h"
#include "ui/ufmRewriteDlg.h"

namespace ui_test {
namespace {

using Dialogs = UiTest;

TEST_F(Dialogs, OverwriteDialogCancelsOrTakesAnotherName) {
  const std::string folder = data + "Оттиски/Визитки/Мои оттиски/";
  const std::string collection = data + "Оттиски/Визитки/Коллекция оттисков/b.doc";
  answers.push_back([](QDialog& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Подтверждение перезаписи редактируемого файла");
    dynamic_cast<ui::TForm1&>(dialog).Button3->click();
  });
  platform::OverwriteAnswer answer = platform::UI().askOverwrite(folder, collection);
  EXPECT_EQ(answer.result, 1);
  EXPECT_EQ(answer.newName, "");

  answers.push_back(Press("Button2"));
  answers.push_back([&](QDialog& dialog) {
    auto& files = dynamic_cast<QFileDialog&>(dialog);
    EXPECT_EQ(files.directory().absolutePath().toStdString() + "/", folder);
    EXPECT_EQ(files.defaultSuffix(), "doc");
    ChooseFile(collection)(dialog);
  });
  answers.push_back(ChooseFile(folder + "mine.doc"));
  answer = platform::UI().askOverwrite(folder, collection);
  EXPECT_EQ(answer.result, 2);
  EXPECT_EQ(answer.newName, folder + "mine.doc");
  EXPECT_EQ(Messages(),
            "Предупреждение\tВыбранное имя файла должно отличаться от файла коллекции\n");
}

TEST_F(Dialogs, CancelledSaveDialogLeavesTheOverwriteDialogOpen) {
  answers.push_back([](QDialog& dialog) {
    dialog.findChild<QPushButton*>("Button2")->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dynamic_cast<ui::TForm1&>(dialog).ResultCode, 0);
    dialog.close();
  });
  answers.push_back(Cancel());
  const platform::OverwriteAnswer answer = platform::UI().askOverwrite(data, data + "x.doc");
  EXPECT_EQ(answer.result, 0);
}

TEST_F(Dialogs, OpenDialogsStartInTheirRootsAndReportAFailureToOpen) {
  ui::TfmMain& w = Open();
  std::ofstream(data + "Оттиски/broken.docx") << "PK\x03\x04 a damaged package";
  answers.push_back([&](QDialog& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Выберите оттиск");
    EXPECT_EQ(dynamic_cast<QFileDialog&>(dialog).directory().absolutePath().toStdString(),
              data + "Оттиски");
    ChooseFile(data + "Оттиски/broken.docx")(dialog);
  });
  w.aGlyphOpen->trigger();
  EXPECT_EQ(Messages().rfind("Varnel Stampora\t", 0), 0u) << Messages();
  EXPECT_NE(Messages().find("broken.docx"), std::string::npos) << Messages();
  EXPECT_EQ(w.sgOpenDocs->Tag, 0) << "a file opened this way is not listed";

  answers.push_back([&](QDialog& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Выберите лист");
    ChooseFile(data + "Листы/Визитки/Коллекция листов/s1.doc")(dialog);
  });
  w.aSheetOpen->trigger();
  EXPECT_NE(app::AppController->FindDocument(data + "Листы/Визитки/Коллекция листов/s1.doc"),
            nullptr);
  EXPECT_EQ(w.sgOpenDocs->Tag, 0);
}

}  // namespace
}  // namespace ui_test
