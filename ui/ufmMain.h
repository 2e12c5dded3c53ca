// The program's side panel: the catalogue tabs of glyphs, sheets and the documents opened in the
// word processor, the group of cloning and printing controls, the main menu and the commands.
// The handlers carry the names the rest of the program knows them by; the window is split over
// ufmMain*.cpp by concern (frame, layout, catalogue views, editing, printing).
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "catalogue/uCatalogueViews.h"
#include "clone/uClone.h"
#include "ui/StringGrid.h"

class QAction;
class QActionGroup;
class QComboBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QToolBar;
class QToolButton;
class QVBoxLayout;

namespace ui {

class FramePlacement;
struct TCommandRow;
class TDistributePrintBox;

class TfmMain : public QMainWindow, public cloning::CloneHost {
  Q_OBJECT
 public:
  explicit TfmMain(QWidget* parent = nullptr);
  ~TfmMain() override;

  static constexpr int kPanelWidth = 324;
  static constexpr int kMinHeight = 350;

  QTabWidget* PageControl;
  QWidget *tsMyGlyphs, *tsMySheets, *tsOpenDocs;
  QToolBar *tbMyGlyphs, *tbMySheets, *tbOpenDocs;
  QToolButton *tbNewGlyph, *tbOpenGlyph, *tbOpenSheet, *tbNewSheetTemplate, *tbSave;
  QLabel *laGlyphCategory, *laGlyphFilter, *laSheetCategory, *laSheetFilter;
  QComboBox *cbGlyphCategory, *cbGlyphFilter, *cbSheetCategory, *cbSheetFilter;
  TStringGrid *sgMyGlyphs, *sgMySheets, *sgOpenDocs;
  QLabel *laGlyphInfo, *laSheetInfo, *laDocInfo;
  QPushButton *btEditGlyph, *btEditSheet, *btExtractGlyph, *btEndEdit;
  QGroupBox* pDistributePrint;
  QLabel *la1, *la2, *la3, *lbPages, *laStartPosition;
  QLineEdit* edNumberToPrint;
  TUpDown* udNumberToPrint;
  QComboBox* cbPaperSize;
  QSpinBox* edStartPosition;
  QPushButton *btGlyphClone, *btQuickPrint, *btPrint;
  QProgressBar* pbar;
  QFileDialog* od;
  // 0 new glyph, 1 open, 2 save, 3 help contents, 4 web site.
  std::vector<QIcon> il;

  QAction *aGlyphNew, *aGlyphOpen, *aSheetOpen, *aSave, *aSaveAs, *aExit;
  QAction *aEditGlyph, *aEditSheet, *aEndEdit, *aExtractGlyph;
  QAction *aViewThumbnails, *aViewList, *aHelp, *aHelpGoToSite, *aHelpAbout;
  QAction *aGlyphClone, *aQuickPrint, *aPrint, *aGlyphSendToGroup;
  QAction *aSheetTemplateNew, *aPrinterCalibration;
  QMenu *menuNewGlyph, *mnuNewGlyph, *PopupMenu1;
  // The View menu's own items for the two view commands: at start the item of "Эскизы" is
  // checked while the command itself is not.
  QAction *miViewThumbnails, *miViewList;
  QAction *ckOnWordTile, *ckOnWordMinimize;

  // The group print wizard, placed beside the panel when it is shown.
  QPointer<QWidget> GroupPrintWizard;

  bool FillingGrid = false;

  // The frame.
  void FormCreate();
  void FormActivate();
  bool FormCloseQuery();
  void FormClose();
  void FormDestroy();
  void PageControlChange();
  void ApplicationEvents1Activate();
  void aExitExecute();
  void aViewThumbnailsExecute();
  void aViewListExecute();
  void aHelpExecute();
  void aHelpGoToSiteExecute();
  void aHelpAboutExecute();
  void LoadPaperSize();
  void SavePaperSize();
  void DeleteTempFiles();
  void BeginProgress(const std::string& text, int max) override;
  void StepProgress() override;
  void EndProgress() override;
  void PlaceAtWorkArea();

  // The catalogue views.
  void FillCategoryBox(QComboBox* box);
  void FillFilterBox(QComboBox* box);
  void FillGrid(QComboBox* box);
  void cbGlyphCategoryChange(QComboBox* box);
  void cbGlyphFilterChange(QComboBox* box);
  void sgMyGlyphsDrawCell(TStringGrid* grid, int col, int row, const QRect& rect, QPainter& canvas);
  void sgMyGlyphsSelectCell(TStringGrid* grid, int row);
  void sgMyGlyphsMouseDown(TStringGrid* grid, Qt::MouseButton button, const QPoint& pos);
  void sgMyGlyphsDblClick();
  void UpdateGridState(TStringGrid* grid);
  void UpdateRowHeights();
  TStringGrid* ActiveGrid() const;
  catalogue::TPreviewItem* EntryAtRow(int row, TStringGrid* grid = nullptr);

  // Editing.
  wordlink::TExtAppDocument* EditItem(catalogue::TPreviewItem& entry) override;
  void ArrangeWordWindow(wordlink::TExtAppDocument* doc);
  void RefreshOpenDocs(int row);
  void aEditGlyphExecute();
  void aEditSheetExecute();
  void aGlyphOpenExecute();
  void aSheetOpenExecute();
  void aSaveExecute();
  void aSaveAsExecute();
  void aEndEditExecute();

