#include "app/uStartup.h"

#include <unistd.h>

#include <climits>
#include <filesystem>

#include "app/PrinterCalibration.h"
#include "app/uCommon.h"
#include "platform/Files.h"
#include "platform/Locale.h"
#include "platform/UserInteraction.h"

namespace app {

namespace {

// A setting of another type than text is taken as not set, so a damaged value cannot stop the
// program before any window exists.
std::string ReadTextOrEmpty(platform::RegRoot root, const std::string& key,
                            const std::string& name) {
  try {
    return RegReadString(root, key, name);
  } catch (const platform::RegistryError&) {
    return {};
  }
}

}  // namespace

std::string DefaultDataFolder() {
  std::string folder = ReadTextOrEmpty(platform::RegRoot::LocalMachine, SettingsKey, "DataDir");
  if (folder.empty()) {
    folder =
        ReadTextOrEmpty(platform::RegRoot::CurrentUser, platform::kShellFoldersKey, "Personal");
    folder = IncludeTrailingSeparator(folder) + "Varnel";
  }
  return IncludeTrailingSeparator(folder);
}

std::string ResolveDataFolder() {
  std::string folder = DefaultDataFolder();
  platform::ForceDirectories(folder);
  return folder;
}

std::string ProgramFolder() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return IncludeTrailingSeparator(".");
  std::string exe(buf, std::size_t(n));
  return IncludeTrailingSeparator(exe.substr(0, exe.find_last_of('/')));
}

std::string ShippedFile(const std::string& name, const std::string& programFolder) {
  const std::string beside = programFolder + name;
  if (platform::FileExists(beside)) return beside;
  const std::string shared =
      std::filesystem::path(programFolder + kSharedFolder + name).lexically_normal().string();
  return platform::FileExists(shared) ? shared : beside;
}

bool InitializeCommon() {
  DataFolder = ResolveDataFolder();
  AppFolder = ProgramFolder();
  ShortDateFormat = AdjustShortDateFormat(platform::ShortDateFormat());
  LongTimeFormat = platform::LongTimeFormat();
  GlyphTypes = LoadGlyphTypes(ShippedFile(GlyphTypesFileName, AppFolder));
  AppController = std::make_unique<wordlink::TExtAppController>();
  AppController->InstanceStarted = [](const wordlink::Variant& word) { ApplyPrinterOffsets(word); };
  if (AppController->Connect(wordlink::kKindDefault, false, true)) return true;
  platform::UI().messageBox(kWordMissingMessage, kAttentionCaption, platform::MsgIcon::None,
                            platform::MsgButtons::Ok);
  return false;
}

void FinalizeCommon() {
  AppController.reset();
  GlyphTypes.clear();
  PaperSizes.clear();
}

}  // namespace app
