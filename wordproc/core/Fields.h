// Fields of the text: where their results stand among the runs, what their instructions say
// (name, arguments, switches), and the values DATE, SEQ and the merge fields take, formatted as
// their switches ask. Plain C++; the object model and the windows work through it.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wordproc/core/Model.h"

namespace wordproc {

// WdFieldType numbers of the fields this word processor knows.
namespace field_type {
inline constexpr int kEmpty = -1;
inline constexpr int kSequence = 12;
inline constexpr int kNumPages = 26;
inline constexpr int kDate = 31;
inline constexpr int kQuote = 35;
inline constexpr int kTime = 32;
inline constexpr int kPage = 33;
inline constexpr int kMergeField = 59;
inline constexpr int kSectionPages = 66;
inline constexpr int kMergeBarcode = 98;
inline constexpr int kDisplayBarcode = 99;
}  // namespace field_type

// The WdFieldType of an instruction's field name (any case); kEmpty for names it does not know.
int FieldTypeOfName(std::string_view name);
// The field name of a WdFieldType ("MERGEFIELD"); empty for numbers it does not know.
std::string FieldNameOfType(int type);

struct FieldSwitch {
  char name = 0;  // '*', '#', '@', or the letter, lower case
  std::string argument;
  bool hasArgument = false;
};

// An instruction taken apart: "MERGEFIELD Name \* Upper" is MERGEFIELD, {Name}, {*: Upper}.
// Quoted arguments lose their quotes and the backslashes before quotes and backslashes.
struct FieldInstruction {
  std::string name;  // upper case
  std::vector<std::string> arguments;
  std::vector<FieldSwitch> switches;

  const FieldSwitch* find(char name) const;
  bool has(char name) const { return find(name) != nullptr; }
};

FieldInstruction ParseFieldInstruction(std::string_view instruction);
// An argument as an instruction holds it: quoted where it needs to be.
std::string QuoteFieldArgument(std::string_view value);

// The value as the \* (case, numbers in words), \# (number) and \@ (date) switches format it
// (DATE and TIME take their \@ picture in EvaluateField),
// with a merge field's \b and \f text around a value that is not empty; a value a numeric
// picture cannot read is left as it is.
std::string ApplyFieldFormat(const FieldInstruction& instruction, std::string value);
// Upper, Lower, FirstCap and Caps of \*, for Latin and Cyrillic letters.
std::string ChangeCase(std::string_view text, std::string_view how);
// A number by a numeric picture ("0.00", "# ##0", "0,00 руб."); the separator before the last
// run of zeros and hashes is the decimal one.
std::string FormatNumber(double value, std::string_view picture);
// Arabic, Roman, roman, ALPHABETIC and alphabetic of \* for numbers; empty for other names.
std::string NumberInWords(int value, std::string_view how);

struct DateTime {
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
DateTime CurrentDateTime();
// A date by a picture of \@: d dd ddd dddd M MM MMM MMMM yy yyyy H HH h hh m mm s ss AM/PM,
// text in apostrophes; month and day names are Russian.
std::string FormatDate(const DateTime& when, std::string_view picture);
// A date as lists give it: d.M.yyyy, d/M/yyyy or yyyy-MM-dd, a two-digit year below 30 in this
// century, with an optional time H:mm or H:mm:ss after it; none for anything else.
std::optional<DateTime> ParseDate(std::string_view text);

// The runs a field's result takes in a paragraph: [first, last), never empty.
struct FieldSpan {
  std::size_t paragraph = 0, first = 0, last = 0;
  FieldPtr code;
};

// The fields of the paragraphs in order: each run of consecutive runs sharing a FieldCode.
std::vector<FieldSpan> FieldsIn(const std::vector<Paragraph>& paragraphs);
std::vector<FieldSpan> FieldsIn(const std::vector<Paragraph>& paragraphs, std::size_t paragraph);
// The field whose result runs are these, found again after edits: the one with the code in the
// paragraph at the hint, else anywhere.
std::optional<FieldSpan> FindField(const std::vector<Paragraph>& paragraphs, const FieldCode* code,
                                   std::size_t hint);
std::string FieldResultText(const std::vector<Paragraph>& paragraphs, const FieldSpan& span);
// Gives the field one run of result text in the format of its first run. Returns the new span.
FieldSpan SetFieldResult(std::vector<Paragraph>& paragraphs, const FieldSpan& span,
                         std::string text, bool error = false);
// Gives the field a new instruction (a new FieldCode for its runs). Returns the new span.
FieldSpan SetFieldInstruction(std::vector<Paragraph>& paragraphs, const FieldSpan& span,
                              std::string instruction);
// Leaves the result as plain text.
void UnlinkField(std::vector<Paragraph>& paragraphs, const FieldSpan& span);
// Removes the field and its result.
void DeleteField(std::vector<Paragraph>& paragraphs, const FieldSpan& span);
// Gives each field a FieldCode of its own, so that text pasted twice holds two fields.
void GiveFieldsOwnCodes(std::vector<Paragraph>& paragraphs);
// A run in the format given that is the whole result of a new field.
Run NewFieldRun(const RunFormat& format, std::string instruction, std::string result);
// What a merge field shows before any merge: «Name».
std::string MergePlaceholder(const FieldInstruction& instruction);

// What an update makes of a field's result.
struct FieldValue {
  std::string text;
  bool error = false;
  bool changed = false;  // false: the result stays as it is
};

// The numbers of SEQ fields by identifier, counted in reading order.
class SequenceCounters {
 public:
  std::string next(const FieldInstruction& instruction);

 private:
  std::map<std::string, int> counters_;
};

// The check a barcode's data gets: the message saying why the type cannot encode it, or none.
using BarcodeCheck = std::function<std::optional<std::string>(const FieldInstruction&)>;

struct FieldContext {
  DateTime now = CurrentDateTime();
  SequenceCounters* sequences = nullptr;  // none: SEQ fields keep their results
  BarcodeCheck barcodeCheck;
};

FieldValue EvaluateField(const FieldCode& code, const std::string& currentResult,
                         FieldContext& context);

// Each field of the document in reading order: the body's paragraphs, each followed by the text
// of the shapes anchored to it (top to bottom, then left to right, group members in order).
// The visitor returns false to stop.
using FieldVisitor = std::function<bool(std::vector<Paragraph>& story, const FieldSpan& span)>;
void ForEachFieldInReadingOrder(Document& doc, const FieldVisitor& visit);

// Updates every field of the document; returns the number of fields whose update failed.
int UpdateDocumentFields(Document& doc, FieldContext& context);

// The fields of a shape's text and of its group members.
void ForEachShapeStory(Shape& shape, const std::function<void(std::vector<Paragraph>&)>& visit);

}  // namespace wordproc
