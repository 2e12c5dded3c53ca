// Printing as a user does, through Qt to the default CUPS printer: a PDF queue (cups-pdf) that
// the test makes the default through scripts/cups-pdf-printer.sh. The printed file must have
// the sheet's pages, its labels, and none of the non-printing cut lines.
#include <pwd.h>
#include <unistd.h>

#include <QAction>
#include <QImage>
#include <QLineEdit>
#include <filesystem>
#include <regex>
#include <sstream>

#include "DesktopSupport.h"
#include "app/uCommon.h"
#include "wordlink/Automation.h"

namespace desktop_test {
namespace {

namespace fs = std::filesystem;

// The template's cut line runs down the left margin, where no label is.
constexpr float kCutLineX = 21;

class CupsPrint : public DesktopTest {
 protected:
  std::string Prepare() override {
    int status = 0;
    const std::string said =
        Shell("bash " VSP_SOURCE_DIR "/scripts/cups-pdf-printer.sh 2>&1", &status);
    if (status == 77) return "CUPS cannot run here: " + said;
    if (status != 0) {
      ADD_FAILURE() << "the CUPS PDF printer could not be set up:\n" << said;
      return "no CUPS PDF printer";
    }
    const passwd* user = getpwuid(geteuid());
    outFolder = said.substr(0, said.find('\n')) + "/" + (user ? user->pw_name : "ANONYMOUS");
    return {};
  }

  // Gives the category's template a cut line, which cloning redraws as a non-printing line.
  void AddCutLine() {
    wordlink::Variant word = wordlink::CreateOleObject("Word.Application");
    const std::string file = data + "Оттиски/Визитки/Шаблон_A4.doc";
    wordlink::Variant doc = word.get("Documents").call("Open", file);
    wordlink::Variant line = doc.get("Shapes").call("AddLine", kCutLineX, 20.0f, kCutLineX, 800.0f);
    line.put("RelativeHorizontalPosition", 1);
    line.put("RelativeVerticalPosition", 1);
    doc.call("Save");
    doc.call("Close", 0);
    word.call("Quit", 0);
  }

  // The PDF the queue wrote after `since`, once it is complete.
  std::string PrintedPdf(fs::file_time_type since) {
    std::string found;
    WaitUntil([&] {
      std::error_code error;
      for (const auto& entry : fs::directory_iterator(outFolder, error)) {
        if (entry.path().extension() != ".pdf" || entry.last_write_time() < since) continue;
        int status = 0;
        Shell("pdfinfo '" + entry.path().string() + "' >/dev/null 2>&1", &status);
        if (status == 0) found = entry.path().string();
      }
      return !found.empty();
    });
    return found;
  }

  std::string outFolder;
};

// The longest run of dark pixels down any column of the page picture, as a share of its
// height: the cut line runs down nearly the whole page, a label's frame down a sixth of it.
// Whatever the queue does to fit the page to its paper, that stays so.
double LongestVerticalLine(const QImage& page) {
  int longest = 0;
  for (int x = 0; x < page.width(); ++x) {
    int run = 0;
    for (int y = 0; y < page.height(); ++y) {
      run = qGray(page.pixel(x, y)) < 128 ? run + 1 : 0;
      longest = std::max(longest, run);
    }
  }
  return double(longest) / page.height();
}

TEST_F(CupsPrint, ClonedSheetPrintsOnTheDefaultPrinterWithoutItsCutLines) {
  AddCutLine();
  ui::TfmMain& w = Open();
  SelectFile(w.sgMyGlyphs, "a.doc");
  w.edNumberToPrint->setText("13");
  w.aGlyphClone->trigger();
  ui_test::Settle();
  ASSERT_EQ(w.sgOpenDocs->Tag, 1) << Messages();

  unsetenv("VSP_PRINT_TO_PDF_DIR");
  fs::create_directories(outFolder);
  const auto start = fs::file_time_type::clock::now() - std::chrono::seconds(2);
  w.aPrint->trigger();
  EXPECT_EQ(Messages(), "");
  const std::string pdf = PrintedPdf(start);
  ASSERT_FALSE(pdf.empty()) << "nothing came out of the queue into " << outFolder;

  const std::string info = Shell("pdfinfo '" + pdf + "'");
  EXPECT_TRUE(std::regex_search(info, std::regex("Pages:\\s+2\n"))) << info;
  // The queue's PostScript step keeps the letters' shapes but not which letters they are, so
  // the labels are counted as lines of text: one name on each.
  std::istringstream text(Shell("pdftotext -enc UTF-8 '" + pdf + "' - 2>/dev/null"));
  int labels = 0;
  for (std::string line; std::getline(text, line);) labels += !line.empty() && line != "\f";
  EXPECT_EQ(labels, 13);

  const std::string picture = dir + "page";
  Shell("pdftoppm -f 1 -l 1 -r 72 -gray -png '" + pdf + "' '" + picture + "' 2>/dev/null");
  QImage page(QString::fromStdString(picture + "-1.png"));
  ASSERT_FALSE(page.isNull()) << "the printed page could not be drawn";
  const double line = LongestVerticalLine(page);
  EXPECT_GT(line, 0.1) << "the label frames are on the page";
  EXPECT_LT(line, 0.5) << "the cut line down the page was printed";
  fs::remove(pdf);
}

}  // namespace
}  // namespace desktop_test
