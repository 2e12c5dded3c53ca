// Temporary files, file attributes and times as the program expects them from the system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace platform {

class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The platform's path separator, the one the program's folders end with.
inline constexpr char kPathSep = '/';

// The program's private temporary folder, mode 0700, ending with the separator: the folder
// varnel-stampora in the user's runtime folder ($XDG_RUNTIME_DIR, when it is a private folder
// of this user), else varnel-stampora-<uid> under the system's temporary folder ($TMPDIR or
// /tmp). When another user holds that name (or it is a link), a folder with a unique name is
// made instead for the rest of the process and removed at its exit, so nobody can block the
// program by taking the name first. Throws FileError, in Russian, when no folder can be made.
std::string PrivateTempFolder();
// Whether the path lies in the private temporary folder this process has chosen (false before
// it has chosen one). Creates nothing.
bool InPrivateTempFolder(const std::string& path);

// Creates a new empty file prefix + hexadecimal digits + extension in the folder exclusively
// (an existing file is never reused) and returns its full path. Only the first three characters
// of the prefix are used; an empty folder means the private temporary folder. The file is
// readable and writable by the owner only. Throws FileError naming the folder when no file can
// be created.
std::string CreateTempFile(const std::string& folder, const std::string& prefix,
                           const std::string& extension = ".tmp");

// A temporary file that is removed when the object goes, on every way out of a scope.
class ScopedTempFile {
 public:
  ScopedTempFile() = default;
  explicit ScopedTempFile(std::string path) : path_(std::move(path)) {}
  // A new file in the private temporary folder, as CreateTempFile makes it.
  static ScopedTempFile Create(const std::string& prefix, const std::string& extension);
  ~ScopedTempFile();
  ScopedTempFile(ScopedTempFile&& other) noexcept : path_(std::move(other.path_)) {
    other.path_.clear();
  }
  ScopedTempFile& operator=(ScopedTempFile&& other) noexcept;
  ScopedTempFile(const ScopedTempFile&) = delete;
  ScopedTempFile& operator=(const ScopedTempFile&) = delete;

  const std::string& path() const { return path_; }
  // Keeps the file: the object forgets it.
  std::string release();

 private:
  std::string path_;
};

// A whole file written so that nobody ever sees part of it under its name: the bytes go to a
// nameless file in the target's folder (a hidden temporary name where the file system cannot
// make nameless files), which is flushed to the disk and then renamed over the target, and the
// folder is flushed too. Until Commit the previous file stays as it was; an object destroyed
// without Commit leaves nothing behind. A replaced file keeps its mode, a new file gets the
// mode the umask allows. A target that is a link stays a link: the file it leads to is replaced.
class AtomicFile {
 public:
  // Throws FileError naming the file when nothing can be created in its folder.
  explicit AtomicFile(const std::string& path);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Throws FileError naming the file; a full disk is reported as such.
  void Write(const void* data, std::size_t n);
  void Commit();
  const std::string& path() const { return path_; }

 private:
  [[noreturn]] void Fail(int error);
  void LinkIntoFolder();

  std::string path_;    // as given, for messages
  std::string target_;  // the file really replaced
  std::string temp_;    // the temporary name, when the file has one
  int fd_ = -1;
  bool nameless_ = false;
};

// The whole file written at once through AtomicFile.
void WriteFileAtomically(const std::string& path, const void* data, std::size_t n);
// A copy of the source replacing the target through AtomicFile; throws FileError naming the
// file that failed. The source must be a regular file.
void CopyFileAtomically(const std::string& source, const std::string& target);

// A plain copy of a regular file over the target, for the program's own scratch copies in its
// temporary folder (no flushing to the disk: nothing there outlives a crash). Throws FileError
// naming the file that failed.
void CopyFileContents(const std::string& source, const std::string& target);

// Opens a regular file for reading, never blocking on a pipe, a device or a socket that carries
// the name; returns the descriptor (close-on-exec). Throws FileError naming the file when it
// cannot be opened or is not a regular file.
int OpenRegularFile(const std::string& path);

// The text in the quotation marks messages to the user put around names: «text».
inline std::string Quoted(const std::string& text) {
  return "«" + text + "»";
}

// The system's reason for an error number, in Russian for the failures users meet most.
std::string ErrorReason(int error);

// Read-only: the owner may not write. Hidden: the name begins with ".". No system files.
bool IsReadOnly(const std::string& path);
bool IsHiddenName(const std::string& fileName);
// What word processors keep beside a document while it is open or being saved, never a
// document of its own, whatever its extension: Word's owner files ("~$name.doc") and temporary
// files ("~WRL0001.tmp", "~WRD0000.tmp"), LibreOffice's lock files (".~lock.name.doc#"), and
// backups and temporaries ending in "~", "#", ".tmp", ".bak", ".wbk" or ".asd". Letter case
// does not matter.
bool IsWordProcessorTempName(const std::string& fileName);
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
