// Text typed and formatted in place, in text boxes and body paragraphs: what comes back from
// the editor, what automation and the file see, and that LibreOffice reads it.
#include <QAction>
#include <QDoubleSpinBox>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QTextEdit>

#include "tests/wordproc/edit_support.h"
#include "tests/wordproc/ooxml_test_support.h"
#include "wordproc/EditText.h"
#include "wordproc/core/Fields.h"
#include "wordproc/core/Ooxml.h"

using namespace edit_test;
using namespace wordproc;

namespace {

Paragraph Para(std::uint64_t id, std::vector<Run> runs, Alignment alignment = Alignment::Left) {
  Paragraph p;
  p.id = id;
  p.runs = std::move(runs);
  p.alignment = alignment;
  return p;
}

RunFormat Format(const char* family, float size, bool bold, bool italic, Rgb colour) {
  RunFormat f;
  f.fontFamily = family;
  f.fontSize = size;
  f.bold = bold;
  f.italic = italic;
  f.color = colour;
  return f;
}

std::vector<Paragraph> Sample() {
  Paragraph mixed =
      Para(7,
           {{"Цена: ", Format("DejaVu Sans", 10.5f, false, false, 0x000000)},
            {"99", Format("DejaVu Serif", 13.5f, true, true, 0xCC0000)},
            // A name listing stand-ins, as LibreOffice writes some.
            {" руб.", Format("DejaVu Sans;Liberation Sans", 10.5f, false, false, 0x000000)}},
           Alignment::Center);
  mixed.spaceBefore = 6;
  static const ImagePtr image = ooxml_test::MakeImage();
  mixed.inlinePictures.push_back({2, 40, "Picture 40", 30, 20, image, {}, {}, nullptr, nullptr});
  Paragraph empty = Para(8, {}, Alignment::Right);
  empty.markFormat.fontSize = 20;
  Paragraph lines = Para(9, {{"раз\vдва", RunFormat{}}}, Alignment::Justify);
  return {mixed, empty, lines};
}

class EditText : public ::testing::Test {
 protected:
  void SetUp() override { om_test::EnsureGui(); }
};

TEST_F(EditText, ParagraphsComeBackFromTheEditorAsTheyWentAtAnyZoom) {
  for (TextScale scale :
       {TextScale{1, 96.0 / 72}, TextScale{1.5625, 2.0833}, TextScale{0.3, 0.4}}) {
    QTextDocument text;
    LoadParagraphs(text, Sample(), scale);
    auto back = ReadParagraphs(text, Sample(), scale);
    EXPECT_TRUE(SameText(back, Sample())) << "at zoom " << scale.fontScale;
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0].id, 7u);
    EXPECT_EQ(back[0].inlinePictures.size(), 1u);
    EXPECT_EQ(back[1].markFormat.fontSize, 20) << "an empty paragraph keeps its mark";
    EXPECT_EQ(back[2].runs[0].text, "раз\vдва") << "line breaks stay inside the paragraph";
  }
}

TEST_F(EditText, SplitParagraphsTakeNewIdsAndJoinedOnesLoseTheirs) {
  const TextScale scale;
  QTextDocument text;
  LoadParagraphs(text, Sample(), scale);
  QTextCursor cursor(text.begin());
  cursor.setPosition(3);  // inside "Цена"
  cursor.insertBlock();
  auto split = ReadParagraphs(text, Sample(), scale);
  ASSERT_EQ(split.size(), 4u);
  EXPECT_EQ(split[0].id, 7u);
  EXPECT_EQ(split[1].id, 0u) << "the new half is a new paragraph";
  EXPECT_EQ(split[1].alignment, Alignment::Center);
  EXPECT_EQ(split[1].inlinePictures.size(), 1u) << "the picture went with the text after it";
  EXPECT_EQ(split[2].id, 8u);

  cursor.movePosition(QTextCursor::EndOfBlock);
  cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
  cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  cursor.removeSelectedText();  // the empty paragraph joins the one before it
  auto joined = ReadParagraphs(text, Sample(), scale);
  ASSERT_EQ(joined.size(), 3u);
  EXPECT_EQ(joined[1].id, 0u);
  EXPECT_EQ(joined[2].id, 9u);
  EXPECT_FALSE(SameText(joined, Sample()));
}

