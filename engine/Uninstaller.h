#pragma once
// Uninstall registration, the uninstaller file, and the uninstall run.
#include <memory>
#include <vector>
#include "engine/ScriptInterpreter.h"

class TQStringList;

extern const char* const kUninstallRoot;  // "\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"

// The "uninst" action: the registry entry below kUninstallRoot (reusing the
// entry of an earlier installation into the same place) and a placeholder
// uninstaller. Always succeeds towards the interpreter.
bool RegisterUninstall(const CommandItems& items);
// Writes the uninstaller: stub part, "Section:BeginningMark",
// "Section:Setup.lng" (with LngData only), "Section:Uninst".
void CreateUninstaller();
// The uninstall information as written into "Section:Uninst" (uncompressed).
ByteString BuildUninstallInfo();

// Fills ParamList and UninstallMode from the process's command line.
void ParseCommandLine();
// The program's parameters, parameter 0 (the program as written) included:
// codes 1..32 separate, double quotes switch quoting and are dropped, a pair
// of quotes where a parameter would begin is skipped. Ends at the first empty
// parameter.
std::vector<ByteString> SplitParameters(const ByteString& commandLine);
void RunUninstall();
// The lines of the own "Section:Uninst"; empty (and "uninstall information
// not found" reported) when there is none.
std::unique_ptr<TQStringList> ReadUninstallInfo();
// Deletes kUninstallRoot\key with all its subkeys. Keys shorter than three
// characters once trimmed, or with an empty "\" part, delete nothing.
void RemoveUninstallEntry(const ByteString& key);
// Deletes a key below HKEY_LOCAL_MACHINE, each subkey before its parent.
void DeleteRegistryTree(const ByteString& path);
