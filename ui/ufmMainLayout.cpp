#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/uCommon.h"
#include "ui/Connect.h"
#include "ui/DataFilePanel.h"
#include "ui/DistributePrintBox.h"
#include "ui/PanelStyle.h"
#include "ui/ufmAbout.h"
#include "ui/ufmMain.h"

namespace ui {

namespace {

constexpr int kContentWidth = 304;
constexpr int kBoxWidth = 145;

QLabel* InfoLine(QWidget* parent, const char* name) {
  auto* info = new QLabel(parent);
  info->setObjectName(name);
  info->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  info->setFixedSize(kContentWidth, 17);
  return info;
}

QPushButton* Button(QWidget* parent, const char* name, int width) {
  auto* button = new QPushButton(parent);
  button->setObjectName(name);
  button->setFixedSize(width, 25);
  return button;
}

QToolBar* ToolBar(QWidget* parent, const char* name) {
  auto* bar = new QToolBar(parent);
  bar->setObjectName(name);
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->setFixedHeight(28);
  bar->setIconSize(QSize(16, 16));
  return bar;
}

QToolButton* ToolButton(QToolBar* bar, const char* name) {
  auto* button = new QToolButton(bar);
  button->setObjectName(name);
  button->setAutoRaise(true);
  bar->addWidget(button);
  return button;
}

QComboBox* DropDownList(QWidget* parent, const char* name, int width, const QStringList& items) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  box->setFixedWidth(width);
  box->addItems(items);
  return box;
}

QLabel* Label(QWidget* parent, const char* name, const char* text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  return label;
}

// Grids keep their room while hidden, as the panel's controls never move.
void KeepRoomWhenHidden(QWidget* widget) {
  QSizePolicy policy = widget->sizePolicy();
  policy.setRetainSizeWhenHidden(true);
  widget->setSizePolicy(policy);
}

TStringGrid* Grid(QWidget* parent, const char* name) {
  auto* grid = new TStringGrid(parent);
  grid->setObjectName(name);
  grid->setFixedWidth(kContentWidth);
  grid->SetColWidth(0, 20);
  grid->SetColWidth(1, 257);
  KeepRoomWhenHidden(grid);
  grid->hide();
  return grid;
}

// The two labels over the category and filter boxes.
QGridLayout* BoxesRow(QLabel* categoryLabel, QLabel* filterLabel, QComboBox* category,
                      QComboBox* filter) {
  auto* row = new QGridLayout;
  row->setHorizontalSpacing(14);
  row->setVerticalSpacing(1);
  row->addWidget(categoryLabel, 0, 0);
  row->addWidget(filterLabel, 0, 1);
  row->addWidget(category, 1, 0);
  row->addWidget(filter, 1, 1);
  row->setColumnStretch(2, 1);
  return row;
}

QIcon StandardIcon(QStyle::StandardPixmap which) {
  return QApplication::style()->standardIcon(which);
}

}  // namespace

void TfmMain::CreateControls() {
  setObjectName("fmMain");
  setFont(PanelFont());
  setFixedWidth(kPanelWidth);
  setMinimumHeight(kMinHeight);
  il = {ProgramPicture(16), StandardIcon(QStyle::SP_DirOpenIcon),
        StandardIcon(QStyle::SP_DialogSaveButton), StandardIcon(QStyle::SP_DialogHelpButton),
        StandardIcon(QStyle::SP_DriveNetIcon)};

  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(2, 2, 2, 2);
  column->setSpacing(2);
  CreatePageControl(central);
  column->addWidget(PageControl, 1);
  CreateDistributePrint(central);
  column->addWidget(pDistributePrint);
  setCentralWidget(central);

  CreateHiddenParts();
  for (TStringGrid* grid : {sgMyGlyphs, sgMySheets, sgOpenDocs}) ConnectGrid(grid);
}

void TfmMain::CreatePageControl(QWidget* parent) {
  PageControl = new QTabWidget(parent);
  PageControl->setObjectName("PageControl");
  PageControl->setUsesScrollButtons(false);
  tsMyGlyphs = CreateCatalogueTab("tsMyGlyphs", glyphs_, "Категория оттисков",
                                  {"Все", "Мои оттиски", "Коллекция оттисков", "Недавние оттиски"});
  tsMySheets = CreateCatalogueTab("tsMySheets", sheets_, "Категория листов",
                                  {"Все", "Мои листы", "Коллекция листов", "Недавние листы"});
  cbGlyphCategory = glyphs_.category, cbGlyphFilter = glyphs_.filter;
  cbSheetCategory = sheets_.category, cbSheetFilter = sheets_.filter;
  sgMyGlyphs = glyphs_.grid, sgMySheets = sheets_.grid;
  laGlyphInfo = glyphs_.info, laSheetInfo = sheets_.info;
  tsOpenDocs = CreateOpenDocsTab();
  PageControl->addTab(tsMyGlyphs, "Оттиски");
  PageControl->addTab(tsMySheets, "Листы");
  PageControl->addTab(tsOpenDocs, "Открытые документы");
  On(PageControl, &QTabWidget::currentChanged, this, [this] { PageControlChange(); });
}

