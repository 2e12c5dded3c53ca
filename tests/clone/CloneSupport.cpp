#include "CloneSupport.h"

#include <unistd.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "clone/uPlacing.h"
#include "platform/Files.h"
#include "tests/support/Gui.h"
#include "wordproc/Dialogs.h"
#include "wordproc/WordProcessor.h"
#include "wordproc/core/Ooxml.h"

namespace clone_test {

namespace fs = std::filesystem;

std::string NewDataFolder() {
  return test_support::NewFolder("data") + "/";
}

void MakeGlyph(const Variant& word, const std::string& path, const std::string& tag, float side) {
  Variant doc = test_support::NewPage(word, side, side);
  if (!tag.empty()) {
    Variant oval = doc.get("Shapes").call("AddShape", 9, 10.0f, 20.0f, 50.0f, 40.0f);
    oval.put("Name", tag + " oval");
  }
  test_support::SaveClosed(doc, path);
}

void MakeInlinePictureGlyph(const std::string& path, float width, float height) {
  fs::create_directories(fs::path(path).parent_path());
  wordproc::Document file;
  QImage picture(8, 4, QImage::Format_RGB32);
  picture.fill(Qt::red);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "PNG");
  auto image = std::make_shared<wordproc::Image>();
  image->contentType = "image/png";
  image->extension = "png";
  image->bytes.assign(png.begin(), png.end());
  file.paragraphs[0].inlinePictures.push_back(
      {0, file.newShapeId(), "Logo", width, height, image, {}, {}, nullptr, nullptr});
  wordproc::WritePackage(file, path);
}

void MakeTemplate(const Variant& word, const std::string& path, const std::vector<Rect>& positions,
                  const std::vector<Line>& lines) {
  fs::create_directories(fs::path(path).parent_path());
  Variant doc = word.get("Documents").call("Add");
  Variant shapes = doc.get("Shapes");
  for (const Rect& r : positions) {
    Variant shape = shapes.call("AddShape", 1, r.left, r.top, r.width, r.height);
    test_support::PageRelative(shape);
  }
  for (const Line& l : lines) {
    Variant line = shapes.call("AddLine", l.x1, l.y1, l.x2, l.y2);
    line.get("Line").put("Weight", l.weight);
    line.get("Line").put("DashStyle", l.dash);
  }
  doc.call("SaveAs", path);
  doc.call("Close", 0);
}

std::vector<Rect> Column(int count, float width, float height) {
  std::vector<Rect> rects;
  for (int k = 0; k < count; ++k) rects.push_back({50, 60.0f + 150 * k, width, height});
  return rects;
}

TestHost::TestHost(std::string dataFolder)
    : controller(std::make_unique<wordlink::TExtAppController>()),
      list(dataFolder),
      dataFolder_(std::move(dataFolder)) {}

TestHost::~TestHost() {
  controller->CloseAllDocuments(wordlink::kDoNotSaveChanges);
  controller.reset();
}

wordlink::TExtAppDocument* TestHost::EditItem(catalogue::TPreviewItem& entry) {
  edited.push_back(entry.FullPath());
  return controller->OpenDocument(entry.FullPath(), true, false);
}

void TestHost::BeginProgress(const std::string& text, int max) {
  progressText = text;
  progressMax = max;
}

void CloneTest::SetUp() {
  test_support::EnsureApplication();
  for (const std::string& name : FilesIn(platform::PrivateTempFolder()))
    std::remove((platform::PrivateTempFolder() + name).c_str());
  data = NewDataFolder();
  host = std::make_unique<TestHost>(data);
  scopedUi = std::make_unique<platform::ScopedUI>(&ui);
  // Word's own questions (save changes to a read-only file …) must never wait for a person.
  wordproc::SetDialogResponder([](wordproc::DialogKind, const std::string&) {
    return wordproc::DialogReply{wordproc::kDialogCancel, {}};
  });
  cloning::ResetLabelCountCache();
}

void CloneTest::TearDown() {
  host.reset();
  if (word_.isObject()) word_.call("Quit", 0);
  wordproc::SetDialogResponder(nullptr);
  scopedUi.reset();
}

Variant CloneTest::Word() {
  if (!word_.isObject()) {
    word_ = wordlink::CreateOleObject("Word.Application");
    word_.put("Visible", false);
  }
  return word_;
}

Variant CloneTest::OpenHidden(const std::string& path) {
  const Variant skip = Variant::missing();
  return Word()
      .get("Documents")
      .call("OpenNoRepairDialog", path, skip, false, false, skip, skip, skip, skip, skip, skip,
            skip, false);
}

std::string CloneTest::GlyphPath(const std::string& category, const std::string& name) const {
  return data + "Оттиски/" + category + "/Мои оттиски/" + name;
}

std::string CloneTest::TemplatePath(const std::string& category, const std::string& paper) const {
  return cloning::SheetTemplatePath(data, category, paper);
}

std::vector<Variant> CloneTest::ShapesNamed(const Variant& doc, const std::string& prefix) {
  std::vector<Variant> found;
  Variant shapes = doc.get("Shapes");
  for (int i = 1, n = shapes.get("Count").toInt(); i <= n; ++i) {
    Variant shape = shapes.call("Item", i);
    if (shape.get("Name").toString().rfind(prefix, 0) == 0) found.push_back(shape);
  }
  return found;
}

int CloneTest::PageOf(const Variant& shape) {
  return shape.get("Anchor").call("Information", 3).toInt();
}

int CloneTest::Pages(const Variant& doc) {
  return doc.get("Content").call("Information", 4).toInt();
}

std::string CloneTest::GlyphTag(const Variant& copy) {
  if (copy.get("Type").toInt() != 6) return {};
  Variant items = copy.get("GroupItems");
  for (int i = 1, n = items.get("Count").toInt(); i <= n; ++i) {
    std::string name = items.call("Item", i).get("Name").toString();
    const std::string tail = " oval";
    if (name.size() > tail.size() &&
        name.compare(name.size() - tail.size(), tail.size(), tail) == 0)
      return name.substr(0, name.size() - tail.size());
  }
  return {};
}

std::vector<std::string> CloneTest::TemporaryLitter() {
  std::vector<std::string> litter;
  for (const std::string& name : FilesIn(platform::PrivateTempFolder()))
    if (name.size() < 4 || name.compare(name.size() - 4, 4, ".dot") != 0) litter.push_back(name);
  return litter;
}

}  // namespace clone_test
