#include "ui/ufmGroupPrintWizard.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <ctime>

#include "app/uCommon.h"
#include "clone/MergeData.h"
#include "clone/uPlacing.h"
#include "platform/Locale.h"
#include "platform/UserInteraction.h"
#include "ui/Connect.h"
#include "ui/DataFilePanel.h"
#include "ui/DistributePrintBox.h"
#include "ui/PanelStyle.h"
#include "ui/WindowFrame.h"
#include "ui/ufmMain.h"

namespace ui {

namespace {

constexpr int kRowHeight = 50;
constexpr int kInitialHeight = 528;
constexpr int kGridWidth = 20 + 223 + 43 + 4;

QLabel* NewLabel(QWidget* parent, const char* name, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  return label;
}

QLabel* HeaderLabel(QWidget* parent, const char* name, const char* text, int width) {
  QLabel* label = NewLabel(parent, name, text);
  QFont font = label->font();
  font.setItalic(true);
  label->setFont(font);
  label->setFixedWidth(width);
  return label;
}

int IntOr0(const QString& text) {
  bool number = false;
  const int value = text.toInt(&number);
  return number ? value : 0;
}

// Date-time values count days since 30 December 1899, the fraction being the time of day.
std::tm BrokenDown(double dateTime) {
  const QDateTime moment =
      QDateTime(QDate(1899, 12, 30), QTime(0, 0)).addMSecs(qint64(dateTime * 86400000.0 + 0.5));
  std::tm t{};
  t.tm_year = moment.date().year() - 1900;
  t.tm_mon = moment.date().month() - 1;
  t.tm_mday = moment.date().day();
  t.tm_wday = moment.date().dayOfWeek() % 7;
  t.tm_hour = moment.time().hour();
  t.tm_min = moment.time().minute();
  t.tm_sec = moment.time().second();
  return t;
}

}  // namespace

TfmGroupPrintWizard::TfmGroupPrintWizard(TfmMain& main, QWidget* parent)
    : QWidget(parent, Qt::Window), main_(main), frame_(new FramePlacement(this)) {
  setObjectName("fmGroupPrintWizard");
  // Closing the panel ends the program even while the wizard is open.
  setAttribute(Qt::WA_QuitOnClose, false);
  setWindowTitle("Мастер групповой печати");
  setFont(PanelFont());
  setFixedWidth(kWidth);
  setMinimumHeight(350);
  resize(kWidth, kInitialHeight);
  CreateCommands();
  CreateGroupBox();
  CreateDistributePrint();
  auto* column = new QVBoxLayout(this);
  // The panel's margins: the print box gets the width it has in the panel.
  column->setContentsMargins(2, 2, 2, 2);
  column->addWidget(gbGroup, 1);
  column->addWidget(pDistributePrint);
  if (QScreen* screen = QApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    QRect frame(0, 0, kWidth, std::min(kInitialHeight, area.height()));
    frame.moveCenter(area.center());
    frame_->Place(frame);
  }
  FormCreate();
}

QAction* TfmGroupPrintWizard::Command(const char* name, const char* caption,
                                      void (TfmGroupPrintWizard::*run)()) {
  auto* command = new QAction(caption, this);
  command->setObjectName(name);
  On(command, &QAction::triggered, this, [this, run] { (this->*run)(); });
  return command;
}

void TfmGroupPrintWizard::CreateCommands() {
  aGlyphClone =
      Command("aGlyphClone", "&Размножить оттиски", &TfmGroupPrintWizard::aGlyphCloneExecute);
  aQuickPrint = Command("aQuickPrint", "&Быстрая печать", &TfmGroupPrintWizard::aQuickPrintExecute);
  aPrint = Command("aPrint", "&Печать", &TfmGroupPrintWizard::aPrintExecute);
  aDelFromGrid =
      Command("aDelFromGrid", "Удалить из списка", &TfmGroupPrintWizard::aDelFromGridExecute);
  PopupMenu = new QMenu(this);
  PopupMenu->addAction(aDelFromGrid);
}

void TfmGroupPrintWizard::CreateGroupBox() {
  gbGroup = new QGroupBox("Группа оттисков для печати", this);
  gbGroup->setObjectName("gbGroup");
  auto* headers = new QHBoxLayout;
  headers->setSpacing(0);
  laNumber = HeaderLabel(gbGroup, "laNumber", "#", 21);
  laGlyph = HeaderLabel(gbGroup, "laGlyph", "оттиск", 224);
  laCount = HeaderLabel(gbGroup, "laCount", "кол-во", 44);
  for (QLabel* label : {laNumber, laGlyph, laCount}) headers->addWidget(label);
  headers->addStretch();
  sg = new TStringGrid(gbGroup);
  sg->setObjectName("sg");
  sg->setColumnCount(3);
  sg->SetColWidth(0, 20), sg->SetColWidth(1, 223), sg->SetColWidth(kCountColumn, 43);
  sg->setFixedWidth(kGridWidth);
  sg->verticalHeader()->setDefaultSectionSize(kRowHeight + 1);
  sg->SetRowHeight(0, kRowHeight);
  SetGridColor(sg, QColor(0xC0, 0xC0, 0xC0));
  sg->setEditTriggers(QAbstractItemView::AllEditTriggers);
  sg->hide();
  laGlyphInfo = NewLabel(gbGroup, "laGlyphInfo", {});
  laGlyphInfo->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  laGlyphInfo->setFixedSize(kGridWidth, 17);
  auto* column = new QVBoxLayout(gbGroup);
  column->addLayout(headers);
  column->addWidget(sg, 1);
  column->addWidget(laGlyphInfo);
  sg->OnDrawCell = [this](int col, int row, const QRect& r, QPainter& canvas) {
    sgDrawCell(col, row, r, canvas);
  };
  sg->OnSelectCell = [this](int row) { sgSelectCell(row); };
  sg->OnMouseDown = [this](Qt::MouseButton, const QPoint& pos) { sgMouseDown(pos); };
  On(sg, &QTableWidget::itemChanged, this,
     [this](QTableWidgetItem* item) { sgSetEditText(item->column()); });
  On(sg, &QWidget::customContextMenuRequested, this,
     [this](const QPoint& pos) { PopupMenu->popup(sg->viewport()->mapToGlobal(pos)); });
}

void TfmGroupPrintWizard::CreateDistributePrint() {
  auto* box = new TDistributePrintBox("Введите количество групп оттисков:", this);
  pDistributePrint = printBox_ = box;
  la1 = box->la1, la2 = box->la2, la3 = box->la3, lbPages = box->lbPages;
  laStartPosition = box->laStartPosition;
  edStartPosition = box->edStartPosition;
  edNumberToPrint = box->edNumberToPrint;
  udNumberToPrint = box->udNumberToPrint;
  cbPaperSize = box->cbPaperSize;
  btGlyphClone = box->btGlyphClone, btQuickPrint = box->btQuickPrint, btPrint = box->btPrint;
  TDistributePrintBox::BindButton(btGlyphClone, aGlyphClone);
  TDistributePrintBox::BindButton(btQuickPrint, aQuickPrint);
  TDistributePrintBox::BindButton(btPrint, aPrint);
  On(edNumberToPrint, &QLineEdit::textChanged, this, [this] { edNumberToPrintChange(); });
  On(cbPaperSize, &QComboBox::currentIndexChanged, this, [this] { edNumberToPrintChange(); });
  On(edStartPosition, &QSpinBox::valueChanged, this, [this] { edNumberToPrintChange(); });
  On(box->DataPanel, &TDataFilePanel::Changed, this, [this] { DataChosen(); });
}

// The data chosen belongs to the selected glyph.
void TfmGroupPrintWizard::DataChosen() {
  const int row = sg->Row();
  if (row >= 0 && row < int(rowData_.size()))
    rowData_[std::size_t(row)] = printBox_->DataPanel->Data();
  RecalculateNumberOfPages();
}

void TfmGroupPrintWizard::FormCreate() {
  GlyphCount = 0;
}

void TfmGroupPrintWizard::FormClose() {
  filling_ = true;
  GlyphCount = 0;
  rowData_.clear();
  printBox_->DataPanel->ShowData(nullptr);
  QSignalBlocker quiet(sg);
  sg->clearContents();
  sg->Clear();
  sg->SetRowHeight(0, kRowHeight);
  filling_ = false;
  Category.clear();
  sg->hide();
}

void TfmGroupPrintWizard::closeEvent(QCloseEvent* event) {
  FormClose();
  QWidget::closeEvent(event);
}

catalogue::TPreviewItem* TfmGroupPrintWizard::EntryAtRow(int row) {
  if (sg->isHidden()) return nullptr;
  if (row == -1) {
    row = sg->Row();
  } else {
    const bool filling = filling_;
    filling_ = true;
    sg->SetRow(row);
    filling_ = filling;
  }
  return row >= 0 && row < GlyphCount ? sg->Object(row).get() : nullptr;
}

void TfmGroupPrintWizard::ShowInfo(const catalogue::TPreviewItem* entry) {
  QString text;
  if (entry) {
    const std::tm date = BrokenDown(entry->FileDate);
    text = QString::fromStdString(entry->FullPath() + " [" +
                                  platform::FormatDateTime(app::ShortDateFormat, date) + " " +
                                  platform::FormatDateTime(app::LongTimeFormat, date) + "]");
  }
  laGlyphInfo->setToolTip(text);
  laGlyphInfo->setText(
      laGlyphInfo->fontMetrics().elidedText(text, Qt::ElideMiddle, laGlyphInfo->width() - 4));
}

void TfmGroupPrintWizard::sgSelectCell(int row) {
  if (filling_) return;
  const catalogue::TPreviewItem* entry = EntryAtRow(row);
  const int kind = entry ? entry->Kind : 3;
  ShowInfo(entry);
  const int selected = sg->Row();
  printBox_->DataPanel->ShowData(
      selected >= 0 && selected < int(rowData_.size()) ? rowData_[std::size_t(selected)] : nullptr);
  const bool templates =
      cbPaperSize->count() > 0 && cbPaperSize->itemData(0).toInt() != cloning::kNoTemplatesValue;
  RecalculateNumberOfPages();
  const bool document = kind == catalogue::kGlyphKind || kind == catalogue::kSheetKind;
  aPrint->setEnabled(document);
  aQuickPrint->setEnabled(document && templates);
  for (QWidget* control :
       {static_cast<QWidget*>(edNumberToPrint), static_cast<QWidget*>(udNumberToPrint),
        static_cast<QWidget*>(edStartPosition)})
    control->setEnabled(templates);
  aGlyphClone->setEnabled(templates);
  cbPaperSize->setEnabled(true);
}

void TfmGroupPrintWizard::sgDrawCell(int col, int row, const QRect& rect, QPainter& canvas) {
  if (col != kCountColumn) {
    main_.sgMyGlyphsDrawCell(sg, col, row, rect, canvas);
    return;
  }
  // The count is the one cell the panel's own lists do not have.
  canvas.fillRect(rect, sg->palette().color(QPalette::Base));
  canvas.setPen(sg->palette().color(QPalette::Text));
  const QTableWidgetItem* item = sg->item(row, col);
  if (item)
    canvas.drawText(rect.adjusted(2, 2, -2, -2), Qt::AlignLeft | Qt::AlignTop, item->text());
}

void TfmGroupPrintWizard::sgMouseDown(const QPoint& pos) {
  sg->viewport()->update();
  const int row = sg->RowAt(pos.y());
  if (row >= 0) sg->SetRow(row);
}

void TfmGroupPrintWizard::sgSetEditText(int col) {
  if (col == kCountColumn) RecalculateNumberOfPages();
}

void TfmGroupPrintWizard::edNumberToPrintChange() {
  RecalculateNumberOfPages();
}

int TfmGroupPrintWizard::SelectedPaper() const {
  if (cbPaperSize->currentIndex() < 0) return -1;
  const int value = cbPaperSize->currentData().toInt();
  return value < int(PaperSizes.size()) ? value : -1;
}

int TfmGroupPrintWizard::CountAt(int row) const {
  const QTableWidgetItem* item = sg->item(row, kCountColumn);
  return item ? IntOr0(item->text()) : 0;
}

void TfmGroupPrintWizard::RecalculateNumberOfPages() {
  QString text;
  const int paper = SelectedPaper();
  if (paper >= 0) {
    const int positions = cloning::CountLabelPositions(
        *app::AppController, app::DataFolder, Category, PaperSizes[std::size_t(paper)].Name);
    const cloning::TCloneParams glyphs = Glyphs();
    printBox_->SetPositions(positions);
    if (cloning::HasData(glyphs)) {
      text = QString::number(
          cloning::PageCount(cloning::LabelCount(glyphs, IntOr0(edNumberToPrint->text())), 1,
                             positions, edStartPosition->value()));
    } else {
      std::int64_t perSet = 0;
      for (int row = 0; row < GlyphCount; ++row) perSet += CountAt(row);
      text = QString::number(cloning::PageCount(perSet, IntOr0(edNumberToPrint->text()), positions,
                                                edStartPosition->value()));
    }
  }
  lbPages->setText(text);
}

void TfmGroupPrintWizard::aGlyphCloneExecute() {
  const int paper = SelectedPaper();
  if (paper < 0) return;
  const cloning::TPaperSize size = PaperSizes[std::size_t(paper)];
  cloning::TCloneParams glyphs = Glyphs();
  const int sets = IntOr0(edNumberToPrint->text());
  if (wordlink::TExtAppDocument* doc =
          cloning::CloneGlyphs(main_, glyphs, sets, Category, size, edStartPosition->value(),
                               printBox_->DataPanel->cbSkipBadRecords->isChecked()))
    main_.ArrangeWordWindow(doc);
}

cloning::TCloneParams TfmGroupPrintWizard::Glyphs() const {
  cloning::TCloneParams glyphs;
  for (int row = 0; row < GlyphCount; ++row) {
    const catalogue::TPreviewItemPtr& entry = sg->Object(row);
    if (!entry) continue;
    auto data = std::size_t(row) < rowData_.size() ? rowData_[std::size_t(row)] : nullptr;
    glyphs.push_back({app::DataFolder + entry->Path, CountAt(row), std::move(data)});
  }
  return glyphs;
}

void TfmGroupPrintWizard::PrintCurrent(bool quick) {
  const catalogue::TPreviewItem* entry = EntryAtRow();
  if (!entry) return;
  wordlink::TExtAppDocument* doc = app::AppController->FindDocument(entry->FullPath());
  if (doc) ReportPrintFailure(*doc, app::AppController->PrintDocument(doc, quick));
}

void TfmGroupPrintWizard::aQuickPrintExecute() {
  PrintCurrent(true);
}

void TfmGroupPrintWizard::aPrintExecute() {
  PrintCurrent(false);
}

void TfmGroupPrintWizard::aDelFromGridExecute() {
  if (GlyphCount == 0) return;
  const int row = sg->Row();
  {
    QSignalBlocker quiet(sg);
    sg->DeleteRow(row);
  }
  if (row >= 0 && row < int(rowData_.size())) rowData_.erase(rowData_.begin() + row);
  --GlyphCount;
  if (GlyphCount == 0) {
    FormClose();
    hide();
    return;
  }
  sg->SetRowCount(GlyphCount);
  sgSelectCell(sg->Row());
}

void TfmGroupPrintWizard::TakeCategory(const std::string& category) {
  Category = category;
  PaperSizes = cloning::PaperSizes;
  QSignalBlocker quiet(cbPaperSize);
  cbPaperSize->clear();
  for (int i = 0; i < main_.cbPaperSize->count(); ++i)
    cbPaperSize->addItem(main_.cbPaperSize->itemText(i), main_.cbPaperSize->itemData(i));
  cbPaperSize->setCurrentIndex(main_.cbPaperSize->currentIndex());
  const QRect panel = main_.frameGeometry();
  mainRight_ = panel.right() + 1;
}

void TfmGroupPrintWizard::AppendRow(const catalogue::TPreviewItemPtr& entry) {
  const int row = GlyphCount;
  ++GlyphCount;
  rowData_.resize(std::size_t(GlyphCount));
  filling_ = true;
  {
    QSignalBlocker quiet(sg);
    sg->SetRowCount(GlyphCount);
    sg->SetRowHeight(row, kRowHeight);
    sg->SetObject(row, entry);
    for (int col : {0, 1}) {
      auto* cell = new QTableWidgetItem(col == 0 ? QString::number(row + 1) : QString());
      cell->setFlags(cell->flags() & ~Qt::ItemIsEditable);
      sg->setItem(row, col, cell);
    }
    sg->setItem(row, kCountColumn, new QTableWidgetItem("1"));
  }
  sg->SetRow(row);
  filling_ = false;
}

void TfmGroupPrintWizard::PlaceBesideMain() {
  const QScreen* screen = main_.screen();
  if (mainRight_ < 0 || !screen) return;
  if (screen->availableGeometry().right() + 1 < mainRight_ + frameGeometry().width()) return;
  PlaceBeside(main_.frameGeometry());
}

void TfmGroupPrintWizard::PlaceBeside(const QRect& panelFrame) {
  const QMargins decoration = FrameMargins(*this);
  frame_->Place(QRect(panelFrame.right() + 1, panelFrame.top(),
                      kWidth + decoration.left() + decoration.right(), panelFrame.height()));
}

void TfmGroupPrintWizard::SendGlyph(const catalogue::TPreviewItemPtr& entry) {
  const std::string category = entry->CategoryOf();
  mainRight_ = -1;
  if (Category.empty()) TakeCategory(category);
  if (Category != category) {
    const QString text = QString(kOtherCategoryMessage).arg(QString::fromStdString(Category));
    platform::UI().messageBox(text.toStdString(), "", platform::MsgIcon::None,
                              platform::MsgButtons::Ok);
    return;
  }
  AppendRow(entry);
  PlaceBesideMain();
  sg->show();
  show();
  activateWindow();
  sgSelectCell(sg->Row());
}

}  // namespace ui
