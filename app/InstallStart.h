#pragma once
// The steps before an install's first change, one sequence for the window
// and the silent run: the folder's rules, the installed program that must be
// replaceable, the chosen values, the checks of room, of the update's base
// and of held files; then the run itself, which starts the journal. What
// differs is how each says why it stops: the window shows a box, the silent
// run notes an error for its log and answers an exit code.
#include <vector>
#include "base/Text.h"
#include "engine/InstallChecks.h"

class InstallStartSteps {
public:
  virtual ~InstallStartSteps() = default;

  // The folder broke the folder rules (the folder as they left it).
  virtual void FolderRefused(const ByteString& folder) = 0;
  // The caller's own steps for an allowed folder (the window: its length,
  // and the install by its elevated copy). False stops the start: the
  // caller has said why or handed the install over.
  virtual bool FolderAccepted(const ByteString& folder) {
    (void)folder;
    return true;
  }
  // The installed program cannot be replaced.
  virtual void ProgramInUse(const ByteString& program) = 0;
  virtual void TooLittleRoom(const std::vector<SpaceShortage>& shortages) = 0;
  // An update over anything but its base: what differs.
  virtual void NotOverBase(const ByteString& what) = 0;
  // Files to be replaced that another program holds: true looks again.
  virtual bool FilesHeld(const std::vector<ByteString>& files) = 0;
  // The install itself, once every check passed: RunSetupScript(false).
  virtual bool RunInstall();
};

enum class InstallStart {
  NotStarted,  // refused before the first change (the steps said why), or handed over
  Failed,      // the run failed and was undone
  Installed,
};

// Checks `folder` (left as the folder rules make it: trimmed, with its "\")
// and installs into it. A start that stops before the run leaves the program
// and data folders as they were offered.
InstallStart StartInstall(ByteString& folder, bool desktopLinks, InstallStartSteps& steps);

// The installed Quillon.exe can be replaced: it opens for writing and
// deleting without sharing (nothing is deleted by the check itself).
bool ProgramReplaceable(const ByteString& path);
// "a; b" of the held files, with the programs that hold them where the
// system can tell.
ByteString HeldFilesText(const std::vector<ByteString>& files);
