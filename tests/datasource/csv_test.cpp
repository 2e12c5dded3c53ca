#include <gtest/gtest.h>

#include "datasource/DataSource.h"
#include "datasource/Encoding.h"
#include "tests/support/Scratch.h"

using datasource::DataError;
using datasource::ReadCsv;
using datasource::TDataSource;

namespace {

std::vector<std::string> Column(const TDataSource& data, const std::string& field) {
  const int index = data.FieldIndex(field);
  std::vector<std::string> values;
  for (const auto& record : data.Records) values.push_back(record.Values.at(std::size_t(index)));
  return values;
}

std::string ErrorOf(const std::string& bytes, const std::string& name = "list.csv") {
  try {
    ReadCsv(bytes, name);
  } catch (const DataError& e) {
    return e.what();
  }
  return "no error";
}

}  // namespace

TEST(CsvDialects, SeparatorOfTheHeaderLine) {
  for (const char* text :
       {"Имя;Цена\nИван;100,50\n", "Имя\tЦена\nИван\t100,50\n", "Имя,Цена\nИван,\"100,50\"\n"}) {
    const TDataSource data = ReadCsv(text, "a.csv");
    ASSERT_EQ(data.Fields, (std::vector<std::string>{"Имя", "Цена"})) << text;
    EXPECT_EQ(Column(data, "Цена"), std::vector<std::string>{"100,50"}) << text;
  }
  // One semicolon and one comma in the header: the lines after it decide.
  const TDataSource tied = ReadCsv("Имя;Цена, руб\nИван;100,50\nПётр;7\n", "b.csv");
  EXPECT_EQ(tied.Fields, (std::vector<std::string>{"Имя", "Цена, руб"}));
  // A separator inside a quoted header name does not count.
  const TDataSource quoted = ReadCsv("\"a;b;c\",d\n1,2\n", "c.csv");
  EXPECT_EQ(quoted.Fields, (std::vector<std::string>{"a;b;c", "d"}));
}

TEST(CsvDialects, QuotesDoubledQuotesAndNewlinesInsideFields) {
  const TDataSource data = ReadCsv(
      "Имя,Адрес\r\n\"Иванов, Иван\",\"ул. Ленина, 1\r\nкв. 2\"\r\n"
      "\"Сказал \"\"да\"\"\",\r\nПётр,\"\"\r\n",
      "q.csv");
  ASSERT_EQ(data.Records.size(), 3u);
  EXPECT_EQ(Column(data, "Имя"),
            (std::vector<std::string>{"Иванов, Иван", "Сказал \"да\"", "Пётр"}));
  EXPECT_EQ(Column(data, "Адрес"), (std::vector<std::string>{"ул. Ленина, 1\r\nкв. 2", "", ""}));
  // The record after the one spanning two lines is still on spreadsheet row 3.
  EXPECT_EQ(data.Records[1].Row, 3);
}

TEST(CsvDialects, LineEndsEmptyLinesAndShortRows) {
  const TDataSource data = ReadCsv("\nA;B;C\r\n1;2;3\r\n\r\n4\r5;6;7;8", "e.csv");
  ASSERT_EQ(data.Records.size(), 3u);
  EXPECT_EQ(data.Records[0].Row, 3);
  EXPECT_EQ(data.Records[1].Row, 5);  // the empty line is a row, not a record
  EXPECT_EQ(data.Records[1].Values, (std::vector<std::string>{"4", "", ""}));
  EXPECT_EQ(data.Records[2].Values, (std::vector<std::string>{"5", "6", "7"}));
}

TEST(CsvDialects, Utf8WithAndWithoutMarkAndWindows1251) {
  const std::string utf8 = "Имя;Город\nЁжик;Хабаровск\n";
  EXPECT_EQ(Column(ReadCsv("\xEF\xBB\xBF" + utf8, "bom.csv"), "Имя"),
            std::vector<std::string>{"Ёжик"});
  EXPECT_EQ(ReadCsv("\xEF\xBB\xBF" + utf8, "bom.csv").Fields[0], "Имя");
  // "Имя;Город\nЁжик;Хабаровск" in Windows-1251, with a « and a №.
  const std::string cp1251 =
      "\xC8\xEC\xFF;\xC3\xEE\xF0\xEE\xE4\n\xA8\xE6\xE8\xEA \xAB\xB9 1\xBB;\xD5\xE0\xE1\xE0\xF0\xEE"
      "\xE2\xF1\xEA\n";
  const TDataSource data = ReadCsv(cp1251, "cp.csv");
  EXPECT_EQ(data.Fields, (std::vector<std::string>{"Имя", "Город"}));
  EXPECT_EQ(Column(data, "Имя"), std::vector<std::string>{"Ёжик «№ 1»"});
  EXPECT_EQ(Column(data, "город"), std::vector<std::string>{"Хабаровск"});
  // "Unicode text" of spreadsheets: UTF-16 with its mark, tab separated.
  const std::string utf16(
      "\xFF\xFE"
      "a\0\t\0\x16\x04\n\0"
      "1\0\t\0"
      "2\0",
      14);
  EXPECT_EQ(ReadCsv(utf16, "u.txt").Fields, (std::vector<std::string>{"a", "Ж"}));
}

