// Printer calibration: offsets kept per printer in the settings, handed to word processor
// instances, corrected by measured deviations, and the sheet that is measured.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <cmath>
#include <filesystem>

#include "app/PrinterCalibration.h"
#include "app/uCommon.h"
#include "platform/Registry.h"
#include "wordproc/WordProcessor.h"

namespace fs = std::filesystem;
using app::TPrinterOffset;
using wordlink::Variant;

namespace {

constexpr double kMm = 72 / 25.4;

class PrinterCalibration : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!QCoreApplication::instance()) {
      static int argc = 1;
      static char name[] = "test_app";
      static char* argv[] = {name, nullptr};
      new QApplication(argc, argv);
    }
    dir = fs::temp_directory_path() / ("vsp-calibration-" + std::to_string(getpid()));
    fs::create_directories(dir);
    previous = platform::Registry::Instance().filePath();
    platform::Registry::Instance().setFilePath((dir / "registry").string());
    wordproc::RegisterWordProcessor();
    word = wordlink::CreateOleObject("Word.Application");
  }
  void TearDown() override {
    word.call("Quit", 0);
    platform::Registry::Instance().setFilePath(previous);
    fs::remove_all(dir);
  }
  float Offered(const char* member, const std::string& printer) {
    return word.get("Options").call(member, printer).toFloat();
  }

  fs::path dir;
  std::string previous;
  Variant word;
};

TEST_F(PrinterCalibration, OffsetsAreKeptPerPrinterAndDamagedOnesReadAsNone) {
  EXPECT_EQ(app::ReadPrinterOffset("PDF"), TPrinterOffset{});
  app::WritePrinterOffset("PDF", {1.5, -0.5});
  app::WritePrinterOffset("Цех\\HP", {0.25, 0});
  EXPECT_EQ(app::ReadPrinterOffset("PDF"), (TPrinterOffset{1.5, -0.5}));
  EXPECT_EQ(app::ReadPrinterOffset("Цех\\HP"), (TPrinterOffset{0.25, 0}));
  EXPECT_EQ(app::CalibratedPrinters(), (std::vector<std::string>{"PDF", "Цех\\HP"}));
  EXPECT_EQ(app::ReadSetting("Printers\\PDF\\OffsetX"), "") << "a key of its own per printer";
  EXPECT_EQ(app::RegReadString(platform::RegRoot::LocalMachine,
                               std::string(app::SettingsKey) + "\\Printers\\PDF", "OffsetY"),
            "-0.5");
  app::RegWriteString(platform::RegRoot::LocalMachine,
                      std::string(app::SettingsKey) + "\\Printers\\PDF", "OffsetX", "много");
  EXPECT_EQ(app::ReadPrinterOffset("PDF"), TPrinterOffset{});
}

TEST_F(PrinterCalibration, OffsetsOnTheCommandLine) {
  EXPECT_EQ(app::ParseOffset("1.5,-0.5"), (TPrinterOffset{1.5, -0.5}));
  EXPECT_EQ(app::ParseOffset(" 2 , 3 "), (TPrinterOffset{2, 3}));
  for (const char* bad : {"1.5", "1,2,3", "a,b", "51,0", "0,-50.5", ",", ""})
    EXPECT_FALSE(app::ParseOffset(bad).has_value()) << bad;
  EXPECT_EQ(app::FormatOffset({1.5, -0.25}), "1.5,-0.25");
  EXPECT_EQ(app::CorrectedOffset({1, 1}, {0.5, -0.25}), (TPrinterOffset{0.5, 1.25}))
      << "a cross found right of its place moves the next print left";
}

TEST_F(PrinterCalibration, InstancesGetTheStoredOffsetsOrTheOneThatOverridesThem) {
  app::WritePrinterOffset("PDF", {1.5, 2});
  app::ApplyPrinterOffsets(word);
  EXPECT_NEAR(Offered("PrinterOffsetHorizontal", "PDF"), 1.5 * kMm, 1e-4);
  EXPECT_NEAR(Offered("PrinterOffsetVertical", "PDF"), 2 * kMm, 1e-4);
  EXPECT_FLOAT_EQ(Offered("PrinterOffsetHorizontal", "Другой"), 0);
  app::ApplyPrinterOffsets(word, TPrinterOffset{-1, 0});
  EXPECT_NEAR(Offered("PrinterOffsetHorizontal", "PDF"), -kMm, 1e-4) << "the override wins";
  EXPECT_NEAR(Offered("PrinterOffsetHorizontal", "Другой"), -kMm, 1e-4);

  wordlink::TExtAppController controller;
  controller.InstanceStarted = [](const Variant& started) { app::ApplyPrinterOffsets(started); };
  ASSERT_NE(controller.Connect(wordlink::kKindDefault, false, true), nullptr);
  const Variant options = controller.Instance(0)->Application.get("Options");
  EXPECT_NEAR(options.call("PrinterOffsetVertical", "PDF").toFloat(), 2 * kMm, 1e-4);
}

TEST_F(PrinterCalibration, TheSheetHasCrossesAtKnownDistancesFromTheEdges) {
  Variant doc = word.get("Documents").call("Add");
  app::DrawCalibrationSheet(doc);
  EXPECT_NEAR(doc.get("PageSetup").get("PageWidth").toFloat(), 210 * kMm, 0.05);
  const Variant shapes = doc.get("Shapes");
  int crossArms = 0;
  for (int i = 1; i <= shapes.get("Count").toInt(); ++i) {
    const Variant s = shapes.call("Item", i);
    EXPECT_EQ(s.get("Name").toString().rfind("VSP_NONPRINTABLE_", 0), std::string::npos);
    const float left = s.get("Left").toFloat(), top = s.get("Top").toFloat();
    const float w = s.get("Width").toFloat(), h = s.get("Height").toFloat();
    auto at = [](float value, double mm) { return std::abs(value - mm * kMm) < 0.01; };
    if (h == 0 && at(left + w / 2, 30) && at(top, 30)) ++crossArms;
    if (w == 0 && at(left, 30) && at(top + h / 2, 30)) ++crossArms;
    if (h == 0 && at(left + w / 2, 180) && at(top, 267)) ++crossArms;
  }
  EXPECT_EQ(crossArms, 3) << "both arms of the top-left cross, one of the bottom-right";
}

}  // namespace
