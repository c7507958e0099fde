#pragma once
// Shortcuts, folder icons and the program start.
#include "engine/SetupScript.h"

bool IconAction(const CommandItems& items);
bool DesktopIniAction(const CommandItems& items);
bool ExecAction(const CommandItems& items);
void CreateShellLink(const ByteString& target, const ByteString& arguments,
                     const ByteString& linkFolder, bool allUsers, const ByteString& linkName);
void WriteDesktopIni(const ByteString& folder, const ByteString& iconFile);
bool RunProgram();
