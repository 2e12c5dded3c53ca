// stampora-batch's commands on documents that must be refused rather than worked on.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QGuiApplication>
#include <filesystem>
#include <sstream>

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

}  // namespace
