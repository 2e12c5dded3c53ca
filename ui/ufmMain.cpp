#include "ui/ufmMain.h"

#include <dirent.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTimer>

#include "app/uCommon.h"
#include "app/uStartup.h"
#include "platform/UserInteraction.h"
#include "ui/ModalDialogs.h"
#include "ui/PanelStyle.h"
#include "ui/QtInteraction.h"
#include "ui/WindowFrame.h"
#include "ui/ufmAbout.h"

namespace ui {

namespace {

// The user's manual, in the program's shared folder.
constexpr const char* kManual = "manual/index.html";

QtInteraction* QtUI() {
  return dynamic_cast<QtInteraction*>(&platform::UI());
}

// The system matches "vsp*.*" without regard to letter case.
bool IsOurTempName(const char* name) {
  return strncasecmp(name, "vsp", 3) == 0;
}

}  // namespace

TfmMain::TfmMain(QWidget* parent) : QMainWindow(parent), frame_(new FramePlacement(this)) {
  sheets_.state.Kind = catalogue::kSheetKind;
  untitled_ = std::make_unique<catalogue::TPreviewList>(std::string());
  CreateControls();
  CreateCommands();
  CreateMenus();
  if (QtInteraction* qt = QtUI()) {
    qt->setProgressView({[this](const std::string& text, int max) { BeginProgress(text, max); },
                         [this] { StepProgress(); }, [this] { EndProgress(); }});
  }
  FormCreate();
}

TfmMain::~TfmMain() {
  if (QtInteraction* qt = QtUI()) qt->setProgressView({});
  FormDestroy();
}

void TfmMain::Guard(const std::function<void()>& command) {
  platform::Guarded(command);
}

void TfmMain::FormCreate() {
  firstActivation_ = true;
  FillingGrid = false;
  setWindowTitle(app::AppTitle);
  for (TStringGrid* grid : {sgMyGlyphs, sgMySheets, sgOpenDocs}) grid->Tag = 0;
  SetGridColor(sgMyGlyphs, QColor(166, 202, 240));
  SetGridColor(sgMySheets, QColor(192, 220, 192));
  LoadPaperSize();
  CreateGlyphTypeMenus();
  PlaceAtWorkArea();
  SetActivePage(tsMyGlyphs);
}

void TfmMain::PlaceAtWorkArea() {
  QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  const QMargins decoration = FrameMargins(*this);
  frame_->Place(QRect(area.left(), area.top(), kPanelWidth + decoration.left() + decoration.right(),
                      area.height()));
}

void TfmMain::SetActivePage(QWidget* page) {
  // Only the user's switching of tabs runs PageControlChange.
  QSignalBlocker quiet(PageControl);
  PageControl->setCurrentWidget(page);
}

// The word processor's windows live in this process, so coming back from them, as from any other
// program, shows as the panel's activation rather than the application's.
bool TfmMain::event(QEvent* event) {
  const bool handled = QMainWindow::event(event);
  if (event->type() == QEvent::WindowActivate) {
    Guard([this] { ApplicationEvents1Activate(); });
    Guard([this] { FormActivate(); });
  }
  return handled;
}

void TfmMain::FormActivate() {
  if (!firstActivation_) return;
  firstActivation_ = false;
  FillCategoryBox(cbGlyphCategory);
  FillCategoryBox(cbSheetCategory);
  for (int i = 0; i < cbGlyphCategory->count(); ++i) {
    if (cbGlyphCategory->itemText(i) == "Визитки") {
      cbGlyphCategory->setCurrentIndex(i);
      FillFilterBox(cbGlyphCategory);
      return;
    }
  }
}

void TfmMain::PageControlChange() {
  QWidget* page = PageControl->currentWidget();
  if (page == tsMyGlyphs)
    FillCategoryBox(cbGlyphCategory);
  else if (page == tsMySheets)
    FillCategoryBox(cbSheetCategory);
  else
    UpdateGridState(sgOpenDocs);
}

void TfmMain::ApplicationEvents1Activate() {
  if (!sgOpenDocs->isHidden()) RefreshOpenDocs(-1);
  // A fill lets messages run once; an activation then must not start a second fill inside it.
  if (!app::DocumentsSaved || catalogueDepth_ > 0) return;
  QWidget* page = PageControl->currentWidget();
  if (page == tsMyGlyphs)
    FillGrid(cbGlyphCategory);
  else if (page == tsMySheets)
    FillGrid(cbSheetCategory);
}

void TfmMain::closeEvent(QCloseEvent* event) {
  bool allowed = false;
  Guard([&] { allowed = FormCloseQuery(); });
  if (!allowed) {
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

void TfmMain::FormClose() {
  closing_ = true;
  if (app::PreviewList && app::PreviewList->Modified) app::PreviewList->SaveCacheOrReport();
  try {
    SavePaperSize();
  } catch (const std::exception&) {
    // Without a writable settings key the program still closes, only without the setting.
  }
  DeleteTempFiles();
}

void TfmMain::FormDestroy() {
  app::PreviewList.reset();
}

void TfmMain::aExitExecute() {
  close();
}

void TfmMain::aViewThumbnailsExecute() {
  UpdateRowHeights();
  QWidget* page = PageControl->currentWidget();
  if (page == tsMyGlyphs || page == tsMySheets)
    PrepareThumbnails(page == tsMyGlyphs ? glyphs_ : sheets_);
}

void TfmMain::aViewListExecute() {
  UpdateRowHeights();
}

void TfmMain::aHelpExecute() {
  ShellOpen(app::ShippedFile(kManual, app::AppFolder));
}

void TfmMain::aHelpGoToSiteExecute() {
  ShellOpen(kSiteAddress);
}

void TfmMain::aHelpAboutExecute() {
  TfmAbout about(this);
  ExecModal(about, QDialog::Accepted);
}

void TfmMain::LoadPaperSize() {
  std::string stored;
  try {
    stored = app::ReadSetting("PaperSize");
  } catch (const std::exception&) {
    // A value of another type than text counts as not stored.
  }
  std::vector<std::string> items;
  for (int i = 0; i < cbPaperSize->count(); ++i)
    items.push_back(cbPaperSize->itemText(i).toStdString());
  QSignalBlocker quiet(cbPaperSize);
  cbPaperSize->setCurrentIndex(app::SelectComboText(items, stored));
}

void TfmMain::SavePaperSize() {
  app::WriteSetting("PaperSize", cbPaperSize->currentText().toStdString());
}

void TfmMain::DeleteTempFiles() {
  std::string folder;
  try {
    folder = app::GetTempFolder();
  } catch (const std::exception&) {
    return;
  }
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  std::vector<std::string> names;
  while (const dirent* e = readdir(dir))
    if (IsOurTempName(e->d_name) && e->d_type != DT_DIR) names.emplace_back(e->d_name);
  closedir(dir);
  for (const std::string& name : names) unlink((folder + name).c_str());
}

QLabel* TfmMain::InfoLineOf(const TStringGrid* grid) const {
  if (grid == sgMyGlyphs) return laGlyphInfo;
  if (grid == sgMySheets) return laSheetInfo;
  return laDocInfo;
}

void TfmMain::BeginProgress(const std::string& text, int max) {
  if (!progress_.empty()) {
    progress_.back().max = pbar->maximum();
    progress_.back().value = pbar->value();
  }
  QLabel* label = InfoLineOf(ActiveGrid());
  progress_.push_back({label, label->text()});
  label->setText(QString::fromStdString(text));
  pbar->setRange(0, std::max(max, 0));
  pbar->setValue(0);
  PlaceProgressBar();
  pbar->show();
  pbar->raise();
  // The run keeps the message loop waiting; the bar is painted at once.
  label->repaint();
  pbar->repaint();
}

void TfmMain::StepProgress() {
  pbar->setValue(std::min(pbar->value() + 1, pbar->maximum()));
  pbar->repaint();
}

void TfmMain::SetProgressText(const std::string& text) {
  if (progress_.empty()) return;
  progress_.back().label->setText(QString::fromStdString(text));
  progress_.back().label->repaint();
}

void TfmMain::EndProgress() {
  if (progress_.empty()) return;
  const TProgress ended = progress_.back();
  progress_.pop_back();
  ended.label->setText(ended.savedText);
  if (progress_.empty()) {
    pbar->hide();
    return;
  }
  pbar->setRange(0, progress_.back().max);
  pbar->setValue(progress_.back().value);
  PlaceProgressBar();
}

void TfmMain::PlaceProgressBar() {
  QLabel* info = progress_.empty() ? InfoLineOf(ActiveGrid()) : progress_.back().label;
  const QPoint at = info->mapTo(this, QPoint(0, 0));
  pbar->setGeometry(6, at.y() - 24, width() - 2 * 10, 22);
}

// Without a window manager, or in a kiosk, the window is never activated; its first-activation
// work then runs as soon as the shown window is idle.
void TfmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shownOnce_) return;
  shownOnce_ = true;
  QTimer::singleShot(0, this, [this] { Guard([this] { FormActivate(); }); });
}

void TfmMain::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (!pbar->isHidden()) PlaceProgressBar();
}

}  // namespace ui
