// The file holds one section per key and one line per value:
//
//   [HKLM\Software\Varnel\Stampora]
//   PaperSize=str:A4 (210 x 297 mm)
//   Count=num:12
//
// Key and value names are percent-encoded where a character would break the line structure; the
// value text uses backslash escapes (\\, \n, \r, \0), so every value fits on one line.
#include "platform/Registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "platform/Files.h"
#include "platform/UserInteraction.h"

namespace platform {
namespace {

// The file is kept as its lines, so that comments, blank lines and lines this version does not
// understand survive every write; the keys and values found in it are indexed over them.
struct Entry {
  std::string name;
  RegValue value;
  std::vector<std::size_t> lines;  // every line that sets it; the last one counts
};

struct Key {
  RegRoot root;
  std::string path;
  std::size_t lastLine;  // the last line of the key's section that is not blank
  std::vector<Entry> entries;
  std::unordered_map<std::string, std::size_t> byName;  // lower-case name -> entry
};

struct Model {
  std::vector<std::string> lines;
  std::vector<Key> keys;
  std::unordered_map<std::string, std::size_t> byPath;  // root + lower-case path -> key
  std::unordered_set<std::string> prefixes;             // the same for every key and its parents
};

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = LowerAscii(c);
  return lower;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && LowerAscii(a) == LowerAscii(b);
}

// "\Software\\Varnel\" and "Software\Varnel" name the same key.
std::string NormalKey(std::string_view key) {
  std::string result;
  std::size_t start = 0;
  while (start <= key.size()) {
    std::size_t end = key.find('\\', start);
    if (end == std::string_view::npos) end = key.size();
    if (end > start) {
      if (!result.empty()) result += '\\';
      result.append(key.substr(start, end - start));
    }
    start = end + 1;
  }
  return result;
}

std::string KeyId(RegRoot root, std::string_view normalPath) {
  return (root == RegRoot::LocalMachine ? "M" : "U") + LowerAscii(normalPath);
}

const Key* FindKey(const Model& model, RegRoot root, std::string_view path) {
  auto found = model.byPath.find(KeyId(root, path));
  return found == model.byPath.end() ? nullptr : &model.keys[found->second];
}

const Entry* FindEntry(const Key& key, std::string_view name) {
  auto found = key.byName.find(LowerAscii(name));
  return found == key.byName.end() ? nullptr : &key.entries[found->second];
}

bool NeedsPercent(unsigned char c) {
  return c < 0x20 || c == 0x7f || c == '%' || c == '=' || c == '[' || c == ']' || c == '#' ||
         c == ';';
}

std::string EncodeName(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (NeedsPercent(c)) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = LowerAscii(c);
  return (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
}

std::optional<std::string> DecodeName(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

// Each pair is a character and the letter that stands for it after a backslash.
constexpr std::pair<char, char> kEscapes[] = {{'\\', '\\'}, {'\n', 'n'}, {'\r', 'r'}, {'\0', '0'}};

std::string EscapeText(std::string_view text) {
  std::string out;
  for (char c : text) {
    auto escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                               [c](auto pair) { return pair.first == c; });
    if (escape != std::end(kEscapes)) out += '\\';
    out += escape != std::end(kEscapes) ? escape->second : c;
  }
  return out;
}

std::optional<std::string> UnescapeText(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return std::nullopt;
    auto escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                               [c = text[i]](auto pair) { return pair.second == c; });
    if (escape == std::end(kEscapes)) return std::nullopt;
    out += escape->first;
  }
  return out;
}

const char* RootName(RegRoot root) {
  return root == RegRoot::LocalMachine ? "HKLM" : "HKCU";
}

std::optional<RegRoot> ParseRoot(std::string_view text) {
  if (SameText(text, "HKLM") || SameText(text, "HKEY_LOCAL_MACHINE")) return RegRoot::LocalMachine;
  if (SameText(text, "HKCU") || SameText(text, "HKEY_CURRENT_USER")) return RegRoot::CurrentUser;
  return std::nullopt;
}

