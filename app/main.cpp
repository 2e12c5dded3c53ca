// Entry point of the side panel. The order of the start-up matters: the shared state and the
// hidden word processor instance come first, the single-instance check after them, then the
// windows and the message loop.
#include <QApplication>
#include <QProxyStyle>
#include <QTimer>
#include <cstdlib>
#include <memory>

#include "app/uCommon.h"
#include "app/uStartup.h"
#include "platform/Guard.h"
#include "platform/ProcessLock.h"
#include "platform/UserInteraction.h"
#include "ui/Application.h"
#include "ui/QtInteraction.h"
#include "ui/ufmGroupPrintWizard.h"
#include "ui/ufmMain.h"
#include "wordproc/Container.h"
#include "wordproc/Render.h"
#include "wordproc/WordProcessor.h"

namespace {

// Tooltips appear 200 ms after the pointer rests and stay for 10 s.
class HintTimingStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* ret) const override {
    if (hint == SH_ToolTip_WakeUpDelay) return 200;
    if (hint == SH_ToolTip_FallAsleepDelay) return 10000;
    return QProxyStyle::styleHint(hint, option, widget, ret);
  }
};

// Event handlers that are not signals (painting, closing, the mouse) end here too: nothing a
// window does may unwind through the event loop and take the user's documents with it.
class GuardedApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    bool handled = false;
    platform::Guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
  }
};

}  // namespace

int main(int argc, char** argv) {
  GuardedApplication application(argc, argv);
  application.setStyle(new HintTimingStyle);
  ui::PrepareApplication(application, app::ProgramFolder());
  ui::QtInteraction interaction;
  platform::SetUI(&interaction);
  // VSP_NO_WORD_PROCESSOR stands for a machine without a usable word processor.
  if (!std::getenv("VSP_NO_WORD_PROCESSOR")) {
    wordproc::RegisterWordProcessor();
    wordproc::RegisterDocumentContainer();
    wordproc::SetPdfFallbackHandler(ui::OfferPrintedPdf);
  }

  bool terminate = !app::InitializeCommon();
  // Held until the process ends; the system releases it even after a crash.
  platform::NamedLock instanceLock(app::kInstanceLockName);
  {
    if (instanceLock.alreadyExisted()) {
      platform::UI().messageBox(app::kAlreadyRunningMessage, app::kAttentionCaption,
                                platform::MsgIcon::None, platform::MsgButtons::Ok);
      app::FinalizeCommon();
      platform::SetUI(nullptr);
      return 0;
    }
    ui::SetApplicationTitle(application);
    auto mainWindow = std::make_unique<ui::TfmMain>();
    // The group print wizard starts hidden; the main window places it beside itself.
    auto wizard = std::make_unique<ui::TfmGroupPrintWizard>(*mainWindow);
    mainWindow->GroupPrintWizard = wizard.get();
    mainWindow->show();
    if (terminate) QTimer::singleShot(0, &application, &QApplication::quit);
    application.exec();
    wizard.reset();
    mainWindow.reset();
  }
  app::FinalizeCommon();
  platform::SetUI(nullptr);
  return 0;
}
