#include "ui/ufmSaveDocs.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include "ui/Connect.h"
#include "ui/PanelStyle.h"

namespace ui {

TfmSaveDocs::TfmSaveDocs(QWidget* parent) : QDialog(parent) {
  setObjectName("fmSaveDocs");
  setWindowTitle("Внимание!");
  setFont(PanelFont());
  setFixedSize(304, 245);
  Image1 = new QLabel(this);
  Image1->setGeometry(8, 8, 33, 34);
  Image1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
  Label1 = new QLabel(this);
  Label1->setObjectName("Label1");
  Label1->setGeometry(53, 9, 234, 26);
  Label1->setWordWrap(true);
  Button3 = AddButton("Button3", "Не закрывать документы", 48, 31, kLeaveOpen);
  Button2 = AddButton("Button2", "Сохранить и закрыть документы", 87, 30, kSaveAndClose);
  Button1 = AddButton("Button1", "Закрыть документы без сохранения", 126, 30, kCloseWithoutSaving);
  CancelBtn =
      AddButton("CancelBtn", "Закрыть документы с подтверждением", 165, 30, kCloseWithPrompts);
  Button4 = AddButton("Button4", "Отмена выхода", 205, 30, kCancelExit);
  Button3->setDefault(true);
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->geometry().center() - rect().center());
}

QPushButton* TfmSaveDocs::AddButton(const char* name, const char* caption, int top, int height,
                                    int result) {
  auto* button = new QPushButton(caption, this);
  button->setObjectName(name);
  button->setGeometry(12, top, 280, height);
  On(button, &QPushButton::clicked, this, [this, result] { done(result); });
  return button;
}

}  // namespace ui
