#include "wordproc/DocumentWindow.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDockWidget>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QMainWindow>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QTextEdit>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "platform/UserInteraction.h"
#include "wordproc/Connect.h"
#include "wordproc/DocumentHost.h"
#include "wordproc/EditCanvas.h"
#include "wordproc/EditDialogs.h"
#include "wordproc/EditFormatBar.h"
#include "wordproc/EditPanel.h"
#include "wordproc/EditSession.h"
#include "wordproc/FieldDialogs.h"
#include "wordproc/PictureFile.h"
#include "wordproc/core/Fields.h"
#include "wordproc/core/ShapeOps.h"
#include "wordproc/core/Units.h"

namespace wordproc {

namespace {

constexpr double kZoomStep = 1.25;
constexpr float kMillimetre = float(kPointsPerMillimetre);

// A preset the insert menu offers, the size a click gives it, and the group it is listed in.
struct PresetItem {
  const char* preset;
  const char* caption;
  int widthMm, heightMm;
  const char* group;
};

constexpr PresetItem kPresetItems[] = {
    {"star5", "Звезда: 5 лучей", 30, 30, "stars"},
    {"star6", "Звезда: 6 лучей", 30, 30, "stars"},
    {"star24", "Звезда: 24 луча", 30, 30, "stars"},
    {"rightArrow", "Стрелка вправо", 30, 20, "arrows"},
    {"leftArrow", "Стрелка влево", 30, 20, "arrows"},
    {"upArrow", "Стрелка вверх", 20, 30, "arrows"},
    {"downArrow", "Стрелка вниз", 20, 30, "arrows"},
    {"leftRightArrow", "Двойная стрелка влево-вправо", 40, 20, "arrows"},
    {"curvedRightArrow", "Изогнутая стрелка вправо", 20, 30, "arrows"},
    {"ribbon2", "Лента лицом вверх", 50, 20, "ribbons"},
    {"ribbon", "Лента лицом вниз", 50, 20, "ribbons"},
    {"wave", "Волна", 40, 20, "ribbons"},
    {"doubleWave", "Двойная волна", 40, 20, "ribbons"},
    {"wedgeRectCallout", "Выноска: прямоугольник", 40, 25, "callouts"},
    {"wedgeRoundRectCallout", "Выноска: скруглённый прямоугольник", 40, 25, "callouts"},
    {"wedgeEllipseCallout", "Выноска: овал", 40, 25, "callouts"},
    {"cloudCallout", "Выноска: облако", 40, 25, "callouts"},
    {"plaque", "Табличка", 40, 25, "labels"},
    {"octagon", "Восьмиугольник", 30, 30, "labels"},
    {"hexagon", "Шестиугольник", 35, 30, "labels"},
    {"flowChartPunchedTape", "Перфолента", 40, 25, "labels"},
    {"heart", "Сердце", 30, 30, "labels"},
    {"sun", "Солнце", 30, 30, "labels"},
};

class DocumentMainWindow : public QMainWindow {
 public:
  explicit DocumentMainWindow(DocumentHost* host)
      : host_(host), session_(std::make_unique<EditSession>(host)) {
    canvas_ = new EditCanvas(*session_);
    scroll_ = new QScrollArea;
    scroll_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    scroll_->setBackgroundRole(QPalette::Dark);
    scroll_->setWidget(canvas_);
    setCentralWidget(scroll_);
    panel_ = new EditPanel(*session_);
    // The panel scrolls rather than keep the window from being made as small as automation asks.
    auto* panelScroll = new QScrollArea;
    panelScroll->setWidgetResizable(true);
    panelScroll->setWidget(panel_);
    dock_ = new QDockWidget(QStringLiteral("Свойства"), this);
    dock_->setObjectName(QStringLiteral("propertiesDock"));
    dock_->setWidget(panelScroll);
    addDockWidget(Qt::RightDockWidgetArea, dock_);
    formatBar_ = new EditFormatBar(*session_, *canvas_, this);
    addToolBar(formatBar_);
    status_ = new QLabel;
    statusBar()->addWidget(status_);
    connectSession();
    buildMenus();
    resizeToScreen();
    refresh();
  }

