// Conversions between the formats LibreOffice reads and writes: legacy documents into packages
// on opening, packages into binary Word 97 files on saving them in the format they came in.
#pragma once

#include <sys/types.h>

#include <functional>
#include <mutex>
#include <string>

#include "wordproc/core/Ooxml.h"

namespace wordproc {

// LibreOffice is not installed. The message names the file and the package to install; a panel
// converting many files says it once.
class OfficeMissingError : public DocumentError {
 public:
  using DocumentError::DocumentError;
};

// The Debian package that brings what conversions need.
inline constexpr const char* kOfficePackage = "libreoffice-writer-nogui";

enum class ConvertTo { Package, Word97, Word97Template };

// One LibreOffice for the whole process, started on the first conversion through the shipped
// helper lo-convert.py (python3-uno) and kept for every later one: a cold start costs seconds,
// a conversion with LibreOffice running a fraction of one. Without python3-uno each conversion
// starts LibreOffice once (soffice --convert-to). Safe to call from any thread; conversions run
// one at a time.
class Converter {
 public:
  static Converter& Instance();

  // Converts the source file into the target, whose folder must exist. When LibreOffice dies
  // during a conversion it is started again and the file tried once more. Throws DocumentError
  // naming nameForErrors and the reason (OfficeMissingError when LibreOffice is not
  // installed). Conversions into a package are worded as failures to open, the others as failures
  // to save.
  void Convert(const std::string& source, const std::string& target, ConvertTo format,
               const std::string& nameForErrors);

  // Ends LibreOffice and the helper, with all they started. The next conversion starts them
  // again.
  void Shutdown();

  // Where the helper is, for programs that do not lie beside their shared files.
  void SetHelperPath(std::string path);

  // For tests and benchmarks: how often the helper was started, how many files were converted,
  // the process group of the running helper (0 when none), and a call made after each request
  // is sent, with that process group.
  int Starts() const;
  int Conversions() const;
  pid_t ProcessGroup() const;
  void SetAfterRequestHook(std::function<void(pid_t)> hook);

  ~Converter();

 private:
  Converter() = default;
  enum class Reply { Ok, Failed, Died };
  bool StartLocked();
  void StopLocked();
  Reply RequestLocked(const std::string& line, std::string& reason);
  void ConvertOnce(const std::string& source, const std::string& target, ConvertTo format,
                   const std::string& nameForErrors);

  mutable std::mutex mutex_;
  std::string helper_;
  std::string profile_;  // the running LibreOffice's private profile folder
  pid_t pid_ = 0;
  int socket_ = -1;
  std::string pending_;   // read past the last reply
  bool oneShot_ = false;  // the helper cannot run: one start of LibreOffice per file
  int starts_ = 0;
  int conversions_ = 0;
  std::function<void(pid_t)> afterRequest_;
};

// Where LibreOffice is, or an empty string.
std::string FindOffice();

}  // namespace wordproc
