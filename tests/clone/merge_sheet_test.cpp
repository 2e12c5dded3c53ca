// Sheets filled from data by the real word processor: every record on its label in order, a
// field the data lacks and a value a barcode cannot take stopping the run or skipped, and the
// batch tool's PDF showing each record, its barcode scanning as its code.
#include <algorithm>
#include <filesystem>

#include "CloneSupport.h"
#include "clone/MergeData.h"
#include "clone/uPlacing.h"
#include "tests/wordproc/ooxml_test_support.h"

using namespace cloning;
using namespace clone_test;
namespace fs = std::filesystem;

namespace {

const TPaperSize kA4{"A4", "A4"};

// A 200 × 100 pt glyph: a text box with the name in capitals and an EAN-13 of the code.
std::string GlyphXml(const std::string& nameField) {
  return "<w:p><w:r><w:pict><v:shape id=\"box\" type=\"#_x0000_t202\" style=\"position:absolute;"
         "margin-left:10pt;margin-top:10pt;width:180pt;height:80pt\"><v:textbox><w:txbxContent>"
         "<w:p><w:fldSimple w:instr=\" MERGEFIELD " +
         nameField +
         " \\* Upper \"><w:r><w:t>«Имя»"
         "</w:t></w:r></w:fldSimple></w:p><w:p><w:fldSimple w:instr=\" MERGEBARCODE Код EAN13 "
         "\"><w:r><w:t>«Код»</w:t></w:r></w:fldSimple></w:p></w:txbxContent></v:textbox>"
         "</v:shape></w:pict></w:r></w:p><w:sectPr><w:pgSz w:w=\"4000\" w:h=\"2000\"/>"
         "<w:pgMar w:top=\"0\" w:right=\"0\" w:bottom=\"0\" w:left=\"0\"/></w:sectPr>";
}

class MergeSheet : public CloneTest {
 protected:
  void SetUp() override {
    CloneTest::SetUp();
    MakeTemplate(Word(), TemplatePath("Визитки", "A4"), Column(4));
  }
  std::string Glyph(const std::string& nameField = "Имя") {
    const std::string path = GlyphPath("Визитки", "merge.doc");
    WriteFile(path, ooxml_test::PackageWithBody(GlyphXml(nameField)));
    return path;
  }
  std::shared_ptr<const datasource::TDataSource> Data(const std::string& csv) {
    WriteFile(data + "list.csv", csv);
    return std::make_shared<const datasource::TDataSource>(
        datasource::ReadDataFile(data + "list.csv"));
  }
  // The text of each copy in order: its text box's text, paragraphs joined with "|".
  std::vector<std::string> CopyTexts(const Variant& doc) {
    std::vector<std::string> texts;
    for (const Variant& copy : ShapesNamed(doc, kClonedPrefix)) {
      const Variant items = copy.get("GroupItems");
      std::string text;
      for (int i = 1; i <= items.get("Count").toInt(); ++i) {
        const Variant item = items.call("Item", i);
        if (item.get("Type").toInt() != 17) continue;
        std::string t = item.get("TextFrame").get("TextRange").get("Text").toString();
        for (char& c : t)
          if (c == '\r') c = '|';
        if (!t.empty() && t != "|") text += t;
      }
      texts.push_back(text);
    }
    return texts;
  }
  std::string Messages() const {
    std::string all;
    for (const auto& m : ui.messages) all += m.text + "\n";
    return all;
  }
};

const char* kList =
    "Имя;Код;Количество\nиван;4601234567893;2\nпётр;4006381333931;\nмария;5901234123457;1\n";

TEST_F(MergeSheet, EveryRecordFillsItsLabelsInOrder) {
  TCloneParams glyphs{{Glyph(), 1, Data(kList)}};
  wordlink::TExtAppDocument* sheet = CloneGlyphs(*host, glyphs, 0, "Визитки", kA4);
  ASSERT_NE(sheet, nullptr) << Messages();
  EXPECT_EQ(Messages(), "");
  EXPECT_EQ(CopyTexts(sheet->Document),
            (std::vector<std::string>{"ИВАН|4601234567893", "ИВАН|4601234567893",
                                      "ПЁТР|4006381333931", "МАРИЯ|5901234123457"}));
  EXPECT_EQ(Pages(sheet->Document), 1);
  EXPECT_EQ(host->progressMax, 3) << "one step per record";
  EXPECT_EQ(host->steps, 3);
  EXPECT_EQ(PageCount(LabelCount(glyphs, 0), 1, 4), 1);
}

TEST_F(MergeSheet, NumberAndDatePicturesFormatTheValues) {
  const std::pair<const char*, const char*> cases[] = {
      {"Цена \\# &quot;# ##0,00 руб.&quot;", "Цена: 1 234,50 РУБ."},
      {"Цена \\@ &quot;d MMMM yyyy&quot;", "Цена: 9 ДЕКАБРЯ 2026"},
  };
  const char* values[] = {"1234,5", "09.12.2026"};
  for (int k = 0; k < 2; ++k) {
    SCOPED_TRACE(cases[k].first);
    const std::string field = std::string(cases[k].first) + " \\b &quot;Цена: &quot;";
    TCloneParams glyphs{
        {Glyph(field), 1, Data(std::string("Цена;Код\n") + values[k] + ";4601234567893\n")}};
    wordlink::TExtAppDocument* sheet = CloneGlyphs(*host, glyphs, 0, "Визитки", kA4);
    ASSERT_NE(sheet, nullptr) << Messages();
    EXPECT_EQ(CopyTexts(sheet->Document),
              std::vector<std::string>{std::string(cases[k].second) + "|4601234567893"});
  }
}

TEST_F(MergeSheet, AFieldTheDataLacksStopsBeforeAnySheet) {
  TCloneParams glyphs{{Glyph("Фамилия"), 1, Data(kList)}};
  EXPECT_EQ(CloneGlyphs(*host, glyphs, 1, "Визитки", kA4), nullptr);
  ASSERT_EQ(ui.messages.size(), 1u);
  const std::string message = ui.messages[0].text;
  EXPECT_NE(message.find("«Фамилия»"), std::string::npos) << message;
  EXPECT_NE(message.find(data + "list.csv"), std::string::npos) << message;
  EXPECT_TRUE(host->edited.empty());
  EXPECT_EQ(host->ended, 1);
}

TEST_F(MergeSheet, AValueTheBarcodeRefusesStopsTheRunAndNamesTheRecord) {
  const std::string list = "Имя;Код\nиван;4601234567893\nпётр;46012345678X3\nмария;5901234123457\n";
  TCloneParams glyphs{{Glyph(), 1, Data(list)}};
  EXPECT_EQ(CloneGlyphs(*host, glyphs, 1, "Визитки", kA4), nullptr);
  EXPECT_TRUE(host->edited.empty()) << "no half-filled sheet";
  ASSERT_EQ(ui.messages.size(), 1u);
  const std::string message = ui.messages[0].text;
  EXPECT_NE(message.find("строка 3"), std::string::npos) << message;
  EXPECT_NE(message.find("поле «Код»"), std::string::npos) << message;
  EXPECT_TRUE(TemporaryLitter().empty());
}

TEST_F(MergeSheet, SkippedRecordsLeaveNoGapAndAreListedAtTheEnd) {
  const std::string list = "Имя;Код\nиван;4601234567893\nпётр;46012345678X3\nмария;5901234123457\n";
  TCloneParams glyphs{{Glyph(), 1, Data(list)}};
  wordlink::TExtAppDocument* sheet = CloneGlyphs(*host, glyphs, 1, "Визитки", kA4, 1, true);
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(CopyTexts(sheet->Document),
            (std::vector<std::string>{"ИВАН|4601234567893", "МАРИЯ|5901234123457"}));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].text.find("(1)"), std::string::npos) << ui.messages[0].text;
  EXPECT_NE(ui.messages[0].text.find("строка 3"), std::string::npos) << ui.messages[0].text;
}