  // The child widgets hold on to the session and go only after this destructor; the session
  // outlives them, detached, and nothing they do on their way reaches this half-gone window.
  ~DocumentMainWindow() override {
    canvas_->cancelText();
    canvas_->disconnect(this);
    session_->disconnect(this);
    session_->detach();
    session_.release()->deleteLater();
  }

  // The host let the window go; the window may be inside one of the host's calls right now.
  void detachFromHost() {
    host_ = nullptr;
    canvas_->cancelText();
    session_->detach();
    hide();
    if (busy_ > 0)
      deleteLater();
    else
      delete this;
  }

  void refresh() {
    if (!host_) return;
    session_->forgetHistoryIfChangedElsewhere();
    setWindowTitle(QString::fromStdString(host_->title()));
    canvas_->relayout();
    showSelection();
  }

  // Places the outer frame, title bar included. The window manager decorates the window after
  // it is shown, so the frame is placed again when its decoration changes, and only then: a
  // window the user moved stays where the user put it.
  void placeFrame(const QRect& frame) {
    wantedFrame_ = frame;
    applyFrame();
  }

 protected:
  bool event(QEvent* event) override {
    const bool handled = QMainWindow::event(event);
    const QEvent::Type type = event->type();
    if ((type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show) && wantedFrame_ &&
        isVisible() && windowState() == Qt::WindowNoState && decoration() != appliedDecoration_)
      applyFrame();
    return handled;
  }

  void closeEvent(QCloseEvent* event) override {
    canvas_->commitText();
    bool close = true;
    callHost([&](DocumentHost& host) { close = host.userClose(); }, &close);
    close ? event->accept() : event->ignore();
  }

 private:
  void connectSession() {
    session_->beforeCommand = [this] { canvas_->commitText(); };
    on(session_.get(), &EditSession::changed, this, [this] { refresh(); });
    on(session_.get(), &EditSession::selectionChanged, this, [this] { showSelection(); });
    on(canvas_, &EditCanvas::textEditingChanged, this, [this] { showSelection(); });
    on(canvas_, &EditCanvas::fieldDoubleClicked, this, [this] { editField(); });
    on(canvas_, &EditCanvas::textFormatChanged, formatBar_, &EditFormatBar::refresh);
    on(canvas_, &EditCanvas::zoomChanged, this, [this] { showStatus(); });
    on(&session_->undoStack(), &QUndoStack::canUndoChanged, this, [this] { showUndo(); });
    on(&session_->undoStack(), &QUndoStack::canRedoChanged, this, [this] { showUndo(); });
  }

  // Calls into the host may destroy the window (closing the document) or fail with a message.
  template <typename Call>
  void callHost(Call call, bool* clearedOnError = nullptr) {
    if (!host_) return;
    ++busy_;
    try {
      call(*host_);
    } catch (const std::exception& e) {
      if (clearedOnError) *clearedOnError = false;
      complain(e.what());
    }
    --busy_;
  }

  void complain(const std::string& message) {
    platform::UI().messageBox(message, windowTitle().toStdString(), platform::MsgIcon::Warning,
                              platform::MsgButtons::Ok);
  }

  QAction* addAction(QMenu* menu, const char* name, const QString& text, const QKeySequence& keys,
                     std::function<void()> slot) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(keys);
    on(action, &QAction::triggered, this, std::move(slot));
    return action;
  }

  void buildMenus() {
    buildFileMenu();
    buildEditMenu();
    buildInsertMenu();
    buildShapeMenu();
    buildViewMenu();
  }

  void buildFileMenu() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&Файл"));
    addAction(file, "actionSave", QStringLiteral("&Сохранить"), QKeySequence::Save,
              [this] { hostCommand([](DocumentHost& host) { host.userSave(); }); });
    addAction(file, "actionSaveAs", QStringLiteral("Сохранить &как…"), QKeySequence::SaveAs,
              [this] { hostCommand([](DocumentHost& host) { host.userSaveAs(); }); });
    file->addSeparator();
    addAction(file, "actionPageSetup", QStringLiteral("Пара&метры страницы…"), {},
              [this] { pageSetup(); });
    addAction(file, "actionPrint", QStringLiteral("&Печать…"), QKeySequence::Print,
              [this] { hostCommand([](DocumentHost& host) { host.userPrint(); }); });
    addAction(file, "actionPrintToPdf", QStringLiteral("Печать в P&DF…"), {},
              [this] { printToPdf(); });
    file->addSeparator();
    addAction(file, "actionClose", QStringLiteral("&Закрыть"), QKeySequence::Close,
              [this] { close(); });
  }

