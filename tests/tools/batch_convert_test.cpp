// stampora-batch convert: a document opened in the word processor and saved in the format the
// output's extension names, or refused with the reason.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/Scratch.h"
#include "wordproc/core/Ooxml.h"

namespace fs = std::filesystem;

namespace {

using test_support::ShellQuote;

class BatchConvert : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch = test_support::NewFolder("convert") + "/";
    for (const char* folder : {"tmp", "run"}) fs::create_directories(scratch + folder);
    fs::permissions(scratch + "run", fs::perms::owner_all);
    wordproc::Document doc;
    doc.paragraphs[0].runs.push_back({"Печать ООО «Ромашка»", wordproc::RunFormat{}});
    auto shape = std::make_unique<wordproc::Shape>();
    shape->id = doc.newShapeId();
    shape->name = "Звезда";
    shape->preset = "star5";
    shape->left = shape->top = 100;
    shape->width = shape->height = 80;
    shape->rotation = 15;
    doc.shapes.push_back({std::move(shape), doc.paragraphs[0].id});
    wordproc::WritePackage(doc, scratch + "in.docx");
  }
  void TearDown() override {
    if (!scratch.empty()) fs::remove_all(scratch);
  }

  test_support::CommandResult Convert(const std::string& in, const std::string& out) {
    const std::string command = "env TMPDIR=" + ShellQuote(scratch + "tmp") +
                                " XDG_RUNTIME_DIR=" + ShellQuote(scratch + "run") +
                                " VSP_REGISTRY_FILE=" + ShellQuote(scratch + "registry") +
                                " QT_QPA_PLATFORM=offscreen timeout 300 " +
                                ShellQuote(std::string(VSP_BIN_DIR) + "/stampora-batch") +
                                " convert " + ShellQuote(in) + " " + ShellQuote(out);
    return test_support::RunCommand(command, scratch + "stderr");
  }

  std::string scratch;
};

TEST_F(BatchConvert, PackagesKeepTextAndShapes) {
  ASSERT_EQ(Convert(scratch + "in.docx", scratch + "out.docx").code, 0);
  const auto before = wordproc::LoadDocumentFile(scratch + "in.docx");
  const auto after = wordproc::LoadDocumentFile(scratch + "out.docx");
  EXPECT_EQ(after->paragraphs[0].text(), before->paragraphs[0].text());
  ASSERT_EQ(after->shapes.size(), 1u);
  EXPECT_TRUE(after->shapes[0].shape->sameAs(*before->shapes[0].shape));
  EXPECT_FALSE(after->isTemplate);

  ASSERT_EQ(Convert(scratch + "in.docx", scratch + "out.dotx").code, 0);
  EXPECT_TRUE(wordproc::LoadDocumentFile(scratch + "out.dotx")->isTemplate);
}

TEST_F(BatchConvert, PdfHoldsThePrintedPages) {
  if (std::system("command -v pdftotext >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "poppler-utils is not installed";
  ASSERT_EQ(Convert(scratch + "in.docx", scratch + "out.pdf").code, 0);
  const auto text =
      test_support::RunCommand("pdftotext " + ShellQuote(scratch + "out.pdf") + " -", "/dev/null");
  EXPECT_NE(text.out.find("Ромашка"), std::string::npos) << text.out;
}

TEST_F(BatchConvert, UnknownFormatsAndMissingFilesAreRefusedNamingThem) {
  const auto format = Convert(scratch + "in.docx", scratch + "out.txt");
  EXPECT_NE(format.code, 0);
  EXPECT_NE(format.err.find("out.txt"), std::string::npos) << format.err;
  EXPECT_NE(format.err.find(".docx"), std::string::npos) << format.err;
  EXPECT_FALSE(fs::exists(scratch + "out.txt"));

  const auto missing = Convert(scratch + "none.docx", scratch + "out.docx");
  EXPECT_NE(missing.code, 0);
  EXPECT_NE(missing.err.find("none.docx"), std::string::npos) << missing.err;
  EXPECT_FALSE(fs::exists(scratch + "out.docx"));
}

}  // namespace
