#include "wordproc/RenderText.h"

#include "wordproc/FontLineSpacing.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QRawFont>
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "wordproc/Barcode.h"
#include "wordproc/Render.h"
#include "wordproc/RenderPicture.h"
#include "wordproc/RenderSymbols.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/TextMeasure.h"
#include "wordproc/core/Units.h"

namespace wordproc {

namespace {

constexpr float kDefaultFontSize = 11.0f;
constexpr Rgb kFieldErrorColor = 0xFF0000;
// A footnote's mark is set superscript: smaller, its baseline raised by a share of the size of
// the text it stands in.
constexpr double kSuperscriptSize = 0.58, kSuperscriptRise = 0.33;

float UsableSize(float size) {
  return size > 0 ? size : kDefaultFontSize;
}

struct Style {
  QFont font;
  QFontMetricsF metrics;
  QColor color;
  double rise = 0;  // of the baseline, superscript marks
};

// A form field's check box is a piece of its own kind, empty or crossed.
enum class PieceKind { Word, Space, Picture, Break, Tab, Box, CheckedBox };

bool IsBox(PieceKind kind) {
  return kind == PieceKind::Box || kind == PieceKind::CheckedBox;
}

struct Piece {
  PieceKind kind = PieceKind::Word;
  QString text;
  int style = -1;
  const InlinePicture* picture = nullptr;
  double width = 0;
  std::shared_ptr<const BarcodeSymbol> barcode;  // a field's result drawn as its barcode
  double height = 0;                             // of a picture or barcode
};

struct Line {
  std::vector<Piece> pieces;
  double width = 0;  // to the end of the last word; trailing spaces do not count
  double pictureHeight = 0;
  bool endsParagraph = false;  // the last line, or one ended by a line break
  // Ended by a line break: justified all the same, as the word processor sets such lines.
  bool lineBreak = false;
  // Where the line begins from the column's left edge and the room it has: the indents.
  double offset = 0, room = 0;
};

// The painter's user space is points, so a font must measure its point size in user units
// whatever resolution the device has.
Style MakeStyle(const RunFormat& format, const QPaintDevice* device) {
  QFont font(QString::fromStdString(format.fontFamily));
  if (const auto families = FontFamilies(format.fontFamily); families.size() > 1) {
    QStringList names;
    for (const std::string& family : families) names << QString::fromStdString(family);
    font.setFamilies(names);
  }
  int dpi = device ? device->logicalDpiY() : 72;
  font.setPointSizeF(UsableSize(format.fontSize) * 72.0 / std::max(dpi, 1));
  font.setBold(format.bold);
  font.setItalic(format.italic);
  // Hinted advances depend on the device's pixels; unhinted ones break lines alike at any size.
  font.setHintingPreference(QFont::PreferNoHinting);
  return {font, QFontMetricsF(font, device), ToQColor(format.color), 0};
}

bool IsLineBreak(QChar c) {
  return c == u'\n' || c == u'\v' || c == u'\r' || c == QChar::LineSeparator;
}

bool IsSpace(QChar c) {
  return c == u' ';
}

using PieceSink = std::function<void(Piece)>;

void AddRunPieces(const QString& text, int style, const Style& s, const PieceSink& out) {
  qsizetype i = 0;
  while (i < text.size()) {
    if (IsLineBreak(text[i]) || text[i] == u'\t') {
      out({text[i] == u'\t' ? PieceKind::Tab : PieceKind::Break,
           {},
           style,
           nullptr,
           0,
           nullptr,
           0});
      ++i;
      continue;
    }
    bool space = IsSpace(text[i]);
    qsizetype j = i + 1;
    while (j < text.size() && !IsLineBreak(text[j]) && text[j] != u'\t' &&
           IsSpace(text[j]) == space)
      ++j;
    QString part = text.mid(i, j - i);
    double width = s.metrics.horizontalAdvance(part);
    out({space ? PieceKind::Space : PieceKind::Word, part, style, nullptr, width, nullptr, 0});
    i = j;
  }
}

// The styles of a paragraph's runs; runs formatted alike share one, so that a paragraph of many
// small runs does not make a font for each.
struct StyleTable {
  std::vector<Style> styles;
  std::vector<RunFormat> formats;  // each style's, which the line heights are measured by
  std::vector<int> ofRun;          // index into styles for each run
  int label = -1;                  // of the list label
  // The styles of the footnote marks, one of its own for each, in the order of their runs.
  std::vector<int> marks;
  // The text drawn for each run showing a symbol, or set in a symbol font drawn by a stand-in.
  std::map<std::size_t, QString> symbols;
};

// Where a paragraph's lines stand in its column: the first line and the others after the
// indents, and the tab stops, all from the column's left edge.
struct LineGeometry {
  double firstOffset = 0, firstRoom = 0, offset = 0, room = 0;
  // Where the line's own start stands from the edge its tab stops count from: the left edge, or
  // the right one in a right-to-left paragraph, where the line is set from the right.
  double firstStart = 0, start = 0;
  const TabStops* tabs = nullptr;
  // A hanging first line stops its first tab at the paragraph's indent.
  std::optional<double> hangingStop;
};

LineGeometry GeometryOf(const Paragraph& p, double width) {
  const Indents& in = p.indents;
  LineGeometry g;
  // A width that is no number sets the text unbroken, as it always has.
  if (std::isnan(width)) width = std::numeric_limits<double>::infinity();
  g.firstRoom = std::max(1.0, width - in.left - in.firstLine - in.right);
  g.room = std::max(1.0, width - in.left - in.right);
  // A right-to-left paragraph's indents are of its own start, the right edge.
  g.firstOffset = p.bidi ? in.right : in.left + in.firstLine;
  g.offset = p.bidi ? in.right : in.left;
  g.firstStart = in.left + in.firstLine;
  g.start = in.left;
  g.tabs = &p.tabs;
  if (in.firstLine < 0) g.hangingStop = in.left;
  return g;
}

// The next tab stop after x: the paragraph's own, the hanging indent on the first line, then
// the document's default stops, which are left stops.
TabStop NextTabStop(const LineGeometry& g, double x, bool firstLine) {
  TabStop stop{std::numeric_limits<float>::infinity(), TabAlign::Left};
  for (const TabStop& tab : g.tabs->stops) {
    if (tab.position > x + 0.01) {
      stop = tab;
      break;
    }
  }
  if (firstLine && g.hangingStop && *g.hangingStop > x + 0.01 && *g.hangingStop < stop.position)
    stop = {float(*g.hangingStop), TabAlign::Left};
  if (std::isfinite(stop.position)) return stop;
  const double interval = std::max(1.0f, g.tabs->interval);
  return {float((std::floor(x / interval + 0.001) + 1) * interval), TabAlign::Left};
}

// A merge field whose result is empty shows the name of its data field.
bool UnmergedResult(const Paragraph& paragraph, std::size_t first) {
  const FieldCode* code = paragraph.runs[first].format.fieldCode.get();
  for (std::size_t r = first; r < paragraph.runs.size(); ++r) {
    if (paragraph.runs[r].format.fieldCode.get() != code) break;
    if (!paragraph.runs[r].text.empty()) return false;
  }
  const FieldInstruction instruction = ParseFieldInstruction(code->instruction);
  return instruction.name == "MERGEFIELD" || instruction.name == "MERGEBARCODE";
}

// Fields drawn as barcodes or check boxes, which may make their lines taller.
bool HasDrawnFields(const Paragraph& paragraph) {
  return std::any_of(paragraph.runs.begin(), paragraph.runs.end(), [](const Run& run) {
    const FieldCode* code = run.format.fieldCode.get();
    return code && (code->checkBox || BarcodeOf(*code));
  });
}

// The paragraph's words, spaces, breaks and pictures in order, one at a time.
void ForEachPiece(const Paragraph& paragraph, const StyleTable& styles, const PieceSink& out) {
  auto addPictures = [&](std::size_t afterRun, bool orLater) {
    for (const InlinePicture& picture : paragraph.inlinePictures) {
      if (picture.afterRun == afterRun || (orLater && picture.afterRun > afterRun))
        out({PieceKind::Picture,
             {},
             -1,
             &picture,
             std::max(0.0f, picture.width),
             nullptr,
             picture.height});
    }
  };
  for (std::size_t r = 0; r < paragraph.runs.size(); ++r) {
    addPictures(r, false);
    const int style = styles.ofRun[r];
    const Run& run = paragraph.runs[r];
    if (run.note) {
      // A custom mark draws nothing, yet stands where the note is referred to.
      const QString mark = QString::fromStdString(run.note->text);
      out({PieceKind::Word, mark, style, nullptr,
           styles.styles[std::size_t(style)].metrics.horizontalAdvance(mark), nullptr, 0});
      continue;
    }
    if (run.symbol) {
      const QString& shown = styles.symbols.at(r);
      out({PieceKind::Word, shown, style, nullptr,
           styles.styles[std::size_t(style)].metrics.horizontalAdvance(shown), nullptr, 0});
      continue;
    }
    if (const FieldCode* code = run.format.fieldCode.get()) {
      const bool first = r == 0 || paragraph.runs[r - 1].format.fieldCode.get() != code;
      if (code->checkBox) {
        const double side = CheckBoxSide(*code->checkBox, run.format.fontSize);
        const PieceKind kind = code->checkBox->checked ? PieceKind::CheckedBox : PieceKind::Box;
        // Its part above the baseline is what a line needs the room of.
        if (first) out({kind, {}, style, nullptr, side, nullptr, side * (1 - kBoxDescent)});
        continue;
      }
      if (auto barcode = BarcodeOf(*code)) {
        if (first)
          out({PieceKind::Picture, {}, -1, nullptr, barcode->width, barcode, barcode->height});
        continue;
      }
      if (first && UnmergedResult(paragraph, r)) {
        const std::string shown = MergePlaceholder(ParseFieldInstruction(code->instruction));
        AddRunPieces(QString::fromStdString(shown), style, styles.styles[style], out);
        continue;
      }
    }
    const auto standIn = styles.symbols.find(r);
    AddRunPieces(
        standIn != styles.symbols.end() ? standIn->second : QString::fromStdString(run.text), style,
        styles.styles[style], out);
  }
  addPictures(paragraph.runs.size(), true);
}

// Greedy breaking between words; a word wider than a whole line is broken between characters,
// at least one character a line, so any width ends. Each line goes to the sink as soon as it is
// complete: a paragraph of any length needs the memory of one line.
class LineBreaker {
 public:
  using LineSink = std::function<void(const Line&)>;