// Fields survive editing in place: their results keep their codes, one without result text
// included, and text typed before them stays out of them.
TEST_F(EditText, FieldsComeBackWithTheirCodes) {
  std::vector<Paragraph> loaded(1);
  loaded[0].id = 7;
  loaded[0].runs = {{"Кому: ", RunFormat{}},
                    NewFieldRun(RunFormat{}, " MERGEFIELD Имя ", "«Имя»"),
                    NewFieldRun(RunFormat{}, " DISPLAYBARCODE \"1\" QR ", "")};
  const TextScale scale;
  QTextDocument text;
  LoadParagraphs(text, loaded, scale);
  QTextCursor cursor(text.begin());
  cursor.insertText(QStringLiteral("Для "));
  auto back = ReadParagraphs(text, loaded, scale);
  ASSERT_EQ(back.size(), 1u);
  const auto spans = FieldsIn(back);
  ASSERT_EQ(spans.size(), 2u);
  EXPECT_EQ(spans[0].code, loaded[0].runs[1].format.fieldCode);
  EXPECT_EQ(FieldResultText(back, spans[0]), "«Имя»");
  EXPECT_EQ(spans[1].code, loaded[0].runs[2].format.fieldCode);
  EXPECT_EQ(FieldResultText(back, spans[1]), "");
  EXPECT_EQ(back[0].text(), "Для Кому: «Имя»");
}

// What the editor does not show comes back as it went: line rules, keeping, the section a
// paragraph ends, the table cell. A split paragraph stays in its cell; only one half ends the
// section.
TEST_F(EditText, WhatTheEditorDoesNotShowStays) {
  std::vector<Paragraph> loaded = Sample();
  Paragraph& p = loaded[0];
  p.lineRule = LineRule::Exact;
  p.line = 14;
  p.keepNext = true;
  p.widowControl = false;
  p.sectionEnd = Section{PageSetup{}, SectionStart::OddPage, {}};
  p.cells.push_back({std::make_shared<Table>(), 2, 1});
  const TextScale scale;
  QTextDocument text;
  LoadParagraphs(text, loaded, scale);
  auto back = ReadParagraphs(text, loaded, scale);
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[0].lineRule, LineRule::Exact);
  EXPECT_EQ(back[0].line, 14);
  EXPECT_TRUE(back[0].keepNext);
  EXPECT_FALSE(back[0].widowControl);
  EXPECT_EQ(back[0].sectionEnd, p.sectionEnd);
  EXPECT_EQ(back[0].cells, p.cells);

  QTextCursor cursor(text.begin());
  cursor.setPosition(3);
  cursor.insertBlock();
  auto split = ReadParagraphs(text, loaded, scale);
  ASSERT_EQ(split.size(), 4u);
  EXPECT_EQ(split[0].cells, p.cells);
  EXPECT_EQ(split[1].cells, p.cells);
  EXPECT_TRUE(split[0].sectionEnd.has_value() != split[1].sectionEnd.has_value());
}

// Elements of the file kept in runs (bookmarks, a note's reference) stay where they were when
// the text around them is edited, each once; the note's reference shows its number.
TEST_F(EditText, KeptElementsStayThroughEditing) {
  auto kept = [](const char* xml) {
    return wordproc::Run{std::string(), RunFormat{}, std::make_shared<const std::string>(xml)};
  };
  wordproc::Run note = kept("<w:r><w:footnoteReference w:id=\"1\"/></w:r>");
  note.note = std::make_shared<const NoteMark>(NoteMark{1, "1", false, false, {}});
  std::vector<Paragraph> loaded(1);
  loaded[0].id = 7;
  loaded[0].runs = {{"До ", RunFormat{}},
                    kept("<w:bookmarkStart w:id=\"0\" w:name=\"Метка\"/>"),
                    {"слово", RunFormat{}},
                    kept("<w:bookmarkEnd w:id=\"0\"/>"),
                    note,
                    {" после", RunFormat{}}};
  const TextScale scale;
  QTextDocument text;
  LoadParagraphs(text, loaded, scale);
  EXPECT_EQ(text.toPlainText(), QStringLiteral("До \u2060слово\u20601 после"));
  EXPECT_TRUE(SameText(ReadParagraphs(text, loaded, scale), loaded)) << "nothing edited";

  QTextCursor cursor(text.begin());
  cursor.insertText(QStringLiteral("Текст: "));
  // The bookmark's start copied elsewhere is still one bookmark.
  cursor.setPosition(10);
  cursor.setPosition(11, QTextCursor::KeepAnchor);
  const QTextDocumentFragment start = cursor.selection();
  cursor.movePosition(QTextCursor::End);
  cursor.insertFragment(start);
  const auto back = ReadParagraphs(text, loaded, scale);
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0].text(), "Текст: До слово после");
  std::vector<std::string> raws;
  for (const wordproc::Run& run : back[0].runs)
    if (run.raw) raws.push_back(*run.raw);
  EXPECT_EQ(raws, (std::vector<std::string>{*loaded[0].runs[1].raw, *loaded[0].runs[3].raw,
                                            *loaded[0].runs[4].raw}));
  const auto reference = std::find_if(back[0].runs.begin(), back[0].runs.end(),
                                      [](const wordproc::Run& run) { return run.note != nullptr; });
  ASSERT_NE(reference, back[0].runs.end());
  EXPECT_EQ(reference->note->id, 1);
}

