// A file-backed stand-in for the system registry: typed values under two roots, kept in one
// file so that settings persist between runs and several processes see the same values.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace platform {

enum class RegRoot { LocalMachine, CurrentUser };
enum class RegType { String, ExpandString, Number };

struct RegValue {
  RegType type = RegType::String;
  std::string text;         // String and ExpandString
  std::int64_t number = 0;  // Number
};

class RegistryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Registry {
 public:
  // The process-wide registry. Its file is $VSP_REGISTRY_FILE when set, otherwise
  // $XDG_CONFIG_HOME/varnel-stampora/registry (XDG_CONFIG_HOME defaulting to ~/.config).
  static Registry& Instance();
  static std::string DefaultFilePath();

  explicit Registry(std::string filePath);
  ~Registry();

  const std::string& filePath() const { return filePath_; }
  // Points the registry at another file (tests).
  void setFilePath(std::string filePath);

  bool keyExists(RegRoot root, const std::string& key) const;
  // The value, or nothing when the key or the value is absent. Keys and value names are
  // matched ignoring the case of ASCII letters, as the system does. The file is read again only
  // when it has changed. A file that exists but cannot be read (permissions, a folder in its
  // place) is reported once and never written over: the registry then lives in memory for the
  // rest of the run. Damaged lines read as absent, and stay in the file as they are, as do
  // comments and lines of later versions.
  std::optional<RegValue> read(RegRoot root, const std::string& key, const std::string& name) const;
  // Creates the key when missing. The file is replaced whole (written beside, then renamed), so
  // it is never seen half written. Throws RegistryError naming the file when it cannot write.
  void write(RegRoot root, const std::string& key, const std::string& name, const RegValue& value);
  // Removes a value; false when it did not exist.
  bool deleteValue(RegRoot root, const std::string& key, const std::string& name);
  std::vector<std::string> valueNames(RegRoot root, const std::string& key) const;
  // The names of the key's direct subkeys, in the order the file holds them.
  std::vector<std::string> subKeyNames(RegRoot root, const std::string& key) const;

 private:
  std::string filePath_;
  std::shared_ptr<struct RegistryState> state_;
};

// "Shell Folders" of the current user, where the documents folder is published as "Personal".
inline constexpr const char* kShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The user's documents folder by the XDG rules (XDG_DOCUMENTS_DIR, user-dirs.dirs, then
// ~/Documents); empty when no home folder is known. The registry answers it for "Personal"
// when the value is not stored.
std::string XdgDocumentsFolder();

}  // namespace platform