  LineBreaker(const LineGeometry& geometry, const std::vector<Style>& styles, LineSink sink)
      : geometry_(geometry), styles_(styles), sink_(std::move(sink)) {
    startLine();
  }

  void add(Piece piece) {
    switch (piece.kind) {
      case PieceKind::Break:
        line_.lineBreak = true;
        return endLine(true);
      case PieceKind::Tab:
        return addTab(std::move(piece));
      case PieceKind::Space:
        return addSpace(std::move(piece));
      case PieceKind::Word:
      case PieceKind::Picture:
      case PieceKind::Box:
      case PieceKind::CheckedBox:
        return addWord(std::move(piece));
    }
  }

  void finish() { endLine(true); }

 private:
  void endLine(bool endsParagraph) {
    while (!line_.pieces.empty() && line_.pieces.back().kind == PieceKind::Space)
      line_.pieces.pop_back();
    line_.endsParagraph = endsParagraph;
    sink_(line_);
    ++lines_;
    startLine();
    hasWord_ = false;
    pending_ = 0;
    wrapped_ = !endsParagraph;
  }

  double lineStart() const { return lines_ == 0 ? geometry_.firstStart : geometry_.start; }

  void startLine() {
    aligned_ = -1;
    line_ = Line();
    line_.offset = lines_ == 0 ? geometry_.firstOffset : geometry_.offset;
    line_.room = lines_ == 0 ? geometry_.firstRoom : geometry_.room;
    width_ = line_.room;
  }