TEST(CsvDialects, EncodingDetectionRejectsOverlongAndSurrogateForms) {
  EXPECT_TRUE(datasource::IsValidUtf8("Ёж \xF0\x9F\x98\x80"));
  EXPECT_FALSE(datasource::IsValidUtf8("\xC0\xAF"));
  EXPECT_FALSE(datasource::IsValidUtf8("\xED\xA0\x80"));
  EXPECT_FALSE(datasource::IsValidUtf8("\xD0"));
}

TEST(CsvCounts, CountColumnRepeatsRecords) {
  const TDataSource data = ReadCsv("Имя;количество\nИван;3\nПётр;\nМария;0\nОлег;2,00\n", "n.csv");
  EXPECT_EQ(data.FieldIndex("Количество"), 1);
  std::vector<int> counts;
  for (const auto& record : data.Records) counts.push_back(record.Count);
  EXPECT_EQ(counts, (std::vector<int>{3, 1, 0, 2}));
  EXPECT_EQ(data.LabelCount(), 6);
}

TEST(CsvCounts, BadCountNamesFileRowAndValue) {
  const std::string message = ErrorOf("Имя;Количество\nИван;2\nПётр;два\n", "/tmp/list.csv");
  EXPECT_NE(message.find("/tmp/list.csv"), std::string::npos) << message;
  EXPECT_NE(message.find("строка 3"), std::string::npos) << message;
  EXPECT_NE(message.find("«два»"), std::string::npos) << message;
  EXPECT_NE(ErrorOf("Имя;Количество\nИван;-1\n").find("строка 2"), std::string::npos);
  EXPECT_NE(ErrorOf("Имя;Количество\nИван;1.5\n").find("строка 2"), std::string::npos);
  EXPECT_NE(ErrorOf("Имя;Количество\nИван;99999999999\n").find("строка 2"), std::string::npos);
}

TEST(CsvErrors, BrokenFilesAreNamedWithTheirRow) {
  EXPECT_NE(ErrorOf("Имя\n\"Иван\n").find("строка 2"), std::string::npos);
  EXPECT_NE(ErrorOf("").find("первая строка"), std::string::npos);
  EXPECT_NE(ErrorOf("\n;\n").find("первая строка"), std::string::npos);
  EXPECT_NE(ErrorOf("Имя;имя\n1;2\n").find("дважды"), std::string::npos);
}

TEST(CsvFiles, ReadByExtensionAndFirstRecordShown) {
  const std::string folder = test_support::NewFolder("csv");
  test_support::WriteFile(folder + "/list.CSV", "Имя;;Цена\nИван;x;100\nПётр;y;7\n");
  const TDataSource data = datasource::ReadDataFile(folder + "/list.CSV");
  EXPECT_EQ(data.FileName, folder + "/list.CSV");
  // A column without a name is no field and is not shown.
  EXPECT_EQ(datasource::FirstRecordSummary(data), "Имя: Иван; Цена: 100");
  EXPECT_EQ(data.FieldIndex(""), -1);
  EXPECT_THROW(datasource::ReadDataFile(folder + "/list.doc"), DataError);
  try {
    datasource::ReadDataFile(folder + "/missing.csv");
    FAIL();
  } catch (const DataError& e) {
    EXPECT_NE(std::string(e.what()).find("missing.csv"), std::string::npos);
  }
}

TEST(CsvFiles, TenThousandRecordsAreRead) {
  std::string text = "Номер;Код\n";
  for (int i = 1; i <= 10000; ++i) text += std::to_string(i) + ";K" + std::to_string(i) + "\n";
  const TDataSource data = ReadCsv(text, "big.csv");
  ASSERT_EQ(data.Records.size(), 10000u);
  EXPECT_EQ(data.Records.back().Values, (std::vector<std::string>{"10000", "K10000"}));
  EXPECT_EQ(data.Records.back().Row, 10001);
}
