// The panel on an X display without a window manager, as in a kiosk: nobody activates it, and
// its first-activation work (filling the catalogue) still runs, once, when it is shown and idle.
#include <QApplication>
#include <QComboBox>

#include "DesktopSupport.h"
#include "XSession.h"

namespace desktop_test {
namespace {

class NoWindowManager : public DesktopTest {
 protected:
  std::string Prepare() override {
    if (QApplication::instance() && QGuiApplication::platformName() != "xcb")
      return "the application already runs without X here; run this test on its own";
    StopWindowManager();
    return StartXServer();
  }
};

TEST_F(NoWindowManager, FirstActivationWorkRunsOnceTheShownPanelIsIdle) {
  window = std::make_unique<ui::TfmMain>();
  ui::TfmMain& w = *window;
  w.show();
  ASSERT_TRUE(WaitUntil([&] { return w.sgMyGlyphs->Tag > 0; })) << "the catalogue stays empty";
  EXPECT_EQ(QGuiApplication::focusWindow(), nullptr) << "the panel was activated after all";
  EXPECT_EQ(w.cbGlyphCategory->currentText(), "Визитки");
  EXPECT_EQ(w.sgMyGlyphs->Tag, 2);

  // The user picks another category; an activation coming after all must not undo that.
  const int labels = w.cbGlyphCategory->findText("Этикетки");
  w.cbGlyphCategory->setCurrentIndex(labels);
  emit w.cbGlyphCategory->activated(labels);
  QEvent activation(QEvent::WindowActivate);
  QApplication::sendEvent(&w, &activation);
  ui_test::Settle();
  EXPECT_EQ(w.cbGlyphCategory->currentText(), "Этикетки");
  EXPECT_EQ(w.sgMyGlyphs->Tag, 1);
}

}  // namespace
}  // namespace desktop_test
