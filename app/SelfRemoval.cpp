#include "app/SelfRemoval.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/ExitCodesAndHelp.h"
#include "app/PrivateCopy.h"
#include "engine/CommandLine.h"
#include "engine/ErrorList.h"
#include "engine/InstalledFiles.h"
#include "engine/RunJournal.h"
#include "engine/UninstallRun.h"
#include "package/ProgramImage.h"
#include "package/Sections.h"
#include "platform/Files.h"
#include "platform/Process.h"

namespace {

const char* const kRemovalSwitch = "/removeuninstaller";
const char* const kRemovalCopyName = "QuillonUninstall.exe";

}  // namespace

// A running program's file cannot be deleted on Windows, but it can be
// copied: the copy waits for this process to end and then deletes the
// uninstaller. The copy itself is deleted by the system at the next restart
// (the uninstaller runs with administrator rights, which that needs). The
// copy is the program image already in memory, in a folder of its own that
// only the system, the administrators and this user may change.
void ScheduleSelfRemoval(const UninstallLeftovers& leftovers) {
  if (leftovers.file.empty()) return;
  if (!IsExistingFile(leftovers.file)) {
    for (const ByteString& folder : leftovers.folders) platform::RemoveEmptyDirectory(folder);
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
    if (platform::RemoveFile(file) || platform::FileAttributesOf(file) == platform::kInvalidFileAttributes) break;
    Sleep(100);
  }
  // Only emptied folders go: kept data files and foreign files keep theirs.
  for (std::size_t i = 4; i < parameters.size(); ++i) platform::RemoveEmptyDirectory(parameters[i]);
  const ByteString self = platform::ModuleFileName();
  platform::RemoveAtRestart(self);
  // Its own folder follows it at the restart (the file is removed first).
  const ByteString folder = self.substr(0, std::min(self.rfind('\\'), self.size()));
  const ByteString folderName = folder.substr(folder.rfind('\\') + 1);  // the whole text without a "\\"
  if (folderName.rfind(kPrivateCopyFolderPrefix, 0) == 0) platform::RemoveAtRestart(folder);
  return true;
}
