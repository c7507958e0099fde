#include "engine/ScriptInterpreter.h"

#include <chrono>
#include <memory>

#include "engine/EngineValues.h"
#include "engine/ErrorList.h"
#include "engine/FolderAccess.h"
#include "engine/FileExtraction.h"
#include "engine/UpdateBase.h"
#include "engine/InstalledFiles.h"
#include "engine/RunJournal.h"
#include "engine/PackedStream.h"
#include "engine/ProductSettings.h"
#include "engine/ShellActions.h"
#include "engine/Uninstaller.h"
#include "package/Sections.h"
#include "package/ZLibHelpers.h"

namespace {

void (*gProgressHook)(uint64_t, uint64_t) = nullptr;
std::chrono::steady_clock::time_point gLastReport;

void ReportProgress(bool always) {
  if (!gProgressHook) return;
  const auto now = std::chrono::steady_clock::now();
  if (!always && now - gLastReport < std::chrono::milliseconds(15)) return;
  gLastReport = now;
  uint64_t done = 0, total = 0;
  PackedProgress(done, total);
  gProgressHook(done, total);
}

void ReportWhileWaiting() { ReportProgress(false); }

bool gCancelRequested = false;
void (*gRollbackHook)(uint64_t, uint64_t) = nullptr;

// Every action of the script. Only "save", "saveifnotexists" and "patch" can fail a
// line; the others always succeed towards the interpreter.
struct ActionEntry {
  const char* name;
  bool (*run)(const CommandItems& items, PackedData& remaining);
};

const ActionEntry kActions[] = {
    {"path", [](const CommandItems& items, PackedData&) { PathAction(items); return true; }},
    {"save", [](const CommandItems& items, PackedData& remaining) { return SaveFile(items, remaining, false); }},
    {"saveifnotexists",
     [](const CommandItems& items, PackedData& remaining) { return SaveFile(items, remaining, true); }},
    {"patch", [](const CommandItems& items, PackedData& remaining) { return PatchFile(items, remaining); }},
    {"icon", [](const CommandItems& items, PackedData&) { IconAction(items); return true; }},
    {"desktopini", [](const CommandItems& items, PackedData&) { DesktopIniAction(items); return true; }},
    {"exec", [](const CommandItems& items, PackedData&) { ExecAction(items); return true; }},
    {"uninst", [](const CommandItems& items, PackedData&) { RegisterUninstall(items); return true; }},
};

}  // namespace

bool ExecuteCommand(const ByteString& line, PackedData& remaining) {
  const CommandItems items = SplitCommandItems(line);
  const ByteString action = CommandValue(items, "action");
  if (action.empty()) return false;
  // Action names match byte for byte: "Path" is no action.
  for (const ActionEntry& entry : kActions)
    if (action == entry.name) return entry.run(items, remaining);
  return false;
}

namespace {

// Runs the lines (only the "path" lines when `pathOnly`) until one fails or
// the run is cancelled; the setup log gets the lines and the errors when
// there are errors. True when no error was collected.
bool RunLinesOf(const std::vector<ByteString>& lines, bool pathOnly, PackedData& remaining) {
  // Kept up to date line by line: a raised failure's log names its line too.
  RunLines.clear();
  for (const ByteString& line : lines) {
    if (pathOnly && GetCommandAction(line) != "path") continue;
    if (!pathOnly && gCancelRequested) break;
    RunLines.push_back(line);
    if (!ExecuteCommand(line, remaining)) {
      AddError("Command failed: " + line);
      break;
    }
    if (!pathOnly) ReportProgress(false);
  }
  remaining = PackedData();  // the read-ahead ends here
  if (!ErrorText.empty() && pathOnly) {
    std::vector<ByteString> executed = RunLines;
    executed.push_back("Errors: " + ErrorText);
    WriteSetupLog(executed);
  }
  return ErrorText.empty();
}

void UndoRun() {
  RollBackRunJournal(gRollbackHook);
  RunRolledBack = true;
}

}  // namespace

