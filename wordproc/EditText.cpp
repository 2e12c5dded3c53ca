#include "wordproc/EditText.h"

#include <QGuiApplication>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextImageFormat>
#include <QUrl>
#include <cmath>
#include <map>
#include <set>

#include "wordproc/RenderPicture.h"
#include "wordproc/RenderSymbols.h"
#include "wordproc/RenderText.h"

namespace wordproc {

namespace {

// Which loaded paragraph a block came from, and which inline picture an image is.
constexpr int kOriginProperty = QTextFormat::UserProperty + 1;
constexpr int kPictureParagraphProperty = QTextFormat::UserProperty + 2;
constexpr int kPictureIndexProperty = QTextFormat::UserProperty + 3;
// The field a run's text is the result of, by the address of its FieldCode among the loaded
// paragraphs: Qt's formats cannot hold the field itself.
constexpr int kFieldProperty = QTextFormat::UserProperty + 4;
constexpr char16_t kFieldHolder = u'\u200B';
// A symbol (w:sym) is shown as its character, which stands for the loaded run: by its address.
// So is any other element kept in a run (a bookmark, a note's reference, a hyperlink's ends):
// shown as its note's number or as a character of no width, it stays where it was.
constexpr int kSymbolProperty = QTextFormat::UserProperty + 5;
constexpr char16_t kKeptHolder = u'\u2060';

// What stands for a kept run in the text being edited.
QString KeptShown(const Run& run) {
  if (run.symbol) return SymbolGlyphOf(*run.symbol, run.format.fontFamily).text;
  if (run.note && !run.note->custom && !run.note->text.empty())
    return QString::fromStdString(run.note->text);
  return QString(QChar(kKeptHolder));
}

Qt::Alignment QtAlignment(Alignment alignment) {
  switch (alignment) {
    case Alignment::Center:
      return Qt::AlignHCenter;
    case Alignment::Right:
      return Qt::AlignRight;
    case Alignment::Justify:
      return Qt::AlignJustify;
    case Alignment::Left:
      break;
  }
  return Qt::AlignLeft;
}

Alignment ModelAlignment(Qt::Alignment alignment) {
  if (alignment & Qt::AlignHCenter) return Alignment::Center;
  if (alignment & Qt::AlignRight) return Alignment::Right;
  if (alignment & Qt::AlignJustify) return Alignment::Justify;
  return Alignment::Left;
}

QString ScreenText(const std::string& text) {
  QString s = QString::fromStdString(text);
  s.replace(QChar(u'\v'), QChar::LineSeparator);
  s.replace(QChar(u'\n'), QChar::LineSeparator);
  return s;
}

std::string ModelText(QString text) {
  text.replace(QChar::LineSeparator, QChar(u'\v'));
  text.remove(QChar::ObjectReplacementCharacter);
  return text.toStdString();
}

void InsertPicture(QTextCursor& cursor, const InlinePicture& picture, int paragraph, int index,
                   const TextScale& scale) {
  QString name = QStringLiteral("vsp-inline-%1-%2").arg(paragraph).arg(index);
  // Sharp on screens of any pixel ratio.
  const QSizeF shown =
      QSizeF(picture.width, picture.height) * scale.pixelsPerPoint * qApp->devicePixelRatio();
  cursor.document()->addResource(
      QTextDocument::ImageResource, QUrl(name),
      PicturePartImage(picture.image, picture.svg, picture.crop, shown.toSize()));
  QTextImageFormat image;
  image.setName(name);
  image.setWidth(picture.width * scale.pixelsPerPoint);
  image.setHeight(picture.height * scale.pixelsPerPoint);
  image.setProperty(kPictureParagraphProperty, paragraph);
  image.setProperty(kPictureIndexProperty, index);
  cursor.insertImage(image);
}

void LoadParagraph(QTextCursor& cursor, const Paragraph& p, int index, const TextScale& scale) {
  QTextBlockFormat block;
  block.setAlignment(QtAlignment(p.alignment));
  block.setTopMargin(p.spaceBefore * scale.pixelsPerPoint);
  block.setBottomMargin(p.spaceAfter * scale.pixelsPerPoint);
  block.setLeftMargin(p.indents.left * scale.pixelsPerPoint);
  block.setRightMargin(p.indents.right * scale.pixelsPerPoint);
  block.setTextIndent(p.indents.firstLine * scale.pixelsPerPoint);
  block.setProperty(kOriginProperty, index);
  cursor.setBlockFormat(block);
  cursor.setBlockCharFormat(CharFormatOf(p.markFormat, scale.fontScale));
  auto pictures = [&](std::size_t afterRun, bool orLater) {
    for (std::size_t k = 0; k < p.inlinePictures.size(); ++k) {
      std::size_t at = p.inlinePictures[k].afterRun;
      if (at == afterRun || (orLater && at > afterRun))
        InsertPicture(cursor, p.inlinePictures[k], index, int(k), scale);
    }
  };
  for (std::size_t r = 0; r < p.runs.size(); ++r) {
    pictures(r, false);
    QTextCharFormat format = CharFormatOf(p.runs[r].format, scale.fontScale);
    if (p.runs[r].raw) {
      QTextCharFormat shown = format;
      if (const SymbolPtr& symbol = p.runs[r].symbol)
        shown.setFontFamilies(
            {QString::fromStdString(SymbolGlyphOf(*symbol, p.runs[r].format.fontFamily).family)});
      shown.setProperty(kSymbolProperty, qulonglong(reinterpret_cast<std::uintptr_t>(&p.runs[r])));
      cursor.insertText(KeptShown(p.runs[r]), shown);
    }
    QString text = ScreenText(p.runs[r].text);
    if (const FieldCode* code = p.runs[r].format.fieldCode.get()) {
      format.setProperty(kFieldProperty, qulonglong(reinterpret_cast<std::uintptr_t>(code)));
      // A field without result text holds its place by a character that is not read back.
      if (text.isEmpty()) text = QString(kFieldHolder);
    }
    cursor.insertText(text, format);
  }
  pictures(p.runs.size(), true);
}

// Runs in the format of the run before them, with no picture in between, join it: the model
// and Qt cut text into runs differently.
void AddRun(Paragraph& p, std::string text, const RunFormat& format) {
  if (text.empty()) return;
  const bool pictureAtEnd =
      !p.inlinePictures.empty() && p.inlinePictures.back().afterRun == p.runs.size();
  if (!p.runs.empty() && !pictureAtEnd && !p.runs.back().raw && p.runs.back().format == format)
    p.runs.back().text += text;
  else
    p.runs.push_back(Run{std::move(text), format});
}

struct Reader {
  const std::vector<Paragraph>& loaded;
  const TextScale& scale;
  std::set<int> claimed;                          // loaded paragraphs whose id is taken
  std::set<std::pair<int, int>> placed;           // inline pictures already read
  std::map<qulonglong, const RunFormat*> fields;  // by the address of their FieldCode
  std::map<qulonglong, const Run*> symbols;       // the loaded runs showing them, by address
  std::set<const Run*> keptPlaced;                // kept elements other than symbols read

