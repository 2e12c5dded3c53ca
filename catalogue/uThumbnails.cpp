#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "catalogue/uPreviewList.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "wordlink/uExtAppController.h"
#include "wordlink/uExtAppDocument.h"

namespace catalogue {

namespace {

constexpr char kMagic[4] = {'V', 'S', 'P', 'P'};
constexpr std::int16_t kCacheVersion = 1;
constexpr int kMaxThumbnailSide = 32767;

std::string Quoted(const std::string& text) {
  return "«" + text + "»";
}

void PutLE(std::uint8_t* p, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = std::uint8_t(v >> (8 * i));
}

std::uint64_t GetLE(const std::uint8_t* p, int bytes) {
  std::uint64_t v = 0;
  for (int i = bytes; i-- > 0;) v = v << 8 | p[i];
  return v;
}

void WriteRecord(const TPreviewItem& entry, TByteWriter& out) {
  std::uint8_t head[6] = {entry.Kind, entry.Reserved};
  PutLE(head + 2, std::uint32_t(entry.Path.size()), 4);
  out.Write(head, sizeof head);
  out.Write(entry.Path.data(), entry.Path.size());
  std::uint8_t date[8];
  PutLE(date, std::bit_cast<std::uint64_t>(entry.FileDate), 8);
  out.Write(date, sizeof date);
  WriteBmp(*entry.Thumbnail, out);
}

// Entries loaded from a cache that was not written in path order still end up sorted, and of
// two equal paths the first one counts.
void SortUnique(std::vector<TPreviewItemPtr>& items) {
  auto less = [](const TPreviewItemPtr& a, const TPreviewItemPtr& b) { return a->Path < b->Path; };
  auto same = [](const TPreviewItemPtr& a, const TPreviewItemPtr& b) { return a->Path == b->Path; };
  bool strict = std::adjacent_find(items.begin(), items.end(), [](const auto& a, const auto& b) {
                  return a->Path >= b->Path;
                }) == items.end();
  if (strict) return;
  std::stable_sort(items.begin(), items.end(), less);
  items.erase(std::unique(items.begin(), items.end(), same), items.end());
}

void Pump(TPreviewList& list) {
  if (list.ProcessMessages) list.ProcessMessages();
}

struct RenderingScope {
  explicit RenderingScope(TPreviewList& l) : list(l) { list.Rendering = true; }
  ~RenderingScope() { list.Rendering = false; }
  TPreviewList& list;
};

// The catalogue document itself is only read: its permissions protect it from being
// overwritten, so the copy is made by hand and is always the program's own writable file.
bool CopyContents(const std::string& source, const std::string& dest) {
  int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  platform::SetNormal(dest);
  int out = open(dest.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  bool ok = out >= 0;
  char buffer[65536];
  while (ok) {
    ssize_t got = read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    ok = write(out, buffer, std::size_t(got)) == got;
  }
  if (out >= 0 && close(out) != 0) ok = false;
  close(in);
  return ok;
}

// "vsp" + hex digits + ".tmp" made empty by the system, and the copy beside it as ".doc";
// both stay until the main window deletes vsp*.* on closing.
std::string CopyToTemporary(const std::string& source) {
  std::string temp = platform::CreateTempFile("", "vsp");
  std::string copy = temp.substr(0, temp.rfind('.')) + ".doc";
  return CopyContents(source, copy) ? copy : std::string();
}

// The page-sized text box draws the page outline into the picture.
void OutlinePage(const wordlink::Variant& doc) {
  float w = doc.get("PageSetup").get("PageWidth").toFloat();
  float h = doc.get("PageSetup").get("PageHeight").toFloat();
  doc.call("GoTo", 1, 1, 1).call("Select");
  wordlink::Variant shape = doc.get("Shapes").call("AddTextbox", 1, 0.0f, 0.0f, w - 5, h - 5);
  shape.get("Fill").put("Visible", 0);
  shape.put("RelativeHorizontalPosition", 1);
  shape.put("RelativeVerticalPosition", 1);
  shape.put("Width", w);
  shape.put("Height", h);
  shape.put("Left", 0);
  shape.put("Top", 0);
  doc.call("Save");
}

// False when the word processor cannot open the copy.
bool PrepareCopy(wordlink::TExtAppController& controller, const std::string& copy) {
  wordlink::TExtAppDocument* doc = nullptr;
  try {
    doc = controller.OpenDocument(copy, false, false, wordlink::kKindDefault);
  } catch (const std::exception&) {
    return false;
  }
  if (!doc || doc->Document.isEmpty()) return false;
  std::int32_t version = doc->Instance->Version;
  try {
    OutlinePage(doc->Document);
  } catch (...) {
    doc->CloseDocument(wordlink::kDoNotSaveChanges);
    throw;
  }
  doc->CloseDocument(wordlink::kDoNotSaveChanges);
  try {
    ForgetRecentFile(version, copy);
  } catch (const platform::RegistryError&) {
    // The recent-file list is cosmetic; the thumbnail matters more.
  }
  return true;
}

void PaintInto(wordlink::OleContainer& box, TBitmap& thumb) {
  int w = std::clamp(box.width(), 1, kMaxThumbnailSide);
  int rowLimit = int(kMaxBmpBytes / std::uint64_t((w * 3 + 3) & ~3));
  int h = std::clamp(box.height(), 1, std::min(kMaxThumbnailSide, rowLimit));
  std::vector<std::uint32_t> argb(std::size_t(w) * std::size_t(h), 0xFFFFFFFFu);
  box.paintTo(argb.data(), w, h, 0, 0);
  thumb.SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = thumb.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      std::uint32_t p = argb[std::size_t(y) * std::size_t(w) + std::size_t(x)];
      row[3 * x] = std::uint8_t(p);
      row[3 * x + 1] = std::uint8_t(p >> 8);
      row[3 * x + 2] = std::uint8_t(p >> 16);
    }
  }
}

void EmbedAndPaint(TPreviewList& list, wordlink::OleContainer& box, const std::string& copy,
                   TBitmap& thumb) {
  try {
    box.createObjectFromFile(copy, false);
  } catch (const std::exception&) {
    Pump(list);
    return;
  }
  struct Destroy {
    wordlink::OleContainer& box;
    ~Destroy() {
      if (box.hasObject()) box.destroyObject();
    }
  } destroy{box};
  Pump(list);
  if (box.width() <= 0) return;
  double ratio = double(box.height()) / double(box.width());
  Pump(list);
  box.setWidth(kThumbnailWidth);
  Pump(list);
  box.setHeight(int(std::clamp(std::nearbyint(box.width() * ratio), 1.0, 1e9)));
  Pump(list);
  PaintInto(box, thumb);
  Pump(list);
}

}  // namespace

