#include "wordproc/EditFormatBar.h"

#include <QAction>
#include <QActionGroup>
#include <QDoubleSpinBox>
#include <QFontComboBox>
#include <QTextEdit>

#include "wordproc/Connect.h"
#include "wordproc/EditDialogs.h"
#include "wordproc/EditText.h"
#include "wordproc/RenderText.h"

namespace wordproc {

EditFormatBar::EditFormatBar(EditSession& session, EditCanvas& canvas, QWidget* parent)
    : QToolBar(QStringLiteral("Формат текста"), parent), session_(session), canvas_(canvas) {
  setObjectName(QStringLiteral("textFormatBar"));
  family_ = new QFontComboBox(this);
  family_->setObjectName(QStringLiteral("fontFamily"));
  addWidget(family_);
  size_ = new QDoubleSpinBox(this);
  size_->setObjectName(QStringLiteral("fontSize"));
  size_->setRange(1, 400);
  size_->setDecimals(1);
  size_->setSingleStep(0.5);
  size_->setKeyboardTracking(false);
  addWidget(size_);
  bold_ = addToggle("actionBold", QStringLiteral("Полужирный"), QKeySequence::Bold);
  italic_ = addToggle("actionItalic", QStringLiteral("Курсив"), QKeySequence::Italic);
  colour_ = addAction(QStringLiteral("Цвет текста…"));
  on(colour_, &QAction::triggered, this, [this] { pickColour(); });
  colour_->setObjectName(QStringLiteral("actionTextColor"));
  addSeparator();
  alignments_ = new QActionGroup(this);
  addAlignment("actionAlignLeft", QStringLiteral("По левому краю"), Alignment::Left);
  addAlignment("actionAlignCenter", QStringLiteral("По центру"), Alignment::Center);
  addAlignment("actionAlignRight", QStringLiteral("По правому краю"), Alignment::Right);
  addAlignment("actionAlignJustify", QStringLiteral("По ширине"), Alignment::Justify);

  on(family_, &QFontComboBox::currentFontChanged, this, [this](const QFont& font) {
    QTextCharFormat f;
    f.setFontFamilies(QStringList{font.family()});
    apply(f, [&](RunFormat& r) { r.fontFamily = font.family().toStdString(); });
  });
  on(size_, &QDoubleSpinBox::valueChanged, this, [this](double points) {
    QTextCharFormat f;
    f.setFontPointSize(points * canvas_.textScale().fontScale);
    apply(f, [&](RunFormat& r) { r.fontSize = float(points); });
  });
  on(bold_, &QAction::triggered, this, [this](bool on) {
    QTextCharFormat f;
    f.setFontWeight(on ? QFont::Bold : QFont::Normal);
    apply(f, [&](RunFormat& r) { r.bold = on; });
  });
  on(italic_, &QAction::triggered, this, [this](bool on) {
    QTextCharFormat f;
    f.setFontItalic(on);
    apply(f, [&](RunFormat& r) { r.italic = on; });
  });
  refresh();
}

QAction* EditFormatBar::addToggle(const char* name, const QString& text, const QKeySequence& keys) {
  QAction* action = addAction(text);
  action->setObjectName(QString::fromLatin1(name));
  action->setCheckable(true);
  action->setShortcut(keys);
  return action;
}

void EditFormatBar::addAlignment(const char* name, const QString& text, Alignment alignment) {
  QAction* action = addAction(text);
  action->setObjectName(QString::fromLatin1(name));
  action->setCheckable(true);
  action->setData(int(alignment));
  alignments_->addAction(action);
  on(action, &QAction::triggered, this, [this, alignment] { align(alignment); });
}

std::vector<std::uint32_t> EditFormatBar::textBoxes() {
  std::vector<std::uint32_t> ids;
  if (!session_.attached()) return ids;
  for (std::uint32_t id : session_.selection())
    if (session_.shape(id)->kind == ShapeKind::TextBox) ids.push_back(id);
  return ids;
}

void EditFormatBar::apply(const QTextCharFormat& partial,
                          const std::function<void(RunFormat&)>& edit) {
  if (showing_) return;
  if (QTextEdit* text = canvas_.textEditor()) {
    text->mergeCurrentCharFormat(partial);
    return text->setFocus();
  }
  session_.change(ShapeEdit::Format, textBoxes(), [&](Shape& s) {
    for (Paragraph& p : s.text) {
      for (Run& run : p.runs) edit(run.format);
      edit(p.markFormat);
    }
  });
}

void EditFormatBar::align(Alignment alignment) {
  if (showing_) return;
  if (QTextEdit* text = canvas_.textEditor()) {
    const Qt::Alignment flags[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight,
                                   Qt::AlignJustify};
    text->setAlignment(flags[int(alignment)]);
    return text->setFocus();
  }
  session_.change(ShapeEdit::Format, textBoxes(), [&](Shape& s) {
    for (Paragraph& p : s.text) p.alignment = alignment;
  });
}

void EditFormatBar::pickColour() {
  if (!session_.attached()) return;
  RunFormat current;
  if (QTextEdit* text = canvas_.textEditor())
    current = RunFormatOf(text->currentCharFormat(), canvas_.textScale().fontScale, current);
  auto colour = AskColor(this, session_.host().title(), current.color);
  if (!colour) return;
  QTextCharFormat f;
  f.setForeground(ToQColor(*colour));
  apply(f, [&](RunFormat& r) { r.color = *colour; });
}

void EditFormatBar::refresh() {
  QTextEdit* text = canvas_.textEditor();
  const auto boxes = textBoxes();
  setEnabled(text || !boxes.empty());
  if (text) {
    RunFormat format = RunFormatOf(text->currentCharFormat(), canvas_.textScale().fontScale, {});
    Alignment alignment = Alignment::Left;
    if (text->alignment() & Qt::AlignHCenter) alignment = Alignment::Center;
    if (text->alignment() & Qt::AlignRight) alignment = Alignment::Right;
    if (text->alignment() & Qt::AlignJustify) alignment = Alignment::Justify;
    return display(format, alignment);
  }
  if (boxes.empty()) return;
  const Shape& box = *session_.shape(boxes.front());
  if (box.text.empty()) return display(RunFormat{}, Alignment::Left);
  const Paragraph& p = box.text.front();
  display(p.runs.empty() ? p.markFormat : p.runs.front().format, p.alignment);
}

void EditFormatBar::display(const RunFormat& format, Alignment alignment) {
  showing_ = true;
  family_->setCurrentFont(QFont(QString::fromStdString(format.fontFamily)));
  size_->setValue(format.fontSize);
  bold_->setChecked(format.bold);
  italic_->setChecked(format.italic);
  for (QAction* action : alignments_->actions())
    action->setChecked(action->data().toInt() == int(alignment));
  showing_ = false;
}

}  // namespace wordproc
