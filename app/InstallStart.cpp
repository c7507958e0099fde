#include "app/InstallStart.h"

#include <windows.h>

#include "app/FolderRules.h"
#include "engine/EngineValues.h"
#include "engine/InstalledFiles.h"
#include "engine/ProductSettings.h"
#include "engine/ScriptInterpreter.h"
#include "lang/Multilingual.h"
#include "platform/Process.h"

namespace {

// Nothing has changed yet: a run that cannot succeed does not start.
bool ChecksPass(InstallStartSteps& steps) {
  for (;;) {
    const InstallCheckResult checks = CheckBeforeInstall();
    if (!checks.shortages.empty()) {
      steps.TooLittleRoom(checks.shortages);
      return false;
    }
    // Before the held files: closing programs cannot make an update fit.
    if (!checks.notOverBase.empty()) {
      steps.NotOverBase(checks.notOverBase);
      return false;
    }
    if (checks.heldFiles.empty()) return true;
    if (!steps.FilesHeld(checks.heldFiles)) return false;
  }
}

}  // namespace

bool InstallStartSteps::RunInstall() { return RunSetupScript(false); }

InstallStart StartInstall(ByteString& folder, bool desktopLinks, InstallStartSteps& steps) {
  if (!CheckProgramFolder(folder)) {
    steps.FolderRefused(folder);
    return InstallStart::NotStarted;
  }
  if (!steps.FolderAccepted(folder)) return InstallStart::NotStarted;
  // Only looked at: nothing is changed before every check has passed.
  const ByteString oldProgram = folder + "Quillon.exe";
  if (IsExistingFile(oldProgram) && !ProgramReplaceable(oldProgram)) {
    steps.ProgramInUse(oldProgram);
    return InstallStart::NotStarted;
  }
  const ByteString offeredFolder = PgmPath, offeredDataFolder = DataPath;
  PgmPath = folder;
  FollowChosenProgramFolder();
  DesktopLinks = desktopLinks;
  Lng = MLSystem ? LanguageCode(MLSystem->CurrentCode()) : ByteString();
  if (!ChecksPass(steps)) {
    // The window's question stays, with the folders it offered.
    PgmPath = offeredFolder;
    DataPath = offeredDataFolder;
    return InstallStart::NotStarted;
  }
  return steps.RunInstall() ? InstallStart::Installed : InstallStart::Failed;
}

bool ProgramReplaceable(const ByteString& path) {
  // Not platform::FileIsHeld, which answers only for a file another program
  // holds: a file refused for any other reason (read-only, no access) cannot
  // be replaced either.
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

ByteString HeldFilesText(const std::vector<ByteString>& files) {
  ByteString text;
  for (const ByteString& file : files) text += (text.empty() ? "" : "; ") + file;
  const std::vector<ByteString> programs = platform::ProgramsHolding(files);
  if (!programs.empty()) {
    text += " (";
    for (std::size_t i = 0; i < programs.size(); ++i) text += (i ? ", " : "") + programs[i];
    text += ")";
  }
  return text;
}
