#include "app/SilentRun.h"

#include <exception>
#include <vector>

#include "app/ExitCodesAndHelp.h"
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

// A refused start is noted for the log and answers its exit code.
class SilentInstallStart : public InstallStartSteps {
public:
  int code = kExitFailed;

  void FolderRefused(const ByteString& folder) override {
    AddError("program folder not allowed: " + folder);
    code = kExitRefusedFolder;
  }
  void ProgramInUse(const ByteString& program) override {
    AddError("cannot replace " + program);
    code = kExitFailed;
  }
  void TooLittleRoom(const std::vector<SpaceShortage>& shortages) override {
    for (const SpaceShortage& shortage : shortages) AddError("not enough space on " + DescribeShortage(shortage));
    code = kExitDiskFull;
  }
  void NotOverBase(const ByteString& what) override {
    AddError("the update does not fit: " + what);
    code = kExitNotOverBase;
  }
  bool FilesHeld(const std::vector<ByteString>& files) override {
    AddError("files in use: " + HeldFilesText(files));
    code = kExitFilesInUse;
    return false;
  }
};

int SilentInstall() {
  UseSystemLanguage();
  if (!RunSetupScript(true)) return kExitFailed;
  if (!Switches.allowDowngrade && NewerVersionInstalled()) {
    AddError("a newer version is installed");
    return kExitNewerInstalled;
  }
  ByteString folder = Switches.hasFolder ? Switches.folder : PgmPath;
  SilentInstallStart start;
  switch (StartInstall(folder, !Switches.noDesktop, start)) {
    case InstallStart::NotStarted: return start.code;
    case InstallStart::Failed: return WriteFailedForDiskFull ? kExitDiskFull : kExitFailed;
    case InstallStart::Installed: break;
  }
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
  WriteRequestedLog(ExitCodeText(code));
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
  // The copy's log came over to the /LOG= file; without it this run logs what it knows.
  if (!outcome.logHandedOver && !Switches.logFile.empty()) WriteRunLog(Switches.logFile, ExitCodeText(code));
  return true;
}

int SilentFailure(const ByteString& message) {
  AddError(message);
  WriteRequestedLog(ExitCodeText(kExitFailed));
  return kExitFailed;
}
