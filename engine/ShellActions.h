#pragma once
// Shortcuts, folder icons and the program start.
#include "base/Text.h"
#include "engine/ScriptCommands.h"

// The three actions always succeed towards the interpreter.
bool IconAction(const CommandItems& items);
bool DesktopIniAction(const CommandItems& items);
bool ExecAction(const CommandItems& items);
// Raises EShellLinkError when the shell link object cannot be obtained. The
// link path (folder + "\" + name, so with a doubled backslash) is recorded in
// WrittenFiles before the save.
void CreateShellLink(const ByteString& target, const ByteString& arguments,
                     const ByteString& linkFolder, bool allUsers, const ByteString& linkName);
// Needs the folder to exist and PathMakeSystemFolderA to be loaded already.
void WriteDesktopIni(const ByteString& folder, const ByteString& iconFile);
// Starts Exec with ExecParams (StartInstalledProgram); false when there is
// no Exec.
bool RunProgram();
