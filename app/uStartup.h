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

// The folder of an installation that holds what the program ships (glyph types, the manual,
// translations), relative to the program folder: <prefix>/share/varnel-stampora beside
// <prefix>/bin.
inline constexpr const char* kSharedFolder = "../share/varnel-stampora/";
// A file the program ships, by its name relative to the shared folder: beside the program when
// it is there (the build folder keeps glyph_types.ini so), else in the shared folder. When
// neither exists, the name beside the program.
std::string ShippedFile(const std::string& name, const std::string& programFolder);

// Prepares the shared state in order: data folder, program folder, short date format, glyph
// types, the word processor controller with its hidden worker instance. Returns false when no
// usable word processor could be connected; the message has then been shown and the caller
// must terminate after its remaining start-up steps.
bool InitializeCommon();
// Frees the shared state at the end of the process: the controller releases every instance.
void FinalizeCommon();

}  // namespace app
