#include "wordproc/RenderText.h"

#include <QFontMetricsF>
#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

#include "wordproc/Layout.h"

namespace wordproc {

namespace {

constexpr float kDefaultFontSize = 11.0f;

float UsableSize(float size) {
  return size > 0 ? size : kDefaultFontSize;
}

struct Style {
  QFont font;
  QFontMetricsF metrics;
  QColor color;
};

enum class PieceKind { Word, Space, Picture, Break };

struct Piece {
  PieceKind kind = PieceKind::Word;
  QString text;
  int style = -1;
  const InlinePicture* picture = nullptr;
  double width = 0;
};

struct Line {
  std::vector<Piece> pieces;
  double width = 0;  // to the end of the last word; trailing spaces do not count
  double pictureHeight = 0;
  bool endsParagraph = false;  // the last line, or one ended by a line break: never justified
};

// The painter's user space is points, so a font must measure its point size in user units
// whatever resolution the device has.
Style MakeStyle(const RunFormat& format, const QPaintDevice* device) {
  QFont font(QString::fromStdString(format.fontFamily));
  int dpi = device ? device->logicalDpiY() : 72;
  font.setPointSizeF(UsableSize(format.fontSize) * 72.0 / std::max(dpi, 1));
  font.setBold(format.bold);
  font.setItalic(format.italic);
  // Hinted advances depend on the device's pixels; unhinted ones break lines alike at any size.
  font.setHintingPreference(QFont::PreferNoHinting);
  return {font, QFontMetricsF(font, device), ToQColor(format.color)};
}

bool IsLineBreak(QChar c) {
  return c == u'\n' || c == u'\v' || c == u'\r' || c == QChar::LineSeparator;
}

bool IsSpace(QChar c) {
  return c == u' ';
}

void AddRunPieces(QString text, int style, const Style& s, std::vector<Piece>& out) {
  text.replace(u'\t', u' ');
  qsizetype i = 0;
  while (i < text.size()) {
    if (IsLineBreak(text[i])) {
      out.push_back({PieceKind::Break, {}, style, nullptr, 0});
      ++i;
      continue;
    }
    bool space = IsSpace(text[i]);
    qsizetype j = i + 1;
    while (j < text.size() && !IsLineBreak(text[j]) && IsSpace(text[j]) == space) ++j;
    QString part = text.mid(i, j - i);
    double width = s.metrics.horizontalAdvance(part);
    out.push_back({space ? PieceKind::Space : PieceKind::Word, part, style, nullptr, width});
    i = j;
  }
}

std::vector<Piece> Pieces(const Paragraph& paragraph, const std::vector<Style>& styles) {
  std::vector<Piece> out;
  auto addPictures = [&](std::size_t afterRun, bool orLater) {
    for (const InlinePicture& picture : paragraph.inlinePictures) {
      if (picture.afterRun == afterRun || (orLater && picture.afterRun > afterRun))
        out.push_back({PieceKind::Picture, {}, -1, &picture, std::max(0.0f, picture.width)});
    }
  };
  for (std::size_t r = 0; r < paragraph.runs.size(); ++r) {
    addPictures(r, false);
    AddRunPieces(QString::fromStdString(paragraph.runs[r].text), int(r), styles[r], out);
  }
  addPictures(paragraph.runs.size(), true);
  return out;
}

// Greedy breaking between words; a word wider than a whole line is broken between characters.
class LineBreaker {
 public:
  LineBreaker(double width, const std::vector<Style>& styles) : width_(width), styles_(styles) {
    lines_.emplace_back();
  }

  void add(Piece piece) {
    switch (piece.kind) {
      case PieceKind::Break:
        return endLine(true);
      case PieceKind::Space:
        return addSpace(std::move(piece));
      case PieceKind::Word:
      case PieceKind::Picture:
        return addWord(std::move(piece));
    }
  }

  std::vector<Line> finish() {
    endLine(true);
    lines_.pop_back();
    return std::move(lines_);
  }

 private:
  Line& line() { return lines_.back(); }

  void endLine(bool endsParagraph) {
    while (!line().pieces.empty() && line().pieces.back().kind == PieceKind::Space)
      line().pieces.pop_back();
    line().endsParagraph = endsParagraph;
    lines_.emplace_back();
    pending_ = 0;
    wrapped_ = !endsParagraph;
  }

  void addSpace(Piece piece) {
    // Spaces the wrapping moved to the start of a line vanish, as in any word processor.
    if (line().pieces.empty() && wrapped_) return;
    pending_ += piece.width;
    line().pieces.push_back(std::move(piece));
  }

  void addWord(Piece piece) {
    if (hasWord() && line().width + pending_ + piece.width > width_) endLine(false);
    if (piece.kind == PieceKind::Word && piece.width > width_) return splitWord(std::move(piece));
    place(std::move(piece));
  }

  bool hasWord() const {
    return std::any_of(lines_.back().pieces.begin(), lines_.back().pieces.end(),
                       [](const Piece& p) { return p.kind != PieceKind::Space; });
  }

  void place(Piece piece) {
    line().width += pending_ + piece.width;
    pending_ = 0;
    if (piece.picture)
      line().pictureHeight = std::max<double>(line().pictureHeight, piece.picture->height);
    line().pieces.push_back(std::move(piece));
  }