std::string FormatValue(const RegValue& value) {
  switch (value.type) {
    case RegType::String:
      return "str:" + EscapeText(value.text);
    case RegType::ExpandString:
      return "expand:" + EscapeText(value.text);
    case RegType::Number:
      return "num:" + std::to_string(value.number);
  }
  return {};
}

std::optional<RegValue> ParseValue(std::string_view text) {
  std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  std::string_view tag = text.substr(0, colon), payload = text.substr(colon + 1);
  RegValue value;
  if (tag == "num") {
    value.type = RegType::Number;
    auto [end, error] = std::from_chars(payload.begin(), payload.end(), value.number);
    if (error != std::errc() || end != payload.end()) return std::nullopt;
    return value;
  }
  if (tag != "str" && tag != "expand") return std::nullopt;
  value.type = tag == "str" ? RegType::String : RegType::ExpandString;
  std::optional<std::string> unescaped = UnescapeText(payload);
  if (!unescaped) return std::nullopt;
  value.text = std::move(*unescaped);
  return value;
}

Key& ObtainKey(Model& model, RegRoot root, const std::string& path, std::size_t line) {
  auto [found, added] = model.byPath.try_emplace(KeyId(root, path), model.keys.size());
  if (added) {
    model.keys.push_back(Key{root, path, line, {}, {}});
    for (std::size_t end = path.size();; end = path.rfind('\\', end - 1)) {
      model.prefixes.insert(KeyId(root, path.substr(0, end)));
      if (end == 0 || end == std::string::npos) break;
    }
  }
  return model.keys[found->second];
}

// A damaged header makes the lines under it homeless, so they are skipped rather than filed
// under the key before it.
Key* ParseHeader(Model& model, std::string_view line, std::size_t number) {
  std::string_view inner = line.substr(1, line.size() - 2);
  std::size_t slash = inner.find('\\');
  std::optional<RegRoot> root = ParseRoot(inner.substr(0, slash));
  std::string_view rest = slash == std::string_view::npos ? "" : inner.substr(slash + 1);
  std::optional<std::string> path = DecodeName(rest);
  if (!root || !path) return nullptr;
  Key& key = ObtainKey(model, *root, NormalKey(*path), number);
  key.lastLine = number;
  return &key;
}

void ParseEntry(Key& key, std::string_view line, std::size_t number) {
  std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return;
  std::optional<std::string> name = DecodeName(line.substr(0, equals));
  std::optional<RegValue> value = ParseValue(line.substr(equals + 1));
  if (!name || !value) return;
  auto [found, added] = key.byName.try_emplace(LowerAscii(*name), key.entries.size());
  if (added) key.entries.push_back(Entry{std::move(*name), {}, {}});
  Entry& entry = key.entries[found->second];
  entry.value = std::move(*value);
  entry.lines.push_back(number);
}

Model Parse(std::vector<std::string> lines) {
  Model model;
  model.lines = std::move(lines);
  Key* current = nullptr;
  for (std::size_t i = 0; i < model.lines.size(); ++i) {
    std::string_view line = model.lines[i];
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      current = ParseHeader(model, line, i);
    } else if (current) {
      current->lastLine = i;
      if (line[0] != '#' && line[0] != ';') ParseEntry(*current, line, i);
    }
  }
  return model;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.emplace_back(text, start, end - start);
    start = end + 1;
  }
  return lines;
}

std::string Serialize(const Model& model) {
  std::string text;
  for (const std::string& line : model.lines) text.append(line).append("\n");
  return text;
}

std::string HeaderLine(RegRoot root, const std::string& path) {
  return std::string("[") + RootName(root) + (path.empty() ? "" : "\\" + EncodeName(path)) + "]";
}

std::string ValueLine(const std::string& name, const RegValue& value) {
  return EncodeName(name) + '=' + FormatValue(value);
}

