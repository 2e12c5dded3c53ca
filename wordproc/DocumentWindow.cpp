#include "wordproc/DocumentWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <functional>

#include "wordproc/DocumentHost.h"
#include "wordproc/Render.h"

namespace wordproc {

namespace {

constexpr int kGap = 16;  // pixels around and between pages
constexpr int kShadow = 4;
constexpr double kZoomStep = 1.25;
constexpr double kMinZoom = 0.1;
constexpr double kMaxZoom = 8.0;

double LogicalDpi(const QWidget* widget) {
  const QScreen* screen = widget->screen();
  double dpi = screen ? screen->logicalDotsPerInch() : 96;
  return dpi > 0 ? dpi : 96;
}

class PageView : public QWidget {
 public:
  PageView(DocumentHost* host, std::function<void(double)> zoomBy)
      : host_(host), zoomBy_(std::move(zoomBy)) {}

  double zoom() const { return zoom_; }
  void setZoom(double zoom) {
    zoom_ = std::clamp(zoom, kMinZoom, kMaxZoom);
    relayout();
  }
  // The zoom at which a page fills the given width, gaps included.
  double zoomToFit(int width) const {
    double pagePixels = host_->document().pageSetup.pageWidth * LogicalDpi(this) / 72.0;
    return pagePixels > 0 ? (width - 2 * kGap) / pagePixels : zoom_;
  }
  void relayout() {
    if (host_) resize(contentSize());
    update();
  }
  void detach() { host_ = nullptr; }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter painter(this);
    painter.fillRect(event->rect(), QColor(0x80, 0x80, 0x80));
    if (!host_) return;
    QSize page = pageSize();
    int pitch = page.height() + kGap;
    int count = host_->layout().pageCount();
    int first = std::max(1, (event->rect().top() - kGap) / pitch + 1);
    int last = std::min(count, event->rect().bottom() / pitch + 1);
    for (int n = first; n <= last; ++n)
      paintPage(painter, n, QRect(pageLeft(), kGap + (n - 1) * pitch, page.width(), page.height()));
  }

  void wheelEvent(QWheelEvent* event) override {
    if (!(event->modifiers() & Qt::ControlModifier) || event->angleDelta().y() == 0)
      return event->ignore();
    zoomBy_(event->angleDelta().y() > 0 ? kZoomStep : 1 / kZoomStep);
    event->accept();
  }

 private:
  QSize pageSize() const {
    const PageSetup& setup = host_->document().pageSetup;
    double scale = zoom_ * LogicalDpi(this) / 72.0;
    return QSize(std::max(1, int(std::lround(setup.pageWidth * scale))),
                 std::max(1, int(std::lround(setup.pageHeight * scale))));
  }

  int pageLeft() const { return std::max(kGap, (width() - pageSize().width()) / 2); }

  QSize contentSize() const {
    QSize page = pageSize();
    int count = std::max(1, host_->layout().pageCount());
    return QSize(page.width() + 2 * kGap, count * (page.height() + kGap) + kGap);
  }

  void paintPage(QPainter& painter, int page, const QRect& rect) {
    painter.fillRect(rect.translated(kShadow, kShadow), QColor(0x40, 0x40, 0x40));
    PaintPage(painter, host_->document(), host_->layout(), page, rect);
  }

  DocumentHost* host_;
  std::function<void(double)> zoomBy_;
  double zoom_ = 1.0;
};

class DocumentMainWindow : public QMainWindow {
 public:
  explicit DocumentMainWindow(DocumentHost* host) : host_(host) {
    view_ = new PageView(host, [this](double factor) { zoomBy(factor); });
    scroll_ = new QScrollArea;
    scroll_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    scroll_->setBackgroundRole(QPalette::Dark);
    scroll_->setWidget(view_);
    setCentralWidget(scroll_);
    status_ = new QLabel;
    statusBar()->addWidget(status_);
    buildMenus();
    resizeToScreen();
    refresh();
  }

  // The host let the window go; the window may be inside one of the host's calls right now.
  void detachFromHost() {
    host_ = nullptr;
    view_->detach();
    hide();
    if (busy_ > 0)
      deleteLater();
    else
      delete this;
  }

