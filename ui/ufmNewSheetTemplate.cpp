#include "ui/ufmNewSheetTemplate.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <set>

#include "app/uCommon.h"
#include "catalogue/uCatalogueViews.h"
#include "clone/SheetTemplateMaker.h"
#include "clone/uClone.h"
#include "platform/Files.h"
#include "platform/UserInteraction.h"
#include "ui/Connect.h"
#include "ui/ModalDialogs.h"
#include "ui/PanelStyle.h"
#include "ui/SheetPreview.h"

namespace ui {

namespace {

constexpr int kProductsTab = 0;
const QStringList kColumns = {"Продукт", "Описание", "Бумага", "Этикеток", "Размер, мм"};
const QStringList kShapes = {"Прямоугольник", "Прямоугольник со скруглёнными углами", "Овал"};

QString Text(const std::string& s) {
  return QString::fromStdString(s);
}

// Files of products that could not be read are reported once a run, however often the dialog
// opens.
void ReportProblems(const labels::ProductDatabase& products) {
  static std::set<std::string> reported;
  std::string text;
  for (const std::string& problem : products.Problems())
    if (reported.insert(problem).second) text += (text.empty() ? "" : "\n") + problem;
  if (!text.empty())
    platform::UI().messageBox(text, "Предупреждение", platform::MsgIcon::Warning,
                              platform::MsgButtons::Ok);
}

void FillRow(QTableWidget* table, int row, const labels::Product& p) {
  const QStringList cells = {Text(p.Id()), Text(p.description), Text(labels::PaperText(p)),
                             QString::number(p.LabelCount()), Text(labels::LabelSizeText(p))};
  for (int col = 0; col < cells.size(); ++col) {
    auto* item = new QTableWidgetItem(cells[col]);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    table->setItem(row, col, item);
  }
}

QSpinBox* Count(const char* name, int value) {
  auto* box = new QSpinBox;
  box->setObjectName(name);
  box->setRange(1, int(labels::kMaxLabels));
  box->setValue(value);
  return box;
}

QWidget* Pair(QWidget* first, QWidget* second) {
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(first);
  layout->addWidget(new QLabel("×"));
  layout->addWidget(second);
  return row;
}

}  // namespace

TfmNewSheetTemplate::TfmNewSheetTemplate(labels::ProductDatabase products,
                                         const std::vector<std::string>& categories,
                                         const std::string& category, QWidget* parent)
    : QDialog(parent), products_(std::move(products)) {
  setObjectName("fmNewSheetTemplate");
  setWindowTitle("Новый шаблон листа");
  setFont(PanelFont());
  cbCategory = new QComboBox;
  cbCategory->setObjectName("cbCategory");
  for (const std::string& name : categories) cbCategory->addItem(Text(name));
  cbCategory->setCurrentText(Text(category));
  tabs = new QTabWidget;
  tabs->addTab(CreateProductsTab(), "Готовые листы");
  tabs->addTab(CreateParametersTab(), "Свои размеры");
  preview = new TSheetPreview;
  edPaperName = new QLineEdit;
  edPaperName->setObjectName("edPaperName");
  laProblem = new QLabel;
  laProblem->setObjectName("laProblem");
  laProblem->setWordWrap(true);
  laProblem->setStyleSheet("color: #b00000");
  CreateButtons();

  auto* form = new QFormLayout;
  form->addRow("Категория оттисков:", cbCategory);
  form->addRow("Название формата бумаги:", edPaperName);
  auto* left = new QVBoxLayout;
  left->addLayout(form);
  left->addWidget(tabs, 1);
  left->addWidget(laProblem);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btSave);
  buttons->addWidget(btCancel);
  left->addLayout(buttons);
  auto* all = new QHBoxLayout(this);
  all->addLayout(left, 3);
  all->addWidget(preview, 2);
  resize(920, 560);

  // The name suggested is that of what the open tab shows.
  On(tabs, &QTabWidget::currentChanged, this,
     [this](int tab) { tab == kProductsTab ? lvProductsSelect() : ParametersChange(); });
  On(edPaperName, &QLineEdit::textEdited, this, [this] {
    paperTyped_ = true;
    Refresh();
  });
  edSearchChange();
}

