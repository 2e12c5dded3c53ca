// Printer calibration: how far each printer's paper runs off, kept in the settings under
// "Printers\<printer>" as the offsets that make up for it (millimetres, right and down; "PDF"
// for PDF output), handed to the word processor, which shifts every page it prints by them.
// The calibration sheet shows the user what to measure.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "wordlink/Automation.h"
#include "wordlink/uExtAppController.h"

namespace app {

inline constexpr const char* kPrintersKey = "Printers";
inline constexpr const char* kPdfPrinter = "PDF";
// No printer's paper runs further off; larger offsets are typing mistakes.
inline constexpr double kLargestOffsetMm = 50;

struct TPrinterOffset {
  double X = 0, Y = 0;  // millimetres, right and down

  bool operator==(const TPrinterOffset&) const = default;
};

// The stored offset of a printer; none when it was never calibrated or the value is damaged.
TPrinterOffset ReadPrinterOffset(const std::string& printer);
// Throws platform::RegistryError when the settings cannot be written.
void WritePrinterOffset(const std::string& printer, const TPrinterOffset& offset);
// The printers that have a stored offset.
std::vector<std::string> CalibratedPrinters();

// "X,Y" in millimetres ("1.5,-0.5"); none unless both are numbers within kLargestOffsetMm.
std::optional<TPrinterOffset> ParseOffset(const std::string& text);
std::string FormatOffset(const TPrinterOffset& offset);

// Hands a word processor instance the stored offset of every calibrated printer, or, when
// override is given, that one offset for every printer. An instance without these members (a
// word processor of another make) is left as it is; nothing here raises.
void ApplyPrinterOffsets(const wordlink::Variant& application,
                         const std::optional<TPrinterOffset>& override = std::nullopt);
// The same for every instance the controller has connected.
void ApplyPrinterOffsets(wordlink::TExtAppController& controller);

// The offset that cancels the deviation measured on a calibration sheet printed with current.
TPrinterOffset CorrectedOffset(const TPrinterOffset& current, const TPrinterOffset& deviation);

// Where the calibration sheet's crosses are centred, from the left and top edges of the paper.
inline constexpr double kCrossInsetMm = 30;
// An A4 page with crosses at kCrossInsetMm from the edges in every corner, one in the middle,
// millimetre scales from the paper's edges to the top-left cross, and what to measure.
void DrawCalibrationSheet(const wordlink::Variant& doc);

}  // namespace app
