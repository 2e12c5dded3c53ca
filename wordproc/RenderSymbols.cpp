#include "wordproc/RenderSymbols.h"

#include <QFont>
#include <QFontInfo>
#include <QPen>
#include <QRawFont>
#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

#include "wordproc/core/SymbolFonts.h"

namespace wordproc {

namespace {

// The frame's and the cross's width as a share of the side, never thinner than a hairline.
constexpr double kBoxLine = 0.05, kThinnestLine = 0.25;
constexpr float kDefaultSize = 11.0f;
// Draws the characters of symbol fonts that are not installed, as LibreOffice does.
constexpr const char* kStandIn = "OpenSymbol";

// Whether the family itself is installed, not a stand-in fontconfig offers for it, and has the
// character.
bool DrawsItself(const std::string& family, char32_t code) {
  const QString name = QString::fromStdString(family);
  const QFont font(name);
  if (QFontInfo(font).family().compare(name, Qt::CaseInsensitive) != 0) return false;
  return QRawFont::fromFont(font).supportsCharacter(uint(code));
}

QString TextOf(char32_t code) {
  return QString::fromUcs4(&code, 1);
}

SymbolGlyph FindGlyph(const std::string& font, char32_t code) {
  // Symbol fonts are installed with their characters in the private use area.
  const bool known = IsKnownSymbolFont(font);
  const char32_t own = known && code <= 0xFF ? code + kSymbolFontBase : code;
  if (DrawsItself(font, own)) return {font, TextOf(own)};
  return {known ? kStandIn : font, TextOf(SymbolStandIn(font, code))};
}

}  // namespace

SymbolGlyph SymbolGlyphOf(const SymbolChar& symbol, const std::string& runFamily) {
  static std::mutex mutex;
  static std::map<std::pair<std::string, char32_t>, SymbolGlyph> found;
  auto key = std::make_pair(symbol.font.empty() ? runFamily : symbol.font, symbol.code);
  std::lock_guard lock(mutex);
  auto at = found.find(key);
  if (at == found.end()) at = found.emplace(key, FindGlyph(key.first, key.second)).first;
  return at->second;
}

std::optional<SymbolGlyph> SymbolFontText(const std::string& family, const std::string& text) {
  // Cheap for the usual run: no list of families is made for it.
  const std::string_view name = std::string_view(family).substr(0, family.find(';'));
  if (text.empty() || !IsKnownSymbolFont(name)) return std::nullopt;
  const std::string font(name);
  const std::u32string codes = QString::fromStdString(text).toStdU32String();
  const auto own = [](char32_t c) { return c >= 0x20 && c <= 0xFF ? c + kSymbolFontBase : c; };
  const auto inFont = [](char32_t c) {
    return c >= kSymbolFontBase + 0x20 && c <= kSymbolFontBase + 0xFF;
  };
  const auto first =
      std::find_if(codes.begin(), codes.end(), [&](char32_t c) { return inFont(own(c)); });
  if (first == codes.end() || SymbolGlyphOf({font, own(*first)}, font).family == font)
    return std::nullopt;
  std::u32string shown;
  for (const char32_t c : codes) shown += inFont(own(c)) ? SymbolStandIn(font, own(c)) : c;
  return SymbolGlyph{kStandIn, QString::fromStdU32String(shown)};
}

double CheckBoxSide(const FormCheckBox& box, float textSize) {
  if (box.size > 0) return box.size;
  return textSize > 0 ? textSize : kDefaultSize;
}

void DrawCheckBox(QPainter& painter, bool checked, double side, const QColor& color, double x,
                  double baseline) {
  const double line = std::max(kThinnestLine, side * kBoxLine);
  const QRectF box(x + line / 2, baseline + side * kBoxDescent - side + line / 2, side - line,
                   side - line);
  painter.save();
  painter.setPen(QPen(color, line, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(box);
  if (checked) {
    painter.drawLine(box.topLeft(), box.bottomRight());
    painter.drawLine(box.bottomLeft(), box.topRight());
  }
  painter.restore();
}

}  // namespace wordproc