QWidget* TfmMain::CreateOpenDocsTab() {
  auto* page = new QWidget;
  page->setObjectName("tsOpenDocs");
  auto* docs = new QVBoxLayout(page);
  docs->setContentsMargins(4, 0, 4, 4);
  docs->setSpacing(3);
  tbOpenDocs = ToolBar(page, "tbOpenDocs");
  tbSave = ToolButton(tbOpenDocs, "tbSave");
  sgOpenDocs = Grid(page, "sgOpenDocs");
  SetGridColor(sgOpenDocs, QColor(0xC0, 0xC0, 0xC0));
  laDocInfo = InfoLine(page, "laDocInfo");
  btEndEdit = Button(page, "btEndEdit", kContentWidth);
  docs->addWidget(tbOpenDocs);
  docs->addWidget(sgOpenDocs, 1);
  docs->addWidget(laDocInfo);
  docs->addWidget(btEndEdit);
  return page;
}

void TfmMain::CreateHiddenParts() {
  pbar = new QProgressBar(this);
  pbar->setObjectName("pbar");
  pbar->setGeometry(6, 291, kContentWidth, 22);
  pbar->setTextVisible(false);
  pbar->hide();
  od = new QFileDialog(this);
  od->setObjectName("od");
  od->setFileMode(QFileDialog::ExistingFile);
  od->setNameFilters({"Документы Word (*.doc *.dot *.docx *.dotx)", "Все файлы (*)"});
}

QWidget* TfmMain::CreateCatalogueTab(const char* name, TCatalogueBoxes& boxes,
                                     const char* categoryText, const QStringList& filterItems) {
  const bool glyphs = &boxes == &glyphs_;
  auto* page = new QWidget;
  boxes.category =
      DropDownList(page, glyphs ? "cbGlyphCategory" : "cbSheetCategory", kBoxWidth, {"Все"});
  boxes.filter =
      DropDownList(page, glyphs ? "cbGlyphFilter" : "cbSheetFilter", kBoxWidth, filterItems);
  page->setObjectName(name);
  auto* column = new QVBoxLayout(page);
  column->setContentsMargins(4, 0, 4, 4);
  column->setSpacing(3);
  QToolBar* bar = ToolBar(page, glyphs ? "tbMyGlyphs" : "tbMySheets");
  column->addWidget(bar);
  QLabel* category = Label(page, glyphs ? "laGlyphCategory" : "laSheetCategory", categoryText);
  QLabel* filter = Label(page, glyphs ? "laGlyphFilter" : "laSheetFilter", "Показывать");
  column->addLayout(BoxesRow(category, filter, boxes.category, boxes.filter));
  boxes.grid = Grid(page, glyphs ? "sgMyGlyphs" : "sgMySheets");
  boxes.info = InfoLine(page, glyphs ? "laGlyphInfo" : "laSheetInfo");
  column->addWidget(boxes.grid, 1);
  column->addWidget(boxes.info);
  if (glyphs) {
    tbMyGlyphs = bar, laGlyphCategory = category, laGlyphFilter = filter;
    AddGlyphTools(page, column);
  } else {
    tbMySheets = bar, laSheetCategory = category, laSheetFilter = filter;
    AddSheetTools(page, column);
  }
  On(boxes.category, &QComboBox::activated, this,
     [this, box = boxes.category] { cbGlyphCategoryChange(box); });
  On(boxes.filter, &QComboBox::activated, this,
     [this, box = boxes.category] { cbGlyphFilterChange(box); });
  return page;
}

void TfmMain::AddGlyphTools(QWidget* page, QVBoxLayout* column) {
  tbNewGlyph = ToolButton(tbMyGlyphs, "tbNewGlyph");
  tbOpenGlyph = ToolButton(tbMyGlyphs, "tbOpenGlyph");
  btEditGlyph = Button(page, "btEditGlyph", kContentWidth);
  column->addWidget(btEditGlyph);
}

