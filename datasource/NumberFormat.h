// Numbers of spreadsheet cells shown as their number formats show them, the way a Russian
// spreadsheet displays them: decimal comma, a non-breaking space between thousands, dates
// day first.
#pragma once

#include <string>

namespace datasource {

// The format code of a built-in format number; "General" for numbers without a fixed code.
std::string BuiltinFormatCode(int id);

// The cell's displayed text. date1904 says which day serial number 0 is.
std::string FormatNumber(double value, const std::string& formatCode, bool date1904 = false);

}  // namespace datasource
