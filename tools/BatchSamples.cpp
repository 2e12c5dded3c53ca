#include "tools/BatchSamples.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "app/uCommon.h"
#include "app/uStartup.h"
#include "platform/Files.h"
#include "wordlink/Automation.h"

namespace batch {

namespace fs = std::filesystem;
using wordlink::Variant;

const char* const kSampleGlyphTypes =
    "Стандартный,210,297,0,Другие\n"
    "Визитка,90,50,0,Визитки\n"
    "Этикетка,70,37,0,Этикетки\n"
    "Печать,40,40,0,Печати\n";

namespace {

constexpr int kRectangle = 1, kRoundedRectangle = 5, kOval = 9;
constexpr int kDashed = 4;

float Mm(float millimetres) {
  return millimetres * app::PointsPerMm;
}

struct PageSize {
  float width, height, margin;
};
const PageSize kA4{210, 297, 10}, kA5{148, 210, 10};

Variant NewDocument(const Variant& word, PageSize page) {
  Variant doc = word.get("Documents").call("Add");
  Variant setup = doc.get("PageSetup");
  for (const char* m : {"TopMargin", "BottomMargin", "LeftMargin", "RightMargin"})
    setup.put(m, Mm(page.margin));
  setup.put("PageWidth", Mm(page.width));
  setup.put("PageHeight", Mm(page.height));
  return doc;
}

void PlaceOnPage(const Variant& shape, float l, float t) {
  shape.put("RelativeHorizontalPosition", 1);
  shape.put("RelativeVerticalPosition", 1);
  shape.put("Left", Mm(l));
  shape.put("Top", Mm(t));
}

Variant AddShape(const Variant& doc, int type, float l, float t, float w, float h) {
  Variant shape = doc.get("Shapes").call("AddShape", type, Mm(l), Mm(t), Mm(w), Mm(h));
  PlaceOnPage(shape, l, t);
  return shape;
}

Variant AddText(const Variant& doc, float l, float t, float w, float h, const std::string& text) {
  Variant box = doc.get("Shapes").call("AddTextbox", 1, Mm(l), Mm(t), Mm(w), Mm(h));
  PlaceOnPage(box, l, t);
  box.get("Line").put("Visible", 0);
  box.get("Fill").put("Visible", 0);
  box.get("TextFrame").get("TextRange").put("Text", text);
  return box;
}

// A cut line: its width or its height is zero, which is what makes it a line of the template
// rather than a label position.
void AddCutLine(const Variant& doc, float x1, float y1, float x2, float y2) {
  Variant line = doc.get("Shapes").call("AddLine", Mm(x1), Mm(y1), Mm(x2), Mm(y2));
  line.put("RelativeHorizontalPosition", 1);
  line.put("RelativeVerticalPosition", 1);
  line.get("Line").put("Weight", 0.5f);
  line.get("Line").put("DashStyle", kDashed);
}

struct Grid {
  int cols, rows;
  float width, height, gap;  // millimetres; gap between neighbours
  int shape;
};

// Label positions centred on the page, and cut lines along the inner boundaries of the grid
// (in the middle of the gaps when the labels do not touch).
void MakeTemplate(const Variant& doc, PageSize page, const Grid& g) {
  const float gridW = g.cols * g.width + (g.cols - 1) * g.gap;
  const float gridH = g.rows * g.height + (g.rows - 1) * g.gap;
  const float left = (page.width - gridW) / 2, top = (page.height - gridH) / 2;
  for (int r = 0; r < g.rows; ++r)
    for (int c = 0; c < g.cols; ++c) {
      Variant position = AddShape(doc, g.shape, left + c * (g.width + g.gap),
                                  top + r * (g.height + g.gap), g.width, g.height);
      position.get("Fill").put("Visible", 0);
    }
  const float overhang = 4;
  for (int c = 1; c < g.cols; ++c) {
    const float x = left + c * (g.width + g.gap) - g.gap / 2;
    AddCutLine(doc, x, std::max(0.0f, top - overhang), x,
               std::min(page.height, top + gridH + overhang));
  }
  for (int r = 1; r < g.rows; ++r) {
    const float y = top + r * (g.height + g.gap) - g.gap / 2;
    AddCutLine(doc, std::max(0.0f, left - overhang), y,
               std::min(page.width, left + gridW + overhang), y);
  }
}

struct Sample {
  std::string path;
  PageSize page;
  bool readOnly;
  std::function<void(const Variant&)> fill;
};

PageSize Label(float w, float h) {
  return {w, h, 0};
}

std::vector<Sample> Templates() {
  const std::string a4 = "Шаблон_A4 (210 x 297 mm).doc";
  return {
      {"Оттиски/Визитки/" + a4, kA4, false,
       [](auto& d) {
         MakeTemplate(d, kA4, {2, 5, 90, 50, 0, kRectangle});
       }},
      {"Оттиски/Визитки/Шаблон_A5 (148 x 210 mm).doc", kA5, false,
       [](auto& d) {
         MakeTemplate(d, kA5, {1, 4, 90, 50, 0, kRectangle});
       }},
      {"Оттиски/Этикетки/" + a4, kA4, false,
       [](auto& d) {
         MakeTemplate(d, kA4, {3, 8, 70, 37, 0, kRectangle});
       }},
      {"Оттиски/Печати/" + a4, kA4, false,
       [](auto& d) {
         MakeTemplate(d, kA4, {4, 6, 40, 40, 8, kOval});
       }},
  };
}

std::vector<Sample> BusinessCards() {
  const std::string root = "Оттиски/Визитки/";
  return {
      {root + "Коллекция оттисков/Визитка классическая.doc", Label(90, 50), true,
       [](auto& d) {
         AddShape(d, kRectangle, 3, 3, 84, 44).get("Fill").put("Visible", 0);
         AddText(d, 8, 9, 74, 12, "Иван Петров");
         AddText(d, 8, 24, 74, 18, "Дизайнер этикеток\nтел. +7 900 000-00-00");
       }},
      {root + "Коллекция оттисков/Визитка с логотипом.doc", Label(90, 50), true,
       [](auto& d) {
         AddShape(d, kOval, 5, 7, 36, 36);
         AddText(d, 45, 14, 42, 22, "Студия «Печать»\nул. Лесная, 1");
       }},
      {root + "Мои оттиски/Моя визитка.doc", Label(90, 50), false,
       [](auto& d) {
         AddShape(d, kRoundedRectangle, 2, 2, 86, 46).get("Fill").put("Visible", 0);
         AddText(d, 8, 15, 74, 20, "Мария Соколова\nфлористика");
       }},
  };
}

std::vector<Sample> Labels() {
  const std::string root = "Оттиски/Этикетки/";
  return {
      {root + "Коллекция оттисков/Этикетка «Варенье».doc", Label(70, 37), true,
       [](auto& d) {
         AddShape(d, kRoundedRectangle, 2, 2, 66, 33).get("Fill").put("Visible", 0);
         AddText(d, 8, 10, 54, 16, "Варенье вишнёвое\n2024");
       }},
      {root + "Коллекция оттисков/Этикетка «Мёд».doc", Label(70, 37), true,
       [](auto& d) {
         AddShape(d, kOval, 3, 3, 64, 31);
         AddText(d, 15, 12, 40, 12, "Мёд липовый");
       }},
      {root + "Мои оттиски/Этикетка для специй.doc", Label(70, 37), false,
       [](auto& d) {
         AddShape(d, kRectangle, 1, 1, 68, 35).get("Fill").put("Visible", 0);
         AddText(d, 6, 12, 58, 12, "Паприка копчёная");
       }},
  };
}

std::vector<Sample> Seals() {
  const std::string root = "Оттиски/Печати/";
  auto seal = [](const std::string& text) {
    return [text](const Variant& d) {
      AddShape(d, kOval, 1, 1, 38, 38).get("Fill").put("Visible", 0);
      AddShape(d, kOval, 5, 5, 30, 30).get("Fill").put("Visible", 0);
      AddText(d, 7, 15, 26, 10, text);
    };
  };
  return {
      {root + "Коллекция оттисков/Печать «Оплачено».doc", Label(40, 40), true, seal("ОПЛАЧЕНО")},
      {root + "Коллекция оттисков/Печать «Проверено».doc", Label(40, 40), true, seal("ПРОВЕРЕНО")},
      {root + "Мои оттиски/Моя печать.doc", Label(40, 40), false, seal("Мастерская")},
  };
}

std::vector<Sample> Samples() {
  std::vector<Sample> all = Templates();
  for (auto group : {BusinessCards(), Labels(), Seals()})
    all.insert(all.end(), group.begin(), group.end());
  return all;
}

void MakeFolders(const fs::path& root) {
  for (const char* category : {"Визитки", "Этикетки", "Печати", "Другие"}) {
    fs::create_directories(root / "Оттиски" / category / "Мои оттиски");
    fs::create_directories(root / "Листы" / category / "Мои листы");
  }
}

void WriteGlyphTypes(const fs::path& root, std::ostream& out) {
  const fs::path file = root / app::GlyphTypesFileName;
  if (fs::exists(file)) return;
  const std::string text = kSampleGlyphTypes;
  platform::WriteFileAtomically(file.string(), text.data(), text.size());
  out << app::GlyphTypesFileName << "\n";
}

void MakeSample(const Variant& word, const fs::path& root, const Sample& s, std::ostream& out) {
  const fs::path file = root / s.path;
  if (fs::exists(file)) return;
  fs::create_directories(file.parent_path());
  Variant doc = NewDocument(word, s.page);
  s.fill(doc);
  doc.call("SaveAs", file.string());
  doc.call("Close", 0);
  if (s.readOnly) platform::SetReadOnly(file.string());
  out << s.path << "\n";
}

}  // namespace

int BatchMakeSamples(const std::string& dataFolder, std::ostream& out, std::ostream& err) {
  fs::path root(dataFolder);
  Variant word;
  try {
    word = wordlink::CreateOleObject("Word.Application");
    word.put("Visible", false);
    MakeFolders(root);
    for (const Sample& s : Samples()) MakeSample(word, root, s, out);
    WriteGlyphTypes(root, out);
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

int BatchSeedDefaultDataFolder(std::ostream& out, std::ostream& err) {
  const std::string folder = app::DefaultDataFolder();
  if (platform::DirectoryExists(folder)) return 0;
  out << folder << "\n";
  return BatchMakeSamples(folder, out, err);
}

}  // namespace batch
