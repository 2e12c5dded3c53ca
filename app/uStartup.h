// The start-up of the program before its windows exist, and the end of the process.
#pragma once

#include <string>

namespace app {

inline constexpr const char* kWordMissingMessage =
    "Для запуска программы необходим Microsoft Word 97 или выше!";
inline constexpr const char* kAlreadyRunningMessage = "Программа уже запущена!";
inline constexpr const char* kAttentionCaption = "Внимание!";
inline constexpr const char* kInstanceLockName = "VarnelStampora_App";

// The data folder from the "DataDir" setting, else the documents folder + "Varnel"; always
// with a trailing separator. DefaultDataFolder only names it; ResolveDataFolder also creates it
// with its parents (a failure is not reported).
std::string DefaultDataFolder();
std::string ResolveDataFolder();
// Folder of the running program file, with a trailing separator.
std::string ProgramFolder();

// Prepares the shared state in order: data folder, program folder, short date format, glyph
// types, the word processor controller with its hidden worker instance. Returns false when no
// usable word processor could be connected; the message has then been shown and the caller
// must terminate after its remaining start-up steps.
bool InitializeCommon();
// Frees the shared state at the end of the process: the controller releases every instance.
void FinalizeCommon();

}  // namespace app
