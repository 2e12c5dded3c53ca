#include "catalogue/uPreviewList.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>

#include "platform/Files.h"

namespace catalogue {

namespace {

constexpr char kSep = platform::kPathSep;

// Days since 1 January 1970 of a date in the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = unsigned(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + std::int64_t(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = unsigned(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = int(doy - (153 * mp + 2) / 5 + 1);
  m = int(mp < 10 ? mp + 3 : mp - 9);
  y = int(yoe + era * 400 + (m <= 2));
}

const std::int64_t kEpochDays = DaysFromCivil(1899, 12, 30);
// 1970-01-01 as a date-time value (days since 1899-12-30).
constexpr std::int64_t kUnixEpochInDateTime = 25569;

bool IsDocumentName(const char* name) {
  const char* dot = std::strrchr(name, '.');
  if (!dot) return false;
  char ext[6] = {};
  std::size_t n = std::strlen(dot);
  if (n > 5) return false;
  for (std::size_t i = 0; i < n; ++i)
    ext[i] = char(dot[i] >= 'A' && dot[i] <= 'Z' ? dot[i] - 'A' + 'a' : dot[i]);
  return !std::strcmp(ext, ".doc") || !std::strcmp(ext, ".dot") || !std::strcmp(ext, ".docx") ||
         !std::strcmp(ext, ".dotx");
}

std::string FullPathOf(const std::string& dataFolder, const std::string& path) {
  return IsAbsolutePath(path) ? path : dataFolder + path;
}

bool EndsWith(const std::string& text, const char* tail) {
  std::size_t n = std::strlen(tail);
  return text.size() >= n && text.compare(text.size() - n, n, tail) == 0;
}

// A folder's listing: the names live in one buffer so that listing a folder of many documents
// costs a few allocations rather than one per name.
struct Children {
  struct Child {
    std::uint32_t offset = 0;  // into names
    std::uint32_t length = 0;  // folders include the trailing separator
    bool folder = false;
    std::time_t mtime = 0;
  };
  std::string names;
  std::vector<Child> list;

  std::string_view Name(const Child& c) const { return {names.data() + c.offset, c.length}; }
  void Add(const char* name, bool folder, std::time_t mtime) {
    std::size_t n = std::strlen(name);
    list.push_back({std::uint32_t(names.size()), std::uint32_t(n + folder), folder, mtime});
    names.append(name, n);
    if (folder) names.push_back(kSep);
  }
};

// Hidden names (beginning with ".", the "." and ".." entries included) are skipped, and so is
// anything that is neither a folder nor a regular file.
void ReadChild(int dirFd, const dirent* e, Children& children) {
  if (e->d_name[0] == '.') return;
  unsigned char type = e->d_type;
  if (type == DT_DIR) return children.Add(e->d_name, true, 0);
  if (type != DT_REG && type != DT_LNK && type != DT_UNKNOWN) return;
  if (type == DT_REG && !IsDocumentName(e->d_name)) return;
  struct stat st {};
  if (fstatat(dirFd, e->d_name, &st, 0) != 0) return;
  if (S_ISDIR(st.st_mode)) return children.Add(e->d_name, true, 0);
  if (S_ISREG(st.st_mode) && IsDocumentName(e->d_name)) children.Add(e->d_name, false, st.st_mtime);
}

// Folders carry their separator, so children sort as their full paths do.
void ListChildren(DIR* dir, Children& children) {
  while (const dirent* e = readdir(dir)) ReadChild(dirfd(dir), e, children);
  std::sort(children.list.begin(), children.list.end(),
            [&](const Children::Child& a, const Children::Child& b) {
              return children.Name(a) < children.Name(b);
            });
}

}  // namespace

struct TPreviewList::Found {
  std::string path;
  double date;
  int position;
};

// The local time's offset from UTC. Offsets change only at transitions that fall on quarter
// hours, so one look-up serves every file dated within the same quarter of an hour — a scan
// dates many files and the system's conversion is slow.
long UtcOffsetAt(std::time_t seconds) {
  static std::time_t cachedQuarter = std::numeric_limits<std::time_t>::min();
  static long cachedOffset = 0;
  std::time_t quarter = seconds >= 0 ? seconds / 900 : (seconds - 899) / 900;
  if (quarter != cachedQuarter) {
    std::tm local{};
    localtime_r(&seconds, &local);
    cachedOffset = local.tm_gmtoff;
    cachedQuarter = quarter;
  }
  return cachedOffset;
}

