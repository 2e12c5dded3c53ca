// stampora-batch's commands on documents that must be refused rather than worked on.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "tools/BatchInfo.h"
#include "tools/BatchRender.h"
#include "wordproc/Ooxml.h"

namespace fs = std::filesystem;

namespace {

class BatchDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!QCoreApplication::instance()) {
      static int argc = 1;
      static char name[] = "test_tools";
      static char* argv[] = {name, nullptr};
      new QGuiApplication(argc, argv);  // kept to the end, as Qt's own clean-up expects
    }
    folder = fs::temp_directory_path() / ("vsp-batch-doc-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }

  fs::path folder;
};

TEST_F(BatchDocumentTest, RenderRefusesPicturesBeyondThePixelLimitNamingTheFile) {
  wordproc::Document doc;
  doc.pageSetup.pageHeight *= 3;
  const std::string file = (folder / "высокий.docx").string();
  wordproc::WritePackage(doc, file);
  const std::string png = (folder / "page.png").string();
  std::ostringstream err;
  EXPECT_EQ(batch::BatchRender(file, 1, 20000, png, err), 1);
  EXPECT_NE(err.str().find("«" + file + "» шириной 20000 пикселей"), std::string::npos)
      << err.str();
  EXPECT_NE(err.str().find("укажите меньшую ширину"), std::string::npos) << err.str();
  EXPECT_FALSE(fs::exists(png));

  std::ostringstream thumbnailErr;
  EXPECT_EQ(batch::BatchRender(file, 1, 216, png, thumbnailErr), 0) << thumbnailErr.str();
  EXPECT_TRUE(fs::exists(png));
}

// A pipe named like a document blocks whoever opens it to read; the watchdog turns a block into
// a failure instead of a hung test.
TEST_F(BatchDocumentTest, InfoAndRenderOnAPipeNamedLikeADocumentAnswerAtOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string pipe = (folder / "x.doc").string();
  ASSERT_EQ(0, mkfifo(pipe.c_str(), 0600));
  auto run = [&] {
    alarm(20);
    std::ostringstream out, err;
    const int info = batch::BatchInfo(pipe, out, err);
    const int render = batch::BatchRender(pipe, 1, 216, (folder / "x.png").string(), err);
    std::fputs(err.str().c_str(), stderr);
    std::_Exit(info == 1 && render == 1 ? 0 : 3);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(0),
              "x.doc\": это канал, а не файл\n.*x.doc\": это канал, а не файл");
}

}  // namespace