TCacheReader::TCacheReader(TByteReader& in) : file_(in) {
  std::uint8_t head[8];
  in.ReadExact(head, 4, "подпись файла");
  in.ReadExact(head + 4, 2, "версия файла");
  version_ = std::int16_t(GetLE(head + 4, 2));
  if (std::memcmp(head, kMagic, 4) != 0 || version_ > kCacheVersion) {
    header_ = std::memcmp(head, kMagic, 4) != 0 ? THeader::Foreign : THeader::Newer;
    return;
  }
  in.ReadExact(head + 6, 2, "флаги файла");
  flags_ = std::uint16_t(GetLE(head + 6, 2));
  header_ = THeader::Cache;
  if (flags_ & 0xFF) {
    inflater_ = std::make_unique<TMyDecompressionStream>(in);
    body_ = inflater_.get();
  } else {
    body_ = &in;
  }
}

TCacheReader::~TCacheReader() = default;

bool TCacheReader::Next(TCacheRecord& record) {
  if (header_ != THeader::Cache) return false;
  std::uint8_t kind = 0;
  if (body_->Read(&kind, 1) == 0) return false;
  std::uint8_t head[5];
  body_->ReadExact(head, sizeof head, "заголовок записи");
  record.Kind = kind;
  record.Reserved = head[0];
  auto length = std::int32_t(std::uint32_t(GetLE(head + 1, 4)));
  if (length < 0 || length > kMaxCachePath)
    throw CatalogueError("неверная длина пути " + std::to_string(length));
  record.Path.resize(std::size_t(length));
  body_->ReadExact(record.Path.data(), record.Path.size(), "путь");
  std::uint8_t date[8];
  body_->ReadExact(date, sizeof date, "дата файла");
  record.FileDate = std::bit_cast<double>(GetLE(date, 8));
  record.Thumbnail = ReadBmp(*body_, &record.Bmp);
  return true;
}