// The value's last line is rewritten (a name that appears twice keeps the first line, which
// no longer counts); a new value goes under its key, a new key at the end.
Model WithValue(Model model, RegRoot root, const std::string& path, const std::string& name,
                const RegValue& value) {
  const Key* key = FindKey(model, root, path);
  const Entry* entry = key ? FindEntry(*key, name) : nullptr;
  if (entry) {
    model.lines[entry->lines.back()] = ValueLine(entry->name, value);
  } else if (key) {
    model.lines.insert(model.lines.begin() + std::ptrdiff_t(key->lastLine + 1),
                       ValueLine(name, value));
  } else {
    if (!model.lines.empty() && !model.lines.back().empty()) model.lines.emplace_back();
    model.lines.push_back(HeaderLine(root, path));
    model.lines.push_back(ValueLine(name, value));
  }
  return Parse(std::move(model.lines));
}

Model WithoutValue(Model model, const Entry& entry) {
  std::vector<std::string> lines;
  lines.reserve(model.lines.size());
  for (std::size_t i = 0; i < model.lines.size(); ++i)
    if (std::find(entry.lines.begin(), entry.lines.end(), i) == entry.lines.end())
      lines.push_back(std::move(model.lines[i]));
  return Parse(std::move(lines));
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

[[noreturn]] void Fail(const std::string& filePath, const std::string& reason) {
  throw RegistryError("Не удалось записать файл настроек " + Quoted(filePath) + ": " + reason);
}

// Serializes read-modify-write cycles of all processes sharing the file.
class WriteLock {
 public:
  explicit WriteLock(const std::string& filePath) {
    if (!ForceDirectories(FolderOf(filePath))) Fail(filePath, "не удаётся создать его папку");
    fd_ = open((filePath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) Fail(filePath, ErrorReason(errno));
    while (flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        int error = errno;
        close(fd_);
        Fail(filePath, ErrorReason(error));
      }
    }
  }
  ~WriteLock() { close(fd_); }
  WriteLock(const WriteLock&) = delete;
  WriteLock& operator=(const WriteLock&) = delete;

 private:
  int fd_ = -1;
};

void Save(const Model& model, const std::string& filePath) {
  const std::string text = Serialize(model);
  try {
    WriteFileAtomically(filePath, text.data(), text.size());
  } catch (const FileError& e) {
    throw RegistryError(e.what());
  }
}

constexpr const char* kPersonal = "Personal";

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string ConfigHome() {
  std::string config = Env("XDG_CONFIG_HOME");
  if (!config.empty() && config[0] == '/') return config;
  std::string home = Env("HOME");
  return home.empty() ? "" : home + "/.config";
}

// The line XDG_DOCUMENTS_DIR="$HOME/Dokumente" of user-dirs.dirs; only "$HOME/..." and
// absolute paths are valid there.
std::string UserDirsDocuments(const std::string& home) {
  std::string config = ConfigHome();
  if (config.empty()) return "";
  std::ifstream in(config + "/user-dirs.dirs");
  const std::string prefix = "XDG_DOCUMENTS_DIR=\"";
  std::string line, found;
  while (std::getline(in, line)) {
    std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, prefix.size(), prefix) != 0) continue;
    std::size_t close = line.rfind('"');
    if (close < start + prefix.size()) continue;
    std::string value = line.substr(start + prefix.size(), close - start - prefix.size());
    std::string unescaped;
    for (std::size_t i = 0; i < value.size(); ++i) {
      if (value[i] == '\\' && i + 1 < value.size()) ++i;
      unescaped += value[i];
    }
    if (unescaped.rfind("$HOME", 0) == 0 && (unescaped.size() == 5 || unescaped[5] == '/')) {
      if (!home.empty()) found = home + unescaped.substr(5);
    } else if (!unescaped.empty() && unescaped[0] == '/') {
      found = unescaped;
    }
  }
  return found;
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

Registry& Registry::Instance() {
  static Registry registry(DefaultFilePath());
  return registry;
}