  // A tab reaches to the next stop; one that would pass the line's end begins the next line.
  // A centred or right stop: the text after it takes the tab's room, all of it or half, until
  // the tab has none left.
  void addTab(Piece piece) {
    double x = lineStart() + line_.width + pending_;
    TabStop stop = NextTabStop(geometry_, x, lines_ == 0);
    if (hasWord_ && stop.position - lineStart() > width_ + 0.01) {
      endLine(false);
      x = lineStart();
      stop = NextTabStop(geometry_, x, false);
    }
    piece.width = std::max(0.0, stop.position - x);
    aligned_ = stop.align == TabAlign::Left ? -1 : int(line_.pieces.size());
    shareTaken_ = stop.align == TabAlign::Center ? 0.5 : 1.0;
    decimal_ = stop.align == TabAlign::Decimal;
    place(std::move(piece));
  }

  // The width of a word up to its decimal separator: the first comma or point with a digit
  // after it, as lists of prices write them either way.
  std::optional<double> decimalPrefix(const Piece& piece) const {
    if (piece.kind != PieceKind::Word || piece.style < 0) return std::nullopt;
    const QString& text = piece.text;
    for (qsizetype k = 0; k + 1 < text.size(); ++k) {
      if ((text[k] == u',' || text[k] == u'.') && text[k + 1].isDigit())
        return styles_[std::size_t(piece.style)].metrics.horizontalAdvance(text.left(k));
    }
    return std::nullopt;
  }

