#include "ui/DistributePrintBox.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/Connect.h"
#include "ui/StringGrid.h"

namespace ui {

namespace {

constexpr int kRowHeight = 21;

QLabel* NewLabel(QWidget* parent, const char* name, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  return label;
}

// The widths the box was drawn with are the least a control gets; a wider caption in the
// installed font widens it rather than being cut.
QPushButton* NewButton(QWidget* parent, const char* name, int width) {
  auto* button = new QPushButton(parent);
  button->setObjectName(name);
  button->setMinimumWidth(width);
  button->setFixedHeight(25);
  button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  return button;
}

}  // namespace

TDistributePrintBox::TDistributePrintBox(const QString& numberPrompt, QWidget* parent)
    : QGroupBox("Распределение оттисков по листам и печать", parent) {
  setObjectName("pDistributePrint");
  la1 = NewLabel(this, "la1", numberPrompt);
  la1->setWordWrap(true);
  edNumberToPrint = new QLineEdit("1", this);
  edNumberToPrint->setObjectName("edNumberToPrint");
  edNumberToPrint->setFixedSize(46, kRowHeight);
  edNumberToPrint->setEnabled(false);
  udNumberToPrint = new TUpDown(edNumberToPrint, this);
  udNumberToPrint->setObjectName("udNumberToPrint");
  udNumberToPrint->setFixedSize(16, kRowHeight);
  udNumberToPrint->setEnabled(false);
  la3 = NewLabel(this, "la3", "Страниц:");
  la3->setAlignment(Qt::AlignHCenter);
  lbPages = NewLabel(this, "lbPages", "1");
  lbPages->setAlignment(Qt::AlignCenter);
  la2 = NewLabel(this, "la2", "Укажите формат бумаги:");
  cbPaperSize = new QComboBox(this);
  cbPaperSize->setObjectName("cbPaperSize");
  cbPaperSize->setMinimumWidth(120);
  cbPaperSize->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  cbPaperSize->setEnabled(false);
  laStartPosition = NewLabel(this, "laStartPosition", "Начать с места:");
  edStartPosition = new QSpinBox(this);
  edStartPosition->setObjectName("edStartPosition");
  edStartPosition->setRange(1, 1);
  edStartPosition->setFixedHeight(kRowHeight);
  edStartPosition->setMinimumWidth(62);
  edStartPosition->setToolTip(
      "Номер этикетки на первом листе, с которой начать (1 — первая): первые места листа, "
      "уже использованные, останутся пустыми");
  edStartPosition->setEnabled(false);
  btGlyphClone = NewButton(this, "btGlyphClone", 130);
  btQuickPrint = NewButton(this, "btQuickPrint", 96);
  btPrint = NewButton(this, "btPrint", 71);

  auto* pages = new QVBoxLayout;
  pages->setSpacing(0);
  pages->addWidget(la3);
  pages->addWidget(lbPages);
  auto* number = new QHBoxLayout;
  number->setSpacing(4);
  number->addWidget(la1, 1);
  number->addWidget(edNumberToPrint);
  number->addSpacing(-3);
  number->addWidget(udNumberToPrint);
  number->addSpacing(6);
  number->addLayout(pages);
  auto* paper = new QHBoxLayout;
  paper->addWidget(la2);
  paper->addWidget(cbPaperSize, 1);
  auto* start = new QHBoxLayout;
  start->addWidget(laStartPosition);
  start->addWidget(edStartPosition);
  start->addStretch(1);
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(4);
  for (QPushButton* button : {btGlyphClone, btQuickPrint, btPrint}) buttons->addWidget(button);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(6, 4, 6, 6);
  column->setSpacing(5);
  column->addLayout(number);
  column->addLayout(paper);
  column->addLayout(start);
  column->addLayout(buttons);
  setMinimumHeight(138);
}

void TDistributePrintBox::SetPositions(int positions) {
  QSignalBlocker quiet(edStartPosition);
  edStartPosition->setMaximum(std::max(positions, 1));
}

void TDistributePrintBox::BindButton(QPushButton* button, QAction* command) {
  button->setText(command->text());
  button->setToolTip(command->toolTip());
  button->setEnabled(command->isEnabled());
  On(command, &QAction::changed, button,
     [button, command] { button->setEnabled(command->isEnabled()); });
  On(button, &QPushButton::clicked, command, [command] { command->trigger(); });
}

}  // namespace ui
