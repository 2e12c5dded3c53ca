#include "catalogue/uPreviewList.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <set>
#include <string_view>

#include "platform/Files.h"
#include "platform/Guard.h"

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

// Lock files and temporaries of word processors may carry a document's extension.
bool IsDocumentName(const char* name) {
  if (platform::IsWordProcessorTempName(name)) return false;
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

// The data folder as the system resolves it, with the separator; empty when it cannot be.
std::string RealFolder(const std::string& folder) {
  std::string real;
  if (char* resolved = realpath(folder.c_str(), nullptr)) {
    real = resolved;
    std::free(resolved);
    if (real.back() != kSep) real += kSep;
  }
  return real;
}

bool LeadsInside(const std::string& path, const std::string& realFolder) {
  if (realFolder.empty()) return false;
  char* resolved = realpath(path.c_str(), nullptr);
  if (!resolved) return false;
  const bool inside = std::strncmp(resolved, realFolder.data(), realFolder.size()) == 0;
  std::free(resolved);
  return inside;
}

// The file systems through which the kernel shows its own state. Their trees are endless or
// loop through links, and nobody keeps documents there.
bool IsKernelFileSystem(long type) {
  constexpr long kConfigFs = 0x62656570, kFuseControl = 0x65735543, kMessageQueues = 0x19800202;
  switch (type) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case PSTOREFS_MAGIC:
    case BPF_FS_MAGIC:
    case DEVPTS_SUPER_MAGIC:
    case BINFMTFS_MAGIC:
    case SELINUX_MAGIC:
    case SMACK_MAGIC:
    case EFIVARFS_MAGIC:
    case NSFS_MAGIC:
    case kConfigFs:
    case kFuseControl:
    case kMessageQueues:
      return true;
    default:
      return false;
  }
}

// The device folder reports itself as an ordinary memory file system, so it is known by being
// the file system mounted on /dev (when it is a mount of its own).
bool IsDeviceFolderFileSystem(dev_t device) {
  static const std::optional<dev_t> devices = []() -> std::optional<dev_t> {
    struct stat root {};
    struct stat dev {};
    if (stat("/", &root) != 0 || stat("/dev", &dev) != 0 || dev.st_dev == root.st_dev) return {};
    return dev.st_dev;
  }();
  return devices && *devices == device;
}

// Context of listing one folder of a scan.
struct Listing {
  int dirFd;
  std::string folder;           // its full path, with the separator
  const std::string& realRoot;  // the data folder resolved, with the separator
};

// Hidden names (beginning with ".", the "." and ".." entries included) are skipped, and so is
// anything that is neither a folder nor a regular file; a link to a document counts only when
// the document lies inside the data folder.
void ReadChild(const Listing& at, const dirent* e, Children& children) {
  if (e->d_name[0] == '.') return;
  unsigned char type = e->d_type;
  if (type == DT_DIR) return children.Add(e->d_name, true, 0);
  if (type != DT_REG && type != DT_LNK && type != DT_UNKNOWN) return;
  if (type == DT_REG && !IsDocumentName(e->d_name)) return;
  struct stat st {};
  if (fstatat(at.dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) return;
  const bool link = S_ISLNK(st.st_mode);
  if (link && fstatat(at.dirFd, e->d_name, &st, 0) != 0) return;
  if (S_ISDIR(st.st_mode)) return children.Add(e->d_name, true, 0);
  if (!S_ISREG(st.st_mode) || !IsDocumentName(e->d_name)) return;
  if (link && !LeadsInside(at.folder + e->d_name, at.realRoot)) return;
  children.Add(e->d_name, false, st.st_mtime);
}

// Folders carry their separator, so children sort as their full paths do.
void ListChildren(DIR* dir, const Listing& at, Children& children) {
  while (const dirent* e = readdir(dir)) ReadChild(at, e, children);
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

// One scan lists each real folder once, however many links lead to it: links to a parent would
// loop, and links into a tree of links would multiply the walk.
struct TPreviewList::ScanState {
  std::string realRoot;
  std::set<std::pair<dev_t, ino_t>> visited;
  std::vector<Found> fresh;
  int hint = 0;

  bool Enter(int dirFd) {
    struct stat st {};
    if (fstat(dirFd, &st) != 0 || !visited.insert({st.st_dev, st.st_ino}).second) return false;
    struct statfs fs {};
    if (fstatfs(dirFd, &fs) == 0 && IsKernelFileSystem(long(fs.f_type))) return false;
    return !IsDeviceFolderFileSystem(st.st_dev);
  }
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

bool IsSaneDate(double dateTime) {
  constexpr double kFirstDay = -693593;     // 1 January of the year 1
  constexpr double kPastLastDay = 2958466;  // 1 January 10000
  return std::isfinite(dateTime) && dateTime >= kFirstDay && dateTime < kPastLastDay;
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
    struct stat st {};
    if (Owner->IsDocumentFile(twin, st)) return twin;
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

void TPreviewList::Walk(int dirFd, std::string& relative, ScanState& scan) {
  DIR* dir = fdopendir(dirFd);
  if (!dir) {
    close(dirFd);
    return;
  }
  if (!scan.Enter(dirFd)) {
    closedir(dir);
    return;
  }
  const std::size_t base = relative.size();
  Children children;
  ListChildren(dir, {dirfd(dir), dataFolder_ + relative, scan.realRoot}, children);
  for (const Children::Child& child : children.list) {
    relative.append(children.Name(child));
    if (child.folder) {
      int sub = openat(dirfd(dir), relative.c_str() + base, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (sub >= 0) Walk(sub, relative, scan);
    } else {
      int index = 0;
      double date = DateTimeFromUnix(child.mtime);
      if (Locate(relative, index, scan.hint)) {
        Touch(*items_[index], date);
        scan.hint = index + 1;
      } else {
        scan.fresh.push_back({relative, date, index});
        scan.hint = index;
      }
    }
    relative.resize(base);
  }
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
  ScanState scan;
  scan.realRoot = RealFolder(dataFolder_);
  Walk(fd, relative, scan);
  Merge(scan.fresh, kind);
}

void TPreviewList::Refresh() {
  std::vector<TPreviewItemPtr> kept;
  kept.reserve(items_.size());
  for (TPreviewItemPtr& entry : items_) {
    // Always below the data folder: an entry registered with an absolute path leaves here.
    struct stat st {};
    bool exists = !IsAbsolutePath(entry->Path) && IsDocumentFile(dataFolder_ + entry->Path, st);
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

bool TPreviewList::IsDocumentFile(const std::string& fullPath, struct stat& st) const {
  if (lstat(fullPath.c_str(), &st) != 0) return false;
  if (S_ISREG(st.st_mode)) return true;
  return S_ISLNK(st.st_mode) && stat(fullPath.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         LeadsInside(fullPath, RealFolder(dataFolder_));
}

void TPreviewList::ReportProblem(const std::string& text) const {
  if (Report)
    Report(text);
  else
    platform::ReportFailure(text);
}

void TPreviewList::ReportOnce(TProblem problem, const std::string& text) {
  const auto bit = std::uint8_t(problem);
  if (reported_ & bit) return;
  reported_ |= bit;
  ReportProblem(text);
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
