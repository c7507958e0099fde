#pragma once
// Uninstall registration and the uninstaller file.
#include "base/Text.h"
#include "engine/ScriptCommands.h"

extern const char* const kUninstallRoot;  // "\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"

// The "uninst" action: the registry entry below kUninstallRoot (reusing the
// entry of an earlier installation into the same place), recorded here and
// written by CreateUninstaller, and a placeholder uninstaller. Always
// succeeds towards the interpreter.
bool RegisterUninstall(const CommandItems& items);
// Writes the uninstaller: stub part, "Section:BeginningMark",
// "Section:Setup.lng" (with LngData only), "Section:Uninst"; then, the
// uninstaller complete, the entries of the run's uninst lines. False when
// the file could not be written.
bool CreateUninstaller();
// The uninstall information as written into "Section:Uninst" (uncompressed).
ByteString BuildUninstallInfo();
