#include "wordproc/EditPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "wordproc/Connect.h"
#include "wordproc/EditDialogs.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/ShapeOps.h"
#include "wordproc/core/Units.h"

namespace wordproc {

namespace {

constexpr double kLargestSide = 1584 * 3;  // points, as automation allows
constexpr double kMostDegrees = 359.9;

// A turn as the box shows it, a tenth of a degree at most; what rounds up to a whole turn is
// shown as none.
double Degrees(float rotation) {
  double degrees = std::fmod(double(rotation), 360.0);
  if (degrees < 0) degrees += 360;
  degrees = std::round(degrees * 10) / 10;
  return degrees > kMostDegrees ? 0 : degrees;
}

// Steps go round the circle: a degree down from 0.5 is 359.5.
class AngleBox : public QDoubleSpinBox {
 public:
  void stepBy(int steps) override { setValue(Degrees(float(value() + steps * singleStep()))); }
  StepEnabled stepEnabled() const override { return StepUpEnabled | StepDownEnabled; }
};

const char* const kDashNames[] = {
    "Сплошная",       "Квадратные точки",    "Круглые точки",
    "Штрих",          "Штрих-точка",         "Штрих-точка-точка",
    "Длинный штрих",  "Длинный штрих-точка", "Длинный штрих-точка-точка",
    "Короткий штрих", "Короткие точки",      "Короткий штрих-точка"};

// Shapes stand anywhere, unlike page sizes, which files keep in whole twips.
float Points(double mm) {
  return float(mm * kPointsPerMillimetre);
}

QDoubleSpinBox* NumberBox(const char* name, double min, double max, const QString& suffix) {
  auto* box = new QDoubleSpinBox;
  box->setObjectName(QString::fromLatin1(name));
  box->setDecimals(2);
  box->setRange(min, max);
  box->setSuffix(suffix);
  box->setKeyboardTracking(false);  // one edit when the value is entered, not one per digit
  return box;
}

QCheckBox* CheckBox(const char* name, const QString& text) {
  auto* box = new QCheckBox(text);
  box->setObjectName(QString::fromLatin1(name));
  return box;
}

QPushButton* ColourButton(const char* name) {
  auto* button = new QPushButton(QStringLiteral("Цвет…"));
  button->setObjectName(QString::fromLatin1(name));
  return button;
}

void ShowColour(QPushButton* button, Rgb colour) {
  QPixmap swatch(16, 16);
  swatch.fill(ToQColor(colour));
  button->setIcon(QIcon(swatch));
}

QGroupBox* Group(const QString& title, QFormLayout* form) {
  auto* box = new QGroupBox(title);
  box->setLayout(form);
  return box;
}

}  // namespace

EditPanel::EditPanel(EditSession& session, QWidget* parent) : QWidget(parent), session_(session) {
  setObjectName(QStringLiteral("propertiesPanel"));
  auto* column = new QVBoxLayout(this);
  column->addWidget(shapeBox());
  column->addWidget(geometryBox());
  column->addWidget(lineBox());
  column->addWidget(fillBox());
  column->addStretch();
  connectEdits();
  refresh();
}

QWidget* EditPanel::shapeBox() {
  list_ = new QComboBox;
  list_->setObjectName(QStringLiteral("shapeList"));
  name_ = new QLineEdit;
  name_->setObjectName(QStringLiteral("shapeName"));
  visible_ = CheckBox("shapeVisible", QStringLiteral("Видимая"));
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Фигура:"), list_);
  form->addRow(QStringLiteral("Имя:"), name_);
  form->addRow(QString(), visible_);
  single_.push_back(name_);
  formats_.push_back(visible_);
  return Group(QStringLiteral("Фигура"), form);
}

QWidget* EditPanel::geometryBox() {
  const QString mm = QStringLiteral(" мм");
  const double reach = PointsToMillimetres(kLargestSide);
  left_ = NumberBox("shapeLeft", -reach, reach, mm);
  top_ = NumberBox("shapeTop", -reach, reach, mm);
  width_ = NumberBox("shapeWidth", 0, reach, mm);
  height_ = NumberBox("shapeHeight", 0, reach, mm);
  rotation_ = new AngleBox;
  rotation_->setObjectName(QStringLiteral("shapeRotation"));
  rotation_->setDecimals(1);
  rotation_->setRange(0, kMostDegrees);
  rotation_->setSuffix(QStringLiteral("°"));
  rotation_->setKeyboardTracking(false);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Слева:"), left_);
  form->addRow(QStringLiteral("Сверху:"), top_);
  form->addRow(QStringLiteral("Ширина:"), width_);
  form->addRow(QStringLiteral("Высота:"), height_);
  form->addRow(QStringLiteral("Поворот:"), rotation_);
  single_.insert(single_.end(), {left_, top_, width_, height_});
  formats_.push_back(rotation_);
  return Group(QStringLiteral("Положение на странице и размер"), form);
}

QWidget* EditPanel::lineBox() {
  lineVisible_ = CheckBox("lineVisible", QStringLiteral("Показывать линию"));
  lineWeight_ = NumberBox("lineWeight", 0, 1584, QStringLiteral(" пт"));
  lineWeight_->setSingleStep(0.25);
  dash_ = new QComboBox;
  dash_->setObjectName(QStringLiteral("lineDash"));
  for (int k = 0; k < int(std::size(kDashNames)); ++k)
    dash_->addItem(QString::fromUtf8(kDashNames[k]), k + int(DashStyle::Solid));
  lineColour_ = ColourButton("lineColor");
  auto* form = new QFormLayout;
  form->addRow(QString(), lineVisible_);
  form->addRow(QStringLiteral("Толщина:"), lineWeight_);
  form->addRow(QStringLiteral("Тип:"), dash_);
  form->addRow(QStringLiteral("Цвет:"), lineColour_);
  formats_.insert(formats_.end(), {lineVisible_, lineWeight_, dash_, lineColour_});
  return Group(QStringLiteral("Линия"), form);
}

QWidget* EditPanel::fillBox() {
  fillVisible_ = CheckBox("fillVisible", QStringLiteral("Заливка"));
  fillColour_ = ColourButton("fillColor");
  auto* form = new QFormLayout;
  form->addRow(QString(), fillVisible_);
  form->addRow(QStringLiteral("Цвет:"), fillColour_);
  formats_.insert(formats_.end(), {fillVisible_, fillColour_});
  return Group(QStringLiteral("Заливка"), form);
}

void EditPanel::connectEdits() {
  on(list_, &QComboBox::activated, this, [this](int index) {
    if (index >= 0) session_.select({list_->itemData(index).toUInt()});
  });
  on(name_, &QLineEdit::editingFinished, this, [this] {
    const std::string name = name_->text().toStdString();
    edit(
        ShapeEdit::Properties, [&](Shape& s) { s.name = name; }, false);
  });
  on(visible_, &QCheckBox::toggled, this,
     [this](bool on) { edit(ShapeEdit::Properties, [&](Shape& s) { s.visible = on; }); });
  on(left_, &QDoubleSpinBox::valueChanged, this, [this](double v) { placeOnPage(true, v); });
  on(top_, &QDoubleSpinBox::valueChanged, this, [this](double v) { placeOnPage(false, v); });
  on(width_, &QDoubleSpinBox::valueChanged, this, [this](double v) { resize(true, v); });
  on(height_, &QDoubleSpinBox::valueChanged, this, [this](double v) { resize(false, v); });
  on(rotation_, &QDoubleSpinBox::valueChanged, this,
     [this](double v) { edit(ShapeEdit::Properties, [&](Shape& s) { s.rotation = float(v); }); });
  on(lineVisible_, &QCheckBox::toggled, this,
     [this](bool on) { edit(ShapeEdit::Properties, [&](Shape& s) { s.line.visible = on; }); });
  on(lineWeight_, &QDoubleSpinBox::valueChanged, this, [this](double v) {
    edit(ShapeEdit::Properties, [&](Shape& s) { s.line.weight = float(v); });
  });
  on(dash_, &QComboBox::activated, this, [this](int index) {
    auto dash = DashStyle(dash_->itemData(index).toInt());
    edit(ShapeEdit::Properties, [&](Shape& s) { s.line.dash = dash; });
  });
  on(lineColour_, &QPushButton::clicked, this, [this] { pickColour(true); });
  on(fillVisible_, &QCheckBox::toggled, this,
     [this](bool on) { edit(ShapeEdit::Properties, [&](Shape& s) { s.fill.visible = on; }); });
  on(fillColour_, &QPushButton::clicked, this, [this] { pickColour(false); });
}

void EditPanel::edit(ShapeEdit kind, const std::function<void(Shape&)>& change, bool all) {
  if (showing_ || !session_.attached()) return;
  auto ids = session_.selection();
  if (ids.empty() || (!all && ids.size() != 1)) return;
  session_.change(kind, ids, change);
}

// Positions are shown on the page whatever the shape's references; a change moves the shape
// by the difference.
void EditPanel::placeOnPage(bool horizontal, double mm) {
  if (showing_ || !session_.attached() || session_.selection().size() != 1) return;
  const AnchoredShape* body = session_.body(session_.selection().front());
  const RectF now = session_.layout().shapeRectOnPage(*body);
  const float target = Points(mm);
  const float delta = target - (horizontal ? now.x : now.y);
  edit(
      ShapeEdit::Move, [&](Shape& s) { (horizontal ? s.left : s.top) += delta; }, false);
}

void EditPanel::resize(bool horizontal, double mm) {
  const float size = Points(mm);
  edit(
      ShapeEdit::Resize,
      [&](Shape& s) { SetShapeSize(s, horizontal ? size : s.width, horizontal ? s.height : size); },
      false);
}

void EditPanel::pickColour(bool line) {
  auto ids = session_.selection();
  if (ids.empty()) return;
  const Shape& first = *session_.shape(ids.front());
  auto colour = AskColor(this, session_.host().title(), line ? first.line.color : first.fill.color);
  if (!colour) return;
  edit(ShapeEdit::Properties, [&](Shape& s) { (line ? s.line.color : s.fill.color) = *colour; });
}

void EditPanel::refresh() {
  if (!session_.attached()) return setEnabled(false);
  showing_ = true;
  refreshList();
  const auto ids = session_.selection();
  for (QWidget* w : single_) w->setEnabled(ids.size() == 1);
  for (QWidget* w : formats_) w->setEnabled(!ids.empty());
  if (ids.empty())
    name_->clear();
  else
    display(*session_.shape(ids.front()),
            session_.layout().shapeRectOnPage(*session_.body(ids.front())));
  showing_ = false;
}

void EditPanel::refreshList() {
  std::vector<std::pair<std::uint32_t, std::string>> shapes;
  for (const AnchoredShape& anchored : session_.doc().shapes)
    shapes.emplace_back(anchored.shape->id, anchored.shape->name);
  if (shapes != listed_) {
    list_->clear();
    for (const auto& [id, name] : shapes) list_->addItem(QString::fromStdString(name), id);
    listed_ = std::move(shapes);
  }
  const auto ids = session_.selection();
  list_->setCurrentIndex(ids.empty() ? -1 : list_->findData(ids.front()));
}

void EditPanel::display(const Shape& shape, const RectF& onPage) {
  name_->setText(QString::fromStdString(shape.name));
  visible_->setChecked(shape.visible);
  left_->setValue(PointsToMillimetres(onPage.x));
  top_->setValue(PointsToMillimetres(onPage.y));
  width_->setValue(PointsToMillimetres(shape.width));
  height_->setValue(PointsToMillimetres(shape.height));
  rotation_->setValue(Degrees(shape.rotation));
  lineVisible_->setChecked(shape.line.visible);
  lineWeight_->setValue(shape.line.weight);
  dash_->setCurrentIndex(dash_->findData(int(shape.line.dash)));
  ShowColour(lineColour_, shape.line.color);
  fillVisible_->setChecked(shape.fill.visible);
  ShowColour(fillColour_, shape.fill.color);
}

}  // namespace wordproc