  // Cloning and printing.
  void edNumberToPrintChange();
  void aGlyphCloneExecute();
  void aQuickPrintExecute();
  void aPrintExecute();
  void aSheetTemplateNewExecute();
  void aPrinterCalibrationExecute();
  // Lists the category's templates again and chooses the paper size, when a glyph of that
  // category is selected.
  void ShowNewTemplate(const std::string& category, const std::string& paper);

  // New and extracted glyphs and the group print wizard.
  void aGlyphNewExecute(QObject* sender);
  void aExtractGlyphExecute();
  void aGlyphSendToGroupExecute();

  // The host a cloning run works in.
  wordlink::TExtAppController& Controller() override;
  std::string DataFolder() override;
  catalogue::TPreviewList& PreviewList() override;
  void ProcessMessages() override;

  // Runs a command; a failure that reaches it is shown with its text and the program goes on.
  static void Guard(const std::function<void()>& command);

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  struct TCatalogueBoxes {
    QComboBox* category = nullptr;
    QComboBox* filter = nullptr;
    TStringGrid* grid = nullptr;
    QLabel* info = nullptr;
    catalogue::TCatalogueTab state{catalogue::kGlyphKind};
  };

  void CreateControls();
  void CreatePageControl(QWidget* parent);
  QWidget* CreateCatalogueTab(const char* name, TCatalogueBoxes& boxes, const char* categoryText,
                              const QStringList& filterItems);
  void AddGlyphTools(QWidget* page, QVBoxLayout* column);
  void AddSheetTools(QWidget* page, QVBoxLayout* column);
  QWidget* CreateOpenDocsTab();
  void CreateDistributePrint(QWidget* parent);
  void CreateHiddenParts();
  void CreateCommands();
  void BindControls();
  void CreateMenus();
  void CreateViewMenu(QMenu* view);
  void CreateGlyphTypeMenus();
  void CreateCommand(const TCommandRow& row);
  QAction* MirrorItem(QAction* command, const QString& caption, bool followChecked);
  void BindButton(QPushButton* button, QAction* command);
  void ConnectGrid(TStringGrid* grid);

  void SetActivePage(QWidget* page);
  QLabel* InfoLineOf(const TStringGrid* grid) const;
  TCatalogueBoxes& BoxesOf(QComboBox* box);
  catalogue::TCatalogue& Catalogue();
  void EnsurePreviewList();
  void ReadBoxes(TCatalogueBoxes& boxes);
  void ShowCatalogue(TCatalogueBoxes& boxes);
  void ShowRows(TCatalogueBoxes& boxes);
  void RunCatalogue(QComboBox* box, const std::function<void(catalogue::TCatalogueTab&)>& work);
  void DrawListCell(TStringGrid* grid, int col, int row, const QRect& rect, QPainter& canvas);
  void DrawThumbnailCell(TStringGrid* grid, int col, int row, const QRect& rect, QPainter& canvas);
  void DrawThumbnail(TStringGrid* grid, int row, catalogue::TPreviewItem* entry, const QRect& rect,
                     QPainter& canvas);
  void EnableCommands(TStringGrid* grid, int kind, bool templates);
  bool FillPaperSizes();

  void AppendOpenDoc(const catalogue::TPreviewItemPtr& copy);
  void RemoveOpenDoc(int row);
  void ShowTabOfKind(int kind);
  void OpenWithDialog(const char* title, const char* root);
  void SaveSelected(bool withDialog);
  void PrintSelected(bool quick);
  void PlaceProgressBar();
  void SetProgressText(const std::string& text);
  void PrepareThumbnails(TCatalogueBoxes& boxes);
  void PrepareThumbnailsOnce(TCatalogueBoxes& boxes);

  bool firstActivation_ = true;
  bool shownOnce_ = false;
  FramePlacement* frame_;
  int catalogueDepth_ = 0;              // fills under way
  std::set<std::string> drawFailures_;  // reported once each
  TCatalogueBoxes glyphs_, sheets_;
  std::unique_ptr<catalogue::TCatalogue> catalogue_;
  // Documents made from a template carry only the word processor's name for them until they
  // are saved; entries owned by a list without a data folder answer that name as FullPath.
  std::unique_ptr<catalogue::TPreviewList> untitled_;
  cloning::TPaperSizeCombo paperSizes_;
  TDistributePrintBox* printBox_ = nullptr;
  // Progress shown in an info line; a run started inside another (while messages are handled)
  // covers it and gives it back when it ends.
  struct TProgress {
    QLabel* label;
    QString savedText;
    int max = 0, value = 0;
  };
  std::vector<TProgress> progress_;
  // The pass that makes thumbnails of converted documents, and the tab to prepare after it when
  // the rows changed while it ran.
  bool preparing_ = false;
  TCatalogueBoxes* preparationWanted_ = nullptr;
  std::set<const catalogue::TPreviewItem*> awaiting_;
  bool closing_ = false;
  QActionGroup* viewCommands_;
  QActionGroup* viewItems_;
  QActionGroup* windowOptions_;
};

// Tells the user that the document could not be printed and why; nothing for an empty failure.
void ReportPrintFailure(const wordlink::TExtAppDocument& doc, const std::string& failure);
// Tells the user that no printer was found and the pages went to the PDF file instead, and
// opens the file when asked to.
void OfferPrintedPdf(const std::string& pdfPath);

}  // namespace ui