  void refresh() {
    if (!host_) return;
    setWindowTitle(QString::fromStdString(host_->title()));
    view_->relayout();
    showStatus();
  }

 protected:
  void closeEvent(QCloseEvent* event) override {
    bool close = true;
    callHost([&](DocumentHost& host) { close = host.userClose(); }, &close);
    close ? event->accept() : event->ignore();
  }

 private:
  // Calls into the host may destroy the window (closing the document) or fail with a message.
  template <typename Call>
  void callHost(Call call, bool* clearedOnError = nullptr) {
    if (!host_) return;
    ++busy_;
    try {
      call(*host_);
    } catch (const std::exception& e) {
      if (clearedOnError) *clearedOnError = false;
      QMessageBox::warning(this, windowTitle(), QString::fromUtf8(e.what()));
    }
    --busy_;
  }

  QAction* addAction(QMenu* menu, const char* name, const QString& text, const QKeySequence& keys,
                     std::function<void()> slot) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(keys);
    connect(action, &QAction::triggered, this, std::move(slot));
    return action;
  }

  void buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&Файл"));
    addAction(file, "actionSave", QStringLiteral("&Сохранить"), QKeySequence::Save,
              [this] { callHost([](DocumentHost& host) { host.userSave(); }); });
    addAction(file, "actionPrint", QStringLiteral("&Печать…"), QKeySequence::Print,
              [this] { callHost([](DocumentHost& host) { host.userPrint(); }); });
    file->addSeparator();
    addAction(file, "actionClose", QStringLiteral("&Закрыть"), QKeySequence::Close,
              [this] { close(); });
    QMenu* view = menuBar()->addMenu(QStringLiteral("&Вид"));
    addAction(view, "actionZoomIn", QStringLiteral("&Увеличить"), QKeySequence::ZoomIn,
              [this] { zoomBy(kZoomStep); });
    addAction(view, "actionZoomOut", QStringLiteral("&Уменьшить"), QKeySequence::ZoomOut,
              [this] { zoomBy(1 / kZoomStep); });
    addAction(view, "actionFitWidth", QStringLiteral("По &ширине страницы"),
              QKeySequence(Qt::CTRL | Qt::Key_2), [this] { fitWidth(); });
    addAction(view, "actionActualSize", QStringLiteral("&Масштаб 100%"),
              QKeySequence(Qt::CTRL | Qt::Key_0), [this] { setZoom(1.0); });
  }

  void resizeToScreen() {
    const QScreen* screen = this->screen();
    QSize area = screen ? screen->availableGeometry().size() : QSize(1024, 768);
    resize(area.width() * 2 / 3, area.height() * 4 / 5);
  }

  void zoomBy(double factor) { setZoom(view_->zoom() * factor); }
  void fitWidth() { setZoom(view_->zoomToFit(scroll_->viewport()->width())); }

  void setZoom(double zoom) {
    if (!host_) return;
    view_->setZoom(zoom);
    showStatus();
  }

  void showStatus() {
    if (!host_) return;
    status_->setText(QStringLiteral("Страниц: %1    Масштаб: %2%")
                         .arg(host_->layout().pageCount())
                         .arg(std::lround(view_->zoom() * 100)));
  }

  DocumentHost* host_;
  QScrollArea* scroll_;
  PageView* view_;
  QLabel* status_;
  int busy_ = 0;  // depth of calls into the host under way
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
    double f = LogicalDpi(window_) / 72.0;
    window_->move(int(std::lround(l * f)), int(std::lround(t * f)));
    window_->resize(std::max(1, int(std::lround(w * f))), std::max(1, int(std::lround(h * f))));
  }

  void geometryPoints(double& l, double& t, double& w, double& h) const override {
    l = t = w = h = 0;
    if (!window_) return;
    double f = LogicalDpi(window_) / 72.0;
    l = window_->x() / f;
    t = window_->y() / f;
    w = window_->width() / f;
    h = window_->height() / f;
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

std::unique_ptr<DocumentWindowBase> CreateDocumentWindow(DocumentHost* host) {
  return std::make_unique<DocumentWindow>(host);
}

}  // namespace wordproc
