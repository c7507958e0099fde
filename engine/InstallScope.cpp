#include "engine/InstallScope.h"

#include "engine/PathVariables.h"
#include "platform/Shell.h"

InstallScope Scope = InstallScope::AllUsers;

ByteString UserProgramsFolder() {
  ByteString folder = platform::KnownUserProgramFilesFolder();
  if (folder.empty()) {
    folder = SpecialFolderPath(platform::kCsidlLocalAppData);
    if (folder.empty()) return folder;
    if (folder.back() != '\\') folder += '\\';
    folder += "Programs";
  }
  if (folder.back() != '\\') folder += '\\';
  return folder;
}

bool SystemHasUserProgramsFolder() { return !UserProgramsFolder().empty(); }
