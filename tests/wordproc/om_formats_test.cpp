// Saving through automation keeps a binary Word 97 document binary unless SaveAs asks for
// another format. Skipped where LibreOffice is missing.
#include <filesystem>
#include <fstream>

#include "tests/wordproc/om_support.h"

using namespace om_test;

namespace {

bool IsCompoundFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char head[8] = {};
  in.read(head, 8);
  return in.gcount() == 8 && std::string(head, 8) == "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
}

bool IsZip(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char head[2] = {};
  in.read(head, 2);
  return in.gcount() == 2 && head[0] == 'P' && head[1] == 'K';
}

class OmFormats : public OmTest {
 protected:
  void SetUp() override {
    if (std::system("command -v soffice >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "LibreOffice is not installed";
    OmTest::SetUp();
    word = NewWord();
  }
  void TearDown() override {
    if (!word.isEmpty()) word.call("Quit", 0);
    OmTest::TearDown();
  }
  Variant word;
};

TEST_F(OmFormats, SaveAsChoosesTheFormatAndSaveKeepsTheOneRead) {
  const std::string binary = scratch_ / "glyph.doc";
  Variant doc = word.get("Documents").call("Add");
  doc.get("Shapes").call("AddShape", 9, 10, 10, 40, 40).put("Name", "mark");
  doc.call("SaveAs", binary, 0);
  doc.call("Close", 0);
  EXPECT_TRUE(IsCompoundFile(binary));

  doc = word.get("Documents").call("Open", binary);
  EXPECT_EQ(doc.get("Shapes").call("Item", "mark").get("Name").toString(), "mark");
  doc.get("Shapes").call("AddShape", 1, 60, 10, 40, 40).put("Name", "second");
  doc.call("Save");
  doc.call("Close", 0);
  EXPECT_TRUE(IsCompoundFile(binary)) << "Save of a binary file wrote another format";

  doc = word.get("Documents").call("Open", binary);
  EXPECT_EQ(doc.get("Shapes").call("Item", "second").get("Name").toString(), "second");
  const std::string package = scratch_ / "glyph-package.doc";
  doc.call("SaveAs", package, 16);
  doc.call("Close", 0);
  EXPECT_TRUE(IsZip(package));
}

}  // namespace