QWidget* TfmNewSheetTemplate::CreateProductsTab() {
  auto* page = new QWidget;
  edSearch = new QLineEdit;
  edSearch->setObjectName("edSearch");
  edSearch->setPlaceholderText("марка, номер, описание или размер, например «L7160» или «70x37»");
  lvProducts = new QTableWidget(0, int(kColumns.size()));
  lvProducts->setObjectName("lvProducts");
  lvProducts->setHorizontalHeaderLabels(kColumns);
  lvProducts->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvProducts->setSelectionMode(QAbstractItemView::SingleSelection);
  lvProducts->verticalHeader()->hide();
  lvProducts->horizontalHeader()->setStretchLastSection(true);
  const int widths[] = {120, 190, 60, 64};
  for (int col = 0; col < 4; ++col) lvProducts->setColumnWidth(col, widths[col]);
  auto* column = new QVBoxLayout(page);
  column->addWidget(edSearch);
  column->addWidget(lvProducts, 1);
  On(edSearch, &QLineEdit::textChanged, this, [this] { edSearchChange(); });
  On(lvProducts, &QTableWidget::itemSelectionChanged, this, [this] { lvProductsSelect(); });
  return page;
}

QDoubleSpinBox* TfmNewSheetTemplate::Millimetres(const char* name, double value) {
  auto* box = new QDoubleSpinBox;
  box->setObjectName(name);
  box->setDecimals(2);
  box->setRange(-1000, 1000);
  box->setSingleStep(0.5);
  box->setValue(value);
  box->setSuffix(" мм");
  On(box, &QDoubleSpinBox::valueChanged, this, [this] { ParametersChange(); });
  return box;
}

QWidget* TfmNewSheetTemplate::CreateParametersTab() {
  auto* page = new QWidget;
  edSheetWidth = Millimetres("edSheetWidth", 210),
  edSheetHeight = Millimetres("edSheetHeight", 297);
  edLabelWidth = Millimetres("edLabelWidth", 70), edLabelHeight = Millimetres("edLabelHeight", 37);
  edOriginX = Millimetres("edOriginX", 0), edOriginY = Millimetres("edOriginY", 0.5);
  edPitchX = Millimetres("edPitchX", 70), edPitchY = Millimetres("edPitchY", 37);
  edRadius = Millimetres("edRadius", 2);
  edColumns = Count("edColumns", 3), edRows = Count("edRows", 8);
  cbShape = new QComboBox;
  cbShape->setObjectName("cbShape");
  cbShape->addItems(kShapes);
  auto* form = new QFormLayout(page);
  form->addRow("Лист (ширина × высота):", Pair(edSheetWidth, edSheetHeight));
  form->addRow("Этикетка (ширина × высота):", Pair(edLabelWidth, edLabelHeight));
  form->addRow("Форма этикетки:", cbShape);
  form->addRow("Радиус скругления:", edRadius);
  form->addRow("Столбцов × рядов:", Pair(edColumns, edRows));
  form->addRow("Первая этикетка (слева × сверху):", Pair(edOriginX, edOriginY));
  form->addRow("Шаг (по горизонтали × по вертикали):", Pair(edPitchX, edPitchY));
  for (QSpinBox* box : {edColumns, edRows})
    On(box, &QSpinBox::valueChanged, this, [this] { ParametersChange(); });
  On(cbShape, &QComboBox::currentIndexChanged, this, [this] { ParametersChange(); });
  return page;
}

void TfmNewSheetTemplate::CreateButtons() {
  btSave = new QPushButton("Сохранить шаблон");
  btSave->setObjectName("btSave");
  btSave->setDefault(true);
  btCancel = new QPushButton("Отмена");
  btCancel->setObjectName("btCancel");
  On(btSave, &QPushButton::clicked, this, [this] { btSaveClick(); });
  On(btCancel, &QPushButton::clicked, this, [this] { reject(); });
}

void TfmNewSheetTemplate::edSearchChange() {
  shown_ = products_.Search(edSearch->text().toStdString());
  QSignalBlocker quiet(lvProducts);
  lvProducts->setUpdatesEnabled(false);
  lvProducts->clearContents();
  lvProducts->setRowCount(int(shown_.size()));
  for (std::size_t row = 0; row < shown_.size(); ++row) FillRow(lvProducts, int(row), *shown_[row]);
  lvProducts->setUpdatesEnabled(true);
  if (!shown_.empty()) lvProducts->selectRow(0);
  lvProductsSelect();
}

void TfmNewSheetTemplate::lvProductsSelect() {
  if (const labels::Product* product = SelectedProduct())
    SuggestPaperName(cloning::PaperNameFor(product->Id()));
  Refresh();
}

void TfmNewSheetTemplate::ParametersChange() {
  const labels::SheetParameters p = Parameters();
  auto mm = [](double v) { return labels::FormatMm(labels::MmToPoints(v)); };
  SuggestPaperName(mm(p.labelWidth) + "x" + mm(p.labelHeight) + " " + std::to_string(p.columns) +
                   "x" + std::to_string(p.rows));
  Refresh();
}

