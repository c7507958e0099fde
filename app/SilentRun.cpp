#include "app/SilentRun.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "app/AdminNamespace.h"
#include "app/FolderRules.h"
#include "app/MessageBoxes.h"
#include "app/PrivateCopy.h"
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
#include "package/ProgramImage.h"
#include "package/Sections.h"
#include "platform/Files.h"
#include "platform/Process.h"

namespace {

// Seen by runs in every session (the system account of a deployment tool,
// another user): in the administrators' namespace, else in the global one.
const char* const kSetupMutexLeaf = "SetupRunning";
const char* const kSetupMutexName = "Global\\QuillonSetupRunning";
const char* const kSetupMutexSessionName = "Local\\QuillonSetupRunning";
const char* const kRemovalSwitch = "/removeuninstaller";
const char* const kRemovalCopyName = "QuillonUninstall.exe";
constexpr uint16_t kLangGerman = 7;

const char* const kHelpGerman =
    "Setup.exe [/S | /PASSIVE] [/CURRENTUSER | /ALLUSERS] [/NODESKTOP] [/RUN] [/ALLOWDOWNGRADE] [/NORESTART] "
    "[/LOG=Datei] [/D=Ordner]\n\n"
    "/S\tohne Fenster und ohne R\xFC" "ckfragen installieren\n"
    "/PASSIVE\twie /S, nur mit dem Fortschritt\n"
    "/CURRENTUSER\tnur f\xFCr den angemeldeten Benutzer, ohne Administratorrechte\n"
    "/ALLUSERS\tf\xFCr alle Benutzer (Vorgabe; fragt nach Administratorrechten)\n"
    "/D=Ordner\tProgrammordner; als letzter Parameter, Leerzeichen erlaubt\n"
    "/NODESKTOP\tkeine Verkn\xFCpfung auf dem Desktop\n"
    "/RUN\tQuillon nach der Installation starten\n"
    "/LOG=Datei\tProtokoll der Installation\n"
    "/ALLOWDOWNGRADE\tauch eine neuere Version ersetzen\n"
    "/NORESTART\tangenommen; das Setup startet den Computer nie selbst neu\n"
    "/?, /help\tdiese Hilfe\n\n"
    "uninstall.exe /S entfernt Quillon ohne R\xFC" "ckfrage.\n\n"
    "R\xFC" "ckgabewerte mit /S: 0 installiert, 1 Ordner oder Befehlszeile ung\xFCltig, "
    "2 Installation fehlgeschlagen, 3 neuere Version installiert, 4 anderes Setup l\xE4uft, "
    "5 nicht genug Platz auf dem Laufwerk, 6 Dateien in Benutzung, "
    "7 Administratorrechte verweigert, "
    "3010 fertig, Dateien werden beim n\xE4\x63hsten Neustart ersetzt oder entfernt.";

const char* const kHelpEnglish =
    "Setup.exe [/S | /PASSIVE] [/CURRENTUSER | /ALLUSERS] [/NODESKTOP] [/RUN] [/ALLOWDOWNGRADE] [/NORESTART] "
    "[/LOG=file] [/D=folder]\n\n"
    "/S\tinstall without a window and without questions\n"
    "/PASSIVE\tas /S, showing the progress only\n"
    "/CURRENTUSER\tfor the logged-on user alone, without administrator rights\n"
    "/ALLUSERS\tfor all users (the default; asks for administrator rights)\n"
    "/D=folder\tprogram folder; the last parameter, blanks allowed\n"
    "/NODESKTOP\tno shortcut on the desktop\n"
    "/RUN\tstart Quillon after the install\n"
    "/LOG=file\tlog of the install\n"
    "/ALLOWDOWNGRADE\treplace a newer version as well\n"
    "/NORESTART\taccepted; the setup never restarts the computer itself\n"
    "/?, /help\tthis help\n\n"
    "uninstall.exe /S removes Quillon without asking.\n\n"
    "Exit codes with /S: 0 installed, 1 folder or command line not allowed, "
    "2 install failed, 3 newer version installed, 4 another setup is running, "
    "5 not enough space on the drive, 6 files in use, 7 administrator rights refused, "
    "3010 done, files are replaced or removed at the next restart.";

ByteString ResultText(int code) {
  switch (code) {
    case kExitInstalled: return UninstallMode ? "0 removed" : "0 installed";
    case kExitRefusedFolder: return "1 refused: folder or command line not allowed";
    case kExitNewerInstalled: return "3 refused: a newer version is installed";
    case kExitAnotherSetup: return "4 refused: another setup is running";
    case kExitDiskFull: return "5 refused: not enough space on the drive";
    case kExitFilesInUse: return "6 refused: files in use";
    case kExitElevationRefused: return "7 refused: administrator rights for an install for all users were not given";
    case kExitNotOverBase: return "8 refused: the update's base version is not installed; the full setup is needed";
    case kExitRestartNeeded: return UninstallMode ? "3010 removed; files go at the next restart"
                                                  : "3010 installed; files go at the next restart";
    default: return UninstallMode ? "2 uninstall failed" : "2 install failed";
  }
}

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

bool ProgramReplaceable(const ByteString& path) {
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

namespace {
HANDLE gSetupMark = nullptr;
}  // namespace

bool ClaimSetupInstance() {
  // In the administrators' own namespace no standard user can take the mark
  // first and so keep every setup from running; a run without their rights
  // takes it in a namespace of its own account (else its session's), where
  // no other user can. A system without private namespaces uses the global
  // name for the administrators. The handle stays open until the process
  // ends (or hands the run over to its elevated copy).
  ByteString name = AdministratorsOnlyName(kSetupMutexLeaf);
  if (name.empty() && !platform::HasAdministratorRights()) {
    name = OwnAccountOnlyName(kSetupMutexLeaf);
    if (name.empty()) name = kSetupMutexSessionName;
  }
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name.empty() ? kSetupMutexName : name.c_str());
  const DWORD error = GetLastError();
  if (mutex) {
    gSetupMark = mutex;
    return error != ERROR_ALREADY_EXISTS;
  }
  // Access denied: another account's setup holds it. Any other failure
  // leaves the window check alone to decide.
  return error != ERROR_ACCESS_DENIED;
}

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
  if (!Switches.logFile.empty()) WriteRunLog(Switches.logFile, ResultText(code));
  return code;
}

