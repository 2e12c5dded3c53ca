// The panel, the word processor's window beside it and the group print wizard under a real
// window manager (openbox on Xvfb, with a strip at the top of the screen reserved): their
// frames, title bars included, stay inside the work area; and the standard dialogs keep the
// captions the program gives them and speak Russian.
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "DesktopSupport.h"
#include "XSession.h"
#include "ui/WindowFrame.h"
#include "ui/ufmGroupPrintWizard.h"

namespace desktop_test {
namespace {

class WindowManager : public DesktopTest {
 protected:
  std::string Prepare() override {
    if (QApplication::instance() && QGuiApplication::platformName() != "xcb")
      return "the application already runs without X here; run this test on its own";
    return StartWindowManager();
  }

  QRect WorkArea() const { return window->screen()->availableGeometry(); }

  // Waits until the window manager has decorated the window and the window's frame is the
  // wanted one, given the decoration; fails saying where the frame ended up.
  void ExpectFrame(QWidget& top, const std::function<QRect(const QMargins&)>& wanted) {
    const bool placed = WaitUntil([&] {
      const QMargins decoration = ui::FrameMargins(top);
      return decoration.top() > 0 && top.frameGeometry() == wanted(decoration);
    });
    EXPECT_TRUE(placed) << top.objectName().toStdString() << ": frame "
                        << Describe(top.frameGeometry()) << ", wanted "
                        << Describe(wanted(ui::FrameMargins(top))) << ", title bar "
                        << ui::FrameMargins(top).top();
  }

  // The frame around a client area `width` wide, at `left` and as tall as the work area.
  std::function<QRect(const QMargins&)> FullHeight(int left, int width) {
    return [=, this](const QMargins& decoration) {
      const QRect area = WorkArea();
      return QRect(left, area.top(), width + decoration.left() + decoration.right(), area.height());
    };
  }
};

TEST_F(WindowManager, PanelFrameFillsTheWorkAreaAtItsLeftEdge) {
  ui::TfmMain& w = Open();
  ASSERT_TRUE(WaitUntil([&] { return WorkArea() == AnnouncedWorkArea(); }))
      << "Qt's work area " << Describe(WorkArea()) << " is not the window manager's";
  const QRect area = WorkArea();
  ASSERT_NE(area, w.screen()->geometry()) << "the reserved strip makes them differ";
  ExpectFrame(w, FullHeight(area.left(), ui::TfmMain::kPanelWidth));
  EXPECT_EQ(w.width(), ui::TfmMain::kPanelWidth);
  for (QPushButton* button : {w.btGlyphClone, w.btQuickPrint, w.btPrint}) {
    const QRect onScreen(button->mapToGlobal(QPoint(0, 0)), button->size());
    EXPECT_TRUE(area.contains(onScreen))
        << button->text().toStdString() << " at " << Describe(onScreen);
  }
}

TEST_F(WindowManager, WordProcessorWindowTakesTheRestOfTheWorkArea) {
  ui::TfmMain& w = Open();
  ASSERT_TRUE(WaitUntil([&] { return ui::FrameMargins(w).top() > 0; }));
  SelectFile(w.sgMyGlyphs, "a.doc");
  w.aEditGlyph->trigger();
  QWidget* word = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (word = WordWindow()) != nullptr; }));
  const QRect area = WorkArea();
  const QRect panel = w.frameGeometry();
  ExpectFrame(*word, [&](const QMargins&) {
    return QRect(panel.right() + 1, area.top(), area.right() - panel.right(), area.height());
  });
  ExpectFrame(w, FullHeight(area.left(), ui::TfmMain::kPanelWidth));
}

TEST_F(WindowManager, WizardStandsBesideThePanelAsTallAsIt) {
  ui::TfmMain& w = Open();
  ui::TfmGroupPrintWizard wizard(w);
  w.GroupPrintWizard = &wizard;
  ASSERT_TRUE(WaitUntil([&] { return ui::FrameMargins(w).top() > 0; }));
  SelectFile(w.sgMyGlyphs, "a.doc");
  w.aGlyphSendToGroup->trigger();
  ASSERT_TRUE(wizard.isVisible());
  ExpectFrame(wizard, FullHeight(w.frameGeometry().right() + 1, ui::TfmGroupPrintWizard::kWidth));
  EXPECT_EQ(wizard.frameGeometry().height(), w.frameGeometry().height());
  wizard.close();
}

TEST_F(WindowManager, StandardDialogsKeepTheirCaptionsAndSpeakRussian) {
  ui::TfmMain& w = Open();
  std::string shownTitle, panelTitle;
  answers.push_back([&](QDialog& dialog) {
    ASSERT_TRUE(WaitUntil([&] { return !WindowSystemTitle(dialog.winId()).empty(); }));
    shownTitle = WindowSystemTitle(dialog.winId());
    auto& files = dynamic_cast<QFileDialog&>(dialog);
    const auto* lookIn = files.findChild<QLabel*>("lookInLabel");
    ASSERT_NE(lookIn, nullptr);
    EXPECT_EQ(lookIn->text(), "Перейти к:");
    const auto* buttons = files.findChild<QDialogButtonBox*>("buttonBox");
    ASSERT_NE(buttons, nullptr);
    EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text(), "Отмена");
    dialog.reject();
  });
  w.aGlyphOpen->trigger();
  EXPECT_EQ(shownTitle, "Выберите оттиск") << "Qt adds nothing to the program's caption";
  panelTitle = WindowSystemTitle(w.winId());
  EXPECT_EQ(panelTitle, "Varnel Stampora");

  answers.push_back([&](QDialog& dialog) {
    ASSERT_TRUE(WaitUntil([&] { return !WindowSystemTitle(dialog.winId()).empty(); }));
    shownTitle = WindowSystemTitle(dialog.winId());
    const auto* buttons = dialog.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text(), "Отмена");
    dialog.reject();
  });
  EXPECT_FALSE(platform::UI().inputBox("Новая категория", "Название категории:", ""));
  EXPECT_EQ(shownTitle, "Новая категория");
}

}  // namespace
}  // namespace desktop_test
