// Drawing a glyph's first page as a thumbnail: the work each row of the thumbnail view waits for.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdlib>
#include <vector>

#include "wordlink/OleContainer.h"
#include "wordproc/Container.h"
#include "wordproc/Render.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;

namespace {

constexpr int kThumbnailWidth = 216;

Paragraph Text(Document& doc, const std::string& text, float size, bool bold = false) {
  Paragraph paragraph;
  paragraph.id = doc.newParagraphId();
  Run run{text, {}};
  run.format.fontSize = size;
  run.format.bold = bold;
  paragraph.runs.push_back(run);
  paragraph.markFormat = run.format;
  return paragraph;
}

Shape& Add(Document& doc, ShapeKind kind, float l, float t, float w, float h) {
  auto shape = std::make_unique<Shape>();
  shape->id = doc.newShapeId();
  shape->kind = kind;
  shape->left = l;
  shape->top = t;
  shape->width = w;
  shape->height = h;
  Shape& placed = *shape;
  doc.shapes.push_back({std::move(shape), doc.paragraphs[0].id});
  return placed;
}

// A label design as the catalogue holds them: a few text boxes, a frame, a rule, an oval logo
// and the page-sized text box the thumbnail copy receives.
Document GlyphDocument() {
  Document doc;
  doc.paragraphs[0] = Text(doc, "Этикетка для банок с вареньем", 12);
  Shape& title = Add(doc, ShapeKind::TextBox, 60, 60, 300, 80);
  title.text = {Text(doc, "Клубничное варенье", 24, true), Text(doc, "урожай 2024 года", 14)};
  Shape& frame = Add(doc, ShapeKind::AutoShape, 50, 50, 495, 300);
  frame.autoShapeType = AutoShapeType::RoundedRectangle;
  frame.fill.visible = false;
  frame.line.weight = 2;
  Shape& rule = Add(doc, ShapeKind::Line, 60, 160, 475, 0);
  rule.line.dash = DashStyle::Dash;
  Shape& logo = Add(doc, ShapeKind::AutoShape, 420, 70, 100, 80);
  logo.autoShapeType = AutoShapeType::Oval;
  logo.fill.color = 0xE04040;
  Shape& note = Add(doc, ShapeKind::TextBox, 60, 180, 475, 150);
  for (int i = 0; i < 4; ++i)
    note.text.push_back(
        Text(doc, "Состав: клубника, сахар, лимонный сок. Хранить в прохладном месте.", 11));
  Shape& page =
      Add(doc, ShapeKind::TextBox, 0, 0, doc.pageSetup.pageWidth, doc.pageSetup.pageHeight);
  page.fill.visible = false;
  return doc;
}

const std::string& GlyphFile() {
  static QTemporaryDir dir;
  static const std::string path = [] {
    std::string file = dir.filePath("glyph.doc").toStdString();
    WritePackage(GlyphDocument(), file);
    return file;
  }();
  return path;
}

void BM_OpenAndRenderFirstPage(benchmark::State& state) {
  const std::string& file = GlyphFile();
  for (auto _ : state) {
    auto doc = LoadDocumentFile(file);
    Layout layout(*doc, FontMeasurer());
    QImage image = RenderPage(*doc, layout, 1, kThumbnailWidth);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_OpenAndRenderFirstPage)->Unit(benchmark::kMillisecond)->Repetitions(5);

// The same through the container, as the thumbnail rendering does it.
void BM_ContainerThumbnail(benchmark::State& state) {
  const std::string& file = GlyphFile();
  std::vector<std::uint32_t> canvas(kThumbnailWidth * 310);
  for (auto _ : state) {
    auto container = wordlink::CreateOleContainer();
    container->setAutoSize(true);
    container->createObjectFromFile(file, false);
    double ratio = double(container->height()) / container->width();
    container->setWidth(kThumbnailWidth);
    container->setHeight(int(std::nearbyint(kThumbnailWidth * ratio)));
    container->paintTo(canvas.data(), kThumbnailWidth, 310, 0, 0);
    container->destroyObject();
  }
}
BENCHMARK(BM_ContainerThumbnail)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_RenderOnly(benchmark::State& state) {
  Document doc = GlyphDocument();
  Layout layout(doc, FontMeasurer());
  for (auto _ : state) {
    QImage image = RenderPage(doc, layout, 1, kThumbnailWidth);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_RenderOnly)->Unit(benchmark::kMillisecond);

// A one-page glyph of 50 shapes of as many presets, some turned, as drawings made in other
// word processors bring them: the thumbnail evaluates every outline from its formulas.
Document PresetGlyphDocument() {
  Document doc;
  doc.paragraphs[0] = Text(doc, "Фигуры", 12);
  const std::vector<std::string> names = geometry::PresetNames();
  for (int k = 0; k < 50; ++k) {
    Shape& shape =
        Add(doc, ShapeKind::AutoShape, 30.0f + 110 * (k % 5), 30.0f + 75 * (k / 5), 90, 60);
    shape.preset = names[std::size_t(k * 3) % names.size()];
    shape.rotation = float(k % 4) * 15;
    shape.fill.color = 0x4472C4;
  }
  return doc;
}

void BM_PresetShapesThumbnail(benchmark::State& state) {
  Document doc = PresetGlyphDocument();
  Layout layout(doc, FontMeasurer());
  for (auto _ : state) {
    QImage image = RenderPage(doc, layout, 1, kThumbnailWidth);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_PresetShapesThumbnail)->Unit(benchmark::kMillisecond)->Repetitions(5);

// The presets again, painted as label designs are: linear, circular and rectangular gradients
// in turn, one in five with a shadow, and a WordArt title across the top.
void Paint(Shape& shape, int k) {
  shape.fill.type = FillType::Gradient;
  shape.fill.stops = {{0, 0xFFFFFF, 1}, {0.5f, 0x4472C4, 1}, {1, 0x1F3864, 1}};
  shape.fill.path = k % 3 == 0   ? GradientPath::Linear
                    : k % 3 == 1 ? GradientPath::Circle
                                 : GradientPath::Rect;
  shape.fill.angle = float(k * 30 % 360);
  shape.shadow.visible = k % 5 == 0;
  shape.shadow.distance = 3;
  shape.shadow.blur = 4;
}

void AddWordArt(Document& doc, float top) {
  Shape& art = Add(doc, ShapeKind::AutoShape, 150, top, 300, 60);
  art.warp.preset = "textArchUp";
  art.fill.visible = false;
  art.line.visible = false;
  art.text = {Text(doc, "Клубничное варенье", 28, true)};
}

Document PaintedGlyphDocument() {
  Document doc = PresetGlyphDocument();
  for (std::size_t k = 0; k < doc.shapes.size(); ++k) Paint(*doc.shapes[k].shape, int(k));
  AddWordArt(doc, 2);
  return doc;
}

void BM_PaintedPresetsThumbnail(benchmark::State& state) {
  Document doc = PaintedGlyphDocument();
  Layout layout(doc, FontMeasurer());
  for (auto _ : state) {
    QImage image = RenderPage(doc, layout, 1, kThumbnailWidth);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_PaintedPresetsThumbnail)->Unit(benchmark::kMillisecond)->Repetitions(5);

// A sheet of 100 pages, each a copy of the painted glyph or of as many plain rectangles.
Document Sheet(bool painted) {
  Document doc;
  doc.paragraphs.clear();
  const std::vector<std::string> names = geometry::PresetNames();
  for (int page = 0; page < 100; ++page) {
    Paragraph p = Text(doc, "Лист", 12);
    p.pageBreakBefore = page > 0;
    doc.paragraphs.push_back(p);
    for (int k = 0; k < 50; ++k) {
      Shape& shape =
          Add(doc, ShapeKind::AutoShape, 30.0f + 110 * (k % 5), 30.0f + 75 * (k / 5), 90, 60);
      doc.shapes.back().anchorParagraph = p.id;
      shape.relV = RelV::Paragraph;
      shape.fill.color = 0x4472C4;
      if (!painted) continue;
      shape.preset = names[std::size_t(k * 3) % names.size()];
      shape.rotation = float(k % 4) * 15;
      Paint(shape, k);
    }
    if (painted) {
      AddWordArt(doc, 2);
      doc.shapes.back().anchorParagraph = p.id;
      doc.shapes.back().shape->relV = RelV::Paragraph;
    }
  }
  return doc;
}

void SheetToPdf(benchmark::State& state, bool painted) {
  Document doc = Sheet(painted);
  Layout layout(doc, FontMeasurer());
  QTemporaryDir dir;
  const std::string path = dir.filePath("sheet.pdf").toStdString();
  for (auto _ : state) WritePdf(doc, layout, path);
  state.counters["bytes"] = double(QFileInfo(QString::fromStdString(path)).size());
  // VSP_BENCH_KEEP=folder keeps the sheets to look at.
  if (const char* keep = std::getenv("VSP_BENCH_KEEP")) {
    const QString copy = QString("%1/%2.pdf").arg(keep, painted ? "painted" : "plain");
    QFile::remove(copy);
    QFile::copy(QString::fromStdString(path), copy);
  }
}
void BM_PaintedSheetPdf(benchmark::State& state) {
  SheetToPdf(state, true);
}
void BM_PlainSheetPdf(benchmark::State& state) {
  SheetToPdf(state, false);
}
BENCHMARK(BM_PaintedSheetPdf)->Unit(benchmark::kMillisecond)->Repetitions(3)->Iterations(1);
BENCHMARK(BM_PlainSheetPdf)->Unit(benchmark::kMillisecond)->Repetitions(3)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);  // fonts need it
  RegisterDocumentContainer();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
