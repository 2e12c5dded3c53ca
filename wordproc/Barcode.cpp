#include "wordproc/Barcode.h"

#include <zint.h>

#include <QFont>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <list>
#include <mutex>
#include <unordered_map>

namespace wordproc {

namespace {

constexpr double kModule = 1.0;          // points of one narrow bar at \s 100
constexpr double kLinearHeight = 36.0;   // points, without \h
constexpr double kQrModule = 2.0;        // points of one QR module at \s 100
constexpr double kUnitsPerModule = 2.0;  // zint's vector units per module
constexpr std::size_t kCachedSymbols = 512;

struct TypeInfo {
  const char* name;
  int symbology;
};

const TypeInfo kTypes[] = {
    {"QR", BARCODE_QRCODE},        {"EAN13", BARCODE_EANX},    {"JAN13", BARCODE_EANX},
    {"EAN8", BARCODE_EANX},        {"JAN8", BARCODE_EANX},     {"UPCA", BARCODE_UPCA},
    {"UPCE", BARCODE_UPCE},        {"CODE39", BARCODE_CODE39}, {"CODE128", BARCODE_CODE128},
    {"NW7", BARCODE_CODABAR},      {"ITF14", BARCODE_ITF14},   {"CASE", BARCODE_ITF14},
    {"JPPOST", BARCODE_JAPANPOST},
};

std::string Upper(std::string text) {
  for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

const TypeInfo* TypeOf(const std::string& name) {
  const std::string upper = Upper(name);
  for (const TypeInfo& t : kTypes)
    if (upper == t.name) return &t;
  return nullptr;
}

bool AllDigits(const std::string& text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The check digit of GS1 numbers (EAN, UPC, ITF-14) over the digits before it.
char CheckDigit(const std::string& digits) {
  int sum = 0;
  for (std::size_t k = 0; k < digits.size(); ++k) {
    const int weight = (digits.size() - k) % 2 == 1 ? 3 : 1;
    sum += (digits[k] - '0') * weight;
  }
  return char('0' + (10 - sum % 10) % 10);
}

// The digit counts the GS1 types take: without and with their check digit.
std::optional<std::pair<std::size_t, std::size_t>> DigitCounts(const std::string& type) {
  if (type == "EAN13" || type == "JAN13") return std::pair<std::size_t, std::size_t>{12, 13};
  if (type == "EAN8" || type == "JAN8") return std::pair<std::size_t, std::size_t>{7, 8};
  if (type == "UPCA") return std::pair<std::size_t, std::size_t>{11, 12};
  if (type == "ITF14" || type == "CASE") return std::pair<std::size_t, std::size_t>{13, 14};
  return std::nullopt;
}

struct Request {
  const TypeInfo* type = nullptr;
  std::string typeName, data;
  std::optional<std::string> problem;
};

std::string Failure(const std::string& type, const std::string& data, const std::string& why) {
  return "Ошибка! Штрихкод " + type + " «" + data + "»: " + why;
}

// The digits of the two- or five-digit supplement \p SUP2 or SUP5 asks for, taken off the end
// of the data (or after a "+"); a problem when they are not there.
std::string TakeAddOn(const FieldInstruction& instruction, Request& r) {
  const FieldSwitch* style = instruction.find('p');
  if (!style || !style->hasArgument || r.typeName.rfind("ITF", 0) == 0 || r.typeName == "CASE" ||
      (!DigitCounts(r.typeName) && r.typeName != "UPCE"))
    return {};
  const std::string name = Upper(style->argument);
  const std::size_t digits = name == "SUP2" ? 2 : name == "SUP5" ? 5 : 0;
  if (digits == 0) return {};
  const std::string whole = r.data;
  std::string addOn;
  if (const std::size_t plus = r.data.find('+'); plus != std::string::npos) {
    addOn = r.data.substr(plus + 1);
    r.data.erase(plus);
  } else if (r.data.size() > digits) {
    addOn = r.data.substr(r.data.size() - digits);
    r.data.erase(r.data.size() - digits);
  }
  if (addOn.size() != digits || !AllDigits(addOn))
    r.problem = Failure(r.typeName, whole,
                        "дополнительный код " + name + " — это " +
                            (digits == 2 ? "2 цифры" : "5 цифр") + " в конце данных");
  return addOn;
}

// The data as zint takes it, after the checks of the digits the GS1 types need.
Request Prepare(const FieldInstruction& instruction) {
  Request r;
  r.data = instruction.arguments.empty() ? std::string() : instruction.arguments[0];
  r.typeName = instruction.arguments.size() > 1 ? Upper(instruction.arguments[1]) : std::string();
  r.type = TypeOf(r.typeName);
  if (!r.type) {
    r.problem = "Ошибка! Неизвестный тип штрихкода «" + r.typeName + "»";
    return r;
  }
  if (r.data.empty()) {
    r.problem = Failure(r.typeName, r.data, "нет данных");
    return r;
  }
  const std::string addOn = TakeAddOn(instruction, r);
  if (r.problem) return r;
  if (auto counts = DigitCounts(r.typeName)) {
    const auto [bare, full] = *counts;
    if (!AllDigits(r.data)) {
      r.problem = Failure(r.typeName, r.data, "допустимы только цифры");
    } else if (r.data.size() != bare && r.data.size() != full) {
      r.problem =
          Failure(r.typeName, r.data,
                  "нужно " + std::to_string(bare) + " или " + std::to_string(full) + " цифр");
    } else if (r.data.size() == full) {
      const char expected = CheckDigit(r.data.substr(0, bare));
      if (r.data.back() != expected && !instruction.has('x'))
        r.problem = Failure(r.typeName, r.data,
                            std::string("неверная контрольная цифра ") + r.data.back() +
                                ", должна быть " + expected);
      r.data = r.data.substr(0, bare);  // zint adds the check digit itself
    }
  }
  if (!addOn.empty()) r.data += "+" + addOn;  // zint's form of a supplement
  if (r.typeName == "NW7" && !r.data.empty() && !std::strchr("ABCDabcd", r.data.front()))
    r.data = "A" + r.data + "A";
  return r;
}

std::string ZintFailure(const Request& r, int code, const char* text) {
  switch (code) {
    case ZINT_ERROR_TOO_LONG:
      return Failure(r.typeName, r.data, "данные слишком длинные или неверной длины");
    case ZINT_ERROR_INVALID_DATA:
      return Failure(r.typeName, r.data, "недопустимые символы для этого типа");
    case ZINT_ERROR_INVALID_CHECK:
      return Failure(r.typeName, r.data, "неверная контрольная цифра");
    default:
      return Failure(r.typeName, r.data, std::string("не кодируется (") + text + ")");
  }
}

double SwitchNumber(const FieldInstruction& instruction, char name, double fallback) {
  const FieldSwitch* s = instruction.find(name);
  if (!s || !s->hasArgument) return fallback;
  char* end = nullptr;
  const double value = std::strtod(s->argument.c_str(), &end);
  return end != s->argument.c_str() && std::isfinite(value) ? value : fallback;
}

QColor SwitchColor(const FieldInstruction& instruction, char name, QColor fallback) {
  const FieldSwitch* s = instruction.find(name);
  if (!s || !s->hasArgument) return fallback;
  bool ok = false;
  std::string text = s->argument;
  if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) text = text.substr(2);
  const unsigned value = QString::fromStdString(text).toUInt(&ok, 16);
  return ok ? QColor::fromRgb(QRgb(value & 0xFFFFFF)) : fallback;
}

// The bytes a version 40 QR code holds in byte mode at the \q error level (0 is L, 3 is H).
std::size_t QrByteCapacity(const FieldInstruction& instruction) {
  constexpr std::size_t kCapacity[] = {2953, 2331, 1663, 1273};
  return kCapacity[int(std::clamp(SwitchNumber(instruction, 'q', 0), 0.0, 3.0))];
}

struct ZintSymbol {
  zint_symbol* symbol = ZBarcode_Create();
  ~ZintSymbol() { ZBarcode_Delete(symbol); }
};

void Configure(zint_symbol* s, const Request& r, const FieldInstruction& instruction,
               double module) {
  s->symbology = r.type->symbology;
  s->input_mode = DATA_MODE;  // UTF-8 bytes as they are: readers take QR text as UTF-8
  s->show_hrt = instruction.has('t') ? 1 : 0;
  s->scale = 1;
  if (r.type->symbology == BARCODE_QRCODE)
    s->option_1 = int(std::clamp(SwitchNumber(instruction, 'q', 0), 0.0, 3.0)) + 1;
  const double height = SwitchNumber(instruction, 'h', kLinearHeight * 20) / 20;
  if (r.type->symbology != BARCODE_QRCODE && r.type->symbology != BARCODE_JAPANPOST)
    s->height = float(std::clamp(height, 4.0, 2000.0) / module);
}

std::shared_ptr<BarcodeSymbol> Vectors(zint_symbol* s, double unit) {
  auto out = std::make_shared<BarcodeSymbol>();
  const zint_vector* v = s->vector;
  out->width = v->width * unit;
  out->height = v->height * unit;
  for (auto* r = v->rectangles; r; r = r->next)
    out->rectangles.emplace_back(r->x * unit, r->y * unit, r->width * unit, r->height * unit);
  for (auto* h = v->hexagons; h; h = h->next)
    out->hexagons.push_back({QPointF(h->x * unit, h->y * unit), h->diameter * unit});
  for (auto* c = v->circles; c; c = c->next)
    out->circles.push_back(
        {QPointF(c->x * unit, c->y * unit), c->diameter * unit, c->width * unit});
  for (auto* t = v->strings; t; t = t->next) {
    out->texts.push_back({QPointF(t->x * unit, t->y * unit), t->fsize * unit, t->width * unit,
                          t->halign,
                          QString::fromUtf8(reinterpret_cast<const char*>(t->text), t->length)});
  }
  return out;
}

struct Encoded {
  std::shared_ptr<BarcodeSymbol> symbol;
  std::optional<std::string> problem;
};

Encoded Encode(const FieldInstruction& instruction) {
  Request r = Prepare(instruction);
  if (r.problem) return {nullptr, r.problem};
  const bool qr = r.type->symbology == BARCODE_QRCODE;
  const double scale = std::clamp(SwitchNumber(instruction, 's', 100), 10.0, 1000.0) / 100;
  const double module = (qr ? kQrModule : kModule) * scale;
  ZintSymbol z;
  Configure(z.symbol, r, instruction, module);
  const int code = ZBarcode_Encode(z.symbol, reinterpret_cast<const unsigned char*>(r.data.data()),
                                   int(r.data.size()));
  if (code >= ZINT_ERROR) return {nullptr, ZintFailure(r, code, z.symbol->errtxt)};
  const int turns = int(std::lround(SwitchNumber(instruction, 'r', 0))) & 3;
  if (ZBarcode_Buffer_Vector(z.symbol, turns * 90) >= ZINT_ERROR || !z.symbol->vector)
    return {nullptr, ZintFailure(r, ZINT_ERROR_ENCODING_PROBLEM, z.symbol->errtxt)};
  double unit = module / kUnitsPerModule;
  // A QR code given a height is that tall, whatever its modules.
  if (qr && instruction.has('h') && z.symbol->vector->height > 0)
    unit = SwitchNumber(instruction, 'h', 1440) / 20 / z.symbol->vector->height;
  auto symbol = Vectors(z.symbol, unit);
  symbol->foreground = SwitchColor(instruction, 'f', Qt::black);
  symbol->background = SwitchColor(instruction, 'b', Qt::white);
  return {symbol, std::nullopt};
}

class SymbolCache {
 public:
  Encoded get(const std::string& instruction) {
    std::lock_guard lock(mutex_);
    if (auto found = map_.find(instruction); found != map_.end()) {
      order_.splice(order_.begin(), order_, found->second.second);
      return found->second.first;
    }
    Encoded made = Encode(ParseFieldInstruction(instruction));
    order_.push_front(instruction);
    map_[instruction] = {made, order_.begin()};
    if (map_.size() > kCachedSymbols) {
      map_.erase(order_.back());
      order_.pop_back();
    }
    return made;
  }

 private:
  std::mutex mutex_;
  std::list<std::string> order_;
  std::unordered_map<std::string, std::pair<Encoded, std::list<std::string>::iterator>> map_;
};

SymbolCache& Cache() {
  static SymbolCache cache;
  return cache;
}

}  // namespace

std::optional<std::string> BarcodeProblem(const FieldInstruction& instruction) {
  if (instruction.name != "DISPLAYBARCODE") return std::nullopt;
  // Choosing a QR code's mask is most of its encoding, and data that fits byte mode at its
  // error level always encodes: a sheet of distinct codes need not encode each one twice,
  // once to check it and once to draw it.
  const Request r = Prepare(instruction);
  if (r.problem) return r.problem;
  if (r.type->symbology == BARCODE_QRCODE && r.data.size() <= QrByteCapacity(instruction))
    return std::nullopt;
  return Encode(instruction).problem;
}

std::shared_ptr<const BarcodeSymbol> BarcodeOf(const FieldCode& code) {
  if (code.error) return nullptr;
  const std::size_t begin = code.instruction.find_first_not_of(" \t");
  if (begin == std::string::npos) return nullptr;
  const std::string name = Upper(code.instruction.substr(begin, 14));
  if (name != "DISPLAYBARCODE") return nullptr;
  return Cache().get(code.instruction).symbol;
}

void DrawBarcode(QPainter& painter, const BarcodeSymbol& symbol, QPointF topLeft) {
  painter.save();
  painter.translate(topLeft);
  painter.setPen(Qt::NoPen);
  painter.fillRect(QRectF(0, 0, symbol.width, symbol.height), symbol.background);
  painter.setBrush(symbol.foreground);
  for (const QRectF& r : symbol.rectangles) painter.drawRect(r);
  for (const auto& h : symbol.hexagons) {
    QPainterPath path;
    const double radius = h.diameter / 2;
    for (int k = 0; k < 6; ++k) {
      const double angle = M_PI / 3 * k + M_PI / 6;
      QPointF corner = h.centre + QPointF(radius * std::cos(angle), radius * std::sin(angle));
      if (k == 0)
        path.moveTo(corner);
      else
        path.lineTo(corner);
    }
    path.closeSubpath();
    painter.drawPath(path);
  }
  for (const auto& c : symbol.circles) {
    const double r = c.diameter / 2;
    if (c.width > 0) {
      painter.setBrush(Qt::NoBrush);
      painter.setPen(QPen(symbol.foreground, c.width));
    }
    painter.drawEllipse(c.centre, r, r);
    painter.setPen(Qt::NoPen);
    painter.setBrush(symbol.foreground);
  }
  painter.setPen(symbol.foreground);
  for (const auto& t : symbol.texts) {
    QFont font("Liberation Sans");
    const int dpi = painter.device() ? painter.device()->logicalDpiY() : 72;
    font.setPointSizeF(std::max(1.0, t.height) * 72.0 / std::max(dpi, 1));
    painter.setFont(font);
    const double width = QFontMetricsF(font).horizontalAdvance(t.text);
    const double x = t.align == 1   ? t.baseline.x()
                     : t.align == 2 ? t.baseline.x() - width
                                    : t.baseline.x() - width / 2;
    painter.drawText(QPointF(x, t.baseline.y()), t.text);
  }
  painter.restore();
}

}  // namespace wordproc