void TfmMain::AddSheetTools(QWidget* page, QVBoxLayout* column) {
  tbOpenSheet = ToolButton(tbMySheets, "tbOpenSheet");
  tbNewSheetTemplate = ToolButton(tbMySheets, "tbNewSheetTemplate");
  btEditSheet = Button(page, "btEditSheet", 151);
  btExtractGlyph = Button(page, "btExtractGlyph", 150);
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(3);
  buttons->addWidget(btEditSheet);
  buttons->addWidget(btExtractGlyph);
  buttons->addStretch(1);
  column->addLayout(buttons);
}

void TfmMain::CreateDistributePrint(QWidget* parent) {
  auto* box = new TDistributePrintBox("Введите количество оттисков:", parent);
  pDistributePrint = printBox_ = box;
  la1 = box->la1, la2 = box->la2, la3 = box->la3, lbPages = box->lbPages;
  laStartPosition = box->laStartPosition;
  edStartPosition = box->edStartPosition;
  edNumberToPrint = box->edNumberToPrint;
  udNumberToPrint = box->udNumberToPrint;
  cbPaperSize = box->cbPaperSize;
  cbPaperSize->addItems({"A4 (210 x 297 mm)", "A3 (297 x 300 mm)"});
  btGlyphClone = box->btGlyphClone, btQuickPrint = box->btQuickPrint, btPrint = box->btPrint;
  On(edNumberToPrint, &QLineEdit::textChanged, this, [this] { edNumberToPrintChange(); });
  On(cbPaperSize, &QComboBox::activated, this, [this] { edNumberToPrintChange(); });
  On(edStartPosition, &QSpinBox::valueChanged, this, [this] { edNumberToPrintChange(); });
  On(box->DataPanel, &TDataFilePanel::Changed, this, [this] { edNumberToPrintChange(); });
}

struct TCommandRow {
  QAction* TfmMain::*field;
  const char* name;
  const char* category;
  const char* caption;
  const char* hint;
  const char* shortcut;
  bool enabled;
  void (TfmMain::*handler)();
};

namespace {

// The command table: a caption's "&" marks its access letter.
const TCommandRow kCommands[] = {
    {&TfmMain::aGlyphNew, "aGlyphNew", "Glyphs", "Новый стандартный оттиск", "Создать новый оттиск",
     "Ctrl+N", true, nullptr},
    {&TfmMain::aGlyphOpen, "aGlyphOpen", "Glyphs", "Открыть оттиск", "Открыть оттиск", "Ctrl+O",
     true, &TfmMain::aGlyphOpenExecute},
    {&TfmMain::aSheetOpen, "aSheetOpen", "Sheets", "Открыть лист", "Открыть лист", "", true,
     &TfmMain::aSheetOpenExecute},
    {&TfmMain::aSave, "aSave", "File", "&Сохранить", "Сохраняет активный документ", "Ctrl+S", false,
     &TfmMain::aSaveExecute},
    {&TfmMain::aSaveAs, "aSaveAs", "File", "Со&хранить как...",
     "Вызывает диалог сохранения активного документа", "", false, &TfmMain::aSaveAsExecute},
    {&TfmMain::aExit, "aExit", "File", "В&ыход", "Выйти из программы", "Ctrl+X", true,
     &TfmMain::aExitExecute},
    {&TfmMain::aEditGlyph, "aEditGlyph", "Edit", "Редактировать &оттиск", "Редактировать оттиск",
     "F2", false, &TfmMain::aEditGlyphExecute},
    {&TfmMain::aEditSheet, "aEditSheet", "Edit", "Редактировать &лист", "Редактировать лист", "",
     false, &TfmMain::aEditSheetExecute},
    {&TfmMain::aEndEdit, "aEndEdit", "Edit", "Закончить редактирование", "Закончить редактирование",
     "", false, &TfmMain::aEndEditExecute},
    {&TfmMain::aExtractGlyph, "aExtractGlyph", "Edit", "Скопировать оттиск", "", "", true,
     &TfmMain::aExtractGlyphExecute},
    {&TfmMain::aViewThumbnails, "aViewThumbnails", "View", "Эскизы", "", "", true,
     &TfmMain::aViewThumbnailsExecute},
    {&TfmMain::aViewList, "aViewList", "View", "Список", "", "", true, &TfmMain::aViewListExecute},
    {&TfmMain::aHelp, "aHelp", "Help", "Содержание", "", "F1", true, &TfmMain::aHelpExecute},
    {&TfmMain::aHelpGoToSite, "aHelpGoToSite", "Help", "Сайт", "", "", true,
     &TfmMain::aHelpGoToSiteExecute},
    {&TfmMain::aHelpAbout, "aHelpAbout", "Help", "&О программе...", "", "", true,
     &TfmMain::aHelpAboutExecute},
    {&TfmMain::aGlyphClone, "aGlyphClone", "Glyphs", "&Размножить оттиски", "", "", true,
     &TfmMain::aGlyphCloneExecute},
    {&TfmMain::aQuickPrint, "aQuickPrint", "Print", "&Быстрая печать", "", "", true,
     &TfmMain::aQuickPrintExecute},
    {&TfmMain::aPrint, "aPrint", "Print", "&Печать", "", "Ctrl+P", true, &TfmMain::aPrintExecute},
    {&TfmMain::aGlyphSendToGroup, "aGlyphSendToGroup", "Glyphs", "Отправить в группу", "", "",
     false, &TfmMain::aGlyphSendToGroupExecute},
    {&TfmMain::aSheetTemplateNew, "aSheetTemplateNew", "Sheets", "Новый шаблон листа…",
     "Создать шаблон листа по готовому листу этикеток или по своим размерам", "", true,
     &TfmMain::aSheetTemplateNewExecute},
    {&TfmMain::aPrinterCalibration, "aPrinterCalibration", "Print", "Калибровка принтера…",
     "Напечатать лист калибровки и задать поправку принтера", "", true,
     &TfmMain::aPrinterCalibrationExecute},
};

// Tooltips show the hint, or the caption without its access mark, and the shortcut.
QString ToolTipOf(const QAction* command) {
  QString tip = command->statusTip().isEmpty() ? command->text().remove('&') : command->statusTip();
  if (!command->shortcut().isEmpty())
    tip += " (" + command->shortcut().toString(QKeySequence::NativeText) + ")";
  return tip;
}

}  // namespace

