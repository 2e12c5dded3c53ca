#include "wordproc/FieldDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QSpinBox>
#include <cmath>

#include "wordproc/Barcode.h"
#include "wordproc/Connect.h"
#include "wordproc/Dialogs.h"
#include "wordproc/core/Fields.h"
#include "wordproc/core/Units.h"

namespace wordproc {

namespace {

struct Choice {
  const char* label;
  const char* switches;  // what the choice adds to the instruction
};

// By kind: merge field, date, number in sequence.
const Choice kMergeFormats[] = {{"Как в данных", ""},
                                {"ПРОПИСНЫЕ", "\\* Upper"},
                                {"строчные", "\\* Lower"},
                                {"Первая прописная", "\\* FirstCap"},
                                {"Каждое Слово С Прописной", "\\* Caps"}};
const Choice kDateFormats[] = {{"09.12.2026", "\\@ \"dd.MM.yyyy\""},
                               {"9 декабря 2026", "\\@ \"d MMMM yyyy\""},
                               {"09.12.26", "\\@ \"dd.MM.yy\""},
                               {"09.12.2026 15:30", "\\@ \"dd.MM.yyyy HH:mm\""}};
const Choice kSequenceFormats[] = {
    {"1, 2, 3", ""}, {"I, II, III", "\\* ROMAN"}, {"a, b, c", "\\* alphabetic"}};
const char* const kKinds[] = {"MERGEFIELD", "DATE", "SEQ"};

const char* const kBarcodeTypes[] = {"QR",      "EAN13", "EAN8",  "UPCA", "UPCE",  "CODE39",
                                     "CODE128", "NW7",   "ITF14", "CASE", "JPPOST"};

template <std::size_t N>
void Fill(QComboBox* box, const Choice (&choices)[N]) {
  box->clear();
  for (const Choice& c : choices)
    box->addItem(QString::fromUtf8(c.label), QString::fromUtf8(c.switches));
}

QDialogButtonBox* Buttons(QDialog* dialog) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
  on(buttons, &QDialogButtonBox::accepted, dialog, [dialog] { dialog->accept(); });
  on(buttons, &QDialogButtonBox::rejected, dialog, [dialog] { dialog->reject(); });
  return buttons;
}

// The choice whose switches the instruction holds, else the first.
void SelectFormat(QComboBox* box, const std::string& instruction) {
  for (int k = box->count() - 1; k > 0; --k) {
    if (instruction.find(box->itemData(k).toString().toStdString()) != std::string::npos) {
      box->setCurrentIndex(k);
      return;
    }
  }
}

void Recompute(std::vector<Paragraph>& story, const FieldSpan& span) {
  FieldContext context;
  context.barcodeCheck = BarcodeProblem;
  SequenceCounters counters;
  context.sequences = &counters;
  FieldValue value = EvaluateField(*span.code, FieldResultText(story, span), context);
  if (value.changed) SetFieldResult(story, span, value.text, value.error);
}

}  // namespace

void AppendField(Shape& shape, const std::string& instruction) {
  if (shape.text.empty()) shape.text.emplace_back();
  Paragraph& p = shape.text.back();
  RunFormat format = p.runs.empty() ? p.markFormat : p.runs.back().format;
  p.runs.push_back(NewFieldRun(format, instruction, std::string()));
  const std::size_t last = p.runs.size() - 1;
  Recompute(shape.text, {shape.text.size() - 1, last, last + 1, p.runs.back().format.fieldCode});
}

std::pair<FieldPtr, std::string> NewField(const std::string& instruction) {
  Shape story;
  AppendField(story, instruction);
  const FieldSpan span = FieldsIn(story.text).at(0);
  return {span.code, FieldResultText(story.text, span)};
}

std::optional<std::string> FirstFieldInstruction(const Shape& shape) {
  const std::vector<FieldSpan> spans = FieldsIn(shape.text);
  if (spans.empty()) return std::nullopt;
  return spans.front().code->instruction;
}

void ChangeFirstField(Shape& shape, const std::string& instruction) {
  const std::vector<FieldSpan> spans = FieldsIn(shape.text);
  if (spans.empty()) return;
  FieldSpan span = spans.front();
  // A merge field never merged shows its new name, not the old one.
  const std::string placeholder = MergePlaceholder(ParseFieldInstruction(span.code->instruction));
  if (FieldResultText(shape.text, span) == placeholder) span = SetFieldResult(shape.text, span, "");
  Recompute(shape.text, SetFieldInstruction(shape.text, span, instruction));
}

FieldDialog::FieldDialog(const std::string& current, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Поле"));
  kind_ = new QComboBox(this);
  kind_->setObjectName(QStringLiteral("fieldKind"));
  kind_->addItems(
      {QStringLiteral("Поле слияния"), QStringLiteral("Дата"), QStringLiteral("Номер по порядку")});
  name_ = new QLineEdit(this);
  name_->setObjectName(QStringLiteral("fieldName"));
  format_ = new QComboBox(this);
  format_->setObjectName(QStringLiteral("fieldFormat"));
  auto* form = new QFormLayout(this);
  form->addRow(QStringLiteral("Вид:"), kind_);
  form->addRow(QStringLiteral("Имя поля или список:"), name_);
  form->addRow(QStringLiteral("Формат:"), format_);
  form->addRow(Buttons(this));
  const FieldInstruction parsed = ParseFieldInstruction(current);
  for (int k = 0; k < 3; ++k)
    if (parsed.name == kKinds[k]) kind_->setCurrentIndex(k);
  if (!parsed.arguments.empty()) name_->setText(QString::fromStdString(parsed.arguments[0]));
  kindChosen();
  SelectFormat(format_, current);
  on(kind_, &QComboBox::currentIndexChanged, this, [this](int) { kindChosen(); });
}

