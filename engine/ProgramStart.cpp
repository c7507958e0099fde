#include "engine/ProgramStart.h"

#include "platform/Process.h"

namespace {

// "C:\Q\Quillon.exe" -> "C:\Q"; a file in a drive's root keeps the root "C:\".
ByteString FolderOf(const ByteString& file) {
  const std::size_t slash = file.rfind('\\');
  if (slash == ByteString::npos) return ByteString();
  return file.substr(0, slash == 2 && file[1] == ':' ? slash + 1 : slash);
}

}  // namespace

bool StartInstalledProgram(const ByteString& file, const ByteString& parameters, int showCommand) {
  if (file.empty()) return false;
  platform::ProgramStart start;
  start.file = file;
  // Quoted always: unquoted, "C:\Program Files\..." would be split at the blank.
  start.commandLine = "\"" + file + "\"" + (parameters.empty() ? ByteString() : " " + parameters);
  start.folder = FolderOf(file);
  start.showCommand = showCommand;
  return platform::StartProgramAsShellUser(start) || platform::StartProgramDirectly(start);
}