  // Each of the kept run's characters left in the text is the loaded run again; text typed next
  // to it takes its format but is text of its own.
  // A symbol may be copied about; any other kept element (a bookmark, a note's reference)
  // names something of the file once, and stays where it is found first.
  void readSymbols(Paragraph& p, const QString& text, const Run& symbol) {
    const QString shown = KeptShown(symbol);
    qsizetype from = 0;
    for (qsizetype at; !shown.isEmpty() && (at = text.indexOf(shown, from)) >= 0;
         from = at + shown.size()) {
      AddRun(p, ModelText(text.mid(from, at - from)), symbol.format);
      if (!symbol.symbol && !keptPlaced.insert(&symbol).second) continue;
      p.runs.push_back(symbol);
      p.runs.back().text.clear();
    }
    AddRun(p, ModelText(text.mid(from)), symbol.format);
  }

  const Paragraph* origin(const QTextBlock& block) const {
    QVariant value = block.blockFormat().property(kOriginProperty);
    int k = value.isValid() ? value.toInt() : -1;
    return k >= 0 && std::size_t(k) < loaded.size() ? &loaded[std::size_t(k)] : nullptr;
  }

  void readPicture(Paragraph& p, const QTextCharFormat& format) {
    int paragraph = format.property(kPictureParagraphProperty).toInt();
    int index = format.property(kPictureIndexProperty).toInt();
    if (!format.hasProperty(kPictureIndexProperty) || !placed.insert({paragraph, index}).second)
      return;
    if (std::size_t(paragraph) >= loaded.size()) return;
    const auto& pictures = loaded[std::size_t(paragraph)].inlinePictures;
    if (std::size_t(index) >= pictures.size()) return;
    InlinePicture picture = pictures[std::size_t(index)];
    picture.afterRun = p.runs.size();
    p.inlinePictures.push_back(picture);
  }

