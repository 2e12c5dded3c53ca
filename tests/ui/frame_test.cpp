// The panel as a frame: its menus, its state at creation, first activation, tab switches,
// application activation, progress, the paper format setting, closing and the window options.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QToolButton>
#include <filesystem>
#include <fstream>

#include "UiSupport.h"
#include "app/uCommon.h"
#include "platform/Registry.h"
#include "ui/ModalDialogs.h"
#include "ui/ufmAbout.h"
#include "wordlink/uExtAppDocument.h"

namespace ui_test {
namespace {

namespace fs = std::filesystem;
using Frame = UiTest;

std::vector<std::string> Texts(const QMenu* menu) {
  std::vector<std::string> texts;
  for (const QAction* item : menu->actions()) texts.push_back(item->text().toStdString());
  return texts;
}

TEST_F(Frame, NewGlyphMenusListTheGlyphTypesInTableOrder) {
  ui::TfmMain& w = Open();
  const std::vector<std::string> expected = {"Стандартный (210x297)", "Визитка (90x50)",
                                             "Круглая наклейка (40x40)"};
  for (const QMenu* menu : {w.menuNewGlyph, w.mnuNewGlyph}) {
    EXPECT_EQ(Texts(menu), expected);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(menu->actions()[i]->data().toInt(), i);
  }
  EXPECT_EQ(w.tbNewGlyph->menu(), w.mnuNewGlyph);
}

TEST_F(Frame, CreatedWindowStandsAtTheWorkAreaInItsStartingState) {
  window = std::make_unique<ui::TfmMain>();
  ui::TfmMain& w = *window;
  EXPECT_EQ(w.width(), 324);
  EXPECT_EQ(w.minimumWidth(), 324);
  EXPECT_EQ(w.maximumWidth(), 324);
  EXPECT_EQ(w.windowTitle(), "Varnel Stampora");
  EXPECT_EQ(w.PageControl->currentWidget(), w.tsMyGlyphs);
  for (QAction* off :
       {w.aSave, w.aSaveAs, w.aEditGlyph, w.aEditSheet, w.aEndEdit, w.aGlyphSendToGroup})
    EXPECT_FALSE(off->isEnabled()) << off->objectName().toStdString();
  EXPECT_TRUE(w.aExtractGlyph->isEnabled());
  EXPECT_FALSE(w.btExtractGlyph->isEnabled()) << "the button starts disabled, unlike its command";
  EXPECT_FALSE(w.edNumberToPrint->isEnabled());
  EXPECT_FALSE(w.cbPaperSize->isEnabled());
  EXPECT_EQ(w.edNumberToPrint->text(), "1");
  EXPECT_FALSE(w.aViewThumbnails->isChecked());
  EXPECT_FALSE(w.aViewList->isChecked());
  EXPECT_TRUE(w.miViewThumbnails->isChecked());
  EXPECT_TRUE(w.ckOnWordTile->isChecked());
  EXPECT_FALSE(w.ckOnWordMinimize->isChecked());
  EXPECT_TRUE(w.sgMyGlyphs->isHidden());
  EXPECT_EQ(w.aGlyphOpen->toolTip(), "Открыть оттиск (Ctrl+O)");

  w.show();
  Settle();
  const QRect area = w.screen()->availableGeometry();
  EXPECT_EQ(w.frameGeometry().topLeft(), area.topLeft());
  EXPECT_EQ(w.frameGeometry().height(), area.height());
}

TEST_F(Frame, FirstActivationChoosesBusinessCardsOnlyByTheirExactName) {
  fs::rename(data + "Оттиски/Визитки", data + "Оттиски/визитки");
  ui::TfmMain* w = &Open();
  EXPECT_EQ(w->cbGlyphCategory->currentText(), "Все");
  EXPECT_EQ(w->sgMyGlyphs->Tag, 3);
  EXPECT_EQ(Items(w->cbSheetCategory),
            (std::vector<std::string>{"Все", "Визитки", "Добавить новую категорию..."}));

  window.reset();
  fs::rename(data + "Оттиски/визитки", data + "Оттиски/Визитки");
  w = &Open();
  EXPECT_EQ(w->cbGlyphCategory->currentText(), "Визитки");
  EXPECT_EQ(w->sgMyGlyphs->Tag, 2);
  EXPECT_EQ(Items(w->cbGlyphFilter), (std::vector<std::string>{"Все", "Коллекция оттисков",
                                                               "Мои оттиски", "Недавние оттиски"}));
  w->cbGlyphCategory->setCurrentIndex(2);
  emit w->cbGlyphCategory->activated(2);
  w->FormActivate();
  EXPECT_EQ(w->cbGlyphCategory->currentText(), "Этикетки") << "later activations fill nothing";
}

TEST_F(Frame, TabSwitchesRebuildOnlyTheCatalogueTabs) {
  ui::TfmMain& w = Open();
  const std::vector<std::string> before = Items(w.cbGlyphCategory);
  fs::create_directories(data + "Оттиски/Наклейки");
  w.PageControl->setCurrentWidget(w.tsOpenDocs);
  EXPECT_EQ(Items(w.cbGlyphCategory), before);
  EXPECT_EQ(w.cbGlyphCategory->currentText(), "Визитки");
  w.PageControl->setCurrentWidget(w.tsMyGlyphs);
  EXPECT_EQ(Items(w.cbGlyphCategory),
            (std::vector<std::string>{"Все", "Визитки", "Наклейки", "Этикетки",
                                      "Добавить новую категорию..."}));
  EXPECT_EQ(w.cbGlyphCategory->currentIndex(), 0);
}

TEST_F(Frame, ActivationRefillsTheShownListOnlyOnceADocumentWasSaved) {
  ui::TfmMain& w = Open();
  fs::copy_file(data + "Оттиски/Визитки/Мои оттиски/a.doc",
                data + "Оттиски/Визитки/Мои оттиски/d.doc");
  w.ApplicationEvents1Activate();
  EXPECT_EQ(w.sgMyGlyphs->Tag, 2);

  app::DocumentsSaved = true;
  QWidget elsewhere;
  elsewhere.show();
  elsewhere.activateWindow();
  Settle();
  w.activateWindow();
  Settle();
  EXPECT_EQ(w.sgMyGlyphs->Tag, 3) << "coming back to the panel counts as the activation";
}

TEST_F(Frame, ProgressFillsTheBarAndGivesTheInfoLineBackAcrossATabChange) {
  ui::TfmMain& w = Open();
  SelectFile(w.sgMyGlyphs, "a.doc");
  const QString info = w.laGlyphInfo->text();
  platform::UI().beginProgress("Размножение оттисков..", 5);
  EXPECT_EQ(w.laGlyphInfo->text(), "Размножение оттисков..");
  EXPECT_FALSE(w.pbar->isHidden());
  for (int i = 0; i < 5; ++i) w.StepProgress();
  EXPECT_EQ(w.pbar->value(), w.pbar->maximum());
  EXPECT_EQ(w.pbar->maximum(), 5);
  w.PageControl->setCurrentWidget(w.tsMySheets);
  platform::UI().endProgress();
  EXPECT_EQ(w.laGlyphInfo->text(), info);
  EXPECT_TRUE(w.pbar->isHidden());
}

TEST_F(Frame, StoredPaperFormatIsChosenIgnoringCaseAndWrittenBackAtClose) {
  app::WriteSetting("PaperSize", "a3 (297 X 300 mm)");
  window = std::make_unique<ui::TfmMain>();
  EXPECT_EQ(window->cbPaperSize->currentText(), "A3 (297 x 300 mm)");
  window->close();
  EXPECT_EQ(app::ReadSetting("PaperSize"), "A3 (297 x 300 mm)");

  app::WriteSetting("PaperSize", "Letter");
  window = std::make_unique<ui::TfmMain>();
  EXPECT_EQ(window->cbPaperSize->currentIndex(), 0);
}

TEST_F(Frame, ClosingDeletesOurTemporaryFilesEvenWhenTheSettingCannotBeWritten) {
  for (const char* name : {"vsp1A.tmp", "VSP2.doc", "vspold", "other.tmp"})
    std::ofstream(tempFolder + name) << "x";
  std::ofstream(dir + "blocked") << "a file where the registry's folder would be";
  platform::Registry::Instance().setFilePath(dir + "blocked/registry");
  ui::TfmMain& w = Open();
  fs::remove(data + "cache.dat");
  EXPECT_TRUE(w.close());
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(fs::exists(data + "cache.dat")) << "the drawn thumbnails are kept";
  for (const char* gone : {"vsp1A.tmp", "VSP2.doc", "vspold"})
    EXPECT_FALSE(fs::exists(tempFolder + gone)) << gone;
  EXPECT_TRUE(fs::exists(tempFolder + "other.tmp"));
  EXPECT_EQ(Messages(), "") << "the missing setting is not worth a message at exit";
}

TEST_F(Frame, ViewCommandsAndWindowOptionsFormTheirGroups) {
  ui::TfmMain& w = Open();
  w.aViewThumbnails->trigger();
  w.aViewThumbnails->trigger();
  EXPECT_TRUE(w.aViewThumbnails->isChecked()) << "choosing it again changes nothing";
  EXPECT_FALSE(w.aViewList->isChecked());
  w.miViewList->trigger();
  EXPECT_TRUE(w.aViewList->isChecked());
  EXPECT_FALSE(w.aViewThumbnails->isChecked());
  EXPECT_FALSE(w.miViewThumbnails->isChecked());

  w.ckOnWordMinimize->trigger();
  EXPECT_TRUE(w.ckOnWordMinimize->isChecked());
  EXPECT_FALSE(w.ckOnWordTile->isChecked());
  w.ckOnWordMinimize->trigger();
  EXPECT_FALSE(w.ckOnWordMinimize->isChecked());
  EXPECT_FALSE(w.ckOnWordTile->isChecked());

  // With neither option the word processor's window and the panel stay where they are.
  SelectFile(w.sgMyGlyphs, "a.doc");
  w.aEditGlyph->trigger();
  Settle();
  QWidget* word = WordWindow();
  ASSERT_NE(word, nullptr);
  word->move(50, 60);
  wordlink::TExtAppDocument* doc =
      app::AppController->FindDocument(w.sgOpenDocs->Object(0)->FullPath());
  w.ArrangeWordWindow(doc);
  Settle();
  EXPECT_EQ(word->pos(), QPoint(50, 60));
  EXPECT_FALSE(word->isMaximized());
  EXPECT_FALSE(w.isMinimized());
}

TEST_F(Frame, HelpSiteAndAboutGoThroughTheShell) {
  std::vector<std::string> opened;
  ui::SetShellOpener([&](const std::string& target) { opened.push_back(target); });
  ui::TfmMain& w = Open();
  EXPECT_EQ(w.aHelpGoToSite->text(), "Сайт github.com/varnel/stampora");
  EXPECT_EQ(w.aHelp->shortcut(), QKeySequence(Qt::Key_F1));
  // Installed, the manual lies in the shared folder beside the program's folder.
  const std::string manual = dir + "share/varnel-stampora/manual/index.html";
  fs::create_directories(fs::path(manual).parent_path());
  std::ofstream(manual) << "<html></html>";
  w.aHelp->trigger();
  w.aHelpGoToSite->trigger();
  answers.push_back([](QDialog& box) {
    auto& about = dynamic_cast<ui::TfmAbout&>(box);
    EXPECT_EQ(about.windowTitle(), "О программе");
    EXPECT_EQ(about.laProductName->text(), "Varnel Stampora");
    EXPECT_EQ(about.Label1->text(), "Версия: 1.0.1.129");
    about.laSiteLinkClick();
    about.OKButton->click();
  });
  w.aHelpAbout->trigger();
  EXPECT_EQ(opened, (std::vector<std::string>{manual, ui::kSiteAddress, ui::kSiteAddress}));

  // A manual beside the program comes first, as in the build folder.
  opened.clear();
  fs::create_directories(app::AppFolder + "manual");
  std::ofstream(app::AppFolder + "manual/index.html") << "<html></html>";
  w.aHelp->trigger();
  EXPECT_EQ(opened, std::vector<std::string>{app::AppFolder + "manual/index.html"});
}

TEST(Manual, TheBuildCarriesTheManualWithEveryPictureItShows) {
  const fs::path manual = VSP_BIN_DIR "/../share/varnel-stampora/manual/index.html";
  std::ifstream in(manual);
  ASSERT_TRUE(in) << manual;
  const std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  int pictures = 0;
  for (std::size_t at = html.find("src=\""); at != std::string::npos;
       at = html.find("src=\"", at + 1)) {
    const std::size_t start = at + 5;
    const std::string name = html.substr(start, html.find('"', start) - start);
    EXPECT_TRUE(fs::is_regular_file(manual.parent_path() / name)) << name;
    ++pictures;
  }
  EXPECT_GE(pictures, 2);
  for (const char* command : {"glyph-types", "make-samples", "clone", "print", "scan"})
    EXPECT_NE(html.find(std::string("stampora-batch ") + command), std::string::npos) << command;
}

}  // namespace
}  // namespace ui_test