  // How much the line grows by adding that much after a centred or right tab.
  double growth(double added) const {
    if (aligned_ < 0) return added;
    return added - std::min(line_.pieces[std::size_t(aligned_)].width, added * shareTaken_);
  }

  void addSpace(Piece piece) {
    // Spaces the wrapping moved to the start of a line vanish, as in any word processor.
    if (line_.pieces.empty() && wrapped_) return;
    pending_ += piece.width;
    line_.pieces.push_back(std::move(piece));
  }

  void addWord(Piece piece) {
    if (hasWord_ && line_.width + growth(pending_ + piece.width) > width_) endLine(false);
    if (piece.kind == PieceKind::Word && piece.width > width_) return splitWord(std::move(piece));
    place(std::move(piece));
  }

  void place(Piece piece) {
    const double added = pending_ + piece.width;
    if (aligned_ >= 0 && piece.kind != PieceKind::Tab) {
      // Text after a decimal stop's separator runs on to the right of the stop.
      const std::optional<double> beforeSeparator = decimal_ ? decimalPrefix(piece) : std::nullopt;
      Piece& tab = line_.pieces[std::size_t(aligned_)];
      const double aligned = beforeSeparator ? pending_ + *beforeSeparator : added;
      const double taken = std::min(tab.width, aligned * shareTaken_);
      tab.width -= taken;
      line_.width -= taken;
      if (beforeSeparator) aligned_ = -1;
    }
    line_.width += added;
    pending_ = 0;
    hasWord_ = true;
    if (piece.picture || piece.barcode || IsBox(piece.kind))
      line_.pictureHeight = std::max<double>(line_.pictureHeight, piece.height);
    line_.pieces.push_back(std::move(piece));
  }

  // Every round takes at least one character off the word, so it runs out even where no
  // character fits; the last character stays for the words that follow.
  void splitWord(Piece piece) {
    const QFontMetricsF& metrics = styles_[piece.style].metrics;
    while (piece.width > width_) {
      qsizetype n = FittingPrefix(piece.text, metrics, width_ - line_.width - pending_);
      if (n >= piece.text.size()) break;
      QString text = piece.text.left(n);
      Piece head{PieceKind::Word, text, piece.style, nullptr, metrics.horizontalAdvance(text),
                 nullptr,         0};
      place(std::move(head));
      endLine(false);
      piece.text.remove(0, n);
      piece.width = metrics.horizontalAdvance(piece.text);
    }
    place(std::move(piece));
  }

  // At least one character, never half of a surrogate pair.
  static qsizetype FittingPrefix(const QString& text, const QFontMetricsF& metrics, double room) {
    qsizetype n = text[0].isHighSurrogate() && text.size() > 1 ? 2 : 1;
    while (n < text.size()) {
      qsizetype next = n + (text[n].isHighSurrogate() && n + 1 < text.size() ? 2 : 1);
      if (metrics.horizontalAdvance(text.left(next)) > room) break;
      n = next;
    }
    return n;
  }

