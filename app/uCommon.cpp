#include "app/uCommon.h"

#include <unistd.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <sstream>

#include "catalogue/uCatalogueViews.h"
#include "platform/Files.h"
#include "platform/Locale.h"
#include "platform/Utf8.h"

namespace app {

std::string DataFolder;
std::string AppFolder;
std::vector<TGlyphType> GlyphTypes;
std::unique_ptr<wordlink::TExtAppController> AppController;
std::unique_ptr<catalogue::TPreviewList> PreviewList;
std::string ShortDateFormat = "dd.MM.yy";
std::string LongTimeFormat = "HH:mm:ss";

namespace {

// Cuts the text before the first comma and drops it with the comma; without a comma the field
// is empty and the rest stays as it was.
std::string CutField(std::string& rest) {
  auto comma = rest.find(',');
  if (comma == std::string::npos) return {};
  std::string field = rest.substr(0, comma);
  rest.erase(0, comma + 1);
  return field;
}

// An integer as the system's string-to-integer conversion reads it, or the default.
std::int32_t IntOrDefault(const std::string& text, std::int32_t def) {
  std::string t = text;
  while (!t.empty() && t.front() == ' ') t.erase(0, 1);
  if (t.empty()) return def;
  std::size_t i = 0;
  bool negative = false;
  if (t[0] == '+' || t[0] == '-') negative = t[i++] == '-';
  if (i >= t.size()) return def;
  long long value = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return def;
    value = value * 10 + (t[i] - '0');
    if (value > 2147483648LL) return def;
  }
  if (negative) value = -value;
  if (value > 2147483647LL) return def;
  return std::int32_t(value);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t end = text.find_first_of("\r\n", i);
    if (end == std::string::npos) {
      lines.push_back(text.substr(i));
      break;
    }
    lines.push_back(text.substr(i, end - i));
    i = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
  return lines;
}

// Windows-1251 upper half as Unicode code points.
const char16_t kCp1251[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039,
    0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408,
    0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB,
    0x0458, 0x0405, 0x0455, 0x0457, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423,
    0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B,
    0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F};

std::string NowText() {
  std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  return platform::FormatDateTime(ShortDateFormat, local) + " " +
         platform::FormatDateTime(LongTimeFormat, local);
}

}  // namespace

std::string DefaultGlyphTypeLine() {
  return "Стандартный," + std::to_string(210 - GlyphMargin) + "," +
         std::to_string(297 - GlyphMargin) + ",0";
}

TGlyphType ParseGlyphTypeLine(const std::string& line) {
  std::string rest = line;
  TGlyphType t;
  t.Name = CutField(rest);
  t.Width = IntOrDefault(CutField(rest), 210 - GlyphMargin);
  t.Height = IntOrDefault(CutField(rest), 297 - GlyphMargin);
  t.Oval = rest == "1";
  auto comma = rest.find(',');
  t.Category = comma == std::string::npos ? rest : rest.substr(comma + 1);
  return t;
}

std::vector<TGlyphType> ParseGlyphTypes(const std::string& bytes) {
  std::string text = bytes.substr(0, bytes.find('\0'));
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  if (!platform::IsValidUtf8(text)) text = Cp1251ToUtf8(text);
  std::vector<std::string> lines = SplitLines(text);
  if (lines.empty()) lines.push_back(DefaultGlyphTypeLine());
  std::vector<TGlyphType> types;
  for (const std::string& line : lines) types.push_back(ParseGlyphTypeLine(line));
  return types;
}

std::vector<TGlyphType> LoadGlyphTypes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes;
  if (in) {
    std::ostringstream ss;
    ss << in.rdbuf();
    if (!in.bad()) bytes = ss.str();
  }
  return ParseGlyphTypes(bytes);
}

std::string RegReadString(platform::RegRoot root, const std::string& key, const std::string& name) {
  auto value = platform::Registry::Instance().read(root, key, name);
  if (!value) return {};
  if (value->type == platform::RegType::Number)
    throw platform::RegistryError("Неверный тип данных параметра реестра \"" + name + "\"");
  return value->text.substr(0, value->text.find('\0'));
}

void RegWriteString(platform::RegRoot root, const std::string& key, const std::string& name,
                    const std::string& value) {
  platform::RegValue v;
  v.type = platform::RegType::String;
  v.text = value;
  platform::Registry::Instance().write(root, key, name, v);
}

std::string ReadSetting(const std::string& name) {
  return RegReadString(platform::RegRoot::LocalMachine, SettingsKey, name);
}

void WriteSetting(const std::string& name, const std::string& value) {
  RegWriteString(platform::RegRoot::LocalMachine, SettingsKey, name, value);
}

int SelectComboText(const std::vector<std::string>& items, const std::string& text) {
  for (std::size_t i = 0; i < items.size(); ++i)
    if (SameTextIgnoringCase(items[i], text)) return int(i);
  return items.empty() ? -1 : 0;
}

std::string MakeUniqueFileName(const std::string& wished) {
  auto sep = wished.find_last_of("/\\");
  auto dot = wished.find_last_of('.');
  if (dot != std::string::npos && sep != std::string::npos && dot < sep) dot = std::string::npos;
  std::string stem = dot == std::string::npos ? wished : wished.substr(0, dot);
  std::string ext = dot == std::string::npos ? "" : wished.substr(dot);
  for (int n = 0; n < 10000; ++n) {
    std::string candidate = n == 0 ? wished : stem + std::to_string(n) + ext;
    if (!platform::FileExists(candidate) && !platform::DirectoryExists(candidate)) return candidate;
  }
  return {};
}

std::string GetTempFolder() {
  return platform::PrivateTempFolder();
}

std::string MakeTempFileName(const std::string& prefix, const std::string& folder) {
  std::string dir = folder.empty() ? GetTempFolder() : folder;
  while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
  return platform::CreateTempFile(dir, prefix);
}

void WriteDebugLog(const std::string& message) {
  try {
    std::ofstream out(AppFolder + "debug.log", std::ios::app | std::ios::binary);
    if (out) out << NowText() << ": " << message << "\n";
  } catch (...) {
  }
}

std::string AdjustShortDateFormat(const std::string& format) {
  const std::string tail = "yyyy";
  if (format.size() >= tail.size() && format.compare(format.size() - 4, 4, tail) == 0)
    return format.substr(0, format.size() - 2);
  return format;
}

std::string Cp1251ToUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes)
    platform::AppendUtf8(out, c < 0x80 ? char32_t(c) : kCp1251[c - 0x80]);
  return out;
}

std::string LowerText(const std::string& text) {
  return catalogue::LowerText(text);
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
  return catalogue::SameTextIgnoringCase(a, b);
}

std::string IncludeTrailingSeparator(const std::string& path) {
  if (!path.empty() && path.back() == platform::kPathSep) return path;
  return path + platform::kPathSep;
}

}  // namespace app
