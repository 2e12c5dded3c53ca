#include "tools/BatchArgs.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "platform/Files.h"

namespace batch {

std::optional<std::string> ParsedArgs::option(const std::string& name) const {
  auto it = options.find(name);
  if (it == options.end()) return std::nullopt;
  return it->second;
}

std::string ParsedArgs::required(const std::string& name) const {
  auto value = option(name);
  if (!value || value->empty())
    throw UsageError("для команды " + command + " нужен параметр --" + name);
  return *value;
}

std::vector<std::string> ParsedArgs::optionValues(const std::string& name) const {
  auto it = repeated.find(name);
  return it == repeated.end() ? std::vector<std::string>{} : it->second;
}

int ParsedArgs::intOption(const std::string& name, int fallback, int min, int max) const {
  auto text = option(name);
  if (!text) return fallback;
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text->c_str(), &end, 10);
  if (text->empty() || *end != '\0' || errno == ERANGE || v < min || v > max)
    throw UsageError("--" + name + ": ожидается целое число от " + std::to_string(min) + " до " +
                     std::to_string(max) + ", получено \"" + *text + "\"");
  return int(v);
}

ParsedArgs ParseArgs(const std::vector<std::string>& args,
                     const std::map<std::string, std::set<std::string>>& allowed) {
  if (args.empty()) throw UsageError("не указана команда");
  ParsedArgs parsed;
  parsed.command = args[0];
  auto known = allowed.find(parsed.command);
  if (known == allowed.end()) throw UsageError("неизвестная команда \"" + parsed.command + "\"");
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.rfind("--", 0) != 0 || a == "--") {
      parsed.positional.push_back(a);
      continue;
    }
    std::string name = a.substr(2), value;
    auto eq = name.find('=');
    if (eq == std::string::npos && known->second.count(name + "?")) {
      parsed.options[name] = "1";
      continue;
    }
    if (eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.erase(eq);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      throw UsageError("у параметра --" + name + " нет значения");
    }
    if (!known->second.count(name))
      throw UsageError("неизвестный параметр --" + name + " для команды " + parsed.command);
    parsed.options[name] = value;
    parsed.repeated[name].push_back(value);
  }
  return parsed;
}

void RequireRegularFile(const std::string& file) {
  struct stat st {};
  if (stat(file.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    throw std::runtime_error("документ " + platform::Quoted(file) + " не является обычным файлом");
}

}  // namespace batch