  const LineGeometry& geometry_;
  int aligned_ = -1;  // the centred or right tab the text stands against, in line_.pieces
  double shareTaken_ = 1;
  bool decimal_ = false;  // the aligning tab is a decimal stop
  double width_ = 0;
  int lines_ = 0;
  const std::vector<Style>& styles_;
  LineSink sink_;
  Line line_;
  bool hasWord_ = false;  // a word or picture stands on the line
  double pending_ = 0;
  bool wrapped_ = false;
};

struct LineMetrics {
  double height = 0;  // of a line without pictures
  double ascent = 0, descent = 0;
};

// The line height the pagination counts with, whatever the device: that of the largest font
// holding text, or of the paragraph mark in an empty paragraph, as the line rule says.
LineMetrics ParagraphLineMetrics(const Paragraph& paragraph, const QPaintDevice* device) {
  const RunFormat& largest = LargestFormat(paragraph);
  Style style = MakeStyle(largest, device);
  return {LineHeight(paragraph, FontMeasurer().singleLineHeight(largest)), style.metrics.ascent(),
          style.metrics.descent()};
}

double AlignmentOffset(Alignment alignment, double room) {
  room = std::max(0.0, room);
  if (alignment == Alignment::Center) return room / 2;
  if (alignment == Alignment::Right) return room;
  return 0;
}

double JustifyingExtra(const Paragraph& paragraph, const Line& line, double width) {
  if (paragraph.alignment != Alignment::Justify || (line.endsParagraph && !line.lineBreak))
    return 0;
  auto spaces = std::count_if(line.pieces.begin(), line.pieces.end(),
                              [](const Piece& p) { return p.kind == PieceKind::Space; });
  return spaces > 0 ? std::max(0.0, width - line.width) / double(spaces) : 0;
}

void DrawPiece(QPainter& painter, const Piece& piece, const std::vector<Style>& styles, double x,
               double baseline) {
  if (piece.kind == PieceKind::Word) {
    const Style& style = styles[piece.style];
    painter.setFont(style.font);
    painter.setPen(style.color);
    painter.drawText(QPointF(x, baseline - style.rise), piece.text);
  } else if (IsBox(piece.kind)) {
    DrawCheckBox(painter, piece.kind == PieceKind::CheckedBox, piece.width,
                 styles[piece.style].color, x, baseline);
  } else if (piece.barcode) {
    DrawBarcode(painter, *piece.barcode, QPointF(x, baseline - piece.height));
  } else if (piece.kind == PieceKind::Picture) {
    const InlinePicture& picture = *piece.picture;
    QRectF box(x, baseline - picture.height, picture.width, picture.height);
    if (picture.drawing) return DrawShapeInBox(painter, *picture.drawing, box);
    DrawPicturePart(painter, picture.image, picture.svg, picture.crop, box);
  }
}

// The direction a word is written in, by its first letter or digit: 1 right to left, -1 left to
// right (digits too, which read left to right in any script), 0 none (spaces, punctuation).
int WordDirection(const Piece& piece) {
  if (piece.kind != PieceKind::Word) return 0;
  for (const QChar c : piece.text) {
    switch (c.direction()) {
      case QChar::DirR:
      case QChar::DirAL:
        return 1;
      case QChar::DirL:
      case QChar::DirEN:
      case QChar::DirAN:
        return -1;
      default:
        break;
    }
  }
  return 0;
}

// The line's pieces in the order they stand from left to right, its trailing spaces left out:
// runs of words of the other direction than the paragraph's are turned round, and what stands
// between two words of one direction goes with them; the rest follows the paragraph.
std::vector<const Piece*> VisualOrder(const Line& line, bool rightToLeft) {
  std::size_t end = line.pieces.size();
  while (end > 0 && line.pieces[end - 1].kind == PieceKind::Space) --end;
  std::vector<int> direction(end);
  for (std::size_t k = 0; k < end; ++k) direction[k] = WordDirection(line.pieces[k]);
  const int own = rightToLeft ? 1 : -1;
  for (std::size_t k = 0; k < end; ++k) {
    if (direction[k] != 0) continue;
    std::size_t next = k;
    while (next < end && direction[next] == 0) ++next;
    const int before = k > 0 ? direction[k - 1] : own;
    const int after = next < end ? direction[next] : own;
    for (std::size_t j = k; j < next; ++j) direction[j] = before == after ? before : own;
    k = next - 1;
  }
  std::vector<const Piece*> order;
  for (std::size_t k = 0; k < end; ++k) order.push_back(&line.pieces[k]);
  // Every run of the other direction reads the other way; a right-to-left line as a whole too.
  for (std::size_t k = 0; k < end;) {
    std::size_t next = k;
    while (next < end && direction[next] == -own) ++next;
    if (next > k)
      std::reverse(order.begin() + std::ptrdiff_t(k), order.begin() + std::ptrdiff_t(next));
    k = next + 1;
  }
  if (rightToLeft) std::reverse(order.begin(), order.end());
  return order;
}

// A right-to-left paragraph begins at the right: its own start is the right edge.
Alignment VisualAlignment(const Paragraph& paragraph, bool lastLine) {
  if (!paragraph.bidi) return paragraph.alignment;
  switch (paragraph.alignment) {
    case Alignment::Left:
      return Alignment::Right;
    case Alignment::Right:
      return Alignment::Left;
    case Alignment::Justify:
      return lastLine ? Alignment::Right : Alignment::Justify;
    case Alignment::Center:
      break;
  }
  return Alignment::Center;
}

void DrawLine(QPainter& painter, const Paragraph& paragraph, const Line& line,
              const std::vector<Style>& styles, double left, double baseline) {
  const double extra = JustifyingExtra(paragraph, line, line.room);
  const Alignment alignment = VisualAlignment(paragraph, line.endsParagraph && !line.lineBreak);
  double x = left + line.offset + AlignmentOffset(alignment, line.room - line.width);
  for (const Piece* piece : VisualOrder(line, paragraph.bidi)) {
    DrawPiece(painter, *piece, styles, x, baseline);
    x += piece->width + (piece->kind == PieceKind::Space ? extra : 0);
  }
}

bool FormatLess(const RunFormat& a, const RunFormat& b) {
  return std::tie(a.fontFamily, a.fontSize, a.bold, a.italic, a.color) <
         std::tie(b.fontFamily, b.fontSize, b.bold, b.italic, b.color);
}

StyleTable MakeStyleTable(const Paragraph& paragraph, const QPaintDevice* device) {
  StyleTable table;
  std::map<RunFormat, int, decltype(&FormatLess)> seen(&FormatLess);
  table.ofRun.reserve(paragraph.runs.size());
  for (std::size_t r = 0; r < paragraph.runs.size(); ++r) {
    const Run& run = paragraph.runs[r];
    RunFormat format = run.format;
    bool symbolFont = false;
    // A symbol is measured and drawn in the font that has it; its line keeps the run's height.
    if (run.symbol) {
      SymbolGlyph glyph = SymbolGlyphOf(*run.symbol, format.fontFamily);
      format.fontFamily = std::move(glyph.family);
      table.symbols.emplace(r, std::move(glyph.text));
      symbolFont = true;
    } else if (auto glyph = SymbolFontText(format.fontFamily, run.text)) {
      format.fontFamily = std::move(glyph->family);
      table.symbols.emplace(r, std::move(glyph->text));
      symbolFont = true;
    }
    if (run.note) {
      const double size = UsableSize(format.fontSize);
      format.fontSize = float(size * kSuperscriptSize);
      table.marks.push_back(int(table.styles.size()));
      table.ofRun.push_back(table.marks.back());
      table.styles.push_back(MakeStyle(format, device));
      table.formats.push_back(format);
      table.styles.back().rise = size * kSuperscriptRise;
      continue;
    }
    // A field whose update failed shows its message in red, as the word processor does.
    if (format.fieldCode && format.fieldCode->error) format.color = kFieldErrorColor;
    auto [at, added] = seen.emplace(format, int(table.styles.size()));
    if (added) {
      table.styles.push_back(MakeStyle(format, device));
      table.formats.push_back(symbolFont ? run.format : format);
    }
    table.ofRun.push_back(at->second);
  }
  if (!paragraph.list.label.empty()) {
    table.label = int(table.styles.size());
    table.styles.push_back(MakeStyle(paragraph.list.format, device));
    table.formats.push_back(paragraph.list.format);
  }
  return table;
}

// The list label stands first on the first line, followed by its tab or space.
void AddLabel(const Paragraph& paragraph, const StyleTable& styles, LineBreaker& breaker) {
  if (styles.label < 0) return;
  const Style& style = styles.styles[std::size_t(styles.label)];
  const QString label = QString::fromStdString(paragraph.list.label);
  breaker.add({PieceKind::Word, label, styles.label, nullptr,
               style.metrics.horizontalAdvance(label), nullptr, 0});
  if (paragraph.list.suffix == 't')
    breaker.add({PieceKind::Tab, {}, styles.label, nullptr, 0, nullptr, 0});
  if (paragraph.list.suffix == 's') {
    const QString space(u' ');
    breaker.add({PieceKind::Space, space, styles.label, nullptr,
                 style.metrics.horizontalAdvance(space), nullptr, 0});
  }
}

// Where the paragraph's fonts differ in height, a line is as tall as its own tallest font; one
// with nothing but spaces or breaks keeps the paragraph's height.
LineMetrics LineMetricsOf(const Paragraph& paragraph, const Line& line, const StyleTable& styles,
                          const LineMetrics& ofParagraph) {
  int tallest = -1;
  double single = 0;
  for (const Piece& piece : line.pieces) {
    if (piece.style < 0) continue;
    const double height = FontMeasurer().singleLineHeight(styles.formats[std::size_t(piece.style)]);
    if (tallest < 0 || height > single) {
      tallest = piece.style;
      single = height;
    }
  }
  if (tallest < 0) return ofParagraph;
  const QFontMetricsF& metrics = styles.styles[std::size_t(tallest)].metrics;
  return {LineHeight(paragraph, single), metrics.ascent(), metrics.descent()};
}

void BreakLines(const Paragraph& paragraph, const StyleTable& styles, double width,
                LineBreaker::LineSink sink) {
  const LineGeometry geometry = GeometryOf(paragraph, width);
  LineBreaker breaker(geometry, styles.styles, std::move(sink));
  AddLabel(paragraph, styles, breaker);
  ForEachPiece(paragraph, styles, [&](Piece piece) { breaker.add(std::move(piece)); });
  breaker.finish();
}

}  // namespace

int CountLines(const Paragraph& paragraph, double width) {
  // Fonts sized for an image measure as they do on any device: sizes are kept in points.
  static const QImage device(1, 1, QImage::Format_RGB32);
  int lines = 0;
  BreakLines(paragraph, MakeStyleTable(paragraph, &device), width, [&](const Line&) { ++lines; });
  return lines;
}

namespace {

class Fonts final : public TextMeasurer {
 public:
  static bool HaveFonts() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
  }
  int lineCount(const Paragraph& paragraph, double width) const override {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
      return EstimatedText().lineCount(paragraph, width);
    return std::max(1, CountLines(paragraph, width));
  }
  // A picture or a larger font makes its own line taller, not every line of the paragraph.
  double textHeight(const Paragraph& paragraph, double width, double lineHeight) const override {
    if ((paragraph.inlinePictures.empty() && !HasDrawnFields(paragraph) &&
         !MixedLineHeights(paragraph, *this)) ||
        paragraph.lineRule == LineRule::Exact || width <= 0 || !HaveFonts())
      return TextMeasurer::textHeight(paragraph, width, lineHeight);
    double height = 0;
    for (double line : lineHeights(paragraph, width, lineHeight)) height += line;
    return height > 0 ? height : TextMeasurer::textHeight(paragraph, width, lineHeight);
  }
  std::vector<double> lineHeights(const Paragraph& paragraph, double width,
                                  double lineHeight) const override {
    if (width <= 0 || !HaveFonts()) return TextMeasurer::lineHeights(paragraph, width, lineHeight);
    static const QImage device(1, 1, QImage::Format_RGB32);
    const StyleTable styles = MakeStyleTable(paragraph, &device);
    const bool mixed = MixedLineHeights(paragraph, *this);
    const LineMetrics uniform{lineHeight, 0, 0};
    const bool exact = paragraph.lineRule == LineRule::Exact;
    std::vector<double> heights;
    BreakLines(paragraph, styles, width, [&](const Line& line) {
      const double text =
          mixed ? LineMetricsOf(paragraph, line, styles, uniform).height : lineHeight;
      heights.push_back(exact ? text : std::max(text, line.pictureHeight));
    });
    return heights;
  }
  std::vector<int> noteLines(const Paragraph& paragraph, double width) const override {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
      return TextMeasurer::noteLines(paragraph, width);
    static const QImage device(1, 1, QImage::Format_RGB32);
    const StyleTable styles = MakeStyleTable(paragraph, &device);
    std::vector<int> lines(styles.marks.size(), 0);
    int line = 0;
    BreakLines(paragraph, styles, width, [&](const Line& set) {
      for (const Piece& piece : set.pieces) {
        const auto mark = std::find(styles.marks.begin(), styles.marks.end(), piece.style);
        if (mark != styles.marks.end()) lines[std::size_t(mark - styles.marks.begin())] = line;
      }
      ++line;
    });
    return lines;
  }
  double singleLineHeight(const RunFormat& format) const override {
    if (!HaveFonts()) return EstimatedText().singleLineHeight(format);
    // Lines are set in whole twips, as the word processors lay pages out.
    return std::round(LineSpacingOf(format) * UsableSize(format.fontSize) * kTwipsPerPt) /
           kTwipsPerPt;
  }

