// Fields made and changed in a document window: «Поле…» and «Штрихкод…» put a field at the cursor
// of the text being typed, or at the end
// of the selected text box's text, «Изменить поле…» changes its first field; the dialogs read
// the instructions they are given back as they were.
#include <QApplication>
#include <QTextEdit>

#include "tests/wordproc/edit_support.h"
#include "wordproc/FieldDialogs.h"
#include "wordproc/core/Fields.h"

using namespace edit_test;
using namespace wordproc;

namespace {

class EditFields : public EditTest {
 protected:
  static std::vector<std::pair<std::string, std::string>> FieldsOfShape(const Variant& doc) {
    std::vector<std::pair<std::string, std::string>> out;
    const auto& text = Model(doc).shapes.at(0).shape->text;
    for (const FieldSpan& span : FieldsIn(text))
      out.push_back({span.code->instruction, FieldResultText(text, span)});
    return out;
  }
};

TEST_F(EditFields, TheInsertMenuPutsFieldsInTheSelectedTextBox) {
  Variant doc = AddDocument();
  Variant box = doc.get("Shapes").call("AddTextbox", 1, 72, 72, 200, 100);
  box.get("TextFrame").get("TextRange").put("Text", "Получатель: ");
  box.call("Select");
  replies.push_back({kDialogOk, {}, " MERGEFIELD Имя \\* Upper "});
  Trigger(doc, "actionInsertField");
  replies.push_back({kDialogOk, {}, " DISPLAYBARCODE \"4601234567893\" EAN13 \\h 720 "});
  Trigger(doc, "actionInsertBarcode");
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].kind, DialogKind::Field);
  EXPECT_EQ(asked[1].kind, DialogKind::Barcode);
  auto fields = FieldsOfShape(doc);
  ASSERT_EQ(fields.size(), 2u);
  EXPECT_EQ(fields[0],
            std::make_pair(std::string(" MERGEFIELD Имя \\* Upper "), std::string("«Имя»")));
  EXPECT_EQ(fields[1].second, "4601234567893");
  EXPECT_EQ(box.get("TextFrame").get("TextRange").get("Fields").get("Count").toInt(), 2);

  replies.push_back({kDialogOk, {}, " MERGEFIELD Фамилия "});
  Trigger(doc, "actionEditField");
  fields = FieldsOfShape(doc);
  EXPECT_EQ(fields[0],
            std::make_pair(std::string(" MERGEFIELD Фамилия "), std::string("«Фамилия»")));
  Trigger(doc, "actionUndo");
  EXPECT_EQ(FieldsOfShape(doc)[0].first, " MERGEFIELD Имя \\* Upper ");
  // A cancelled dialog changes nothing.
  replies.push_back({kDialogCancel});
  Trigger(doc, "actionInsertField");
  EXPECT_EQ(FieldsOfShape(doc).size(), 2u);
}

TEST_F(EditFields, WhileTypingFieldsGoInAtTheCursorAndADoubleClickChangesThem) {
  Variant doc = AddDocument();
  Variant box = doc.get("Shapes").call("AddTextbox", 1, 100, 150, 250, 80);
  auto* canvas = Canvas(doc);
  DoubleClick(canvas, At(doc, 200, 190));
  QTextEdit* editor = canvas->textEditor();
  ASSERT_NE(editor, nullptr);
  Type(editor, QStringLiteral("Кому: , до встречи"));
  QTextCursor cursor = editor->textCursor();
  cursor.setPosition(6);
  editor->setTextCursor(cursor);
  replies.push_back({kDialogOk, {}, " MERGEFIELD Имя "});
  Trigger(doc, "actionInsertField");
  ASSERT_EQ(canvas->textEditor(), editor) << "typing goes on after the field";
  Type(editor, QStringLiteral("!"));

  // A double click on the field's text opens its dialog with it and puts the answer in its place.
  cursor.setPosition(8);
  DoubleClick(editor->viewport(), editor->cursorRect(cursor).center());
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[1].kind, DialogKind::Field);
  EXPECT_EQ(canvas->fieldAtCursor(), " MERGEFIELD Имя ") << "a cancelled dialog changes nothing";
  replies.push_back({kDialogOk, {}, " MERGEFIELD Фамилия \\* Upper "});
  DoubleClick(editor->viewport(), editor->cursorRect(cursor).center());
  Key(editor, Qt::Key_Escape);

  EXPECT_EQ(box.get("TextFrame").get("TextRange").get("Text").toString(),
            "Кому: «Фамилия»!, до встречи");
  const auto fields = FieldsOfShape(doc);
  ASSERT_EQ(fields.size(), 1u);
  EXPECT_EQ(fields[0].first, " MERGEFIELD Фамилия \\* Upper ");

  // Body text takes fields the same way.
  DoubleClick(canvas, At(doc, 300, 500));
  ASSERT_NE(canvas->textEditor(), nullptr);
  Type(canvas->textEditor(), QStringLiteral("Дата: "));
  replies.push_back({kDialogOk, {}, " DATE \\@ \"yyyy\" "});
  Trigger(doc, "actionInsertField");
  Key(canvas->textEditor(), Qt::Key_Escape);
  EXPECT_EQ(doc.get("Fields").get("Count").toInt(), 1);
  EXPECT_EQ(doc.get("Fields").call("Item", 1).get("Code").get("Text").toString(),
            " DATE \\@ \"yyyy\" ");
}

TEST_F(EditFields, DialogsGiveBackTheInstructionsTheyShow) {
  const std::string date = " DATE \\@ \"d MMMM yyyy\" ";
  EXPECT_EQ(FieldDialog(date).instruction(), date);
  const std::string seq = " SEQ Этикетка \\* ROMAN ";
  EXPECT_EQ(FieldDialog(seq).instruction(), seq);
  const std::string merge = " MERGEFIELD \"Имя клиента\" \\* Caps \\* MERGEFORMAT ";
  EXPECT_EQ(FieldDialog(merge).instruction(), merge);
  const std::string barcode = " MERGEBARCODE Код EAN13 \\h 720 \\s 150 \\t ";
  EXPECT_EQ(BarcodeDialog(barcode).instruction(), barcode);
  const std::string qr = " DISPLAYBARCODE \"Привет, мир\" QR \\h 1440 \\s 100 ";
  EXPECT_EQ(BarcodeDialog(qr).instruction(), qr);
}

}  // namespace
