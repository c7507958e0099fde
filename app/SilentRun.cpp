#include "app/SilentRun.h"

#include <exception>
#include <vector>

#include "app/ExitCodesAndHelp.h"
#include "app/FolderRules.h"
#include "app/InstallStart.h"
#include "app/SelfRemoval.h"
#include "app/SetupFlows.h"
#include "engine/CommandLine.h"
#include "engine/Elevation.h"
#include "engine/EngineValues.h"
#include "engine/ErrorList.h"
#include "engine/InstallChecks.h"
#include "engine/InstalledFiles.h"
#include "engine/ProductSettings.h"
#include "engine/RunJournal.h"
#include "engine/ScriptInterpreter.h"
#include "engine/ShellActions.h"
#include "engine/UninstallRun.h"
#include "lang/Multilingual.h"
#include "platform/Files.h"
#include "platform/Process.h"

namespace {

void UseSystemLanguage() {
  const ByteString wanted = LanguageCode(LanguageForSystem(SystemPrimaryLanguage));
  if (!wanted.empty() && MLSystem && wanted != MLSystem->CurrentCode())
    ChangeLanguage(MLSystem->CurrentCode(), wanted, "");
}

int SilentInstall() {
  UseSystemLanguage();
  if (!RunSetupScript(true)) return kExitFailed;
  if (!Switches.allowDowngrade && NewerVersionInstalled()) {
    AddError("a newer version is installed");
    return kExitNewerInstalled;
  }
  ByteString folder = Switches.hasFolder ? Switches.folder : PgmPath;
  if (!CheckProgramFolder(folder)) {
    AddError("program folder not allowed: " + folder);
    return kExitRefusedFolder;
  }
  const ByteString oldProgram = folder + "Quillon.exe";
  if (IsExistingFile(oldProgram) && !ProgramReplaceable(oldProgram)) {
    AddError("cannot replace " + oldProgram);
    return kExitFailed;
  }

  PgmPath = folder;
  FollowChosenProgramFolder();
  DesktopLinks = !Switches.noDesktop;
  Lng = MLSystem ? LanguageCode(MLSystem->CurrentCode()) : ByteString();
  // Nothing has changed yet: a run that cannot succeed does not start.
  const InstallCheckResult checks = CheckBeforeInstall();
  if (!checks.shortages.empty()) {
    for (const SpaceShortage& shortage : checks.shortages) AddError("not enough space on " + DescribeShortage(shortage));
    return kExitDiskFull;
  }
  if (!checks.heldFiles.empty()) {
    AddError("files in use: " + HeldFilesText(checks.heldFiles));
    return kExitFilesInUse;
  }
  if (!checks.notOverBase.empty()) {
    AddError("the update does not fit: " + checks.notOverBase);
    return kExitNotOverBase;
  }
  if (!RunSetupScript(false)) return WriteFailedForDiskFull ? kExitDiskFull : kExitFailed;
  // Nobody agreed to the partner's offer.
  platform::RemoveFile(folder + kPartnerProgram);
  if (Switches.run) RunProgram();
  // A replaced file that a running program held goes at the next restart.
  for (const ByteString& file : FilesLeftForRestart()) AddError("in use, removed at the next restart: " + file);
  return FilesLeftForRestart().empty() ? kExitInstalled : kExitRestartNeeded;
}

int SilentUninstall() {
  UninstallLeftovers leftovers;
  if (!RunUninstall(&leftovers)) return kExitFailed;
  ScheduleSelfRemoval(leftovers);
  return leftovers.atRestart.empty() ? kExitInstalled : kExitRestartNeeded;
}

}  // namespace

int RunSilently() {
  Quiet = true;
  int code = kExitFailed;
  if (!Switches.wrong.empty()) {
    AddError("unknown switch: " + Switches.wrong);
    code = kExitRefusedFolder;
  } else {
    try {
      // A run killed earlier is undone (or its commit finished) first.
      OwnFileLeft own;
      RecoveredEarlierRun = RecoverUnfinishedRun(nullptr, &own);
      // An uninstaller removes nothing while a journal is left.
      if (UninstallMode && RecoveredEarlierRun && (UnfinishedRunJournal() || !UninstallLeftAfterRecovery(own)))
        code = EndAfterRecovery(own);
      else code = UninstallMode ? SilentUninstall() : SilentInstall();
    } catch (const std::exception& error) {
      AddError(error.what());
      code = kExitFailed;
      // A failure raised before the script's own log was written.
      if (!UninstallMode) {
        try {
          std::vector<ByteString> lines = RunLines;
          lines.push_back("Errors: " + ErrorText);
          WriteSetupLog(lines);
        } catch (const std::exception&) {
        }
      }
    }
  }
  if (!Switches.logFile.empty()) WriteRunLog(Switches.logFile, ExitCodeText(code));
  return code;
}

bool RunElevatedInstead(int& code) {
  if (!NeedsElevation()) return false;
  const ElevatedOutcome outcome = RunElevatedCopy();
  switch (outcome.run) {
    case platform::ElevatedRun::Ended: code = static_cast<int>(outcome.exitCode); break;
    case platform::ElevatedRun::Refused:
      AddError("administrator rights refused");
      code = kExitElevationRefused;
      break;
    case platform::ElevatedRun::NotStarted:
      AddError("the setup could not start itself with administrator rights");
      code = kExitFailed;
      break;
  }
  // The copy wrote its own /LOG= file; only a run that did not happen is logged here.
  if (outcome.run != platform::ElevatedRun::Ended && !Switches.logFile.empty())
    WriteRunLog(Switches.logFile, ExitCodeText(code));
  return true;
}

int SilentFailure(const ByteString& message) {
  AddError(message);
  if (!Switches.logFile.empty()) WriteRunLog(Switches.logFile, ExitCodeText(kExitFailed));
  return kExitFailed;
}
