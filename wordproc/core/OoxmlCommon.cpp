#include <algorithm>
#include <charconv>
#include <cstring>

#include "platform/Utf8.h"
#include "wordproc/core/OoxmlInternal.h"

#include "wordproc/core/Metafile.h"

namespace wordproc::ooxml {

std::string OpenErrorMessage(const std::string& file, const std::string& reason) {
  return "Не удалось открыть документ \"" + file + "\": " + reason;
}

std::string InternalReadMessage(const std::string& file, const std::string& what) {
  return "Внутренняя ошибка при чтении файла «" + file + "»: " + what;
}

std::string SaveErrorMessage(const std::string& file, const std::string& reason) {
  return "Не удалось сохранить документ \"" + file + "\": " + reason;
}

std::optional<double> ParseNumber(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc::result_out_of_range) {
    return text.front() == '-' ? -1e308 : 1e308;
  }
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

double Clamp(double value, double lo, double hi, double fallback) {
  if (std::isnan(value)) return fallback;
  if (value < lo) return lo;
  if (value > hi) return hi;
  return value;
}

bool IsToken(std::string_view text) {
  if (text.empty() || text.size() > 64) return false;
  return std::all_of(text.begin(), text.end(), [](unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  });
}

int SectionElementRank(std::string_view name) {
  static constexpr std::string_view kOrder[] = {
      "headerReference", "footnotePr",      "endnotePr",   "type",          "pgSz", "pgMar",
      "paperSrc",        "pgBorders",       "lnNumType",   "pgNumType",     "cols", "formProt",
      "vAlign",          "noEndnote",       "titlePg",     "textDirection", "bidi", "rtlGutter",
      "docGrid",         "printerSettings", "sectPrChange"};
  if (name == "footerReference") name = "headerReference";
  const auto* at = std::find(std::begin(kOrder), std::end(kOrder), name);
  return int(at - std::begin(kOrder));
}

std::string FormatPoints(double value) {
  value = Clamp(value, -1e9, 1e9);
  char buffer[64];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
  if (error != std::errc()) return "0";
  std::string text(buffer, end);
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  if (text == "-0") text = "0";
  return text;
}

std::optional<Rgb> ParseHexColor(std::string_view text) {
  if (!text.empty() && text.front() == '#') text.remove_prefix(1);
  if (text.size() != 6) return std::nullopt;
  Rgb value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + 6, value, 16);
  if (error != std::errc() || end != text.data() + 6) return std::nullopt;
  return value;
}

std::string HexColor(Rgb color) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text(6, '0');
  for (int i = 5; i >= 0; --i) {
    text[static_cast<std::size_t>(i)] = kDigits[color & 0xF];
    color >>= 4;
  }
  return text;
}

const char* DashPreset(DashStyle dash) {
  switch (dash) {
    case DashStyle::Solid:
      return "solid";
    case DashStyle::SquareDot:
      return "sysDash";
    case DashStyle::RoundDot:
      return "sysDot";
    case DashStyle::Dash:
      return "dash";
    case DashStyle::DashDot:
      return "dashDot";
    case DashStyle::DashDotDot:
      return "sysDashDotDot";
    case DashStyle::LongDash:
      return "lgDash";
    case DashStyle::LongDashDot:
      return "lgDashDot";
    case DashStyle::LongDashDotDot:
      return "lgDashDotDot";
    case DashStyle::SysDash:
      return "sysDash";
    case DashStyle::SysDot:
      return "sysDot";
    case DashStyle::SysDashDot:
      return "sysDashDot";
  }
  return "solid";
}

const char* DashCap(DashStyle dash) {
  // Round dots are dots because of their round caps; a flat cap marks the plain system dash,
  // which shares its preset with the square dot.
  if (dash == DashStyle::RoundDot) return "rnd";
  if (dash == DashStyle::SysDash) return "flat";
  return nullptr;
}

DashStyle DashFromPreset(std::string_view preset, std::string_view cap) {
  if (preset == "solid") return DashStyle::Solid;
  if (preset == "dash") return DashStyle::Dash;
  if (preset == "dashDot") return DashStyle::DashDot;
  if (preset == "lgDash") return DashStyle::LongDash;
  if (preset == "lgDashDot") return DashStyle::LongDashDot;
  if (preset == "lgDashDotDot") return DashStyle::LongDashDotDot;
  if (preset == "sysDash") return cap == "flat" ? DashStyle::SysDash : DashStyle::SquareDot;
  if (preset == "sysDot") return cap == "rnd" ? DashStyle::RoundDot : DashStyle::SysDot;
  if (preset == "sysDashDot") return DashStyle::SysDashDot;
  if (preset == "sysDashDotDot") return DashStyle::DashDotDot;
  if (preset == "dot") return DashStyle::RoundDot;
  return DashStyle::Solid;
}

