#include "wordproc/EditDialogs.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QPushButton>
#include <cmath>
#include <sstream>
#include <vector>

#include "wordproc/Connect.h"
#include "wordproc/Dialogs.h"
#include "wordproc/core/Units.h"

namespace wordproc {

namespace {

struct Paper {
  const char* name;
  double width, height;  // millimetres, upright
};

constexpr Paper kPapers[] = {{"A4", 210, 297}, {"A5", 148, 210}, {"Letter", 215.9, 279.4}};
constexpr int kCustom = int(std::size(kPapers));
constexpr double kLargestMillimetres = 558.8;  // 22 inches, the largest page side

bool HasRoom(const PageSetup& s) {
  return s.pageWidth > 0 && s.pageHeight > 0 &&
         std::fabs(s.topMargin) + std::fabs(s.bottomMargin) < s.pageHeight &&
         s.leftMargin + s.rightMargin < s.pageWidth;
}

QDoubleSpinBox* MillimetreBox(QWidget* parent, const char* name, double min) {
  auto* box = new QDoubleSpinBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setDecimals(1);
  box->setRange(min, kLargestMillimetres);
  box->setSuffix(QStringLiteral(" мм"));
  return box;
}

// A value the user left as shown keeps its exact points; only edited values are converted.
float Edited(const QDoubleSpinBox* box, float points) {
  double shown = std::round(PointsToMillimetres(points) * 10) / 10;
  return std::fabs(box->value() - shown) < 1e-6 ? points : MillimetresToPoints(box->value());
}

}  // namespace

float MillimetresToPoints(double mm) {
  return float(std::round(mm * kPointsPerMillimetre * kTwipsPerPt) / kTwipsPerPt);
}

double PointsToMillimetres(double points) {
  return points / kPointsPerMillimetre;
}

std::string PaperName(float width, float height) {
  const double w = PointsToMillimetres(std::min(width, height));
  const double h = PointsToMillimetres(std::max(width, height));
  for (const Paper& paper : kPapers)
    if (std::fabs(w - paper.width) < 0.5 && std::fabs(h - paper.height) < 0.5) return paper.name;
  return {};
}

std::optional<PageSetup> ParsePageSetup(const std::string& value, const PageSetup& current) {
  std::vector<double> numbers;
  std::istringstream in(value);
  std::string item;
  while (std::getline(in, item, ',')) {
    try {
      numbers.push_back(std::stod(item));
    } catch (const std::exception&) {
      return std::nullopt;
    }
  }
  if (numbers.size() != 2 && numbers.size() != 6) return std::nullopt;
  PageSetup setup = current;
  float* fields[] = {&setup.pageWidth,    &setup.pageHeight, &setup.topMargin,
                     &setup.bottomMargin, &setup.leftMargin, &setup.rightMargin};
  for (std::size_t k = 0; k < numbers.size(); ++k) *fields[k] = MillimetresToPoints(numbers[k]);
  if (!HasRoom(setup) ||
      PointsToMillimetres(std::max(setup.pageWidth, setup.pageHeight)) > kLargestMillimetres + 0.1)
    return std::nullopt;
  return setup;
}

PageSetupDialog::PageSetupDialog(const PageSetup& setup, QWidget* parent)
    : QDialog(parent), setup_(setup) {
  setObjectName(QStringLiteral("pageSetupDialog"));
  setWindowTitle(QStringLiteral("Параметры страницы"));
  buildForm();
  width_->setValue(PointsToMillimetres(setup.pageWidth));
  height_->setValue(PointsToMillimetres(setup.pageHeight));
  top_->setValue(PointsToMillimetres(setup.topMargin));
  bottom_->setValue(PointsToMillimetres(setup.bottomMargin));
  left_->setValue(PointsToMillimetres(setup.leftMargin));
  right_->setValue(PointsToMillimetres(setup.rightMargin));
  sizeEdited();
  on(preset_, &QComboBox::activated, this, &PageSetupDialog::choosePreset);
  on(landscape_, &QCheckBox::clicked, this, &PageSetupDialog::turn);
  for (QDoubleSpinBox* box : {width_, height_})
    on(box, &QDoubleSpinBox::valueChanged, this, &PageSetupDialog::sizeEdited);
  for (QDoubleSpinBox* box : {width_, height_, top_, bottom_, left_, right_})
    on(box, &QDoubleSpinBox::valueChanged, this, [this] { ok_->setEnabled(HasRoom(result())); });
}

void PageSetupDialog::buildForm() {
  auto* form = new QFormLayout(this);
  preset_ = new QComboBox(this);
  preset_->setObjectName(QStringLiteral("paperPreset"));
  for (const Paper& paper : kPapers) preset_->addItem(QString::fromLatin1(paper.name));
  preset_->addItem(QStringLiteral("Особый"));
  landscape_ = new QCheckBox(QStringLiteral("Альбомная ориентация"), this);
  landscape_->setObjectName(QStringLiteral("landscape"));
  width_ = MillimetreBox(this, "paperWidth", 1);
  height_ = MillimetreBox(this, "paperHeight", 1);
  top_ = MillimetreBox(this, "marginTop", -kLargestMillimetres);
  bottom_ = MillimetreBox(this, "marginBottom", -kLargestMillimetres);
  left_ = MillimetreBox(this, "marginLeft", 0);
  right_ = MillimetreBox(this, "marginRight", 0);
  form->addRow(QStringLiteral("Размер бумаги:"), preset_);
  form->addRow(QString(), landscape_);
  form->addRow(QStringLiteral("Ширина:"), width_);
  form->addRow(QStringLiteral("Высота:"), height_);
  form->addRow(QStringLiteral("Верхнее поле:"), top_);
  form->addRow(QStringLiteral("Нижнее поле:"), bottom_);
  form->addRow(QStringLiteral("Левое поле:"), left_);
  form->addRow(QStringLiteral("Правое поле:"), right_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  ok_->setText(QStringLiteral("ОК"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
  form->addRow(buttons);
  on(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  on(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void PageSetupDialog::choosePreset(int index) {
  if (index < 0 || index >= kCustom) return;
  const Paper& paper = kPapers[index];
  const bool across = landscape_->isChecked();
  QSignalBlocker blockWidth(width_), blockHeight(height_);
  width_->setValue(across ? paper.height : paper.width);
  height_->setValue(across ? paper.width : paper.height);
  ok_->setEnabled(HasRoom(result()));
}

void PageSetupDialog::turn() {
  const double w = width_->value(), h = height_->value();
  QSignalBlocker blockWidth(width_), blockHeight(height_);
  width_->setValue(h);
  height_->setValue(w);
  ok_->setEnabled(HasRoom(result()));
}

void PageSetupDialog::sizeEdited() {
  const std::string name =
      PaperName(MillimetresToPoints(width_->value()), MillimetresToPoints(height_->value()));
  int index = preset_->findText(QString::fromStdString(name));
  QSignalBlocker blockPreset(preset_), blockTurn(landscape_);
  preset_->setCurrentIndex(name.empty() || index < 0 ? kCustom : index);
  landscape_->setChecked(width_->value() > height_->value());
}

PageSetup PageSetupDialog::result() const {
  PageSetup s = setup_;
  s.pageWidth = Edited(width_, setup_.pageWidth);
  s.pageHeight = Edited(height_, setup_.pageHeight);
  s.topMargin = Edited(top_, setup_.topMargin);
  s.bottomMargin = Edited(bottom_, setup_.bottomMargin);
  s.leftMargin = Edited(left_, setup_.leftMargin);
  s.rightMargin = Edited(right_, setup_.rightMargin);
  return s;
}

std::optional<PageSetup> AskPageSetup(QWidget* parent, const std::string& document,
                                      const PageSetup& current) {
  if (auto reply = ScriptedReply(DialogKind::PageSetup, document)) {
    if (reply->result != kDialogOk) return std::nullopt;
    return reply->value.empty() ? current : ParsePageSetup(reply->value, current);
  }
  PageSetupDialog dialog(current, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.result();
}

std::optional<Rgb> AskColor(QWidget* parent, const std::string& document, Rgb current) {
  QColor colour;
  if (auto reply = ScriptedReply(DialogKind::Color, document)) {
    if (reply->result != kDialogOk) return std::nullopt;
    colour = QColor(QString::fromStdString(reply->value));
  } else {
    colour = QColorDialog::getColor(QColor::fromRgb(current), parent, QStringLiteral("Цвет"));
  }
  if (!colour.isValid()) return std::nullopt;
  return Rgb(colour.rgb() & 0xFFFFFF);
}

std::optional<std::string> AskPictureFile(QWidget* parent, const std::string& document) {
  if (auto reply = ScriptedReply(DialogKind::Picture, document)) {
    if (reply->result != kDialogOk || reply->fileName.empty()) return std::nullopt;
    return reply->fileName;
  }
  QString file = QFileDialog::getOpenFileName(
      parent, QStringLiteral("Вставка рисунка"), QString(),
      QStringLiteral("Рисунки (*.png *.jpg *.jpeg *.bmp *.gif *.emf *.wmf *.svg);;Все файлы (*)"));
  if (file.isEmpty()) return std::nullopt;
  return file.toStdString();
}

std::optional<std::string> AskPdfFile(QWidget* parent, const std::string& document,
                                      const std::string& suggested) {
  if (auto reply = ScriptedReply(DialogKind::PdfFile, document)) {
    if (reply->result != kDialogOk) return std::nullopt;
    return reply->fileName.empty() ? suggested : reply->fileName;
  }
  QString file = QFileDialog::getSaveFileName(parent, QStringLiteral("Печать в PDF"),
                                              QString::fromStdString(suggested),
                                              QStringLiteral("PDF (*.pdf)"));
  if (file.isEmpty()) return std::nullopt;
  return file.toStdString();
}

}  // namespace wordproc
