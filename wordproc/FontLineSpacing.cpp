#include "wordproc/FontLineSpacing.h"

#include <QByteArray>
#include <QFontMetricsF>
#include <QRawFont>
#include <algorithm>
#include <cstdint>

namespace wordproc {

namespace {

std::int64_t Signed16(const QByteArray& table, int at) {
  return std::int16_t(std::uint16_t((std::uint8_t(table[at]) << 8) | std::uint8_t(table[at + 1])));
}

}  // namespace

double FontFileLineSpacing(const QFont& font) {
  const QRawFont raw = QRawFont::fromFont(font);
  const QByteArray head = raw.fontTable("head"), hhea = raw.fontTable("hhea");
  const QByteArray os2 = raw.fontTable("OS/2");
  const QFontMetricsF metrics(font);
  if (head.size() < 20 || hhea.size() < 10) return metrics.lineSpacing();
  const double unitsPerEm = double(Signed16(head, 18) & 0xFFFF);
  std::int64_t ascent = Signed16(hhea, 4), descent = Signed16(hhea, 6), gap = Signed16(hhea, 8);
  const bool useTypo = os2.size() >= 78 && (Signed16(os2, 62) & 0x80) != 0;
  if (useTypo) ascent = Signed16(os2, 68), descent = Signed16(os2, 70), gap = Signed16(os2, 72);
  if (ascent == 0 && descent == 0 && os2.size() >= 78) {
    ascent = Signed16(os2, 74) & 0xFFFF, descent = -(Signed16(os2, 76) & 0xFFFF), gap = 0;
  }
  const double units = double(ascent - descent + std::max<std::int64_t>(gap, 0));
  if (unitsPerEm < 16 || units <= 0) return metrics.lineSpacing();
  return units / unitsPerEm * raw.pixelSize();
}

}  // namespace wordproc
