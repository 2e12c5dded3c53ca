// Command-line arguments of stampora-batch: a subcommand, positional arguments and --options
// with values.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace batch {

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ParsedArgs {
  std::string command;
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;  // without the leading "--"; the last value given
  std::map<std::string, std::vector<std::string>> repeated;  // every value, in order

  std::optional<std::string> option(const std::string& name) const;
  // An option the command cannot do without; UsageError when it is absent or empty.
  std::string required(const std::string& name) const;
  // Every value of an option that may be given more than once; empty when absent.
  std::vector<std::string> optionValues(const std::string& name) const;
  // An option that must be a whole number within [min, max]; fallback when absent.
  int intOption(const std::string& name, int fallback, int min, int max) const;
};

// Parses argv after the program name. Options take a value ("--page 2" or "--page=2"), except
// names listed with a trailing "?" in allowed, which are flags and read as "1" when given.
// Only the names in allowed are accepted for the command. Throws UsageError.
ParsedArgs ParseArgs(const std::vector<std::string>& args,
                     const std::map<std::string, std::set<std::string>>& allowed);

// A document named on the command line must be a regular file: a pipe, a device or a socket
// under that name would keep the word processor waiting for ever. Looked at without opening
// it; a missing file is left to the opener's own message. Throws std::runtime_error.
void RequireRegularFile(const std::string& file);

}  // namespace batch
