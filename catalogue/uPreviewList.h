// The catalogue entry list: every glyph and sheet document found below the data folder, kept
// sorted by path, with its date, thumbnail and the mark of the latest scan; and the thumbnail
// cache file that carries the thumbnails from one run to the next.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/uBitmap.h"
#include "wordlink/OleContainer.h"

namespace wordlink {
class TExtAppController;
}

namespace catalogue {

inline constexpr std::uint8_t kGlyphKind = 0;
inline constexpr std::uint8_t kSheetKind = 1;
inline constexpr std::uint8_t kAnyKind = 2;  // where a kind filters: every kind

inline constexpr const char* kGlyphRoot = "Оттиски";
inline constexpr const char* kSheetRoot = "Листы";
inline constexpr const char* kCacheFileName = "cache.dat";

// Thumbnails are this wide: the grid's picture column less its margins.
inline constexpr int kThumbnailWidth = 256 - 2 * 20;
// And at most twenty times as tall: tape and flag labels stay well within that, and a taller
// page is drawn squeezed to it rather than as a row of many thousand pixels.
inline constexpr int kMaxThumbnailHeight = kThumbnailWidth * 20;
// One thumbnail record's BMP file at most: the largest thumbnail at 32 bits with every header
// and a full colour table.
inline constexpr std::uint64_t kMaxThumbnailBmpBytes = 4u << 20;
// The whole cache at most, counting each record as the larger of what the file body holds for
// it and what the program writes for it, its thumbnail's bytes in memory and a few more. The
// thumbnails stay in memory for the whole run; this is room for some 2,600 full-page
// thumbnails or 6,900 business-card ones. The writer stops at it too, so every cache the
// program writes reads back whole.
inline constexpr std::uint64_t kMaxCacheBytes = 512ull << 20;

class TPreviewList;

class TPreviewItem {
 public:
  // Kept when Refresh takes the entry out of its list: grids that still hold the entry until
  // they are refilled keep a valid object, and the list outlives every grid.
  TPreviewList* Owner = nullptr;
  std::uint8_t Kind = kGlyphKind;
  std::uint8_t Reserved = 2;
  std::string Path;
  std::string TwinPath;
  double FileDate = 0;
  // Shared with the copies the open-documents grid keeps, so dropping it here never pulls a
  // picture from under a grid that is drawing it.
  std::shared_ptr<TBitmap> Thumbnail;
  // The thumbnail stands in for this run only and is never written to the cache: the picture
  // could not be made for a reason that may pass, such as a full temporary folder.
  bool TransientThumbnail = false;
  std::uint8_t Present = 0;

  // The document's file: an absolute Path as it is, a relative one below the data folder
  // (".dot" entries included).
  std::string FullPath() const;
  // The file a thumbnail is made from: the ".doc" twin of a ".dot" entry when that is a
  // document file (IsDocumentFile), otherwise FullPath.
  std::string RenderSource() const;
  std::string CategoryOf() const;
  void DropThumbnail() {
    Thumbnail.reset();
    TransientThumbnail = false;
  }
};

using TPreviewItemPtr = std::shared_ptr<TPreviewItem>;

class TPreviewList {
 public:
  // dataFolder ends with the separator. Without a container one is made from the registered
  // document server when the first thumbnail is rendered.
  explicit TPreviewList(std::string dataFolder,
                        std::unique_ptr<wordlink::OleContainer> container = nullptr);

  const std::string& DataFolder() const { return dataFolder_; }
  std::string CacheFileName() const { return dataFolder_ + kCacheFileName; }

  // Set whenever the cache file no longer matches the list; never cleared.
  bool Modified = false;
  std::unique_ptr<wordlink::OleContainer> Container;
  // Lets pending window messages run at the points where rendering allows it.
  std::function<void()> ProcessMessages;
  // Where the problems go that leave the catalogue working: a cache file that cannot be read
  // or written, a thumbnail that cannot be made. Unset, the general error report shows them.
  std::function<void(const std::string&)> Report;

  // Thumbnails: a reason that holds for every thumbnail of the run, such as a temporary folder
  // that cannot be made.
  enum class TProblem : std::uint8_t {
    CacheRead = 1,
    CacheWrite = 2,
    Thumbnails = 4,
    Office = 8,
  };
  // Reports the text unless a problem of that kind was reported by this list before: the list
  // lives as long as the run, so the user hears of each once.
  void ReportOnce(TProblem problem, const std::string& text);
  void ReportProblem(const std::string& text) const;

  int Count() const { return int(items_.size()); }
  TPreviewItem* Items(int index) const { return items_[std::size_t(index)].get(); }
  const TPreviewItemPtr& Shared(int index) const { return items_[std::size_t(index)]; }
  const std::vector<TPreviewItemPtr>& Entries() const { return items_; }

  // date 0: read the date of the file at the entry's FullPath (FileError when it is gone).
  TPreviewItem* FindOrAdd(const std::string& path, std::uint8_t kind, double date);
  // folder: relative to the data folder, ending with the separator.
  void ScanFolder(const std::string& folder, std::uint8_t kind);
  void Refresh();
  void ClearPresent(std::uint8_t kind);
  void Clear();