void FieldDialog::kindChosen() {
  const int kind = kind_->currentIndex();
  if (kind == 0) Fill(format_, kMergeFormats);
  if (kind == 1) Fill(format_, kDateFormats);
  if (kind == 2) Fill(format_, kSequenceFormats);
  name_->setEnabled(kind != 1);
}

std::string FieldDialog::instruction() const {
  const int kind = kind_->currentIndex();
  std::string out = std::string(" ") + kKinds[kind] + " ";
  const std::string name = name_->text().trimmed().toStdString();
  if (kind != 1) out += QuoteFieldArgument(name.empty() ? "Поле" : name) + " ";
  const std::string switches = format_->currentData().toString().toStdString();
  if (!switches.empty()) out += switches + " ";
  if (kind == 0) out += "\\* MERGEFORMAT ";
  return out;
}

BarcodeDialog::BarcodeDialog(const std::string& current, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Штрихкод"));
  type_ = new QComboBox(this);
  type_->setObjectName(QStringLiteral("barcodeType"));
  for (const char* type : kBarcodeTypes) type_->addItem(QString::fromLatin1(type));
  data_ = new QLineEdit(this);
  data_->setObjectName(QStringLiteral("barcodeData"));
  merge_ = new QCheckBox(QStringLiteral("Это имя поля слияния"), this);
  text_ = new QCheckBox(QStringLiteral("Показывать данные под штрихкодом"), this);
  height_ = new QDoubleSpinBox(this);
  height_->setRange(2, 200);
  height_->setSuffix(QStringLiteral(" мм"));
  height_->setValue(12.7);
  scale_ = new QSpinBox(this);
  scale_->setRange(10, 1000);
  scale_->setSuffix(QStringLiteral(" %"));
  scale_->setValue(100);
  auto* form = new QFormLayout(this);
  form->addRow(QStringLiteral("Тип:"), type_);
  form->addRow(QStringLiteral("Данные:"), data_);
  form->addRow(QString(), merge_);
  form->addRow(QStringLiteral("Высота:"), height_);
  form->addRow(QStringLiteral("Масштаб:"), scale_);
  form->addRow(QString(), text_);
  form->addRow(Buttons(this));
  const FieldInstruction parsed = ParseFieldInstruction(current);
  merge_->setChecked(parsed.name == "MERGEBARCODE");
  if (!parsed.arguments.empty()) data_->setText(QString::fromStdString(parsed.arguments[0]));
  if (parsed.arguments.size() > 1) {
    const int at = type_->findText(QString::fromStdString(parsed.arguments[1]).toUpper());
    if (at >= 0) type_->setCurrentIndex(at);
  }
  if (const FieldSwitch* h = parsed.find('h'); h && h->hasArgument)
    height_->setValue(std::atof(h->argument.c_str()) / kTwipsPerPt / kPointsPerMillimetre);
  if (const FieldSwitch* s = parsed.find('s'); s && s->hasArgument)
    scale_->setValue(std::atoi(s->argument.c_str()));
  text_->setChecked(parsed.has('t'));
}

std::string BarcodeDialog::instruction() const {
  const std::string data = data_->text().trimmed().toStdString();
  std::string argument = QuoteFieldArgument(data);
  // Barcode data is quoted always, as the word processor writes it.
  if (!merge_->isChecked() && argument.front() != '"') argument = '"' + argument + '"';
  std::string out = (merge_->isChecked() ? " MERGEBARCODE " : " DISPLAYBARCODE ") + argument;
  out += " " + type_->currentText().toStdString();
  const long twips = std::lround(height_->value() * kPointsPerMillimetre * kTwipsPerPt);
  out += " \\h " + std::to_string(twips) + " \\s " + std::to_string(scale_->value());
  if (text_->isChecked()) out += " \\t";
  return out + " ";
}

std::optional<std::string> AskField(QWidget* parent, const std::string& document,
                                    const std::string& current) {
  if (auto reply = ScriptedReply(DialogKind::Field, document)) {
    if (reply->result != kDialogOk || reply->value.empty()) return std::nullopt;
    return reply->value;
  }
  FieldDialog dialog(current, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.instruction();
}

std::optional<std::string> AskBarcode(QWidget* parent, const std::string& document,
                                      const std::string& current) {
  if (auto reply = ScriptedReply(DialogKind::Barcode, document)) {
    if (reply->result != kDialogOk || reply->value.empty()) return std::nullopt;
    return reply->value;
  }
  BarcodeDialog dialog(current, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.instruction();
}

}  // namespace wordproc
