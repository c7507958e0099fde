#pragma once
// Native stand-in for platform/Shell.h: special folders are whatever a test
// sets, shell links are recorded instead of written by the shell, and the
// system-folder marking is recorded.
#include <cstdint>
#include <vector>
#include "base/Text.h"

namespace fakes {

struct RecordedShellLink {
  ByteString target;
  ByteString arguments;
  ByteString workingFolder;
  WideString savedPath;  // empty until Save is called
  bool saved = false;
};

// Everything back to the start: no special folders, no links, creation
// works, PathMakeSystemFolderA present, link files written.
void ResetShell();

// An empty path makes the lookup of that CSIDL fail (the default).
void SetSpecialFolder(int csidl, const ByteString& path);
// The owner window handed to the last SpecialFolder call.
std::uintptr_t LastSpecialFolderOwner();
// The known per-user program folder (default none: the system lacks it).
void SetKnownUserProgramFiles(const ByteString& path);

// When set, CreateShellLinkObject answers null.
void SetShellLinkCreationFails(bool fails);
// Links in the order their objects were created.
const std::vector<RecordedShellLink>& ShellLinks();
// When set (the default), Save also writes a small file at the saved path
// (through platform::WriteNewFile), so that removal can be checked.
void SetShellLinkFilesWritten(bool written);

// Whether PathMakeSystemFolderA is "loaded" (default true).
void SetPathMakeSystemFolderPresent(bool present);
// Folders handed to MakeSystemFolder, in order.
const std::vector<ByteString>& SystemFolders();

// ASCII-only narrowing of a saved link path, for comparisons in tests.
ByteString NarrowPath(const WideString& path);

}  // namespace fakes
