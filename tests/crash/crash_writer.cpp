// Writes one kind of file again and again, each version complete and recognisable, until it is
// killed or a write fails: the crash-consistency tests kill it at random moments, or let it
// fill a small disk, and then check what is left under the file's name.
//
//   crash_writer settings FILE BYTES
//   crash_writer cache DATA BYTES
//   crash_writer document FILE BYTES
//   crash_writer clone DATA GLYPH OUT SETS
//
// BYTES is the size of the payload of each version; SETS the largest number of sets cloned.
// The exit code is 1 with the failure on stderr when a write fails.
#include <QGuiApplication>
#include <cstdlib>
#include <iostream>
#include <string>

#include "catalogue/uPreviewList.h"
#include "platform/Registry.h"
#include "tests/crash/crash_picture.h"
#include "tools/BatchClone.h"
#include "wordlink/Automation.h"
#include "wordproc/WordProcessor.h"

namespace {

using wordlink::Variant;

// Letters that do not compress away, so that a version takes its room on the disk too.
std::string Filler(long seed, std::size_t bytes) {
  std::uint32_t state = std::uint32_t(seed) * 2654435761u + 1;
  std::string text(bytes, ' ');
  for (char& c : text) {
    state ^= state << 13, state ^= state >> 17, state ^= state << 5;
    c = char('a' + state % 26);
  }
  return text;
}

// "v<i>:" + filler + ":<length of all before>" — a reader can tell a whole version.
std::string Version(long i, std::size_t bytes) {
  std::string text = "v" + std::to_string(i) + ":" + Filler(i, bytes);
  return text + ":" + std::to_string(text.size());
}

void Settings(const std::string& file, std::size_t bytes) {
  for (long i = 1;; ++i)
    platform::Registry(file).write(platform::RegRoot::LocalMachine, "Software\\Varnel\\Stampora",
                                   "Value", {platform::RegType::String, Version(i, bytes), 0});
}

void Cache(const std::string& data, std::size_t bytes) {
  // The pixels spell the version, as the checks expect them.
  const int height = int(std::max<std::size_t>(1, bytes / (3 * catalogue::kThumbnailWidth)));
  for (long i = 1;; ++i) {
    catalogue::TPreviewList list(data);
    const int entries = 1 + int(i % 5);
    for (int k = 0; k < entries; ++k) {
      catalogue::TPreviewItem* entry =
          list.FindOrAdd("Оттиски/К/Мои оттиски/g" + std::to_string(k) + ".doc", 0, 45000.0 + i);
      entry->Thumbnail = std::make_shared<catalogue::TBitmap>(crash::CachePicture(i, height));
    }
    list.SaveCache();
  }
}

void Document(const std::string& file, std::size_t bytes) {
  Variant word = wordlink::CreateOleObject("Word.Application");
  const Variant skip = Variant::missing();
  Variant doc = word.get("Documents").call("Open", file);
  Variant text = doc.get("Shapes").call("Item", 1).get("TextFrame").get("TextRange");
  for (long i = 1;; ++i) {
    text.put("Text", Version(i, bytes));
    doc.call("Save");
  }
}

void Clone(const std::string& data, const std::string& glyph, const std::string& out, int sets) {
  batch::CloneRequest request;
  request.dataFolder = data;
  request.category = "Визитки";
  request.paper = "A4 (210 x 297 mm)";
  request.glyphs = {{glyph, 1}};
  request.out = out;
  for (long i = 0;; ++i) {
    request.sets = sets - int(i % sets);
    if (batch::BatchClone(request, std::cout, std::cerr) != 0) std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication gui(argc, argv);
  wordproc::RegisterWordProcessor();
  const std::string mode = argc > 1 ? argv[1] : "";
  try {
    if (mode == "settings" && argc == 4) Settings(argv[2], std::stoul(argv[3]));
    if (mode == "cache" && argc == 4) Cache(argv[2], std::stoul(argv[3]));
    if (mode == "document" && argc == 4) Document(argv[2], std::stoul(argv[3]));
    if (mode == "clone" && argc == 6) Clone(argv[2], argv[3], argv[4], std::stoi(argv[5]));
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  std::cerr << "usage: crash_writer settings|cache|document|clone ...\n";
  return 2;
}
