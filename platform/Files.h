// Temporary files, file attributes and times as the program expects them from the system.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace platform {

class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The platform's path separator, the one the program's folders end with.
inline constexpr char kPathSep = '/';

// The private temporary folder varnel-stampora-<uid> under the system's temporary folder
// ($TMPDIR or /tmp), mode 0700, created when missing; ends with the separator. Throws
// FileError when the folder cannot be made private (another owner, a symbolic link).
std::string PrivateTempFolder();

// Creates a new empty file prefix + hexadecimal digits + ".tmp" in the folder exclusively (an
// existing file is never reused) and returns its full path. Only the first three characters of
// the prefix are used; an empty folder means the private temporary folder. The file is readable
// and writable by the owner only. Throws FileError naming the folder when no file can be created.
std::string CreateTempFile(const std::string& folder, const std::string& prefix);

// Read-only: the owner may not write. Hidden: the name begins with ".". No system files.
bool IsReadOnly(const std::string& path);
bool IsHiddenName(const std::string& fileName);
// Gives the owner write permission back; false when the file is missing or unchangeable.
bool SetNormal(const std::string& path);
bool SetReadOnly(const std::string& path);

bool FileExists(const std::string& path);  // a regular file (or a link to one)
bool DirectoryExists(const std::string& path);
// Creates the folder with its missing parents; false on failure.
bool ForceDirectories(const std::string& path);

// Modification time of a file as seconds since the epoch, with sub-second part; throws
// FileError when the file cannot be read.
double FileModificationTime(const std::string& path);

}  // namespace platform
