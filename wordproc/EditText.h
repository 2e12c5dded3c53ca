// Paragraphs of a document shown in a QTextDocument for editing in place, and read back from
// it. Text keeps its fonts, sizes, weights, slants, colours and alignment; inline pictures ride
// along as images; paragraph spacing, which the editor does not offer, is kept.
#pragma once

#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <vector>

#include "wordproc/core/Model.h"

namespace wordproc {

// The zoom of the window editing the text: font sizes grow by fontScale, lengths in points
// become pixelsPerPoint pixels.
struct TextScale {
  double fontScale = 1;
  double pixelsPerPoint = 96.0 / 72.0;
};

QTextCharFormat CharFormatOf(const RunFormat& format, double fontScale);
// Properties the character format leaves unset come from fallback; sizes are kept to the half
// points a file can hold.
RunFormat RunFormatOf(const QTextCharFormat& format, double fontScale, const RunFormat& fallback);

void LoadParagraphs(QTextDocument& doc, const std::vector<Paragraph>& paragraphs,
                    const TextScale& scale);
// The first block that came from a loaded paragraph gets its id, spacing and its inline
// pictures that are still there; blocks the user made have id 0. Fields inserted while editing
// (InsertFieldText) are found among added.
std::vector<Paragraph> ReadParagraphs(const QTextDocument& doc,
                                      const std::vector<Paragraph>& loaded, const TextScale& scale,
                                      const std::vector<const RunFormat*>& added = {});

// The field whose result holds the character after the cursor (or before it, at the end of a
// field): the address of its FieldCode as the text carries it, 0 where there is none.
qulonglong FieldAt(const QTextCursor& cursor);
// Selects the whole result of the field at the cursor; false where there is none.
bool SelectField(QTextCursor& cursor);
// Puts a field's result at the cursor, in place of any selection, in the format around it;
// field's format must outlive the editing and be given to ReadParagraphs among the added ones.
// The cursor ends after the field, typing there in plain text.
void InsertFieldText(QTextCursor& cursor, const RunFormat& field, const std::string& result);

// The same text in the same formats, however it is cut into runs, ids aside.
bool SameText(const std::vector<Paragraph>& a, const std::vector<Paragraph>& b);

}  // namespace wordproc