  Paragraph read(const QTextBlock& block) {
    const Paragraph* from = origin(block);
    Paragraph p;
    if (from) {
      // Everything the editor does not show stays: spacing, line rules, keeping, the table
      // cell. A paragraph split by typing keeps the section end and page break once.
      p = *from;
      p.runs.clear();
      p.inlinePictures.clear();
      p.id = 0;
      if (claimed.insert(int(from - loaded.data())).second) {
        p.id = from->id;
      } else {
        p.sectionEnd.reset();
        p.pageBreakBefore = false;
      }
    }
    p.alignment = ModelAlignment(block.blockFormat().alignment());
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (fragment.charFormat().isImageFormat()) readPicture(p, fragment.charFormat());
      RunFormat format = RunFormatOf(fragment.charFormat(), scale.fontScale, p.markFormat);
      format.fieldCode = nullptr;
      format.field = PageField::None;
      QString text = fragment.text();
      const auto symbol =
          symbols.find(fragment.charFormat().property(kSymbolProperty).toULongLong());
      if (fragment.charFormat().hasProperty(kSymbolProperty) && symbol != symbols.end()) {
        readSymbols(p, text, *symbol->second);
        continue;
      }
      if (fragment.charFormat().hasProperty(kFieldProperty)) {
        auto found = fields.find(fragment.charFormat().property(kFieldProperty).toULongLong());
        if (found != fields.end()) {
          format.fieldCode = found->second->fieldCode;
          format.field = found->second->field;
          text.remove(kFieldHolder);
          const bool joins = !p.runs.empty() && p.runs.back().format.fieldCode == format.fieldCode;
          if (text.isEmpty() && !joins) p.runs.push_back(Run{std::string(), format});
        }
      }
      AddRun(p, ModelText(text), format);
    }
    readMark(p, block, from);
    return p;
  }

  // An empty paragraph shows its mark's format, which the user may have changed.
  void readMark(Paragraph& p, const QTextBlock& block, const Paragraph* from) {
    if (!p.runs.empty()) {
      if (!from) p.markFormat = p.runs.back().format;
      return;
    }
    RunFormat shown = RunFormatOf(block.charFormat(), scale.fontScale, p.markFormat);
    QTextCharFormat loadedMark = CharFormatOf(p.markFormat, scale.fontScale);
    if (!(shown == RunFormatOf(loadedMark, scale.fontScale, p.markFormat))) p.markFormat = shown;
  }
};

Paragraph Normalized(const Paragraph& p) {
  Paragraph out = p;
  out.runs.clear();
  out.inlinePictures.clear();
  auto pictures = [&](std::size_t afterRun, bool orLater) {
    for (const InlinePicture& picture : p.inlinePictures) {
      if (picture.afterRun != afterRun && !(orLater && picture.afterRun > afterRun)) continue;
      out.inlinePictures.push_back(picture);
      out.inlinePictures.back().afterRun = out.runs.size();
    }
  };
  for (std::size_t r = 0; r < p.runs.size(); ++r) {
    pictures(r, false);
    if (p.runs[r].raw) out.runs.push_back(p.runs[r]);
    AddRun(out, p.runs[r].text, p.runs[r].format);
  }
  pictures(p.runs.size(), true);
  out.id = 0;
  return out;
}

}  // namespace

QTextCharFormat CharFormatOf(const RunFormat& format, double fontScale) {
  QTextCharFormat f;
  QStringList families;
  for (const std::string& family : FontFamilies(format.fontFamily))
    families << QString::fromStdString(family);
  f.setFontFamilies(families);
  f.setFontPointSize(std::max(1.0f, format.fontSize) * fontScale);
  f.setFontWeight(format.bold ? QFont::Bold : QFont::Normal);
  f.setFontItalic(format.italic);
  f.setForeground(ToQColor(format.color));
  return f;
}

