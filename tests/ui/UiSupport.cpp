#include "UiSupport.h"

#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/uCommon.h"
#include "clone/uPlacing.h"
#include "platform/Registry.h"
#include "tests/support/Gui.h"
#include "tests/support/Scratch.h"
#include "ui/Application.h"
#include "ui/ModalDialogs.h"
#include "wordlink/uExtAppDocument.h"
#include "wordproc/Container.h"
#include "wordproc/Dialogs.h"
#include "wordproc/Render.h"
#include "wordproc/WordProcessor.h"

namespace ui_test {

namespace fs = std::filesystem;

namespace {

using test_support::NewPage;
using test_support::PageRelative;
using test_support::SaveClosed;

// The sample catalogue is made once for the program; each test works on a copy of it.
const std::string& Samples() {
  static const std::string samples = [] {
    StartApplication();
    std::string folder = test_support::NewFolder("samples") + "/";
    MakeSampleCatalogue(folder);
    return folder;
  }();
  return samples;
}

}  // namespace

void StartApplication() {
  static const bool started = [] {
    test_support::EnsureApplication();
    auto* application = static_cast<QApplication*>(QApplication::instance());
    // As the program prepares itself: Qt's Russian texts, the title.
    ui::PrepareApplication(*application, VSP_BIN_DIR "/");
    ui::SetApplicationTitle(*application);
    return true;
  }();
  (void)started;
}

DocumentMaker::DocumentMaker() : word_(wordlink::CreateOleObject("Word.Application")) {}

DocumentMaker::~DocumentMaker() {
  word_.call("Quit", 0);
}

void DocumentMaker::Glyph(const std::string& path, const std::string& text) {
  Variant doc = NewPage(word_, 255, 142);
  Variant shapes = doc.get("Shapes");
  Variant frame = shapes.call("AddShape", 5, 8.0f, 8.0f, 239.0f, 126.0f);
  PageRelative(frame);
  Variant box = shapes.call("AddTextbox", 1, 24.0f, 40.0f, 200.0f, 40.0f);
  PageRelative(box);
  box.get("TextFrame").get("TextRange").put("Text", text);
  SaveClosed(doc, path);
}

void DocumentMaker::Template(const std::string& path, int positions) {
  Variant doc = NewPage(word_, 595.35f, 841.995f);
  Variant shapes = doc.get("Shapes");
  for (int k = 0; k < positions; ++k) {
    Variant cell =
        shapes.call("AddShape", 1, 42.0f + 255 * (k % 2), 20.0f + 130 * (k / 2), 255.0f, 130.0f);
    PageRelative(cell);
  }
  SaveClosed(doc, path);
}

void DocumentMaker::Sheet(const std::string& path) {
  Variant doc = NewPage(word_, 595.35f, 841.995f);
  Variant copy = doc.get("Shapes").call("AddShape", 1, 42.0f, 20.0f, 255.0f, 130.0f);
  PageRelative(copy);
  copy.put("Name", "VSP_CLONED_1");
  SaveClosed(doc, path);
}

void MakeSampleCatalogue(const std::string& d) {
  DocumentMaker make;
  make.Template(d + "Оттиски/Визитки/Шаблон_A4.doc", 12);
  make.Glyph(d + "Оттиски/Визитки/Мои оттиски/a.doc", "Иван Петров");
  make.Glyph(d + "Оттиски/Визитки/Коллекция оттисков/b.doc", "Студия «Печать»");
  make.Glyph(d + "Оттиски/Этикетки/Коллекция оттисков/c.doc", "Варенье");
  for (const char* name : {"s1.doc", "s2.doc", "s3.doc"})
    make.Sheet(d + "Листы/Визитки/Коллекция листов/" + name);
  make.Sheet(d + "Листы/Визитки/Коллекция листов/t.dot");
}

void UiTest::SetUp() {
  const std::string& samples = Samples();
  dir = test_support::NewFolder("t") + "/";
  data = dir + "data/";
  fs::create_directories(dir + "app");
  fs::create_directories(dir + "pdf");
  fs::copy(samples, data, fs::copy_options::recursive);
  platform::Registry::Instance().setFilePath(dir + "registry");
  setenv("VSP_MESSAGE_LOG", (dir + "messages.log").c_str(), 1);
  setenv("VSP_PRINT_TO_PDF_DIR", (dir + "pdf").c_str(), 1);
  app::DataFolder = data;
  app::AppFolder = dir + "app/";
  app::ShortDateFormat = "dd.MM.yyyy";
  app::LongTimeFormat = "HH:mm:ss";
  app::GlyphTypes = app::ParseGlyphTypes(
      "Стандартный,210,297,0,Другие\nВизитка,90,50,0,Визитки\n"
      "Круглая наклейка,40,40,1\n");
  app::AppController = std::make_unique<wordlink::TExtAppController>();
  ASSERT_TRUE(app::AppController->Connect(wordlink::kKindDefault, false, true));
  app::DocumentsSaved = false;
  app::PrintingFromProgram = false;
  cloning::ResetLabelCountCache();
  tempFolder = app::GetTempFolder();
  platform::SetUI(&interaction);
  ui::SetModalResponder([this](QDialog& dialog) {
    if (answers.empty()) {
      ADD_FAILURE() << "unexpected dialog " << dialog.windowTitle().toStdString();
      dialog.done(QDialog::Rejected);
      return;
    }
    auto answer = answers.front();
    answers.pop_front();
    answer(dialog);
  });
  wordproc::SetPdfFallbackHandler(ui::OfferPrintedPdf);
  // The word processor's own questions: keep nothing that was not saved.
  wordproc::SetDialogResponder([](wordproc::DialogKind kind, const std::string&) {
    if (kind == wordproc::DialogKind::SaveChanges)
      return wordproc::DialogReply(wordproc::kDialogNo);
    return wordproc::DialogReply(wordproc::kDialogOk);
  });
}

void UiTest::TearDown() {
  window.reset();
  app::PreviewList.reset();
  app::AppController.reset();
  // Documents the test left open on purpose close with it, so no window outlives its test.
  QList<QPointer<QWidget>> left;
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->isVisible()) left.append(top);
  for (const QPointer<QWidget>& top : left)
    if (top) top->close();
  Settle();
  ui::SetModalResponder({});
  ui::SetShellOpener({});
  wordproc::SetDialogResponder({});
  wordproc::SetPdfFallbackHandler({});
  platform::SetUI(nullptr);
  EXPECT_TRUE(answers.empty()) << "answers left for dialogs that never came";
  std::error_code ignored;
  fs::remove_all(dir, ignored);
}