// The batch tool with a data file: no --sets, the PDF shows every record in order; a bad record
// ends the run with no sheet, unless it is skipped.
TEST_F(MergeSheet, BatchCloneWithADataFilePrintsEveryRecord) {
  const std::string glyph = Glyph();
  WriteFile(data + "list.csv", kList);
  const std::string sheet = data + "лист.doc", pdf = data + "лист.pdf";
  auto batch = [&](std::vector<std::string> extra) {
    std::string command = test_support::ShellQuote(std::string(VSP_BIN_DIR) + "/stampora-batch");
    for (const std::string& a :
         {std::string("clone"), std::string("--data"), data, std::string("--category"),
          std::string("Визитки"), std::string("--paper"), std::string("A4"), std::string("--glyph"),
          glyph, std::string("--out"), sheet})
      command += " " + test_support::ShellQuote(a);
    for (const std::string& a : extra) command += " " + test_support::ShellQuote(a);
    return test_support::RunCommand(command, data + "err.txt");
  };
  const auto done = batch({"--data-file", data + "list.csv", "--pdf", pdf});
  ASSERT_EQ(done.code, 0) << done.err;
  ASSERT_TRUE(fs::exists(sheet));
  if (!ooxml_test::HaveProgram("pdftotext")) GTEST_SKIP() << "pdftotext is not installed";
  const std::string text =
      ooxml_test::RunAndCapture("pdftotext " + test_support::ShellQuote(pdf) + " -");
  std::vector<std::string> names;
  for (std::size_t at = 0; (at = text.find_first_of("ИПМ", at)) != std::string::npos;) {
    for (const char* name : {"ИВАН", "ПЁТР", "МАРИЯ"})
      if (text.compare(at, std::string(name).size(), name) == 0) names.push_back(name);
    at += 1;
  }
  EXPECT_EQ(names, (std::vector<std::string>{"ИВАН", "ИВАН", "ПЁТР", "МАРИЯ"})) << text;
  // Each label's barcode scans as its record's code.
  if (ooxml_test::HaveProgram("zbarimg") && ooxml_test::HaveProgram("pdftoppm")) {
    ooxml_test::RunAndCapture("pdftoppm -r 300 -f 1 -l 1 -png " + test_support::ShellQuote(pdf) +
                              " " + test_support::ShellQuote(data + "page"));
    std::string scanned;
    for (const auto& entry : fs::directory_iterator(data))
      if (entry.path().filename().string().rfind("page", 0) == 0)
        scanned += ooxml_test::RunAndCapture(
            "zbarimg -q " + test_support::ShellQuote(entry.path().string()) + " 2>/dev/null");
    std::vector<std::string> codes;
    for (std::size_t at = 0; (at = scanned.find("EAN-13:", at)) != std::string::npos; at += 7)
      codes.push_back(scanned.substr(at + 7, 13));
    // zbarimg reports a code found twice on one page once.
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    EXPECT_EQ(codes, (std::vector<std::string>{"4006381333931", "4601234567893", "5901234123457"}))
        << scanned;
  }

  fs::remove(sheet);
  WriteFile(data + "bad.csv", "Имя;Код\nиван;4601234567893\nпётр;нет\n");
  const auto refused = batch({"--data-file", data + "bad.csv"});
  EXPECT_EQ(refused.code, 1);
  EXPECT_NE(refused.err.find("строка 3"), std::string::npos) << refused.err;
  EXPECT_FALSE(fs::exists(sheet));
  const auto skipped = batch({"--data-file", data + "bad.csv", "--skip-bad-records"});
  EXPECT_EQ(skipped.code, 0) << skipped.err;
  EXPECT_NE(skipped.err.find("строка 3"), std::string::npos) << skipped.err;
  EXPECT_TRUE(fs::exists(sheet));
  const auto unread = batch({"--data-file", data + "нет.csv"});
  EXPECT_EQ(unread.code, 1);
  EXPECT_NE(unread.err.find("нет.csv"), std::string::npos) << unread.err;
}

}  // namespace
