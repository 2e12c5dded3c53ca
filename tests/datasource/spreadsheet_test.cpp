#include <gtest/gtest.h>

#include <functional>

#include "datasource/DataSource.h"
#include "tests/datasource/DataTestSupport.h"

using datasource::DataError;
using datasource::TDataSource;

namespace {

const std::string kBooks = std::string(VSP_TEST_DATA) + "/datasource";

std::string ErrorOf(const std::function<void()>& read) {
  try {
    read();
  } catch (const DataError& e) {
    return e.what();
  }
  return "no error";
}

const char* kWorkbookRels =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Target=\"worksheets/sheet1.xml\"/>"
    "<Relationship Id=\"rId7\" Target=\"/xl/worksheets/sheet2.xml\"/></Relationships>";

// A book whose first sheet in order is the second sheet part, as after moving sheets.
std::string Book(const std::string& rows, const std::string& workbookPr = "",
                 const std::string& numFmts = "", const std::string& xfs = "<xf numFmtId=\"0\"/>") {
  const std::string ns =
      "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
      "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
  return data_test::Zip(
      {{"xl/workbook.xml", "<workbook " + ns + ">" + workbookPr +
                               "<sheets><sheet name=\"B\" r:id=\"rId7\"/><sheet name=\"A\" "
                               "r:id=\"rId1\"/></sheets></workbook>"},
       {"xl/_rels/workbook.xml.rels", kWorkbookRels},
       {"xl/sharedStrings.xml", "<sst " + ns +
                                    "><si><t>Имя</t></si><si><r><t>Сыр </t></r>"
                                    "<r><t>«Тильзитер»</t></r><rPh><t>x</t></rPh></si></sst>"},
       {"xl/styles.xml", "<styleSheet " + ns + "><numFmts>" + numFmts + "</numFmts><cellXfs>" +
                             xfs + "</cellXfs></styleSheet>"},
       {"xl/worksheets/sheet1.xml",
        "<worksheet " + ns +
            "><sheetData><row r=\"1\"><c t=\"inlineStr\">"
            "<is><t>Не тот лист</t></is></c></row></sheetData></worksheet>"},
       {"xl/worksheets/sheet2.xml",
        "<worksheet " + ns + "><sheetData>" + rows + "</sheetData></worksheet>"}});
}

std::string Ods(const std::string& rows) {
  return data_test::Zip(
      {{"content.xml",
        "<office:document-content "
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body>"
        "<office:spreadsheet><table:table table:name=\"Первый\">" +
            rows +
            "</table:table><table:table><table:table-row><table:table-cell><text:p>Нет</text:p>"
            "</table:table-cell></table:table-row></table:table></office:spreadsheet></office:body>"
            "</office:document-content>"}});
}

std::string Cell(const std::string& text) {
  return "<table:table-cell><text:p>" + text + "</text:p></table:table-cell>";
}

}  // namespace

// Calc writes the same formatted book both ways; both readers show what Calc shows.
TEST(SpreadsheetsByCalc, XlsxAndOdsShowTheCellsAsCalcDoes) {
  if (!data_test::HaveCalc()) GTEST_SKIP() << "LibreOffice Calc is not installed";
  data_test::TempDir dir;
  const std::string nbsp = "\u00A0";
  const std::vector<std::string> expected = {"Сыр «Российский»",
                                             "4601234567890",
                                             "1" + nbsp + "234,50",
                                             "15%",
                                             "05.03.2024",
                                             "14:30",
                                             "0,50",
                                             "2"};
  for (const char* format : {"xlsx", "ods"}) {
    const std::string book = data_test::ConvertBook(kBooks + "/goods.fods", format, dir.path());
    ASSERT_FALSE(book.empty()) << format;
    const TDataSource data = datasource::ReadDataFile(book);
    EXPECT_EQ(data.Fields, (std::vector<std::string>{"Имя", "Артикул", "Цена", "Скидка", "Годен до",
                                                     "Время", "Вес", "Количество"}));
    ASSERT_EQ(data.Records.size(), 1u) << format;
    EXPECT_EQ(data.Records[0].Values, expected) << format;
    EXPECT_EQ(data.LabelCount(), 2) << format;
  }
}

TEST(Xlsx, FirstSheetInBookOrderWithEveryKindOfCell) {
  const std::string rows =
      "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"C1\" "
      "t=\"inlineStr\"><is><t>Есть</t></is>"
      "</c><c r=\"D1\" t=\"str\"><v>Код</v></c></row>"
      "<row r=\"3\"><c r=\"A3\" t=\"s\"><v>1</v></c><c r=\"C3\" t=\"b\"><v>1</v></c>"
      "<c r=\"D3\"><v>12</v></c></row>";
  const TDataSource data = datasource::ReadXlsx(Book(rows), "b.xlsx");
  EXPECT_EQ(data.Fields, (std::vector<std::string>{"Имя", "", "Есть", "Код"}));
  ASSERT_EQ(data.Records.size(), 1u);
  EXPECT_EQ(data.Records[0].Values,
            (std::vector<std::string>{"Сыр «Тильзитер»", "", "ИСТИНА", "12"}));
  EXPECT_EQ(data.Records[0].Row, 3);
}