  void splitWord(Piece piece) {
    const QFontMetricsF& metrics = styles_[piece.style].metrics;
    while (piece.width > width_) {
      qsizetype n = FittingPrefix(piece.text, metrics, width_ - line().width - pending_);
      QString text = piece.text.left(n);
      Piece head{PieceKind::Word, text, piece.style, nullptr, metrics.horizontalAdvance(text)};
      place(std::move(head));
      endLine(false);
      piece.text.remove(0, n);
      piece.width = metrics.horizontalAdvance(piece.text);
    }
    if (!piece.text.isEmpty()) place(std::move(piece));
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

  double width_;
  const std::vector<Style>& styles_;
  std::vector<Line> lines_;
  double pending_ = 0;
  bool wrapped_ = false;
};

struct LineMetrics {
  double height = 0;  // of a line without pictures
  double ascent = 0, descent = 0;
};

// The line height the pagination counts with: that of the largest font holding text, or of the
// paragraph mark in an empty paragraph.
LineMetrics ParagraphLineMetrics(const Paragraph& paragraph, const QPaintDevice* device) {
  const RunFormat* largest = nullptr;
  for (const Run& run : paragraph.runs) {
    if (run.text.empty()) continue;
    if (!largest || UsableSize(run.format.fontSize) > UsableSize(largest->fontSize))
      largest = &run.format;
  }
  if (!largest) largest = &paragraph.markFormat;
  Style style = MakeStyle(*largest, device);
  return {kLineSpacing * UsableSize(largest->fontSize), style.metrics.ascent(),
          style.metrics.descent()};
}

double AlignmentOffset(Alignment alignment, double room) {
  room = std::max(0.0, room);
  if (alignment == Alignment::Center) return room / 2;
  if (alignment == Alignment::Right) return room;
  return 0;
}

double JustifyingExtra(const Paragraph& paragraph, const Line& line, double width) {
  if (paragraph.alignment != Alignment::Justify || line.endsParagraph) return 0;
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
    painter.drawText(QPointF(x, baseline), piece.text);
  } else if (piece.kind == PieceKind::Picture) {
    QImage image = PictureImage(piece.picture->image);
    QRectF box(x, baseline - piece.picture->height, piece.picture->width, piece.picture->height);
    if (!image.isNull()) painter.drawImage(box, image);
  }
}

void DrawLine(QPainter& painter, const Paragraph& paragraph, const Line& line,
              const std::vector<Style>& styles, double left, double width, double baseline) {
  double x = left + AlignmentOffset(paragraph.alignment, width - line.width);
  double extra = JustifyingExtra(paragraph, line, width);
  for (const Piece& piece : line.pieces) {
    DrawPiece(painter, piece, styles, x, baseline);
    x += piece.width + (piece.kind == PieceKind::Space ? extra : 0);
  }
}

std::vector<Style> RunStyles(const Paragraph& paragraph, const QPaintDevice* device) {
  std::vector<Style> styles;
  styles.reserve(paragraph.runs.size());
  for (const Run& run : paragraph.runs) styles.push_back(MakeStyle(run.format, device));
  return styles;
}

std::vector<Line> BreakLines(const Paragraph& paragraph, const std::vector<Style>& styles,
                             double width) {
  LineBreaker breaker(width, styles);
  for (Piece& piece : Pieces(paragraph, styles)) breaker.add(std::move(piece));
  return breaker.finish();
}

}  // namespace

int CountLines(const Paragraph& paragraph, double width) {
  // Fonts sized for an image measure as they do on any device: sizes are kept in points.
  static const QImage device(1, 1, QImage::Format_RGB32);
  return int(BreakLines(paragraph, RunStyles(paragraph, &device), width).size());
}

QColor ToQColor(Rgb rgb) {
  return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

double DrawParagraph(QPainter& painter, const Paragraph& paragraph, double left, double top,
                     double width) {
  const QPaintDevice* device = painter.device();
  std::vector<Style> styles = RunStyles(paragraph, device);
  std::vector<Line> lines = BreakLines(paragraph, styles, width);
  LineMetrics metrics = ParagraphLineMetrics(paragraph, device);
  double y = top + paragraph.spaceBefore;
  for (const Line& line : lines) {
    double height = std::max(metrics.height, line.pictureHeight);
    double textTop = y + height - metrics.height;
    double baseline =
        textTop + (metrics.height - metrics.ascent - metrics.descent) / 2 + metrics.ascent;
    // Pictures stand on the baseline but never rise above their line.
    baseline = std::max(baseline, y + line.pictureHeight);
    DrawLine(painter, paragraph, line, styles, left, width, baseline);
    y += height;
  }
  return y - top + paragraph.spaceAfter;
}

QImage PictureImage(const ImagePtr& image) {
  if (!image || image->bytes.empty()) return {};
  // Pages are painted again and again while a window scrolls; decoding once per part is enough.
  static std::mutex mutex;
  static std::vector<std::pair<std::weak_ptr<const Image>, QImage>> cache;
  constexpr std::size_t kCacheSize = 16;
  std::lock_guard lock(mutex);
  std::erase_if(cache, [](const auto& entry) { return entry.first.expired(); });
  for (const auto& [part, picture] : cache) {
    if (part.lock() == image) return picture;
  }
  QImage picture;
  picture.loadFromData(image->bytes.data(), qsizetype(image->bytes.size()));
  if (cache.size() >= kCacheSize) cache.erase(cache.begin());
  cache.emplace_back(image, picture);
  return picture;
}

}  // namespace wordproc
