#include "engine/ProgramStart.h"

#include "engine/CommandLine.h"
#include "engine/ErrorList.h"
#include "platform/Process.h"

namespace {

// "C:\Q\Quillon.exe" -> "C:\Q"; a file in a drive's root keeps the root "C:\".
ByteString FolderOf(const ByteString& file) {
  const std::size_t slash = file.rfind('\\');
  if (slash == ByteString::npos) return ByteString();
  return file.substr(0, slash == 2 && file[1] == ':' ? slash + 1 : slash);
}

bool NotStarted(const ByteString& file, const char* why) {
  NoteRefusal("not started: " + file + " (" + why + ")");
  return false;
}

}  // namespace

bool StartInstalledProgram(const ByteString& file, const ByteString& parameters, int showCommand) {
  if (file.empty()) return false;
  // A system account's user would be the system itself.
  if (platform::RunsAsSystem()) return NotStarted(file, "the setup runs as the system account");
  platform::ProgramStart start;
  start.file = file;
  // Quoted always: unquoted, "C:\Program Files\..." would be split at the blank.
  start.commandLine = "\"" + file + "\"" + (parameters.empty() ? ByteString() : " " + parameters);
  start.folder = FolderOf(file);
  start.showCommand = showCommand;
  if (platform::StartProgramAsShellUser(start) || platform::StartProgramWithShellToken(start)) return true;
  const bool ownRightsAreTheUsers = !Switches.elevatedCopy && !platform::HasAdministratorRights();
  if (ownRightsAreTheUsers) return platform::StartProgramDirectly(start);
  return NotStarted(file, "no desktop user to start it as");
}