TEST_F(EditText, FormatsThatTheEditorLeavesUnsetComeFromTheModel) {
  const RunFormat fallback = Format("DejaVu Sans", 9, true, false, 0x123456);
  QTextCharFormat partial;
  partial.setFontItalic(true);
  const RunFormat read = RunFormatOf(partial, 2, fallback);
  EXPECT_TRUE(read.italic);
  EXPECT_TRUE(read.bold);
  EXPECT_EQ(read.fontSize, 9);
  EXPECT_EQ(read.color, 0x123456u);
  partial.setFontPointSize(21.1);
  EXPECT_EQ(RunFormatOf(partial, 2, fallback).fontSize, 10.5f) << "half points, as files keep";
}

using EditTyping = EditTest;

TEST_F(EditTyping, TextTypedAndFormattedReachesAutomationTheFileAndLibreOffice) {
  Variant doc = AddDocument();
  doc.get("Content").call("InsertAfter", "Основной текст");
  Variant box = doc.get("Shapes").call("AddTextbox", 1, 100, 150, 250, 80);
  auto* canvas = Canvas(doc);
  DoubleClick(canvas, At(doc, 200, 190));
  QTextEdit* editor = canvas->textEditor();
  ASSERT_NE(editor, nullptr);
  Type(editor, QStringLiteral("Цена 100"));
  editor->selectAll();
  Trigger(doc, "actionBold");
  Trigger(doc, "actionAlignCenter");
  Window(doc)->findChild<QDoubleSpinBox*>("fontSize")->setValue(16);
  replies.push_back({kDialogOk, {}, "#0000FF"});
  Trigger(doc, "actionTextColor");
  Click(canvas, At(doc, 500, 700));  // elsewhere on the page: typing is over
  EXPECT_EQ(canvas->textEditor(), nullptr);
  EXPECT_EQ(box.get("TextFrame").get("TextRange").get("Text").toString(), "Цена 100");

  DoubleClick(canvas, At(doc, 300, 500));
  ASSERT_NE(canvas->textEditor(), nullptr) << "the body is edited where the page has no shape";
  Key(canvas->textEditor(), Qt::Key_Return);
  Type(canvas->textEditor(), QStringLiteral("Вторая строка"));
  Key(canvas->textEditor(), Qt::Key_Escape);
  EXPECT_EQ(doc.get("Content").get("Text").toString(), "Основной текст\rВторая строка\r");
  EXPECT_EQ(Model(doc).shapes[0].anchorParagraph, Model(doc).paragraphs[0].id)
      << "the text box stays anchored where it was";

  const std::string path = scratch_ / "typed.docx";
  replies.push_back({kDialogOk, path});
  Trigger(doc, "actionSaveAs");
  ASSERT_EQ(events->count(kBeforeSave), 1);
  EXPECT_TRUE(events->events.back().args[1].toBool()) << "the Save As dialog was shown";
  auto saved = ReadPackage(path);
  const Paragraph& typed = saved->shapes.at(0).shape->text.at(0);
  ASSERT_EQ(typed.runs.size(), 1u);
  EXPECT_EQ(typed.alignment, Alignment::Center);
  EXPECT_TRUE(typed.runs[0].format.bold);
  EXPECT_EQ(typed.runs[0].format.fontSize, 16);
  EXPECT_EQ(typed.runs[0].format.color, 0x0000FFu);
  ASSERT_EQ(saved->paragraphs.size(), 2u);

  if (!ooxml_test::HaveProgram("soffice")) GTEST_SKIP() << "LibreOffice is not installed";
  const std::string pdf = ooxml_test::ConvertWithLibreOffice(path, "pdf", scratch_.path());
  ASSERT_FALSE(pdf.empty()) << "LibreOffice did not open the file";
  const std::string text = ooxml_test::RunAndCapture("pdftotext " + ooxml_test::Quote(pdf) + " -");
  EXPECT_NE(text.find("Цена 100"), std::string::npos) << text;
  EXPECT_NE(text.find("Вторая строка"), std::string::npos) << text;
}