void ReleaseSetupInstance() {
  if (gSetupMark) CloseHandle(gSetupMark);
  gSetupMark = nullptr;
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
    WriteRunLog(Switches.logFile, ResultText(code));
  return true;
}

int SilentFailure(const ByteString& message) {
  AddError(message);
  if (!Switches.logFile.empty()) WriteRunLog(Switches.logFile, ResultText(kExitFailed));
  return kExitFailed;
}

void ShowSwitchesHelp() {
  ShowInformationBox(SystemPrimaryLanguage == kLangGerman ? kHelpGerman : kHelpEnglish);
}

// A running program's file cannot be deleted on Windows, but it can be
// copied: the copy waits for this process to end and then deletes the
// uninstaller. The copy itself is deleted by the system at the next restart
// (the uninstaller runs with administrator rights, which that needs). The
// copy is the program image already in memory, in a folder of its own that
// only the system, the administrators and this user may change.
void ScheduleSelfRemoval(const UninstallLeftovers& leftovers) {
  if (leftovers.file.empty()) return;
  if (!IsExistingFile(leftovers.file)) {
    for (const ByteString& folder : leftovers.folders) RemoveDirectoryA(folder.c_str());
    return;
  }
  ByteString image(StubPart());
  DropImageCertificate(image);
  PrivateProgramCopy copy;
  if (image.empty() || !copy.Create(kRemovalCopyName, image)) return;

  // An inheritable handle of this process tells the copy when it has ended
  // (a process id could be reused by then).
  HANDLE self = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self, SYNCHRONIZE, TRUE, 0)) {
    copy.Remove();
    return;
  }
  char handleText[32];
  std::snprintf(handleText, sizeof handleText, "%llu",
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(self)));
  ByteString commandLine = "\"" + copy.File() + "\" " + kRemovalSwitch + " " + handleText + " \"" + leftovers.file + "\"";
  for (const ByteString& folder : leftovers.folders) commandLine += " \"" + folder + "\"";
  if (!copy.Start(commandLine)) copy.Remove();
  CloseHandle(self);
}

int EndAfterRecovery(const OwnFileLeft& own) {
  ScheduleSelfRemoval(UninstallLeftovers{own.file, own.folders, {}});
  if (!UnfinishedRunJournal()) return kExitInstalled;
  AddError("the interrupted run could not be completed");
  return kExitFailed;
}

bool FinishSelfRemoval() {
  const std::vector<ByteString> parameters = SplitParameters(platform::CommandLine());
  if (parameters.size() < 4 || parameters[1] != kRemovalSwitch) return false;
  HANDLE uninstaller =
      reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::strtoull(parameters[2].c_str(), nullptr, 10)));
  if (uninstaller) {
    WaitForSingleObject(uninstaller, 60000);
    CloseHandle(uninstaller);
  }
  const ByteString& file = parameters[3];
  // The system may release the ended program's file a moment later.
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (DeleteFileA(file.c_str()) || GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES) break;
    Sleep(100);
  }
  // Only emptied folders go: kept data files and foreign files keep theirs.
  for (std::size_t i = 4; i < parameters.size(); ++i) RemoveDirectoryA(parameters[i].c_str());
  const ByteString self = platform::ModuleFileName();
  MoveFileExA(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  // Its own folder follows it at the restart (the file is removed first).
  const ByteString folder = self.substr(0, std::min(self.rfind('\\'), self.size()));
  const ByteString folderName = folder.substr(folder.rfind('\\') + 1);  // the whole text without a "\\"
  if (folderName.rfind(kPrivateCopyFolderPrefix, 0) == 0) MoveFileExA(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return true;
}
