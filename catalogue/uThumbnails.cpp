#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include "catalogue/uPreviewList.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "wordlink/PageSize.h"
#include "wordlink/uExtAppController.h"
#include "wordlink/uExtAppDocument.h"

namespace catalogue {

namespace {

constexpr char kMagic[4] = {'V', 'S', 'P', 'P'};
constexpr std::int16_t kCacheVersion = 1;
constexpr TBmpLimits kThumbnailLimits{kThumbnailWidth, kMaxThumbnailHeight, kMaxThumbnailBmpBytes};
constexpr std::size_t kRecordFraming = 6 + 8;  // kind, reserved, path length; date

using platform::Quoted;

void PutLE(std::uint8_t* p, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = std::uint8_t(v >> (8 * i));
}

std::uint64_t GetLE(const std::uint8_t* p, int bytes) {
  std::uint64_t v = 0;
  for (int i = bytes; i-- > 0;) v = v << 8 | p[i];
  return v;
}

// The bytes a record takes in the cache body as the program writes it.
std::uint64_t RecordSize(const std::string& path, const TBitmap& thumbnail) {
  return kRecordFraming + path.size() + BmpFileSize(thumbnail);
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

struct ClosedOnExit {
  int fd;
  ~ClosedOnExit() { close(fd); }
};

// False when the source cannot be read; FileError when the copy cannot be written.
bool CopyContents(int in, const platform::ScopedTempFile& copy) {
  int out = open(copy.path().c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
  if (out < 0)
    throw platform::FileError("Не удалось записать файл " + Quoted(copy.path()) + ": " +
                              platform::ErrorReason(errno));
  ClosedOnExit closeCopy{out};
  char buffer[65536];
  for (;;) {
    ssize_t got = read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return got == 0;
    for (ssize_t done = 0; done < got;) {
      ssize_t put = write(out, buffer + done, std::size_t(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0)
        throw platform::FileError("Не удалось записать файл " + Quoted(copy.path()) + ": " +
                                  platform::ErrorReason(put < 0 ? errno : ENOSPC));
      done += put;
    }
  }
}

// The document copied into a new "vsp….doc" file of the temporary folder, removed with the
// returned object as soon as the thumbnail is made. The catalogue document itself is only
// read. Empty when the document cannot be read; FileError when the temporary folder cannot
// take the copy.
platform::ScopedTempFile CopyToTemporary(const std::string& source) {
  int in = -1;
  try {
    in = platform::OpenRegularFile(source);
  } catch (const platform::FileError&) {
    return {};
  }
  ClosedOnExit closeSource{in};
  platform::ScopedTempFile copy = platform::ScopedTempFile::Create("vsp", ".doc");
  return CopyContents(in, copy) ? std::move(copy) : platform::ScopedTempFile();
}

// The word processor's own file format: a copy read from an older format is written as a
// package, so the renderer reads it straight and no converter runs again for it.
constexpr int kFormatDocumentDefault = 16;

// The page-sized text box draws the page outline into the picture.
void OutlinePage(const wordlink::Variant& doc, const std::string& copy) {
  const wordlink::PageSize page = wordlink::FirstPageSize(doc);
  const float w = page.width, h = page.height;
  doc.call("GoTo", 1, 1, 1).call("Select");
  wordlink::Variant shape = doc.get("Shapes").call("AddTextbox", 1, 0.0f, 0.0f, w - 5, h - 5);
  shape.get("Fill").put("Visible", 0);
  shape.put("RelativeHorizontalPosition", 1);
  shape.put("RelativeVerticalPosition", 1);
  shape.put("Width", w);
  shape.put("Height", h);
  shape.put("Left", 0);
  shape.put("Top", 0);
  doc.call("SaveAs", copy, kFormatDocumentDefault, false, std::string(), false);
}

// The package the word processor names when it needs LibreOffice for a document.
constexpr std::string_view kOfficePackage = "libreoffice-writer-nogui";

struct OfficeMissing : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// False when the word processor cannot open the copy.
bool PrepareCopy(wordlink::TExtAppController& controller, const std::string& copy) {
  wordlink::TExtAppDocument* doc = nullptr;
  try {
    doc = controller.OpenDocument(copy, false, false, wordlink::kKindDefault);
  } catch (const std::exception& e) {
    // Without LibreOffice no binary document opens: one report says what to install, instead
    // of a silent placeholder for each.
    if (std::string_view(e.what()).find(kOfficePackage) != std::string_view::npos)
      throw OfficeMissing(e.what());
    return false;
  }
  if (!doc || doc->Document.isEmpty()) return false;
  std::int32_t version = doc->Instance->Version;
  try {
    OutlinePage(doc->Document, copy);
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

// Never larger than the cache takes back: a page taller than the tallest thumbnail is squeezed.
void PaintInto(wordlink::OleContainer& box, TBitmap& thumb) {
  int w = std::clamp(box.width(), 1, kThumbnailWidth);
  int h = std::clamp(box.height(), 1, kMaxThumbnailHeight);
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

// What keeps every thumbnail of the run from being made leaves the entry a placeholder for
// this run only, and is reported once.
void NoThumbnails(TPreviewItem& entry, const std::string& why) {
  entry.TransientThumbnail = true;
  entry.Owner->ReportOnce(TPreviewList::TProblem::Thumbnails,
                          why + ". Эскизы документов не сделаны.");
}

// The copy to render, or none: a link out of the data folder is not rendered, and a temporary
// folder that cannot take the copy stops thumbnails for now.
platform::ScopedTempFile CopyForRendering(TPreviewItem& entry, const std::string& source) {
  struct stat st {};
  if (!entry.Owner->IsDocumentFile(source, st)) return {};
  try {
    return CopyToTemporary(source);
  } catch (const platform::FileError& e) {
    NoThumbnails(entry, e.what());
    return {};
  }
}

// The word processor names the copy it was given; the user knows the document.
std::string AsSource(std::string text, const std::string& copy, const std::string& source) {
  for (std::size_t at = 0; (at = text.find(copy, at)) != std::string::npos; at += source.size())
    text.replace(at, copy.size(), source);
  return text;
}

// What the word processor fails on in one document leaves that document its placeholder; the
// report names the document, and the placeholder keeps it from being tried again.
void PaintDocument(TPreviewList& list, wordlink::TExtAppController& controller,
                   const std::string& source, const std::string& copy, TBitmap& thumb) {
  try {
    if (PrepareCopy(controller, copy)) EmbedAndPaint(list, *list.Container, copy, thumb);
  } catch (const OfficeMissing& e) {
    list.ReportOnce(TPreviewList::TProblem::Office, AsSource(e.what(), copy, source));
  } catch (const std::exception& e) {
    list.ReportProblem("Не удалось сделать эскиз документа " + Quoted(source) + ": " +
                       AsSource(e.what(), copy, source));
  }
}

}  // namespace

// A file too short for the signature is no cache at all, as one with a foreign signature.
TCacheReader::TCacheReader(TByteReader& in, std::uint64_t budget, TPixelArena* arena)
    : file_(in), budget_(budget), arena_(arena) {
  std::uint8_t head[8];
  std::size_t got = 0;
  while (got < 4) {
    std::size_t n = in.Read(head + got, 4 - got);
    if (n == 0) return;
    got += n;
  }
  in.ReadExact(head + 4, 2, "версия файла");
  version_ = std::int16_t(GetLE(head + 4, 2));
  if (std::memcmp(head, kMagic, 4) != 0 || version_ > kCacheVersion) {
    header_ = std::memcmp(head, kMagic, 4) != 0 ? THeader::Foreign : THeader::Newer;
    return;
  }
  in.ReadExact(head + 6, 2, "флаги файла");
  flags_ = std::uint16_t(GetLE(head + 6, 2));
  header_ = THeader::Cache;
  if (flags_ & 0xFF) inflater_ = std::make_unique<TMyDecompressionStream>(in);
  body_ = std::make_unique<TCountingReader>(inflater_ ? *inflater_ : in);
}

TCacheReader::~TCacheReader() = default;

// Each record counts as the larger of its bytes in the body and what writing it back takes,
// which is its thumbnail's bytes in memory and a few more: neither a body of endless gaps nor
// small pictures unpacked large pass the budget by more than one record, and whatever is read
// within the budget is written back within it.
void TCacheReader::Charge(const TCacheRecord& record, std::uint64_t read) {
  used_ += std::max(read, RecordSize(record.Path, record.Thumbnail));
  if (used_ > budget_)
    throw CatalogueError("эскизы вместе больше " + std::to_string(budget_ >> 20) + " МБ");
}

bool TCacheReader::Next(TCacheRecord& record) {
  if (header_ != THeader::Cache) return false;
  const std::uint64_t start = body_->Count();
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
  if (!IsSaneDate(record.FileDate)) throw CatalogueError("неверная дата файла");
  record.Thumbnail = ReadBmp(*body_, &record.Bmp, kThumbnailLimits, arena_);
  Charge(record, body_->Count() - start);
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

void TPreviewList::LoadCacheFrom(TByteReader& in, const std::string& fileName,
                                 std::uint64_t budget) {
  Clear();
  int number = 0;
  TPixelArena arena;
  try {
    TCacheReader reader(in, budget, &arena);
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

void TPreviewList::LoadCacheOrReport() {
  try {
    LoadCache();
  } catch (const CatalogueError& e) {
    ReportOnce(TProblem::CacheRead, e.what());
  }
}

bool IsCacheable(const TPreviewItem& entry) {
  const TBitmap* t = entry.Thumbnail.get();
  return t && !entry.TransientThumbnail && IsSafeRelativePath(entry.Path) &&
         entry.Path.size() <= std::size_t(kMaxCachePath) && IsSaneDate(entry.FileDate) &&
         t->Width() <= kThumbnailWidth && t->Height() <= kMaxThumbnailHeight;
}

void TPreviewList::SaveCacheTo(TByteWriter& out, std::uint64_t budget) const {
  std::uint8_t head[8] = {'V', 'S', 'P', 'P'};
  PutLE(head + 4, std::uint16_t(kCacheVersion), 2);
  PutLE(head + 6, 1, 2);
  out.Write(head, sizeof head);
  TCompressionStream z(out, 1);
  std::uint64_t used = 0;
  for (const TPreviewItemPtr& entry : items_) {
    if (!IsCacheable(*entry)) continue;
    used += RecordSize(entry->Path, *entry->Thumbnail);
    if (used > budget) break;
    WriteRecord(*entry, z);
  }
  z.Finish();
}

void TPreviewList::SaveCache() const {
  const std::string name = CacheFileName();
  try {
    TFileWriter out(name);
    SaveCacheTo(out);
    out.Commit();
  } catch (const std::exception& e) {
    throw CatalogueError("Файл эскизов " + Quoted(name) + " не сохранён. " + e.what());
  }
}

void TPreviewList::SaveCacheOrReport() {
  try {
    SaveCache();
  } catch (const CatalogueError& e) {
    ReportOnce(TProblem::CacheWrite, e.what());
  }
}

namespace {

// A package starts as a zip; anything else readable is converted first.
bool IsConverted(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  ClosedOnExit close{fd};
  struct stat st {};
  unsigned char head[4] = {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return ::pread(fd, head, sizeof head, 0) == ssize_t(sizeof head) &&
         std::memcmp(head, "PK\x03\x04", sizeof head) != 0;
}

}  // namespace

std::vector<TPreviewItemPtr> AwaitingConversion(const std::vector<TPreviewItemPtr>& rows) {
  std::vector<TPreviewItemPtr> waiting;
  for (const TPreviewItemPtr& entry : rows) {
    if (entry && !entry->Thumbnail && IsConverted(entry->RenderSource())) waiting.push_back(entry);
  }
  return waiting;
}

std::string PreparingText(int done, int total) {
  return "Подготовка эскизов: " + std::to_string(done) + " из " + std::to_string(total);
}

int PrepareThumbnails(const std::vector<TPreviewItemPtr>& entries,
                      wordlink::TExtAppController& controller,
                      const std::function<bool(int done, int total)>& step) {
  const int total = int(entries.size());
  int made = 0;
  if (!step(0, total)) return 0;
  for (int i = 0; i < total; ++i) {
    TPreviewItem& entry = *entries[std::size_t(i)];
    if (!entry.Thumbnail && RenderThumbnail(entry, controller)) {
      ++made;
      entry.Owner->Modified = true;
    }
    if (!step(i + 1, total)) break;
  }
  return made;
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
  if (!list.Container) {
    try {
      list.Container = wordlink::CreateOleContainer();
    } catch (const std::exception& e) {
      NoThumbnails(entry, e.what());
      return true;
    }
  }
  list.Container->setAutoSize(true);
  Pump(list);
  const std::string source = entry.RenderSource();
  platform::ScopedTempFile copy = CopyForRendering(entry, source);
  if (!copy.path().empty()) PaintDocument(list, controller, source, copy.path(), *thumb);
  Pump(list);
  return true;
}

}  // namespace catalogue
