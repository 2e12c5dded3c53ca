#include "ui/DistributePrintBox.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/Connect.h"
#include "ui/DataFilePanel.h"
#include "ui/FoldingRow.h"
#include "ui/StringGrid.h"

namespace ui {

namespace {

constexpr int kRowHeight = 21;
constexpr int kButtonSpacing = 4;
// The buttons' widths in the box as it was drawn: 130, 96 and 71 pixels.
constexpr int kCloneShare = 130, kQuickPrintShare = 96, kPrintShare = 71;

QLabel* NewLabel(QWidget* parent, const char* name, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  return label;
}

QPushButton* NewButton(QWidget* parent, const char* name) {
  auto* button = new QPushButton(parent);
  button->setObjectName(name);
  button->setFixedHeight(25);
  button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  return button;
}

// What the button's caption needs: the text (its access mark not shown) with the style's margins
// and frame on both sides.
int CaptionWidth(const QPushButton* button) {
  const QStyle* style = button->style();
  const int margins = 2 * (style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
                           style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button));
  return button->fontMetrics().size(Qt::TextShowMnemonic, button->text()).width() + margins;
}

// A container that keeps controls together in a row that folds.
QWidget* Group(QWidget* parent, QBoxLayout* layout, std::initializer_list<QWidget*> controls) {
  auto* group = new QWidget(parent);
  group->setLayout(layout);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (QWidget* control : controls) layout->addWidget(control);
  return group;
}

}  // namespace

QWidget* TDistributePrintBox::Beside(QWidget* left, QWidget* right) {
  return Group(this, new QHBoxLayout, {left, right});
}

QWidget* TDistributePrintBox::Above(QWidget* top, QWidget* bottom) {
  return Group(this, new QVBoxLayout, {top, bottom});
}

TDistributePrintBox::TDistributePrintBox(const QString& numberPrompt, QWidget* parent)
    : QGroupBox("Распределение оттисков по листам и печать", parent) {
  setObjectName("pDistributePrint");
  CreateControls(numberPrompt);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(6, 4, 6, 6);
  column->setSpacing(5);
  rows_.reserve(5);
  rows_.emplace_back(
      column,
      std::vector<FoldingRow::Part>{
          {la1, 1}, {Beside(edNumberToPrint, udNumberToPrint)}, {Above(la3, lbPages)}},
      1, 6);
  rows_.emplace_back(column, std::vector<FoldingRow::Part>{{la2}, {cbPaperSize, 1}}, 1, 6);
  rows_.emplace_back(column, std::vector<FoldingRow::Part>{{laStartPosition}, {edStartPosition}}, 1,
                     6);
  rows_.emplace_back(column, std::vector<FoldingRow::Part>{{DataPanel, 1}}, 1, 6);
  rows_.emplace_back(
      column,
      std::vector<FoldingRow::Part>{
          {btGlyphClone, kCloneShare}, {btQuickPrint, kQuickPrintShare}, {btPrint, kPrintShare}},
      1, kButtonSpacing);
  setMinimumHeight(196);
}

void TDistributePrintBox::CreateControls(const QString& numberPrompt) {
  la1 = NewLabel(this, "la1", numberPrompt);
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
  btGlyphClone = NewButton(this, "btGlyphClone");
  btQuickPrint = NewButton(this, "btQuickPrint");
  btPrint = NewButton(this, "btPrint");
  DataPanel = new TDataFilePanel(this);
}

// Each row keeps its controls side by side while they fit, the buttons each as wide as its
// caption at least; a row that does not fit breaks in two.
void TDistributePrintBox::FitRows() {
  for (QPushButton* button : {btGlyphClone, btQuickPrint, btPrint})
    button->setMinimumWidth(CaptionWidth(button));
  const QMargins margins = layout()->contentsMargins();
  const int width = contentsRect().width() - margins.left() - margins.right();
  for (FoldingRow& row : rows_) row.Fit(width);
}

void TDistributePrintBox::resizeEvent(QResizeEvent* event) {
  QGroupBox::resizeEvent(event);
  FitRows();
}

void TDistributePrintBox::changeEvent(QEvent* event) {
  QGroupBox::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) FitRows();
}

void TDistributePrintBox::SetPositions(int positions) {
  QSignalBlocker quiet(edStartPosition);
  edStartPosition->setMaximum(std::max(positions, 1));
}

void TDistributePrintBox::BindButton(QPushButton* button, QAction* command) {
  button->setText(command->text());
  if (auto* box = qobject_cast<TDistributePrintBox*>(button->parentWidget())) box->FitRows();
  button->setToolTip(command->toolTip());
  button->setEnabled(command->isEnabled());
  On(command, &QAction::changed, button,
     [button, command] { button->setEnabled(command->isEnabled()); });
  On(button, &QPushButton::clicked, command, [command] { command->trigger(); });
}

}  // namespace ui
