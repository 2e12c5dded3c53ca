// Glyph copies filled from label data: the merge fields a glyph carries, the labels a list
// fills, and one record written into one copy.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "datasource/DataSource.h"
#include "wordlink/Automation.h"

namespace cloning {

struct TCloneParam;
using TCloneParams = std::vector<TCloneParam>;

inline constexpr const char* kMergeCaption = "Данные для этикеток";

// A record that cannot fill its copy: the message names the file, the row and the field.
class TMergeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The field names of a glyph's merge fields (MERGEFIELD Имя, MERGEBARCODE Код QR), each once,
// in the order they are met in its shapes and groups.
std::vector<std::string> ReadMergeFieldNames(const wordlink::Variant& doc);

// The message for the fields the glyph uses that the data lacks; empty when it has them all.
std::string MissingFieldsMessage(const std::vector<std::string>& glyphFields,
                                 const datasource::TDataSource& data, const std::string& glyphFile);

// Writes the record into a copy (a shape or a group): a MERGEFIELD shows the value as plain text,
// a MERGEBARCODE becomes the barcode of the value. Throws TMergeError when the word processor
// refuses the value, naming the record and the field.
void MergeRecord(const wordlink::Variant& copy, const datasource::TDataSource& data,
                 const datasource::TRecord& record);

// The labels glyphs fill: a glyph with data its records times their counts, one without data
// sets times its count (at least one).
std::int64_t LabelCount(const TCloneParams& glyphs, std::int64_t sets);
bool HasData(const TCloneParams& glyphs);

// What a field code says: its keyword in capitals, the field name, and the rest (barcode type
// and switches) as written.
struct TFieldCode {
  std::string Keyword, Name, Rest;
};
TFieldCode ParseFieldCode(const std::string& code);

// The text in the letter case \* asks for: UPPER, LOWER, CAPS (each word capitalised) or
// FIRSTCAP; any other name leaves it as it is.
std::string ChangeLetterCase(const std::string& text, const std::string& how);

}  // namespace cloning