void TfmMain::CreateCommand(const TCommandRow& row) {
  QAction* command = new QAction(QString::fromUtf8(row.caption), this);
  this->*row.field = command;
  command->setObjectName(row.name);
  command->setProperty("category", row.category);
  command->setStatusTip(QString::fromUtf8(row.hint));
  command->setShortcut(QKeySequence(row.shortcut));
  command->setEnabled(row.enabled);
  command->setToolTip(ToolTipOf(command));
  if (auto handler = row.handler)
    On(command, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
  addAction(command);
}

void TfmMain::CreateCommands() {
  for (const TCommandRow& row : kCommands) CreateCommand(row);
  // Without a menu item as its sender the command makes a blank glyph only.
  On(aGlyphNew, &QAction::triggered, this, [this] { aGlyphNewExecute(aGlyphNew); });
  aHelpGoToSite->setText("Сайт " + SiteName());
  aHelpGoToSite->setToolTip(aHelpGoToSite->text());
  aGlyphNew->setIcon(il[0]);
  aGlyphOpen->setIcon(il[1]);
  aSheetOpen->setIcon(il[1]);
  aSheetTemplateNew->setIcon(il[0]);
  aSave->setIcon(il[2]);
  aHelp->setIcon(il[3]);
  aHelpGoToSite->setIcon(il[4]);
  viewCommands_ = new QActionGroup(this);
  for (QAction* view : {aViewThumbnails, aViewList}) {
    view->setCheckable(true);
    viewCommands_->addAction(view);
  }
  viewCommands_->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
  BindControls();
}

void TfmMain::BindControls() {
  tbNewGlyph->setText(aGlyphNew->text());
  tbNewGlyph->setToolTip(aGlyphNew->statusTip());
  tbNewGlyph->setIcon(il[0]);
  tbNewGlyph->setPopupMode(QToolButton::MenuButtonPopup);
  tbOpenGlyph->setDefaultAction(aGlyphOpen);
  tbOpenSheet->setDefaultAction(aSheetOpen);
  tbNewSheetTemplate->setDefaultAction(aSheetTemplateNew);
  tbSave->setDefaultAction(aSave);
  BindButton(btEditGlyph, aEditGlyph);
  BindButton(btEditSheet, aEditSheet);
  BindButton(btExtractGlyph, aExtractGlyph);
  btExtractGlyph->setEnabled(false);
  BindButton(btEndEdit, aEndEdit);
  BindButton(btGlyphClone, aGlyphClone);
  BindButton(btQuickPrint, aQuickPrint);
  BindButton(btPrint, aPrint);
}

void TfmMain::BindButton(QPushButton* button, QAction* command) {
  TDistributePrintBox::BindButton(button, command);
}

QAction* TfmMain::MirrorItem(QAction* command, const QString& caption, bool followChecked) {
  auto* item = new QAction(caption, this);
  item->setIcon(command->icon());
  if (!command->shortcut().isEmpty())
    item->setText(caption + "\t" + command->shortcut().toString(QKeySequence::NativeText));
  item->setEnabled(command->isEnabled());
  On(command, &QAction::changed, item, [item, command] { item->setEnabled(command->isEnabled()); });
  On(item, &QAction::triggered, command, [command] { command->trigger(); });
  if (followChecked) {
    item->setCheckable(true);
    On(command, &QAction::toggled, item, [item](bool on) {
      if (on) item->setChecked(true);
    });
  }
  return item;
}

void TfmMain::CreateMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName("MainMenu1");
  QMenu* file = bar->addMenu("&Файл");
  menuNewGlyph = file->addMenu(il[0], "Новый оттиск");
  menuNewGlyph->setObjectName("menuNewGlyph");
  QMenu* open = file->addMenu(il[1], "Открыть");
  open->addAction(MirrorItem(aGlyphOpen, "Оттиск", false));
  open->addAction(MirrorItem(aSheetOpen, "Лист", false));
  file->addAction(aSheetTemplateNew);
  file->addSeparator();
  file->addAction(aSave);
  file->addAction(aSaveAs);
  file->addSeparator();
  file->addAction(aPrinterCalibration);
  file->addSeparator();
  file->addAction(aExit);
  QMenu* edit = bar->addMenu("&Редактирование");
  edit->addActions({aEditGlyph, aEditSheet, aEndEdit});

  CreateViewMenu(bar->addMenu("&Вид"));
  QMenu* help = bar->addMenu("&Справка");
  help->addActions({aHelp, aHelpGoToSite});
  help->addSeparator();
  help->addAction(aHelpAbout);

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  PopupMenu1->addAction(aGlyphSendToGroup);
  mnuNewGlyph = new QMenu(this);
  mnuNewGlyph->setObjectName("mnuNewGlyph");
  tbNewGlyph->setMenu(mnuNewGlyph);
}