void TPreviewList::LoadCache() {
  Clear();
  std::string name = CacheFileName();
  if (!platform::FileExists(name)) {
    Modified = true;
    return;
  }
  TFileReader in(name);
  LoadCacheFrom(in, name);
}

void TPreviewList::LoadCacheFrom(TByteReader& in, const std::string& fileName) {
  Clear();
  int number = 0;
  try {
    TCacheReader reader(in);
    TCacheRecord record;
    while (reader.Next(record)) {
      ++number;
      // A cache from elsewhere must not lead the program to files outside the data folder.
      if (record.Kind > kSheetKind || !IsSafeRelativePath(record.Path)) continue;
      auto entry = std::make_shared<TPreviewItem>();
      entry->Kind = record.Kind;
      entry->Reserved = record.Reserved;
      entry->Path = std::move(record.Path);
      entry->FileDate = record.FileDate;
      entry->Thumbnail = std::make_shared<TBitmap>(std::move(record.Thumbnail));
      Append(std::move(entry));
    }
  } catch (const CatalogueError& e) {
    SortUnique(items_);
    Modified = true;
    throw CatalogueError("Файл эскизов " + Quoted(fileName) + " повреждён (запись " +
                         std::to_string(number + 1) + "): " + e.what());
  }
  SortUnique(items_);
}

void TPreviewList::SaveCacheTo(TByteWriter& out) const {
  std::uint8_t head[8] = {'V', 'S', 'P', 'P'};
  PutLE(head + 4, std::uint16_t(kCacheVersion), 2);
  PutLE(head + 6, 1, 2);
  out.Write(head, sizeof head);
  TCompressionStream z(out, 1);
  for (const TPreviewItemPtr& entry : items_)
    if (entry->Thumbnail && IsSafeRelativePath(entry->Path) &&
        entry->Path.size() <= std::size_t(kMaxCachePath))
      WriteRecord(*entry, z);
  z.Finish();
}

void TPreviewList::SaveCache() const {
  std::string name = CacheFileName();
  std::string temp;
  try {
    std::string folder = dataFolder_;
    if (folder.size() > 1 && folder.back() == platform::kPathSep) folder.pop_back();
    temp = platform::CreateTempFile(folder, "vsp");
    TFileWriter out(temp);
    SaveCacheTo(out);
    out.Close();
    if (std::rename(temp.c_str(), name.c_str()) != 0) throw CatalogueError(std::strerror(errno));
  } catch (const std::exception& e) {
    if (!temp.empty()) unlink(temp.c_str());
    throw CatalogueError("Не удалось записать файл эскизов " + Quoted(name) + ": " + e.what());
  }
}

void ForgetRecentFile(std::int32_t version, const std::string& fileName) {
  const std::string key =
      "Software\\Microsoft\\Office\\" + std::to_string(version) + ".0\\Word\\File MRU";
  platform::Registry& reg = platform::Registry::Instance();
  if (!reg.keyExists(platform::RegRoot::CurrentUser, key)) return;
  if (!fileName.empty()) {
    auto item = reg.read(platform::RegRoot::CurrentUser, key, "Item 1");
    if (!item || item->text.find(fileName) == std::string::npos) return;
  }
  reg.deleteValue(platform::RegRoot::CurrentUser, key, "Item 1");
}

bool RenderThumbnail(TPreviewItem& entry, wordlink::TExtAppController& controller) {
  TPreviewList& list = *entry.Owner;
  if (list.Rendering) return false;
  RenderingScope scope(list);
  if (!entry.Thumbnail) entry.Thumbnail = std::make_shared<TBitmap>(4, 4);
  std::shared_ptr<TBitmap> thumb = entry.Thumbnail;
  if (!list.Container) list.Container = wordlink::CreateOleContainer();
  wordlink::OleContainer& box = *list.Container;
  box.setAutoSize(true);
  Pump(list);
  std::string copy = CopyToTemporary(entry.RenderSource());
  if (!copy.empty() && PrepareCopy(controller, copy)) EmbedAndPaint(list, box, copy, *thumb);
  Pump(list);
  return true;
}

}  // namespace catalogue