std::string Registry::DefaultFilePath() {
  std::string file = Env("VSP_REGISTRY_FILE");
  if (!file.empty()) return file;
  std::string config = ConfigHome();
  if (config.empty()) {
    const passwd* user = getpwuid(geteuid());
    config = std::string(user && user->pw_dir ? user->pw_dir : "") + "/.config";
  }
  return config + "/varnel-stampora/registry";
}

// What the file looked like when it was read; a different stamp means another process (or
// another object) wrote it since.
struct Stamp {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  std::int64_t modified = 0, changed = 0;
  bool operator==(const Stamp&) const = default;
};

struct RegistryState {
  std::mutex mutex;
  std::optional<Stamp> stamp;  // of the file the model came from; none when there is no file
  Model model;
  // The file exists but cannot be read: it is never written over, and the settings live in
  // memory for the rest of the run.
  std::string unreadable;
  bool reported = false;
};

namespace {

std::int64_t Nanoseconds(const timespec& t) {
  return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

Stamp StampOf(const struct stat& st) {
  return {st.st_dev, st.st_ino, st.st_size, Nanoseconds(st.st_mtim), Nanoseconds(st.st_ctim)};
}

// The whole file, or the reason it cannot be read. A missing file reads as empty.
std::optional<std::string> ReadWhole(const std::string& path, std::string& failure) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT && errno != ENOTDIR) failure = ErrorReason(errno);
    return std::nullopt;
  }
  struct stat st {};
  std::string text;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    failure = "это не обычный файл";
  } else {
    char buffer[65536];
    for (;;) {
      ssize_t got = ::read(fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) failure = ErrorReason(errno);
      if (got <= 0) break;
      text.append(buffer, std::size_t(got));
    }
  }
  close(fd);
  if (!failure.empty()) return std::nullopt;
  return text;
}

std::optional<RegValue> SystemDefault(RegRoot root, const std::string& path,
                                      const std::string& name) {
  if (root != RegRoot::CurrentUser || LowerAscii(path) != LowerAscii(NormalKey(kShellFoldersKey)) ||
      LowerAscii(name) != LowerAscii(kPersonal))
    return std::nullopt;
  std::string documents = XdgDocumentsFolder();
  if (documents.empty()) return std::nullopt;
  return RegValue{RegType::String, documents, 0};
}

const Model& Unreadable(RegistryState& state, const std::string& filePath,
                        const std::string& reason) {
  state.unreadable = reason;
  state.model = {};
  state.stamp.reset();
  if (!state.reported) {
    state.reported = true;
    UI().messageBox("Не удаётся прочитать файл настроек " + Quoted(filePath) + ": " + reason +
                        ".\nПрограмма работает с настройками по умолчанию; этот файл она не "
                        "изменит, и новые настройки не сохранятся после выхода.",
                    "Внимание!", MsgIcon::Warning, MsgButtons::Ok);
  }
  return state.model;
}

// Brings the cached model up to the file; the caller holds the state's mutex. Reading a file of
// many keys costs a parse only when the file has changed, a stat otherwise.
const Model& Current(RegistryState& state, const std::string& filePath) {
  if (!state.unreadable.empty()) return state.model;
  struct stat st {};
  if (stat(filePath.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) {
      if (state.stamp) state.model = {};
      state.stamp.reset();
      return state.model;
    }
    return Unreadable(state, filePath, ErrorReason(errno));
  }
  if (state.stamp && *state.stamp == StampOf(st)) return state.model;
  std::string failure;
  std::optional<std::string> text = ReadWhole(filePath, failure);
  if (!failure.empty()) return Unreadable(state, filePath, failure);
  state.model = Parse(SplitLines(text.value_or("")));
  state.stamp = StampOf(st);
  return state.model;
}

void Store(RegistryState& state, const std::string& filePath, Model model) {
  if (!state.unreadable.empty()) {
    state.model = std::move(model);
    return;
  }
  Save(model, filePath);
  struct stat st {};
  state.stamp.reset();
  if (stat(filePath.c_str(), &st) == 0) state.stamp = StampOf(st);
  state.model = std::move(model);
}

}  // namespace