double DateTimeFromUnix(std::time_t seconds) {
  std::int64_t local = std::int64_t(seconds) + UtcOffsetAt(seconds);
  std::int64_t unixDays = local >= 0 ? local / 86400 : (local - 86399) / 86400;
  std::int64_t secondOfDay = local - unixDays * 86400;
  std::int64_t days = unixDays + kUnixEpochInDateTime;
  // The file system's dates have two-second resolution.
  double time = double(secondOfDay & ~std::int64_t(1)) / 86400.0;
  return days >= 0 ? double(days) + time : double(days) - time;
}

double FileDateOf(const std::string& path) {
  return DateTimeFromUnix(std::time_t(std::floor(platform::FileModificationTime(path))));
}

std::string DateTimeToIso(double dateTime) {
  double whole = std::trunc(dateTime);
  auto ms = std::int64_t(std::llround(std::fabs(dateTime - whole) * 86400000.0));
  auto days = std::int64_t(whole);
  if (ms >= 86400000) {
    ms -= 86400000;
    days += dateTime < 0 ? -1 : 1;
  }
  int y, m, d;
  CivilFromDays(days + kEpochDays, y, m, d);
  std::int64_t s = ms / 1000;
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", y, m, d, int(s / 3600),
                int(s / 60 % 60), int(s % 60));
  return text;
}

bool IsAbsolutePath(const std::string& path) {
  return !path.empty() && path[0] == kSep;
}

bool IsSafeRelativePath(const std::string& path) {
  if (path.empty() || IsAbsolutePath(path) || path.find('\0') != std::string::npos) return false;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(kSep, start);
    if (end == std::string::npos) end = path.size();
    if (path.compare(start, end - start, "..") == 0) return false;
    start = end + 1;
  }
  return true;
}

std::string TPreviewItem::FullPath() const {
  return FullPathOf(Owner->DataFolder(), Path);
}

std::string TPreviewItem::RenderSource() const {
  if (!TwinPath.empty()) {
    std::string twin = FullPathOf(Owner->DataFolder(), TwinPath);
    if (platform::FileExists(twin)) return twin;
  }
  return FullPath();
}

std::string TPreviewItem::CategoryOf() const {
  std::string rest;
  for (const char* root : {kGlyphRoot, kSheetRoot}) {
    std::string prefix = std::string(root) + kSep;
    if (Path.compare(0, prefix.size(), prefix) == 0) {
      rest = Path.substr(prefix.size());
      break;
    }
  }
  return rest.substr(0, rest.find(kSep));
}

TPreviewList::TPreviewList(std::string dataFolder,
                           std::unique_ptr<wordlink::OleContainer> container)
    : Container(std::move(container)), dataFolder_(std::move(dataFolder)) {}

// The binary search as the list has always done it; hint, when given, is where the previous
// path of an ascending run was found or would go, which settles most lookups of a scan in one
// comparison.
bool TPreviewList::Locate(const std::string& path, int& index, int hint) const {
  const int count = Count();
  if (hint >= 0 && hint <= count) {
    int c = hint < count ? items_[hint]->Path.compare(path) : 1;
    if (c == 0 || (c > 0 && (hint == 0 || items_[hint - 1]->Path.compare(path) < 0))) {
      index = hint;
      return c == 0;
    }
  }
  int low = 0, high = count - 1;
  while (low <= high) {
    int middle = (low + high) / 2;
    int c = items_[middle]->Path.compare(path);
    if (c == 0) {
      index = middle;
      return true;
    }
    if (c > 0)
      high = middle - 1;
    else
      low = middle + 1;
  }
  index = low;
  return false;
}

TPreviewItemPtr TPreviewList::MakeEntry(std::string path, std::uint8_t kind) {
  auto entry = std::make_shared<TPreviewItem>();
  entry->Owner = this;
  entry->Kind = kind;
  entry->Reserved = 2;
  if (EndsWith(path, ".dot")) entry->TwinPath = path.substr(0, path.size() - 4) + ".doc";
  entry->Path = std::move(path);
  return entry;
}

void TPreviewList::Touch(TPreviewItem& entry, double date) {
  if (entry.FileDate != date) {
    entry.DropThumbnail();
    entry.FileDate = date;
    Modified = true;
  }
  entry.Present = 1;
}

