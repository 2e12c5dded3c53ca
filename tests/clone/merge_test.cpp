// Records written into glyph copies, on stand-in shapes that answer the word processor's field
// members, and the order labels take their positions in.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "clone/LabelSequence.h"
#include "clone/MergeData.h"

using namespace cloning;
using wordlink::Args;
using wordlink::InvokeKind;
using wordlink::Variant;

namespace {

// An object of named properties and methods.
class Fake : public wordlink::Dispatch {
 public:
  std::map<std::string, Variant> props;
  std::map<std::string, std::function<Variant(Args&)>> methods;
  std::vector<std::string> calls;

  Variant invoke(std::string_view member, InvokeKind kind, Args& args) override {
    const std::string name(member);
    if (kind == InvokeKind::PropertyPut) {
      calls.push_back(name + "=" + args.back().toString());
      props[name] = args.back();
      return {};
    }
    if (auto m = methods.find(name); m != methods.end()) {
      calls.push_back(name);
      return m->second(args);
    }
    if (auto p = props.find(name); p != props.end()) return p->second;
    throw wordlink::AutomationError(name, "нет такого члена");
  }
};

std::shared_ptr<Fake> Collection(const std::vector<Variant>& items) {
  auto fake = std::make_shared<Fake>();
  fake->props["Count"] = int(items.size());
  fake->methods["Item"] = [items](Args& a) { return items.at(std::size_t(a[0].toInt() - 1)); };
  return fake;
}

struct FakeField {
  std::shared_ptr<Fake> field = std::make_shared<Fake>(), code = std::make_shared<Fake>(),
                        result = std::make_shared<Fake>();
  explicit FakeField(const std::string& text) {
    code->props["Text"] = text;
    result->props["Text"] = "«поле»";
    field->props["Code"] = Variant(wordlink::DispatchPtr(code));
    field->props["Result"] = Variant(wordlink::DispatchPtr(result));
    field->methods["Unlink"] = [](Args&) { return Variant(); };
    field->methods["Update"] = [this](Args&) {
      if (code->props["Text"].toString().find("\"bad\"") != std::string::npos)
        throw wordlink::AutomationError("Update", "штрихкод не может закодировать значение");
      return Variant();
    };
  }
  Variant Object() const { return Variant(wordlink::DispatchPtr(field)); }
};

Variant TextShape(const std::vector<const FakeField*>& fields) {
  std::vector<Variant> items;
  for (const FakeField* f : fields) items.push_back(f->Object());
  auto range = std::make_shared<Fake>(), frame = std::make_shared<Fake>(),
       shape = std::make_shared<Fake>();
  range->props["Fields"] = Variant(wordlink::DispatchPtr(Collection(items)));
  frame->props["TextRange"] = Variant(wordlink::DispatchPtr(range));
  shape->props["TextFrame"] = Variant(wordlink::DispatchPtr(frame));
  shape->props["Type"] = 17;
  return Variant(wordlink::DispatchPtr(shape));
}

Variant Group(const std::vector<Variant>& members) {
  auto group = std::make_shared<Fake>();
  group->props["Type"] = 6;
  group->props["GroupItems"] = Variant(wordlink::DispatchPtr(Collection(members)));
  return Variant(wordlink::DispatchPtr(group));
}

Variant Picture() {
  auto picture = std::make_shared<Fake>();
  picture->props["Type"] = 13;  // no text frame: asking for one would fail
  return Variant(wordlink::DispatchPtr(picture));
}

datasource::TDataSource Data() {
  return datasource::ReadCsv("Имя;Код\nИван;4601234567890\nПётр;bad\n", "/d/list.csv");
}

std::vector<std::string> Order(const TCloneParams& glyphs, int sets, int dropAt = -1) {
  TLabelSequence sequence(glyphs, sets);
  std::vector<std::string> order;
  TLabel label;
  bool finished = false;
  while (sequence.Next(label, finished)) {
    std::string entry = std::to_string(label.Glyph);
    if (label.Record) entry += ":" + label.Record->Values[0];
    if (finished) entry += "|";
    order.push_back(entry);
    if (int(order.size()) == dropAt) sequence.DropRecord();
  }
  return order;
}

}  // namespace

TEST(MergeRecord, FieldsOfEveryGroupMemberTakeTheRecord) {
  FakeField name(" MERGEFIELD  Имя \\* Upper \\b \"Кому: \" \\* MERGEFORMAT "),
      code(" MERGEBARCODE \"код\" EAN13 \\t "), other(" PAGE ");
  const Variant copy = Group({Picture(), TextShape({&name, &other}), Group({TextShape({&code})})});
  const datasource::TDataSource data = Data();

  MergeRecord(copy, data, data.Records[0]);

  EXPECT_EQ(name.result->props["Text"].toString(), "Кому: ИВАН");
  EXPECT_EQ(name.field->calls, (std::vector<std::string>{"Unlink"}));
  EXPECT_EQ(code.code->props["Text"].toString(), " DISPLAYBARCODE \"4601234567890\" EAN13 \\t ");
  EXPECT_EQ(code.field->calls, (std::vector<std::string>{"Update"}));
  EXPECT_TRUE(other.field->calls.empty());
}