TEST_F(EditTyping, FormatsGoToWholeTextBoxesWhenNothingIsTyped) {
  Variant doc = AddDocument();
  Variant box = doc.get("Shapes").call("AddTextbox", 1, 100, 100, 200, 60);
  box.get("TextFrame").get("TextRange").put("Text", "Раз\rДва");
  Click(Canvas(doc), At(doc, 150, 130));
  Trigger(doc, "actionItalic");
  Trigger(doc, "actionAlignRight");
  for (const Paragraph& p : Model(doc).shapes[0].shape->text) {
    EXPECT_TRUE(p.runs.at(0).format.italic);
    EXPECT_EQ(p.alignment, Alignment::Right);
  }
  Trigger(doc, "actionUndo");
  EXPECT_EQ(Model(doc).shapes[0].shape->text[1].alignment, Alignment::Left);
  Trigger(doc, "actionUndo");
  EXPECT_FALSE(Model(doc).shapes[0].shape->text[1].runs[0].format.italic);
}

TEST_F(EditTyping, TypingIntoAShapeThatAutomationDeletedGoesNowhere) {
  Variant doc = AddDocument();
  Variant box = doc.get("Shapes").call("AddTextbox", 1, 100, 100, 200, 60);
  DoubleClick(Canvas(doc), At(doc, 150, 130));
  Type(Canvas(doc)->textEditor(), QStringLiteral("потеряно"));
  box.call("Delete");
  EXPECT_EQ(Canvas(doc)->textEditor(), nullptr);
  EXPECT_EQ(doc.get("Shapes").get("Count").toInt(), 0);
  Trigger(doc, "actionUndo");
  EXPECT_EQ(doc.get("Shapes").get("Count").toInt(), 0) << "there was no edit to undo";
}

// A page that holds only endnotes has no body text to edit; the page of the text still has.
TEST_F(EditTyping, APageOfEndnotesAloneIsNotEditedAsTheLastParagraph) {
  std::string note;
  for (int k = 0; k < 1500; ++k) note += " примечание";
  const std::string ns = "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";
  const std::string notes = "<?xml version=\"1.0\"?><w:endnotes " + ns +
                            "><w:endnote w:id=\"1\"><w:p><w:r><w:endnoteRef/></w:r><w:r><w:t>" +
                            note + "</w:t></w:r></w:p></w:endnote></w:endnotes>";
  const std::string rels =
      "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/"
      "2006/relationships\"><Relationship Id=\"rIdE\" Type=\"http://schemas.openxmlformats.org/"
      "officeDocument/2006/relationships/endnotes\" Target=\"endnotes.xml\"/></Relationships>";
  ooxml_test::TempDir dir;
  ooxml_test::WriteFile(
      dir / "notes.docx",
      ooxml_test::PackageWithBody(
          "<w:p><w:r><w:t>Текст</w:t></w:r><w:r><w:endnoteReference "
          "w:id=\"1\"/></w:r></w:p>",
          {{"word/_rels/document.xml.rels", rels}, {"word/endnotes.xml", notes}}));
  Variant doc = word.get("Documents").call("Open", dir / "notes.docx");
  auto* canvas = Canvas(doc);
  ASSERT_GE(doc.get("Content").call("Information", 4).toInt(), 2);
  EXPECT_FALSE(canvas->beginBodyEdit(2));
  EXPECT_EQ(canvas->textEditor(), nullptr);
  EXPECT_TRUE(canvas->beginBodyEdit(1));
  EXPECT_NE(canvas->textEditor(), nullptr);
}

}  // namespace