TEST(Xlsx, CustomFormatsAndThe1904DateSystem) {
  const std::string rows =
      "<row r=\"1\"><c t=\"inlineStr\"><is><t>Дата</t></is></c><c t=\"inlineStr\"><is><t>Цена</t>"
      "</is></c></row><row r=\"2\"><c s=\"1\"><v>43894</v></c><c s=\"2\"><v>99.5</v></c></row>";
  const std::string formats =
      "<numFmt numFmtId=\"164\" formatCode=\"dd.mm.yyyy\"/>"
      "<numFmt numFmtId=\"165\" formatCode=\"#,##0.00&quot; руб.&quot;\"/>";
  const std::string xfs = "<xf numFmtId=\"0\"/><xf numFmtId=\"164\"/><xf numFmtId=\"165\"/>";
  const TDataSource data =
      datasource::ReadXlsx(Book(rows, "<workbookPr date1904=\"1\"/>", formats, xfs), "d.xlsx");
  EXPECT_EQ(data.Records.at(0).Values, (std::vector<std::string>{"05.03.2024", "99,50 руб."}));
}

TEST(Xlsx, BadCountsAndDamagedBooksNameTheFile) {
  const std::string rows =
      "<row r=\"1\"><c t=\"inlineStr\"><is><t>Количество</t></is></c></row>"
      "<row r=\"2\"><c><v>2</v></c></row><row r=\"7\"><c><v>2.5</v></c></row>";
  const std::string message = ErrorOf([&] { datasource::ReadXlsx(Book(rows), "c.xlsx"); });
  EXPECT_NE(message.find("«c.xlsx», строка 7"), std::string::npos) << message;
  EXPECT_NE(ErrorOf([] { datasource::ReadXlsx("not a zip", "x.xlsx"); }).find("x.xlsx"),
            std::string::npos);
  EXPECT_NE(ErrorOf([] {
              datasource::ReadXlsx(data_test::Zip({{"a", "b"}}), "y.xlsx");
            }).find("workbook.xml"),
            std::string::npos);
}

TEST(Ods, RepeatedCellsAndRowsSpacesAndBreaks) {
  const std::string rows =
      "<table:table-header-rows><table:table-row>" + Cell("Имя") + Cell("Цена") + Cell("Код") +
      "</table:table-row></table:table-header-rows>"
      "<table:table-row table:number-rows-repeated=\"2\"><table:table-cell><text:p>Ива<text:span>н"
      "</text:span><text:s text:c=\"2\"/>Ив<office:annotation><text:p>заметка</text:p>"
      "</office:annotation></text:p><text:p>вторая<text:line-break/>строка</text:p>"
      "</table:table-cell><table:table-cell table:number-columns-repeated=\"2\"><text:p>7</text:p>"
      "</table:table-cell><table:table-cell table:number-columns-repeated=\"16000\"/>"
      "</table:table-row><table:table-row table:number-rows-repeated=\"1048570\">"
      "<table:table-cell table:number-columns-repeated=\"1024\"/></table:table-row>";
  const TDataSource data = datasource::ReadOds(Ods(rows), "r.ods");
  ASSERT_EQ(data.Records.size(), 2u);
  EXPECT_EQ(data.Records[1].Values,
            (std::vector<std::string>{"Иван  Ив\nвторая\nстрока", "7", "7"}));
  EXPECT_EQ(data.Records[1].Row, 3);
}

TEST(Ods, CoveredCellsKeepTheirColumns) {
  const std::string rows =
      "<table:table-row>" + Cell("А") + Cell("Б") + Cell("В") +
      "</table:table-row>"
      "<table:table-row><table:table-cell table:number-columns-spanned=\"2\"><text:p>1</text:p>"
      "</table:table-cell><table:covered-table-cell/>" +
      Cell("3") + "</table:table-row>";
  const TDataSource data = datasource::ReadOds(Ods(rows), "s.ods");
  EXPECT_EQ(data.Records.at(0).Values, (std::vector<std::string>{"1", "", "3"}));
  EXPECT_NE(ErrorOf([] {
              datasource::ReadOds(data_test::Zip({{"a", "b"}}), "z.ods");
            }).find("z.ods"),
            std::string::npos);
}