 private:
  // Per family and style, as a multiple of the size: fonts are read once.
  static double LineSpacingOf(const RunFormat& format) {
    static std::mutex mutex;
    static std::map<std::tuple<std::string, bool, bool>, double> known;
    const auto key = std::make_tuple(format.fontFamily, format.bold, format.italic);
    std::lock_guard lock(mutex);
    auto found = known.find(key);
    if (found == known.end()) {
      RunFormat em = format;
      em.fontSize = 100;
      static const QImage device(1, 1, QImage::Format_RGB32);
      found = known.emplace(key, FontFileLineSpacing(MakeStyle(em, &device).font) / 100).first;
    }
    return found->second;
  }
};

}  // namespace

const TextMeasurer& FontMeasurer() {
  static const Fonts fonts;
  return fonts;
}

QColor ToQColor(Rgb rgb) {
  return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

double DrawParagraph(QPainter& painter, const Paragraph& paragraph, double left, double top,
                     double width) {
  const QPaintDevice* device = painter.device();
  const StyleTable styles = MakeStyleTable(paragraph, device);
  const LineMetrics ofParagraph = ParagraphLineMetrics(paragraph, device);
  const bool mixed = MixedLineHeights(paragraph, FontMeasurer());
  double y = top + paragraph.spaceBefore;
  // Lines wholly outside the clip are left out, not only hidden: a PDF would still carry their
  // text (the lines of a divided paragraph on its other pages, text beyond a box's edge).
  const QRectF clip = painter.hasClipping() ? painter.clipBoundingRect() : QRectF();
  BreakLines(paragraph, styles, width, [&](const Line& line) {
    const LineMetrics metrics =
        mixed ? LineMetricsOf(paragraph, line, styles, ofParagraph) : ofParagraph;
    double height = std::max(metrics.height, line.pictureHeight);
    if (!clip.isNull() && (y + height <= clip.top() + 0.5 || y >= clip.bottom() - 0.5)) {
      y += height;
      return;
    }
    double textTop = y + height - metrics.height;
    double baseline =
        textTop + (metrics.height - metrics.ascent - metrics.descent) / 2 + metrics.ascent;
    // Pictures stand on the baseline but never rise above their line.
    baseline = std::max(baseline, y + line.pictureHeight);
    DrawLine(painter, paragraph, line, styles.styles, left, baseline);
    y += height;
  });
  return y - top + paragraph.spaceAfter;
}

}  // namespace wordproc
