// Text files of lists come in UTF-8 (with or without a byte order mark), in UTF-16 as some
// spreadsheets save "Unicode text", or in Windows-1251 from older Russian programs.
#pragma once

#include <string>
#include <string_view>

namespace datasource {

bool IsValidUtf8(std::string_view bytes);
// Windows-1251 bytes as UTF-8.
std::string Cp1251ToUtf8(std::string_view bytes);
// The bytes as UTF-8 text without a byte order mark: UTF-16 when a mark says so, UTF-8 when the
// bytes are valid UTF-8, Windows-1251 otherwise.
std::string DecodeText(std::string_view bytes);
// Appends the code point's UTF-8 bytes.
void AppendUtf8(std::string& out, char32_t code);

}  // namespace datasource
