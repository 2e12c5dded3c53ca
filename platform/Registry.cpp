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
#include <sstream>
#include <utility>

#include "platform/Files.h"

namespace platform {
namespace {

struct Entry {
  std::string name;
  RegValue value;
};

struct Key {
  RegRoot root;
  std::string path;
  std::vector<Entry> entries;
};

using Model = std::vector<Key>;

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
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

Key* FindKey(Model& model, RegRoot root, std::string_view path) {
  for (Key& key : model) {
    if (key.root == root && SameText(key.path, path)) return &key;
  }
  return nullptr;
}

Entry* FindEntry(Key& key, std::string_view name) {
  for (Entry& entry : key.entries) {
    if (SameText(entry.name, name)) return &entry;
  }
  return nullptr;
}

Key& ObtainKey(Model& model, RegRoot root, const std::string& path) {
  if (Key* key = FindKey(model, root, path)) return *key;
  model.push_back(Key{root, path, {}});
  return model.back();
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

// A damaged header makes the lines under it homeless, so they are skipped rather than filed
// under the key before it.
std::optional<std::size_t> ParseHeader(Model& model, std::string_view line) {
  std::string_view inner = line.substr(1, line.size() - 2);
  std::size_t slash = inner.find('\\');
  std::optional<RegRoot> root = ParseRoot(inner.substr(0, slash));
  std::string_view rest = slash == std::string_view::npos ? "" : inner.substr(slash + 1);
  std::optional<std::string> path = DecodeName(rest);
  if (!root || !path) return std::nullopt;
  Key& key = ObtainKey(model, *root, NormalKey(*path));
  return static_cast<std::size_t>(&key - model.data());
}

void ParseEntry(Key& key, std::string_view line) {
  std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return;
  std::optional<std::string> name = DecodeName(line.substr(0, equals));
  std::optional<RegValue> value = ParseValue(line.substr(equals + 1));
  if (!name || !value) return;
  if (Entry* entry = FindEntry(key, *name)) {
    entry->value = std::move(*value);
  } else {
    key.entries.push_back(Entry{std::move(*name), std::move(*value)});
  }
}

Model Load(const std::string& filePath) {
  Model model;
  std::ifstream in(filePath, std::ios::binary);
  std::optional<std::size_t> current;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      current = ParseHeader(model, line);
    } else if (current) {
      ParseEntry(model[*current], line);
    }
  }
  return model;
}

std::string Serialize(const Model& model) {
  std::ostringstream out;
  for (const Key& key : model) {
    out << '[' << RootName(key.root);
    if (!key.path.empty()) out << '\\' << EncodeName(key.path);
    out << "]\n";
    for (const Entry& entry : key.entries) {
      out << EncodeName(entry.name) << '=' << FormatValue(entry.value) << '\n';
    }
    out << '\n';
  }
  return out.str();
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

[[noreturn]] void Fail(const std::string& filePath, const std::string& reason) {
  throw RegistryError("cannot write the registry file " + filePath + ": " + reason);
}

[[noreturn]] void Fail(const std::string& filePath, int error) {
  Fail(filePath, std::string(std::strerror(error)));
}

// A registry file that is a link (a managed dotfile) stays a link: the target is replaced.
std::string WriteTarget(const std::string& filePath) {
  if (char* resolved = realpath(filePath.c_str(), nullptr)) {
    std::string target = resolved;
    std::free(resolved);
    return target;
  }
  char link[4096];
  ssize_t length = readlink(filePath.c_str(), link, sizeof link);
  if (length <= 0 || length == sizeof link) return filePath;
  std::string target(link, static_cast<std::size_t>(length));
  return target[0] == '/' ? target : FolderOf(filePath) + "/" + target;
}

bool WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Readers never lock: the rename makes every version of the file appear whole.
void Save(const Model& model, const std::string& filePath) {
  std::string target = WriteTarget(filePath);
  std::string temp = target + ".XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) Fail(filePath, errno);
  struct stat old {};
  if (stat(target.c_str(), &old) == 0) fchmod(fd, old.st_mode & 07777);
  bool written = WriteAll(fd, Serialize(model)) && fsync(fd) == 0;
  int error = errno;
  if (close(fd) != 0 && written) {
    written = false;
    error = errno;
  }
  if (written && rename(temp.c_str(), target.c_str()) == 0) return;
  if (written) error = errno;
  unlink(temp.c_str());
  Fail(filePath, error);
}

// Serializes read-modify-write cycles of all processes sharing the file.
class WriteLock {
 public:
  explicit WriteLock(const std::string& filePath) {
    if (!ForceDirectories(FolderOf(filePath))) Fail(filePath, "its folder cannot be created");
    fd_ = open((filePath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) Fail(filePath, errno);
    while (flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        int error = errno;
        close(fd_);
        Fail(filePath, error);
      }
    }
  }
  ~WriteLock() { close(fd_); }
  WriteLock(const WriteLock&) = delete;
  WriteLock& operator=(const WriteLock&) = delete;

 private:
  int fd_ = -1;
};

constexpr const char* kPersonal = "Personal";

// What the system always publishes without anyone writing it.
void AddSystemDefaults(Model& model) {
  std::string shellFolders = NormalKey(kShellFoldersKey);
  Key* key = FindKey(model, RegRoot::CurrentUser, shellFolders);
  if (key && FindEntry(*key, kPersonal)) return;
  std::string documents = XdgDocumentsFolder();
  if (documents.empty()) return;
  ObtainKey(model, RegRoot::CurrentUser, shellFolders)
      .entries.push_back(Entry{kPersonal, RegValue{RegType::String, documents, 0}});
}

Model View(const std::string& filePath) {
  Model model = Load(filePath);
  AddSystemDefaults(model);
  return model;
}

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

Registry::Registry(std::string filePath) : filePath_(std::move(filePath)) {}

bool Registry::keyExists(RegRoot root, const std::string& key) const {
  std::string path = NormalKey(key);
  if (path.empty()) return true;
  for (const Key& stored : View(filePath_)) {
    if (stored.root != root || stored.path.size() < path.size()) continue;
    bool sameStart = SameText(std::string_view(stored.path).substr(0, path.size()), path);
    if (sameStart && (stored.path.size() == path.size() || stored.path[path.size()] == '\\')) {
      return true;
    }
  }
  return false;
}

std::optional<RegValue> Registry::read(RegRoot root, const std::string& key,
                                       const std::string& name) const {
  Model model = View(filePath_);
  Key* stored = FindKey(model, root, NormalKey(key));
  Entry* entry = stored ? FindEntry(*stored, name) : nullptr;
  if (!entry) return std::nullopt;
  return entry->value;
}

void Registry::write(RegRoot root, const std::string& key, const std::string& name,
                     const RegValue& value) {
  WriteLock lock(filePath_);
  Model model = Load(filePath_);
  Key& stored = ObtainKey(model, root, NormalKey(key));
  if (Entry* entry = FindEntry(stored, name)) {
    entry->value = value;
  } else {
    stored.entries.push_back(Entry{name, value});
  }
  Save(model, filePath_);
}

bool Registry::deleteValue(RegRoot root, const std::string& key, const std::string& name) {
  WriteLock lock(filePath_);
  Model model = Load(filePath_);
  Key* stored = FindKey(model, root, NormalKey(key));
  Entry* entry = stored ? FindEntry(*stored, name) : nullptr;
  if (!entry) return false;
  stored->entries.erase(stored->entries.begin() + (entry - stored->entries.data()));
  Save(model, filePath_);
  return true;
}

std::vector<std::string> Registry::valueNames(RegRoot root, const std::string& key) const {
  Model model = View(filePath_);
  std::vector<std::string> names;
  if (Key* stored = FindKey(model, root, NormalKey(key))) {
    for (const Entry& entry : stored->entries) names.push_back(entry.name);
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
