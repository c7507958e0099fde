#include "engine/Elevation.h"

#include <algorithm>
#include <vector>

#include "base/TextBasics.h"
#include "engine/CommandLine.h"
#include "engine/EngineValues.h"
#include "engine/ErrorList.h"
#include "engine/FolderAccess.h"
#include "engine/JournalPlace.h"
#include "engine/SystemFolders.h"
#include "package/WholeFiles.h"
#include "platform/Security.h"
#include "platform/Shell.h"

const char* const kElevatedCopySwitch = "/ELEVATED";
const char* const kElevatedLogSwitch = "/ELEVATEDLOG=";
const char* const kCopysLogFolderPrefix = "QuillonSetupLog-";
const char* const kCopysLogName = "Setup.log";

namespace {

ByteString CopysLogFolder(const ByteString& token) {
  const ByteString base = SpecialFolderBase(platform::kCsidlCommonAppData);
  return base.empty() ? base : base + "\\" + kCopysLogFolderPrefix + token;
}

ByteString CopysLogFile(const ByteString& folder) { return folder + "\\" + kCopysLogName; }

// The parameters as written, parameter 0 (the program) left out, without
// the /LOG= switches.
ByteString ParametersForCopy() {
  const ByteString commandLine = platform::CommandLine();
  const std::size_t end = std::min(commandLine.size(), commandLine.find('\0'));
  std::vector<std::size_t> starts;
  const std::vector<ByteString> parameters = SplitParameters(commandLine, &starts);
  if (parameters.size() < 2) return ByteString();
  ByteString rest;
  std::size_t from = starts[1];
  for (std::size_t i = 1; i < parameters.size(); ++i) {
    const ByteString lower = AsciiLower(parameters[i]);
    if (StartsWith(lower, "/d=") && commandLine[starts[i]] != '"') break;  // the rest of the line is the folder
    // An empty one stays, for the copy to refuse.
    if (!StartsWith(lower, "/log=") || parameters[i].find_first_not_of(" \t", 5) == ByteString::npos) continue;
    rest += commandLine.substr(from, starts[i] - from);
    from = i + 1 < parameters.size() ? starts[i + 1] : end;
  }
  rest += commandLine.substr(from, end - from);
  while (!rest.empty() && static_cast<unsigned char>(rest.back()) <= 32) rest.pop_back();
  return rest;
}

// The copy's log, read with this run's rights, goes to the /LOG= file; the
// copy's place goes. False when the copy left none.
bool HandOverCopysLog(const ByteString& token) {
  const ByteString folder = CopysLogFolder(token);
  ByteString log;
  const bool found = !folder.empty() && ReadWholeFile(CopysLogFile(folder), log);
  if (!folder.empty()) {
    platform::RemoveFile(CopysLogFile(folder));
    platform::RemoveEmptyDirectory(folder);
  }
  if (!found) {
    AddError("the elevated run's log cannot be read: " + CopysLogFile(folder));
    return false;
  }
  WriteLog(Switches.logFile, log);
  return true;
}

}  // namespace

bool NeedsElevation() {
  return !PerUserRun() && !Switches.elevatedCopy && !platform::HasAdministratorRights();
}

ElevatedOutcome RunElevatedCopy(const ByteString& extra) {
  const ByteString token = Switches.logFile.empty() ? ByteString() : RandomToken();
  ByteString copyParameters = kElevatedCopySwitch;
  if (!token.empty()) copyParameters += " " + ByteString(kElevatedLogSwitch) + token;
  if (!extra.empty()) copyParameters += " " + extra;
  const ByteString rest = ParametersForCopy();
  if (!rest.empty()) copyParameters += " " + rest;
  ElevatedOutcome outcome;
  outcome.run = platform::RunElevatedAndWait(platform::ModuleFileName(), copyParameters, outcome.exitCode);
  if (!token.empty() && outcome.run == platform::ElevatedRun::Ended) outcome.logHandedOver = HandOverCopysLog(token);
  return outcome;
}

void WriteRequestedLog(const ByteString& result) {
  if (!Switches.elevatedCopy) {
    if (!Switches.logFile.empty()) WriteRunLog(Switches.logFile, result);
    return;
  }
  // Made new, so nobody put anything there first; the users may take it
  // once nothing more is written into it. The run that started the copy,
  // without the rights, reads the log and then removes it and the folder
  // (HandOverCopysLog): the least it needs is reading and DELETE on both,
  // nothing to write, create or change the access with.
  const ByteString folder = Switches.logToken.empty() ? ByteString() : CopysLogFolder(Switches.logToken);
  if (!folder.empty() && platform::MakeProgramsProtectedFolder(folder) && WriteRunLog(CopysLogFile(folder), result))
    GrantFolderAccess(folder, platform::FolderGrant::ReadAndRemove);
}