  void buildEditMenu() {
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Правка"));
    undo_ = addAction(edit, "actionUndo", QStringLiteral("&Отменить"), QKeySequence::Undo,
                      [this] { textOr(&QTextEdit::undo, [this] { session_->undo(); }); });
    redo_ = addAction(edit, "actionRedo", QStringLiteral("&Повторить"), QKeySequence::Redo,
                      [this] { textOr(&QTextEdit::redo, [this] { session_->redo(); }); });
    edit->addSeparator();
    addAction(edit, "actionCut", QStringLiteral("&Вырезать"), QKeySequence::Cut,
              [this] { textOr(&QTextEdit::cut, [this] { session_->cut(); }); });
    addAction(edit, "actionCopy", QStringLiteral("&Копировать"), QKeySequence::Copy,
              [this] { textOr(&QTextEdit::copy, [this] { session_->copy(); }); });
    addAction(edit, "actionPaste", QStringLiteral("Вст&авить"), QKeySequence::Paste,
              [this] { textOr(&QTextEdit::paste, [this] { paste(); }); });
    addAction(edit, "actionDelete", QStringLiteral("&Удалить"), QKeySequence::Delete,
              [this] { deleteSelection(); });
    addAction(edit, "actionSelectAll", QStringLiteral("Выделить &все фигуры"),
              QKeySequence::SelectAll,
              [this] { textOr(&QTextEdit::selectAll, [this] { selectAll(); }); });
  }

  void buildInsertMenu() {
    QMenu* insert = menuBar()->addMenu(QStringLiteral("&Вставка"));
    auto tool = [this](ShapeKind kind, AutoShapeType type) {
      return [this, kind, type] {
        canvas_->setTool(InsertTool{kind, type, nullptr, 0, 0, {}, {}});
      };
    };
    addAction(insert, "actionInsertTextBox", QStringLiteral("&Надпись"), {},
              tool(ShapeKind::TextBox, AutoShapeType::Rectangle));
    addAction(insert, "actionInsertRectangle", QStringLiteral("&Прямоугольник"), {},
              tool(ShapeKind::AutoShape, AutoShapeType::Rectangle));
    addAction(insert, "actionInsertRoundedRectangle", QStringLiteral("&Скруглённый прямоугольник"),
              {}, tool(ShapeKind::AutoShape, AutoShapeType::RoundedRectangle));
    addAction(insert, "actionInsertOval", QStringLiteral("&Овал"), {},
              tool(ShapeKind::AutoShape, AutoShapeType::Oval));
    addAction(insert, "actionInsertLine", QStringLiteral("&Линия"), {},
              tool(ShapeKind::Line, AutoShapeType::Rectangle));
    addAction(insert, "actionInsertTextCircle", QStringLiteral("&Текст по кругу"), {}, [this] {
      canvas_->setTool(
          InsertTool{ShapeKind::AutoShape, AutoShapeType::Oval, nullptr, 0, 0, "textCircle", {}});
    });
    buildPresetMenu(insert->addMenu(QStringLiteral("&Фигуры")));
    addAction(insert, "actionInsertPicture", QStringLiteral("&Рисунок из файла…"), {},
              [this] { insertPicture(); });
    insert->addSeparator();
    addAction(insert, "actionInsertField", QStringLiteral("&Поле…"), {},
              [this] { insertField(false); });
    addAction(insert, "actionInsertBarcode", QStringLiteral("&Штрихкод…"), {},
              [this] { insertField(true); });
  }

  // The presets come in groups split by separators; each action is named after its preset
  // ("actionInsertShape_star5").
  void buildPresetMenu(QMenu* menu) {
    menu->setObjectName(QStringLiteral("menuInsertShapes"));
    const char* group = nullptr;
    for (const PresetItem& item : kPresetItems) {
      if (group && std::strcmp(group, item.group) != 0) menu->addSeparator();
      group = item.group;
      const std::string name = std::string("actionInsertShape_") + item.preset;
      const InsertTool tool{ShapeKind::AutoShape,
                            AutoShapeType::Rectangle,
                            nullptr,
                            float(item.widthMm) * kMillimetre,
                            float(item.heightMm) * kMillimetre,
                            {},
                            item.preset};
      addAction(menu, name.c_str(), QString::fromUtf8(item.caption), {},
                [this, tool] { canvas_->setTool(tool); });
    }
  }

