#include "tools/BatchSamples.h"

#include <filesystem>
#include <functional>

#include "app/uCommon.h"
#include "wordlink/Automation.h"

namespace batch {

namespace fs = std::filesystem;
using wordlink::Variant;

namespace {

float Mm(float millimetres) { return millimetres * app::PointsPerMm; }

struct PageSize {
  float width, height, margin;
};

Variant NewDocument(const Variant& word, PageSize page) {
  Variant doc = word.get("Documents").call("Add");
  Variant setup = doc.get("PageSetup");
  setup.put("PageWidth", Mm(page.width));
  setup.put("PageHeight", Mm(page.height));
  for (const char* m : {"TopMargin", "BottomMargin", "LeftMargin", "RightMargin"})
    setup.put(m, Mm(page.margin));
  return doc;
}

Variant AddShape(const Variant& doc, int type, float l, float t, float w, float h,
                 const std::string& name) {
  Variant shape = doc.get("Shapes").call("AddShape", type, Mm(l), Mm(t), Mm(w), Mm(h));
  shape.put("RelativeHorizontalPosition", 1);
  shape.put("RelativeVerticalPosition", 1);
  shape.put("Left", Mm(l));
  shape.put("Top", Mm(t));
  if (!name.empty()) shape.put("Name", name);
  return shape;
}

Variant AddText(const Variant& doc, float l, float t, float w, float h, const std::string& text) {
  Variant box = doc.get("Shapes").call("AddTextbox", 1, Mm(l), Mm(t), Mm(w), Mm(h));
  box.put("RelativeHorizontalPosition", 1);
  box.put("RelativeVerticalPosition", 1);
  box.put("Left", Mm(l));
  box.put("Top", Mm(t));
  box.get("Line").put("Visible", 0);
  box.get("Fill").put("Visible", 0);
  box.get("TextFrame").get("TextRange").put("Text", text);
  return box;
}

void AddGuideLine(const Variant& doc, float x1, float y1, float x2, float y2) {
  Variant line = doc.get("Shapes").call("AddLine", Mm(x1), Mm(y1), Mm(x2), Mm(y2));
  line.put("RelativeHorizontalPosition", 1);
  line.put("RelativeVerticalPosition", 1);
  line.get("Line").put("Weight", 0.5f);
  line.get("Line").put("DashStyle", 4);
}

// A template: label positions in a grid, and cutting guides between the columns.
void MakeTemplate(const Variant& doc, int cols, int rows, float w, float h, int shapeType) {
  float left = (210 - cols * w) / 2, top = (297 - rows * h) / 2;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c)
      AddShape(doc, shapeType, left + c * w, top + r * h, w, h, "");
  for (int c = 1; c < cols; ++c)
    AddGuideLine(doc, left + c * w, top - 5, left + c * w, top + rows * h + 5);
}

struct Sample {
  std::string path;
  PageSize page;
  std::function<void(const Variant&)> fill;
};

std::vector<Sample> Samples() {
  const PageSize a4{210, 297, 0}, card{90, 50, 0}, label{70, 37, 0}, round{40, 40, 0};
  return {
      {"Оттиски/Визитки/Шаблон_A4.doc", a4, [](auto& d) { MakeTemplate(d, 2, 5, 90, 50, 1); }},
      {"Оттиски/Визитки/Коллекция оттисков/Визитка классическая.doc", card,
       [](auto& d) {
         AddShape(d, 5, 3, 3, 84, 44, "Рамка");
         AddText(d, 8, 10, 74, 12, "Иван Петров");
         AddText(d, 8, 24, 74, 18, "Дизайнер этикеток\nтел. +7 900 000-00-00");
       }},
      {"Оттиски/Визитки/Коллекция оттисков/Визитка круглая.doc", card,
       [](auto& d) {
         AddShape(d, 9, 5, 5, 40, 40, "Логотип");
         AddText(d, 48, 15, 40, 20, "Студия «Печать»");
       }},
      {"Оттиски/Этикетки/Шаблон_A4.doc", a4, [](auto& d) { MakeTemplate(d, 3, 8, 70, 37, 1); }},
      {"Оттиски/Этикетки/Коллекция оттисков/Этикетка банки.doc", label,
       [](auto& d) {
         AddShape(d, 9, 2, 2, 66, 33, "Овал");
         AddText(d, 10, 12, 50, 12, "Варенье вишнёвое");
       }},
      {"Оттиски/Круглые/Шаблон_A4.doc", a4, [](auto& d) { MakeTemplate(d, 4, 6, 45, 45, 9); }},
      {"Оттиски/Круглые/Коллекция оттисков/Наклейка круглая.doc", round,
       [](auto& d) {
         AddShape(d, 9, 1, 1, 38, 38, "Круг");
         AddText(d, 6, 15, 28, 10, "Сделано с любовью");
       }},
      {"Листы/Визитки/Коллекция листов/Лист визиток.doc", a4,
       [](auto& d) {
         AddShape(d, 1, 15, 23.5f, 90, 50, "VSP_CLONED_1");
         AddShape(d, 1, 105, 23.5f, 90, 50, "VSP_CLONED_2");
         AddGuideLine(d, 105, 18.5f, 105, 278.5f);
         d.get("Shapes").call("Item", 3).put("Name", "VSP_NONPRINTABLE_L1");
       }},
  };
}

}  // namespace

int BatchMakeSamples(const std::string& dataFolder, std::ostream& out, std::ostream& err) {
  fs::path root(dataFolder);
  Variant word;
  try {
    word = wordlink::CreateOleObject("Word.Application");
    for (const char* folder : {"Оттиски/Визитки/Мои оттиски", "Оттиски/Другие/Мои оттиски",
                               "Листы/Визитки/Мои листы", "Листы/Другие/Мои листы"})
      fs::create_directories(root / folder);
    for (const Sample& s : Samples()) {
      fs::path file = root / s.path;
      if (fs::exists(file)) continue;
      fs::create_directories(file.parent_path());
      Variant doc = NewDocument(word, s.page);
      s.fill(doc);
      doc.call("SaveAs", file.string());
      doc.call("Close", 0);
      out << s.path << "\n";
    }
    word.call("Quit", 0);
    return 0;
  } catch (const std::exception& e) {
    err << "Не удалось создать примеры в \"" << dataFolder << "\": " << e.what() << "\n";
    if (word.isObject()) {
      try {
        word.call("Quit", 0);
      } catch (...) {
      }
    }
    return 1;
  }
}

}  // namespace batch
