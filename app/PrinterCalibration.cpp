#include "app/PrinterCalibration.h"

#include <cmath>
#include <cstdio>

#include "app/uCommon.h"
#include "labels/Units.h"
#include "platform/Registry.h"

namespace app {

using wordlink::Variant;

namespace {

constexpr const char* kOffsetX = "OffsetX";
constexpr const char* kOffsetY = "OffsetY";
constexpr double kPageWidthMm = 210, kPageHeightMm = 297;
constexpr double kArmMm = 8;
constexpr float kHairline = 0.25f;

// A key name cannot hold "\"; printer names of the system never have "/", so it stands in.
std::string KeyOf(const std::string& printer) {
  std::string name = printer;
  for (char& c : name)
    if (c == '\\') c = '/';
  return std::string(SettingsKey) + "\\" + kPrintersKey + "\\" + name;
}

std::string PrinterOfKey(std::string name) {
  for (char& c : name)
    if (c == '/') c = '\\';
  return name;
}

std::optional<double> OffsetValue(const std::string& text) {
  const auto value = labels::ParseNumber(text);
  if (!value || std::abs(*value) > kLargestOffsetMm) return std::nullopt;
  return value;
}

std::string Number(double mm) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", mm);
  std::string result(text);
  while (result.back() == '0') result.pop_back();
  if (result.back() == '.') result.pop_back();
  return result == "-0" ? "0" : result;
}

float Pt(double mm) {
  return float(labels::MmToPoints(mm));
}

void Offer(const Variant& options, const std::string& printer, const TPrinterOffset& offset) {
  options.call("SetPrinterOffset", printer, Pt(offset.X), Pt(offset.Y));
}

void AddLine(const Variant& shapes, double x1, double y1, double x2, double y2) {
  Variant line = shapes.call("AddLine", Pt(x1), Pt(y1), Pt(x2), Pt(y2));
  line.put("RelativeHorizontalPosition", 1);
  line.put("RelativeVerticalPosition", 1);
  line.get("Line").put("Weight", kHairline);
}

void AddText(const Variant& shapes, double x, double y, double w, double h,
             const std::string& text) {
  Variant box = shapes.call("AddTextbox", 1, Pt(x), Pt(y), Pt(w), Pt(h));
  box.put("RelativeHorizontalPosition", 1);
  box.put("RelativeVerticalPosition", 1);
  box.put("Left", Pt(x));
  box.put("Top", Pt(y));
  box.get("Line").put("Visible", 0);
  box.get("Fill").put("Visible", 0);
  box.get("TextFrame").get("TextRange").put("Text", text);
}

void AddCross(const Variant& shapes, double x, double y) {
  AddLine(shapes, x - kArmMm, y, x + kArmMm, y);
  AddLine(shapes, x, y - kArmMm, x, y + kArmMm);
}

// Ticks every millimetre from the edge to the cross, longer at fives and tens, numbered by
// their distance from the edge.
void AddScales(const Variant& shapes) {
  for (int mm = 1; mm <= int(kCrossInsetMm); ++mm) {
    const double tick = mm % 10 == 0 ? 4 : mm % 5 == 0 ? 2.5 : 1.5;
    AddLine(shapes, mm, kCrossInsetMm + 2, mm, kCrossInsetMm + 2 + tick);
    AddLine(shapes, kCrossInsetMm + 2, mm, kCrossInsetMm + 2 + tick, mm);
  }
  for (int mm = 10; mm <= int(kCrossInsetMm); mm += 10) {
    AddText(shapes, mm - 4, kCrossInsetMm + 6.5, 10, 6, std::to_string(mm));
    AddText(shapes, kCrossInsetMm + 6.5, mm - 3, 10, 6, std::to_string(mm));
  }
}

std::string Instructions() {
  const std::string inset = Number(kCrossInsetMm);
  return "Лист калибровки принтера. Центры крестов отстоят от краёв листа на " + inset +
         " мм. Измерьте линейкой расстояние от левого края листа до вертикальной линии креста "
         "в левом верхнем углу и от верхнего края до его горизонтальной линии. Отклонение — "
         "измеренное минус " +
         inset +
         " мм: плюс, когда крест правее или ниже, минус — левее "
         "или выше. Введите отклонения в окне «Калибровка принтера».";
}

}  // namespace

