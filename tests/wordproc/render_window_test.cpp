#include <gtest/gtest.h>

#include <QAction>
#include <QMainWindow>
#include <QScreen>
#include <QScrollArea>
#include <functional>

#include "tests/wordproc/render_support.h"
#include "wordproc/DocumentHost.h"
#include "wordproc/DocumentWindow.h"
#include "wordproc/RenderText.h"

using namespace wordproc;
using namespace render_test;

namespace {

class FakeHost : public DocumentHost {
 public:
  FakeHost() : layout_(doc_, FontMeasurer()), editor_(doc_, layout_) {}
  const Document& document() const override { return doc_; }
  Layout& layout() override { return layout_; }
  Editor& editor() override { return editor_; }
  std::string title() const override { return title_; }
  std::vector<std::uint32_t> shapeSelection() const override { return selection_; }
  void setShapeSelection(const std::vector<std::uint32_t>& ids) override { selection_ = ids; }
  void userPrint() override { ++prints; }
  std::optional<std::string> userPrintToPdf(const FileQuestion&) override { return {}; }
  void userSave() override { ++saves; }
  void userSaveAs() override {}
  bool userClose() override {
    ++closes;
    if (onClose) onClose();
    return allowClose;
  }

  int prints = 0, saves = 0, closes = 0;
  bool allowClose = false;
  std::function<void()> onClose;
  std::string title_ = "Этикетка.docx";

 private:
  Document doc_;
  Layout layout_;
  Editor editor_;
  std::vector<std::uint32_t> selection_;
};

QMainWindow* VisibleWindow() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* main = qobject_cast<QMainWindow*>(widget);
    if (main && main->isVisible()) return main;
  }
  return nullptr;
}

class DocumentWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApplication();
    window_ = CreateDocumentWindow(&host_);
    main_ = VisibleWindow();
    ASSERT_NE(main_, nullptr);
  }

  void Trigger(const char* action) {
    auto* found = main_->findChild<QAction*>(action);
    ASSERT_NE(found, nullptr) << action;
    found->trigger();
  }

  FakeHost host_;
  std::unique_ptr<DocumentWindowBase> window_;
  QMainWindow* main_ = nullptr;
};

TEST_F(DocumentWindowTest, MenuCommandsReachTheHostAndZoomThePages) {
  EXPECT_EQ(main_->windowTitle(), QStringLiteral("Этикетка.docx"));
  host_.title_ = "Копия.docx";
  window_->refresh();
  EXPECT_EQ(main_->windowTitle(), QStringLiteral("Копия.docx"));
  Trigger("actionPrint");
  Trigger("actionSave");
  EXPECT_EQ(host_.prints, 1);
  EXPECT_EQ(host_.saves, 1);
  EXPECT_EQ(host_.closes, 0);

  QWidget* pages = main_->findChild<QScrollArea*>()->widget();
  int width = pages->width();
  Trigger("actionZoomIn");
  EXPECT_GT(pages->width(), width);
  Trigger("actionZoomOut");
  Trigger("actionZoomOut");
  EXPECT_LT(pages->width(), width);
}

TEST_F(DocumentWindowTest, ClosingAsksTheHostWhichMayRefuseOrDropTheWindow) {
  EXPECT_FALSE(main_->close());
  EXPECT_EQ(host_.closes, 1);
  EXPECT_TRUE(main_->isVisible());
  host_.allowClose = true;
  EXPECT_TRUE(main_->close());
  EXPECT_EQ(host_.closes, 2);
  EXPECT_FALSE(main_->isVisible());

  // Closing the document drops the window from inside the close event.
  main_->show();
  host_.onClose = [this] { window_.reset(); };
  Trigger("actionClose");
  EXPECT_EQ(host_.closes, 3);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(VisibleWindow(), nullptr);
}

// The points are the window's outer bounds: a window placed to fill an area must not overrun it
// by its frame.
TEST_F(DocumentWindowTest, GeometryInPointsIsTheOuterFrameAndStateRoundTrips) {
  window_->setGeometryPoints(72, 36, 540, 360);
  double l, t, w, h;
  window_->geometryPoints(l, t, w, h);
  EXPECT_NEAR(l, 72, 1);
  EXPECT_NEAR(t, 36, 1);
  EXPECT_NEAR(w, 540, 1);
  EXPECT_NEAR(h, 360, 1);
  const double pixelsPerPoint = 1 / wordproc::ScreenPointsPerPixel();
  const QRect outer = main_->frameGeometry();
  EXPECT_NEAR(outer.left(), 72 * pixelsPerPoint, 1);
  EXPECT_NEAR(outer.top(), 36 * pixelsPerPoint, 1);
  EXPECT_NEAR(outer.width(), 540 * pixelsPerPoint, 1);
  EXPECT_NEAR(outer.height(), 360 * pixelsPerPoint, 1);
  EXPECT_LT(main_->width(), outer.width()) << "the platform's frame has a width";
  for (int state : {1, 2, 0}) {
    window_->setWindowState(state);
    EXPECT_EQ(window_->windowState(), state);
  }
}

}  // namespace
