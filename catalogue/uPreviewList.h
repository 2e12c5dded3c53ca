// The catalogue entry list: every glyph and sheet document found below the data folder, kept
// sorted by path, with its date, thumbnail and the mark of the latest scan; and the thumbnail
// cache file that carries the thumbnails from one run to the next.
#pragma once

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
  std::uint8_t Present = 0;

  // The document's file: an absolute Path as it is, a relative one below the data folder
  // (".dot" entries included).
  std::string FullPath() const;
  // The file a thumbnail is made from: the ".doc" twin of a ".dot" entry when that file
  // exists, otherwise FullPath.
  std::string RenderSource() const;
  std::string CategoryOf() const;
  void DropThumbnail() { Thumbnail.reset(); }
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
  // rewritten, and throws CatalogueError naming the file.
  void LoadCache();
  void LoadCacheFrom(TByteReader& in, const std::string& fileName);
  // Writes a new file beside the old one and renames it over, so a failed write leaves the
  // previous cache intact. Throws CatalogueError naming the file.
  void SaveCache() const;
  void SaveCacheTo(TByteWriter& out) const;

  // Rendering in progress: a second request must wait for the container.
  bool Rendering = false;

 private:
  struct Found;
  bool Locate(const std::string& path, int& index, int hint) const;
  TPreviewItemPtr MakeEntry(std::string path, std::uint8_t kind);
  void Touch(TPreviewItem& entry, double date);
  void Merge(std::vector<Found>& fresh, std::uint8_t kind);
  void Walk(int dirFd, std::string& relative, std::vector<Found>& fresh,
            std::vector<std::pair<std::uint64_t, std::uint64_t>>& ancestors, int& hint);
  void Append(TPreviewItemPtr entry);

  std::string dataFolder_;
  std::vector<TPreviewItemPtr> items_;
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
  explicit TCacheReader(TByteReader& in);
  ~TCacheReader();
  // Foreign magic or a version above 1 leave nothing to read.
  THeader Header() const { return header_; }
  std::int16_t Version() const { return version_; }
  std::uint16_t Flags() const { return flags_; }
  // False at the end of the body; CatalogueError for damage.
  bool Next(TCacheRecord& record);

 private:
  TByteReader& file_;
  std::unique_ptr<TMyDecompressionStream> inflater_;
  TByteReader* body_ = nullptr;
  THeader header_ = THeader::Foreign;
  std::int16_t version_ = 0;
  std::uint16_t flags_ = 0;
};

inline constexpr std::int32_t kMaxCachePath = 32 * 1024;

// Makes the entry's thumbnail through the word processor (see uThumbnails.cpp). False when
// another rendering is under way and this one must be asked for again later.
bool RenderThumbnail(TPreviewItem& entry, wordlink::TExtAppController& controller);
// Removes the newest entry of the word processor's recent-file list when it names fileName
// (any entry when fileName is empty).
void ForgetRecentFile(std::int32_t version, const std::string& fileName = {});

}  // namespace catalogue
