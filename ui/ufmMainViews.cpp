#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>

#include "app/uCommon.h"
#include "catalogue/uDrawing.h"
#include "platform/Guard.h"
#include "platform/Locale.h"
#include "platform/UserInteraction.h"
#include "ui/ufmMain.h"
#include "wordlink/OleContainer.h"

namespace ui {

namespace {

using catalogue::TBitmap;
using catalogue::TPreviewItem;

QColor ToQColor(catalogue::TColor c) {
  return QColor(catalogue::RedOf(c), catalogue::GreenOf(c), catalogue::BlueOf(c));
}

// The bitmap's rows run from the bottom in memory; each is read from the top here.
QImage ToImage(const TBitmap& bitmap) {
  QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_BGR888);
  for (int y = 0; y < bitmap.Height(); ++y)
    std::memcpy(image.scanLine(y), bitmap.ScanLine(y), std::size_t(bitmap.Width()) * 3);
  return image;
}

// A date-time value (days since 30 December 1899, the fraction being the time of day).
std::tm BrokenDown(double dateTime) {
  using namespace std::chrono;
  double whole = std::floor(dateTime);
  long seconds = std::lround((dateTime - whole) * 86400.0);
  if (seconds >= 86400) whole += 1, seconds -= 86400;
  const sys_days day = sys_days(year{1899} / December / 30) + days{long(whole)};
  const year_month_day ymd(day);
  std::tm t{};
  t.tm_year = int(ymd.year()) - 1900;
  t.tm_mon = int(unsigned(ymd.month())) - 1;
  t.tm_mday = int(unsigned(ymd.day()));
  t.tm_wday = int(weekday(day).c_encoding());
  t.tm_hour = int(seconds / 3600);
  t.tm_min = int(seconds / 60 % 60);
  t.tm_sec = int(seconds % 60);
  return t;
}

std::string FileNamePart(const std::string& path) {
  std::size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::vector<std::string> ItemsOf(const QComboBox* box) {
  std::vector<std::string> items;
  for (int i = 0; i < box->count(); ++i) items.push_back(box->itemText(i).toStdString());
  return items;
}

void ShowItems(QComboBox* box, const catalogue::TComboState& state) {
  QSignalBlocker quiet(box);
  box->clear();
  for (const std::string& item : state.Items) box->addItem(QString::fromStdString(item));
  box->setCurrentIndex(state.ItemIndex);
}

// The drop-down list is as wide as the widest item and shows up to 20 of them.
void FitDropDown(QComboBox* box) {
  int width = box->width();
  const QFontMetrics metrics(box->font());
  for (int i = 0; i < box->count(); ++i)
    width = std::max(width, metrics.horizontalAdvance(box->itemText(i)));
  int rows = box->count();
  if (rows > 20) rows = 20, width += 12;
  box->view()->setMinimumWidth(width + 8);
  box->setMaxVisibleItems(std::max(rows, 1));
}

// Text whose top-left corner is at the point, as the grids have always written it.
void TextOut(QPainter& canvas, int x, int y, const QString& text) {
  canvas.drawText(QPoint(x, y + canvas.fontMetrics().ascent()), text);
}

// No message box may open while Qt paints: the report follows at once.
void ReportAfterPainting(const std::string& text) {
  QTimer::singleShot(0, qApp, [text] { platform::ReportFailure(text); });
}

// VSP_QUIT_AFTER_THUMBNAILS is for timing the start-up (bench/bench_startup.sh): once a grid
// has painted a thumbnail, a line on stderr says so and the message loop ends.
void NoteThumbnailPainted() {
  static bool waiting = std::getenv("VSP_QUIT_AFTER_THUMBNAILS") != nullptr;
  if (!waiting) return;
  waiting = false;
  QTimer::singleShot(0, qApp, [] {
    std::fputs("stampora: thumbnails painted\n", stderr);
    std::fflush(stderr);
    QApplication::quit();
  });
}

// The list of the entry renders without letting other handlers run, and reports after the
// painting: this happens while Qt paints.
class QuietRendering {
 public:
  explicit QuietRendering(catalogue::TPreviewList* list) : list_(list) {
    if (!list_) return;
    std::swap(saved_, list_->ProcessMessages);
    savedReport_ = std::exchange(list_->Report, ReportAfterPainting);
  }
  ~QuietRendering() {
    if (!list_) return;
    std::swap(saved_, list_->ProcessMessages);
    list_->Report = std::move(savedReport_);
  }

 private:
  catalogue::TPreviewList* list_;
  std::function<void()> saved_;
  std::function<void(const std::string&)> savedReport_;
};

}  // namespace

TfmMain::TCatalogueBoxes& TfmMain::BoxesOf(QComboBox* box) {
  return box == sheets_.category || box == sheets_.filter ? sheets_ : glyphs_;
}

catalogue::TCatalogue& TfmMain::Catalogue() {
  if (!catalogue_) {
    catalogue_ = std::make_unique<catalogue::TCatalogue>(app::DataFolder, app::PreviewList);
    catalogue_->OnLoading = [this](catalogue::TCatalogueTab& tab) {
      QLabel* info = tab.Kind == catalogue::kSheetKind ? laSheetInfo : laGlyphInfo;
      info->setToolTip({});
      info->setText(catalogue::kLoadingText);
      QApplication::processEvents();
    };
    catalogue_->ProcessMessages = [] { QApplication::processEvents(); };
  }
  return *catalogue_;
}

// The list is made here rather than inside the first fill so that a damaged cache file, which
// is reported, still leaves the fill to go on with what could be read.
void TfmMain::EnsurePreviewList() {
  if (app::PreviewList) return;
  std::unique_ptr<wordlink::OleContainer> container;
  try {
    container = wordlink::CreateOleContainer();
  } catch (const std::exception&) {
    // The list makes one when the first thumbnail is drawn.
  }
  app::PreviewList =
      std::make_unique<catalogue::TPreviewList>(app::DataFolder, std::move(container));
  app::PreviewList->ProcessMessages = [] { QApplication::processEvents(); };
  app::PreviewList->LoadCacheOrReport();
}

void TfmMain::ReadBoxes(TCatalogueBoxes& boxes) {
  boxes.state.Category.Items = ItemsOf(boxes.category);
  boxes.state.Category.ItemIndex = boxes.category->currentIndex();
  boxes.state.Filter.Items = ItemsOf(boxes.filter);
  boxes.state.Filter.ItemIndex = boxes.filter->currentIndex();
}

void TfmMain::ShowCatalogue(TCatalogueBoxes& boxes) {
  ShowItems(boxes.category, boxes.state.Category);
  ShowItems(boxes.filter, boxes.state.Filter);
  FitDropDown(boxes.category);
  FitDropDown(boxes.filter);
  ShowRows(boxes);
}

void TfmMain::ShowRows(TCatalogueBoxes& boxes) {
  TStringGrid* grid = boxes.grid;
  const std::vector<catalogue::TPreviewItemPtr>& rows = boxes.state.Rows;
  grid->Clear();
  FillingGrid = true;
  grid->SetRowCount(int(rows.size()));
  grid->Tag = int(rows.size());
  for (int row = 0; row < int(rows.size()); ++row) {
    const catalogue::TPreviewItemPtr& entry = rows[std::size_t(row)];
    grid->SetObject(row, entry);
    grid->SetRowHeight(
        row, catalogue::FillRowHeight(entry->Thumbnail.get(), aViewThumbnails->isChecked()));
  }
  FillingGrid = false;
  UpdateGridState(grid);
}

void TfmMain::RunCatalogue(QComboBox* box,
                           const std::function<void(catalogue::TCatalogueTab&)>& work) {
  TCatalogueBoxes& boxes = BoxesOf(box);
  ReadBoxes(boxes);
  EnsurePreviewList();
  ++catalogueDepth_;
  try {
    work(boxes.state);
  } catch (...) {
    --catalogueDepth_;
    ShowCatalogue(boxes);
    throw;
  }
  --catalogueDepth_;
  ShowCatalogue(boxes);
  if (catalogueDepth_ == 0 && aViewThumbnails->isChecked()) PrepareThumbnails(boxes);
}

// Converting a document costs far more than drawing it, and the grid draws while Qt paints,
// where no message may run: documents that need converting get their thumbnails here, one
// after the other with the count in the info line, while the window goes on answering. Rows
// that change meanwhile stop the pass, which then starts over on the rows shown.
void TfmMain::PrepareThumbnails(TCatalogueBoxes& boxes) {
  preparationWanted_ = &boxes;
  if (preparing_ || !app::AppController) return;
  preparing_ = true;
  try {
    while (preparationWanted_ && !closing_)
      PrepareThumbnailsOnce(*std::exchange(preparationWanted_, nullptr));
  } catch (...) {
    preparing_ = false;
    throw;
  }
  preparing_ = false;
}

void TfmMain::PrepareThumbnailsOnce(TCatalogueBoxes& boxes) {
  const auto waiting = catalogue::AwaitingConversion(boxes.state.Rows);
  if (waiting.empty()) return;
  // Painting leaves these to the pass: converted inside a paint, each would hold the window.
  for (const auto& entry : waiting) awaiting_.insert(entry.get());
  struct Progress {
    TfmMain& window;
    ~Progress() {
      window.awaiting_.clear();
      window.EndProgress();
    }
  };
  BeginProgress(catalogue::PreparingText(0, int(waiting.size())), int(waiting.size()));
  Progress end{*this};
  catalogue::PrepareThumbnails(waiting, *app::AppController, [&](int done, int total) {
    if (done > 0) {
      SetProgressText(catalogue::PreparingText(done, total));
      StepProgress();
      boxes.grid->viewport()->update();
    }
    QApplication::processEvents();
    return !preparationWanted_ && !closing_;
  });
  UpdateRowHeights();
}

void TfmMain::FillCategoryBox(QComboBox* box) {
  RunCatalogue(box, [this](catalogue::TCatalogueTab& tab) { Catalogue().FillCategoryBox(tab); });
}

void TfmMain::FillFilterBox(QComboBox* box) {
  RunCatalogue(box, [this](catalogue::TCatalogueTab& tab) { Catalogue().FillFilterBox(tab); });
}

void TfmMain::FillGrid(QComboBox* box) {
  RunCatalogue(box, [this](catalogue::TCatalogueTab& tab) { Catalogue().FillGrid(tab); });
}

void TfmMain::cbGlyphCategoryChange(QComboBox* box) {
  const std::string caption = windowTitle().toStdString();
  RunCatalogue(box, [this, &caption](catalogue::TCatalogueTab& tab) {
    Catalogue().cbGlyphCategoryChange(tab, caption);
  });
}

void TfmMain::cbGlyphFilterChange(QComboBox* box) {
  FillGrid(box);
}

TStringGrid* TfmMain::ActiveGrid() const {
  QWidget* page = PageControl->currentWidget();
  if (page == tsMyGlyphs) return sgMyGlyphs;
  if (page == tsMySheets) return sgMySheets;
  if (page == tsOpenDocs) return sgOpenDocs;
  return nullptr;
}

TPreviewItem* TfmMain::EntryAtRow(int row, TStringGrid* grid) {
  if (!grid) grid = ActiveGrid();
  if (!grid || grid->isHidden()) return nullptr;
  if (row == -1) {
    row = grid->Row();
  } else {
    const bool filling = FillingGrid;
    FillingGrid = true;
    grid->SetRow(row);
    FillingGrid = filling;
  }
  return row >= 0 ? grid->Object(row).get() : nullptr;
}

void TfmMain::UpdateGridState(TStringGrid* grid) {
  const bool visible = grid->Tag > 0;
  grid->setVisible(visible);
  QWidget* page = grid == sgMyGlyphs ? tsMyGlyphs : grid == sgMySheets ? tsMySheets : tsOpenDocs;
  if (visible && PageControl->currentWidget() == page) grid->setFocus();
  if (grid == sgOpenDocs) {
    for (QAction* command : {aEndEdit, aSave, aSaveAs}) command->setEnabled(visible);
  } else {
    const bool glyphs = grid == sgMyGlyphs;
    (glyphs ? aEditGlyph : aEditSheet)->setEnabled(visible);
    (glyphs ? aGlyphOpen : aSheetOpen)->setEnabled(visible);
    for (QAction* command : {aEndEdit, aSave, aSaveAs}) command->setEnabled(false);
  }
  sgMyGlyphsSelectCell(grid, grid->Row());
}

void TfmMain::UpdateRowHeights() {
  const bool thumbnails = aViewThumbnails->isChecked();
  for (TStringGrid* grid : {sgMyGlyphs, sgMySheets, sgOpenDocs}) {
    for (int row = 0; row < grid->Tag; ++row) {
      const catalogue::TPreviewItemPtr& entry = grid->Object(row);
      grid->SetRowHeight(row, catalogue::ViewSwitchRowHeight(
                                  entry ? entry->Thumbnail.get() : nullptr, thumbnails));
    }
    grid->viewport()->update();
  }
}

void TfmMain::sgMyGlyphsSelectCell(TStringGrid* grid, int row) {
  if (FillingGrid) return;
  QLabel* info = InfoLineOf(grid);
  info->setToolTip({});
  info->setText({});
  TPreviewItem* entry = EntryAtRow(row, grid);
  int kind = 3;
  if (entry) {
    kind = entry->Kind;
    const std::tm date = BrokenDown(entry->FileDate);
    info->setText(QString::fromStdString(FileNamePart(entry->Path) + ", создан " +
                                         platform::FormatDateTime(app::ShortDateFormat, date) +
                                         ", " +
                                         platform::FormatDateTime(app::LongTimeFormat, date)));
  }
  bool templates = false;
  if (kind == catalogue::kGlyphKind) {
    cloning::LoadCloneTemplates(app::DataFolder, entry->CategoryOf());
    templates = FillPaperSizes();
    edNumberToPrintChange();
  }
  EnableCommands(grid, kind, templates);
  if (grid == sgOpenDocs) RefreshOpenDocs(row);
}

void TfmMain::EnableCommands(TStringGrid* grid, int kind, bool templates) {
  const bool glyph = kind == catalogue::kGlyphKind;
  const bool document = glyph || kind == catalogue::kSheetKind;
  aPrint->setEnabled(document);
  aQuickPrint->setEnabled(document && templates);
  aEditGlyph->setEnabled(glyph);
  aGlyphSendToGroup->setEnabled(glyph);
  aGlyphClone->setEnabled(glyph && templates);
  edNumberToPrint->setEnabled(glyph && templates);
  udNumberToPrint->setEnabled(glyph && templates);
  edStartPosition->setEnabled(glyph && templates);
  cbPaperSize->setEnabled(glyph);
  aEditSheet->setEnabled(kind == catalogue::kSheetKind);
  btExtractGlyph->setEnabled(kind == catalogue::kSheetKind);
  aEndEdit->setEnabled(document && grid == sgOpenDocs);
}

void TfmMain::sgMyGlyphsMouseDown(TStringGrid* grid, Qt::MouseButton button, const QPoint& pos) {
  if (button != Qt::RightButton) return;
  const int row = grid->RowAt(pos.y());
  if (row >= 0) grid->SetRow(row);
}

void TfmMain::sgMyGlyphsDblClick() {
  if (TPreviewItem* entry = EntryAtRow(-1)) EditItem(*entry);
}

void TfmMain::sgMyGlyphsDrawCell(TStringGrid* grid, int col, int row, const QRect& rect,
                                 QPainter& canvas) {
  try {
    if (aViewList->isChecked())
      DrawListCell(grid, col, row, rect, canvas);
    else
      DrawThumbnailCell(grid, col, row, rect, canvas);
  } catch (const std::exception& e) {
    // Each repaint would fail the same way: the user hears of it once.
    if (drawFailures_.insert(e.what()).second) ReportAfterPainting(e.what());
  }
}

namespace {

QColor RowColor(const TStringGrid* grid, const TPreviewItem* entry) {
  if (!entry) return grid->palette().color(QPalette::Base);
  return ToQColor(entry->Kind == catalogue::kSheetKind ? catalogue::kSheetRowColor
                                                       : catalogue::kGlyphRowColor);
}

}  // namespace

void TfmMain::DrawListCell(TStringGrid* grid, int col, int row, const QRect& rect,
                           QPainter& canvas) {
  const TPreviewItem* entry = grid->Object(row).get();
  const bool selected = row == grid->Row();
  const QPalette& colors = grid->palette();
  canvas.fillRect(rect, selected ? colors.color(QPalette::Highlight) : RowColor(grid, entry));
  canvas.setPen(selected ? colors.color(QPalette::HighlightedText) : QColor(Qt::black));
  canvas.setClipRect(rect);
  if (col == 0)
    TextOut(canvas, rect.left() + 2, rect.top() + 2, QString::number(row + 1));
  else if (entry)
    TextOut(canvas, rect.left() + 2, rect.top() + 2, QString::fromStdString(entry->Path));
}

void TfmMain::DrawThumbnailCell(TStringGrid* grid, int col, int row, const QRect& rect,
                                QPainter& canvas) {
  TPreviewItem* entry = grid->Object(row).get();
  if (col == 0) {
    canvas.fillRect(rect, RowColor(grid, entry));
    canvas.setPen(grid->palette().color(QPalette::Text));
    canvas.setClipRect(rect);
    TextOut(canvas, rect.left() + 2, rect.top() + 2, QString::number(row + 1));
    return;
  }
  if (col != 1) return;
  if (entry && !entry->Thumbnail && app::AppController && !awaiting_.count(entry)) {
    QuietRendering quiet(entry->Owner);
    if (catalogue::RenderThumbnail(*entry, *app::AppController) && app::PreviewList)
      app::PreviewList->Modified = true;
  }
  DrawThumbnail(grid, row, entry, rect, canvas);
}

void TfmMain::DrawThumbnail(TStringGrid* grid, int row, TPreviewItem* entry, const QRect& rect,
                            QPainter& canvas) {
  // The cell is composed on a bitmap of its own, where the shadow can blur what lies under it.
  TBitmap cell(rect.width(), rect.height());
  const catalogue::TRect local{0, 0, rect.width(), rect.height()};
  const QColor background = RowColor(grid, entry);
  if (row == grid->Row())
    catalogue::DrawSelectedCell(cell, local, catalogue::LinearGradientFill);
  else
    cell.FillRect(local,
                  catalogue::RGBColor(background.red(), background.green(), background.blue()));
  const std::shared_ptr<TBitmap> thumb = entry ? entry->Thumbnail : nullptr;
  if (!thumb || thumb->Width() == 0) {
    canvas.drawImage(rect.topLeft(), ToImage(cell));
    return;
  }
  const QString name = QString::fromStdString(FileNamePart(entry->Path));
  const catalogue::TThumbnailCell layout = catalogue::LayoutThumbnailCell(
      local, thumb->Width(), thumb->Height(), canvas.fontMetrics().horizontalAdvance(name));
  grid->SetRowHeight(row, layout.RowHeight);
  catalogue::DrawDropShadow(cell, layout.Picture);
  canvas.drawImage(rect.topLeft(), ToImage(cell));
  canvas.translate(rect.topLeft());
  const catalogue::TRect& p = layout.Picture;
  const QRect picture(p.Left, p.Top, p.Right - p.Left, p.Bottom - p.Top);
  canvas.setRenderHint(QPainter::SmoothPixmapTransform);
  if (layout.Unscaled)
    canvas.drawImage(picture.topLeft(), ToImage(*thumb));
  else
    canvas.drawImage(picture, ToImage(*thumb));
  canvas.setPen(QPen(Qt::black, 1));
  canvas.setBrush(Qt::NoBrush);
  canvas.drawRect(picture.adjusted(0, 0, -1, -1));
  canvas.setPen(ToQColor(catalogue::kNameShadowColor));
  TextOut(canvas, layout.NameLeft + 2, layout.NameTop + 2, name);
  TextOut(canvas, layout.NameLeft + 1, layout.NameTop + 1, name);
  canvas.setPen(Qt::black);
  TextOut(canvas, layout.NameLeft, layout.NameTop, name);
  NoteThumbnailPainted();
}

}  // namespace ui