  void buildShapeMenu() {
    QMenu* shape = menuBar()->addMenu(QStringLiteral("Ф&игура"));
    addAction(shape, "actionEditText", QStringLiteral("Изменить &текст"), Qt::Key_F2,
              [this] { editText(); });
    addAction(shape, "actionEditField", QStringLiteral("Изменить &поле…"), {},
              [this] { editField(); });
    shape->addSeparator();
    addAction(shape, "actionGroup", QStringLiteral("&Сгруппировать"), Qt::CTRL | Qt::Key_G,
              [this] { session_->group(); });
    addAction(shape, "actionUngroup", QStringLiteral("&Разгруппировать"),
              Qt::CTRL | Qt::SHIFT | Qt::Key_G, [this] { session_->ungroup(); });
    shape->addSeparator();
    addAction(shape, "actionBringForward", QStringLiteral("Переместить &вперёд"),
              Qt::CTRL | Qt::Key_BracketRight, [this] { session_->bringForward(); });
    addAction(shape, "actionSendBackward", QStringLiteral("Переместить &назад"),
              Qt::CTRL | Qt::Key_BracketLeft, [this] { session_->sendBackward(); });
  }

  void buildViewMenu() {
    QMenu* view = menuBar()->addMenu(QStringLiteral("В&ид"));
    addAction(view, "actionZoomIn", QStringLiteral("&Увеличить"), QKeySequence::ZoomIn,
              [this] { zoomBy(kZoomStep); });
    addAction(view, "actionZoomOut", QStringLiteral("&Уменьшить"), QKeySequence::ZoomOut,
              [this] { zoomBy(1 / kZoomStep); });
    addAction(view, "actionFitWidth", QStringLiteral("По &ширине страницы"),
              QKeySequence(Qt::CTRL | Qt::Key_2), [this] { fitWidth(); });
    addAction(view, "actionActualSize", QStringLiteral("&Масштаб 100%"),
              QKeySequence(Qt::CTRL | Qt::Key_0), [this] { setZoom(1.0); });
    view->addSeparator();
    QAction* snap = addAction(view, "actionSnapToGrid", QStringLiteral("&Привязка к сетке"), {},
                              [this] { canvas_->setSnapToGrid(!canvas_->snapToGrid()); });
    snap->setCheckable(true);
    snap->setChecked(canvas_->snapToGrid());
    buildGridMenu(view->addMenu(QStringLiteral("Ш&аг сетки")));
    view->addSeparator();
    view->addAction(dock_->toggleViewAction());
    view->addAction(formatBar_->toggleViewAction());
  }

  void buildGridMenu(QMenu* menu) {
    auto* steps = new QActionGroup(this);
    for (double mm : {0.5, 1.0, 2.0, 5.0}) {
      QAction* step = menu->addAction(QStringLiteral("%1 мм").arg(QLocale().toString(mm)));
      step->setObjectName(QStringLiteral("actionGrid%1").arg(int(mm * 10)));
      step->setCheckable(true);
      step->setChecked(mm == 1.0);
      steps->addAction(step);
      on(step, &QAction::triggered, this,
         [this, mm] { canvas_->setGridStep(float(mm) * kMillimetre); });
    }
  }

  // What was typed goes into the document before the host saves, prints or closes it.
  template <typename Call>
  void hostCommand(Call call) {
    canvas_->commitText();
    callHost(call);
  }

  // Clipboard and undo commands work on the text while it is being edited.
  void textOr(void (QTextEdit::*textCommand)(), const std::function<void()>& shapeCommand) {
    if (QTextEdit* text = canvas_->textEditor()) return (text->*textCommand)();
    if (host_) shapeCommand();
  }

  void deleteSelection() {
    if (QTextEdit* text = canvas_->textEditor()) return text->textCursor().deleteChar();
    if (host_) session_->deleteSelection();
  }

  void selectAll() {
    std::vector<std::uint32_t> ids;
    for (const AnchoredShape& anchored : host_->document().shapes)
      ids.push_back(anchored.shape->id);
    session_->select(ids);
  }