RunFormat RunFormatOf(const QTextCharFormat& f, double fontScale, const RunFormat& fallback) {
  RunFormat format = fallback;
  QStringList families = f.fontFamilies().toStringList();
  // A name that lists stand-ins keeps them.
  if (!families.isEmpty() && !families.front().isEmpty())
    format.fontFamily = families.join(u';').toStdString();
  if (f.fontPointSize() > 0 && fontScale > 0)
    format.fontSize = float(std::round(f.fontPointSize() / fontScale * 2) / 2);
  if (f.hasProperty(QTextFormat::FontWeight)) format.bold = f.fontWeight() >= QFont::DemiBold;
  if (f.hasProperty(QTextFormat::FontItalic)) format.italic = f.fontItalic();
  if (f.foreground().style() != Qt::NoBrush) format.color = f.foreground().color().rgb() & 0xFFFFFF;
  return format;
}

void LoadParagraphs(QTextDocument& doc, const std::vector<Paragraph>& paragraphs,
                    const TextScale& scale) {
  doc.clear();
  QTextCursor cursor(&doc);
  for (std::size_t k = 0; k < paragraphs.size(); ++k) {
    if (k > 0) cursor.insertBlock();
    LoadParagraph(cursor, paragraphs[k], int(k), scale);
  }
  doc.clearUndoRedoStacks();
  doc.setModified(false);
}

std::vector<Paragraph> ReadParagraphs(const QTextDocument& doc,
                                      const std::vector<Paragraph>& loaded, const TextScale& scale,
                                      const std::vector<const RunFormat*>& added) {
  Reader reader{loaded, scale, {}, {}, {}, {}, {}};
  for (const RunFormat* format : added)
    if (format->fieldCode)
      reader.fields.emplace(reinterpret_cast<std::uintptr_t>(format->fieldCode.get()), format);
  for (const Paragraph& p : loaded)
    for (const Run& run : p.runs)
      if (run.raw) reader.symbols.emplace(reinterpret_cast<std::uintptr_t>(&run), &run);
  for (const Paragraph& p : loaded)
    for (const Run& run : p.runs)
      if (run.format.fieldCode)
        reader.fields.emplace(reinterpret_cast<std::uintptr_t>(run.format.fieldCode.get()),
                              &run.format);
  std::vector<Paragraph> paragraphs;
  for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
    paragraphs.push_back(reader.read(block));
  return paragraphs;
}

qulonglong FieldAt(const QTextCursor& cursor) {
  auto fieldOf = [&](int position) -> qulonglong {
    QTextCursor probe(cursor.document());
    probe.setPosition(position);
    probe.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    if (probe.block() != cursor.block() || !probe.hasSelection()) return 0;
    // The format of a selection's end is the one of its last character.
    const QVariant field = probe.charFormat().property(kFieldProperty);
    return field.isValid() ? field.toULongLong() : 0;
  };
  const int at = cursor.position();
  if (const qulonglong after = fieldOf(at)) return after;
  return at > cursor.block().position() ? fieldOf(at - 1) : 0;
}

bool SelectField(QTextCursor& cursor) {
  const qulonglong field = FieldAt(cursor);
  if (!field) return false;
  const QTextBlock block = cursor.block();
  for (auto it = block.begin(); !it.atEnd(); ++it) {
    const QTextFragment fragment = it.fragment();
    if (fragment.charFormat().property(kFieldProperty).toULongLong() != field) continue;
    // A field's result may span fragments of different formats: take them all.
    int end = fragment.position() + fragment.length();
    auto next = it;
    for (++next; !next.atEnd(); ++next) {
      if (next.fragment().charFormat().property(kFieldProperty).toULongLong() != field) break;
      end = next.fragment().position() + next.fragment().length();
    }
    cursor.setPosition(fragment.position());
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    return true;
  }
  return false;
}

void InsertFieldText(QTextCursor& cursor, const RunFormat& field, const std::string& result) {
  QTextCharFormat format = cursor.charFormat();
  format.clearProperty(kFieldProperty);
  QTextCharFormat fieldFormat = format;
  fieldFormat.setProperty(kFieldProperty,
                          qulonglong(reinterpret_cast<std::uintptr_t>(field.fieldCode.get())));
  QString text = ScreenText(result);
  if (text.isEmpty()) text = QString(kFieldHolder);
  cursor.insertText(text, fieldFormat);
  cursor.setCharFormat(format);
}

bool SameText(const std::vector<Paragraph>& a, const std::vector<Paragraph>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k)
    if (!(Normalized(a[k]) == Normalized(b[k]))) return false;
  return true;
}

}  // namespace wordproc