TPrinterOffset ReadPrinterOffset(const std::string& printer) {
  try {
    const std::string key = KeyOf(printer);
    const auto x = OffsetValue(RegReadString(platform::RegRoot::LocalMachine, key, kOffsetX));
    const auto y = OffsetValue(RegReadString(platform::RegRoot::LocalMachine, key, kOffsetY));
    if (x && y) return {*x, *y};
  } catch (const platform::RegistryError&) {
  }
  return {};
}

void WritePrinterOffset(const std::string& printer, const TPrinterOffset& offset) {
  const std::string key = KeyOf(printer);
  RegWriteString(platform::RegRoot::LocalMachine, key, kOffsetX, Number(offset.X));
  RegWriteString(platform::RegRoot::LocalMachine, key, kOffsetY, Number(offset.Y));
}

std::vector<std::string> CalibratedPrinters() {
  std::vector<std::string> printers;
  const std::string key = std::string(SettingsKey) + "\\" + kPrintersKey;
  for (const std::string& name :
       platform::Registry::Instance().subKeyNames(platform::RegRoot::LocalMachine, key))
    printers.push_back(PrinterOfKey(name));
  return printers;
}

std::optional<TPrinterOffset> ParseOffset(const std::string& text) {
  const auto comma = text.find(',');
  if (comma == std::string::npos || text.find(',', comma + 1) != std::string::npos) return {};
  const auto x = OffsetValue(text.substr(0, comma)), y = OffsetValue(text.substr(comma + 1));
  if (!x || !y) return {};
  return TPrinterOffset{*x, *y};
}

std::string FormatOffset(const TPrinterOffset& offset) {
  return Number(offset.X) + "," + Number(offset.Y);
}

void ApplyPrinterOffsets(const Variant& application,
                         const std::optional<TPrinterOffset>& override) {
  try {
    const Variant options = application.get("Options");
    options.call("ClearPrinterOffsets");
    if (override) return Offer(options, "*", *override);
    for (const std::string& printer : CalibratedPrinters())
      Offer(options, printer, ReadPrinterOffset(printer));
  } catch (const std::exception&) {
    // Settings that cannot be read or a word processor without these members print as they
    // are; neither may keep an instance from starting or a page from printing.
  }
}

void ApplyPrinterOffsets(wordlink::TExtAppController& controller) {
  for (std::int32_t i = 0; i < controller.Count(); ++i) {
    const wordlink::TExtAppInstance* instance = controller.Instance(i);
    if (instance && instance->Kind == wordlink::kKindWord)
      ApplyPrinterOffsets(instance->Application);
  }
}

TPrinterOffset CorrectedOffset(const TPrinterOffset& current, const TPrinterOffset& deviation) {
  return {current.X - deviation.X, current.Y - deviation.Y};
}

void DrawCalibrationSheet(const Variant& doc) {
  Variant setup = doc.get("PageSetup");
  for (const char* margin : {"TopMargin", "BottomMargin", "LeftMargin", "RightMargin"})
    setup.put(margin, 0.0f);
  setup.put("PageWidth", Pt(kPageWidthMm));
  setup.put("PageHeight", Pt(kPageHeightMm));
  const Variant shapes = doc.get("Shapes");
  const double right = kPageWidthMm - kCrossInsetMm, bottom = kPageHeightMm - kCrossInsetMm;
  for (double x : {kCrossInsetMm, right})
    for (double y : {kCrossInsetMm, bottom}) AddCross(shapes, x, y);
  AddCross(shapes, kPageWidthMm / 2, kPageHeightMm / 2);
  AddScales(shapes);
  AddText(shapes, 45, 60, 120, 60, Instructions());
}

}  // namespace app
