// Numbered and bulleted lists: the levels a list definition gives (w:abstractNum), the lists
// paragraphs refer to (w:num) and the labels counted for the paragraphs in reading order.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wordproc/core/Model.h"

namespace wordproc {

inline constexpr int kListLevels = 9;

struct ListLevel {
  int start = 1;
  std::string format = "decimal";  // w:numFmt: decimal, bullet, lowerRoman, russianLower, ...
  std::string text;                // w:lvlText: "%1.%2." or the bullet character
  char suffix = 't';
  bool legal = false;  // w:isLgl: the other levels' numbers shown in decimal
  // The level after whose use this one starts again (w:lvlRestart); -1: any higher level.
  int restartAfter = -1;
  std::optional<Indents> indents;  // the paragraph's indents when it does not give its own
  std::string font;                // of the label, when the level names one
  bool operator==(const ListLevel&) const = default;
};

struct ListDefinition {
  std::array<ListLevel, kListLevels> levels;
  bool operator==(const ListDefinition&) const = default;
};

struct ListInstance {
  int definition = 0;  // w:abstractNumId
  // Levels that start anew at this list's first paragraph (w:lvlOverride/w:startOverride).
  std::map<int, int> startOverrides;
  std::map<int, ListLevel> levelOverrides;  // levels this list defines itself
  bool operator==(const ListInstance&) const = default;
};

struct Numbering {
  std::map<int, ListDefinition> definitions;
  std::map<int, ListInstance> lists;  // by w:numId
  std::string part;                   // numbering.xml as written back

  const ListLevel* level(int numId, int level) const;
};

// The number n written in a w:numFmt format; formats not known are written in decimal.
std::string FormatListNumber(int n, std::string_view format);
// The mark of the nth footnote or endnote: as a list's number, or the symbols of "chicago".
std::string NoteNumberText(int n, const std::string& format);

// The character a bullet in a symbol font stands for, in Unicode: the symbol fonts map their
// bullets to the private use area, which other fonts do not draw.
std::string BulletText(std::string_view text, std::string_view font);

// Counts the list paragraphs in order and gives each its label. Lists that share a definition
// continue each other's numbers, unless a list starts anew.
void NumberParagraphs(std::vector<Paragraph>& paragraphs, const Numbering& numbering);

// Reads numbering.xml; definitions it cannot read are left out. Picture bullets are left out of
// the part kept for writing, as their pictures are not kept.
Numbering ReadNumbering(std::string_view xml);

}  // namespace wordproc