  void paste() {
    if (!session_->paste(canvas_->currentPage()))
      statusBar()->showMessage(QStringLiteral("В буфере обмена нет фигур"), 3000);
  }

  void editText() {
    if (!host_) return;
    const auto ids = session_->selection();
    if (ids.size() == 1 && canvas_->beginTextEdit(ids.front())) return;
    canvas_->beginBodyEdit(canvas_->currentPage());
  }

  void insertPicture() {
    if (!host_) return;
    auto file = AskPictureFile(this, host_->title());
    if (!file) return;
    try {
      InsertTool tool{ShapeKind::Picture, AutoShapeType::Rectangle, nullptr, 0, 0, {}, {}};
      tool.image = LoadPicture(*file, tool.width, tool.height);
      canvas_->setTool(tool);
    } catch (const std::exception& e) {
      complain(e.what());
    }
  }

  // The text box fields go in and are changed in: the one selected shape that holds text.
  std::optional<std::uint32_t> textShape() {
    const auto ids = session_->selection();
    const Shape* shape = ids.size() == 1 ? session_->shape(ids.front()) : nullptr;
    if (shape && (shape->kind == ShapeKind::TextBox || shape->kind == ShapeKind::AutoShape))
      return ids.front();
    complain("Выделите одну надпись или фигуру с текстом: поле вставляется в её текст.");
    return std::nullopt;
  }

  std::optional<std::string> askField(bool barcode, const std::string& current) {
    return barcode ? AskBarcode(this, host_->title(), current)
                   : AskField(this, host_->title(), current);
  }

  // While text is typed, at the cursor; else at the end of the selected text box's text.
  void insertField(bool barcode) {
    if (!host_) return;
    if (canvas_->textEditor()) {
      if (const auto instruction = askField(barcode, {})) {
        auto [code, result] = NewField(*instruction);
        canvas_->putFieldAtCursor(std::move(code), result, false);
      }
      return;
    }
    const auto id = textShape();
    if (!id) return;
    const auto instruction = askField(barcode, {});
    if (!instruction) return;
    session_->change(ShapeEdit::Text, {*id}, [&](Shape& s) { AppendField(s, *instruction); });
  }

  static bool IsBarcode(const std::string& instruction) {
    return ParseFieldInstruction(instruction).name.find("BARCODE") != std::string::npos;
  }

  // The field at the cursor of the text being typed, else the selected shape's first field, in
  // the dialog of its kind.
  void editField() {
    if (!host_) return;
    if (const auto current = canvas_->fieldAtCursor()) {
      if (const auto instruction = askField(IsBarcode(*current), *current)) {
        auto [code, result] = NewField(*instruction);
        canvas_->putFieldAtCursor(std::move(code), result, true);
      }
      return;
    }
    canvas_->commitText();
    const auto id = textShape();
    if (!id) return;
    const auto current = FirstFieldInstruction(*session_->shape(*id));
    if (!current) return complain("В тексте этой фигуры нет полей.");
    const auto instruction = askField(IsBarcode(*current), *current);
    if (!instruction) return;
    session_->change(ShapeEdit::Text, {*id}, [&](Shape& s) { ChangeFirstField(s, *instruction); });
  }

  void pageSetup() {
    if (!host_) return;
    canvas_->commitText();
    // The dialog shows and changes the set-up of the section the current page belongs to.
    const int page = canvas_->currentPage();
    if (auto setup = AskPageSetup(this, host_->title(), session_->pageSetupOfPage(page)))
      session_->setPageSetup(page, *setup);
  }

  void printToPdf() {
    if (!host_) return;
    canvas_->commitText();
    const std::string title = host_->title();
    const std::string name = std::filesystem::path(title).stem().string() + ".pdf";
    std::optional<std::string> written;
    callHost([&](DocumentHost& host) {
      written = host.userPrintToPdf([&] { return AskPdfFile(this, title, name); });
    });
    if (written && host_)
      statusBar()->showMessage(
          QStringLiteral("PDF-файл записан: %1").arg(QString::fromStdString(*written)), 5000);
  }

