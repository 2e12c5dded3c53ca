// Shared pieces of the package reader and writer: units, enumeration names, number handling
// that does not depend on the C locale (Qt sets the user's locale, whose decimal separator may
// be a comma), and the wording of errors.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "wordproc/core/Model.h"
#include "wordproc/core/Ooxml.h"
#include "wordproc/core/Units.h"

namespace wordproc::package {
class ZipReader;
}

namespace wordproc::ooxml {

// Nothing on a label sheet is larger than this; absurd values in a file are clamped to it.
inline constexpr double kMaxLengthPt = 28346.0;  // 10 m

inline constexpr const char* kNsW = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
inline constexpr const char* kNsR =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
inline constexpr const char* kNsWp =
    "http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing";
inline constexpr const char* kNsA = "http://schemas.openxmlformats.org/drawingml/2006/main";
inline constexpr const char* kNsPic = "http://schemas.openxmlformats.org/drawingml/2006/picture";
inline constexpr const char* kNsWps =
    "http://schemas.microsoft.com/office/word/2010/wordprocessingShape";
inline constexpr const char* kNsWpg =
    "http://schemas.microsoft.com/office/word/2010/wordprocessingGroup";
inline constexpr const char* kNsWp14 =
    "http://schemas.microsoft.com/office/word/2010/wordprocessingDrawing";
inline constexpr const char* kNsMc = "http://schemas.openxmlformats.org/markup-compatibility/2006";
inline constexpr const char* kNsV = "urn:schemas-microsoft-com:vml";
inline constexpr const char* kNsO = "urn:schemas-microsoft-com:office:office";
inline constexpr const char* kNsW10 = "urn:schemas-microsoft-com:office:word";
inline constexpr const char* kNsW14 = "http://schemas.microsoft.com/office/word/2010/wordml";
inline constexpr const char* kNsAsvg = "http://schemas.microsoft.com/office/drawing/2016/SVG/main";
// The blip extension that carries an SVG beside the blip's own pixels.
inline constexpr std::string_view kSvgBlipUri = "{96DAC541-7B7A-43D3-8B79-37D633B846F1}";

inline constexpr const char* kRelOfficeDocument =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument";
inline constexpr const char* kRelImage =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/image";
inline constexpr const char* kRelStyles =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles";
inline constexpr const char* kRelSettings =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/settings";
inline constexpr const char* kRelHeader =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/header";
inline constexpr const char* kRelFooter =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/footer";

inline constexpr const char* kTypeDocumentMain =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml";
inline constexpr const char* kTypeTemplateMain =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.template.main+xml";

// relativeFrom values, indexed by the enumeration value.
inline constexpr const char* kRelHNames[] = {"margin",       "page",         "column",
                                             "character",    "leftMargin",   "rightMargin",
                                             "insideMargin", "outsideMargin"};
inline constexpr const char* kRelVNames[] = {"margin",       "page",         "paragraph",
                                             "line",         "topMargin",    "bottomMargin",
                                             "insideMargin", "outsideMargin"};
// The same references in VML's mso-position-*-relative.
inline constexpr const char* kVmlRelHNames[] = {"margin",
                                                "page",
                                                "text",
                                                "char",
                                                "left-margin-area",
                                                "right-margin-area",
                                                "inner-margin-area",
                                                "outer-margin-area"};
inline constexpr const char* kVmlRelVNames[] = {"margin",
                                                "page",
                                                "text",
                                                "line",
                                                "top-margin-area",
                                                "bottom-margin-area",
                                                "inner-margin-area",
                                                "outer-margin-area"};

// ReadPackage with the errors naming displayName instead of the file read.
std::unique_ptr<Document> ReadPackageNamed(const std::string& path, const std::string& displayName,
                                           const PackageLimits& limits);
// Called with the name of each XML part the reader has parsed, before it reads it. Tests make the
// reader fail of its own fault on a sound file with it; the program passes none.
using PartHook = std::function<void(const std::string& partName)>;
// Reads the package of a zip already open.
std::unique_ptr<Document> ReadZip(package::ZipReader& zip, const PartHook& onPart = PartHook());
// A zip holding an OpenDocument file rather than an OOXML package.
bool IsOpenDocument(const package::ZipReader& zip);

std::string OpenErrorMessage(const std::string& file, const std::string& reason);
std::string SaveErrorMessage(const std::string& file, const std::string& reason);
std::string InternalReadMessage(const std::string& file, const std::string& what);

// Parses a decimal number ("12", "-3.5", "1e3") without locale; nullopt for anything else.
std::optional<double> ParseNumber(std::string_view text);
// A finite value clamped into [lo, hi]; NaN becomes the fallback.
double Clamp(double value, double lo, double hi, double fallback = 0.0);

// An enumerated attribute value kept from a file to be written back: letters and digits only,
// so it can stand in an attribute as it is.
bool IsToken(std::string_view text);

// Place of a sectPr child in the schema's sequence, for writing kept ones among ours; names
// the schema does not list come last.
int SectionElementRank(std::string_view name);

// Shortest decimal text for a point value, at most two decimals ("12", "7.25").
std::string FormatPoints(double value);

// ST_HexColor "RRGGBB"; nullopt for "auto" and malformed values.
std::optional<Rgb> ParseHexColor(std::string_view text);
std::string HexColor(Rgb color);

// DrawingML preset dash names. Several dash styles share a preset; the line cap tells them
// apart when the file came from us.
const char* DashPreset(DashStyle dash);
const char* DashCap(DashStyle dash);  // nullptr when the default cap is right
DashStyle DashFromPreset(std::string_view preset, std::string_view cap);
const char* VmlDashStyle(DashStyle dash);
DashStyle DashFromVml(std::string_view name);

// Sniffs the picture format from its first bytes: the content type and the usual extension,
// or nullopt when the bytes are not a picture format we know.
struct ImageFormat {
  const char* contentType;
  const char* extension;
};
std::optional<ImageFormat> SniffImage(const std::uint8_t* data, std::size_t size);

// The w:tblPr, w:tblGrid, w:trPr and w:tcPr of a table as written: every property explicit, so
// that readers without our styles set the table as we do. In full, with the file's own styles,
// the table's style and the conditional formats it takes are named too.
std::string TablePropertiesXml(const Table& table, bool full = false);
std::string RowPropertiesXml(const TableRow& row);
std::string CellPropertiesXml(const TableCell& cell);

// Replaces invalid UTF-8 by U+FFFD and drops characters XML 1.0 cannot carry.
std::string SanitizeXmlText(std::string_view text);

}  // namespace wordproc::ooxml
