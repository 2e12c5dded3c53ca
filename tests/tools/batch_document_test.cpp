// stampora-batch's commands on documents they must refuse rather than work on.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QGuiApplication>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "tools/BatchInfo.h"
#include "tools/BatchRender.h"
#include "wordproc/core/Ooxml.h"

namespace fs = std::filesystem;

namespace {

// A pipe named like a document would block whoever opens it to read, the watchdog turns that
// into a failure; a page drawn 20,000 pixels wide would take gigabytes.
TEST(BatchDocuments, PipesAndOversizedPicturesAreRefusedNamingTheFile) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const fs::path folder = fs::temp_directory_path() / ("vsp-batch-" + std::to_string(getpid()));
  fs::create_directories(folder);
  const std::string pipe = (folder / "x.doc").string(), tall = (folder / "tall.docx").string();
  ASSERT_EQ(0, mkfifo(pipe.c_str(), 0600));
  wordproc::Document doc;
  doc.pageSetup.pageHeight *= 3;
  wordproc::WritePackage(doc, tall);
  auto run = [&] {
    alarm(20);
    static int argc = 1;
    static char name[] = "test_tools";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);  // kept to the end, as Qt's own clean-up expects
    std::ostringstream out, err;
    const std::string png = (folder / "page.png").string();
    const int refused = batch::BatchInfo(pipe, out, err) +
                        batch::BatchRender(pipe, 1, 216, png, err) +
                        batch::BatchRender(tall, 1, 20000, png, err);
    const bool thumbnail = !fs::exists(png) && batch::BatchRender(tall, 1, 216, png, err) == 0;
    std::fputs(err.str().c_str(), stderr);
    std::_Exit(refused == 3 && thumbnail ? 0 : 3);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(0),
              "x.doc» не является обычным файлом\n.*x.doc» не является обычным файлом\n.*«[^»]*"
              "tall.docx» шириной 20000 пикселей .*укажите меньшую ширину");
  fs::remove_all(folder);
}

}  // namespace