TPreviewItem* TPreviewList::FindOrAdd(const std::string& path, std::uint8_t kind, double date) {
  int index = 0;
  bool found = Locate(path, index, -1);
  // Dated before anything is inserted, so a file that cannot be read leaves no half entry.
  if (date == 0)
    date = FileDateOf(found ? items_[index]->FullPath() : FullPathOf(dataFolder_, path));
  if (!found) items_.insert(items_.begin() + index, MakeEntry(path, kind));
  TPreviewItem* entry = items_[index].get();
  Touch(*entry, date);
  return entry;
}

void TPreviewList::Walk(int dirFd, std::string& relative, std::vector<Found>& fresh,
                        std::vector<std::pair<std::uint64_t, std::uint64_t>>& ancestors,
                        int& hint) {
  struct stat self {};
  DIR* dir = fdopendir(dirFd);
  if (!dir) {
    close(dirFd);
    return;
  }
  // A folder link that leads back to one of its own parents would never end.
  std::pair<std::uint64_t, std::uint64_t> id{};
  if (fstat(dirFd, &self) == 0) id = {std::uint64_t(self.st_dev), std::uint64_t(self.st_ino)};
  if (std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end()) {
    closedir(dir);
    return;
  }
  ancestors.push_back(id);
  const std::size_t base = relative.size();
  Children children;
  ListChildren(dir, children);
  for (const Children::Child& child : children.list) {
    relative.append(children.Name(child));
    if (child.folder) {
      int sub = openat(dirfd(dir), relative.c_str() + base, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (sub >= 0) Walk(sub, relative, fresh, ancestors, hint);
    } else {
      int index = 0;
      double date = DateTimeFromUnix(child.mtime);
      if (Locate(relative, index, hint)) {
        Touch(*items_[index], date);
        hint = index + 1;
      } else {
        fresh.push_back({relative, date, index});
        hint = index;
      }
    }
    relative.resize(base);
  }
  ancestors.pop_back();
  closedir(dir);
}

// New entries join the list in one pass: the scan lists folders in path order, so their
// places only grow, and a scan of many new documents costs no more than a copy of the list.
void TPreviewList::Merge(std::vector<Found>& fresh, std::uint8_t kind) {
  if (fresh.empty()) return;
  std::vector<TPreviewItemPtr> merged;
  merged.reserve(items_.size() + fresh.size());
  std::size_t next = 0;
  for (Found& f : fresh) {
    while (next < std::size_t(f.position)) merged.push_back(std::move(items_[next++]));
    merged.push_back(MakeEntry(std::move(f.path), kind));
    Touch(*merged.back(), f.date);
  }
  while (next < items_.size()) merged.push_back(std::move(items_[next++]));
  items_ = std::move(merged);
}

void TPreviewList::ScanFolder(const std::string& folder, std::uint8_t kind) {
  int fd = open((dataFolder_ + folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  std::string relative = folder;
  std::vector<Found> fresh;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> ancestors;
  int hint = 0;
  Walk(fd, relative, fresh, ancestors, hint);
  Merge(fresh, kind);
}

void TPreviewList::Refresh() {
  std::vector<TPreviewItemPtr> kept;
  kept.reserve(items_.size());
  for (TPreviewItemPtr& entry : items_) {
    // Always below the data folder: an entry registered with an absolute path leaves here.
    struct stat st {};
    bool exists = !IsAbsolutePath(entry->Path) &&
                  stat((dataFolder_ + entry->Path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
    if (!exists) {
      entry->Present = 0;
      Modified = true;
      continue;
    }
    double date = DateTimeFromUnix(st.st_mtime);
    if (date != entry->FileDate) {
      entry->DropThumbnail();
      entry->FileDate = date;
      Modified = true;
    }
    kept.push_back(std::move(entry));
  }
  items_ = std::move(kept);
}

void TPreviewList::ClearPresent(std::uint8_t kind) {
  for (const TPreviewItemPtr& entry : items_)
    if (kind == kAnyKind || entry->Kind == kind) entry->Present = 0;
}

void TPreviewList::Clear() {
  items_.clear();
}

void TPreviewList::Append(TPreviewItemPtr entry) {
  entry->Owner = this;
  items_.push_back(std::move(entry));
}

}  // namespace catalogue