void TfmMain::CreateViewMenu(QMenu* view) {
  miViewThumbnails = MirrorItem(aViewThumbnails, "Эскизы", true);
  miViewList = MirrorItem(aViewList, "Список", true);
  viewItems_ = new QActionGroup(this);
  viewItems_->addAction(miViewThumbnails);
  viewItems_->addAction(miViewList);
  miViewThumbnails->setChecked(true);
  view->addActions({miViewThumbnails, miViewList});
  view->addSeparator();
  ckOnWordTile = view->addAction("Расположить рядом с Word");
  ckOnWordTile->setObjectName("ckOnWordTile");
  ckOnWordMinimize = view->addAction("Свернуть при вызове Word");
  ckOnWordMinimize->setObjectName("ckOnWordMinimize");
  windowOptions_ = new QActionGroup(this);
  windowOptions_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  for (QAction* option : {ckOnWordTile, ckOnWordMinimize}) {
    option->setCheckable(true);
    windowOptions_->addAction(option);
  }
  ckOnWordTile->setChecked(true);
}

void TfmMain::CreateGlyphTypeMenus() {
  menuNewGlyph->clear();
  mnuNewGlyph->clear();
  for (std::size_t i = 0; i < app::GlyphTypes.size(); ++i) {
    const app::TGlyphType& type = app::GlyphTypes[i];
    const QString caption = QString::fromStdString(type.Name) + " (" + QString::number(type.Width) +
                            "x" + QString::number(type.Height) + ")";
    for (QMenu* menu : {menuNewGlyph, mnuNewGlyph}) {
      QAction* item = menu->addAction(il[0], caption);
      item->setData(int(i));
      On(item, &QAction::triggered, this, [this, item] { aGlyphNewExecute(item); });
    }
  }
}

void TfmMain::ConnectGrid(TStringGrid* grid) {
  grid->OnDrawCell = [this, grid](int col, int row, const QRect& rect, QPainter& canvas) {
    sgMyGlyphsDrawCell(grid, col, row, rect, canvas);
  };
  grid->OnSelectCell = [this, grid](int row) { sgMyGlyphsSelectCell(grid, row); };
  On(grid, &QWidget::customContextMenuRequested, this,
     [this, grid](const QPoint& pos) { PopupMenu1->popup(grid->viewport()->mapToGlobal(pos)); });
  if (grid == sgOpenDocs) return;
  grid->OnMouseDown = [this, grid](Qt::MouseButton button, const QPoint& pos) {
    sgMyGlyphsMouseDown(grid, button, pos);
  };
  grid->OnDblClick = [this] { sgMyGlyphsDblClick(); };
}

}  // namespace ui
