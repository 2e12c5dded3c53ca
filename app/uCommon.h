// Process-wide state and the small helpers every part of the program shares: the data and
// program folders, the glyph types, settings in the registry, unique and temporary file names,
// the debug log and the date format.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/uPreviewList.h"
#include "clone/uClone.h"
#include "platform/Guard.h"
#include "platform/Registry.h"
#include "wordlink/uExtAppController.h"
#include "wordlink/uExtAppDocument.h"

namespace app {

struct TGlyphType {
  std::string Name;
  std::int32_t Width = 0;   // millimetres
  std::int32_t Height = 0;  // millimetres
  bool Oval = false;
  std::string Category;

  bool operator==(const TGlyphType&) const = default;
};

using cloning::TPaperSize;

inline constexpr std::int32_t GlyphMargin = 0;
// Glyph pages have always been sized with this rounded factor (an A4 glyph is 595.35 points wide,
// not 595.28), and the documents and sheets made from them keep those sizes; lengths elsewhere go
// through platform::kPointsPerMillimetre.
inline constexpr float PointsPerMm = 2.835f;
inline constexpr const char* AppTitle = platform::kAppTitle;
inline constexpr const char* SettingsKey = "Software\\Varnel\\Stampora";
inline constexpr const char* GlyphTypesFileName = "glyph_types.ini";

extern std::string DataFolder;  // ends with the path separator
extern std::string AppFolder;   // ends with the path separator
extern std::vector<TGlyphType> GlyphTypes;
using cloning::PaperSizes;
extern std::unique_ptr<wordlink::TExtAppController> AppController;
// The catalogue entry list: made by the first fill of a catalogue grid, freed with the main
// window.
extern std::unique_ptr<catalogue::TPreviewList> PreviewList;
// The date and time pictures every date-to-text conversion of the program uses.
extern std::string ShortDateFormat;
extern std::string LongTimeFormat;
using wordlink::DocumentsSaved;
using wordlink::PrintingFromProgram;

// Glyph types from the raw bytes of a glyph_types.ini: one type per line (CR LF, CR or LF),
// text up to the first NUL; UTF-8, or Windows-1251 when the bytes are not valid UTF-8. No
// lines give the single standard type.
std::vector<TGlyphType> ParseGlyphTypes(const std::string& bytes);
// The same from a file; a file that cannot be read counts as having no lines.
std::vector<TGlyphType> LoadGlyphTypes(const std::string& path);
TGlyphType ParseGlyphTypeLine(const std::string& line);
std::string DefaultGlyphTypeLine();

// Registry access. RegReadString: empty when the key or value is absent; a value that is not
// text raises platform::RegistryError. RegWriteString raises when it cannot write.
std::string RegReadString(platform::RegRoot root, const std::string& key, const std::string& name);
void RegWriteString(platform::RegRoot root, const std::string& key, const std::string& name,
                    const std::string& value);
std::string ReadSetting(const std::string& name);
void WriteSetting(const std::string& name, const std::string& value);

// Index of the first item equal to text ignoring letter case, else 0 when there are items,
// else -1.
int SelectComboText(const std::vector<std::string>& items, const std::string& text);

// The wished name or the first free of name1.ext ... name9999.ext; empty when all are taken.
std::string MakeUniqueFileName(const std::string& wished);

// The temporary folder, ending with the separator: the program's private one.
std::string GetTempFolder();
// Creates a new empty temporary file (prefix + hex digits + ".tmp") in the folder (the
// temporary folder when empty) and returns its full path.
std::string MakeTempFileName(const std::string& prefix, const std::string& folder);

// Appends "date time: message" to debug.log in the program folder; failures are ignored.
void WriteDebugLog(const std::string& message);
// Two-digit years: a format ending in "yyyy" loses its last two characters.
std::string AdjustShortDateFormat(const std::string& format);

// Windows-1251 bytes to UTF-8.
std::string Cp1251ToUtf8(const std::string& bytes);

// Lower-case for ASCII and Cyrillic letters of UTF-8 text, for comparisons ignoring case.
std::string LowerText(const std::string& text);
bool SameTextIgnoringCase(const std::string& a, const std::string& b);

// Folders with a trailing separator.
std::string IncludeTrailingSeparator(const std::string& path);

}  // namespace app
