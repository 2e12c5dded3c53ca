#include "ui/ufmRewriteDlg.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "platform/UserInteraction.h"
#include "ui/Connect.h"
#include "ui/ModalDialogs.h"
#include "ui/PanelStyle.h"

namespace ui {

namespace {

constexpr const char* kSameNameMessage = "Выбранное имя файла должно отличаться от файла коллекции";

}  // namespace

TForm1::TForm1(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint) {
  setObjectName("Form1");
  setWindowTitle("Подтверждение перезаписи редактируемого файла");
  setFont(PanelFont());
  setFixedSize(460, 113);
  Label1 = new QLabel(
      "Для размножения оттиска, необходимо сохранить файл, который Вы редактировали.", this);
  Label1->setGeometry(12, 8, 440, 28);
  Label1->setWordWrap(true);
  Label2 = new QLabel("Во избежании перезаписи файла коллекции введите другое имя ", this);
  Label2->setGeometry(12, 38, 440, 28);
  Label2->setWordWrap(true);
  Button2 = new QPushButton("Ввести другое имя", this);
  Button2->setObjectName("Button2");
  Button2->setGeometry(140, 78, 161, 25);
  Button2->setDefault(true);
  Button3 = new QPushButton("Отмена", this);
  Button3->setObjectName("Button3");
  Button3->setGeometry(309, 78, 75, 25);
  SaveDialog1 = new QFileDialog(this);
  SaveDialog1->setObjectName("SaveDialog1");
  On(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  On(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->geometry().center() - rect().center());
}

void TForm1::Button2Click() {
  for (;;) {
    SaveDialog1->setDirectory(QString::fromStdString(InitialFolder));
    SaveDialog1->setNameFilter("Microsoft Word Document (*.doc)");
    SaveDialog1->setDefaultSuffix("doc");
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    // Choosing the collection file itself must reach the check below, not a question.
    SaveDialog1->setOption(QFileDialog::DontConfirmOverwrite);
    if (ExecModal(*SaveDialog1, QDialog::Rejected) != QDialog::Accepted) return;
    const QStringList chosen = SaveDialog1->selectedFiles();
    std::string name = chosen.isEmpty() ? std::string() : chosen.first().toStdString();
    if (name != CollectionFileName) {
      NewFileName = name;
      ResultCode = 2;
      accept();
      return;
    }
    platform::UI().messageBox(kSameNameMessage, "Предупреждение", platform::MsgIcon::Warning,
                              platform::MsgButtons::Ok);
  }
}

void TForm1::Button3Click() {
  ResultCode = 1;
  reject();
}

}  // namespace ui