TEST(MergeRecord, RefusedValueNamesFileRowAndField) {
  FakeField code(" MERGEBARCODE Код QR ");
  const datasource::TDataSource data = Data();
  try {
    MergeRecord(TextShape({&code}), data, data.Records[1]);
    FAIL() << "a value the barcode cannot take was accepted";
  } catch (const TMergeError& e) {
    const std::string message = e.what();
    EXPECT_NE(message.find("«/d/list.csv», строка 3"), std::string::npos) << message;
    EXPECT_NE(message.find("поле «Код»"), std::string::npos) << message;
  }
  FakeField missing(" MERGEFIELD Цена ");
  EXPECT_THROW(MergeRecord(TextShape({&missing}), data, data.Records[0]), TMergeError);
}

TEST(MergeFields, NamesOfTheGlyphAgainstTheData) {
  FakeField a(" MERGEFIELD имя "), b(" MERGEFIELD \"Имя\" "), c(" MERGEBARCODE Цена QR "),
      d(" MERGEFIELD Адрес ");
  auto shapes = Collection({TextShape({&a}), Group({TextShape({&b, &c}), TextShape({&d})})});
  auto doc = std::make_shared<Fake>();
  doc->props["Shapes"] = Variant(wordlink::DispatchPtr(shapes));
  const auto names = ReadMergeFieldNames(Variant(wordlink::DispatchPtr(doc)));
  // Fields in a text are walked from its end.
  EXPECT_EQ(names, (std::vector<std::string>{"имя", "Цена", "Адрес"}));
  const std::string message = MissingFieldsMessage(names, Data(), "/g/glyph.doc");
  EXPECT_NE(message.find("«Цена», «Адрес»"), std::string::npos) << message;
  EXPECT_NE(message.find("«/d/list.csv»"), std::string::npos) << message;
  EXPECT_NE(message.find("«/g/glyph.doc»"), std::string::npos) << message;
  EXPECT_EQ(MissingFieldsMessage({"ИМЯ", "код"}, Data(), "g"), "");
}

TEST(FieldCodes, QuotedNamesAndEscapes) {
  const TFieldCode code = ParseFieldCode("  mergebarcode \"Код \\\"А\\\"\" QR \\q 3  ");
  EXPECT_EQ(code.Keyword, "MERGEBARCODE");
  EXPECT_EQ(code.Name, "Код \"А\"");
  EXPECT_EQ(code.Rest, "QR \\q 3");
}

TEST(LabelOrder, WithoutDataSetAfterSet) {
  TCloneParams glyphs{{"a", 2, nullptr}, {"b", 0, nullptr}};
  EXPECT_EQ(Order(glyphs, 2), (std::vector<std::string>{"0", "0|", "1|", "0", "0|", "1|"}));
  EXPECT_TRUE(Order(glyphs, 0).empty());
}

TEST(LabelOrder, WithDataRecordAfterRecordTimesItsCount) {
  auto data = std::make_shared<datasource::TDataSource>(
      datasource::ReadCsv("Имя;Количество\nА;2\nБ;0\nВ;\n", "c.csv"));
  TCloneParams glyphs{{"a", 5, data}, {"b", 2, nullptr}};
  EXPECT_EQ(Order(glyphs, 2),
            (std::vector<std::string>{"0:А", "0:А|", "0:В|", "1", "1|", "1", "1|"}));
  EXPECT_EQ(LabelCount(glyphs, 2), 7);
  // A record that cannot be merged gives up its remaining copies.
  EXPECT_EQ(Order({{"a", 1, data}}, 1, 1), (std::vector<std::string>{"0:А", "0:В|"}));
  // Sets do not apply to data: none of them still leaves every record.
  EXPECT_EQ(Order({{"a", 1, data}}, 0).size(), 3u);
}

TEST(LabelOrder, DataWithoutLabelsPlacesNothing) {
  auto data = std::make_shared<datasource::TDataSource>(
      datasource::ReadCsv("Имя;Количество\nА;0\n", "z.csv"));
  EXPECT_TRUE(Order({{"a", 1, data}}, 3).empty());
  EXPECT_EQ(LabelCount({{"a", 1, data}}, 3), 0);
}

TEST(FieldCodes, LetterCaseOfLatinAndCyrillic) {
  EXPECT_EQ(ChangeLetterCase("ёжик и Ann", "UPPER"), "ЁЖИК И ANN");
  EXPECT_EQ(ChangeLetterCase("ЁЖИК И ANN", "LOWER"), "ёжик и ann");
  EXPECT_EQ(ChangeLetterCase("иван петров-водкин", "CAPS"), "Иван Петров-Водкин");
  EXPECT_EQ(ChangeLetterCase("«ёлка» ёлка", "FIRSTCAP"), "«Ёлка» ёлка");
  EXPECT_EQ(ChangeLetterCase("как есть", "MERGEFORMAT"), "как есть");
}