bool RunSetupScript(bool pathOnly) {
  // A cancel asked for while the full run still waits for the check of the
  // packed files counts: the run then ends before its first change.
  if (!pathOnly) gCancelRequested = false;
  LoadOwnSections();
  if (SectionsState() != kSectionsLoaded) {
    ReportError("setup information not found");
    return false;
  }
  ByteString script;
  ReadOwnSection(kSectionSetupCmd, script);
  if (script.empty()) {
    ReportError("setup commands not found");
    return false;
  }

  const ByteString scriptText = DecompressBytes(script);
  // Corrupt packed files are refused before the first file is written. The
  // path-only run starts the check (a small section is checked at once, a
  // large one while the question is shown); the full run waits for it and
  // then reads and inflates the section from the own file as the lines take
  // it, one worker thread ahead of them. The worker starts before the wait
  // (it fills its queue while the check ends, and nothing is written
  // before) unless its decoder is as large as the check's (zstd's window).
  const std::vector<ByteString> lines = SplitScriptLines(scriptText);
  PackedData remaining;
  if (pathOnly) {
    StartPackedCheck();
  } else {
    std::unique_ptr<PackedSource> source = OpenPackedFiles();
    if (source && DecodesBesideCheck())
      remaining = PackedData(StartReadAhead(std::move(source), lines, ReportWhileWaiting));
    FinishPackedCheck(ReportWhileWaiting);
    if (source) remaining = PackedData(StartReadAhead(std::move(source), lines, ReportWhileWaiting));
  }

  if (pathOnly) return RunLinesOf(lines, true, remaining);

  // The full run is one transaction: nothing changes before the journal is
  // open, and a run that does not reach its commit is undone from it.
  RunRolledBack = false;
  if (gCancelRequested) return false;
  WriteFailedForDiskFull = false;
  ForgetWaitingGrants();
  if (!OpenRunJournal()) {
    ReportError("the journal of the run cannot be written");
    return false;
  }
  bool result = false;
  try {
    result = RunLinesOf(lines, false, remaining);
    ReportProgress(true);
    // The uninstaller and the settings are part of the run: it commits only
    // once they are in place.
    if (result && !gCancelRequested) {
      result = CreateUninstaller();
      if (!result) AddError("the uninstaller cannot be written: " + UninstallerPath);
    }
    if (result && !Exec.empty()) WriteProductSetting("Exec", Exec);
    if (result && !DataPath.empty()) WriteProductSetting("DataPath", DataPath);
  } catch (...) {
    // A raised failure (zlib, registry type, shell link, log) undoes the run too.
    UndoRun();
    throw;
  }
  if (result && !gCancelRequested && GrantWaitingFolders()) {
    CommitRunJournal();
    return true;
  }
  UndoRun();
  if (gCancelRequested) return false;
  // The log of a failure written by the lines' end, before the undo, told the
  // failure; it is written again with the undo noted.
  std::vector<ByteString> logLines = RunLines;
  logLines.push_back("Errors: " + ErrorText);
  logLines.push_back(kUndoneLogLine);
  WriteSetupLog(logLines);
  return false;
}

bool OfferFoldersFor(InstallScope scope) {
  Scope = scope;
  PgmPath.clear();
  DataPath.clear();
  MyStartMenu.clear();
  DataPathFromScript = false;
  ByteString script;
  ReadOwnSection(kSectionSetupCmd, script);
  if (script.empty()) return false;
  PackedData none;
  return RunLinesOf(SplitScriptLines(DecompressBytes(script)), true, none);
}

void RequestRunCancel() { gCancelRequested = !RunCommitStarted(); }

bool RunCancelled() { return gCancelRequested; }

void SetRollbackProgressHook(void (*hook)(uint64_t undone, uint64_t total)) { gRollbackHook = hook; }

void SetRunProgressHook(void (*hook)(uint64_t done, uint64_t total)) { gProgressHook = hook; }