// The names of the VML schema, in lower case: LibreOffice's reader, on the way to a Word 97
// file, knows no others and draws the line solid.
const char* VmlDashStyle(DashStyle dash) {
  switch (dash) {
    case DashStyle::Solid:
      return "solid";
    case DashStyle::SquareDot:
      return "1 1";
    case DashStyle::RoundDot:
      return "dot";
    case DashStyle::Dash:
      return "dash";
    case DashStyle::DashDot:
      return "dashdot";
    case DashStyle::DashDotDot:
      return "shortdashdotdot";
    case DashStyle::LongDash:
      return "longdash";
    case DashStyle::LongDashDot:
      return "longdashdot";
    case DashStyle::LongDashDotDot:
      return "longdashdotdot";
    case DashStyle::SysDash:
      return "shortdash";
    case DashStyle::SysDot:
      return "shortdot";
    case DashStyle::SysDashDot:
      return "shortdashdot";
  }
  return "solid";
}

DashStyle DashFromVml(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (lower == "1 1") return DashStyle::SquareDot;
  if (lower == "dot") return DashStyle::RoundDot;
  if (lower == "dash") return DashStyle::Dash;
  if (lower == "dashdot") return DashStyle::DashDot;
  if (lower == "shortdashdotdot") return DashStyle::DashDotDot;
  if (lower == "longdash") return DashStyle::LongDash;
  if (lower == "longdashdot") return DashStyle::LongDashDot;
  if (lower == "longdashdotdot") return DashStyle::LongDashDotDot;
  if (lower == "shortdash") return DashStyle::SysDash;
  if (lower == "shortdot") return DashStyle::SysDot;
  if (lower == "shortdashdot") return DashStyle::SysDashDot;
  if (lower.empty() || lower == "solid") return DashStyle::Solid;
  return DashStyle::Dash;  // a custom pattern of numbers
}

std::optional<ImageFormat> SniffImage(const std::uint8_t* d, std::size_t n) {
  auto starts = [&](const char* magic, std::size_t length) {
    return n >= length && std::memcmp(d, magic, length) == 0;
  };
  if (starts("\x89PNG\r\n\x1a\n", 8)) return ImageFormat{"image/png", "png"};
  if (starts("\xFF\xD8\xFF", 3)) return ImageFormat{"image/jpeg", "jpeg"};
  if (starts("GIF87a", 6) || starts("GIF89a", 6)) return ImageFormat{"image/gif", "gif"};
  if (starts("BM", 2) && n >= 26) return ImageFormat{"image/bmp", "bmp"};
  if (starts("II*\0", 4) || starts("MM\0*", 4)) return ImageFormat{"image/tiff", "tiff"};
  // Drawings pasted from other programs arrive as metafiles; they are pictures too.
  if (n >= 44 && d[0] == 1 && d[1] == 0 && d[2] == 0 && d[3] == 0 && d[40] == ' ' && d[41] == 'E' &&
      d[42] == 'M' && d[43] == 'F') {
    return ImageFormat{"image/x-emf", "emf"};
  }
  if (starts("\xD7\xCD\xC6\x9A", 4)) return ImageFormat{"image/x-wmf", "wmf"};
  if (metafile::KindOf(d, n) == metafile::Kind::Wmf) return ImageFormat{"image/x-wmf", "wmf"};
  if (metafile::LooksLikeSvg(d, n)) return ImageFormat{"image/svg+xml", "svg"};
  return std::nullopt;
}

namespace {

// Of the control characters XML 1.0 carries these three only; the others are left out.
bool IsXmlControl(char32_t c) {
  return c < 0x20 && c != '\t' && c != '\n' && c != '\r';
}

// XML 1.0 cannot carry U+FFFE and U+FFFF either; they are replaced like invalid bytes.
bool IsXmlNonCharacter(char32_t c) {
  return c == 0xFFFE || c == 0xFFFF;
}

}  // namespace

std::string SanitizeXmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  static const char kReplacement[] = "\xEF\xBF\xBD";
  for (std::size_t i = 0; i < text.size();) {
    const platform::Utf8Char c = platform::DecodeUtf8(text, i);
    if (!c.valid || IsXmlNonCharacter(c.codePoint)) {
      out += kReplacement;
    } else if (!IsXmlControl(c.codePoint)) {
      out.append(text.data() + i, c.length);
    }
    i += c.length;
  }
  return out;
}

}  // namespace wordproc::ooxml
