#include "ui/ufmAbout.h"

#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include "app/uCommon.h"
#include "ui/Connect.h"
#include "ui/ModalDialogs.h"
#include "ui/PanelStyle.h"

namespace ui {

namespace {

constexpr const char* kCredits =
    "Varnel Stampora — программа для подготовки и печати самоклеящихся этикеток.\n\n"
    "Разработка: команда Varnel.\n"
    "Текстовый процессор, каталог, эскизы и размножение оттисков: команда Varnel.\n"
    "Интерфейс построен на Qt; кэш эскизов сжимается библиотекой zlib; документы OOXML "
    "читаются и пишутся с помощью libzip и pugixml.\n\n"
    "Все права защищены. Программа поставляется «как есть», без каких-либо гарантий. "
    "Распространение и изменение допускаются только с письменного разрешения "
    "правообладателя.";

QLabel* MakeLabel(QWidget* parent, const QString& text, const QRect& geometry) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(geometry);
  return label;
}

}  // namespace

QString SiteName() {
  QString name = QString(kSiteAddress).section("://", 1);
  if (name.endsWith('/')) name.chop(1);
  return name;
}

TfmAbout::TfmAbout(QWidget* parent) : QDialog(parent) {
  setObjectName("fmAbout");
  setWindowTitle("О программе");
  setFont(PanelFont());
  setFixedSize(381, 294);
  Panel1 = new QFrame(this);
  Panel1->setGeometry(10, 8, 361, 249);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel1->setLineWidth(2);
  ProgramIcon = new QLabel(Panel1);
  ProgramIcon->setGeometry(8, 8, 58, 58);
  ProgramIcon->setScaledContents(true);
  ProgramIcon->setPixmap(ProgramPicture(58));
  laProductName = MakeLabel(Panel1, {}, QRect(88, 12, 260, 20));
  QFont title = laProductName->font();
  title.setBold(true);
  title.setPointSize(title.pointSize() + 2);
  laProductName->setFont(title);
  Label1 = MakeLabel(Panel1, "Версия: 1.0.1.129", QRect(88, 36, 260, 16));
  laCopyright = MakeLabel(Panel1, "© Varnel, 2008–2024", QRect(88, 54, 260, 16));
  QFont copyright = laCopyright->font();
  copyright.setPixelSize(12);
  laCopyright->setFont(copyright);
  Memo1 = new QPlainTextEdit(kCredits, Panel1);
  Memo1->setGeometry(8, 76, 345, 137);
  Memo1->setReadOnly(true);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  laSiteLink = MakeLabel(Panel1, kSiteAddress, QRect(8, 220, 345, 20));
  laSiteLink->setWordWrap(true);
  laSiteLink->setCursor(Qt::PointingHandCursor);
  laSiteLink->setStyleSheet("color: blue; text-decoration: underline;");
  laSiteLink->installEventFilter(this);
  OKButton = new QPushButton("OK", this);
  OKButton->setGeometry(153, 263, 75, 25);
  OKButton->setDefault(true);
  On(OKButton, &QPushButton::clicked, this, [this] { accept(); });
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->geometry().center() - rect().center());
  FormCreate();
}

void TfmAbout::FormCreate() {
  laProductName->setText(app::AppTitle);
}

void TfmAbout::laSiteLinkClick() {
  ShellOpen(laSiteLink->text().toStdString());
}

bool TfmAbout::eventFilter(QObject* watched, QEvent* event) {
  if (watched == laSiteLink && event->type() == QEvent::MouseButtonRelease) laSiteLinkClick();
  return QDialog::eventFilter(watched, event);
}

}  // namespace ui