ui::TfmMain& UiTest::Open() {
  window = std::make_unique<ui::TfmMain>();
  window->show();
  window->activateWindow();
  Settle();
  return *window;
}

void Settle() {
  for (int i = 0; i < 5; ++i) {
    QApplication::sendPostedEvents();
    QApplication::processEvents();
  }
}

std::string UiTest::Messages() const {
  std::ifstream in(dir + "messages.log");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::function<void(QDialog&)> UiTest::Press(const char* button) {
  return [name = std::string(button)](QDialog& dialog) {
    auto* found = dialog.findChild<QPushButton*>(QString::fromStdString(name));
    ASSERT_NE(found, nullptr) << name;
    found->click();
  };
}

std::function<void(QDialog&)> UiTest::ChooseFile(const std::string& path) {
  return [path](QDialog& dialog) {
    auto* files = qobject_cast<QFileDialog*>(&dialog);
    ASSERT_NE(files, nullptr) << dialog.windowTitle().toStdString();
    // Typed in full, as a person may, so that the folder the dialog shows does not matter.
    auto* name = files->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    name->setText(QString::fromStdString(path));
    QMetaObject::invokeMethod(files, "accept");
    ASSERT_FALSE(files->isVisible()) << "the dialog refused " << path;
  };
}

std::function<void(QDialog&)> UiTest::Type(const std::string& text) {
  return [text](QDialog& dialog) {
    auto* input = qobject_cast<QInputDialog*>(&dialog);
    ASSERT_NE(input, nullptr) << dialog.windowTitle().toStdString();
    input->setTextValue(QString::fromStdString(text));
    input->accept();
  };
}

std::function<void(QDialog&)> UiTest::Cancel() {
  return [](QDialog& dialog) { dialog.reject(); };
}

int UiTest::SelectFile(ui::TStringGrid* grid, const std::string& fileName) {
  for (int row = 0; row < grid->Tag; ++row) {
    const std::string& path = grid->Object(row)->Path;
    if (path.size() >= fileName.size() &&
        path.compare(path.size() - fileName.size(), fileName.size(), fileName) == 0) {
      if (grid->Row() == row)
        window->sgMyGlyphsSelectCell(grid, row);
      else
        grid->SetRow(row);
      Settle();
      return row;
    }
  }
  ADD_FAILURE() << fileName << " is not listed";
  return -1;
}

std::vector<std::string> UiTest::Items(const QComboBox* box) {
  std::vector<std::string> items;
  for (int i = 0; i < box->count(); ++i) items.push_back(box->itemText(i).toStdString());
  return items;
}

QWidget* UiTest::WordWindow() {
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->isVisible() && qobject_cast<QMainWindow*>(top) && top->objectName() != "fmMain")
      return top;
  return nullptr;
}

}  // namespace ui_test