Registry::Registry(std::string filePath)
    : filePath_(std::move(filePath)), state_(std::make_shared<RegistryState>()) {}

Registry::~Registry() = default;

void Registry::setFilePath(std::string filePath) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  filePath_ = std::move(filePath);
  state_->stamp.reset();
  state_->model = {};
  state_->unreadable.clear();
  state_->reported = false;
}

bool Registry::keyExists(RegRoot root, const std::string& key) const {
  std::string path = NormalKey(key);
  if (path.empty()) return true;
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (Current(*state_, filePath_).prefixes.count(KeyId(root, path))) return true;
  const std::string shellFolders = NormalKey(kShellFoldersKey);
  return root == RegRoot::CurrentUser &&
         LowerAscii(shellFolders + "\\").rfind(LowerAscii(path + "\\"), 0) == 0 &&
         !XdgDocumentsFolder().empty();
}

std::optional<RegValue> Registry::read(RegRoot root, const std::string& key,
                                       const std::string& name) const {
  const std::string path = NormalKey(key);
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    const Key* stored = FindKey(Current(*state_, filePath_), root, path);
    if (const Entry* entry = stored ? FindEntry(*stored, name) : nullptr) return entry->value;
  }
  return SystemDefault(root, path, name);
}

void Registry::write(RegRoot root, const std::string& key, const std::string& name,
                     const RegValue& value) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  std::optional<WriteLock> fileLock;
  if (state_->unreadable.empty()) fileLock.emplace(filePath_);
  Store(*state_, filePath_,
        WithValue(Current(*state_, filePath_), root, NormalKey(key), name, value));
}

bool Registry::deleteValue(RegRoot root, const std::string& key, const std::string& name) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  std::optional<WriteLock> fileLock;
  if (state_->unreadable.empty()) fileLock.emplace(filePath_);
  const Model& model = Current(*state_, filePath_);
  const Key* stored = FindKey(model, root, NormalKey(key));
  const Entry* entry = stored ? FindEntry(*stored, name) : nullptr;
  if (!entry) return false;
  Store(*state_, filePath_, WithoutValue(model, *entry));
  return true;
}

std::vector<std::string> Registry::valueNames(RegRoot root, const std::string& key) const {
  const std::string path = NormalKey(key);
  std::vector<std::string> names;
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (const Key* stored = FindKey(Current(*state_, filePath_), root, path)) {
    for (const Entry& entry : stored->entries) names.push_back(entry.name);
    if (stored->byName.count(LowerAscii(kPersonal))) return names;
  }
  if (SystemDefault(root, path, kPersonal)) names.push_back(kPersonal);
  return names;
}

std::vector<std::string> Registry::subKeyNames(RegRoot root, const std::string& key) const {
  const std::string prefix = LowerAscii(NormalKey(key)) + "\\";
  std::vector<std::string> names;
  std::unordered_set<std::string> seen;
  std::lock_guard<std::mutex> lock(state_->mutex);
  for (const Key& stored : Current(*state_, filePath_).keys) {
    if (stored.root != root || LowerAscii(stored.path).rfind(prefix, 0) != 0) continue;
    const std::string rest = stored.path.substr(prefix.size());
    const std::string name = rest.substr(0, rest.find('\\'));
    if (seen.insert(LowerAscii(name)).second) names.push_back(name);
  }
  return names;
}

std::string XdgDocumentsFolder() {
  std::string documents = Env("XDG_DOCUMENTS_DIR");
  if (!documents.empty()) return WithoutTrailingSlash(documents);
  std::string home = Env("HOME");
  documents = UserDirsDocuments(home);
  if (!documents.empty()) return WithoutTrailingSlash(documents);
  return home.empty() ? "" : WithoutTrailingSlash(home) + "/Documents";
}

}  // namespace platform