const labels::Product* TfmNewSheetTemplate::SelectedProduct() const {
  const int row = lvProducts->currentRow();
  if (row < 0 || std::size_t(row) >= shown_.size() || lvProducts->selectedItems().isEmpty())
    return nullptr;
  return shown_[std::size_t(row)];
}

labels::SheetParameters TfmNewSheetTemplate::Parameters() const {
  labels::SheetParameters p;
  p.sheetWidth = edSheetWidth->value(), p.sheetHeight = edSheetHeight->value();
  p.labelWidth = edLabelWidth->value(), p.labelHeight = edLabelHeight->value();
  p.columns = edColumns->value(), p.rows = edRows->value();
  p.originX = edOriginX->value(), p.originY = edOriginY->value();
  p.pitchX = edPitchX->value(), p.pitchY = edPitchY->value();
  p.shape = labels::ParameterShape(cbShape->currentIndex());
  p.radius = edRadius->value();
  return p;
}

// The product on the open tab, or why there is none to make a template of.
std::optional<labels::Product> TfmNewSheetTemplate::ChosenProduct(std::string& problem) const {
  if (tabs->currentIndex() == kProductsTab) {
    const labels::Product* product = SelectedProduct();
    if (!product) {
      problem = "Выберите лист в списке";
      return std::nullopt;
    }
    problem = labels::GeometryProblem(*product);
    return problem.empty() ? std::optional(*product) : std::nullopt;
  }
  const labels::SheetParameters p = Parameters();
  problem = labels::ParametersProblem(p);
  return problem.empty() ? std::optional(labels::ProductFromParameters(p)) : std::nullopt;
}

void TfmNewSheetTemplate::Refresh() {
  edRadius->setEnabled(cbShape->currentIndex() == int(labels::ParameterShape::RoundedRectangle));
  std::string problem;
  const std::optional<labels::Product> product = ChosenProduct(problem);
  preview->SetSheet(product ? std::optional(labels::LayOut(*product)) : std::nullopt);
  if (problem.empty()) problem = cloning::PaperNameProblem(edPaperName->text().toStdString());
  if (problem.empty() && cbCategory->currentIndex() < 0) problem = "Нет категорий оттисков";
  laProblem->setText(Text(problem));
  btSave->setEnabled(problem.empty());
}

// The name follows the chosen sheet until the user types one of his own.
void TfmNewSheetTemplate::SuggestPaperName(const std::string& name) {
  if (!paperTyped_) edPaperName->setText(Text(name));
}

bool TfmNewSheetTemplate::ConfirmReplace(const std::string& path) {
  if (!platform::FileExists(path)) return true;
  return platform::UI().messageBox(
             "Шаблон " + platform::Quoted(path) + " уже есть. Заменить его новым?",
             "Новый шаблон листа", platform::MsgIcon::Question,
             platform::MsgButtons::YesNo) == platform::MsgResult::Yes;
}

void TfmNewSheetTemplate::btSaveClick() {
  std::string problem;
  const std::optional<labels::Product> product = ChosenProduct(problem);
  if (!product) return;
  const std::string category = cbCategory->currentText().toStdString();
  const std::string paper = edPaperName->text().toStdString();
  if (!ConfirmReplace(cloning::SheetTemplatePath(app::DataFolder, category, paper))) return;
  try {
    SavedFile = cloning::MakeSheetTemplate(*app::AppController, app::DataFolder, category, paper,
                                           labels::LayOut(*product));
  } catch (const std::exception& e) {
    platform::UI().messageBox(e.what(), "Внимание!", platform::MsgIcon::Warning,
                              platform::MsgButtons::Ok);
    return;
  }
  SavedCategory = category;
  SavedPaper = paper;
  accept();
}

std::optional<std::pair<std::string, std::string>> RunNewSheetTemplate(
    QWidget* parent, const std::string& category) {
  labels::ProductDatabase products = labels::ProductDatabase::LoadStandard();
  ReportProblems(products);
  std::vector<std::string> categories;
  catalogue::ListSubfolders(app::DataFolder + catalogue::kGlyphRoot, categories);
  TfmNewSheetTemplate dialog(std::move(products), categories, category, parent);
  if (ExecModal(dialog, QDialog::Rejected) != QDialog::Accepted) return std::nullopt;
  return std::make_pair(dialog.SavedCategory, dialog.SavedPaper);
}

}  // namespace ui
