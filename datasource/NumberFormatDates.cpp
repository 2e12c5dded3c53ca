#include <cmath>
#include <cstdint>

#include "datasource/NumberFormatParts.h"

namespace datasource {

namespace {

constexpr double kLastSerial = 2958465.99999;  // 9999-12-31

const char* const kMonthsShort[] = {"янв", "фев", "мар", "апр", "май", "июн",
                                    "июл", "авг", "сен", "окт", "ноя", "дек"};
const char* const kMonths[] = {"январь", "февраль", "март",     "апрель",  "май",    "июнь",
                               "июль",   "август",  "сентябрь", "октябрь", "ноябрь", "декабрь"};
const char* const kMonthsOfDay[] = {"января",   "февраля", "марта",  "апреля",
                                    "мая",      "июня",    "июля",   "августа",
                                    "сентября", "октября", "ноября", "декабря"};
const char* const kDaysShort[] = {"Пн", "Вт", "Ср", "Чт", "Пт", "Сб", "Вс"};
const char* const kDays[] = {"понедельник", "вторник", "среда",      "четверг",
                             "пятница",     "суббота", "воскресенье"};

struct TMoment {
  std::int64_t year = 1900;
  int month = 1, day = 1, weekday = 0;  // weekday 0 is Monday
  std::int64_t days = 0;                // whole days of the serial, for elapsed times
  int hour = 0, minute = 0, second = 0;
};

// Days since 1970-01-01 to a civil date (the proleptic Gregorian calendar).
void CivilFromDays(std::int64_t z, TMoment& m) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  m.day = int(doy - (153 * mp + 2) / 5 + 1);
  m.month = int(mp < 10 ? mp + 3 : mp - 9);
  m.year = yoe + era * 400 + (m.month <= 2);
}

// The 1900 date system counts a 29 February 1900 that never was (serial 60); serials before it
// are one day later than the calendar would make them.
TMoment MomentOf(double serial, bool date1904) {
  TMoment m;
  std::int64_t days = std::int64_t(std::floor(serial));
  std::int64_t seconds = std::llround((serial - double(days)) * 86400.0);
  if (seconds >= 86400) {
    ++days;
    seconds -= 86400;
  }
  m.days = days;
  m.hour = int(seconds / 3600);
  m.minute = int(seconds / 60 % 60);
  m.second = int(seconds % 60);
  constexpr std::int64_t k1899_12_30 = -25569, k1904_01_01 = -24107;
  if (date1904) {
    CivilFromDays(k1904_01_01 + days, m);
  } else if (days == 60) {
    m.year = 1900, m.month = 2, m.day = 29;
  } else {
    CivilFromDays(k1899_12_30 + days + (days < 60 ? 1 : 0), m);
  }
  const std::int64_t epochDay = date1904 ? k1904_01_01 + days : k1899_12_30 + days;
  m.weekday = int(((epochDay % 7) + 7 + 3) % 7);  // 1970-01-01 was a Thursday
  return m;
}

std::string Padded(std::int64_t value, std::size_t width) {
  const std::string text = std::to_string(value);
  return text.size() < width ? std::string(width - text.size(), '0') + text : text;
}

// m and mm are minutes after hours or before seconds, months otherwise.
bool IsMinute(const std::vector<TFormatToken>& tokens, std::size_t at) {
  for (std::size_t i = at; i-- > 0;) {
    if (tokens[i].kind != TFormatToken::Date && tokens[i].kind != TFormatToken::Elapsed) continue;
    if (tokens[i].text[0] == 'h') return true;
    break;
  }
  for (std::size_t i = at + 1; i < tokens.size(); ++i) {
    if (tokens[i].kind != TFormatToken::Date && tokens[i].kind != TFormatToken::Elapsed) continue;
    return tokens[i].text[0] == 's';
  }
  return false;
}

struct TDateWriter {
  const std::vector<TFormatToken>& tokens;
  const TMoment& m;
  bool twelveHours = false, dayNumbers = false;

  std::string Month(std::size_t length) const {
    if (length <= 2) return Padded(m.month, length);
    if (length == 3) return kMonthsShort[m.month - 1];
    if (length == 4) return dayNumbers ? kMonthsOfDay[m.month - 1] : kMonths[m.month - 1];
    return std::string(kMonths[m.month - 1]).substr(0, 2);
  }

  std::string Date(std::size_t at) const {
    const std::string& run = tokens[at].text;
    const std::size_t n = run.size();
    switch (run[0]) {
      case 'y':
        return n <= 2 ? Padded(m.year % 100, 2) : Padded(m.year, 4);
      case 'd':
        return n <= 2 ? Padded(m.day, n) : n == 3 ? kDaysShort[m.weekday] : kDays[m.weekday];
      case 'h':
        return Padded(twelveHours ? (m.hour + 11) % 12 + 1 : m.hour, std::min<std::size_t>(n, 2));
      case 's':
        return Padded(m.second, std::min<std::size_t>(n, 2));
      default:
        return IsMinute(tokens, at) ? Padded(m.minute, std::min<std::size_t>(n, 2)) : Month(n);
    }
  }

  std::string Elapsed(const std::string& run) const {
    const std::int64_t hours = m.days * 24 + m.hour;
    if (run[0] == 'h') return Padded(hours, run.size());
    if (run[0] == 'm') return Padded(hours * 60 + m.minute, run.size());
    return Padded((hours * 60 + m.minute) * 60 + m.second, run.size());
  }

  std::string AmPm(const std::string& text) const {
    const bool pm = m.hour >= 12;
    return text == "A/P" ? (pm ? "P" : "A") : (pm ? "PM" : "AM");
  }
};

}  // namespace

std::string FormatDate(double value, const std::vector<TFormatToken>& tokens, bool date1904) {
  if (value < 0 || value > kLastSerial) return FormatGeneral(value);
  const TMoment moment = MomentOf(value, date1904);
  TDateWriter writer{tokens, moment};
  for (const TFormatToken& token : tokens) {
    writer.twelveHours = writer.twelveHours || token.kind == TFormatToken::AmPm;
    writer.dayNumbers = writer.dayNumbers || (token.kind == TFormatToken::Date &&
                                              token.text[0] == 'd' && token.text.size() <= 2);
  }
  std::string out;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const TFormatToken& token = tokens[i];
    switch (token.kind) {
      case TFormatToken::Date:
        out += writer.Date(i);
        break;
      case TFormatToken::Elapsed:
        out += writer.Elapsed(token.text);
        break;
      case TFormatToken::AmPm:
        out += writer.AmPm(token.text);
        break;
      case TFormatToken::General:
      case TFormatToken::Text:
        out += FormatGeneral(value);
        break;
      // A slash in a date stands for the locale's date separator.
      case TFormatToken::Number:
        out += token.text == "/" ? "." : token.text;
        break;
      default:
        out += token.text;
        break;
    }
  }
  return out;
}

}  // namespace datasource
