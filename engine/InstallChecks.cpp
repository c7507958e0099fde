#include "engine/InstallChecks.h"

#include <cstdio>
#include <map>

#include "base/TextBasics.h"
#include "engine/EngineValues.h"
#include "engine/InstalledFiles.h"
#include "engine/PathVariables.h"
#include "engine/ProductSettings.h"
#include "engine/ScriptCommands.h"
#include "engine/UpdateBase.h"
#include "package/Sections.h"
#include "package/ZLibHelpers.h"
#include "platform/Files.h"

namespace {

// A shortcut, a Desktop.ini or a registry value: a cluster each is plenty.
constexpr uint64_t kSmallFileBytes = 4096;
// The uninstaller's sections besides its stub part (language data, the
// compressed uninstall information) and the journal.
constexpr uint64_t kUninstallerExtraBytes = 256 * 1024;

ByteString Expanded(ByteString text) {
  // The check reports nothing itself: the run names undefined variables.
  const ByteString errors = ErrorText;
  ExpandPathVariables(text);
  ErrorText = errors;
  return text;
}

}  // namespace

ByteString MegabytesText(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / (1024.0 * 1024.0));
  return text;
}

ByteString DescribeShortage(const SpaceShortage& shortage) {
  return shortage.volume + ": " + MegabytesText(shortage.needed) + " MB needed, " +
         MegabytesText(shortage.free) + " MB free";
}

InstallCheckResult CheckBeforeInstall() {
  InstallCheckResult result;
  ReleaseUpdateBase();  // an earlier check's handles would count as holding the files
  LoadOwnSections();
  ByteString script;
  if (SectionsState() != kSectionsLoaded || !ReadOwnSection(kSectionSetupCmd, script) || script.empty())
    return result;  // the run itself reports what is missing
  std::map<ByteString, uint64_t> needed;  // by lower-case volume
  std::map<ByteString, ByteString> volumeNames;
  const auto need = [&](const ByteString& path, uint64_t bytes) {
    const ByteString volume = VolumeOf(path);
    needed[AsciiLower(volume)] += bytes;
    volumeNames[AsciiLower(volume)] = volume;
  };
  ByteString baseVersion, product, uninstallerPath;
  std::vector<CommandItems> patchLines;
  for (const ByteString& line : SplitScriptLines(DecompressBytes(script))) {
    const CommandItems items = SplitCommandItems(line);
    const ByteString action = CommandValue(items, "action");
    if (action == "path") {
      PathAction(items);
      if (baseVersion.empty()) baseVersion = CommandValue(items, "BaseVersion");
    } else if (action == "save" || action == "saveifnotexists" || action == "patch") {
      if (action == "patch") patchLines.push_back(items);
      const ByteString target = Expanded(CommandValue(items, "Filename"));
      const int32_t origLen = IntOrMinusOne(CommandValue(items, "OrigLen"));
      if (target.empty() || origLen <= 0) continue;  // the line fails in the run
      const bool exists = IsExistingFile(target);
      if (exists && action == "saveifnotexists") continue;  // spared
      need(target, static_cast<uint64_t>(origLen));
      if (exists && platform::FileIsHeld(target)) result.heldFiles.push_back(target);
    } else if (action == "icon" || action == "desktopini") {
      need(Expanded(CommandValue(items, action == "icon" ? "lnk" : "path")), kSmallFileBytes);
    } else if (action == "uninst") {
      ByteString uninstaller = CommandValue(items, "pgm");
      if (uninstaller.empty()) uninstaller = "*PgmPath*\\uninstall.exe";
      uninstaller = Expanded(uninstaller);
      need(uninstaller, StubPart().size() + LngData.size() + kUninstallerExtraBytes);
      product = CommandValue(items, "name");
      uninstallerPath = uninstaller;
      // An earlier uninstaller still running (an uninstall in progress) is replaced too.
      if (IsExistingFile(uninstaller) && platform::FileIsHeld(uninstaller)) result.heldFiles.push_back(uninstaller);
    }
  }
  for (const auto& [key, bytes] : needed) {
    uint64_t free = 0;
    const ByteString& volume = volumeNames[key];
    if (volume.empty() || !platform::FreeSpaceAt(volume, free)) continue;  // unknown: the writes tell
    if (free < bytes) result.shortages.push_back(SpaceShortage{volume, bytes, free});
  }
  // Last: the base files stay open from here until their lines read them.
  if (OwnFileIsUpdate()) result.notOverBase = CheckUpdateBase(baseVersion, patchLines, product, uninstallerPath);
  return result;
}
