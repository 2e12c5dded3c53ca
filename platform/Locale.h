// Date and time formats of the user's locale, in the program's picture notation: d, dd (day),
// M, MM (month), yy, yyyy (year), h, hh (hour, 12-hour when the picture has AM/PM), H, HH (hour,
// 24-hour), m, mm (minutes right after an hour or right before seconds, otherwise the month),
// s, ss, AM/PM (or am/pm), text in double or single quotes; any other character is itself.
#pragma once

#include <ctime>
#include <string>

namespace platform {

// From the locale of LC_TIME (nl_langinfo D_FMT / T_FMT), converted to picture notation.
std::string ShortDateFormat();
std::string LongTimeFormat();

// Converts a POSIX strftime pattern ("%d.%m.%Y") to picture notation ("dd.MM.yyyy").
std::string PictureFromStrftime(const std::string& pattern);

// Formats a local time with a picture.
std::string FormatDateTime(const std::string& picture, const std::tm& time);

}  // namespace platform