  // Damaged data keeps what was read before it, marks the list modified so that the file is
  // rewritten, and throws CatalogueError naming the file. A file too short to hold the
  // signature is no cache, as one with a foreign signature.
  void LoadCache();
  void LoadCacheFrom(TByteReader& in, const std::string& fileName,
                     std::uint64_t budget = kMaxCacheBytes);
  // Replaces the file through platform::AtomicFile: a failed write leaves the previous cache
  // intact and nothing beside it, and the file keeps its mode. Throws CatalogueError naming
  // the file. Records stop where the whole would pass kMaxCacheBytes.
  void SaveCache() const;
  void SaveCacheTo(TByteWriter& out, std::uint64_t budget = kMaxCacheBytes) const;
  // LoadCache and SaveCache for the fills and the closing of the window: the catalogue goes on
  // without a cache that cannot be read or written, and the problem is reported once a run.
  void LoadCacheOrReport();
  void SaveCacheOrReport();

  // A regular file, or a link to one that stays inside the data folder; looked at without
  // opening it, so a pipe or a device under a document's name never blocks. On success st
  // describes the file itself.
  bool IsDocumentFile(const std::string& fullPath, struct stat& st) const;

  // Rendering in progress: a second request must wait for the container.
  bool Rendering = false;

 private:
  struct Found;
  struct ScanState;
  bool Locate(const std::string& path, int& index, int hint) const;
  TPreviewItemPtr MakeEntry(std::string path, std::uint8_t kind);
  void Touch(TPreviewItem& entry, double date);
  void Merge(std::vector<Found>& fresh, std::uint8_t kind);
  void Walk(int dirFd, std::string& relative, ScanState& scan);
  void Append(TPreviewItemPtr entry);

  std::string dataFolder_;
  std::vector<TPreviewItemPtr> items_;
  std::uint8_t reported_ = 0;  // TProblem bits
};

// The date-time value of a moment: days since 30 December 1899 with the local time of day as
// the fraction, at the two-second resolution of the system's file dates.
double DateTimeFromUnix(std::time_t seconds);
// The file's modification date as such a value; throws platform::FileError.
double FileDateOf(const std::string& path);
// "2008-03-05T14:22:10"
std::string DateTimeToIso(double dateTime);

bool IsAbsolutePath(const std::string& path);
// Relative, not empty and never climbing out of the data folder.
bool IsSafeRelativePath(const std::string& path);

// Whether the record could be written to the cache and read back: a thumbnail that is not a
// stand-in, no larger than the program makes them, a path inside the data folder, a date
// between the years 1 and 9999.
bool IsCacheable(const TPreviewItem& entry);
bool IsSaneDate(double dateTime);

// The thumbnail cache file, record by record.
struct TCacheRecord {
  std::uint8_t Kind = 0;
  std::uint8_t Reserved = 0;
  std::string Path;
  double FileDate = 0;
  TBitmap Thumbnail;
  TBmpInfo Bmp;
};

class TCacheReader {
 public:
  enum class THeader { Cache, Foreign, Newer };
  // budget: what the records may take together (see kMaxCacheBytes). With an arena, each
  // record's thumbnail is placed in it: for a caller that keeps them all, whereas one that
  // reads every record into the same TCacheRecord is better off without.
  explicit TCacheReader(TByteReader& in, std::uint64_t budget = kMaxCacheBytes,
                        TPixelArena* arena = nullptr);
  ~TCacheReader();
  // Foreign magic or a version above 1 leave nothing to read.
  THeader Header() const { return header_; }
  std::int16_t Version() const { return version_; }
  std::uint16_t Flags() const { return flags_; }
  // False at the end of the body; CatalogueError for damage, and for records that together
  // pass the budget.
  bool Next(TCacheRecord& record);

 private:
  void Charge(const TCacheRecord& record, std::uint64_t read);

  TByteReader& file_;
  std::unique_ptr<TMyDecompressionStream> inflater_;
  std::unique_ptr<TCountingReader> body_;
  std::uint64_t budget_;
  TPixelArena* arena_;
  std::uint64_t used_ = 0;
  THeader header_ = THeader::Foreign;
  std::int16_t version_ = 0;
  std::uint16_t flags_ = 0;
};

inline constexpr std::int32_t kMaxCachePath = 32 * 1024;

// Makes the entry's thumbnail through the word processor (see uThumbnails.cpp). False when
// another rendering is under way and this one must be asked for again later. Whatever fails
// leaves the 4 x 4 placeholder and goes to the list's report: a temporary folder that cannot
// take the copy once a run, a document the word processor fails on once for that document.
bool RenderThumbnail(TPreviewItem& entry, wordlink::TExtAppController& controller);
// Entries without a thumbnail whose files the word processor converts before reading (binary
// Word 97, RTF and other formats that are no package): each costs a conversion, so a scan makes
// their thumbnails in one pass with progress instead of while the grid paints.
std::vector<TPreviewItemPtr> AwaitingConversion(const std::vector<TPreviewItemPtr>& rows);
// "Подготовка эскизов: 12 из 300".
std::string PreparingText(int done, int total);
// Makes the entries' missing thumbnails one after the other. step(done, total) is called before
// the first and after each; when it answers false the pass stops there. Returns how many were
// made.
int PrepareThumbnails(const std::vector<TPreviewItemPtr>& entries,
                      wordlink::TExtAppController& controller,
                      const std::function<bool(int done, int total)>& step);
// Removes the newest entry of the word processor's recent-file list when it names fileName
// (any entry when fileName is empty).
void ForgetRecentFile(std::int32_t version, const std::string& fileName = {});

}  // namespace catalogue