  void resizeToScreen() {
    const QScreen* screen = this->screen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    QRect frame(0, 0, area.width() * 2 / 3, area.height() * 4 / 5);
    frame.moveCenter(area.center());
    placeFrame(frame);
  }

  QMargins decoration() const {
    const QRect outer = frameGeometry();
    const QRect inner = geometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                    outer.right() - inner.right(), outer.bottom() - inner.bottom());
  }

  void applyFrame() {
    appliedDecoration_ = decoration();
    // move() places the frame; resize() sizes what lies inside it.
    move(wantedFrame_->topLeft());
    resize(wantedFrame_->size().shrunkBy(appliedDecoration_).expandedTo(QSize(1, 1)));
  }

  void zoomBy(double factor) { setZoom(canvas_->zoom() * factor); }
  void fitWidth() { setZoom(canvas_->zoomToFit(scroll_->viewport()->width())); }

  void setZoom(double zoom) {
    if (!host_) return;
    canvas_->setZoom(zoom);
  }

  void showSelection() {
    if (!host_) return;
    canvas_->update();
    panel_->refresh();
    formatBar_->refresh();
    showStatus();
    showUndo();
  }

  void showUndo() {
    if (!host_) return;
    const bool editing = canvas_->textEditor() != nullptr;
    undo_->setEnabled(editing || session_->undoStack().canUndo());
    redo_->setEnabled(editing || session_->undoStack().canRedo());
  }

  void showStatus() {
    if (!host_) return;
    status_->setText(QStringLiteral("Страниц: %1    Масштаб: %2%    Выделено фигур: %3")
                         .arg(host_->layout().pageCount())
                         .arg(std::lround(canvas_->zoom() * 100))
                         .arg(session_->selection().size()));
  }

  DocumentHost* host_;
  std::unique_ptr<EditSession> session_;
  QScrollArea* scroll_;
  EditCanvas* canvas_;
  EditPanel* panel_;
  QDockWidget* dock_;
  EditFormatBar* formatBar_;
  QLabel* status_;
  QAction* undo_ = nullptr;
  QAction* redo_ = nullptr;
  int busy_ = 0;  // depth of calls into the host under way
  std::optional<QRect> wantedFrame_;
  QMargins appliedDecoration_;
};

class DocumentWindow final : public DocumentWindowBase {
 public:
  explicit DocumentWindow(DocumentHost* host) : window_(new DocumentMainWindow(host)) {
    window_->show();
  }
  ~DocumentWindow() override {
    if (window_) window_->detachFromHost();
  }

  void refresh() override {
    if (window_) window_->refresh();
  }

  void setGeometryPoints(double l, double t, double w, double h) override {
    if (!window_) return;
    const double f = 1 / ScreenPointsPerPixel();
    window_->placeFrame(QRect(int(std::lround(l * f)), int(std::lround(t * f)),
                              int(std::lround(w * f)), int(std::lround(h * f))));
  }

  void geometryPoints(double& l, double& t, double& w, double& h) const override {
    l = t = w = h = 0;
    if (!window_) return;
    const double f = ScreenPointsPerPixel();
    const QRect outer = window_->frameGeometry();
    l = outer.x() * f;
    t = outer.y() * f;
    w = outer.width() * f;
    h = outer.height() * f;
  }

  void setWindowState(int state) override {
    if (!window_) return;
    Qt::WindowStates states = window_->windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized);
    if (state == 1) states |= Qt::WindowMaximized;
    if (state == 2) states |= Qt::WindowMinimized;
    window_->setWindowState(states);
  }

  int windowState() const override {
    if (!window_) return 0;
    if (window_->isMinimized()) return 2;
    return window_->isMaximized() ? 1 : 0;
  }

  void activate() override {
    if (!window_) return;
    window_->show();
    window_->raise();
    window_->activateWindow();
  }

 private:
  QPointer<DocumentMainWindow> window_;
};

}  // namespace

double ScreenPointsPerPixel() {
  const QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                              ? QGuiApplication::primaryScreen()
                              : nullptr;
  const double dpi = screen ? screen->logicalDotsPerInch() : 96;
  return 72 / (dpi > 0 ? dpi : 96);
}

std::unique_ptr<DocumentWindowBase> CreateDocumentWindow(DocumentHost* host) {
  return std::make_unique<DocumentWindow>(host);
}

}  // namespace wordproc
